#include "data/RegisterCopy.h"

#include <sqlite3.h>

#include <QFileInfo>
#include <QRandomGenerator>
#include <QUrl>
#include <algorithm>
#include <memory>

namespace RegisterCopy {

namespace fs = std::filesystem;

namespace {

// How long the copy waits for the program's own writes to the register.
constexpr int kBusyTimeoutMs = 2000;
constexpr int kBusyRetries = 50;
constexpr int kBusyPauseMs = 100;

using Connection = std::unique_ptr<sqlite3, int (*)(sqlite3*)>;

QByteArray utf8Of(const fs::path& path) {
    return QString::fromStdU16String(path.u16string()).toUtf8();
}

CopyResult resultOfSqlite(int rc) {
    switch (rc & 0xff) {
        case SQLITE_OK:
        case SQLITE_DONE:
            return CopyResult::Done;
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
            return CopyResult::NotADatabase;
        case SQLITE_FULL:
            return CopyResult::DiskFull;
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

// A read-only URI never creates the file and never writes to it, whatever
// state the program left it in.
QByteArray readOnlyUri(const QString& file) {
    const QString absolute = QFileInfo(file).absoluteFilePath();
    const QByteArray slashes = absolute.startsWith(QLatin1Char('/')) ? "//" : "///";
    return "file:" + slashes + QUrl::toPercentEncoding(absolute, "/:") + "?mode=ro";
}

// Opens with double-quoted strings off: a misspelt column name must fail
// rather than turn into text.
CopyResult openConnection(const QByteArray& name, int flags, Connection& connection) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(name.constData(), &db, flags | SQLITE_OPEN_URI, nullptr);
    connection.reset(db);
    if (rc != SQLITE_OK)
        return resultOfSqlite(rc);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    return CopyResult::Done;
}

CopyResult exec(sqlite3* db, const QByteArray& sql) {
    return resultOfSqlite(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr));
}

// One statement with text parameters, stepped to the end; each row's first
// column goes to onRow.
CopyResult query(sqlite3* db, const char* sql, const QList<QByteArray>& parameters,
                 const std::function<void(const char*)>& onRow = {}) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK)
        return resultOfSqlite(sqlite3_errcode(db));
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
    for (int i = 0; i < parameters.size(); ++i)
        sqlite3_bind_text(raw, i + 1, parameters[i].constData(), int(parameters[i].size()),
                          SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        if (onRow)
            onRow(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)));
    }
    return resultOfSqlite(rc);
}

// Reading the schema also tells whether the file is an SQLite database at
// all; a database without the tables asked for is not a register.
CopyResult checkDesktopFile(const QString& desktopDb, const QStringList& tables) {
    if (!QFileInfo(desktopDb).isFile())
        return CopyResult::DesktopMissing;
    Connection source(nullptr, sqlite3_close);
    CopyResult code = openConnection(readOnlyUri(desktopDb), SQLITE_OPEN_READONLY, source);
    for (const QString& table : tables) {
        int found = 0;
        if (code == CopyResult::Done)
            code = query(source.get(),
                         "SELECT name FROM sqlite_master WHERE type = 'table' AND name = ? "
                         "COLLATE NOCASE",
                         {table.toUtf8()}, [&](const char*) { ++found; });
        if (code == CopyResult::Done && found == 0)
            code = CopyResult::NotADatabase;
    }
    return code;
}

CopyResult prepareTargetFolder(const CopyJob& job) {
    std::error_code error;
    if (fs::exists(job.target, error) && !job.overwrite)
        return CopyResult::TargetExists;
    fs::create_directories(job.target.parent_path(), error);
    return resultOfFilesystem(error);
}

// Beside the target, so the final rename stays on the device; hidden, and
// unique so two downloads cannot share it.
fs::path tempPathBeside(const fs::path& target) {
    const QString suffix = QString::number(QRandomGenerator::global()->generate64(), 36);
    const fs::path name = QStringLiteral(".%1.%2.tmp")
                              .arg(QString::fromStdU16String(target.filename().u16string()), suffix)
                              .toStdU16String();
    return target.parent_path() / name;
}

