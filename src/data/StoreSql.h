#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <limits>
#include <optional>
#include <span>

#include "base/TextPool.h"
#include "data/ChangeLogWriter.h"
#include "data/engine/Sql.h"
#include "data/rules/Bookings.h"
#include "data/rules/Columns.h"
#include "data/rules/Records.h"

class Register;
struct RecordTableSql;

// The stores' own means of making and running their statements, shared by
// the Register and the stores beside it (ItemStore, CaseStore, ...);
// nothing else includes this.
namespace StoreSql {

// How long an operation waits for another program holding the register,
// unless the store is told otherwise.
inline constexpr int kDefaultBusyWaitMs = 10000;

inline constexpr qint64 kHighestId = std::numeric_limits<qint64>::max();

// A table whose ids the Data row counts.
struct IdTable {
    const char* table;
    const char* counter;
    const char* noun;  // for messages
};
IdTable idTableOf(RecordTable table);

QString quoted(const char* name);
QByteArray sqlOf(const QString& sql);

// The id the next row of the table gets: one above its counter and above
// every id the table ever had (its highest row and whatever the engine
// remembers of deleted ones), never below 1. With `lock`, the counter row
// stays locked until the transaction ends, so another desk taking an id
// waits for this one. Nullopt with a failure on the connection when a
// statement fails or no id is left.
std::optional<qint64> nextIdOf(Sql::Connection& db, const IdTable& t, bool lock);
// Desks take ids one after another: on a server the counters' row stays
// locked until the caller's transaction ends (a file's write lock does the
// same), so two never take the same id. False when the read fails.
bool takeTurnOnCounters(Sql::Connection& db);
// Takes the next id and records it as the counter, in the caller's transaction.
std::optional<qint64> takeNextId(Sql::Connection& db, const IdTable& t);
bool setCounter(Sql::Connection& db, const IdTable& t, qint64 value);

// A number as the number columns store it: a whole number when it is one.
QVariant wholeWhereWhole(double value);
// What a column stores for an editor's value: a number in a number column,
// the text (empty for null) in a text column.
QVariant storedValue(const ColumnSpec& column, const QVariant& value);
// What an editor stores for a column left null: empty text, or 0.
QVariant emptyValue(const ColumnSpec& column);

void bindAll(Sql::Statement& statement, const QVariantList& values);
// The flight cases stored with that id (none, or one), inside the caller's
// transaction; false when the read fails.
bool readCasesWithId(Sql::Connection& db, qint64 id, QList<CaseRecord>& cases);
// Whether the statement finds a row, inside the caller's transaction;
// nullopt when it fails (the failure is recorded on the connection).
std::optional<bool> findsRow(Sql::Connection& db, const char* sql, const QVariantList& values);
// The statement ready to run again with new values: reset where the engine
// can, prepared anew where it cannot.
Sql::Statement& rearmed(std::optional<Sql::Statement>& statement, Sql::Connection& db,
                        const char* sql);

// --- Plans and bookings, inside the caller's transaction (ListBookings.cpp) ---

// The list's plan; a Draft without dates when it has none.
std::optional<ListPlan> readListPlan(Sql::Connection& db, qint64 listId);
// Every holding list other than listId that carries an item of list listId
// (or, with itemId, that one item), by item then list: the candidates of a
// clash, which Bookings::clash decides on. Clash::itemDesc is the line's.
std::optional<QList<Clash>> otherHoldingLists(Sql::Connection& db, qint64 listId,
                                              qint64 itemId = 0);

// A list line as the change log keeps it: "45 - Drill".
QString loggedLine(qint64 itemId, const QString& itemDesc);
// Logs the list's plan going from `before` to `after`: its stored fields
// that differ (a list without a plan is a Draft without dates).
void logPlanChange(ChangeLogWriter& log, qint64 listId, const ListPlan& before,
                   const ListPlan& after);
// Reads the list's lines (or its line of that item) inside the caller's
// transaction and logs them removed; false when the read fails.
bool logLinesRemoved(Sql::Connection& db, ChangeLogWriter& log, qint64 listId, qint64 itemId = 0);
// Stores the list's plan (a Draft without dates: none), logging the change.
bool writePlan(Sql::Connection& db, ChangeLogWriter& log, qint64 listId, const ListPlan& plan);

// --- Shapes of reading and writing, each one operation on the register ---

using RowReader = std::function<void(const Sql::Statement& row)>;
// Runs one reading statement and hands every row to readRow.
bool readRows(Register& reg, const QString& what, const char* sql, const QVariantList& values,
              const RowReader& readRow);
// The rows of sql (id, text), counted by countSql first; both take values.
std::optional<IdTextRows> idTexts(Register& reg, const QString& what, const char* countSql,
                                  const char* sql, const QVariantList& values = {});
std::optional<bool> exists(Register& reg, const QString& what, const char* sql,
                           const QVariantList& values);
// Takes the next id of the table and adds the row under it in one
// transaction, logged as created; values are the stored ones, in the
// table's column order.
std::optional<qint64> insertWithNewId(Register& reg, const QString& what, RecordTable table,
                                      const RecordTableSql& t, const QVariantList& values);
// Writes the changed columns of one row; every other column keeps its value
// but turns from null into its empty value. A changed column whose stored
// text is no longer what the editor loaded counts as changed elsewhere.
SaveResult updateColumns(Register& reg, const QString& what, const RecordTableSql& table, qint64 id,
                         const QList<ColumnChange>& changes, bool overwrite);

// --- The change log ------------------------------------------------------

// A value as the log keeps it: none for NULL, else its text.
std::optional<QString> loggedValue(const QVariant& value);
std::optional<QString> loggedColumn(const Sql::Statement& row, int col);
// The record's fields as stored values in the table's column order.
QList<LoggedField> loggedFields(const RecordTableSql& t, const QVariantList& values);
// Reads the record (inside the caller's transaction) and logs it deleted;
// *found says whether it was there. False when the read fails.
bool logDeletion(Sql::Connection& db, ChangeLogWriter& log, const RecordTableSql& t, qint64 id,
                 bool* found = nullptr);

// Reads a row selected by RecordTableSql::selectById() into a record.
template <class Record>
Record recordOf(const Sql::Statement& row) {
    Record record;
    record.id = row.shown(0);
    for (std::size_t c = 0; c < record.values.size(); ++c)
        record.values[c] = row.shown(static_cast<int>(c) + 1);
    return record;
}

}  // namespace StoreSql

// A record table's statements, made from its column list.
struct RecordTableSql {
    const char* table;
    std::span<const ColumnSpec> columns;
    const char* kind;  // as the change log names its records

    QString columnList() const;
    QByteArray selectById() const;
    QByteArray insertWithId() const;
    QVariantList stored(std::span<const QVariant> values) const;
};

inline constexpr RecordTableSql kItemsSql{"Items", kItemColumns, ChangeKind::kItem};
inline constexpr RecordTableSql kCasesSql{"Cases", kCaseColumns, ChangeKind::kCase};
