#include "data/Store.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <span>

#include "data/TreeReader.h"
#include "data/engine/RegisterEngine.h"
#include "data/engine/Schema.h"
#include "data/engine/Sql.h"
#include "data/engine/Sqlite.h"
#include "data/register/Backups.h"
#include "data/register/RegisterFolder.h"
#include "data/rules/TextRules.h"

using Sql::Connection;
using Sql::Statement;

namespace {

// How long an operation waits for another program holding the file, unless
// the store is told otherwise.
constexpr int kDefaultBusyWaitMs = 10000;

constexpr qint64 kHighestId = std::numeric_limits<qint64>::max();

bool onServer(const Connection& db) {
    return db.engine() == Sql::Engine::Postgres;
}

// What a write on a server locks while it checks a row before it changes
// things, so that no other desk changes or deletes the row in between. A
// write on a file holds the whole file already.
const char* forUpdate(const Connection& db) {
    return onServer(db) ? " FOR UPDATE" : "";
}
const char* forShare(const Connection& db) {
    return onServer(db) ? " FOR SHARE" : "";
}

struct IdTable {
    const char* table;
    const char* counter;
    const char* noun;  // for messages
};

IdTable idTableOf(RecordTable table) {
    switch (table) {
        case RecordTable::Items:
            return {"Items", "lastid", "item"};
        case RecordTable::Cases:
            return {"Cases", "lastCase", "flight case"};
        case RecordTable::Lists:
            break;
    }
    return {"Lists", "lastList", "list"};
}

QString quoted(const char* name) {
    return QStringLiteral("\"%1\"").arg(QLatin1String(name));
}

QByteArray sqlOf(const QString& sql) {
    return sql.toUtf8();
}

// Whether the file keeps SQLite's memory of the ids it gave (AUTOINCREMENT).
bool hasIdMemory(Sqlite::Connection& db) {
    return sqlite3_table_column_metadata(db.handle(), nullptr, "sqlite_sequence", "seq", nullptr,
                                         nullptr, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The id the next row of the table gets: one above its counter and above
// every id the table ever had (its highest row and, in a file, SQLite's own
// memory of deleted ones), never below 1. With `lock`, the counter row stays
// locked until the transaction ends, so another desk taking an id waits for
// this one. Nullopt with a failure on the connection when the statement
// fails or no id is left.
std::optional<qint64> nextIdOf(Connection& db, const IdTable& t, bool lock) {
    Statement counter(db,
                      sqlOf(QStringLiteral("SELECT %1 FROM \"Data\" LIMIT 1%2")
                                .arg(quoted(t.counter), QLatin1String(lock ? forUpdate(db) : "")))
                          .constData());
    if (!counter.step()) {
        if (counter.ok())
            db.fail(QStringLiteral("Table Data holds no counter row."));
        return std::nullopt;
    }
    qint64 highest =
        std::max<qint64>(0, TextRules::wholeNumber(TextRules::numericValue(counter.shown(0))));

    Statement maxId(
        db, sqlOf(QStringLiteral("SELECT MAX(\"id\") FROM %1").arg(quoted(t.table))).constData());
    if (!maxId.step() && !maxId.ok())
        return std::nullopt;
    if (const auto id = maxId.wholeNumber(0))
        highest = std::max<qint64>(highest, *id);

    // A register made without AUTOINCREMENT has no sqlite_sequence; it still works.
    if (!onServer(db) && hasIdMemory(static_cast<Sqlite::Connection&>(db))) {
        Statement sequence(db, "SELECT \"seq\" FROM \"sqlite_sequence\" WHERE \"name\" = ?");
        sequence.bind(QString::fromLatin1(t.table));
        if (sequence.step()) {
            if (const auto seq = sequence.wholeNumber(0))
                highest = std::max<qint64>(highest, *seq);
        } else if (!sequence.ok()) {
            return std::nullopt;
        }
    }

    // A deleted item's tests are kept under its id: that id stays its own.
    if (std::string_view(t.table) == "Items") {
        const auto tested = DueReader::highestTestedItemId(db);
        if (!tested)
            return std::nullopt;
        highest = std::max<qint64>(highest, *tested);
    }

    if (highest >= kHighestId) {
        db.fail(QStringLiteral("The register has no %1 id left: the highest "
                               "possible id has already been given.")
                    .arg(QLatin1String(t.noun)));
        return std::nullopt;
    }
    return highest + 1;
}

// Takes the next id and records it as the counter, in the caller's transaction.
std::optional<qint64> takeNextId(Connection& db, const IdTable& t) {
    const auto next = nextIdOf(db, t, true);
    if (!next)
        return std::nullopt;
    Statement update(
        db, sqlOf(QStringLiteral("UPDATE \"Data\" SET %1 = ?").arg(quoted(t.counter))).constData());
    update.bind(*next);
    if (!update.run())
        return std::nullopt;
    return next;
}

// Numbers go into the number columns as whole numbers when they are whole.
QVariant numberValue(const QVariant& value) {
    const double d = TextRules::numericValue(value);
    if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9.0e18)
        return QVariant(static_cast<qint64>(d));
    return QVariant(d);
}

// What a column stores for an editor's value: a number in a number column,
// the text (empty for null) in a text column.
QVariant storedValue(const ColumnSpec& column, const QVariant& value) {
    if (column.type == ColumnType::Number)
        return numberValue(value);
    return QVariant(value.isNull() ? QString() : value.toString());
}

// What an editor stores for a column left null: empty text, or 0.
QVariant emptyValue(const ColumnSpec& column) {
    return column.type == ColumnType::Number ? QVariant(qint64(0)) : QVariant(QString());
}

}  // namespace

// A record table's statements, made from its column list.
struct RecordTableSql {
    const char* table;
    std::span<const ColumnSpec> columns;

