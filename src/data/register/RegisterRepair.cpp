#include "data/register/RegisterRepair.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>
#include <memory>

#include "base/Progress.h"
#include "data/engine/Schema.h"
#include "data/engine/Sqlite.h"
#include "data/register/FilePlatform.h"
#include "data/register/RegisterFolder.h"
#include "data/register/SafeReplace.h"

namespace RegisterRepair {

namespace {

using Db = std::unique_ptr<Sqlite::Connection>;

// How long a step waits for another program using the register.
constexpr int kBusyTimeoutMs = 10000;

// The side files SQLite keeps beside a database.
const char* const kSideFiles[] = {"-journal", "-wal", "-shm"};

QByteArray readOnlyUri(const QString& file) {
    const QString absolute = QFileInfo(file).absoluteFilePath();
    const QByteArray slashes = absolute.startsWith(QLatin1Char('/')) ? "//" : "///";
    return "file:" + slashes + QUrl::toPercentEncoding(absolute, "/:") + "?mode=ro";
}

// What SQLite said of the connection's first failure.
QString failureOf(const Sqlite::Connection& db, const QString& otherwise = {}) {
    return db.failure() ? db.failure()->text : otherwise;
}

// Every connection of a repair reports SQLite's work to the progress, and
// stops when the user cancels.
struct Watch {
    Progress* progress = nullptr;
    std::int64_t steps = 0;
    bool carryOn() { return !progress || progress->report(++steps, 0); }
};

// None when the file cannot be opened; why then says what SQLite said. A
// damaged file may hold anything: its schema is not trusted.
Db open(const QString& file, Sqlite::Open how, QString* why, Watch& watch) {
    auto db = std::make_unique<Sqlite::Connection>(file, how, kBusyTimeoutMs);
    if (db->isOpen() && db->distrustSchema()) {
        db->askWhileRunning([&watch] { return watch.carryOn(); });
        return db;
    }
    *why = failureOf(*db, QStringLiteral("it could not be opened"));
    return nullptr;
}

bool exec(Sqlite::Connection& db, const QByteArray& sql, QString* why) {
    if (db.exec(sql.constData()))
        return true;
    *why = failureOf(db);
    return false;
}

// Every row of sql (which takes text as its one value, when given), each as
// its columns' texts.
bool rows(Sqlite::Connection& db, const char* sql, QList<QStringList>* out, QString* why,
          const QByteArray& text = {}) {
    Sqlite::Statement statement(db, sql);
    if (!text.isNull())
        statement.bindUtf8(std::string_view(text.constData(), std::size_t(text.size())));
    while (statement.step()) {
        QStringList row;
        for (int c = 0; c < statement.columnCount(); ++c)
            row << QString::fromUtf8(statement.utf8(c));
        out->append(row);
    }
    if (statement.ok())
        return true;
    *why = failureOf(db);
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
bool createFromSchemaEntry(Sqlite::Connection& db, const QString& name, const QByteArray& sql,
                           QString* why) {
    Sqlite::Statement statement(db, std::string_view(sql.constData(), std::size_t(sql.size())));
    if (!statement.ok()) {
        *why = failureOf(db);
        return false;
    }
    const QByteArray rest(statement.rest().data(), qsizetype(statement.rest().size()));
    if (!statement.holdsStatement() || !isPlainCreate(sql) || !rest.trimmed().isEmpty()) {
        *why = QStringLiteral(
                   "its schema entry %1 is not one plain CREATE statement, so nothing "
                   "of it was run")
                   .arg(name);
        return false;
    }
    if (statement.run())
        return true;
    *why = failureOf(db);
    return false;
}

QByteArray quotedName(const QString& name) {
    return '"' + name.toUtf8().replace('"', "\"\"") + '"';
}

// Exact where it works: the pages of the tables and their indexes as they are.
bool vacuumInto(const QString& damaged, const QString& copy, QString* why, Watch& watch) {
    const Db db = open(damaged, Sqlite::Open::ReadOnly, why, watch);
    QList<QStringList> none;
    return db && rows(*db, "VACUUM INTO ?", &none, why, QFile::encodeName(copy));
}

// The rows of every table read from the table itself, so a damaged index
// does not stop them; indexes, views and triggers made after the rows.
bool copyTableByTable(const QString& damaged, const QString& copy, QString* why, Watch& watch) {
    const Db db = open(copy, Sqlite::Open::Create, why, watch);
    QList<QStringList> schema, version, none;
    if (!db || !rows(*db, "ATTACH DATABASE ? AS damaged", &none, why, readOnlyUri(damaged)) ||
        !rows(*db,
              "SELECT type, name, sql FROM damaged.sqlite_master WHERE sql IS NOT NULL AND "
              "name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY type <> 'table'",
              &schema, why) ||
        !rows(*db, "PRAGMA damaged.user_version", &version, why) || !exec(*db, "BEGIN", why))
        return false;
    for (const QStringList& entry : schema) {
        if (!createFromSchemaEntry(*db, entry[1], entry[2].toUtf8(), why))
            return false;
        // WHERE: a plain copy of a whole table would move the damaged
        // index pages along with the rows.
        if (entry[0] == QLatin1String("table") &&
            !exec(*db,
                  "INSERT INTO main." + quotedName(entry[1]) + " SELECT * FROM damaged." +
                      quotedName(entry[1]) + " WHERE 1",
                  why))
            return false;
    }
    QList<QStringList> sequence;
    rows(*db, "SELECT 1 FROM damaged.sqlite_master WHERE name = 'sqlite_sequence'", &sequence, why);
    if (!sequence.isEmpty() &&
        !exec(*db,
              "DELETE FROM main.sqlite_sequence; INSERT INTO main.sqlite_sequence SELECT * "
              "FROM damaged.sqlite_sequence WHERE 1",
              why))
        return false;
    const QByteArray userVersion = QByteArray::number(version.value(0).value(0).toLongLong());
    return exec(*db, "PRAGMA main.user_version = " + userVersion, why) && exec(*db, "COMMIT", why);
}

QString integrityOf(Sqlite::Connection& db, QString* why) {
    QList<QStringList> found;
    if (!rows(db, "PRAGMA integrity_check(1)", &found, why))
        return *why;
    return found.value(0).value(0);
}

// A copy is a register when SQLite finds no fault in it and it holds every
// table and column; an index whose entries VACUUM copied wrong is rebuilt.
bool isSound(const QString& copy, QString* why, Watch& watch) {
    const Db db = open(copy, Sqlite::Open::Existing, why, watch);
    if (!db)
        return false;
    if (integrityOf(*db, why) != QLatin1String("ok") &&
        (!exec(*db, "REINDEX", why) || integrityOf(*db, why) != QLatin1String("ok"))) {
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

// The copy gets the damaged file's access, so that whoever could save
// before still can (in a folder a group shares, the group's).
bool giveAccessOf(const QString& path, const QString& copy, QString* why) {
    QFile::setPermissions(copy, QFile::permissions(path));
    *why = FilePlatform::shareWithFolderGroup(copy);
    return why->isEmpty();
}

// The damaged file goes aside with its side files, which belong to it.
bool moveAside(const QString& path, QString* kept, QString* why) {
    *kept = keptNameFor(path);
    if (!QFile::rename(path, *kept)) {
        *why = QStringLiteral("the damaged file could not be renamed");
        return false;
    }
    for (const char* side : kSideFiles) {
        if (QFileInfo::exists(path + QLatin1String(side)))
            QFile::rename(path + QLatin1String(side), *kept + QLatin1String(side));
    }
    return true;
}

// Made while no other program saves to the register, so the copy holds its
// last state. The lock goes with the connection at the end, before the
// renames: some systems rename no file that is open.
bool copyWhileNoOneSaves(const QString& registerPath, const QString& copy, QString* why,
                         Watch& watch) {
    const Db writers = open(registerPath, Sqlite::Open::Existing, why, watch);
    if (!writers || !exec(*writers, "BEGIN IMMEDIATE", why)) {
        *why = QStringLiteral("it is in use or may not be written (%1)").arg(*why);
        return false;
    }
    if (vacuumInto(registerPath, copy, why, watch) && isSound(copy, why, watch))
        return true;
    removeWithSideFiles(copy);
    return !Progress::wasCancelled(watch.progress) &&
           copyTableByTable(registerPath, copy, why, watch) && isSound(copy, why, watch);
}

}  // namespace

// The copy is written beside the register and takes its name once the
// damaged file has gone aside; a repair cut off leaves only its partial file,
// which the next one clears away.
Outcome repair(const QString& registerLink, Progress* progress) {
    Outcome outcome;
    Watch watch{progress};
    const QString registerPath = RegisterFolder::realFile(registerLink);
    removeWithSideFiles(registerPath +
                        QStringLiteral(".repaired"));  // an earlier version's, cut off
    QString kept;
    const SafeReplace::Outcome replaced = SafeReplace::replace(
        registerPath.toStdU16String(), [&](const std::filesystem::path& partial) {
            const QString copy = QString::fromStdU16String(partial.u16string());
            return copyWhileNoOneSaves(registerPath, copy, &outcome.failure, watch) &&
                   giveAccessOf(registerPath, copy, &outcome.failure) &&
                   moveAside(registerPath, &kept, &outcome.failure);
        });
    outcome.repaired = replaced.ok();
    outcome.cancelled = !outcome.repaired && Progress::wasCancelled(progress);
    if (outcome.cancelled) {
        outcome.failure = QStringLiteral("the repair was cancelled");
    } else if (outcome.repaired) {
        outcome.keptAs = kept;
    } else if (replaced.written) {
        QFile::rename(kept, registerPath);
        outcome.failure = QStringLiteral("the repaired copy could not take the register's name");
    }
    return outcome;
}

}  // namespace RegisterRepair
