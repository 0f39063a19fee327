#pragma once

#include <QDate>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "base/FailureReporter.h"
#include "data/engine/RegisterLocation.h"
#include "data/engine/Schema.h"
#include "data/register/RegisterRepair.h"

namespace Sql {
class Connection;
struct Failure;
struct WaitingSeam;
}  // namespace Sql
class ChangeLogWriter;
class ChangeSignal;
class Progress;
class RegisterEngine;
class SoundStates;

// Why a register is open for reading only.
enum class ReadOnlyCause {
    Damaged,       // SQLite finds faults in the file (only a file can be)
    NewerVersion,  // a newer Quarvel wrote it, in a layout this one does not know
    Unwritable,    // this user may not write the register file, or in its folder
};

// Why the register is open for reading only, in words: the reason in one
// sentence and what the user can do about it.
struct ReadOnlyReason {
    ReadOnlyCause cause;
    QString reason;
    QString advice;
};

// Who makes the register's changes and where: kept with every change the
// change log records (and with the tests recorded).
struct Author {
    QString user;  // the computer user's name
    QString desk;  // the computer's name
};

// How the user is told, once, that the register is now open for reading
// only; message is the whole text to show.
using ReadOnlyNotice = std::function<void(const ReadOnlyReason& why, const QString& message)>;

// The register as the stores work with it, the same on both engines: the
// SQLite file data.mdb and a database on a PostgreSQL server
// (RegisterEngine holds what differs). The stores beside it (ItemStore,
// CaseStore, ListStore, ...) hold the statements, one store per area; each
// runs its statements here, with bound values in one transaction. On a file
// the register opens its own connection and closes it again, so nothing
// stays open between window events, and a write takes the file's write lock
// at once; on a server one connection is kept between operations, and a
// write locks the rows it checks before it changes them. Either way, a
// register in use by another program or desk is waited for (the busy wait)
// instead of refused.
//
// When an operation fails (missing or unreadable file, not a database, a
// server out of reach or gone in the middle, in use, read-only, disk full, a
// missing table or column, a failed statement) nothing partial is stored,
// the failure reporter is told in plain words what failed and what to do,
// and the operation returns an empty optional, false or Failed.
//
// The register also looks after itself as a whole: reading only, damage
// checks and repair, layout versions and upgrades, and the daily backup.
class Register {
public:
    // The register file at databasePath.
    explicit Register(QString databasePath, FailureReporter reporter = {});
    explicit Register(const RegisterLocation& location, FailureReporter reporter = {});
    ~Register();
    Register(const Register&) = delete;
    Register& operator=(const Register&) = delete;

    const RegisterLocation& location() const;
    // The text as this register's engine stores it; compare texts in this form.
    QString storable(const QString& text) const;

    // Writes a new register: the six tables and the Data row with all
    // counters 0, in the current layout. Refuses to overwrite an existing file.
    static bool createEmptyDatabase(const QString& path, QString* error);
    // The same in a file or in an empty database on a server; refuses a
    // file that exists and a database that holds a register.
    static bool createEmpty(const RegisterLocation& location, QString* error);
    // Whether the register holds no record at all, as createEmpty makes it:
    // every table of its layout empty and the counters 0. It is only looked
    // into: a file is opened for reading only, its schema not trusted.
    // Nullopt, with the reason, when that cannot be told: nothing there, no
    // complete register, a layout newer than this program's, a failed read.
    static std::optional<bool> holdsNoRecord(const RegisterLocation& location, QString* problem);

    // How long an operation waits for another program using the register
    // before it says "in use", asked afresh for each operation; 10 s
    // unless set.
    void setBusyWait(std::function<int()> milliseconds) { busyWaitMs_ = std::move(milliseconds); }
    // How the user sees that the register's server keeps an operation
    // waiting, and may stop it (StoreSetup shows a window with Cancel). An
    // operation stopped so fails, and nothing of it is stored.
    void setServerWaiting(const Sql::WaitingSeam& seam);

    // --- Running the stores' statements ----------------------------------
    // ReadQuietly: a read whose failure the next read will tell the user.
    enum class Mode { Read, Write, ReadQuietly };
    using Body = std::function<bool(Sql::Connection& db)>;
    // Opens a connection and runs body in one transaction, rolled back when
    // body fails. Reports a failure described by `what` ("read the items").
    bool run(const QString& what, Mode mode, const Body& body);
    // A write whose changes go into the change log: runs body in one write
    // transaction, as run does, with a log writer for the operation
    // ("Save", "Import", "Move", ...) made with the author and the change
    // time. The writer's batch and rows are written after body and before
    // COMMIT (on a server with a notice to the other desks), so a write that
    // fails or is rolled back logs nothing.
    using LoggedBody = std::function<bool(Sql::Connection& db, ChangeLogWriter& log)>;
    bool write(const QString& what, const QString& operation, const LoggedBody& body);
    // Tells the user that `what` failed, in the program's own words.
    void report(const QString& what, const QString& ownText);
    // Failures are told through `reporter` from now on; gives the one that
    // told them until now.
    FailureReporter exchangeReporter(FailureReporter reporter);

    // --- Who changes it ---------------------------------------------------
    // Kept with every change from now on; empty texts until set.
    void setAuthor(Author author) { author_ = std::move(author); }
    const Author& author() const { return author_; }
    // The time a change is logged with, in UTC: the backup policy's clock
    // when it is set, else the system's.
    QDateTime changeTime() const;

