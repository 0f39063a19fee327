#include "data/Store.h"

#include <algorithm>

#include "data/StoreSql.h"
#include "data/TreeReader.h"
#include "data/engine/Sql.h"
#include "data/rules/TextRules.h"

using Sql::Connection;
using Sql::Statement;
using namespace StoreSql;

namespace {

constexpr ColumnSpec kListColumns[] = {{"ListName", ColumnType::Text, ColumnKind::Text}};
constexpr RecordTableSql kListsSql{"Lists", kListColumns};

}  // namespace

// --- Main tree ----------------------------------------------------------------

std::optional<TreeData> Store::readTree(const TestsDue::Window& window, TreeData room) {
    TreeData tree = std::move(room);
    const bool ok = run(QStringLiteral("read the register"), Mode::Read, [&](Connection& db) {
        tree.clearKeepingRoom();
        return TreeReader::read(db, window, tree);
    });
    return ok ? std::optional<TreeData>(std::move(tree)) : std::nullopt;
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
        reg_.report(QStringLiteral("read the id counters"),
                    QStringLiteral("Table Data holds no counter row."));
        return std::nullopt;
    }
    return ok ? std::optional<Counters>(counters) : std::nullopt;
}

// --- Items --------------------------------------------------------------------

Store::Rows<ItemRecord> Store::itemsWithId(qint64 id) {
    QList<ItemRecord> rows;
    const QByteArray sql = kItemsSql.selectById();
    const bool ok = readRows(
        QStringLiteral("read item %1").arg(id), sql.constData(), {id},
        [&rows](const Statement& row) { rows.append(StoreSql::recordOf<ItemRecord>(row)); });
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
                        QByteArray(R"(SELECT 1 FROM "Cases" WHERE "id" = ?)") + db.forShare();
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

// --- Cases --------------------------------------------------------------------

std::optional<IdTextRows> Store::allCases() {
    return idTexts(QStringLiteral("read the flight cases"), R"(SELECT COUNT(*) FROM "Cases")",
                   R"(SELECT "id", "FName" FROM "Cases" ORDER BY "id")");
}

bool StoreSql::readCasesWithId(Connection& db, qint64 id, QList<CaseRecord>& cases) {
    Statement row(db, kCasesSql.selectById().constData());
    row.bind(id);
    while (row.step())
        cases.append(recordOf<CaseRecord>(row));
    return row.ok();
}

Store::Rows<CaseRecord> Store::casesWithId(qint64 id) {
    QList<CaseRecord> rows;
    const bool ok = run(QStringLiteral("read flight case F%1").arg(id), Mode::Read,
                        [&](Connection& db) { return readCasesWithId(db, id, rows); });
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
                QByteArray(R"(SELECT 1 FROM "Lists" WHERE "id" = ?)") + db.forUpdate();
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
    qint64 added = 0;
    // Compared and added as the engine stores it, so a name that cannot be
    // stored as it is (a NUL on a server) matches its stored form.
    const QString stored = storable(name);
    const QString folded = stored.toCaseFolded();
    const bool ok = run(QStringLiteral("add the location"), Mode::Write, [&](Connection& db) {
        // Another desk adding a name waits until this one is in.
        if (!db.lockAgainstAdding("Locations"))
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
        added = insert.integer(0);
        return insert.run();
    });
    if (!ok)
        return AddLocationResult::Failed;
    if (rowId && result == AddLocationResult::Added)
        *rowId = added;  // only once committed
    return result;
}

bool Store::deleteLocation(qint64 rowId, const QString& name) {
    return run(QStringLiteral("delete the location"), Mode::Write, [&](Connection& db) {
        // Exactly that name: a file's Locations compare without regard to
        // letter case unless told; a server's compare exactly.
        const QByteArray sql =
            QByteArray(R"(DELETE FROM "Locations" WHERE "rowid" = ? AND "desc" = ?)") +
            db.exactly();
        Statement statement(db, sql.constData());
        statement.bind(rowId).bind(storable(name));
        return statement.run();
    });
}

// --- Shapes of reading and writing ---------------------------------------------

bool Store::readRows(const QString& what, const char* sql, const QVariantList& values,
                     const RowReader& readRow) {
    return StoreSql::readRows(reg_, what, sql, values, readRow);
}

std::optional<IdTextRows> Store::idTexts(const QString& what, const char* countSql, const char* sql,
                                         const QVariantList& values) {
    return StoreSql::idTexts(reg_, what, countSql, sql, values);
}

std::optional<bool> Store::exists(const QString& what, const char* sql,
                                  const QVariantList& values) {
    return StoreSql::exists(reg_, what, sql, values);
}

std::optional<qint64> Store::insertWithNewId(const QString& what, RecordTable table,
                                             const char* sql, const QVariantList& values) {
    return StoreSql::insertWithNewId(reg_, what, table, sql, values);
}

SaveResult Store::updateColumns(const QString& what, const RecordTableSql& table, qint64 id,
                                const QList<ColumnChange>& changes, bool overwrite) {
    return StoreSql::updateColumns(reg_, what, table, id, changes, overwrite);
}
