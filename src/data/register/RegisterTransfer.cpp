#include "data/register/RegisterTransfer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <memory>

#include "base/Progress.h"
#include "data/engine/CopyText.h"
#include "data/engine/RegisterEngine.h"
#include "data/engine/Schema.h"
#include "data/engine/Sql.h"
#include "data/register/RegisterAccess.h"
#include "data/register/SafeReplace.h"
#include "data/rules/Columns.h"
#include "data/rules/TextRules.h"

namespace RegisterTransfer {

namespace {

// How long the copy waits for a desk that holds what it reads or writes.
constexpr int kBusyWaitMs = 30000;
// Rows sent to a server in one COPY.
constexpr int kRowsPerBatch = 20000;

bool isNumberColumn(const QString& table, const QString& column) {
    static const QStringList kKeysAndCounters = {
        QStringLiteral("id"),       QStringLiteral("rowid"),     QStringLiteral("listid"),
        QStringLiteral("itemid"),   QStringLiteral("lastid"),    QStringLiteral("lastCase"),
        QStringLiteral("lastList"), QStringLiteral("sessionid"), QStringLiteral("caseid")};
    if (kKeysAndCounters.contains(column))
        return true;
    const auto numberIn = [&column](std::span<const ColumnSpec> model) {
        for (const ColumnSpec& c : model) {
            if (column == QLatin1String(c.name))
                return c.type == ColumnType::Number;
        }
        return false;
    };
    if (table == QLatin1String("Items"))
        return numberIn(kItemColumns);
    if (table == QLatin1String("Cases"))
        return numberIn(kCaseColumns);
    return false;
}

QString quotedList(const QStringList& names) {
    QStringList quoted;
    for (const QString& n : names)
        quoted << QLatin1Char('"') + n + QLatin1Char('"');
    return quoted.join(QStringLiteral(", "));
}

// One value as read from the source: null, a whole number, or text (a
// number column's other numbers as their text).
struct Value {
    enum Kind { Null, Whole, Text } kind = Null;
    qint64 whole = 0;
    QByteArray text;
};

Value valueOf(const Sql::Statement& row, int col, bool number) {
    if (row.isNull(col))
        return {};
    if (const auto whole = row.wholeNumber(col))
        return {Value::Whole, *whole, {}};
    if (number)
        return {Value::Text, 0, row.shown(col).toUtf8()};
    QByteArray text(row.utf8(col).data(), static_cast<qsizetype>(row.utf8(col).size()));
    // Neither engine's statements carry U+0000 in text; it is kept as U+FFFD.
    text.replace(QByteArray(1, '\0'), QByteArray("\xEF\xBF\xBD"));
    return {Value::Text, 0, text};
}

// A value in COPY's text format: \N for null, the few special bytes escaped.
void appendCopyValue(QByteArray& out, const Value& v) {
    switch (v.kind) {
        case Value::Null:
            out += "\\N";
            return;
        case Value::Whole:
            out += QByteArray::number(v.whole);
            return;
        case Value::Text:
            Sql::appendCopyText(out,
                                std::string_view(v.text.constData(), std::size_t(v.text.size())));
            return;
    }
}

void bindValue(Sql::Statement& insert, const Value& v, bool number) {
    switch (v.kind) {
        case Value::Null:
            insert.bindNull();
            break;
        case Value::Whole:
            insert.bind(v.whole);
            break;
        case Value::Text:
            if (number)
                insert.bind(TextRules::numericValue(QString::fromUtf8(v.text)));
            else
                insert.bind(QString::fromUtf8(v.text));
            break;
    }
}

QString failureOf(const Sql::Connection& db, const QString& what) {
    return QStringLiteral("%1: %2").arg(
        what, db.failure() ? db.failure()->text : QStringLiteral("unknown error"));
}

// A register that could not be opened. A server that refuses the sign-in,
// or has no such database, is said as the program says it everywhere.
QString openFailureOf(const RegisterEngine& engine, const Sql::Connection& db,
                      const QString& what) {
    if (db.failure() && db.failure()->problem == Sql::Problem::Unreachable)
        return RegisterAccess::refusedBy(engine, *db.failure()).line();
    return failureOf(db, what);
}

// The columns a table's rows are copied by, which of them hold numbers, and
// the statements that read and write them.
struct TableCopy {
    QStringList columns;
    QList<bool> numbers;
    QByteArray select;
    QByteArray copySql;
    QByteArray insertSql;
};

TableCopy tableCopyOf(const Schema::Table& table) {
    const QString name = QLatin1String(table.name);
    TableCopy t;
    t.columns = table.columns;
    for (const QString& column : table.columns)
        t.numbers << isNumberColumn(name, column);
    // A file keeps a location's key as SQLite's own rowid, a server in a column.
    if (name == QLatin1String("Locations") && !t.columns.contains(QStringLiteral("rowid"))) {
        t.columns.prepend(QStringLiteral("rowid"));
        t.numbers.prepend(true);
    }
    const QByteArray list = quotedList(t.columns).toUtf8();
    const QByteArray quotedName = "\"" + QByteArray(table.name) + "\"";
    t.select = "SELECT " + list + " FROM " + quotedName + " ORDER BY 1";
    t.copySql = "COPY " + quotedName + " (" + list + ") FROM STDIN";
    t.insertSql = "INSERT INTO " + quotedName + " (" + list + ") VALUES (";
    for (int c = 0; c < t.columns.size(); ++c)
        t.insertSql += c == 0 ? "?" : ", ?";
    t.insertSql += ")";
    return t;
}

// Whether the target's table holds as many rows as were sent.
bool arrivedWhole(Sql::Connection& target, const Schema::Table& table, qint64 count) {
    const QByteArray countSql = QByteArray("SELECT COUNT(*) FROM \"") + table.name + "\"";
    Sql::Statement written(target, countSql.constData());
    return written.step() && written.integer(0) == count;
}

// Copies one table's rows; their number, or nullopt with the failure kept
// on the connection that failed (named in *error). `before` rows of other
// tables were copied already, for the progress.
std::optional<qint64> copyTable(Sql::Connection& source, Sql::Connection& target,
                                const Schema::Table& table, QString* error, Progress* progress,
                                qint64 before) {
    const QString name = QLatin1String(table.name);
    const TableCopy t = tableCopyOf(table);
    const auto& columns = t.columns;
    const auto& numbers = t.numbers;
    Sql::Statement rows(source, t.select.constData());
    const bool inBulk = target.takesRowsInBulk();

    qint64 count = 0;
    QByteArray batch;
    int inBatch = 0;
    const auto sendBatch = [&] {
        if (inBatch == 0)
            return true;
        const bool sent = target.copyIn(t.copySql.constData(), batch);
        batch.clear();
        inBatch = 0;
        return sent;
    };
    while (rows.step()) {
        ++count;
        if (!Progress::step(progress, before + count, 0)) {
            *error = QStringLiteral("the copy was cancelled");
            return std::nullopt;
        }
        if (inBulk) {
            for (int c = 0; c < columns.size(); ++c) {
                if (c > 0)
                    batch += '\t';
                appendCopyValue(batch, valueOf(rows, c, numbers[c]));
            }
            batch += '\n';
            if (++inBatch == kRowsPerBatch && !sendBatch())
                break;
        } else {
            Sql::Statement insert(target, t.insertSql.constData());
            for (int c = 0; c < columns.size(); ++c)
                bindValue(insert, valueOf(rows, c, numbers[c]), numbers[c]);
            if (!insert.run())
                break;
        }
    }
    if (!rows.ok()) {
        *error = failureOf(source, QStringLiteral("reading its table %1 failed").arg(name));
        return std::nullopt;
    }
    if (target.failure() || !sendBatch()) {
        *error = failureOf(target, QStringLiteral("writing its table %1 failed").arg(name));
        return std::nullopt;
    }
    if (!arrivedWhole(target, table, count)) {
        *error = QStringLiteral("its table %1 did not arrive whole").arg(name);
        return std::nullopt;
    }
    return count;
}

// A server numbers new locations and change log rows itself: it carries on
// above the copied ones.
bool continueNumbers(Sql::Connection& target, int version) {
    return target.continueNumbering("Locations", "rowid") &&
           (version < 5 || (target.continueNumbering("ChangeBatches", "id") &&
                            target.continueNumbering("ChangeLog", "id")));
}

// A file remembers ids it gave to rows deleted since, even above a counter
// that fell behind; a server remembers nothing but the counter. So the
// copy's counters are raised to every id the source ever gave, and no id is
// given twice.
bool keepGivenIds(Sql::Connection& source, Sql::Connection& target) {
    static constexpr std::pair<const char*, const char*> kCounters[] = {
        {"Items", "lastid"}, {"Cases", "lastCase"}, {"Lists", "lastList"}};
    for (const auto& [table, counter] : kCounters) {
        const QByteArray read = QByteArray("SELECT \"") + counter + "\" FROM \"Data\"";
        std::int64_t counted = 0;
        {
            Sql::Statement current(target, read.constData());
            if (!current.step())
                return current.ok();
            counted = current.integer(0);
        }
        std::int64_t given = counted;
        if (!source.raiseToRememberedId(table, given))
            return false;
        if (given == counted)
            continue;
        const QByteArray raise = QByteArray("UPDATE \"Data\" SET \"") + counter + "\" = ?";
        Sql::Statement update(target, raise.constData());
        update.bind(qint64(given));
        if (!update.run())
            return false;
    }
    return true;
}

// The register at `from`, open for reading, and its layout version.
struct Source {
    std::unique_ptr<RegisterEngine> engine;
    std::unique_ptr<Sql::Connection> db;
    int version = 0;
};

QString openSource(const RegisterLocation& from, Source& source, const Sql::WaitingSeam* waiting,
                   Progress* progress) {
    source.engine = RegisterEngine::at(from);
    if (waiting)
        source.engine->setWaiting(*waiting);
    if (!source.engine->absence().isEmpty()) {
        // Missing, or out of this user's reach: said as it is.
        const RegisterAccess::Finding found = RegisterAccess::ofFile(from.text());
        if (found.may == RegisterAccess::May::Nothing)
            return found.line();
        return QStringLiteral("%1 does not exist").arg(from.shown());
    }
    source.db = source.engine->open(Sql::Transaction::Read, kBusyWaitMs);
    if (source.db->failure())
        return openFailureOf(*source.engine, *source.db,
                             QStringLiteral("%1 cannot be read").arg(from.shown()));
    const auto version = Schema::versionOf(*source.db);
    if (!version)
        return failureOf(*source.db, QStringLiteral("%1 cannot be read").arg(from.shown()));
    if (*version == 0)
        return QStringLiteral("%1 holds no Quarvel register").arg(from.shown());
    if (*version > Schema::kCurrentVersion)
        return QStringLiteral(
                   "%1 has register version %2, written by a newer Quarvel; this one knows "
                   "versions up to %3")
            .arg(from.shown())
            .arg(*version)
            .arg(Schema::kCurrentVersion);
    const QString missing = Schema::missingPart(*source.db);
    if (!missing.isEmpty())
        return QStringLiteral("%1 is not a complete register: %2").arg(from.shown(), missing);
    // What a damaged file still gives is no register to start another from,
    // also when the damage is confined to an index: the full check finds it.
    const std::optional<bool> sound = source.engine->fullCheck(
        kBusyWaitMs, [progress] { return progress && !progress->report(0, 0); });
    if (Progress::wasCancelled(progress))
        return QStringLiteral("the copy was cancelled");
    if (sound == false)
        return QStringLiteral(
                   "%1 is damaged: SQLite's full check finds faults in it, so it is not copied. "
                   "Start Quarvel on it (quarvel --register %2) and let Quarvel repair it, or "
                   "restore it from a backup; then copy the repaired register with "
                   "quarvel-makedb --copy")
            .arg(from.shown(), from.text());
    source.version = *version;
    return {};
}

// The target, empty and with a transaction begun; a file is made here.
QString openTarget(RegisterEngine& engine, const RegisterLocation& to,
                   std::unique_ptr<Sql::Connection>& db) {
    db = engine.openToFill(kBusyWaitMs);
    if (db->failure())
        return openFailureOf(engine, *db, QStringLiteral("%1 cannot be opened").arg(to.shown()));
    const auto version = Schema::versionOf(*db);
    if (!version)
        return failureOf(*db, QStringLiteral("%1 cannot be read").arg(to.shown()));
    if (*version != 0)
        return QStringLiteral("%1 already holds a register; it is not overwritten").arg(to.shown());
    return {};
}

// Makes the source's tables in the target and copies every row, in one
// transaction; false with outcome.error said.
bool fill(RegisterEngine& engine, const RegisterLocation& to, Source& source, Outcome& outcome,
          Progress* progress) {
    std::unique_ptr<Sql::Connection> target;
    outcome.error = openTarget(engine, to, target);
    if (!outcome.error.isEmpty())
        return false;
    bool ok = Schema::create(*target, source.version) && target->exec(R"(DELETE FROM "Data")");
    if (!ok)
        outcome.error = failureOf(*target, QStringLiteral("the tables cannot be made"));
    for (const Schema::Table& table : Schema::tablesOf(source.version, false)) {
        if (!ok)
            break;
        const auto rows =
            copyTable(*source.db, *target, table, &outcome.error, progress, outcome.rows);
        ok = rows.has_value();
        outcome.rows += rows.value_or(0);
    }
    ok = ok && keepGivenIds(*source.db, *target) && continueNumbers(*target, source.version) &&
         target->commit();
    if (!ok && outcome.error.isEmpty())
        outcome.error = failureOf(*target, QStringLiteral("the copy cannot be stored"));
    if (!ok)
        target->rollback();
    return ok;
}

// A file is written beside its place and takes it only when whole.
bool fillFile(const RegisterLocation& to, Source& source, Outcome& outcome, Progress* progress) {
    if (QFileInfo::exists(to.text()) || QFileInfo(to.text()).isSymLink()) {
        outcome.error = QStringLiteral("%1 already exists; it is not overwritten").arg(to.shown());
        return false;
    }
    const SafeReplace::Outcome written =
        SafeReplace::replace(to.text().toStdU16String(), [&](const std::filesystem::path& partial) {
            const auto engine = RegisterEngine::at(
                RegisterLocation::file(QString::fromStdU16String(partial.u16string())));
            return fill(*engine, to, source, outcome, progress);
        });
    if (written.written && written.error)
        outcome.error = QStringLiteral("%1 cannot be written: %2")
                            .arg(to.shown(), QString::fromStdString(written.error.message()));
    return written.ok();
}

}  // namespace

Outcome copy(const RegisterLocation& from, const RegisterLocation& to, Progress* progress,
             const Sql::WaitingSeam* waiting) {
    Outcome outcome;
    for (const RegisterLocation* location : {&from, &to}) {
        if (!location->problem().isEmpty()) {
            outcome.error = location->problem();
            return outcome;
        }
    }
    if (from == to) {
        outcome.error = QStringLiteral("the register cannot be copied onto itself");
        return outcome;
    }
    Source source;
    outcome.error = openSource(from, source, waiting, progress);
    if (!outcome.error.isEmpty()) {
        outcome.cancelled = Progress::wasCancelled(progress);
        return outcome;
    }
    const auto target = RegisterEngine::at(to);
    if (waiting)
        target->setWaiting(*waiting);
    outcome.ok = target->looksAfterFile() ? fillFile(to, source, outcome, progress)
                                          : fill(*target, to, source, outcome, progress);
    outcome.cancelled = Progress::wasCancelled(progress);
    source.db->rollback();
    return outcome;
}

}  // namespace RegisterTransfer
