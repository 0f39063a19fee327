#pragma once

#include <QString>
#include <memory>

#include "data/engine/RegisterLocation.h"
#include "data/engine/Sql.h"

// What the store does differently on a register file and on a register
// server: how it connects for an operation, what it says when something
// fails, and how it names the register. The statements themselves are the
// store's, the same on both.
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
    // The operation is over: a file's connection is closed, a server's kept
    // for the next operation while it is sound.
    virtual void release(std::unique_ptr<Sql::Connection> db) = 0;

    // What went wrong, in plain words, and what the user can do;
    // `missing` names what the register lacks when a statement failed.
    virtual QString explanation(const Sql::Failure& failure, const QString& missing) const = 0;
    // The engine's own words for a failure, to show after the explanation.
    virtual QString engineWords(const Sql::Failure& failure) const = 0;
    // The last line of a message about the register: which one it is.
    virtual QString registerLine() const = 0;

    // The text as this engine stores it. Texts are compared in this form
    // (a name looked up before it is added), so that a text the engine
    // changes on the way in still matches what it stored.
    virtual QString storable(const QString& text) const = 0;

protected:
    explicit RegisterEngine(RegisterLocation location) : location_(std::move(location)) {}

private:
    RegisterLocation location_;
};
