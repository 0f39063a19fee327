// Put back: a change undone by a new change that writes the old values
// back, never by touching the log.

#include <algorithm>

#include "data/ChangeStore.h"
#include "data/Register.h"
#include "data/StoreSql.h"

using Sql::Connection;
using Sql::Statement;
using namespace StoreSql;

namespace {

constexpr ColumnSpec kListColumns[] = {{"ListName", ColumnType::Text, ColumnKind::Text}};
constexpr RecordTableSql kListsSql{"Lists", kListColumns, ChangeKind::kList};

// The record table a kind names; null for the kinds that are not one.
const RecordTableSql* tableOf(const QString& kind) {
    if (kind == QLatin1String(ChangeKind::kItem))
        return &kItemsSql;
    if (kind == QLatin1String(ChangeKind::kCase))
        return &kCasesSql;
    if (kind == QLatin1String(ChangeKind::kList))
        return &kListsSql;
    return nullptr;
}

// The column the log names, looked up among the table's own (the name
// never goes into a statement unchecked); -1 when it has none of that name.
int columnOf(const RecordTableSql& t, const QString& field) {
    for (std::size_t c = 0; c < t.columns.size(); ++c) {
        if (field == QLatin1String(t.columns[c].name))
            return int(c);
    }
    return -1;
}

QString nounOf(const QString& kind, qint64 id) {
    if (kind == QLatin1String(ChangeKind::kCase))
        return QStringLiteral("Flight case F%1").arg(id);
    if (kind == QLatin1String(ChangeKind::kList) || kind == QLatin1String(ChangeKind::kLine) ||
        kind == QLatin1String(ChangeKind::kPlan))
        return QStringLiteral("List %1").arg(id);
    if (kind == QLatin1String(ChangeKind::kLocation))
        return QStringLiteral("Location %1").arg(id);
    if (kind == QLatin1String(ChangeKind::kTest))
        return QStringLiteral("Test %1").arg(id);
    return QStringLiteral("Item %1").arg(id);
}

bool sameValue(const std::optional<QString>& a, const std::optional<QString>& b) {
    return a.value_or(QString()) == b.value_or(QString());
}

QString shownValue(const std::optional<QString>& v) {
    return v && !v->isEmpty() ? QStringLiteral("\"%1\"").arg(*v) : QStringLiteral("empty");
}

// Puts back the rows of one batch (or one change) in one transaction.
class PutBack {
public:
    PutBack(Connection& db, ChangeLogWriter& log) : db_(db), log_(log) {}

    // False when a statement failed; refusal_ set when a record changed since.
    bool run(QList<ChangeRow> rows) {
        // Newest first: a list made again before its lines come back.
        std::sort(rows.begin(), rows.end(),
                  [](const ChangeRow& a, const ChangeRow& b) { return a.id > b.id; });
        for (const ChangeRow& row : rows) {
            if (row.field == QLatin1String(kWholeRecord))
                wholes_.append({row.kind, row.recordId});
        }
        for (const ChangeRow& row : rows) {
            if (!refusal_.isEmpty())
                return true;
            if (!putBack(row, rows))
                return false;
        }
        return true;
    }
    const QString& refusal() const { return refusal_; }

private:
    bool partOfWhole(const ChangeRow& row) const {
        return wholes_.contains(QPair<QString, qint64>(row.kind, row.recordId));
    }

    bool refuse(const QString& why) {
        refusal_ = why;
        return true;
    }

    bool putBack(const ChangeRow& row, const QList<ChangeRow>& rows) {
        if (row.kind == QLatin1String(ChangeKind::kTest))
            return refuse(QStringLiteral("%1 is a recorded test: it is kept in the item's "
                                         "history and cannot be put back.")
                              .arg(nounOf(row.kind, row.recordId)));
        if (row.field == QLatin1String(kWholeRecord))
            return row.newValue == QLatin1String(kCreated) ? unmake(row) : remake(row, rows);
        if (partOfWhole(row))
            return true;
        if (row.kind == QLatin1String(ChangeKind::kLine))
            return putBackLine(row);
        if (row.kind == QLatin1String(ChangeKind::kPlan))
            return putBackPlan(row);
        if (const RecordTableSql* t = tableOf(row.kind))
            return putBackField(*t, row);
        return refuse(QStringLiteral("%1: its %2 can only be put back with the whole record.")
                          .arg(nounOf(row.kind, row.recordId), row.field));
    }

