#include "data/Schema.h"

#include <sqlite3.h>

#include <QStringList>
#include <iterator>
#include <memory>
#include <optional>

namespace Schema {

namespace {

// Text columns keep exactly what was typed; caseID and length are numbers;
// location names compare without regard to letter case. The two indexes
// keep the main tree and the list windows fast on large registers.
const char* const kCreate[] = {
    R"(CREATE TABLE "Items" ("id" INTEGER PRIMARY KEY AUTOINCREMENT, "desc" TEXT, )"
    R"("category" TEXT, "manufacturer" TEXT, "model" TEXT, "dom" TEXT, "testinterval" TEXT, )"
    R"("testlast" TEXT, "testnext" TEXT, "testpatresult" TEXT, "testpressureresult" TEXT, )"
    R"("visualinspectionresult" TEXT, "lolerinspectionresult" TEXT, "calibrationcert" TEXT, )"
    R"("caseID" NUMERIC, "warehouseloc" TEXT, "notes" TEXT, "length" NUMERIC, "serial" TEXT))",
    R"(CREATE INDEX "ItemsByCase" ON "Items" ("caseID"))",
    R"(CREATE TABLE "Cases" ("id" INTEGER PRIMARY KEY AUTOINCREMENT, "FName" TEXT, )"
    R"("FLocation" TEXT, "FBought" TEXT, "FNotes" TEXT, "FWheeled" TEXT))",
    R"(CREATE TABLE "Lists" ("id" INTEGER PRIMARY KEY AUTOINCREMENT, "ListName" TEXT))",
    R"(CREATE TABLE "ListData" ("listid" NUMERIC, "itemid" NUMERIC, "itemdesc" TEXT))",
    R"(CREATE INDEX "ListDataByListItem" ON "ListData" ("listid", "itemid"))",
    R"(CREATE TABLE "Locations" ("desc" TEXT COLLATE NOCASE))",
    R"(CREATE TABLE "Data" ("lastid" NUMERIC, "lastCase" NUMERIC, "lastList" NUMERIC))",
    R"(INSERT INTO "Data" ("lastid", "lastCase", "lastList") VALUES (0, 0, 0))",
};

struct Table {
    const char* name;
    QStringList columns;
};

const Table kTables[] = {
    {"Items",
     {"id", "desc", "category", "manufacturer", "model", "dom", "testinterval", "testlast",
      "testnext", "testpatresult", "testpressureresult", "visualinspectionresult",
      "lolerinspectionresult", "calibrationcert", "caseID", "warehouseloc", "notes", "length",
      "serial"}},
    {"Cases", {"id", "FName", "FLocation", "FBought", "FNotes", "FWheeled"}},
    {"Lists", {"id", "ListName"}},
    {"ListData", {"listid", "itemid", "itemdesc"}},
    {"Locations", {"desc"}},
    {"Data", {"lastid", "lastCase", "lastList"}},
};

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

const char* const* createStatements(int* count) {
    *count = static_cast<int>(std::size(kCreate));
    return kCreate;
}

QString missingPart(sqlite3* db) {
    for (const Table& table : kTables) {
        const auto problem = problemOf(db, table);
        if (!problem)
            return {};
        if (!problem->isEmpty())
            return *problem;
    }
    return {};
}

}  // namespace Schema