    QString columnList() const {
        QStringList names;
        for (const ColumnSpec& c : columns)
            names << quoted(c.name);
        return names.join(QStringLiteral(", "));
    }
    QByteArray selectById() const {
        return sqlOf(QStringLiteral("SELECT \"id\", %1 FROM %2 WHERE \"id\" = ?")
                         .arg(columnList(), quoted(table)));
    }
    QByteArray insertWithId() const {
        return sqlOf(QStringLiteral("INSERT INTO %1 (\"id\", %2) VALUES (?%3)")
                         .arg(quoted(table), columnList(),
                              QStringLiteral(", ?").repeated(static_cast<int>(columns.size()))));
    }
    QVariantList stored(std::span<const QVariant> values) const {
        QVariantList out;
        for (std::size_t c = 0; c < columns.size(); ++c)
            out << storedValue(columns[c], values[c]);
        return out;
    }
};

namespace {

constexpr ColumnSpec kListColumns[] = {{"ListName", ColumnType::Text, ColumnKind::Text}};

constexpr RecordTableSql kItemsSql{"Items", kItemColumns};
constexpr RecordTableSql kCasesSql{"Cases", kCaseColumns};
constexpr RecordTableSql kListsSql{"Lists", kListColumns};

// Reads a row selected by selectById() into a record.
template <class Record>
Record recordOf(const Statement& row) {
    Record record;
    record.id = row.shown(0);
    for (std::size_t c = 0; c < record.values.size(); ++c)
        record.values[c] = row.shown(static_cast<int>(c) + 1);
    return record;
}

void bindAll(Statement& statement, const QVariantList& values) {
    for (const QVariant& v : values)
        statement.bind(v);
}

// Whether the statement finds a row, inside the caller's transaction;
// nullopt when it fails (the failure is recorded on the connection).
std::optional<bool> findsRow(Connection& db, const char* sql, const QVariantList& values) {
    Statement statement(db, sql);
    bindAll(statement, values);
    const bool found = statement.step();
    return statement.ok() ? std::optional<bool>(found) : std::nullopt;
}

}  // namespace

Store::Store(QString databasePath, FailureReporter reporter)
    : Store(RegisterLocation::file(databasePath), std::move(reporter)) {}

Store::Store(const RegisterLocation& location, FailureReporter reporter)
    : engine_(RegisterEngine::at(location)), reporter_(std::move(reporter)) {}

Store::~Store() = default;

const RegisterLocation& Store::location() const {
    return engine_->location();
}

QString Store::storable(const QString& text) const {
    return engine_->storable(text);
}

void Store::report(const QString& what, const QString& ownText) {
    if (reporter_)
        reporter_(QStringLiteral("Quarvel could not %1.\n\n%2\n\n%3")
                      .arg(what, ownText, engine_->registerLine()));
}

void Store::report(const QString& what, const Sql::Failure& failure, const QString& missing) {
    if (failure.problem == Sql::Problem::Own) {
        report(what, failure.text);
        return;
    }
    if (reporter_)
        reporter_(
            QStringLiteral("Quarvel could not %1.\n\n%2\n\n%3")
                .arg(what, engine_->explanation(failure, missing), engine_->engineWords(failure)));
}

bool Store::run(const QString& what, Mode mode, const Body& body) {
    const QString absence = engine_->absence();
    if (!absence.isEmpty()) {
        if (mode != Mode::ReadQuietly)
            report(what, absence);
        return false;
    }
    if (mode == Mode::Write && !mayWrite()) {
        report(what,
               readOnly_->reason + QStringLiteral(" Quarvel opened it for reading only, so nothing "
                                                  "can be saved."));
        return false;
    }
    if (mode == Mode::Write)
        backUpOnceADay();
    std::optional<Sql::Failure> failure;
    QString missing;
    {
        std::unique_ptr<Connection> db = engine_->open(
            mode == Mode::Write ? Sql::Transaction::Write : Sql::Transaction::Read, busyWaitMs());
        bool ok = !db->failure();
        if (ok) {
            ok = body(*db) && db->commit();
            if (!ok)
                db->rollback();
        }
        if (!ok) {
            failure = db->failure().value_or(
                Sql::Failure::of(Sql::Problem::Own, QStringLiteral("Unknown error.")));
            // A statement that names a missing table or column fails with a
            // plain SQL error; say which part of the register is missing.
            if (db->isOpen() && failure->problem == Sql::Problem::Statement)
                missing = Schema::missingPart(*db);
        }
        engine_->release(std::move(db));
    }
    if (!failure)
        return true;
    // Told once, with what to do, after the connection is closed: the user
    // may have the register repaired there and then.
    if (failure->problem == Sql::Problem::Damaged && !location().isServer() && !readOnly_)
        openReadOnly(damaged());
    else if (mode != Mode::ReadQuietly)
        report(what, *failure, missing);
    return false;
}

int Store::busyWaitMs() const {
    return busyWaitMs_ ? busyWaitMs_() : kDefaultBusyWaitMs;
}

// --- Reading only and damage ---------------------------------------------------

void Store::openReadOnly(const ReadOnlyReason& why) {
    readOnly_ = why;
    const QString message =
        why.reason +
        QStringLiteral(
            " Quarvel opens it for reading only: you can look things up, but nothing "
            "you change can be saved.\n\n") +
        why.advice + QStringLiteral("\n\n") + engine_->registerLine();
    if (notice_)
        notice_(why, message);
    else if (reporter_)
        reporter_(message);
}

ReadOnlyReason Store::damaged() const {
    return {ReadOnlyCause::Damaged,
            QStringLiteral("The register is damaged: SQLite's check finds faults in it."),
            QStringLiteral("Restore data.mdb from a backup, or let Quarvel try to repair it: it "
                           "copies what it can still read into a new register that takes the "
                           "place of data.mdb, and keeps the damaged file beside it.")};
}

namespace {

Store::Health healthOf(std::optional<bool> sound) {
    if (!sound)
        return Store::Health::Unknown;
    return *sound ? Store::Health::Sound : Store::Health::Damaged;
}

}  // namespace

// Opened for writing: a save that a crash cut off is rolled back first, as
// any later statement would.
Store::Health Store::checkForDamage() {
    if (location().isServer())
        return Health::Sound;
    const QString& path = location().text();
    if (!QFileInfo::exists(path))
        return Health::Unknown;
    Health health;
    {
        Sqlite::Connection db(path, Sqlite::Open::Existing, busyWaitMs());
        health = healthOf(db.isSound(Sqlite::Check::Quick));
    }
    takeDamageCheck(health);
    return health;
}

Store::Health Store::fullCheck(const RegisterLocation& location, int busyWaitMs,
                               const std::function<bool()>& stop) {
    if (location.isServer())
        return Health::Sound;
    if (!QFileInfo::exists(location.text()))
        return Health::Unknown;
    Sqlite::Connection db(location.text(), Sqlite::Open::ReadOnly, busyWaitMs);
    return healthOf(db.isSound(Sqlite::Check::Full, stop));
}

void Store::takeDamageCheck(Health found) {
    if (found != Health::Unknown)
        damageChecked_ = true;
    if (found == Health::Damaged && !readOnly_)
        openReadOnly(damaged());
}

// Unknown lets the write go on: its own statements meet what kept the check
// from running, and say so.
bool Store::mayWrite() {
    if (!damageChecked_ && !readOnly_)
        checkForDamage();
    return !readOnly_;
}

RegisterRepair::Outcome Store::repairDamaged() {
    if (location().isServer())
        return {false, {}, QStringLiteral("only a register file can be repaired by Quarvel")};
    const RegisterRepair::Outcome outcome = RegisterRepair::repair(location().text());
    if (outcome.repaired && readOnly_ && readOnly_->cause == ReadOnlyCause::Damaged)
        readOnly_.reset();
    return outcome;
}

bool Store::createEmptyDatabase(const QString& path, QString* error) {
    if (QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("%1 already exists.").arg(path);
        return false;
    }
    bool ok = false;
    {
        Sqlite::Connection db(path, Sqlite::Open::Create);
        ok = db.exec("BEGIN") && Schema::create(db) && db.exec("COMMIT");
        if (!ok && error)
            *error = db.failure() ? db.failure()->text : QStringLiteral("Unknown error.");
    }
    if (!ok)
        QFile::remove(path);
    return ok;
}

bool Store::createEmpty(const RegisterLocation& location, QString* error) {
    if (!location.isServer())
        return createEmptyDatabase(location.text(), error);
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (!location.problem().isEmpty())
        return fail(location.problem());
    const auto engine = RegisterEngine::at(location);
    std::unique_ptr<Connection> db = engine->open(Sql::Transaction::Write, kDefaultBusyWaitMs);
    bool ok = !db->failure();
    std::optional<int> found;
    if (ok) {
        found = Schema::versionOf(*db);
        ok = found && *found == 0 && Schema::create(*db) && db->commit();
        if (!ok)
            db->rollback();
    }
    if (found && *found != 0)
        return fail(QStringLiteral("%1 already holds a register.").arg(location.shown()));
    if (!ok)
        return fail(db->failure() ? db->failure()->text : QStringLiteral("Unknown error."));
    return true;
}

// --- Layout versions and backups ---------------------------------------------

bool Store::upgradeIfOlder(std::span<const Schema::Step> steps) {
    const int wanted = steps.empty() ? Schema::kCurrentVersion : steps.back().version;
    std::optional<int> found;
    if (!run(QStringLiteral("read the register's version"), Mode::ReadQuietly, [&](Connection& db) {
            found = Schema::versionOf(db);
            return found.has_value();
        }))
        return false;
    if (*found == 0 || *found == wanted)
        return true;  // not a register (its reads will say so), or up to date
    if (*found > wanted) {
        openReadOnly(
            {ReadOnlyCause::NewerVersion,
             QStringLiteral("The register was written by a newer version of Quarvel: it has "
                            "register version %1, and this Quarvel knows register versions up "
                            "to %2.")
                 .arg(*found)
                 .arg(wanted),
             QStringLiteral("Install the newer Quarvel to work with it; until then it stays "
                            "as it is.")});
        return false;
    }
    // A damaged register keeps its layout: no backup of it pushes out a sound
    // one, and no step writes to it. An upgrade comes once, so it is worth
    // the full check, which also finds damage confined to an index.
    if (!readOnly_)
        takeDamageCheck(fullCheck(location(), busyWaitMs()));
    if (!mayWrite())
        return false;
    if (backups_.now && !location().isServer())
        backUp(backups_.now(), QStringLiteral("before its upgrade"));
    return run(QStringLiteral("upgrade the register from version %1 to %2").arg(*found).arg(wanted),
               Mode::Write, [&](Connection& db) {
                   // Another desk may have upgraded it since.
                   if (!Schema::lockVersion(db))
                       return false;
                   const auto now = Schema::versionOf(db);
                   return now && (*now >= wanted || Schema::upgrade(db, *now, steps));
               });
}

void Store::backUpOnceADay() {
    if (!backups_.now || location().isServer())
        return;
    const QDateTime now = backups_.now();
    if (lastBackupDay_ == now.date())
        return;
    lastBackupDay_ = now.date();
    if (!Backups::takenOn(location().text(), now.date()))
        backUp(now, QStringLiteral("before the first save of the day"));
}

bool Store::backUp(const QDateTime& when, const QString& occasion) {
    const int keep = backups_.keep ? backups_.keep() : Backups::kDefaultToKeep;
    const QString& path = location().text();
    const Backups::Result backup = Backups::take(path, when, keep);
    if (!backup.ok && backups_.warn) {
        backups_.warn(QStringLiteral("Quarvel could not back up the register %1 %2: %3.\n\n"
                                     "Your work goes on and is saved as usual. To have "
                                     "backups again, make sure the folder %4 can be written.")
                          .arg(QDir::toNativeSeparators(path), occasion, backup.error,
                               QDir::toNativeSeparators(RegisterFolder::backupFolder(path))));
    }
    return backup.ok;
}

// --- Shapes of reading --------------------------------------------------------

bool Store::readRows(const QString& what, const char* sql, const QVariantList& values,
                     const RowReader& readRow) {
    return run(what, Mode::Read, [&](Connection& db) {
        Statement statement(db, sql);
        bindAll(statement, values);
        while (statement.step())
            readRow(statement);
        return statement.ok();
    });
}

std::optional<IdTextRows> Store::idTexts(const QString& what, const char* countSql, const char* sql,
                                         const QVariantList& values) {
    IdTextRows rows;
    const bool ok = run(what, Mode::Read, [&](Connection& db) {
        // Counted first, so the rows are stored without growing the buffers.
        Statement count(db, countSql);
        bindAll(count, values);
        if (!count.step())
            return false;
        rows.reserveRows(static_cast<std::size_t>(std::max<std::int64_t>(count.integer(0), 0)));
        Statement statement(db, sql);
        bindAll(statement, values);
        while (statement.step())
            rows.append(statement.wholeNumber(0).value_or(0), statement.utf8(1));
        return statement.ok();
    });
    return ok ? std::optional<IdTextRows>(std::move(rows)) : std::nullopt;
}

std::optional<bool> Store::exists(const QString& what, const char* sql,
                                  const QVariantList& values) {
    bool found = false;
    const bool ok = readRows(what, sql, values, [&found](const Statement&) { found = true; });
    return ok ? std::optional<bool>(found) : std::nullopt;
}

// Takes the next id of the table and adds the row under it in one
// transaction; sql binds the id first, then values.
std::optional<qint64> Store::insertWithNewId(const QString& what, RecordTable table,
                                             const char* sql, const QVariantList& values) {
    std::optional<qint64> newId;
    run(what, Mode::Write, [&](Connection& db) {
        const auto id = takeNextId(db, idTableOf(table));
        if (!id)
            return false;
        Statement insert(db, sql);
        insert.bind(*id);
        bindAll(insert, values);
        if (!insert.run())
            return false;
        newId = id;
        return true;
    });
    return newId;
}

// --- Main tree ----------------------------------------------------------------

std::optional<TreeData> Store::readTree(const TestsDue::Window& window) {
    TreeData tree;
    const bool ok = run(QStringLiteral("read the register"), Mode::Read,
                        [&](Connection& db) { return TreeReader::read(db, window, tree); });
    return ok ? std::optional<TreeData>(std::move(tree)) : std::nullopt;
}

// --- Tests due ----------------------------------------------------------------

std::optional<DueList> Store::testsDue(const TestsDue::Window& window,
                                       std::optional<TestsDue::Day> dueBy) {
    DueList list;
    const bool ok = run(QStringLiteral("read the tests due"), Mode::Read,
                        [&](Connection& db) { return DueReader::read(db, window, dueBy, list); });
    return ok ? std::optional<DueList>(std::move(list)) : std::nullopt;
}

std::optional<TestsDue::Counts> Store::caseTests(qint64 caseId, const TestsDue::Window& window) {
    TestsDue::Counts counts;
    const bool ok =
        run(QStringLiteral("read the tests of flight case F%1").arg(caseId), Mode::Read,
            [&](Connection& db) { return DueReader::countCase(db, caseId, window, counts); });
    return ok ? std::optional(counts) : std::nullopt;
}

std::optional<std::vector<qint64>> Store::deletedItemsWithTests() {
    std::vector<std::int64_t> ids;
    const bool ok = run(QStringLiteral("read the test records"), Mode::Read,
                        [&](Connection& db) { return DueReader::deletedItemsWithTests(db, ids); });
    return ok ? std::optional(std::vector<qint64>(ids.begin(), ids.end())) : std::nullopt;
}

std::optional<TestsDue::Due> Store::itemDue(qint64 id, const TestsDue::Window& window) {
    std::optional<TestsDue::Due> due;
    run(QStringLiteral("read the test dates of item %1").arg(id), Mode::Read, [&](Connection& db) {
        const auto failed = DueReader::lastTestFailed(db, id);
        if (!failed)
            return false;
        Statement item(db, R"(SELECT "testnext", "testlast", "testinterval"
                                  FROM "Items" WHERE "id" = ?)");
        item.bind(id);
        if (item.step())
            due = DueReader::dueOfRow(item, 0, *failed, TestsDue::dayOf(window.today),
                                      window.soonDays);
        return item.ok();
    });
    return due;
}

RecordTestResult Store::recordTest(qint64 itemId, const TestRecord& test) {
    using namespace TestsDue;
    RecordTestResult result = RecordTestResult::Recorded;
    const Day day = dayOf(test.date);
    const QString date = dateText(day);
    const bool ok = run(
        QStringLiteral("record the test of item %1").arg(itemId), Mode::Write, [&](Connection& db) {
            Statement item(db, R"(SELECT "testinterval", "testlast" FROM "Items" WHERE "id" = ?)");
            item.bind(itemId);
            if (!item.step()) {
                result = RecordTestResult::ItemGone;
                return item.ok();
            }
            const IntervalReading interval = readInterval(item.utf8(0));
            const DateReading last = readDate(item.utf8(1));
            const bool newest = last.reading != Reading::Read || last.day <= day;
            const QString next = interval.reading == Reading::Read
                                     ? dateText(addMonths(day, interval.months))
                                     : QString();

            // Desks take history ids one after another: on a server the
            // counters' row stays locked until this save commits (a file's
            // write lock does the same), so two never take the same id.
            const QByteArray turnSql = QByteArray(R"(SELECT 1 FROM "Data")") + forUpdate(db);
            if (!findsRow(db, turnSql.constData(), {}))
                return false;
            Statement add(db, R"(INSERT INTO "TestHistory"
                ("id", "itemid", "testday", "testdate", "kind", "result", "note")
                VALUES ((SELECT COALESCE(MAX("id"), 0) + 1 FROM "TestHistory"), ?, ?, ?, ?, ?, ?))");
            add.bind(itemId).bind(day).bind(date).bind(test.kind);
            add.bind(test.passed ? QStringLiteral("Pass") : QStringLiteral("Fail")).bind(test.note);
            if (!add.run())
                return false;
            if (!newest)
                return true;
            Statement dates(db,
                            R"(UPDATE "Items" SET "testlast" = ?, "testnext" = ? WHERE "id" = ?)");
            dates.bind(date).bind(next).bind(itemId);
            return dates.run();
        });
    return ok ? result : RecordTestResult::Failed;
}

std::optional<QList<TestRecord>> Store::testHistory(qint64 itemId) {
    QList<TestRecord> tests;
    const bool ok = readRows(QStringLiteral("read the tests of item %1").arg(itemId),
                             R"(SELECT "testday", "kind", "result", "note" FROM "TestHistory"
           WHERE "itemid" = ? ORDER BY "testday" DESC, "id" DESC)",
                             {itemId}, [&tests](const Statement& row) {
                                 tests.append({TestsDue::dateOf(row.integer(0)), row.shown(1),
                                               row.utf8(2) == "Pass", row.shown(3)});
                             });
    return ok ? std::optional<QList<TestRecord>>(tests) : std::nullopt;
}

