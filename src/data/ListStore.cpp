#include "data/ListStore.h"

#include "data/Register.h"
#include "data/StoreSql.h"

using Sql::Connection;
using Sql::Statement;
using namespace StoreSql;

namespace {

constexpr ColumnSpec kListColumns[] = {{"ListName", ColumnType::Text, ColumnKind::Text}};
constexpr RecordTableSql kListsSql{"Lists", kListColumns, ChangeKind::kList};

}  // namespace

std::optional<QList<ListRecord>> ListStore::withId(qint64 id) {
    QList<ListRecord> rows;
    const bool ok = StoreSql::readRows(reg_, QStringLiteral("read list %1").arg(id),
                                       R"(SELECT "id", "ListName" FROM "Lists" WHERE "id" = ?)",
                                       {id}, [&rows](const Statement& row) {
                                           rows.append({row.shown(0), row.shown(1)});
                                       });
    return ok ? std::optional<QList<ListRecord>>(rows) : std::nullopt;
}

std::optional<bool> ListStore::exists(qint64 id) {
    return StoreSql::exists(reg_, QStringLiteral("look up list %1").arg(id),
                            R"(SELECT 1 FROM "Lists" WHERE "id" = ?)", {id});
}

std::optional<qint64> ListStore::named(const QString& name) {
    qint64 id = 0;
    const bool ok =
        StoreSql::readRows(reg_, QStringLiteral("find the list %1").arg(name),
                           R"(SELECT MIN("id") FROM "Lists" WHERE "ListName" = ?)", {name},
                           [&](const Statement& row) { id = row.wholeNumber(0).value_or(0); });
    return ok ? std::optional<qint64>(id) : std::nullopt;
}

std::optional<IdTextRows> ListStore::lines(qint64 listId) {
    return StoreSql::idTexts(
        reg_, QStringLiteral("read the lines of list %1").arg(listId),
        R"(SELECT COUNT(*) FROM "ListData" WHERE "listid" = ?)",
        R"(SELECT "itemid", "itemdesc" FROM "ListData" WHERE "listid" = ? ORDER BY "itemid")",
        {listId});
}

std::optional<IdTextRows> ListStore::all() {
    return StoreSql::idTexts(reg_, QStringLiteral("read the lists"),
                             R"(SELECT COUNT(*) FROM "Lists")",
                             R"(SELECT "id", "ListName" FROM "Lists" ORDER BY "id")");
}

bool ListStore::removeLine(qint64 listId, qint64 itemId) {
    return reg_.write(
        QStringLiteral("remove item %1 from list %2").arg(itemId).arg(listId),
        QStringLiteral("Save"), [&](Connection& db, ChangeLogWriter& log) {
            return logLinesRemoved(db, log, listId, itemId) &&
                   Statement(db, R"(DELETE FROM "ListData" WHERE "listid" = ? AND "itemid" = ?)")
                       .bind(listId)
                       .bind(itemId)
                       .run();
        });
}

std::optional<qint64> ListStore::insert(const QString& name) {
    return StoreSql::insertWithNewId(reg_, QStringLiteral("save the new list"), RecordTable::Lists,
                                     kListsSql, {name});
}

SaveResult ListStore::update(qint64 id, const QString& name, const QString& loadedName,
                             bool overwrite) {
    return StoreSql::updateColumns(reg_, QStringLiteral("save list %1").arg(id), kListsSql, id,
                                   {{0, name, loadedName}}, overwrite);
}

bool ListStore::remove(qint64 id) {
    return reg_.write(QStringLiteral("delete list %1").arg(id), QStringLiteral("Save"),
                      [&](Connection& db, ChangeLogWriter& log) {
                          const auto plan = readListPlan(db, id);
                          if (!plan || !logLinesRemoved(db, log, id) ||
                              !(logPlanChange(log, id, *plan, ListPlan{}), true) ||
                              !logDeletion(db, log, kListsSql, id))
                              return false;
                          for (const char* sql : {R"(DELETE FROM "ListData" WHERE "listid" = ?)",
                                                  R"(DELETE FROM "ListPlans" WHERE "listid" = ?)",
                                                  R"(DELETE FROM "Lists" WHERE "id" = ?)"}) {
                              Statement statement(db, sql);
                              statement.bind(id);
                              if (!statement.run())
                                  return false;
                          }
                          return true;
                      });
}