    bool putBackField(const RecordTableSql& t, const ChangeRow& row) {
        const int column = columnOf(t, row.field);
        if (column < 0)
            return refuse(QStringLiteral("%1 has no field %2 any more.")
                              .arg(nounOf(row.kind, row.recordId), row.field));
        const QByteArray read = QByteArray("SELECT \"") + t.columns[std::size_t(column)].name +
                                "\" FROM \"" + t.table + "\" WHERE \"id\" = ?" + db_.forUpdate();
        Statement current(db_, read.constData());
        current.bind(row.recordId);
        if (!current.step()) {
            if (!current.ok())
                return false;
            return refuse(
                QStringLiteral("%1 no longer exists.").arg(nounOf(row.kind, row.recordId)));
        }
        const std::optional<QString> now = loggedColumn(current, 0);
        if (!sameValue(now, row.newValue))
            return refuse(QStringLiteral("%1 has changed since: its %2 is now %3.")
                              .arg(nounOf(row.kind, row.recordId), row.field, shownValue(now)));
        const ColumnSpec& spec = t.columns[std::size_t(column)];
        const QVariant back = row.oldValue ? storedValue(spec, *row.oldValue) : emptyValue(spec);
        const QByteArray write =
            QByteArray("UPDATE \"") + t.table + "\" SET \"" + spec.name + "\" = ? WHERE \"id\" = ?";
        Statement update(db_, write.constData());
        update.bind(back).bind(row.recordId);
        log_.changed(t.kind, row.recordId, row.field, now, loggedValue(back));
        return update.run();
    }

    // A record made: deleted again, only while nothing changed it since.
    bool unmake(const ChangeRow& row) {
        const auto changed = changedSince(row);
        if (!changed)
            return false;
        if (*changed)
            return refuse(QStringLiteral("%1 has changed since it was made.")
                              .arg(nounOf(row.kind, row.recordId)));
        if (row.kind == QLatin1String(ChangeKind::kLocation)) {
            const auto name = nameOfLocation(row.recordId);
            if (!name)
                return false;
            if (name->isNull())
                return refuse(
                    QStringLiteral("%1 no longer exists.").arg(nounOf(row.kind, row.recordId)));
            const LoggedField fields[] = {{QStringLiteral("desc"), *name}};
            log_.deleted(ChangeKind::kLocation, row.recordId, fields);
            Statement remove(db_, R"(DELETE FROM "Locations" WHERE "rowid" = ?)");
            return remove.bind(row.recordId).run();
        }
        const RecordTableSql* t = tableOf(row.kind);
        if (!t)
            return refuse(
                QStringLiteral("%1 cannot be put back.").arg(nounOf(row.kind, row.recordId)));
        bool found = false;
        if (!logDeletion(db_, log_, *t, row.recordId, &found))
            return false;
        if (!found)
            return refuse(
                QStringLiteral("%1 no longer exists.").arg(nounOf(row.kind, row.recordId)));
        if (t == &kListsSql) {
            const auto plan = readListPlan(db_, row.recordId);
            if (!plan || !logLinesRemoved(db_, log_, row.recordId))
                return false;
            logPlanChange(log_, row.recordId, *plan, ListPlan{});
            for (const char* sql : {R"(DELETE FROM "ListData" WHERE "listid" = ?)",
                                    R"(DELETE FROM "ListPlans" WHERE "listid" = ?)"}) {
                if (!Statement(db_, sql).bind(row.recordId).run())
                    return false;
            }
        }
        const QByteArray sql = QByteArray("DELETE FROM \"") + t->table + "\" WHERE \"id\" = ?";
        return Statement(db_, sql.constData()).bind(row.recordId).run();
    }

    // A record deleted: made again under its id with the values it had,
    // only while no record has that id.
    bool remake(const ChangeRow& row, const QList<ChangeRow>& rows) {
        QList<LoggedField> fields;
        for (const ChangeRow& f : rows) {
            if (f.kind == row.kind && f.recordId == row.recordId && f.batch == row.batch &&
                f.field != QLatin1String(kWholeRecord))
                fields.append({f.field, f.oldValue});
        }
        const auto valueOf = [&fields](const QString& name) -> std::optional<QString> {
            for (const LoggedField& f : fields) {
                if (f.field == name)
                    return f.value;
            }
            return std::nullopt;
        };
        if (row.kind == QLatin1String(ChangeKind::kLocation)) {
            const auto name = nameOfLocation(row.recordId);
            if (!name)
                return false;
            if (!name->isNull())
                return refuse(
                    QStringLiteral("%1 exists again.").arg(nounOf(row.kind, row.recordId)));
            const QString desc = valueOf(QStringLiteral("desc")).value_or(QString());
            Statement add(db_, R"(INSERT INTO "Locations" ("rowid", "desc") VALUES (?, ?))");
            log_.created(ChangeKind::kLocation, row.recordId, fields);
            return add.bind(row.recordId).bind(desc).run();
        }
        const RecordTableSql* t = tableOf(row.kind);
        if (!t)
            return refuse(
                QStringLiteral("%1 cannot be put back.").arg(nounOf(row.kind, row.recordId)));
        const QByteArray exists = QByteArray("SELECT 1 FROM \"") + t->table + "\" WHERE \"id\" = ?";
        const auto there = findsRow(db_, exists.constData(), {row.recordId});
        if (!there)
            return false;
        if (*there)
            return refuse(QStringLiteral("%1 exists again.").arg(nounOf(row.kind, row.recordId)));
        QVariantList values;
        for (const ColumnSpec& c : t->columns) {
            const auto v = valueOf(QLatin1String(c.name));
            values << (v ? storedValue(c, *v) : emptyValue(c));
        }
        Statement insert(db_, t->insertWithId().constData());
        insert.bind(row.recordId);
        bindAll(insert, values);
        log_.created(t->kind, row.recordId, loggedFields(*t, values));
        return insert.run();
    }