// --- New ids ------------------------------------------------------------------

std::optional<qint64> Store::predictedId(RecordTable table) {
    const IdTable t = idTableOf(table);
    std::optional<qint64> next;
    const bool ok = run(QStringLiteral("find the id of a new %1").arg(QLatin1String(t.noun)),
                        Mode::Read, [&](Connection& db) {
                            next = nextIdOf(db, t, false);
                            return next.has_value();
                        });
    return ok ? next : std::nullopt;
}

std::optional<Counters> Store::counters() {
    Counters counters;
    bool found = false;
    const bool ok =
        readRows(QStringLiteral("read the id counters"),
                 R"(SELECT "lastid", "lastCase", "lastList" FROM "Data" LIMIT 1)", {},
                 [&](const Statement& row) {
                     found = true;
                     const auto counter = [&row](int col) {
                         return TextRules::wholeNumber(TextRules::numericValue(row.shown(col)));
                     };
                     counters = {counter(0), counter(1), counter(2)};
                 });
    if (ok && !found) {
        report(QStringLiteral("read the id counters"),
               QStringLiteral("Table Data holds no counter row."));
        return std::nullopt;
    }
    return ok ? std::optional<Counters>(counters) : std::nullopt;
}

// --- Items --------------------------------------------------------------------

Store::Rows<ItemRecord> Store::itemsWithId(qint64 id) {
    QList<ItemRecord> rows;
    const QByteArray sql = kItemsSql.selectById();
    const bool ok =
        readRows(QStringLiteral("read item %1").arg(id), sql.constData(), {id},
                 [&rows](const Statement& row) { rows.append(recordOf<ItemRecord>(row)); });
    return ok ? Rows<ItemRecord>(rows) : std::nullopt;
}

