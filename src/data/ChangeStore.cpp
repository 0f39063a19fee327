// The change log read back, exported and put back.

#include "data/ChangeStore.h"

#include <QTimeZone>
#include <algorithm>

#include "data/Register.h"
#include "data/StoreSql.h"
#include "data/transfer/TransferRecords.h"

using Sql::Connection;
using Sql::Statement;
using namespace StoreSql;

namespace {

// Every read names the batch's operation beside the row's own columns.
constexpr char kColumns[] =
    R"(SELECT c."id", c."batch", c."at", c."username", c."desk", b."what", c."kind",
       c."recordid", c."field", c."oldvalue", c."newvalue"
       FROM "ChangeLog" c LEFT JOIN "ChangeBatches" b ON b."id" = c."batch" )";

std::optional<QString> optionalText(const Statement& row, int col) {
    if (row.isNull(col))
        return std::nullopt;
    return row.shown(col);
}

ChangeRow changeOf(const Statement& row) {
    ChangeRow change;
    change.id = row.integer(0);
    change.batch = row.integer(1);
    change.at = QDateTime::fromString(row.shown(2), Qt::ISODateWithMs);
    change.user = row.shown(3);
    change.desk = row.shown(4);
    change.operation = row.shown(5);
    change.kind = row.shown(6);
    change.recordId = row.integer(7);
    change.field = row.shown(8);
    change.oldValue = optionalText(row, 9);
    change.newValue = optionalText(row, 10);
    return change;
}

bool readChanges(Connection& db, const QByteArray& sql, const QVariantList& values,
                 QList<ChangeRow>& rows) {
    Statement select(db, sql.constData());
    bindAll(select, values);
    while (select.step())
        rows.append(changeOf(select));
    return select.ok();
}

