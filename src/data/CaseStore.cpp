#include "data/CaseStore.h"

#include <algorithm>

#include "data/Register.h"
#include "data/StoreSql.h"

using Sql::Connection;
using Sql::Statement;
using namespace StoreSql;

std::optional<IdTextRows> CaseStore::all() {
    return idTexts(reg_, QStringLiteral("read the flight cases"), R"(SELECT COUNT(*) FROM "Cases")",
                   R"(SELECT "id", "FName" FROM "Cases" ORDER BY "id")");
}

std::optional<QList<CaseRecord>> CaseStore::withId(qint64 id) {
    QList<CaseRecord> rows;
    const bool ok = reg_.run(QStringLiteral("read flight case F%1").arg(id), Register::Mode::Read,
                             [&](Connection& db) { return readCasesWithId(db, id, rows); });
    return ok ? std::optional<QList<CaseRecord>>(rows) : std::nullopt;
}

std::optional<bool> CaseStore::exists(qint64 id) {
    return StoreSql::exists(reg_, QStringLiteral("look up flight case F%1").arg(id),
                            R"(SELECT 1 FROM "Cases" WHERE "id" = ?)", {id});
}

std::optional<qint64> CaseStore::insert(const CaseRecord& values) {
    std::array<QVariant, kCaseDataColumnCount> texts;
    std::copy(values.values.begin(), values.values.end(), texts.begin());
    return insertWithNewId(reg_, QStringLiteral("save the new flight case"), RecordTable::Cases,
                           kCasesSql, kCasesSql.stored(texts));
}

SaveResult CaseStore::update(qint64 id, const QList<ColumnChange>& changes, bool overwrite) {
    return updateColumns(reg_, QStringLiteral("save flight case F%1").arg(id), kCasesSql, id,
                         changes, overwrite);
}