std::optional<bool> Store::itemExists(qint64 id) {
    return exists(QStringLiteral("look up item %1").arg(id),
                  R"(SELECT 1 FROM "Items" WHERE "id" = ?)", {id});
}

std::optional<IdTextRows> Store::allItems() {
    return idTexts(QStringLiteral("read the items"), R"(SELECT COUNT(*) FROM "Items")",
                   R"(SELECT "id", "desc" FROM "Items" ORDER BY "id")");
}

std::optional<IdTextRows> Store::itemsInCase(qint64 caseId) {
    return idTexts(QStringLiteral("read the items of flight case F%1").arg(caseId),
                   R"(SELECT COUNT(*) FROM "Items" WHERE "caseID" = ?)",
                   R"(SELECT "id", "desc" FROM "Items" WHERE "caseID" = ? ORDER BY "id")",
                   {caseId});
}

// Ordered here, not by SQLite, which folds the letter case of A to Z only:
// the categories compare case folded, as the location names do.
std::optional<IdTextRows> Store::itemsInCaseByCategory(qint64 caseId) {
    struct Row {
        qint64 id;
        QString category;
        std::string desc;
    };
    std::vector<Row> rows;
    const bool ok =
        readRows(QStringLiteral("read the items of flight case F%1").arg(caseId),
                 R"(SELECT "id", "desc", "category" FROM "Items" WHERE "caseID" = ? ORDER BY "id")",
                 {caseId}, [&rows](const Statement& row) {
                     rows.push_back({row.wholeNumber(0).value_or(0), row.shown(2).toCaseFolded(),
                                     std::string(row.utf8(1))});
                 });
    if (!ok)
        return std::nullopt;
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Row& a, const Row& b) { return a.category < b.category; });
    IdTextRows items;
    items.reserveRows(rows.size());
    for (const Row& row : rows)
        items.append(row.id, row.desc);
    return items;
}

