#include "data/register/RegisterCopy.h"

#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <memory>

#include "data/engine/Schema.h"
#include "data/engine/Sqlite.h"
#include "data/register/SafeReplace.h"

namespace RegisterCopy {

namespace fs = std::filesystem;

namespace {

// How long the copy waits for the program's own writes to the register.
constexpr int kBusyTimeoutMs = 2000;
constexpr int kBusyRetries = 50;
constexpr int kBusyPauseMs = 100;
// How long a copy waits for another one writing the same target.
constexpr int kTargetLockWaitMs = 2000;

using Connection = std::unique_ptr<Sqlite::Connection>;

QString textOf(const fs::path& path) {
    return QString::fromStdU16String(path.u16string());
}

CopyResult resultOfSqlite(int rc) {
    switch (rc & 0xff) {
        case SQLITE_OK:
        case SQLITE_DONE:
            return CopyResult::Done;
        case SQLITE_NOTADB:
            return CopyResult::NotADatabase;
        case SQLITE_CORRUPT:
            return CopyResult::Damaged;
        case SQLITE_FULL:
            return CopyResult::DiskFull;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return CopyResult::InUse;
        case SQLITE_READONLY:
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return CopyResult::AccessDenied;
        default:
            return CopyResult::Failed;
    }
}

CopyResult resultOfFilesystem(const std::error_code& error) {
    if (!error)
        return CopyResult::Done;
    if (error == std::errc::no_space_on_device)
        return CopyResult::DiskFull;
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted ||
        error == std::errc::read_only_file_system)
        return CopyResult::AccessDenied;
    if (error == std::errc::not_a_directory || error == std::errc::file_exists)
        return CopyResult::FolderUnavailable;
    return CopyResult::Failed;
}

// The desktop file as the copy attaches it: read only, never created.
QByteArray readOnlyUri(const QString& file) {
    const QString absolute = QFileInfo(file).absoluteFilePath();
    const QByteArray slashes = absolute.startsWith(QLatin1Char('/')) ? "//" : "///";
    return "file:" + slashes + QUrl::toPercentEncoding(absolute, "/:") + "?mode=ro";
}

// Opened the program's one way: a misspelt column name fails rather than
// turning into text, and the program's own writes are waited for.
// What the connection's failure means for the copy.
CopyResult failureOf(const Sqlite::Connection& db) {
    const int code = db.failure() ? db.failure()->code : 0;
    return code == 0 ? CopyResult::Failed : resultOfSqlite(code);
}

CopyResult openConnection(const QString& file, Sqlite::Open how, Connection& connection) {
    connection = std::make_unique<Sqlite::Connection>(file, how, kBusyTimeoutMs);
    if (!connection->isOpen())
        return connection->failure() ? resultOfSqlite(connection->failure()->code)
                                     : CopyResult::Failed;
    return CopyResult::Done;
}

CopyResult exec(Sqlite::Connection& db, const QByteArray& sql) {
    return db.exec(sql.constData()) ? CopyResult::Done : failureOf(db);
}

// One statement with text parameters, stepped to the end; each row's first
// column goes to onRow.
CopyResult query(Sqlite::Connection& db, const char* sql, const QList<QByteArray>& parameters,
                 const std::function<void(const QByteArray&)>& onRow = {}) {
    Sqlite::Statement statement(db, sql);
    for (const QByteArray& parameter : parameters)
        statement.bindUtf8(std::string_view(parameter.constData(), std::size_t(parameter.size())));
    while (statement.step()) {
        if (onRow) {
            const std::string_view value = statement.utf8(0);
            onRow(QByteArray(value.data(), qsizetype(value.size())));
        }
    }
    return statement.ok() ? CopyResult::Done : failureOf(db);
}

// Reading the schema also tells whether the file is an SQLite database at
// all. The copy refuses what the program itself would refuse: a register
// that lacks a table or a column of the version it records. An older
// version is copied as it is.
CopyResult readDesktopSchema(const QString& desktopDb, bool* needsRollback) {
    Connection source;
    CopyResult code = openConnection(desktopDb, Sqlite::Open::ReadOnly, source);
    if (code == CopyResult::Done)
        code = query(*source, "SELECT count(*) FROM sqlite_master", {});
    if (code != CopyResult::Done) {
        *needsRollback = source->isOpen() && source->failure() &&
                         source->failure()->extendedCode == SQLITE_READONLY_ROLLBACK;
        return code;
    }
    return Schema::missingPart(*source).isEmpty() ? CopyResult::Done : CopyResult::NotADatabase;
}

// A save cut off by a crash leaves its journal beside the register, and only
// a connection that may write rolls it back, as the program does when it next
// reads. Where that is not possible (a read-only folder), the register is in
// use by the save that never finished.
CopyResult rollBackCutOffSave(const QString& desktopDb) {
    Connection db;
    CopyResult code = openConnection(desktopDb, Sqlite::Open::Existing, db);
    if (code == CopyResult::Done)
        code = query(*db, "SELECT count(*) FROM sqlite_master", {});
    return code == CopyResult::Done ? code : CopyResult::InUse;
}

CopyResult checkDesktopFile(const QString& desktopDb) {
    if (!QFileInfo(desktopDb).isFile())
        return CopyResult::DesktopMissing;
    bool needsRollback = false;
    CopyResult code = readDesktopSchema(desktopDb, &needsRollback);
    if (needsRollback) {
        code = rollBackCutOffSave(desktopDb);
        if (code == CopyResult::Done)
            code = readDesktopSchema(desktopDb, &needsRollback);
    }
    return code;
}

// Whether path, with every link on the way followed, lies inside the
// resolved root.
bool liesInside(const fs::path& path, const fs::path& resolvedRoot) {
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(path, error);
    if (error)
        return false;
    const auto [rootEnd, pathAt] =
        std::mismatch(resolvedRoot.begin(), resolvedRoot.end(), resolved.begin(), resolved.end());
    return rootEnd == resolvedRoot.end();
}

// The target's folders, made one at a time below the root: each that is
// already there (a link too) must lead to a folder inside the root, and the
// target itself, when it is a link, to a place inside it.
CopyResult enterFoldersBelow(const fs::path& root, const fs::path& target) {
    std::error_code error;
    const fs::path resolvedRoot = fs::canonical(root, error);
    if (error)
        return CopyResult::RootGone;
    fs::path folder = root;
    for (const fs::path& part : target.parent_path().lexically_relative(root)) {
        folder /= part;
        if (!fs::exists(fs::symlink_status(folder, error))) {
            fs::create_directory(folder, error);
            if (error)
                return resultOfFilesystem(error);
        }
        if (!liesInside(folder, resolvedRoot))
            return CopyResult::OutsideRoot;
        if (!fs::is_directory(folder, error))
            return CopyResult::FolderUnavailable;
    }
    if (fs::is_symlink(fs::symlink_status(target, error)) && !liesInside(target, resolvedRoot))
        return CopyResult::OutsideRoot;
    return CopyResult::Done;
}

CopyResult prepareTargetFolder(const CopyJob& job) {
    std::error_code error;
    if (fs::exists(fs::symlink_status(job.target, error)) && !job.overwrite)
        return CopyResult::TargetExists;
    if (!job.root.empty())
        return enterFoldersBelow(job.root, job.target);
    fs::create_directories(job.target.parent_path(), error);
    return resultOfFilesystem(error);
}

QString nameOf(const fs::path& path) {
    return QString::fromStdU16String(path.filename().u16string());
}

// What killed copies left beside the target: the partial file, and the
// hidden temporary files of earlier versions (".data.cdb.<random>.tmp").
void removeLeftovers(const fs::path& target) {
    SafeReplace::removeLeftover(target);
    const QRegularExpression oldTemporary(QStringLiteral("^\\.%1\\.[0-9a-z]+\\.tmp(-journal)?$")
                                              .arg(QRegularExpression::escape(nameOf(target))));
    std::error_code error;
    std::vector<fs::path> found;
    for (fs::directory_iterator it(target.parent_path(), error), end; !error && it != end;
         it.increment(error)) {
        if (oldTemporary.match(nameOf(it->path())).hasMatch())
            found.push_back(it->path());
    }
    for (const fs::path& file : found)
        fs::remove(file, error);
}

// Two copies to one target would share its partial file; the second waits
// for the first. The lock lives in this computer's temporary folder, so a
// copy killed while holding it leaves nothing on the device.
std::unique_ptr<QLockFile> lockTarget(const fs::path& target) {
    std::error_code error;
    const fs::path absolute = fs::absolute(target, error);
    const QByteArray key = QCryptographicHash::hash(
        QString::fromStdU16String(absolute.u16string()).toUtf8(), QCryptographicHash::Sha1);
    auto lock = std::make_unique<QLockFile>(
        QDir(QDir::tempPath()).filePath(QStringLiteral("quarvel-copy-%1.lock").arg(key.toHex())));
    if (!lock->tryLock(kTargetLockWaitMs))
        return nullptr;
    return lock;
}

// The new file is written beside the old one, so the device needs room for
// both until the rename; better said before a byte is written than after
// most of them. A copy of some tables has no size to know beforehand.
CopyResult checkRoom(const CopyJob& job, const CopyHooks& hooks) {
    if (!job.tables.isEmpty())
        return CopyResult::Done;
    const fs::path desktop(job.desktopDb.toStdU16String());
    std::error_code error;
    std::uintmax_t needed = fs::file_size(desktop, error);
    if (error)
        return CopyResult::Done;
    const std::uintmax_t log = fs::file_size(fs::path(desktop).concat("-wal"), error);
    if (!error)
        needed += log;
    const fs::path folder = job.target.parent_path();
    if (hooks.freeSpace)
        return hooks.freeSpace(folder) < needed ? CopyResult::DiskFull : CopyResult::Done;
    const fs::space_info room = fs::space(folder, error);
    return !error && room.available < needed ? CopyResult::DiskFull : CopyResult::Done;
}

// The partial file is thrown away on failure, so it needs no journal while it
// is written.
CopyResult openPartial(const fs::path& partial, Connection& target) {
    CopyResult code = openConnection(textOf(partial), Sqlite::Open::Create, target);
    if (code == CopyResult::Done)
        code = exec(*target, "PRAGMA journal_mode = OFF; PRAGMA synchronous = FULL");
    return code;
}

CopyResult backupWholeFile(Sqlite::Connection& source, Sqlite::Connection& target,
                           const CopyHooks& hooks) {
    switch (source.copyPagesInto(target,
                                 {hooks.pagesPerStep, kBusyRetries, kBusyPauseMs, hooks.carryOn})) {
        case Sqlite::Connection::PageCopyEnd::Done:
            return CopyResult::Done;
        case Sqlite::Connection::PageCopyEnd::Stopped:
            return CopyResult::Failed;
        case Sqlite::Connection::PageCopyEnd::Failed:
            break;
    }
    return failureOf(target);
}

bool carryOn(const CopyHooks& hooks) {
    return !hooks.carryOn || hooks.carryOn();
}

// The bytes of the desktop file, read through the source connection's own
// handle while it holds the read lock, so no writer changes them meanwhile
// and no lock of this program on the register is dropped. The partial file
// was removed before: it is made new, never written through another file.
CopyResult copyBytes(Sqlite::Connection& source, const fs::path& partial) {
    QFile file(textOf(partial));
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (file.exists())
            return CopyResult::FolderUnavailable;
        const QFileInfo folder(QFileInfo(file).absolutePath());
        return folder.isDir() && !folder.isWritable() ? CopyResult::AccessDenied
                                                      : CopyResult::Failed;
    }
    // A write cut short (a full device) is tried again for the rest, which
    // tells the cause.
    const bool copied = source.readFileBytes([&](const char* bytes, qint64 size) {
        for (qint64 written = 0; size > 0; bytes += written, size -= written) {
            if ((written = file.write(bytes, size)) <= 0)
                return false;
        }
        return true;
    });
    if (copied && file.flush())
        return CopyResult::Done;
    return file.error() == QFileDevice::ResourceError ? CopyResult::DiskFull : CopyResult::Failed;
}

