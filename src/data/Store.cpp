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
