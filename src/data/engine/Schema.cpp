#include "data/engine/Schema.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <array>
#include <optional>

#include "data/engine/Sql.h"
#include "data/rules/Columns.h"

namespace Schema {

namespace {

// Version 2: the tests done on each item, one row per test. "testday" is
// the test date as a day number (the Julian day), so that the history sorts
// by date; "testdate" is the same date as the date picker writes it. The
// store gives each row its id. Plain SQL that both engines read.
bool addTestHistory(Sql::Connection& db) {
    return db.exec(R"(CREATE TABLE "TestHistory" ("id" INTEGER PRIMARY KEY,
        "itemid" INTEGER NOT NULL, "testday" INTEGER NOT NULL, "testdate" TEXT NOT NULL,
        "kind" TEXT NOT NULL, "result" TEXT NOT NULL, "note" TEXT NOT NULL))") &&
           db.exec(R"(CREATE INDEX "TestHistoryByItem" ON "TestHistory" ("itemid", "testday"))");
}

// Version 3: scan sessions (a stocktake of a location, packing a list,
// checking it back in) and every scan of each, stored as it happens so that
// nothing is lost when the program ends in the middle. Times are ISO 8601
// texts; "finished" stays empty while a session is open. A session names
// either a location or a list (then its location is empty, or its listid 0).
bool addScanSessions(Sql::Connection& db) {
    return db.exec(R"(CREATE TABLE "ScanSessions" ("id" INTEGER PRIMARY KEY,
        "kind" TEXT NOT NULL, "location" TEXT NOT NULL, "listid" INTEGER NOT NULL,
        "started" TEXT NOT NULL, "finished" TEXT NOT NULL, "username" TEXT NOT NULL))") &&
           db.exec(R"(CREATE TABLE "ScanRecords" ("id" INTEGER PRIMARY KEY,
        "sessionid" INTEGER NOT NULL, "itemid" INTEGER NOT NULL, "caseid" INTEGER NOT NULL,
        "scanned" TEXT NOT NULL, "answer" TEXT NOT NULL))") &&
           db.exec(R"(CREATE INDEX "ScanRecordsBySession" ON "ScanRecords" ("sessionid", "id"))") &&
           db.exec(R"(CREATE INDEX "ScanRecordsByItem" ON "ScanRecords" ("itemid", "id"))");
}

// Version 4: picking lists as jobs with dates. A list's plan is a row of
// its own beside Lists, whose columns stay as they were (the device copy and
// older programs read them as before): the out and return dates as ISO
// texts (NULL when not set), so that ranges compare as text along an index,
// and the state's word. A list without a row is a Draft without dates. The
// indexes find an item's lists, the lists that hold items over a range and
// the items of a category without reading every item.
bool addListPlans(Sql::Connection& db) {
    const QByteArray key = *db.rowIdColumnType() == '\0' ? "INTEGER" : "BIGINT";
    const QByteArray table = R"(CREATE TABLE "ListPlans" ("listid" )" + key +
                             R"( PRIMARY KEY, "outdate" TEXT, "returndate" TEXT,
        "state" TEXT NOT NULL))";
    return db.exec(table.constData()) &&
           db.exec(
               R"(CREATE INDEX "ListPlansByState" ON "ListPlans" ("state", "outdate", "returndate"))") &&
           db.exec(R"(CREATE INDEX "ListDataByItem" ON "ListData" ("itemid", "listid"))") &&
           db.exec(R"(CREATE INDEX "ItemsByCategory" ON "Items" ("category", "id"))");
}

