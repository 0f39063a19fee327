#include "RegisterCopy.h"

#include <sqlite3.h>

#include <QFileInfo>
#include <QRandomGenerator>
#include <QUrl>
#include <algorithm>
#include <memory>

#include "DeviceCodes.h"

namespace adofiltr {

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

std::int32_t codeForSqlite(int rc) {
    switch (rc & 0xff) {
        case SQLITE_OK:
        case SQLITE_DONE:
            return DEVICE_OK;
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
            return DEVICE_NOT_A_DATABASE;
        case SQLITE_FULL:
            return DEVICE_FULL;
        case SQLITE_READONLY:
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return DEVICE_ACCESS_DENIED;
        default:
            return DEVICE_FAILED;
    }
}

std::int32_t codeForFilesystem(const std::error_code& error) {
    if (!error)
        return DEVICE_OK;
    if (error == std::errc::no_space_on_device)
        return DEVICE_FULL;
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted ||
        error == std::errc::read_only_file_system)
        return DEVICE_ACCESS_DENIED;
    if (error == std::errc::not_a_directory || error == std::errc::file_exists)
        return DEVICE_FOLDER_UNAVAILABLE;
    return DEVICE_FAILED;
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
std::int32_t openConnection(const QByteArray& name, int flags, Connection& connection) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(name.constData(), &db, flags | SQLITE_OPEN_URI, nullptr);
    connection.reset(db);
    if (rc != SQLITE_OK)
        return codeForSqlite(rc);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    return DEVICE_OK;
}

std::int32_t exec(sqlite3* db, const QByteArray& sql) {
    return codeForSqlite(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr));
}

// One statement with text parameters, stepped to the end; each row's first
// column goes to onRow.
std::int32_t query(sqlite3* db, const char* sql, const QList<QByteArray>& parameters,
                   const std::function<void(const char*)>& onRow = {}) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK)
        return codeForSqlite(sqlite3_errcode(db));
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
    for (int i = 0; i < parameters.size(); ++i)
        sqlite3_bind_text(raw, i + 1, parameters[i].constData(), int(parameters[i].size()),
                          SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        if (onRow)
            onRow(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)));
    }
    return codeForSqlite(rc);
}

// Reading the schema also tells whether the file is an SQLite database at
// all; a database without the tables asked for is not a register.
std::int32_t checkDesktopFile(const QString& desktopDb, const QStringList& tables) {
    if (!QFileInfo(desktopDb).isFile())
        return DEVICE_DESKTOP_MISSING;
    Connection source(nullptr, sqlite3_close);
    std::int32_t code = openConnection(readOnlyUri(desktopDb), SQLITE_OPEN_READONLY, source);
    for (const QString& table : tables) {
        int found = 0;
        if (code == DEVICE_OK)
            code = query(source.get(),
                         "SELECT name FROM sqlite_master WHERE type = 'table' AND name = ? "
                         "COLLATE NOCASE",
                         {table.toUtf8()}, [&](const char*) { ++found; });
        if (code == DEVICE_OK && found == 0)
            code = DEVICE_NOT_A_DATABASE;
    }
    return code;
}