// The handheld opens the file through a reader that may not be able to write
// to its folder, which a write-ahead log needs: the device file always keeps
// a rollback journal, whatever the desktop uses.
CopyResult useRollbackJournal(Sqlite::Connection& db) {
    QByteArray mode;
    const CopyResult code = query(db, "PRAGMA journal_mode = DELETE", {},
                                  [&](const QByteArray& value) { mode = value; });
    if (code == CopyResult::Done && mode.compare("delete", Qt::CaseInsensitive) != 0)
        return CopyResult::Failed;
    return code;
}

// A damaged register copied is a damaged device file: found before the old
// device file is replaced. The check reads the file through a memory map, so
// the pages the copy just left in the cache are not read again a page at a
// time through the file interface (a third less time at 1M items); only
// SQLite's full check finds an index that holds other values than its table.
CopyResult checkIntegrity(Sqlite::Connection& db) {
    QByteArrayList found;
    CopyResult code = exec(db, "PRAGMA mmap_size = 4294967296");
    if (code == CopyResult::Done)
        code =
            query(db, "PRAGMA integrity_check", {}, [&](const QByteArray& line) { found << line; });
    if (code == CopyResult::NotADatabase)
        return CopyResult::Damaged;
    if (code == CopyResult::Done && found != QByteArrayList{"ok"})
        return CopyResult::Damaged;
    return code;
}

