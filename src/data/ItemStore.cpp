#include "data/ItemStore.h"

#include <algorithm>
#include <string>

#include "data/Register.h"
#include "data/StoreSql.h"

using Sql::Connection;
using Sql::Statement;
using namespace StoreSql;

std::optional<QList<ItemRecord>> ItemStore::withId(qint64 id) {
    QList<ItemRecord> rows;
    const QByteArray sql = kItemsSql.selectById();
    const bool ok = readRows(
        reg_, QStringLiteral("read item %1").arg(id), sql.constData(), {id},
        [&rows](const Statement& row) { rows.append(StoreSql::recordOf<ItemRecord>(row)); });
    return ok ? std::optional<QList<ItemRecord>>(rows) : std::nullopt;
}

std::optional<bool> ItemStore::exists(qint64 id) {
    return StoreSql::exists(reg_, QStringLiteral("look up item %1").arg(id),
                            R"(SELECT 1 FROM "Items" WHERE "id" = ?)", {id});
}

std::optional<IdTextRows> ItemStore::all() {
    return idTexts(reg_, QStringLiteral("read the items"), R"(SELECT COUNT(*) FROM "Items")",
                   R"(SELECT "id", "desc" FROM "Items" ORDER BY "id")");
}

std::optional<IdTextRows> ItemStore::inCase(qint64 caseId) {
    return idTexts(reg_, QStringLiteral("read the items of flight case F%1").arg(caseId),
                   R"(SELECT COUNT(*) FROM "Items" WHERE "caseID" = ?)",
                   R"(SELECT "id", "desc" FROM "Items" WHERE "caseID" = ? ORDER BY "id")",
                   {caseId});
}

// Ordered here, not by SQLite, which folds the letter case of A to Z only:
// the categories compare case folded, as the location names do.
std::optional<IdTextRows> ItemStore::inCaseByCategory(qint64 caseId) {
    struct Row {
        qint64 id;
        QString category;
        std::string desc;
    };
    std::vector<Row> rows;
    const bool ok =
        readRows(reg_, QStringLiteral("read the items of flight case F%1").arg(caseId),
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

// One index seek a category along ItemsByCategory, not a pass over the
// items: a register of a million items has a handful of categories.
std::optional<QStringList> ItemStore::categories() {
    QStringList found;
    const bool ok = reg_.run(
        QStringLiteral("read the categories"), Register::Mode::Read, [&found](Connection& db) {
            std::string after;  // below every category that is not empty
            for (;;) {
                Statement next(db, R"(SELECT MIN("category") FROM "Items" WHERE "category" > ?)");
                next.bindUtf8(after);
                if (!next.step() || next.isNull(0))
                    return next.ok();
                after = next.utf8(0);
                found.append(next.shown(0));
            }
        });
    return ok ? std::optional(found) : std::nullopt;
}

std::optional<qint64> ItemStore::insert(const ItemWrite& values) {
    return insertWithNewId(reg_, QStringLiteral("save the new item"), RecordTable::Items, kItemsSql,
                           kItemsSql.stored(values));
}

SaveResult ItemStore::update(qint64 id, const QList<ColumnChange>& changes, bool overwrite) {
    return updateColumns(reg_, QStringLiteral("save item %1").arg(id), kItemsSql, id, changes,
                         overwrite);
}

PutInCaseResult ItemStore::setCase(qint64 itemId, qint64 caseId) {
    PutInCaseResult result = PutInCaseResult::Done;
    const bool ok = reg_.write(
        QStringLiteral("put item %1 into flight case F%2").arg(itemId).arg(caseId),
        QStringLiteral("Save"), [&](Connection& db, ChangeLogWriter& log) {
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
            const QByteArray oldSql =
                QByteArray(R"(SELECT "caseID" FROM "Items" WHERE "id" = ?)") + db.forUpdate();
            Statement old(db, oldSql.constData());
            old.bind(itemId);
            if (!old.step()) {
                result = PutInCaseResult::ItemGone;
                return old.ok();
            }
            log.changed(ChangeKind::kItem, itemId, QStringLiteral("caseID"), loggedColumn(old, 0),
                        QString::number(caseId));
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

bool ItemStore::remove(qint64 id) {
    return reg_.write(QStringLiteral("delete item %1").arg(id), QStringLiteral("Save"),
                      [&](Connection& db, ChangeLogWriter& log) {
                          if (!logDeletion(db, log, kItemsSql, id))
                              return false;
                          Statement statement(db, R"(DELETE FROM "Items" WHERE "id" = ?)");
                          statement.bind(id);
                          return statement.run();
                      });
}