void removeTemp(const fs::path& temp) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    fs::remove(fs::path(temp).concat("-journal"), ignored);
}

// The temporary file is thrown away on failure, so it needs no journal; a
// full sync at commit puts it on the device before the rename.
CopyResult openTemp(const fs::path& temp, Connection& target) {
    CopyResult code =
        openConnection(utf8Of(temp), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, target);
    if (code == CopyResult::Done)
        code = exec(target.get(), "PRAGMA journal_mode = OFF; PRAGMA synchronous = FULL");
    return code;
}

CopyResult backupWholeFile(sqlite3* source, sqlite3* target, const CopyHooks& hooks) {
    sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main");
    if (!backup)
        return resultOfSqlite(sqlite3_errcode(target));
    int rc = SQLITE_OK;
    bool stopped = false;
    for (int waits = 0;;) {
        rc = sqlite3_backup_step(backup, hooks.pagesPerStep);
        if ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && ++waits <= kBusyRetries) {
            sqlite3_sleep(kBusyPauseMs);
            continue;
        }
        if ((rc == SQLITE_OK || rc == SQLITE_DONE) && hooks.carryOn && !hooks.carryOn()) {
            stopped = true;
            break;
        }
        if (rc != SQLITE_OK)
            break;
    }
    const int finished = sqlite3_backup_finish(backup);
    if (stopped)
        return CopyResult::Failed;
    return resultOfSqlite(rc == SQLITE_DONE ? finished : rc);
}

bool carryOn(const CopyHooks& hooks) {
    return !hooks.carryOn || hooks.carryOn();
}

// The bytes of the desktop file, copied by the system (in the kernel where it
// can). The caller holds a read lock on it, so no writer changes it meanwhile.
CopyResult copyBytes(const QString& desktopDb, const fs::path& temp) {
    std::error_code error;
    fs::copy_file(fs::path(desktopDb.toStdU16String()), temp, fs::copy_options::overwrite_existing,
                  error);
    return resultOfFilesystem(error);
}

// Puts the written file on the device's storage before it is renamed into
// place; SQLite's own file layer knows how to on every system.
CopyResult syncToDisk(const fs::path& file) {
    Connection db(nullptr, sqlite3_close);
    CopyResult code = openConnection(utf8Of(file), SQLITE_OPEN_READWRITE, db);
    sqlite3_file* handle = nullptr;
    if (code == CopyResult::Done &&
        sqlite3_file_control(db.get(), "main", SQLITE_FCNTL_FILE_POINTER, &handle) != SQLITE_OK)
        code = CopyResult::Failed;
    if (code == CopyResult::Done && handle && handle->pMethods)
        code = resultOfSqlite(handle->pMethods->xSync(handle, SQLITE_SYNC_FULL));
    return code;
}

bool usesWriteAheadLog(sqlite3* db) {
    QByteArray mode;
    query(db, "PRAGMA journal_mode", {}, [&](const char* value) { mode = value; });
    return mode.compare("wal", Qt::CaseInsensitive) == 0;
}

// A register kept with a rollback journal is copied as its bytes under a
// read lock: consistent, and as fast as the disks allow. One kept with a
// write-ahead log needs SQLite's backup to merge the log in.
CopyResult copyWholeFile(const QString& desktopDb, const fs::path& temp, const CopyHooks& hooks) {
    Connection source(nullptr, sqlite3_close);
    CopyResult code = openConnection(readOnlyUri(desktopDb), SQLITE_OPEN_READONLY, source);
    if (code != CopyResult::Done)
        return code;
    if (usesWriteAheadLog(source.get())) {
        Connection target(nullptr, sqlite3_close);
        code = openTemp(temp, target);
        return code == CopyResult::Done ? backupWholeFile(source.get(), target.get(), hooks) : code;
    }
    code = exec(source.get(), "BEGIN");
    if (code == CopyResult::Done)
        code = query(source.get(), "SELECT count(*) FROM sqlite_master", {});  // takes the lock
    if (code == CopyResult::Done)
        code = copyBytes(desktopDb, temp);
    exec(source.get(), "COMMIT");
    // Two steps, the copy and the sync; a test may stop the work after either.
    if (code == CopyResult::Done && !carryOn(hooks))
        code = CopyResult::Failed;
    if (code == CopyResult::Done)
        code = syncToDisk(temp);
    if (code == CopyResult::Done && !carryOn(hooks))
        code = CopyResult::Failed;
    return code;
}

