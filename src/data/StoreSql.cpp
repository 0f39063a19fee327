// The stores' means of making and running their statements: ids and
// counters, stored values, and the shapes of reading and writing that the
// stores share.

#include "data/StoreSql.h"

#include <algorithm>
#include <cmath>

#include "data/DueReader.h"
#include "data/Register.h"
#include "data/rules/TextRules.h"

using Sql::Connection;
using Sql::Statement;
using namespace StoreSql;

namespace StoreSql {

IdTable idTableOf(RecordTable table) {
    switch (table) {
        case RecordTable::Items:
            return {"Items", "lastid", "item"};
        case RecordTable::Cases:
            return {"Cases", "lastCase", "flight case"};
        case RecordTable::Lists:
            break;
    }
    return {"Lists", "lastList", "list"};
}

QString quoted(const char* name) {
    return QStringLiteral("\"%1\"").arg(QLatin1String(name));
}

QByteArray sqlOf(const QString& sql) {
    return sql.toUtf8();
}

std::optional<qint64> nextIdOf(Connection& db, const IdTable& t, bool lock) {
    Statement counter(db,
                      sqlOf(QStringLiteral("SELECT %1 FROM \"Data\" LIMIT 1%2")
                                .arg(quoted(t.counter), QLatin1String(lock ? db.forUpdate() : "")))
                          .constData());
    if (!counter.step()) {
        if (counter.ok())
            db.fail(QStringLiteral("Table Data holds no counter row."));
        return std::nullopt;
    }
    qint64 highest =
        std::max<qint64>(0, TextRules::wholeNumber(TextRules::numericValue(counter.shown(0))));

    Statement maxId(
        db, sqlOf(QStringLiteral("SELECT MAX(\"id\") FROM %1").arg(quoted(t.table))).constData());
    if (!maxId.step() && !maxId.ok())
        return std::nullopt;
    if (const auto id = maxId.wholeNumber(0))
        highest = std::max<qint64>(highest, *id);

    std::int64_t remembered = highest;
    if (!db.raiseToRememberedId(t.table, remembered))
        return std::nullopt;
    highest = remembered;

    // A deleted item's tests are kept under its id: that id stays its own.
    if (std::string_view(t.table) == "Items") {
        const auto tested = DueReader::highestTestedItemId(db);
        if (!tested)
            return std::nullopt;
        highest = std::max<qint64>(highest, *tested);
    }

    if (highest >= kHighestId) {
        db.fail(QStringLiteral("The register has no %1 id left: the highest "
                               "possible id has already been given.")
                    .arg(QLatin1String(t.noun)));
        return std::nullopt;
    }
    return highest + 1;
}

bool setCounter(Connection& db, const IdTable& t, qint64 value) {
    Statement update(
        db, sqlOf(QStringLiteral("UPDATE \"Data\" SET %1 = ?").arg(quoted(t.counter))).constData());
    update.bind(value);
    return update.run();
}

bool takeTurnOnCounters(Sql::Connection& db) {
    const QByteArray turnSql = QByteArray(R"(SELECT 1 FROM "Data")") + db.forUpdate();
    return findsRow(db, turnSql.constData(), {}).has_value();
}

std::optional<qint64> takeNextId(Connection& db, const IdTable& t) {
    const auto next = nextIdOf(db, t, true);
    if (!next || !setCounter(db, t, *next))
        return std::nullopt;
    return next;
}

QVariant wholeWhereWhole(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9.0e18)
        return QVariant(static_cast<qint64>(value));
    return QVariant(value);
}

QVariant storedValue(const ColumnSpec& column, const QVariant& value) {
    if (column.type == ColumnType::Number)
        return wholeWhereWhole(TextRules::numericValue(value));
    return QVariant(value.isNull() ? QString() : value.toString());
}

QVariant emptyValue(const ColumnSpec& column) {
    return column.type == ColumnType::Number ? QVariant(qint64(0)) : QVariant(QString());
}

