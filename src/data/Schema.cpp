#include "data/Schema.h"

#include <QStringList>
#include <iterator>

#include "data/Sqlite.h"

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

}  // namespace

const char* const* createStatements(int* count) {
    *count = static_cast<int>(std::size(kCreate));
    return kCreate;
}

QString missingPart(Sqlite::Connection& db) {
    for (const Table& table : kTables) {
        QStringList present;
        Sqlite::Statement columns(db, "SELECT name FROM pragma_table_info(?)");
        columns.bind(QString::fromLatin1(table.name));
        while (columns.step())
            present << columns.shown(0);
        if (!columns.ok())
            return {};
        if (present.isEmpty())
            return QStringLiteral("it has no table %1").arg(QLatin1String(table.name));
        for (const QString& column : table.columns) {
            if (!present.contains(column, Qt::CaseInsensitive))
                return QStringLiteral("its table %1 has no column %2")
                    .arg(QLatin1String(table.name), column);
        }
    }
    return {};
}

}  // namespace Schema