std::optional<qint64> Store::insertItem(const ItemWrite& values) {
    const QByteArray sql = kItemsSql.insertWithId();
    return insertWithNewId(QStringLiteral("save the new item"), RecordTable::Items, sql.constData(),
                           kItemsSql.stored(values));
}

SaveResult Store::updateItem(qint64 id, const QList<ColumnChange>& changes, bool overwrite) {
    return updateColumns(QStringLiteral("save item %1").arg(id), kItemsSql, id, changes, overwrite);
}

PutInCaseResult Store::setItemCase(qint64 itemId, qint64 caseId) {
    PutInCaseResult result = PutInCaseResult::Done;
    const bool ok =
        run(QStringLiteral("put item %1 into flight case F%2").arg(itemId).arg(caseId), Mode::Write,
            [&](Connection& db) {
                if (caseId != 0) {
                    // Kept from being deleted until the item is in it.
                    const QByteArray sql =
                        QByteArray(R"(SELECT 1 FROM "Cases" WHERE "id" = ?)") + forShare(db);
                    const auto found = findsRow(db, sql.constData(), {caseId});
                    if (!found)
                        return false;
                    if (!*found) {
                        result = PutInCaseResult::CaseGone;
                        return true;
                    }
                }
                Statement update(db, R"(UPDATE "Items" SET "caseID" = ? WHERE "id" = ?)");
                update.bind(caseId).bind(itemId);
                if (!update.run())
                    return false;
                if (update.changes() == 0)
                    result = PutInCaseResult::ItemGone;
                return true;
            });
    return ok ? result : PutInCaseResult::Failed;
}

bool Store::deleteItem(qint64 id) {
    return run(QStringLiteral("delete item %1").arg(id), Mode::Write, [&](Connection& db) {
        Statement statement(db, R"(DELETE FROM "Items" WHERE "id" = ?)");
        statement.bind(id);
        return statement.run();
    });
}

// --- Shared by the updates -----------------------------------------------------