QString timeText(const QDateTime& time) {
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QString dayStart(const QDate& day) {
    return timeText(day.startOfDay(QTimeZone::utc()));
}

// A LIKE pattern that finds the text anywhere, its own % and _ taken as they are.
QString containing(const QString& text) {
    QString escaped = text.toLower();
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('%'), QLatin1String("\\%"));
    escaped.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

// The filter as conditions on c, with their values in order.
void addFilter(const ChangeFilter& f, QStringList& where, QVariantList& values) {
    if (f.from.isValid()) {
        where << QStringLiteral(R"(c."at" >= ?)");
        values << dayStart(f.from);
    }
    if (f.to.isValid()) {
        where << QStringLiteral(R"(c."at" < ?)");
        values << dayStart(f.to.addDays(1));
    }
    if (!f.user.isEmpty()) {
        where << QStringLiteral(R"(c."username" = ?)");
        values << f.user;
    }
    if (!f.kind.isEmpty()) {
        // Not along ChangeLogByRecord, which would sort every row of the
        // kind: the page walks the time index and skips the other kinds.
        where << QStringLiteral(R"(c."kind" || '' = ?)");
        values << f.kind;
    }
    if (!f.text.isEmpty()) {
        where << QStringLiteral(
            R"((LOWER(c."field") LIKE ? ESCAPE '\' OR LOWER(c."oldvalue") LIKE ? ESCAPE '\'
                OR LOWER(c."newvalue") LIKE ? ESCAPE '\'))");
        const QString pattern = containing(f.text);
        values << pattern << pattern << pattern;
    }
}

QByteArray whereOf(const QStringList& where) {
    return where.isEmpty() ? QByteArray()
                           : ("WHERE " + where.join(QStringLiteral(" AND "))).toUtf8();
}

}  // namespace

std::optional<QList<ChangeRow>> ChangeStore::history(const QString& kind, qint64 recordId,
                                                     int limit) {
    QList<ChangeRow> rows;
    const bool list = kind == QLatin1String(ChangeKind::kList);
    const QByteArray sql =
        QByteArray(kColumns) +
        (list ? R"(WHERE c."kind" IN ('list', 'line', 'plan') AND c."recordid" = ?)"
              : R"(WHERE c."kind" = ? AND c."recordid" = ?)") +
        R"( ORDER BY c."id" DESC LIMIT ?)";
    QVariantList values;
    if (!list)
        values << kind;
    values << recordId << limit;
    const bool ok = reg_.run(QStringLiteral("read the history of %1 %2").arg(kind).arg(recordId),
                             Register::Mode::Read,
                             [&](Connection& db) { return readChanges(db, sql, values, rows); });
    return ok ? std::optional(rows) : std::nullopt;
}

// Newest first along ChangeLogByTime (or ChangeLogByUser), from the row
// below the last one shown: a page reads only its own rows.
std::optional<ChangePage> ChangeStore::page(const ChangeFilter& filter, qint64 beforeId,
                                            int limit) {
    ChangePage page;
    const bool ok =
        reg_.run(QStringLiteral("read the change log"), Register::Mode::Read, [&](Connection& db) {
            QStringList where;
            QVariantList values;
            addFilter(filter, where, values);
            if (beforeId > 0) {
                Statement last(db, R"(SELECT "at" FROM "ChangeLog" WHERE "id" = ?)");
                last.bind(beforeId);
                if (!last.step())
                    return last.ok();  // gone: no more rows
                where << QStringLiteral(R"((c."at", c."id") < (?, ?))");
                values << last.shown(0) << beforeId;
            }
            const QByteArray sql = QByteArray(kColumns) + whereOf(where) +
                                   R"( ORDER BY c."at" DESC, c."id" DESC LIMIT ?)";
            values << limit + 1;
            if (!readChanges(db, sql, values, page.rows))
                return false;
            if (page.rows.size() > limit) {
                page.rows.removeLast();
                page.nextBeforeId = page.rows.last().id;
            }
            return true;
        });
    return ok ? std::optional(page) : std::nullopt;
}

std::optional<qint64> ChangeStore::count(const ChangeFilter& filter, qint64 cap) {
    QStringList where;
    QVariantList values;
    addFilter(filter, where, values);
    values << cap;
    const QByteArray sql = R"(SELECT COUNT(*) FROM (SELECT 1 FROM "ChangeLog" c )" +
                           whereOf(where) + R"( LIMIT ?) capped)";
    std::optional<qint64> counted;
    const bool ok = readRows(reg_, QStringLiteral("count the changes"), sql.constData(), values,
                             [&](const Statement& row) { counted = row.integer(0); });
    return ok ? counted : std::nullopt;
}

std::optional<QList<ChangeRow>> ChangeStore::after(qint64 afterId, int limit) {
    QList<ChangeRow> rows;
    const QByteArray sql = QByteArray(kColumns) + R"(WHERE c."id" > ? ORDER BY c."id" LIMIT ?)";
    const bool ok = reg_.run(QStringLiteral("read the latest changes"), Register::Mode::ReadQuietly,
                             [&](Connection& db) {
                                 return readChanges(db, sql, {afterId, limit}, rows);
                             });
    return ok ? std::optional(rows) : std::nullopt;
}

std::optional<qint64> ChangeStore::lastId() {
    qint64 id = 0;
    const bool ok = readRows(reg_, QStringLiteral("read the change log"),
                             R"(SELECT MAX("id") FROM "ChangeLog")", {},
                             [&](const Statement& row) { id = row.wholeNumber(0).value_or(0); });
    return ok ? std::optional(id) : std::nullopt;
}

std::optional<QList<ChangeRow>> ChangeStore::batch(qint64 batchId) {
    QList<ChangeRow> rows;
    const QByteArray sql = QByteArray(kColumns) + R"(WHERE c."batch" = ? ORDER BY c."id")";
    const bool ok =
        reg_.run(QStringLiteral("read the changes of batch %1").arg(batchId), Register::Mode::Read,
                 [&](Connection& db) { return readChanges(db, sql, {batchId}, rows); });
    return ok ? std::optional(rows) : std::nullopt;
}

QStringList ChangeStore::exportColumns() {
    return {QStringLiteral("id"),   QStringLiteral("batch"),  QStringLiteral("at"),
            QStringLiteral("user"), QStringLiteral("desk"),   QStringLiteral("operation"),
            QStringLiteral("kind"), QStringLiteral("record"), QStringLiteral("field"),
            QStringLiteral("old"),  QStringLiteral("new")};
}

bool ChangeStore::exportSince(const std::optional<QDateTime>& since, const RowHandler& onRow) {
    const QByteArray sql = QByteArray(kColumns) + (since ? R"(WHERE c."at" >= ? )" : "") +
                           R"(ORDER BY c."at", c."id")";
    return reg_.run(QStringLiteral("export the changes"), Register::Mode::Read,
                    [&](Connection& db) {
                        Statement select(db, sql.constData());
                        if (since)
                            select.bind(timeText(*since));
                        constexpr int kCount = 11;
                        std::string_view values[kCount];
                        while (select.step()) {
                            for (int col = 0; col < kCount; ++col) {
                                const std::string_view text = select.utf8(col);
                                values[col] = select.isNull(col) ? std::string_view()
                                              : text.empty()     ? kEmptyText
                                                                 : text;
                            }
                            if (!onRow(values))
                                return true;
                        }
                        return select.ok();
                    });
}
