#include "data/engine/RegisterEngine.h"

#include <sqlite3.h>

#include <QDir>
#include <QFileInfo>

#include <QFile>

#include "data/engine/Postgres.h"
#include "data/engine/Schema.h"
#include "data/engine/SoundStates.h"
#include "data/engine/Sqlite.h"
#include "data/rules/Changes.h"
#include "data/rules/TextRules.h"

namespace {

// --- The register file ----------------------------------------------------------

// A save cut off by a crash leaves its journal beside the register, and
// SQLite must roll it back before anything can be read. Where the register
// or its folder may not be written, that fails with a disk error.
bool cutOffSaveCannotBeUndone(const QString& path, int extendedCode) {
    return (extendedCode == SQLITE_IOERR_DELETE || extendedCode == SQLITE_READONLY_ROLLBACK ||
            extendedCode == SQLITE_READONLY_DIRECTORY) &&
           QFileInfo::exists(path + QStringLiteral("-journal"));
}

// Another program's commit changes the number SQLite's data_version gives
// on a connection that stays open (this program's own writes come through
// other connections, and count as well: the watcher knows them by their
// batch). The connection holds no transaction and no lock between looks.
class FileChangeSignal : public ChangeSignal {
public:
    FileChangeSignal(const QString& path, int busyWaitMs)
        : db_(path, Sqlite::Open::ReadOnly, busyWaitMs) {
        last_ = version();
    }
    bool isOpen() const { return db_.isOpen() && last_.has_value(); }
    qintptr socket() const override { return -1; }
    Seen look() override {
        const std::optional<std::int64_t> now = version();
        if (!now || *now == last_)
            return Seen::Nothing;
        last_ = now;
        return Seen::Changes;
    }

private:
    std::optional<std::int64_t> version() {
        db_.forgetFailure();
        const std::unique_ptr<Sql::Cursor> pragma = db_.prepare("PRAGMA data_version");
        if (!pragma->ok() || !pragma->step())
            return std::nullopt;
        return pragma->integer(0);
    }

    Sqlite::Connection db_;
    std::optional<std::int64_t> last_;
};

// Each operation opens the file afresh and closes it when done, so nothing
// stays open between window events.
class FileEngine : public RegisterEngine {
public:
    explicit FileEngine(RegisterLocation location) : RegisterEngine(std::move(location)) {}

    QString absence() const override {
        if (QFileInfo::exists(path()))
            return {};
        return QStringLiteral(
            "The register does not exist. Put data.mdb back into the program's folder or "
            "restore it from a backup.");
    }

    std::unique_ptr<Sql::Connection> open(Sql::Transaction transaction, int busyWaitMs) override {
        auto db = std::make_unique<Sqlite::Connection>(path(), Sqlite::Open::Existing, busyWaitMs);
        if (db->isOpen())
            db->begin(transaction);
        return db;
    }

    std::unique_ptr<Sql::Connection> openToInspect(int busyWaitMs) override {
        auto db = std::make_unique<Sqlite::Connection>(path(), Sqlite::Open::ReadOnly, busyWaitMs);
        if (db->isOpen() && db->distrustSchema())
            db->begin(Sql::Transaction::Read);
        return db;
    }

    void release(std::unique_ptr<Sql::Connection>) override {}

    std::unique_ptr<ChangeSignal> watchChanges(int busyWaitMs) override {
        auto signal = std::make_unique<FileChangeSignal>(path(), busyWaitMs);
        return signal->isOpen() ? std::move(signal) : nullptr;
    }

    QString explanation(const Sql::Failure& failure, const QString& missing,
                        Sql::Transaction transaction) const override;

    QString engineWords(const Sql::Failure& failure) const override {
        return QStringLiteral("(SQLite: %1)").arg(failure.text);
    }

    QString registerLine() const override {
        return QStringLiteral("Database file: %1").arg(QDir::toNativeSeparators(path()));
    }

    QString storable(const QString& text) const override { return TextRules::storable(text); }