// Writes the changed columns of one row; every other column keeps its value
// but turns from null into its empty value. A changed column whose stored
// text is no longer what the editor loaded counts as changed elsewhere.
SaveResult Store::updateColumns(const QString& what, const RecordTableSql& t, qint64 id,
                                const QList<ColumnChange>& changes, bool overwrite) {
    const QString readSql =
        QStringLiteral("SELECT %1 FROM %2 WHERE \"id\" = ?").arg(t.columnList(), quoted(t.table));
    QStringList sets;
    QVariantList values;
    for (std::size_t c = 0; c < t.columns.size(); ++c) {
        const ColumnSpec& column = t.columns[c];
        const auto change =
            std::find_if(changes.begin(), changes.end(),
                         [c](const ColumnChange& x) { return x.column == static_cast<int>(c); });
        if (change != changes.end()) {
            sets << QStringLiteral("%1 = ?").arg(quoted(column.name));
            values << storedValue(column, change->value);
        } else {
            sets << QStringLiteral("%1 = COALESCE(%1, ?)").arg(quoted(column.name));
            values << emptyValue(column);
        }
    }
    values << id;
    const QByteArray writeSql = sqlOf(QStringLiteral("UPDATE %1 SET %2 WHERE \"id\" = ?")
                                          .arg(quoted(t.table), sets.join(QStringLiteral(", "))));

    SaveResult result = SaveResult::Saved;
    bool gone = false;
    const bool ok = run(what, Mode::Write, [&](Connection& db) {
        Statement current(db, sqlOf(readSql + QLatin1String(forUpdate(db))).constData());
        current.bind(id);
        if (!current.step()) {
            if (!current.ok())
                return false;
            gone = true;
            db.fail(
                QStringLiteral("The record no longer exists: it was deleted "
                               "since it was opened."));
            return false;
        }
        if (!overwrite) {
            for (const ColumnChange& change : changes) {
                if (current.shown(change.column) != change.loadedText) {
                    result = SaveResult::ChangedElsewhere;
                    return true;
                }
            }
        }
        Statement update(db, writeSql.constData());
        bindAll(update, values);
        return update.run();
    });
    if (gone)
        return SaveResult::Gone;
    return ok ? result : SaveResult::Failed;
}

// --- Cases --------------------------------------------------------------------

std::optional<IdTextRows> Store::allCases() {
    return idTexts(QStringLiteral("read the flight cases"), R"(SELECT COUNT(*) FROM "Cases")",
                   R"(SELECT "id", "FName" FROM "Cases" ORDER BY "id")");
}

Store::Rows<CaseRecord> Store::casesWithId(qint64 id) {
    QList<CaseRecord> rows;
    const QByteArray sql = kCasesSql.selectById();
    const bool ok =
        readRows(QStringLiteral("read flight case F%1").arg(id), sql.constData(), {id},
                 [&rows](const Statement& row) { rows.append(recordOf<CaseRecord>(row)); });
    return ok ? Rows<CaseRecord>(rows) : std::nullopt;
}

std::optional<bool> Store::caseExists(qint64 id) {
    return exists(QStringLiteral("look up flight case F%1").arg(id),
                  R"(SELECT 1 FROM "Cases" WHERE "id" = ?)", {id});
}

std::optional<qint64> Store::insertCase(const CaseRecord& values) {
    const QByteArray sql = kCasesSql.insertWithId();
    std::array<QVariant, kCaseDataColumnCount> texts;
    std::copy(values.values.begin(), values.values.end(), texts.begin());
    return insertWithNewId(QStringLiteral("save the new flight case"), RecordTable::Cases,
                           sql.constData(), kCasesSql.stored(texts));
}

SaveResult Store::updateCase(qint64 id, const QList<ColumnChange>& changes, bool overwrite) {
    return updateColumns(QStringLiteral("save flight case F%1").arg(id), kCasesSql, id, changes,
                         overwrite);
}

// --- Lists --------------------------------------------------------------------

Store::Rows<ListRecord> Store::listsWithId(qint64 id) {
    QList<ListRecord> rows;
    const bool ok = readRows(QStringLiteral("read list %1").arg(id),
                             R"(SELECT "id", "ListName" FROM "Lists" WHERE "id" = ?)", {id},
                             [&rows](const Statement& row) {
                                 rows.append({row.shown(0), row.shown(1)});
                             });
    return ok ? Rows<ListRecord>(rows) : std::nullopt;
}

std::optional<bool> Store::listExists(qint64 id) {
    return exists(QStringLiteral("look up list %1").arg(id),
                  R"(SELECT 1 FROM "Lists" WHERE "id" = ?)", {id});
}

std::optional<IdTextRows> Store::listLines(qint64 listId) {
    return idTexts(
        QStringLiteral("read the lines of list %1").arg(listId),
        R"(SELECT COUNT(*) FROM "ListData" WHERE "listid" = ?)",
        R"(SELECT "itemid", "itemdesc" FROM "ListData" WHERE "listid" = ? ORDER BY "itemid")",
        {listId});
}

AddLineResult Store::addListLine(qint64 listId, qint64 itemId, const QString& itemDesc) {
    AddLineResult result = AddLineResult::Added;
    const bool ok = run(
        QStringLiteral("add item %1 to list %2").arg(itemId).arg(listId), Mode::Write,
        [&](Connection& db) {
            // Two desks adding the same line one after the other: the second
            // finds the first's.
            const QByteArray listSql =
                QByteArray(R"(SELECT 1 FROM "Lists" WHERE "id" = ?)") + forUpdate(db);
            const auto list = findsRow(db, listSql.constData(), {listId});
            if (!list)
                return false;
            if (!*list) {
                result = AddLineResult::ListGone;
                return true;
            }
            const auto line =
                findsRow(db, R"(SELECT 1 FROM "ListData" WHERE "listid" = ? AND "itemid" = ?)",
                         {listId, itemId});
            if (!line)
                return false;
            if (*line) {
                result = AddLineResult::AlreadyOnList;
                return true;
            }
            Statement insert(
                db, R"(INSERT INTO "ListData" ("listid", "itemid", "itemdesc") VALUES (?, ?, ?))");
            insert.bind(listId).bind(itemId).bind(itemDesc);
            return insert.run();
        });
    return ok ? result : AddLineResult::Failed;
}

bool Store::removeListLine(qint64 listId, qint64 itemId) {
    return run(QStringLiteral("remove item %1 from list %2").arg(itemId).arg(listId), Mode::Write,
               [&](Connection& db) {
                   Statement statement(
                       db, R"(DELETE FROM "ListData" WHERE "listid" = ? AND "itemid" = ?)");
                   statement.bind(listId).bind(itemId);
                   return statement.run();
               });
}

std::optional<qint64> Store::insertList(const QString& name) {
    return insertWithNewId(QStringLiteral("save the new list"), RecordTable::Lists,
                           R"(INSERT INTO "Lists" ("id", "ListName") VALUES (?, ?))", {name});
}

SaveResult Store::updateList(qint64 id, const QString& name, const QString& loadedName,
                             bool overwrite) {
    return updateColumns(QStringLiteral("save list %1").arg(id), kListsSql, id,
                         {{0, name, loadedName}}, overwrite);
}

// --- Locations ----------------------------------------------------------------