void bindAll(Statement& statement, const QVariantList& values) {
    for (const QVariant& v : values)
        statement.bind(v);
}

std::optional<bool> findsRow(Connection& db, const char* sql, const QVariantList& values) {
    Statement statement(db, sql);
    bindAll(statement, values);
    const bool found = statement.step();
    return statement.ok() ? std::optional<bool>(found) : std::nullopt;
}

bool readCasesWithId(Connection& db, qint64 id, QList<CaseRecord>& cases) {
    Statement row(db, kCasesSql.selectById().constData());
    row.bind(id);
    while (row.step())
        cases.append(recordOf<CaseRecord>(row));
    return row.ok();
}

Statement& rearmed(std::optional<Statement>& statement, Connection& db, const char* sql) {
    if (!statement || !statement->reset())
        statement.emplace(db, sql);
    return *statement;
}

bool readRows(Register& reg, const QString& what, const char* sql, const QVariantList& values,
              const RowReader& readRow) {
    return reg.run(what, Register::Mode::Read, [&](Connection& db) {
        Statement statement(db, sql);
        bindAll(statement, values);
        while (statement.step())
            readRow(statement);
        return statement.ok();
    });
}

std::optional<IdTextRows> idTexts(Register& reg, const QString& what, const char* countSql,
                                  const char* sql, const QVariantList& values) {
    IdTextRows rows;
    const bool ok = reg.run(what, Register::Mode::Read, [&](Connection& db) {
        // Counted first, so the rows are stored without growing the buffers.
        Statement count(db, countSql);
        bindAll(count, values);
        if (!count.step())
            return false;
        rows.reserveRows(static_cast<std::size_t>(std::max<std::int64_t>(count.integer(0), 0)));
        Statement statement(db, sql);
        bindAll(statement, values);
        while (statement.step())
            rows.append(statement.wholeNumber(0).value_or(0), statement.utf8(1));
        return statement.ok();
    });
    return ok ? std::optional<IdTextRows>(std::move(rows)) : std::nullopt;
}

std::optional<bool> exists(Register& reg, const QString& what, const char* sql,
                           const QVariantList& values) {
    bool found = false;
    const bool ok = readRows(reg, what, sql, values, [&found](const Statement&) { found = true; });
    return ok ? std::optional<bool>(found) : std::nullopt;
}

std::optional<qint64> insertWithNewId(Register& reg, const QString& what, RecordTable table,
                                      const RecordTableSql& t, const QVariantList& values) {
    std::optional<qint64> newId;
    const QByteArray sql = t.insertWithId();
    // The id counts only once the transaction is committed: a COMMIT that
    // fails stores nothing, and the caller must not take the record as saved.
    const bool stored =
        reg.write(what, QStringLiteral("Save"), [&](Connection& db, ChangeLogWriter& log) {
            newId = takeNextId(db, idTableOf(table));
            if (!newId)
                return false;
            Statement insert(db, sql.constData());
            insert.bind(*newId);
            bindAll(insert, values);
            if (!insert.run())
                return false;
            log.created(t.kind, *newId, loggedFields(t, values));
            return true;
        });
    return stored ? newId : std::nullopt;
}

std::optional<QString> loggedValue(const QVariant& value) {
    if (value.isNull())
        return std::nullopt;
    return value.toString();
}

std::optional<QString> loggedColumn(const Statement& row, int col) {
    if (row.isNull(col))
        return std::nullopt;
    return row.shown(col);
}

QList<LoggedField> loggedFields(const RecordTableSql& t, const QVariantList& values) {
    QList<LoggedField> fields;
    for (std::size_t c = 0; c < t.columns.size() && c < std::size_t(values.size()); ++c)
        fields.append({QLatin1String(t.columns[c].name), loggedValue(values[qsizetype(c)])});
    return fields;
}

