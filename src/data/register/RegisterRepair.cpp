#include "data/register/RegisterRepair.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>
#include <memory>

#include "data/engine/Schema.h"
#include "data/engine/Sqlite.h"
#include "data/register/FilePlatform.h"
#include "data/register/RegisterFolder.h"

namespace RegisterRepair {

namespace {

using Db = std::unique_ptr<Sqlite::Connection>;
using StatementPtr = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

// How long a step waits for another program using the register.
constexpr int kBusyTimeoutMs = 10000;

// The side files SQLite keeps beside a database.
const char* const kSideFiles[] = {"-journal", "-wal", "-shm"};

QByteArray readOnlyUri(const QString& file) {
    const QString absolute = QFileInfo(file).absoluteFilePath();
    const QByteArray slashes = absolute.startsWith(QLatin1Char('/')) ? "//" : "///";
    return "file:" + slashes + QUrl::toPercentEncoding(absolute, "/:") + "?mode=ro";
}

// None when the file cannot be opened; why then says what SQLite said. A
// damaged file may hold anything: its schema is not trusted.
Db open(const QString& file, Sqlite::Open how, QString* why) {
    auto db = std::make_unique<Sqlite::Connection>(file, how, kBusyTimeoutMs);
    if (db->isOpen() && db->distrustSchema())
        return db;
    *why = db->failure() ? db->failure()->text : QStringLiteral("it could not be opened");
    return nullptr;
}

bool exec(sqlite3* db, const QByteArray& sql, QString* why) {
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    *why = QString::fromUtf8(sqlite3_errmsg(db));
    return false;
}

// Every row of sql (which takes text as its one value, when given), each as
// its columns' texts.
bool rows(sqlite3* db, const char* sql, QList<QStringList>* out, QString* why,
          const QByteArray& text = {}) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) {
        *why = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    const StatementPtr statement(raw, sqlite3_finalize);
    if (!text.isNull())
        sqlite3_bind_text(raw, 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        QStringList row;
        for (int c = 0; c < sqlite3_column_count(raw); ++c)
            row << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(raw, c)));
        out->append(row);
    }
    if (rc == SQLITE_DONE)
        return true;
    *why = QString::fromUtf8(sqlite3_errmsg(db));
    return false;
}

// What SQLite itself writes into a schema entry: one CREATE TABLE, INDEX,
// VIEW or TRIGGER statement (TEMP and VIRTUAL tables never stand there).
bool isPlainCreate(const QByteArray& sql) {
    static const QRegularExpression kCreate(
        QStringLiteral(R"(^\s*CREATE\s+(UNIQUE\s+)?(TABLE|INDEX|VIEW|TRIGGER)\s)"),
        QRegularExpression::CaseInsensitiveOption);
    return kCreate.match(QString::fromUtf8(sql)).hasMatch();
}

// Runs one entry of the damaged file's schema, and only when it is a plain
// CREATE statement with nothing after it: a file made to hide a second
// statement there (an ATTACH, a PRAGMA) has nothing of it run.
bool createFromSchemaEntry(sqlite3* db, const QString& name, const QByteArray& sql, QString* why) {
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &raw, &tail) != SQLITE_OK) {
        *why = QString::fromUtf8(sqlite3_errmsg(db));
        return false;
    }
    const StatementPtr statement(raw, sqlite3_finalize);
    const QByteArray rest(tail, sql.constData() + sql.size() - tail);
    if (!raw || !isPlainCreate(sql) || !rest.trimmed().isEmpty()) {
        *why = QStringLiteral(
                   "its schema entry %1 is not one plain CREATE statement, so nothing "
                   "of it was run")
                   .arg(name);
        return false;
    }
    if (sqlite3_step(raw) == SQLITE_DONE)
        return true;
    *why = QString::fromUtf8(sqlite3_errmsg(db));
    return false;
}

QByteArray quotedName(const QString& name) {
    return '"' + name.toUtf8().replace('"', "\"\"") + '"';
}

// Exact where it works: the pages of the tables and their indexes as they are.
bool vacuumInto(const QString& damaged, const QString& copy, QString* why) {
    const Db db = open(damaged, Sqlite::Open::ReadOnly, why);
    QList<QStringList> none;
    return db && rows(db->handle(), "VACUUM INTO ?", &none, why, QFile::encodeName(copy));
}