    bool putBackLine(const ChangeRow& row) {
        const QString line = row.newValue ? *row.newValue : row.oldValue.value_or(QString());
        const qsizetype dash = line.indexOf(QLatin1String(" - "));
        bool isId = false;
        const qint64 itemId = line.left(dash).toLongLong(&isId);
        if (dash < 0 || !isId)
            return refuse(QStringLiteral("%1: the line %2 cannot be read.")
                              .arg(nounOf(row.kind, row.recordId), line));
        const auto onList = findsRow(
            db_,
            (QByteArray(R"(SELECT 1 FROM "ListData" WHERE "listid" = ? AND "itemid" = ?)") +
             db_.forUpdate())
                .constData(),
            {row.recordId, itemId});
        if (!onList)
            return false;
        if (row.newValue) {  // added: removed again while it is there
            if (!*onList)
                return refuse(QStringLiteral("%1 has changed since: item %2 is no longer on it.")
                                  .arg(nounOf(row.kind, row.recordId))
                                  .arg(itemId));
            log_.changed(ChangeKind::kLine, row.recordId, row.field, line, std::nullopt);
            return Statement(db_, R"(DELETE FROM "ListData" WHERE "listid" = ? AND "itemid" = ?)")
                .bind(row.recordId)
                .bind(itemId)
                .run();
        }
        if (*onList)
            return refuse(QStringLiteral("%1 has changed since: item %2 is on it again.")
                              .arg(nounOf(row.kind, row.recordId))
                              .arg(itemId));
        const auto list = findsRow(db_, R"(SELECT 1 FROM "Lists" WHERE "id" = ?)", {row.recordId});
        if (!list)
            return false;
        if (!*list)
            return refuse(
                QStringLiteral("%1 no longer exists.").arg(nounOf(row.kind, row.recordId)));
        log_.changed(ChangeKind::kLine, row.recordId, row.field, std::nullopt, line);
        return Statement(
                   db_,
                   R"(INSERT INTO "ListData" ("listid", "itemid", "itemdesc") VALUES (?, ?, ?))")
            .bind(row.recordId)
            .bind(itemId)
            .bind(line.mid(dash + 3))
            .run();
    }

    bool putBackPlan(const ChangeRow& row) {
        const auto plan = readListPlan(db_, row.recordId);
        if (!plan)
            return false;
        std::optional<QString> now;
        ListPlan back = *plan;
        if (row.field == QLatin1String("outdate")) {
            now = plan->out ? std::optional(Bookings::storedDate(plan->out)) : std::nullopt;
            back.out = Bookings::dateOfStored(row.oldValue.value_or(QString()));
        } else if (row.field == QLatin1String("returndate")) {
            now = plan->ret ? std::optional(Bookings::storedDate(plan->ret)) : std::nullopt;
            back.ret = Bookings::dateOfStored(row.oldValue.value_or(QString()));
        } else {
            now = Bookings::stateName(plan->state);
            back.state =
                Bookings::stateOfName(row.oldValue.value_or(QString())).value_or(ListState::Draft);
        }
        if (!sameValue(now, row.newValue))
            return refuse(QStringLiteral("%1 has changed since: its %2 is now %3.")
                              .arg(nounOf(row.kind, row.recordId), row.field, shownValue(now)));
        return writePlan(db_, log_, row.recordId, back);
    }

    // Whether a change after this one (outside its batch) touched the
    // record: for a list also its lines and plan. Nullopt when the read fails.
    std::optional<bool> changedSince(const ChangeRow& row) {
        const bool list = row.kind == QLatin1String(ChangeKind::kList);
        const QByteArray sql = QByteArray(R"(SELECT 1 FROM "ChangeLog" WHERE )") +
                               (list ? R"("kind" IN ('list', 'line', 'plan'))" : R"("kind" = ?)") +
                               R"( AND "recordid" = ? AND "id" > ? AND "batch" <> ?)";
        QVariantList values;
        if (!list)
            values << row.kind;
        values << row.recordId << row.id << row.batch;
        return findsRow(db_, sql.constData(), values);
    }