// The copy of a state already found sound needs no second full read: its
// header and size show that it is all of that state's bytes.
CopyResult checkHoldsState(Sqlite::Connection& db, const Sqlite::FileState& copied) {
    CopyResult code = exec(db, "BEGIN");
    const std::optional<Sqlite::FileState> written =
        code == CopyResult::Done ? db.fileState() : std::nullopt;
    db.rollback();
    if (code != CopyResult::Done)
        return code;
    const bool same = written && written->size == copied.size &&
                      written->changeCounter == copied.changeCounter &&
                      written->pageCount == copied.pageCount;
    return same ? CopyResult::Done : CopyResult::Failed;
}

// The partial file made what the handheld expects, and checked: in full,
// unless it holds a state of the desktop file already found sound.
CopyResult finishDeviceFile(const fs::path& partial, const CopyHooks& hooks,
                            const std::optional<Sqlite::FileState>& copied) {
    Connection db;
    CopyResult code = openConnection(textOf(partial), Sqlite::Open::Existing, db);
    if (code == CopyResult::Done)
        code = useRollbackJournal(*db);
    const bool known =
        code == CopyResult::Done && copied && hooks.knownSound && hooks.knownSound(*copied);
    if (known) {
        code = checkHoldsState(*db, *copied);
    } else if (code == CopyResult::Done) {
        code = checkIntegrity(*db);
        if (code == CopyResult::Done && copied && hooks.foundSound)
            hooks.foundSound(*copied);
    }
    if (code == CopyResult::Done && hooks.carryOn && !hooks.carryOn())
        code = CopyResult::Failed;
    return code;
}