    // --- Other programs' changes -----------------------------------------
    // Tells when another program commits to the register (ChangeWatcher);
    // null when it cannot be reached now.
    std::unique_ptr<ChangeSignal> watchChanges();
    // The batches this register committed since the last forgetOwnBatches():
    // its own changes, which the windows that made them know already.
    bool isOwnBatch(qint64 batch) const { return ownBatches_.contains(batch); }
    void forgetOwnBatches() { ownBatches_.clear(); }

    // --- Reading only ----------------------------------------------------
    // From now on the register is only read: the user is told once why
    // (through the notice, else the failure reporter), every write is
    // refused with a message that names the reason, and reads go on.
    void openReadOnly(const ReadOnlyReason& why);
    // Nothing while the register may be written.
    const std::optional<ReadOnlyReason>& readOnly() const { return readOnly_; }
    void setReadOnlyNotice(ReadOnlyNotice notice) { notice_ = std::move(notice); }

    // --- Damage ----------------------------------------------------------
    enum class Health { Sound, Damaged, Unknown };
    // SQLite's quick check of the whole register file. A damaged register is
    // opened for reading only, as it is when any statement later finds
    // damage. Unknown, and nothing said, when the check cannot run (the
    // reads tell why). A server keeps its own data sound: Sound. The first
    // write of a run (an upgrade's backup and steps, a save, an import) runs
    // this check first when nothing has yet found the file sound, or the
    // full check when told to (checkFullyBeforeWrites), so a damaged
    // register is never written on any path.
    Health checkForDamage();
    // SQLite's full check of the register file, which also compares every
    // index with its table (damage the quick check passes by). It reads on a
    // connection of its own and touches no Register, so it may run on a
    // thread of its own; `stop` ends it early (Unknown). A server: Sound. A
    // file found sound leaves the state it was found in with `sound`, when
    // given.
    static Health fullCheck(const RegisterLocation& location, int busyWaitMs,
                            const std::function<bool()>& stop = {}, SoundStates* sound = nullptr);
    // The states of register files that full checks of this run (this
    // register's upgrade, and those its owner runs) found sound; the device
    // copy of a file in such a state need not check it again.
    const std::shared_ptr<SoundStates>& soundStates() const { return soundStates_; }
    enum class Check { Quick, Full };
    // What a check found (a full check on another thread among them), taken
    // on the register's own thread: damage opens the register for reading
    // only; Sound spares the first write its check (the quick one only,
    // where writes wait for the full check).
    void takeDamageCheck(Health found, Check which);
    // Writes to a file wait for the full check, not the quick one: until a
    // full check of this run has found the file sound, each write first asks
    // `fullCheck` for its finding (it runs the check, or waits for the one
    // under way). Nullopt when the user stopped the wait: the write is then
    // refused and nothing is stored. Unknown lets the write go on, as the
    // quick check's does, and the next write asks again.
    using FullCheckFirst = std::function<std::optional<Health>()>;
    void checkFullyBeforeWrites(FullCheckFirst fullCheck) {
        fullCheckFirst_ = std::move(fullCheck);
    }
    // Whether the register may be written: runs the damage check first when
    // nothing has found the file sound yet in this run. False when the
    // register is open for reading only (the user was told why) or the user
    // stopped the wait for the full check.
    bool mayWrite();
    // Mends a damaged register file into a new file that takes its place
    // (see RegisterRepair); once repaired it may be written again. Cancelled
    // through `progress`, nothing is changed.
    RegisterRepair::Outcome repairDamaged(Progress* progress = nullptr);

    // --- Layout versions and backups -------------------------------------
    // Run once when the program starts. A register of an older layout is
    // checked for damage (a damaged one is only read, never upgraded), then
    // backed up (a file; a server's administrator keeps its backups), then
    // brought to the last version of `steps` in one transaction; a register
    // of a newer layout is only read. False when the register cannot be
    // worked with (the user was told).
    bool upgradeIfOlder(std::span<const Schema::Step> steps = Schema::upgradeSteps());

    // How the register file is backed up once a day, before the first save.
    struct BackupPolicy {
        std::function<QDateTime()> now;
        std::function<int()> keep;  // how many backups to keep
        FailureReporter warn;       // a failed backup is told here; work goes on
        // How a backup's progress is shown (none: not shown, never cancelled).
        std::function<std::unique_ptr<Progress>()> progress;
    };
    void setBackupPolicy(BackupPolicy policy) { backups_ = std::move(policy); }

private:
    // Tells the user that `what` failed: the engine's failure explained.
    void report(const QString& what, const Sql::Failure& failure, const QString& missing,
                Mode mode);
    ReadOnlyReason damaged() const;
    void backUpOnceADay();
    bool backUp(const QDateTime& when, const QString& occasion);
    int busyWaitMs() const;

    std::unique_ptr<RegisterEngine> engine_;
    FailureReporter reporter_;
    std::optional<ReadOnlyReason> readOnly_;
    ReadOnlyNotice notice_;
    std::function<int()> busyWaitMs_;
    BackupPolicy backups_;
    QDate lastBackupDay_;         // the day the last backup was taken or tried
    bool damageChecked_ = false;  // this run's quick or full check has found the file sound
    bool fullySound_ = false;     // this run's full check has found the file sound
    FullCheckFirst fullCheckFirst_;
    std::shared_ptr<SoundStates> soundStates_;
    Author author_;
    // The layout that brought the change log, and whether this register
    // keeps one (asked once, at the first write).
    static constexpr int kFirstLoggedVersion = 5;
    std::optional<bool> keepsLog_;
    QSet<qint64> ownBatches_;
};