    // The location's name; a null text when there is none; nullopt when
    // the read fails.
    std::optional<QString> nameOfLocation(qint64 rowId) {
        Statement row(db_, R"(SELECT "desc" FROM "Locations" WHERE "rowid" = ?)");
        row.bind(rowId);
        if (row.step())
            return row.shown(0).isNull() ? QString(QLatin1String("")) : row.shown(0);
        return row.ok() ? std::optional(QString()) : std::nullopt;
    }

    Connection& db_;
    ChangeLogWriter& log_;
    QList<QPair<QString, qint64>> wholes_;
    QString refusal_;
};

}  // namespace

namespace {

constexpr char kRowColumns[] =
    R"(SELECT "id", "batch", "kind", "recordid", "field", "oldvalue", "newvalue"
       FROM "ChangeLog" )";

bool readRowsOf(Connection& db, const QByteArray& where, const QVariantList& values,
                QList<ChangeRow>& rows) {
    Statement select(db, (QByteArray(kRowColumns) + where).constData());
    bindAll(select, values);
    while (select.step()) {
        ChangeRow change;
        change.id = select.integer(0);
        change.batch = select.integer(1);
        change.kind = select.shown(2);
        change.recordId = select.integer(3);
        change.field = select.shown(4);
        change.oldValue = select.isNull(5) ? std::nullopt : std::optional(select.shown(5));
        change.newValue = select.isNull(6) ? std::nullopt : std::optional(select.shown(6));
        rows.append(change);
    }
    return select.ok();
}

// One change; with every change of its record in its batch when the record
// was made or deleted there (it is put back as a whole).
bool oneChange(Connection& db, qint64 changeId, QList<ChangeRow>& rows) {
    if (!readRowsOf(db, R"(WHERE "id" = ?)", {changeId}, rows))
        return false;
    if (rows.isEmpty())
        return true;
    const ChangeRow change = rows.first();
    const auto whole =
        findsRow(db,
                 R"(SELECT 1 FROM "ChangeLog" WHERE "batch" = ? AND "kind" = ? AND "recordid" = ?
           AND "field" = '*')",
                 {change.batch, change.kind, change.recordId});
    if (!whole)
        return false;
    if (!*whole)
        return true;
    rows.clear();
    return readRowsOf(db, R"(WHERE "batch" = ? AND "kind" = ? AND "recordid" = ?)",
                      {change.batch, change.kind, change.recordId}, rows);
}

using RowsReader = std::function<bool(Connection& db, QList<ChangeRow>& rows)>;

PutBackResult putBackRows(Register& reg, const QString& what, const RowsReader& readRows) {
    PutBackResult result;
    // A refusal rolls back what was put back before it; the window says why.
    FailureReporter reporter;
    reporter = reg.exchangeReporter([&reporter, &result](const QString& message) {
        if (result.refusal.isEmpty() && reporter)
            reporter(message);
    });
    const bool ok =
        reg.write(what, QStringLiteral("Put back"), [&](Connection& db, ChangeLogWriter& log) {
            // Takes turns with the other writers, then reads what to put back.
            QList<ChangeRow> rows;
            if (!takeTurnOnCounters(db) || !readRows(db, rows))
                return false;
            if (rows.isEmpty()) {
                result.refusal = QStringLiteral("There is no such change to put back.");
                return false;
            }
            PutBack putBack(db, log);
            if (!putBack.run(rows))
                return false;
            result.refusal = putBack.refusal();
            if (!result.refusal.isEmpty() || !log.flush(db))
                return false;
            result.batch = log.batchId();
            return true;
        });
    reg.exchangeReporter(reporter);
    if (!result.refusal.isEmpty())
        result.outcome = PutBackResult::Outcome::Refused;
    else if (ok)
        result.outcome = PutBackResult::Outcome::Done;
    return result;
}

}  // namespace

PutBackResult ChangeStore::putBack(qint64 changeId) {
    return putBackRows(reg_, QStringLiteral("put back change %1").arg(changeId),
                       [changeId](Connection& db, QList<ChangeRow>& rows) {
                           return oneChange(db, changeId, rows);
                       });
}

PutBackResult ChangeStore::putBackBatch(qint64 batchId) {
    return putBackRows(reg_, QStringLiteral("put back batch %1").arg(batchId),
                       [batchId](Connection& db, QList<ChangeRow>& rows) {
                           return readRowsOf(db, R"(WHERE "batch" = ?)", {batchId}, rows);
                       });
}