bool usesWriteAheadLog(Sqlite::Connection& db) {
    QByteArray mode;
    query(db, "PRAGMA journal_mode", {}, [&](const QByteArray& value) { mode = value; });
    return mode.compare("wal", Qt::CaseInsensitive) == 0;
}

// A register kept with a rollback journal is copied as its bytes under a
// read lock: consistent, and as fast as the disks allow; *copied is the
// state they hold, read under the same lock. One kept with a write-ahead
// log needs SQLite's backup to merge the log in.
CopyResult copyWholeFile(const QString& desktopDb, const fs::path& partial, const CopyHooks& hooks,
                         std::optional<Sqlite::FileState>* copied) {
    Connection source;
    CopyResult code = openConnection(desktopDb, Sqlite::Open::ReadOnly, source);
    if (code != CopyResult::Done)
        return code;
    if (usesWriteAheadLog(*source)) {
        Connection target;
        code = openPartial(partial, target);
        return code == CopyResult::Done ? backupWholeFile(*source, *target, hooks) : code;
    }
    code = exec(*source, "BEGIN");
    if (code == CopyResult::Done)
        code = query(*source, "SELECT count(*) FROM sqlite_master", {});  // takes the lock
    if (code == CopyResult::Done) {
        *copied = source->fileState();
        code = copyBytes(*source, partial);
    }
    exec(*source, "COMMIT");
    if (code == CopyResult::Done && !carryOn(hooks))
        code = CopyResult::Failed;
    return code;
}