// Version 5: the change log. A batch is one save, import, Move, repair or
// Put back, with who made it, at which desk and when (UTC ISO texts, which
// sort as times); the log holds one row per changed field, with who, where
// and when repeated so that a row stands alone and filters need no join.
// The engine numbers both (a server by an identity). The indexes serve a
// record's history, the Change Log window's pages (newest first, by time,
// also for one user) and a batch's rows; "after id N" follows the key. Who
// recorded a test is its "created" row in the log: TestHistory keeps its
// columns, as the device and older programs read them.
bool addChangeLog(Sql::Connection& db) {
    // A file numbers the rows by its rowid (no row is ever deleted, so none
    // is numbered twice; AUTOINCREMENT would cost a write per row); a
    // server by an identity.
    const QByteArray rowId = db.rowIdColumnType();
    const QByteArray key = rowId.isEmpty() ? QByteArray("INTEGER PRIMARY KEY") : rowId;
    const QByteArray batches = R"(CREATE TABLE "ChangeBatches" ("id" )" + key +
                               R"(, "at" TEXT NOT NULL, "username" TEXT NOT NULL,
        "desk" TEXT NOT NULL, "what" TEXT NOT NULL))";
    const QByteArray log = R"(CREATE TABLE "ChangeLog" ("id" )" + key +
                           R"(, "batch" BIGINT NOT NULL, "at" TEXT NOT NULL,
        "username" TEXT NOT NULL, "desk" TEXT NOT NULL, "kind" TEXT NOT NULL,
        "recordid" BIGINT NOT NULL, "field" TEXT NOT NULL, "oldvalue" TEXT, "newvalue" TEXT))";
    return db.exec(batches.constData()) && db.exec(log.constData()) &&
           db.exec(
               R"(CREATE INDEX "ChangeLogByRecord" ON "ChangeLog" ("kind", "recordid", "id"))") &&
           db.exec(R"(CREATE INDEX "ChangeLogByTime" ON "ChangeLog" ("at", "id"))") &&
           db.exec(R"(CREATE INDEX "ChangeLogByUser" ON "ChangeLog" ("username", "at", "id"))") &&
           db.exec(R"(CREATE INDEX "ChangeLogByBatch" ON "ChangeLog" ("batch", "id"))");
}

// The steps after version 1, oldest first; a new layout adds its step here
// and raises kCurrentVersion.
constexpr std::array<Step, 4> kSteps{
    {{2, addTestHistory}, {3, addScanSessions}, {4, addListPlans}, {5, addChangeLog}}};

constexpr int lastVersion() {
    return kSteps.empty() ? 1 : kSteps[kSteps.size() - 1].version;
}
static_assert(lastVersion() == kCurrentVersion, "kCurrentVersion is the last step's version");

const char* sqlType(ColumnType type) {
    return type == ColumnType::Number ? numberType() : textType();
}

// A record table as its first version made it: "id", then its columns of
// version 1.
QByteArray createRecordTable(const Sql::Connection& db, const char* table,
                             std::span<const ColumnSpec> columns) {
    QByteArray sql = QByteArray("CREATE TABLE \"") + table + "\" (\"id\" " + keyType(db);
    for (const ColumnSpec& c : columns) {
        if (c.sinceVersion == 1)
            sql += QByteArray(", \"") + c.name + "\" " + sqlType(c.type);
    }
    return sql + ")";
}

// Text columns keep exactly what was typed. A file's location names compare
// without regard to letter case; the program compares them itself on either
// engine. A server has no rowid: its Locations keep theirs in a column of
// that name, numbered by the server. The two indexes keep the main tree and
// the list windows fast on large registers.
QList<QByteArray> firstVersionStatements(const Sql::Connection& db) {
    const QByteArray rowId = db.rowIdColumnType();
    const QByteArray locations = R"(CREATE TABLE "Locations" ()" +
                                 (rowId.isEmpty() ? QByteArray() : R"("rowid" )" + rowId + ", ") +
                                 R"("desc" TEXT)" + db.foldedText() + ")";
    QList<QByteArray> statements = {
        createRecordTable(db, "Items", kItemColumns),
        R"(CREATE INDEX "ItemsByCase" ON "Items" ("caseID"))",
        createRecordTable(db, "Cases", kCaseColumns),
        QByteArray(R"(CREATE TABLE "Lists" ("id" )") + keyType(db) + R"(, "ListName" TEXT))",
        R"(CREATE TABLE "ListData" ("listid" NUMERIC, "itemid" NUMERIC, "itemdesc" TEXT))",
        R"(CREATE INDEX "ListDataByListItem" ON "ListData" ("listid", "itemid"))",
        locations,
        R"(CREATE TABLE "Data" ("lastid" NUMERIC, "lastCase" NUMERIC, "lastList" NUMERIC))",
        R"(INSERT INTO "Data" ("lastid", "lastCase", "lastList") VALUES (0, 0, 0))",
    };
    return statements;
}

// A column added by an upgrade starts empty in every row: empty text, or 0.
bool addColumn(Sql::Connection& db, const char* table, const ColumnSpec& c) {
    const QByteArray sql = QByteArray("ALTER TABLE \"") + table + "\" ADD COLUMN \"" + c.name +
                           "\" " + sqlType(c.type) +
                           (c.type == ColumnType::Number ? " DEFAULT 0" : " DEFAULT ''");
    return db.exec(sql.constData());
}

bool addColumnsOf(Sql::Connection& db, int version) {
    for (const ColumnSpec& c : kItemColumns) {
        if (c.sinceVersion == version && !addColumn(db, "Items", c))
            return false;
    }
    for (const ColumnSpec& c : kCaseColumns) {
        if (c.sinceVersion == version && !addColumn(db, "Cases", c))
            return false;
    }
    return true;
}