    bool looksAfterFile() const override { return true; }
    std::optional<bool> quickCheck(int busyWaitMs) const override {
        return check(Sqlite::Open::Existing, Sqlite::Check::Quick, busyWaitMs, {});
    }
    std::optional<bool> fullCheck(int busyWaitMs, const std::function<bool()>& stop,
                                  SoundStates* sound) const override;
    bool create(int busyWaitMs, QString* error) const override;
    std::unique_ptr<Sql::Connection> openToFill(int busyWaitMs) override {
        auto db = std::make_unique<Sqlite::Connection>(path(), Sqlite::Open::Create, busyWaitMs);
        if (db->isOpen())
            db->begin(Sql::Transaction::Write);
        return db;
    }

private:
    const QString& path() const { return location().text(); }

    std::optional<bool> check(Sqlite::Open how, Sqlite::Check which, int busyWaitMs,
                              const std::function<bool()>& stop) const {
        if (!QFileInfo::exists(path()))
            return std::nullopt;
        Sqlite::Connection db(path(), how, busyWaitMs);
        return db.isSound(which, stop);
    }
};

// The file's state is read in the check's own read transaction, so it is
// the state the check read: no write comes between.
std::optional<bool> FileEngine::fullCheck(int busyWaitMs, const std::function<bool()>& stop,
                                          SoundStates* sound) const {
    if (!QFileInfo::exists(path()))
        return std::nullopt;
    Sqlite::Connection db(path(), Sqlite::Open::ReadOnly, busyWaitMs);
    if (!db.begin(Sql::Transaction::Read))
        return std::nullopt;
    const std::optional<Sqlite::FileState> state = sound ? db.fileState() : std::nullopt;
    const std::optional<bool> found = db.isSound(Sqlite::Check::Full, stop);
    db.rollback();
    if (state && found == true && state->stillOnDisk())
        sound->remember(*state);
    return found;
}

bool FileEngine::create(int busyWaitMs, QString* error) const {
    if (QFileInfo::exists(path())) {
        if (error)
            *error = QStringLiteral("%1 already exists.").arg(path());
        return false;
    }
    bool ok = false;
    {
        Sqlite::Connection db(path(), Sqlite::Open::Create, busyWaitMs);
        ok = db.exec("BEGIN") && Schema::create(db) && db.exec("COMMIT");
        if (!ok && error)
            *error = db.failure() ? db.failure()->text : QStringLiteral("Unknown error.");
    }
    if (!ok)
        QFile::remove(path());
    return ok;
}

QString FileEngine::explanation(const Sql::Failure& failure, const QString& missing,
                                Sql::Transaction) const {
    const QString file = QDir::toNativeSeparators(path());
    if (cutOffSaveCannotBeUndone(path(), failure.extendedCode))
        return QStringLiteral(
                   "The register %1 holds a save that was cut off, when a program stopped in the "
                   "middle of it (%1-journal is what it left). Quarvel has to undo that save "
                   "before it can read the register, and it may not write to the register's "
                   "folder. Ask for write access to the folder, then try again; nothing saved "
                   "before that save is lost.")
            .arg(file);
    switch (failure.code) {
        case SQLITE_NOTADB:
            return QStringLiteral(
                       "The register %1 is not a Quarvel database. Restore data.mdb "
                       "from a backup.")
                .arg(file);
        case SQLITE_CORRUPT:
            return QStringLiteral("The register %1 is damaged. Restore data.mdb from a backup.")
                .arg(file);
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return QStringLiteral(
                       "The register %1 is in use by another program; try again in "
                       "a moment.")
                .arg(file);
        case SQLITE_READONLY:
            return QStringLiteral(
                       "The register %1 is read-only. Ask for write access to the file "
                       "and its folder, then try again.")
                .arg(file);
        case SQLITE_FULL:
            return QStringLiteral(
                       "The disk that holds the register %1 is full. Free some space, "
                       "then try again.")
                .arg(file);
        case SQLITE_CANTOPEN:
            return QStringLiteral(
                       "The register %1 could not be opened. Check that the file and "
                       "its folder can be read and written.")
                .arg(file);
        case SQLITE_IOERR:
            return QStringLiteral(
                       "The register %1 could not be read or written: the disk "
                       "reported an error.")
                .arg(file);
        default:
            break;
    }
    if (!missing.isEmpty())
        return QStringLiteral(
                   "The register %1 is not a complete Quarvel database: %2. Restore "
                   "data.mdb from a backup.")
            .arg(file, missing);
    return registerLine();
}

// --- The register on a server ------------------------------------------------------

// The notices the writers send before they commit, heard on a listening
// connection of the watcher's own.
class ServerChangeSignal : public ChangeSignal {
public:
    explicit ServerChangeSignal(const QString& connection)
        : listener_(connection, kChangeChannel) {}
    bool isOpen() const { return listener_.isOpen(); }
    qintptr socket() const override { return listener_.socket(); }
    Seen look() override {
        const int notices = listener_.takeNotices();
        return notices < 0 ? Seen::Lost : notices > 0 ? Seen::Changes : Seen::Nothing;
    }

private:
    Postgres::Listener listener_;
};

// One connection is kept from one operation to the next, so that a window
// event does not wait for a new sign-in. It holds no transaction between
// operations. One that the server closed meanwhile (a restart) is replaced
// at the next operation without a word; one that breaks during an
// operation, or that the user stopped waiting for, fails that operation,
// and the next one connects again.
class ServerEngine : public RegisterEngine {
public:
    explicit ServerEngine(RegisterLocation location) : RegisterEngine(std::move(location)) {}