// The table as the desktop declares it, with its indexes.
CopyResult copySchemaOf(sqlite3* target, const QString& table) {
    QList<QByteArray> statements;
    CopyResult code = query(target,
                            "SELECT sql FROM src.sqlite_master WHERE tbl_name = ? COLLATE "
                            "NOCASE AND type IN ('table', 'index') AND sql IS NOT NULL "
                            "ORDER BY type <> 'table'",
                            {table.toUtf8()}, [&](const char* sql) { statements << sql; });
    for (const QByteArray& sql : statements) {
        if (code == CopyResult::Done)
            code = exec(target, sql);
    }
    return code;
}

// Table names come from registerTables(), never from the caller's text.
CopyResult copyRows(sqlite3* target, const QString& table) {
    return exec(
        target,
        QStringLiteral("INSERT INTO main.\"%1\" SELECT * FROM src.\"%1\"").arg(table).toUtf8());
}

// One transaction over all tables reads them all from the same state of the
// desktop file.
CopyResult copyTables(const CopyJob& job, sqlite3* target, const CopyHooks& hooks) {
    CopyResult code = query(target, "ATTACH DATABASE ? AS src", {readOnlyUri(job.desktopDb)});
    if (code == CopyResult::Done)
        code = exec(target, "BEGIN");
    for (const QString& table : job.tables) {
        if (code == CopyResult::Done)
            code = copySchemaOf(target, table);
        if (code == CopyResult::Done)
            code = copyRows(target, table);
        if (code == CopyResult::Done && hooks.carryOn && !hooks.carryOn())
            code = CopyResult::Failed;
    }
    return code == CopyResult::Done ? exec(target, "COMMIT") : code;
}

CopyResult writeTemp(const CopyJob& job, const fs::path& temp, const CopyHooks& hooks) {
    if (job.tables.isEmpty())
        return copyWholeFile(job.desktopDb, temp, hooks);
    Connection target(nullptr, sqlite3_close);
    const CopyResult code = openTemp(temp, target);
    return code == CopyResult::Done ? copyTables(job, target.get(), hooks) : code;
}

CopyResult replaceTarget(const fs::path& temp, const fs::path& target) {
    std::error_code error;
    fs::rename(temp, target, error);
    return resultOfFilesystem(error);
}

}  // namespace

const QStringList& registerTables() {
    static const QStringList tables = {QStringLiteral("Items"),     QStringLiteral("Cases"),
                                       QStringLiteral("Lists"),     QStringLiteral("ListData"),
                                       QStringLiteral("Locations"), QStringLiteral("Data")};
    return tables;
}

CopyResult copy(const CopyJob& job, const CopyHooks& hooks) {
    CopyResult code =
        checkDesktopFile(job.desktopDb, job.tables.isEmpty() ? registerTables() : job.tables);
    if (code == CopyResult::Done)
        code = prepareTargetFolder(job);
    if (code != CopyResult::Done)
        return code;
    const fs::path temp = tempPathBeside(job.target);
    code = writeTemp(job, temp, hooks);
    if (code == CopyResult::Done)
        code = replaceTarget(temp, job.target);
    if (code != CopyResult::Done)
        removeTemp(temp);
    return code;
}

}  // namespace RegisterCopy