std::optional<IdTextRows> Store::locations() {
    return idTexts(QStringLiteral("read the locations"), R"(SELECT COUNT(*) FROM "Locations")",
                   R"(SELECT "rowid", "desc" FROM "Locations" ORDER BY "rowid")");
}

AddLocationResult Store::addLocation(const QString& name, qint64* rowId) {
    AddLocationResult result = AddLocationResult::Added;
    // Compared and added as the engine stores it, so a name that cannot be
    // stored as it is (a NUL on a server) matches its stored form.
    const QString stored = storable(name);
    const QString folded = stored.toCaseFolded();
    const bool ok = run(QStringLiteral("add the location"), Mode::Write, [&](Connection& db) {
        // Another desk adding a name waits until this one is in.
        if (onServer(db) && !db.exec(R"(LOCK TABLE "Locations" IN SHARE ROW EXCLUSIVE MODE)"))
            return false;
        // Compared in the program: SQLite folds letter case of A to Z only.
        Statement names(db, R"(SELECT "desc" FROM "Locations")");
        while (names.step()) {
            if (names.shown(0).toCaseFolded() == folded) {
                result = AddLocationResult::AlreadyThere;
                return true;
            }
        }
        if (!names.ok())
            return false;
        Statement insert(db, R"(INSERT INTO "Locations" ("desc") VALUES (?) RETURNING "rowid")");
        insert.bind(stored);
        if (!insert.step())
            return false;
        if (rowId)
            *rowId = insert.integer(0);
        return insert.run();
    });
    return ok ? result : AddLocationResult::Failed;
}

bool Store::deleteLocation(qint64 rowId, const QString& name) {
    return run(QStringLiteral("delete the location"), Mode::Write, [&](Connection& db) {
        // Exactly that name: a file's Locations compare without regard to
        // letter case unless told; a server's compare exactly.
        Statement statement(db, onServer(db)
                                    ? R"(DELETE FROM "Locations" WHERE "rowid" = ? AND "desc" = ?)"
                                    : R"(DELETE FROM "Locations" WHERE "rowid" = ? AND "desc" = ? )"
                                      R"(COLLATE BINARY)");
        statement.bind(rowId).bind(storable(name));
        return statement.run();
    });
}

// --- CSV import and export ------------------------------------------------------

namespace {

// Ids of the table in ascending order, counted first so the vector is sized once.
bool readIds(Connection& db, const char* table, std::vector<qint64>& ids) {
    Statement count(
        db, sqlOf(QStringLiteral("SELECT COUNT(*) FROM %1").arg(quoted(table))).constData());
    if (!count.step())
        return false;
    ids.reserve(static_cast<std::size_t>(std::max<std::int64_t>(count.integer(0), 0)));
    Statement select(
        db, sqlOf(QStringLiteral("SELECT \"id\" FROM %1 ORDER BY \"id\"").arg(quoted(table)))
                .constData());
    while (select.step()) {
        if (const auto id = select.wholeNumber(0))
            ids.push_back(*id);
    }
    return select.ok();
}

// The statement ready to run again with new values: reset where the engine
// can, prepared anew where it cannot.
Statement& rearmed(std::optional<Statement>& statement, Connection& db, const char* sql) {
    if (!statement || !statement->reset())
        statement.emplace(db, sql);
    return *statement;
}

// Makes the cases for imported items that do not exist yet: each with its
// number as its name, nothing else. Gives how many were made, or nullopt.
std::optional<qint64> createCases(Connection& db, const std::vector<qint64>& ids) {
    const char* const findSql = R"(SELECT 1 FROM "Cases" WHERE "id" = ?)";
    const QByteArray insertSql = kCasesSql.insertWithId();
    std::optional<Statement> find;
    std::optional<Statement> insert;
    qint64 made = 0;
    for (const qint64 id : ids) {
        Statement& found = rearmed(find, db, findSql);
        found.bind(id);
        if (found.step())
            continue;  // made meanwhile, elsewhere
        if (!found.ok())
            return std::nullopt;
        std::array<QVariant, kCaseDataColumnCount> values;
        values[static_cast<std::size_t>(CaseColumn::Name)] = QStringLiteral("F%1").arg(id);
        values[static_cast<std::size_t>(CaseColumn::Wheeled)] = QStringLiteral("No");
        Statement& add = rearmed(insert, db, insertSql.constData());
        add.bind(id);
        bindAll(add, kCasesSql.stored(values));
        if (!add.run())
            return std::nullopt;
        ++made;
    }
    return made;
}

// Adds the names the location list lacks (letter case aside, as the
// location picker compares them, each in the form the engine stores it);
// gives how many were added, or nullopt.
std::optional<qint64> addMissingLocations(Connection& db, const RegisterEngine& engine,
                                          const QStringList& names) {
    QSet<QString> present;
    Statement stored(db, R"(SELECT "desc" FROM "Locations")");
    while (stored.step())
        present.insert(stored.shown(0).toCaseFolded());
    if (!stored.ok())
        return std::nullopt;
    qint64 added = 0;
    for (const QString& name : names) {
        const QString stored = engine.storable(name);
        const QString folded = stored.toCaseFolded();
        if (name.isEmpty() || present.contains(folded))
            continue;
        present.insert(folded);
        Statement insert(db, R"(INSERT INTO "Locations" ("desc") VALUES (?))");
        if (!insert.bind(stored).run())
            return std::nullopt;
        ++added;
    }
    return added;
}

bool raiseCounter(Connection& db, const IdTable& t, qint64 highest) {
    Statement update(
        db, sqlOf(QStringLiteral("UPDATE \"Data\" SET %1 = ?").arg(quoted(t.counter))).constData());
    update.bind(highest);
    return update.run();
}

// Binds a number as the editors store it: whole numbers as integers.
void bindNumber(Statement& statement, double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9.0e18)
        statement.bind(static_cast<qint64>(value));
    else
        statement.bind(value);
}

void bindImported(Statement& statement, const ImportedValue& value) {
    switch (value.kind) {
        case ImportedValue::Kind::NoValue:
            statement.bindNull();
            break;
        case ImportedValue::Kind::Text:
            statement.bindUtf8(value.text);
            break;
        case ImportedValue::Kind::Whole:
            statement.bind(value.whole);
            break;
        case ImportedValue::Kind::Real:
            bindNumber(statement, value.real);
            break;
    }
}