std::int32_t prepareTargetFolder(const CopyJob& job) {
    std::error_code error;
    if (fs::exists(job.target, error) && !job.overwrite)
        return DEVICE_TARGET_EXISTS;
    fs::create_directories(job.target.parent_path(), error);
    return codeForFilesystem(error);
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
std::int32_t openTemp(const fs::path& temp, Connection& target) {
    std::int32_t code =
        openConnection(utf8Of(temp), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, target);
    if (code == DEVICE_OK)
        code = exec(target.get(), "PRAGMA journal_mode = OFF; PRAGMA synchronous = FULL");
    return code;
}

std::int32_t backupWholeFile(sqlite3* source, sqlite3* target, const CopyHooks& hooks) {
    sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main");
    if (!backup)
        return codeForSqlite(sqlite3_errcode(target));
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
        return DEVICE_FAILED;
    return codeForSqlite(rc == SQLITE_DONE ? finished : rc);
}

bool carryOn(const CopyHooks& hooks) {
    return !hooks.carryOn || hooks.carryOn();
}

// The bytes of the desktop file, copied by the system (in the kernel where it
// can). The caller holds a read lock on it, so no writer changes it meanwhile.
std::int32_t copyBytes(const QString& desktopDb, const fs::path& temp) {
    std::error_code error;
    fs::copy_file(fs::path(desktopDb.toStdU16String()), temp, fs::copy_options::overwrite_existing,
                  error);
    return codeForFilesystem(error);
}

// Puts the written file on the device's storage before it is renamed into
// place; SQLite's own file layer knows how to on every system.
std::int32_t syncToDisk(const fs::path& file) {
    Connection db(nullptr, sqlite3_close);
    std::int32_t code = openConnection(utf8Of(file), SQLITE_OPEN_READWRITE, db);
    sqlite3_file* handle = nullptr;
    if (code == DEVICE_OK &&
        sqlite3_file_control(db.get(), "main", SQLITE_FCNTL_FILE_POINTER, &handle) != SQLITE_OK)
        code = DEVICE_FAILED;
    if (code == DEVICE_OK && handle && handle->pMethods)
        code = codeForSqlite(handle->pMethods->xSync(handle, SQLITE_SYNC_FULL));
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
std::int32_t copyWholeFile(const QString& desktopDb, const fs::path& temp, const CopyHooks& hooks) {
    Connection source(nullptr, sqlite3_close);
    std::int32_t code = openConnection(readOnlyUri(desktopDb), SQLITE_OPEN_READONLY, source);
    if (code != DEVICE_OK)
        return code;
    if (usesWriteAheadLog(source.get())) {
        Connection target(nullptr, sqlite3_close);
        code = openTemp(temp, target);
        return code == DEVICE_OK ? backupWholeFile(source.get(), target.get(), hooks) : code;
    }
    code = exec(source.get(), "BEGIN");
    if (code == DEVICE_OK)
        code = query(source.get(), "SELECT count(*) FROM sqlite_master", {});  // takes the lock
    if (code == DEVICE_OK)
        code = copyBytes(desktopDb, temp);
    exec(source.get(), "COMMIT");
    // Two steps, the copy and the sync; a test may stop the work after either.
    if (code == DEVICE_OK && !carryOn(hooks))
        code = DEVICE_FAILED;
    if (code == DEVICE_OK)
        code = syncToDisk(temp);
    if (code == DEVICE_OK && !carryOn(hooks))
        code = DEVICE_FAILED;
    return code;
}

// The table as the desktop declares it, with its indexes.
std::int32_t copySchemaOf(sqlite3* target, const QString& table) {
    QList<QByteArray> statements;
    std::int32_t code = query(target,
                              "SELECT sql FROM src.sqlite_master WHERE tbl_name = ? COLLATE "
                              "NOCASE AND type IN ('table', 'index') AND sql IS NOT NULL "
                              "ORDER BY type <> 'table'",
                              {table.toUtf8()}, [&](const char* sql) { statements << sql; });
    for (const QByteArray& sql : statements) {
        if (code == DEVICE_OK)
            code = exec(target, sql);
    }
    return code;
}

// Table names come from registerTables(), never from the caller's text.
std::int32_t copyRows(sqlite3* target, const QString& table) {
    return exec(
        target,
        QStringLiteral("INSERT INTO main.\"%1\" SELECT * FROM src.\"%1\"").arg(table).toUtf8());
}

// One transaction over all tables reads them all from the same state of the
// desktop file.
std::int32_t copyTables(const CopyJob& job, sqlite3* target, const CopyHooks& hooks) {
    std::int32_t code = query(target, "ATTACH DATABASE ? AS src", {readOnlyUri(job.desktopDb)});
    if (code == DEVICE_OK)
        code = exec(target, "BEGIN");
    for (const QString& table : job.tables) {
        if (code == DEVICE_OK)
            code = copySchemaOf(target, table);
        if (code == DEVICE_OK)
            code = copyRows(target, table);
        if (code == DEVICE_OK && hooks.carryOn && !hooks.carryOn())
            code = DEVICE_FAILED;
    }
    return code == DEVICE_OK ? exec(target, "COMMIT") : code;
}

std::int32_t writeTemp(const CopyJob& job, const fs::path& temp, const CopyHooks& hooks) {
    if (job.tables.isEmpty())
        return copyWholeFile(job.desktopDb, temp, hooks);
    Connection target(nullptr, sqlite3_close);
    const std::int32_t code = openTemp(temp, target);
    return code == DEVICE_OK ? copyTables(job, target.get(), hooks) : code;
}

std::int32_t replaceTarget(const fs::path& temp, const fs::path& target) {
    std::error_code error;
    fs::rename(temp, target, error);
    return codeForFilesystem(error);
}

}  // namespace

const QStringList& registerTables() {
    static const QStringList tables = {QStringLiteral("Items"),     QStringLiteral("Cases"),
                                       QStringLiteral("Lists"),     QStringLiteral("ListData"),
                                       QStringLiteral("Locations"), QStringLiteral("Data")};
    return tables;
}

std::int32_t copyRegister(const CopyJob& job, const CopyHooks& hooks) {
    std::int32_t code =
        checkDesktopFile(job.desktopDb, job.tables.isEmpty() ? registerTables() : job.tables);
    if (code == DEVICE_OK)
        code = prepareTargetFolder(job);
    if (code != DEVICE_OK)
        return code;
    const fs::path temp = tempPathBeside(job.target);
    code = writeTemp(job, temp, hooks);
    if (code == DEVICE_OK)
        code = replaceTarget(temp, job.target);
    if (code != DEVICE_OK)
        removeTemp(temp);
    return code;
}

}  // namespace adofiltr
