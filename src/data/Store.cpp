#include "data/Store.h"

#include <algorithm>

#include "data/StoreSql.h"
#include "data/TreeReader.h"
#include "data/engine/Sql.h"
#include "data/rules/TextRules.h"

using Sql::Connection;
using Sql::Statement;
using namespace StoreSql;

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