// A number column as an export writes it: whole numbers exactly, others in
// the fewest digits that read back as the same number, never with an
// exponent (a spreadsheet and the import read plain numbers).
std::string_view exportedNumber(const Statement& select, int col, std::string& out) {
    if (const auto whole = select.wholeNumber(col)) {
        out = std::to_string(*whole);
        return out;
    }
    out = select.shown(col).toStdString();
    double value = 0;
    const auto [end, ec] = std::from_chars(out.data(), out.data() + out.size(), value);
    if (ec == std::errc() && end == out.data() + out.size() && std::isfinite(value)) {
        char digits[400];
        const auto written =
            std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed);
        if (written.ec == std::errc())
            out.assign(digits, written.ptr);
    }
    return out;
}

}  // namespace

std::optional<std::vector<qint64>> Store::itemIds() {
    std::vector<qint64> ids;
    const bool ok = run(QStringLiteral("read the item ids"), Mode::Read,
                        [&](Connection& db) { return readIds(db, "Items", ids); });
    return ok ? std::optional(std::move(ids)) : std::nullopt;
}

std::optional<std::vector<qint64>> Store::caseIds() {
    std::vector<qint64> ids;
    const bool ok = run(QStringLiteral("read the flight case numbers"), Mode::Read,
                        [&](Connection& db) { return readIds(db, "Cases", ids); });
    return ok ? std::optional(std::move(ids)) : std::nullopt;
}

std::optional<ImportCounts> Store::importItems(const ItemImportPlan& plan) {
    ImportCounts counts;
    const bool ok = run(QStringLiteral("import the items"), Mode::Write, [&](Connection& db) {
        const IdTable cases = idTableOf(RecordTable::Cases);
        const auto nextCase = nextIdOf(db, cases, true);
        if (!nextCase)
            return false;
        const auto made = createCases(db, plan.casesToCreate);
        if (!made)
            return false;
        counts.casesCreated = *made;
        qint64 highestCase = *nextCase - 1;
        for (const qint64 id : plan.casesToCreate)
            highestCase = std::max(highestCase, id);
        if (highestCase >= *nextCase && !raiseCounter(db, cases, highestCase))
            return false;
        const auto added = addMissingLocations(db, *engine_, plan.locationsToAdd);
        if (!added)
            return false;
        counts.locationsAdded = *added;

        const IdTable items = idTableOf(RecordTable::Items);
        const auto nextItem = nextIdOf(db, items, true);
        if (!nextItem)
            return false;
        qint64 highest = std::max(*nextItem - 1, plan.highestFileId);
        const QByteArray insertSql = kItemsSql.insertWithId();
        std::optional<Statement> statement;
        ImportedItem item;
        QString why;
        for (;;) {
            const ImportStep step = plan.next(item, &why);
            if (step == ImportStep::End)
                break;
            if (step == ImportStep::Failed) {
                db.fail(why);
                return false;
            }
            if (item.id == 0) {
                if (highest >= kHighestId) {
                    db.fail(QStringLiteral("The register has no item id left."));
                    return false;
                }
                item.id = ++highest;
                ++counts.newIds;
            }
            Statement& insert = rearmed(statement, db, insertSql.constData());
            insert.bind(item.id);
            for (const ImportedValue& value : item.values)
                bindImported(insert, value);
            if (!insert.run())
                return false;
            highest = std::max(highest, item.id);
            ++counts.items;
        }
        return raiseCounter(db, items, highest);
    });
    return ok ? std::optional(counts) : std::nullopt;
}

QStringList Store::exportColumns(ExportKind kind) {
    QStringList names;
    if (kind == ExportKind::ListLines)
        names << QStringLiteral("listid") << QStringLiteral("itemid") << QStringLiteral("itemdesc");
    else
        names << QStringLiteral("id");
    for (const ColumnSpec& c : kItemColumns)
        names << QLatin1String(c.name);
    return names;
}

bool Store::exportRows(ExportKind kind, qint64 id, const ExportRowHandler& onRow) {
    // The item columns follow `first` columns of the list line or the id.
    QStringList itemColumns;
    for (const ColumnSpec& c : kItemColumns)
        itemColumns << QStringLiteral("I.%1").arg(quoted(c.name));
    const QString columns = itemColumns.join(QStringLiteral(", "));
    QString sql;
    QString what;
    int first = 1;
    switch (kind) {
        case ExportKind::Items:
            sql = QStringLiteral("SELECT I.\"id\", %1 FROM \"Items\" I ORDER BY I.\"id\"");
            what = QStringLiteral("export the items");
            break;
        case ExportKind::CaseItems:
            sql = QStringLiteral(
                "SELECT I.\"id\", %1 FROM \"Items\" I WHERE I.\"caseID\" = ? ORDER BY I.\"id\"");
            what = QStringLiteral("export the items of flight case F%1").arg(id);
            break;
        case ExportKind::ListLines:
            sql = QStringLiteral(
                "SELECT L.\"listid\", L.\"itemid\", L.\"itemdesc\", %1 FROM \"ListData\" L "
                "LEFT JOIN \"Items\" I ON I.\"id\" = L.\"itemid\" WHERE L.\"listid\" = ? "
                "ORDER BY L.\"itemid\"");
            what = QStringLiteral("export list %1").arg(id);
            first = 3;
            break;
    }
    const QByteArray statementText = sqlOf(sql.arg(columns));
    const int count = first + kItemDataColumnCount;
    std::vector<std::string_view> values(static_cast<std::size_t>(count));
    std::vector<std::string> numbers(static_cast<std::size_t>(count));
    const auto isNumber = [first, kind](int col) {
        if (col < first)
            return kind != ExportKind::ListLines || col < 2;  // the ids
        return kItemColumns[col - first].type == ColumnType::Number;
    };
    return run(what, Mode::Read, [&](Connection& db) {
        Statement select(db, statementText.constData());
        if (kind != ExportKind::Items)
            select.bind(id);
        while (select.step()) {
            for (int col = 0; col < count; ++col) {
                const auto c = static_cast<std::size_t>(col);
                if (select.isNull(col))
                    values[c] = std::string_view();
                else if (isNumber(col))
                    values[c] = exportedNumber(select, col, numbers[c]);
                else if (const std::string_view text = select.utf8(col); text.empty())
                    values[c] = kEmptyText;
                else
                    values[c] = text;
            }
            if (!onRow(values))
                return true;
        }
        return select.ok();
    });
}