bool logDeletion(Connection& db, ChangeLogWriter& log, const RecordTableSql& t, qint64 id,
                 bool* found) {
    const QByteArray sql = t.selectById() + db.forUpdate();
    Statement row(db, sql.constData());
    row.bind(id);
    const bool there = row.step();
    if (found)
        *found = there;
    if (!there)
        return row.ok();
    QList<LoggedField> fields;
    for (std::size_t c = 0; c < t.columns.size(); ++c)
        fields.append({QLatin1String(t.columns[c].name), loggedColumn(row, int(c) + 1)});
    log.deleted(t.kind, id, fields);
    return true;
}

SaveResult updateColumns(Register& reg, const QString& what, const RecordTableSql& t, qint64 id,
                         const QList<ColumnChange>& changes, bool overwrite) {
    const QString readSql =
        QStringLiteral("SELECT %1 FROM %2 WHERE \"id\" = ?").arg(t.columnList(), quoted(t.table));
    QStringList sets;
    QVariantList values;
    for (std::size_t c = 0; c < t.columns.size(); ++c) {
        const ColumnSpec& column = t.columns[c];
        const auto change =
            std::find_if(changes.begin(), changes.end(),
                         [c](const ColumnChange& x) { return x.column == static_cast<int>(c); });
        if (change != changes.end()) {
            sets << QStringLiteral("%1 = ?").arg(quoted(column.name));
            values << storedValue(column, change->value);
        } else {
            sets << QStringLiteral("%1 = COALESCE(%1, ?)").arg(quoted(column.name));
            values << emptyValue(column);
        }
    }
    values << id;
    const QByteArray writeSql = sqlOf(QStringLiteral("UPDATE %1 SET %2 WHERE \"id\" = ?")
                                          .arg(quoted(t.table), sets.join(QStringLiteral(", "))));

    SaveResult result = SaveResult::Saved;
    bool gone = false;
    const bool ok =
        reg.write(what, QStringLiteral("Save"), [&](Connection& db, ChangeLogWriter& log) {
            Statement current(db, sqlOf(readSql + QLatin1String(db.forUpdate())).constData());
            current.bind(id);
            if (!current.step()) {
                if (!current.ok())
                    return false;
                gone = true;
                db.fail(
                    QStringLiteral("The record no longer exists: it was deleted "
                                   "since it was opened."));
                return false;
            }
            if (!overwrite) {
                for (const ColumnChange& change : changes) {
                    if (current.shown(change.column) != change.loadedText) {
                        result = SaveResult::ChangedElsewhere;
                        return true;
                    }
                }
            }
            for (const ColumnChange& change : changes) {
                const ColumnSpec& column = t.columns[std::size_t(change.column)];
                log.changed(t.kind, id, QLatin1String(column.name),
                            loggedColumn(current, change.column),
                            loggedValue(storedValue(column, change.value)));
            }
            Statement update(db, writeSql.constData());
            bindAll(update, values);
            return update.run();
        });
    if (gone)
        return SaveResult::Gone;
    return ok ? result : SaveResult::Failed;
}

}  // namespace StoreSql

QString RecordTableSql::columnList() const {
    QStringList names;
    for (const ColumnSpec& c : columns)
        names << quoted(c.name);
    return names.join(QStringLiteral(", "));
}

QByteArray RecordTableSql::selectById() const {
    return sqlOf(QStringLiteral("SELECT \"id\", %1 FROM %2 WHERE \"id\" = ?")
                     .arg(columnList(), quoted(table)));
}

QByteArray RecordTableSql::insertWithId() const {
    return sqlOf(QStringLiteral("INSERT INTO %1 (\"id\", %2) VALUES (?%3)")
                     .arg(quoted(table), columnList(),
                          QStringLiteral(", ?").repeated(static_cast<int>(columns.size()))));
}

QVariantList RecordTableSql::stored(std::span<const QVariant> values) const {
    QVariantList out;
    for (std::size_t c = 0; c < columns.size(); ++c)
        out << storedValue(columns[c], values[c]);
    return out;
}