    std::unique_ptr<Sql::Connection> open(Sql::Transaction transaction, int busyWaitMs) override {
        if (kept_) {
            std::unique_ptr<Sql::Connection> db = std::move(kept_);
            db->forgetFailure();
            db->setBusyWait(busyWaitMs);
            if (db->begin(transaction))
                return db;
            if (db->failure()->problem != Sql::Problem::ConnectionLost)
                return db;
        }
        auto db = std::make_unique<Postgres::Connection>(location().text(), busyWaitMs, waiting_);
        if (db->isOpen())
            db->begin(transaction);
        return db;
    }

    void setWaiting(Sql::WaitingSeam seam) override { waiting_ = std::move(seam); }

    std::unique_ptr<ChangeSignal> watchChanges(int) override {
        auto signal = std::make_unique<ServerChangeSignal>(location().text());
        return signal->isOpen() ? std::move(signal) : nullptr;
    }

    void release(std::unique_ptr<Sql::Connection> db) override {
        if (db->isOpen())
            kept_ = std::move(db);
    }

    QString explanation(const Sql::Failure& failure, const QString& missing,
                        Sql::Transaction transaction) const override;

    QString engineWords(const Sql::Failure& failure) const override {
        return failure.state.isEmpty()
                   ? QStringLiteral("(PostgreSQL: %1)").arg(failure.text)
                   : QStringLiteral("(PostgreSQL %1: %2)").arg(failure.state, failure.text);
    }

    QString registerLine() const override {
        return QStringLiteral("Register: %1").arg(location().shown());
    }

    QString storable(const QString& text) const override { return Postgres::storable(text); }

