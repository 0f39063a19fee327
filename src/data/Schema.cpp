#include "data/Schema.h"

#include <sqlite3.h>

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <array>
#include <memory>
#include <optional>

#include "data/Columns.h"
#include "data/Sqlite.h"

namespace Schema {

namespace {

// The steps after version 1, oldest first; a new layout adds its step here
// and raises kCurrentVersion.
constexpr std::array<Step, 0> kSteps{};

constexpr int lastVersion() {
    return kSteps.empty() ? 1 : kSteps[kSteps.size() - 1].version;
}
static_assert(lastVersion() == kCurrentVersion, "kCurrentVersion is the last step's version");

const char* sqlType(ColumnType type) {
    return type == ColumnType::Number ? "NUMERIC" : "TEXT";
}

// A record table as its first version made it: "id", then its columns of
// version 1.
QByteArray createRecordTable(const char* table, std::span<const ColumnSpec> columns) {
    QByteArray sql =
        QByteArray("CREATE TABLE \"") + table + "\" (\"id\" INTEGER PRIMARY KEY AUTOINCREMENT";
    for (const ColumnSpec& c : columns) {
        if (c.sinceVersion == 1)
            sql += QByteArray(", \"") + c.name + "\" " + sqlType(c.type);
    }
    return sql + ")";
}

// Text columns keep exactly what was typed; location names compare without
// regard to letter case. The two indexes keep the main tree and the list
// windows fast on large registers.
QList<QByteArray> firstVersionStatements() {
    return {
        createRecordTable("Items", kItemColumns),
        R"(CREATE INDEX "ItemsByCase" ON "Items" ("caseID"))",
        createRecordTable("Cases", kCaseColumns),
        R"(CREATE TABLE "Lists" ("id" INTEGER PRIMARY KEY AUTOINCREMENT, "ListName" TEXT))",
        R"(CREATE TABLE "ListData" ("listid" NUMERIC, "itemid" NUMERIC, "itemdesc" TEXT))",
        R"(CREATE INDEX "ListDataByListItem" ON "ListData" ("listid", "itemid"))",
        R"(CREATE TABLE "Locations" ("desc" TEXT COLLATE NOCASE))",
        R"(CREATE TABLE "Data" ("lastid" NUMERIC, "lastCase" NUMERIC, "lastList" NUMERIC))",
        R"(INSERT INTO "Data" ("lastid", "lastCase", "lastList") VALUES (0, 0, 0))",
    };
}

// A column added by an upgrade starts empty in every row: empty text, or 0.
bool addColumn(Sqlite::Connection& db, const char* table, const ColumnSpec& c) {
    const QByteArray sql = QByteArray("ALTER TABLE \"") + table + "\" ADD COLUMN \"" + c.name +
                           "\" " + sqlType(c.type) +
                           (c.type == ColumnType::Number ? " DEFAULT 0" : " DEFAULT ''");
    return db.exec(sql.constData());
}

bool addColumnsOf(Sqlite::Connection& db, int version) {
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

bool recordVersion(Sqlite::Connection& db, int version) {
    // PRAGMA takes no bound values; the version is the program's own number.
    const QByteArray sql = "PRAGMA user_version = " + QByteArray::number(version);
    return db.exec(sql.constData());
}

struct Table {
    const char* name;
    QStringList columns;
};

QList<Table> tablesOf() {
    const auto withModel = [](QStringList columns, std::span<const ColumnSpec> model) {
        for (const ColumnSpec& c : model)
            columns << QLatin1String(c.name);
        return columns;
    };
    return {
        {"Items", withModel({"id"}, kItemColumns)},
        {"Cases", withModel({"id"}, kCaseColumns)},
        {"Lists", {"id", "ListName"}},
        {"ListData", {"listid", "itemid", "itemdesc"}},
        {"Locations", {"desc"}},
        {"Data", {"lastid", "lastCase", "lastList"}},
    };
}

using StatementPtr = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

// The first column of every row of sql, which takes name as its one value;
// nullopt when the statement fails.
std::optional<QStringList> texts(sqlite3* db, const char* sql, const char* name) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK)
        return std::nullopt;
    const StatementPtr statement(raw, sqlite3_finalize);
    sqlite3_bind_text(raw, 1, name, -1, SQLITE_STATIC);
    QStringList rows;
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW)
        rows << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)));
    if (rc != SQLITE_DONE)
        return std::nullopt;
    return rows;
}

// What is wrong with one table, or empty.
std::optional<QString> problemOf(sqlite3* db, const Table& table) {
    const QString name = QLatin1String(table.name);
    const auto kind = texts(db,
                            "SELECT type FROM sqlite_master WHERE name = ? COLLATE NOCASE "
                            "AND type IN ('table', 'view')",
                            table.name);
    if (!kind)
        return std::nullopt;
    if (kind->isEmpty())
        return QStringLiteral("it has no table %1").arg(name);
    // Writing to a view fails; the register has to hold the table itself.
    if (kind->first() != QLatin1String("table"))
        return QStringLiteral("its %1 is a view, not a table").arg(name);
    const auto present = texts(db, "SELECT name FROM pragma_table_info(?)", table.name);
    if (!present)
        return std::nullopt;
    for (const QString& column : table.columns) {
        if (!present->contains(column, Qt::CaseInsensitive))
            return QStringLiteral("its table %1 has no column %2").arg(name, column);
    }
    return QString();
}

}  // namespace

std::span<const Step> upgradeSteps() {
    return kSteps;
}

bool create(Sqlite::Connection& db) {
    for (const QByteArray& sql : firstVersionStatements()) {
        if (!db.exec(sql.constData()))
            return false;
    }
    return recordVersion(db, 1) && upgrade(db, 1);
}

std::optional<int> versionOf(Sqlite::Connection& db) {
    Sqlite::Statement version(db, "PRAGMA user_version");
    if (!version.step())
        return std::nullopt;
    const int recorded = static_cast<int>(version.integer(0));
    if (recorded != 0)
        return recorded;
    Sqlite::Statement items(db,
                            R"(SELECT 1 FROM sqlite_master WHERE name = 'Items' COLLATE NOCASE)");
    const bool hasItems = items.step();
    if (!items.ok())
        return std::nullopt;
    return hasItems ? 1 : 0;
}

bool upgrade(Sqlite::Connection& db, int from, std::span<const Step> steps) {
    int version = from;
    for (const Step& step : steps) {
        if (step.version <= version)
            continue;
        if (!addColumnsOf(db, step.version) || (step.apply && !step.apply(db)))
            return false;
        version = step.version;
    }
    return version == from || recordVersion(db, version);
}

QString missingPart(sqlite3* db) {
    for (const Table& table : tablesOf()) {
        const auto problem = problemOf(db, table);
        if (!problem)
            return {};
        if (!problem->isEmpty())
            return *problem;
    }
    return {};
}

}  // namespace Schema