// The table as the desktop declares it, with its indexes. A table of a
// later version than the desktop's (TestHistory of a version 1 register) is
// not there: *present says so.
CopyResult copySchemaOf(Sqlite::Connection& target, const QString& table, bool* present) {
    QList<QByteArray> statements;
    CopyResult code = query(target,
                            "SELECT sql FROM src.sqlite_master WHERE tbl_name = ? COLLATE "
                            "NOCASE AND type IN ('table', 'index') AND sql IS NOT NULL "
                            "ORDER BY type <> 'table'",
                            {table.toUtf8()}, [&](const QByteArray& sql) { statements << sql; });
    *present = !statements.isEmpty();
    for (const QByteArray& sql : statements) {
        if (code == CopyResult::Done)
            code = exec(target, sql);
    }
    return code;
}

// Table names come from registerTables(), never from the caller's text.
CopyResult copyRows(Sqlite::Connection& target, const QString& table) {
    return exec(
        target,
        QStringLiteral("INSERT INTO main.\"%1\" SELECT * FROM src.\"%1\"").arg(table).toUtf8());
}

// One transaction over all tables reads them all from the same state of the
// desktop file.
CopyResult copyTables(const CopyJob& job, Sqlite::Connection& target, const CopyHooks& hooks) {
    CopyResult code = query(target, "ATTACH DATABASE ? AS src", {readOnlyUri(job.desktopDb)});
    if (code == CopyResult::Done)
        code = exec(target, "BEGIN");
    for (const QString& table : job.tables) {
        bool present = false;
        if (code == CopyResult::Done)
            code = copySchemaOf(target, table, &present);
        if (code == CopyResult::Done && present)
            code = copyRows(target, table);
        if (code == CopyResult::Done && hooks.carryOn && !hooks.carryOn())
            code = CopyResult::Failed;
    }
    return code == CopyResult::Done ? exec(target, "COMMIT") : code;
}

CopyResult writePartial(const CopyJob& job, const fs::path& partial, const CopyHooks& hooks,
                        std::optional<Sqlite::FileState>* copied) {
    if (job.tables.isEmpty())
        return copyWholeFile(job.desktopDb, partial, hooks, copied);
    Connection target;
    const CopyResult code = openPartial(partial, target);
    return code == CopyResult::Done ? copyTables(job, *target, hooks) : code;
}

// A device pulled out during the copy fails it with whatever error its
// last write met; what the user needs to hear is that it is gone.
CopyResult whenDeviceWentAway(const CopyJob& job, CopyResult code) {
    std::error_code error;
    if (!job.root.empty() && !fs::is_directory(job.root, error))
        return CopyResult::RootGone;
    if (!fs::is_directory(job.target.parent_path(), error))
        return CopyResult::FolderUnavailable;
    return code;
}

CopyResult writeDeviceFile(const CopyJob& job, const CopyHooks& hooks) {
    const auto lock = lockTarget(job.target);
    if (!lock)
        return CopyResult::InUse;
    removeLeftovers(job.target);
    CopyResult code = checkRoom(job, hooks);
    if (code != CopyResult::Done)
        return code;
    if (hooks.beforeWriting)
        hooks.beforeWriting();
    const SafeReplace::Outcome replaced =
        SafeReplace::replace(job.target, [&](const fs::path& partial) {
            std::optional<Sqlite::FileState> copied;
            code = writePartial(job, partial, hooks, &copied);
            if (code == CopyResult::Done)
                code = finishDeviceFile(partial, hooks, copied);
            return code == CopyResult::Done;
        });
    if (replaced.written)
        code = resultOfFilesystem(replaced.error);
    return code == CopyResult::Done ? code : whenDeviceWentAway(job, code);
}

}  // namespace

const QStringList& registerTables() {
    static const QStringList tables = {QStringLiteral("Items"),      QStringLiteral("Cases"),
                                       QStringLiteral("Lists"),      QStringLiteral("ListData"),
                                       QStringLiteral("Locations"),  QStringLiteral("Data"),
                                       QStringLiteral("TestHistory")};
    return tables;
}

fs::path partialFileOf(const fs::path& target) {
    return SafeReplace::partialOf(target);
}

CopyResult copy(const CopyJob& job, const CopyHooks& hooks) {
    CopyResult code = checkDesktopFile(job.desktopDb);
    if (code == CopyResult::Done)
        code = prepareTargetFolder(job);
    return code == CopyResult::Done ? writeDeviceFile(job, hooks) : code;
}

}  // namespace RegisterCopy
