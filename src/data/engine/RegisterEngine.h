#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "data/engine/RegisterLocation.h"
#include "data/engine/Sql.h"

class SoundStates;

// Tells a desk that another program committed to the register, cheaply
// enough to be asked often: a file's data_version, a server's notices on a
// connection of its own that listens (and is idle otherwise).
class ChangeSignal {
public:
    enum class Seen {
        Nothing,  // no commit of another connection since the last look
        Changes,  // something was committed elsewhere since
        Lost,     // the server's connection broke: make a new signal
    };
    virtual ~ChangeSignal() = default;
    // The socket the server's notices arrive on, to be watched for reading;
    // -1 where there is none and look() is asked on a timer instead.
    virtual qintptr socket() const = 0;
    virtual Seen look() = 0;
};

// What the store does differently on a register file and on a register
// server: how it connects for an operation, what it says when something
// fails, how it names the register, and the register's life (its checks,
// its making, whether Quarvel backs it up and repairs it). The statements
// themselves are the store's, the same on both; where their text differs,
// the connection says how (Sql::Connection).
class RegisterEngine {
public:
    static std::unique_ptr<RegisterEngine> at(const RegisterLocation& location);
    virtual ~RegisterEngine() = default;

    const RegisterLocation& location() const { return location_; }

    // Why the register cannot be there to open (a file that does not
    // exist), in words; empty when it may be.
    virtual QString absence() const { return {}; }

    // A connection with the transaction begun, for one operation; when
    // connecting or beginning fails, a connection that keeps the failure.
    virtual std::unique_ptr<Sql::Connection> open(Sql::Transaction transaction, int busyWaitMs) = 0;
    // A connection that only reads, its read transaction begun, to look
    // into a register that anyone may have made: a file is opened for
    // reading only (a save cut off is not rolled back) and its schema is
    // not trusted. A failure is kept on the connection.
    virtual std::unique_ptr<Sql::Connection> openToInspect(int busyWaitMs) {
        return open(Sql::Transaction::Read, busyWaitMs);
    }
    // The operation is over: a file's connection is closed, a server's kept
    // for the next operation while it is sound.
    virtual void release(std::unique_ptr<Sql::Connection> db) = 0;
    // How a server's connections show that the server keeps them waiting,
    // and let the user stop the wait. A file is never waited for this way.
    virtual void setWaiting(Sql::WaitingSeam seam) { (void)seam; }
    // Watches the register for other programs' commits; null when it cannot
    // be reached now (a server down: try again later).
    virtual std::unique_ptr<ChangeSignal> watchChanges(int busyWaitMs) = 0;

    // What went wrong, in plain words, and what the user can do;
    // `missing` names what the register lacks when a statement failed; a
    // Read failed in an operation that changes nothing.
    virtual QString explanation(const Sql::Failure& failure, const QString& missing,
                                Sql::Transaction transaction) const = 0;
    // The engine's own words for a failure, to show after the explanation.
    virtual QString engineWords(const Sql::Failure& failure) const = 0;
    // The last line of a message about the register: which one it is.
    virtual QString registerLine() const = 0;

    // The text as this engine stores it. Texts are compared in this form
    // (a name looked up before it is added), so that a text the engine
    // changes on the way in still matches what it stored.
    virtual QString storable(const QString& text) const = 0;

    // --- The register's life -----------------------------------------------
    // Whether Quarvel looks after the register's file itself: backs it up,
    // and repairs it when damaged. A server's administrator looks after a
    // register on a server, and the server keeps its data sound.
    virtual bool looksAfterFile() const { return false; }
    // SQLite's quick check of the whole file, opened for writing so that a
    // save a crash cut off is rolled back first: true when sound, false when
    // damaged, nullopt when it cannot run. A server: true.
    virtual std::optional<bool> quickCheck(int busyWaitMs) const {
        (void)busyWaitMs;
        return true;
    }
    // The full check, which also compares every index with its table. It
    // reads on a connection of its own, so it may run on a thread of its
    // own; `stop` ends it early (nullopt). A file found sound leaves the
    // state it was checked in with `sound`, when given. A server: true.
    virtual std::optional<bool> fullCheck(int busyWaitMs, const std::function<bool()>& stop,
                                          SoundStates* sound = nullptr) const {
        (void)busyWaitMs;
        (void)stop;
        (void)sound;
        return true;
    }
    // Writes a new register here: the tables and the Data row with all
    // counters 0, in the current layout. Refuses a file that exists and a
    // server database that holds a register.
    virtual bool create(int busyWaitMs, QString* error) const = 0;
    // A connection to fill an empty register here, its write transaction
    // begun: a file is made (one that exists is opened as it is); a server
    // database is used as it is. A failure is kept on the connection.
    virtual std::unique_ptr<Sql::Connection> openToFill(int busyWaitMs) {
        return open(Sql::Transaction::Write, busyWaitMs);
    }

protected:
    explicit RegisterEngine(RegisterLocation location) : location_(std::move(location)) {}

private:
    RegisterLocation location_;
};