// What is wrong with one table, or empty.
std::optional<QString> problemOf(Sql::Connection& db, const Table& table) {
    const QString name = QLatin1String(table.name);
    const auto kind = db.tableKinds(name);
    if (!kind)
        return std::nullopt;
    if (kind->isEmpty())
        return QStringLiteral("it has no table %1").arg(name);
    // Writing to a view fails; the register has to hold the table itself.
    if (kind->first() != QLatin1String("table"))
        return QStringLiteral("its %1 is a view, not a table").arg(name);
    const auto present = db.columnNames(name);
    if (!present)
        return std::nullopt;
    const Qt::CaseSensitivity names = db.namesKeepCase() ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (const QString& column : table.columns) {
        if (!present->contains(column, names))
            return QStringLiteral("its table %1 has no column %2").arg(name, column);
    }
    return QString();
}

std::span<const Step> stepsUpTo(int version) {
    std::size_t count = 0;
    while (count < kSteps.size() && kSteps[count].version <= version)
        ++count;
    return std::span<const Step>(kSteps).first(count);
}

}  // namespace

std::span<const Step> upgradeSteps() {
    return kSteps;
}

const char* keyType(const Sql::Connection& db) {
    return db.keyType();
}

const char* numberType() {
    return "NUMERIC";
}

const char* textType() {
    return "TEXT";
}

QList<Table> tablesOf(int version, bool server) {
    const auto withModel = [version](QStringList columns, std::span<const ColumnSpec> model) {
        for (const ColumnSpec& c : model) {
            if (c.sinceVersion <= version)
                columns << QLatin1String(c.name);
        }
        return columns;
    };
    QList<Table> tables = {
        {"Items", withModel({"id"}, kItemColumns)},
        {"Cases", withModel({"id"}, kCaseColumns)},
        {"Lists", {"id", "ListName"}},
        {"ListData", {"listid", "itemid", "itemdesc"}},
        {"Locations", server ? QStringList{"rowid", "desc"} : QStringList{"desc"}},
        {"Data", {"lastid", "lastCase", "lastList"}},
    };
    if (version >= 2)
        tables.append(
            {"TestHistory", {"id", "itemid", "testday", "testdate", "kind", "result", "note"}});
    if (version >= 3) {
        tables.append({"ScanSessions",
                       {"id", "kind", "location", "listid", "started", "finished", "username"}});
        tables.append(
            {"ScanRecords", {"id", "sessionid", "itemid", "caseid", "scanned", "answer"}});
    }
    if (version >= 4)
        tables.append({"ListPlans", {"listid", "outdate", "returndate", "state"}});
    if (version >= 5) {
        tables.append({"ChangeBatches", {"id", "at", "username", "desk", "what"}});
        tables.append({"ChangeLog",
                       {"id", "batch", "at", "username", "desk", "kind", "recordid", "field",
                        "oldvalue", "newvalue"}});
    }
    return tables;
}

bool create(Sql::Connection& db, int version) {
    for (const QByteArray& sql : firstVersionStatements(db)) {
        if (!db.exec(sql.constData()))
            return false;
    }
    return db.makeVersionRecord() && db.recordVersion(1) && upgrade(db, 1, stepsUpTo(version));
}

// A register made before layout versions were recorded is of version 1.
std::optional<int> versionOf(Sql::Connection& db) {
    const auto recorded = db.recordedVersion();
    if (!recorded || *recorded != 0)
        return recorded;
    const auto items = db.tableKinds(QStringLiteral("Items"));
    if (!items)
        return std::nullopt;
    return items->isEmpty() ? 0 : 1;
}

bool lockVersion(Sql::Connection& db) {
    return db.lockVersion();
}

bool upgrade(Sql::Connection& db, int from, std::span<const Step> steps) {
    int version = from;
    for (const Step& step : steps) {
        if (step.version <= version)
            continue;
        if (!addColumnsOf(db, step.version) || (step.apply && !step.apply(db)))
            return false;
        version = step.version;
    }
    return version == from || db.recordVersion(version);
}

QString missingPart(Sql::Connection& db) {
    const auto version = versionOf(db);
    const bool rowIdColumn = *db.rowIdColumnType() != '\0';
    for (const Table& table : tablesOf(version.value_or(kCurrentVersion), rowIdColumn)) {
        const auto problem = problemOf(db, table);
        if (!problem)
            return {};
        if (!problem->isEmpty())
            return *problem;
    }
    return {};
}

}  // namespace Schema