    bool create(int busyWaitMs, QString* error) const override;

private:
    std::unique_ptr<Sql::Connection> kept_;
    Sql::WaitingSeam waiting_;
};

// On a connection of its own: a register made is no operation of a store.
bool ServerEngine::create(int busyWaitMs, QString* error) const {
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    Postgres::Connection db(location().text(), busyWaitMs, waiting_);
    bool ok = db.isOpen() && db.begin(Sql::Transaction::Write);
    std::optional<int> found;
    if (ok) {
        found = Schema::versionOf(db);
        ok = found && *found == 0 && Schema::create(db) && db.commit();
        if (!ok)
            db.rollback();
    }
    if (found && *found != 0)
        return fail(QStringLiteral("%1 already holds a register.").arg(location().shown()));
    if (!ok)
        return fail(db.failure() ? db.failure()->text : QStringLiteral("Unknown error."));
    return true;
}

QString ServerEngine::explanation(const Sql::Failure& failure, const QString& missing,
                                  Sql::Transaction transaction) const {
    const QString where = location().shown();
    switch (failure.problem) {
        case Sql::Problem::Unreachable:
            // The server answered, and said no.
            if (failure.state.startsWith(QLatin1String("28")))
                return QStringLiteral(
                           "The server of the register, %1, does not let you sign in (its words "
                           "are below). Ask your administrator to let you sign in to it; a "
                           "password belongs in your PostgreSQL password file (~/.pgpass), "
                           "never in Quarvel's settings.")
                    .arg(where);
            if (failure.state == QLatin1String("3D000"))
                return QStringLiteral(
                           "The server of the register, %1, has no such database. Check the "
                           "register's name (--register, your setting Register or register.conf "
                           "beside the program), or ask your administrator to make the register "
                           "there (quarvel-makedb CONNECTION).")
                    .arg(where);
            return QStringLiteral(
                       "Quarvel could not connect to the register, %1. Check that the server is "
                       "running and can be reached from this computer, and that you may sign "
                       "in to it; then try again.")
                .arg(where);
        case Sql::Problem::ConnectionLost:
            if (transaction == Sql::Transaction::Read)
                return QStringLiteral(
                           "The connection to the register, %1, was lost while Quarvel was "
                           "reading it; nothing was changed. Try again once the server can be "
                           "reached (Quarvel connects again by itself).")
                    .arg(where);
            return QStringLiteral(
                       "The connection to the register, %1, was lost before the work was "
                       "finished, so none of it was stored. What you typed is still in the "
                       "window: try again once the server can be reached (Quarvel connects "
                       "again by itself).")
                .arg(where);
        case Sql::Problem::CommitUnknown:
            return QStringLiteral(
                       "The connection to the register, %1, was lost while the server was "
                       "storing the work: it may or may not have been stored. Once the server "
                       "can be reached again, look the record up before you save it again.")
                .arg(where);
        case Sql::Problem::NoAnswer:
            if (transaction == Sql::Transaction::Read)
                return QStringLiteral(
                           "The server of the register, %1, did not answer, and the wait for it "
                           "was cancelled. Quarvel was only reading, so nothing was changed. Try "
                           "again once the server answers (Quarvel connects again by itself).")
                    .arg(where);
            return QStringLiteral(
                       "The server of the register, %1, did not answer, and the wait for it was "
                       "cancelled. The work was stopped and nothing of it was saved. What you "
                       "typed is still in the window: try again once the server answers "
                       "(Quarvel connects again by itself).")
                .arg(where);
        case Sql::Problem::Busy:
            return QStringLiteral(
                       "Another desk kept what this needs for longer than Quarvel waits; try "
                       "again in a moment.\n\nRegister: %1")
                .arg(where);
        case Sql::Problem::ReadOnly:
            return QStringLiteral(
                       "The server does not let you change the register, %1: your sign-in may "
                       "only read it, or the server only reads. Ask your administrator for "
                       "write access.")
                .arg(where);
        case Sql::Problem::Full:
            return QStringLiteral(
                       "The server of the register, %1, has no room or memory left. Ask your "
                       "administrator, then try again.")
                .arg(where);
        case Sql::Problem::Damaged:
        case Sql::Problem::Io:
            return QStringLiteral(
                       "The server of the register, %1, reports damaged data or a disk error. "
                       "Ask your administrator to check the server.")
                .arg(where);
        default:
            break;
    }
    if (!missing.isEmpty())
        return QStringLiteral(
                   "The register, %1, is not a complete Quarvel register: %2. Ask your "
                   "administrator to copy the register onto the server again "
                   "(quarvel-makedb --copy).")
            .arg(where, missing);
    return registerLine();
}

}  // namespace

std::unique_ptr<RegisterEngine> RegisterEngine::at(const RegisterLocation& location) {
    if (location.isServer())
        return std::make_unique<ServerEngine>(location);
    return std::make_unique<FileEngine>(location);
}