// The rows of every table read from the table itself, so a damaged index
// does not stop them; indexes, views and triggers made after the rows.
bool copyTableByTable(const QString& damaged, const QString& copy, QString* why) {
    const Db db = open(copy, Sqlite::Open::Create, why);
    QList<QStringList> schema, version, none;
    if (!db ||
        !rows(db->handle(), "ATTACH DATABASE ? AS damaged", &none, why, readOnlyUri(damaged)) ||
        !rows(db->handle(),
              "SELECT type, name, sql FROM damaged.sqlite_master WHERE sql IS NOT NULL AND "
              "name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY type <> 'table'",
              &schema, why) ||
        !rows(db->handle(), "PRAGMA damaged.user_version", &version, why) ||
        !exec(db->handle(), "BEGIN", why))
        return false;
    for (const QStringList& entry : schema) {
        if (!createFromSchemaEntry(db->handle(), entry[1], entry[2].toUtf8(), why))
            return false;
        // WHERE: a plain copy of a whole table would move the damaged
        // index pages along with the rows.
        if (entry[0] == QLatin1String("table") &&
            !exec(db->handle(),
                  "INSERT INTO main." + quotedName(entry[1]) + " SELECT * FROM damaged." +
                      quotedName(entry[1]) + " WHERE 1",
                  why))
            return false;
    }
    QList<QStringList> sequence;
    rows(db->handle(), "SELECT 1 FROM damaged.sqlite_master WHERE name = 'sqlite_sequence'",
         &sequence, why);
    if (!sequence.isEmpty() &&
        !exec(db->handle(),
              "DELETE FROM main.sqlite_sequence; INSERT INTO main.sqlite_sequence SELECT * "
              "FROM damaged.sqlite_sequence WHERE 1",
              why))
        return false;
    const QByteArray userVersion = QByteArray::number(version.value(0).value(0).toLongLong());
    return exec(db->handle(), "PRAGMA main.user_version = " + userVersion, why) &&
           exec(db->handle(), "COMMIT", why);
}

QString integrityOf(sqlite3* db, QString* why) {
    QList<QStringList> found;
    if (!rows(db, "PRAGMA integrity_check(1)", &found, why))
        return *why;
    return found.value(0).value(0);
}

// A copy is a register when SQLite finds no fault in it and it holds every
// table and column; an index whose entries VACUUM copied wrong is rebuilt.
bool isSound(const QString& copy, QString* why) {
    const Db db = open(copy, Sqlite::Open::Existing, why);
    if (!db)
        return false;
    if (integrityOf(db->handle(), why) != QLatin1String("ok") &&
        (!exec(db->handle(), "REINDEX", why) ||
         integrityOf(db->handle(), why) != QLatin1String("ok"))) {
        *why = QStringLiteral("the copy is not sound either (%1)").arg(*why);
        return false;
    }
    const QString missing = Schema::missingPart(*db);
    if (!missing.isEmpty())
        *why = QStringLiteral("what could be read lacks part of a register: %1").arg(missing);
    return missing.isEmpty();
}

void removeWithSideFiles(const QString& file) {
    QFile::remove(file);
    for (const char* side : kSideFiles)
        QFile::remove(file + QLatin1String(side));
}

// A name beside the register that nothing has yet.
QString keptNameFor(const QString& path) {
    const QFileInfo info(path);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 1;; ++n) {
        const QString tail = n == 1 ? QString() : QStringLiteral("-%1").arg(n);
        const QString name = QStringLiteral("%1-damaged-%2%3.%4")
                                 .arg(info.completeBaseName(), stamp, tail, info.suffix());
        const QString kept = info.dir().filePath(name);
        if (!QFileInfo::exists(kept))
            return kept;
    }
}

// The damaged file goes aside with its side files, which belong to it; then
// the copy takes its name, with the damaged file's access, so that whoever
// could save before still can (in a folder a group shares, the group's).
bool putInPlace(const QString& path, const QString& copy, QString* keptAs, QString* why) {
    QFile::setPermissions(copy, QFile::permissions(path));
    const QString shared = FilePlatform::shareWithFolderGroup(copy);
    if (!shared.isEmpty()) {
        *why = shared;
        return false;
    }
    const QString kept = keptNameFor(path);
    if (!QFile::rename(path, kept)) {
        *why = QStringLiteral("the damaged file could not be renamed");
        return false;
    }
    for (const char* side : kSideFiles) {
        if (QFileInfo::exists(path + QLatin1String(side)))
            QFile::rename(path + QLatin1String(side), kept + QLatin1String(side));
    }
    if (!QFile::rename(copy, path)) {
        QFile::rename(kept, path);
        *why = QStringLiteral("the repaired copy could not take the register's name");
        return false;
    }
    *keptAs = kept;
    return true;
}

// Made while no other program saves to the register, so the copy holds its
// last state. The lock goes with the connection at the end, before the
// renames: some systems rename no file that is open.
bool copyWhileNoOneSaves(const QString& registerPath, const QString& copy, QString* why) {
    const Db writers = open(registerPath, Sqlite::Open::Existing, why);
    if (!writers || !exec(writers->handle(), "BEGIN IMMEDIATE", why)) {
        *why = QStringLiteral("it is in use or may not be written (%1)").arg(*why);
        return false;
    }
    if (vacuumInto(registerPath, copy, why) && isSound(copy, why))
        return true;
    removeWithSideFiles(copy);
    return copyTableByTable(registerPath, copy, why) && isSound(copy, why);
}

}  // namespace

Outcome repair(const QString& registerLink) {
    Outcome outcome;
    const QString registerPath = RegisterFolder::realFile(registerLink);
    const QString copy = registerPath + QStringLiteral(".repaired");
    removeWithSideFiles(copy);  // left by a repair that was cut off
    if (copyWhileNoOneSaves(registerPath, copy, &outcome.failure) &&
        putInPlace(registerPath, copy, &outcome.keptAs, &outcome.failure)) {
        outcome.repaired = true;
        return outcome;
    }
    removeWithSideFiles(copy);
    return outcome;
}

}  // namespace RegisterRepair
