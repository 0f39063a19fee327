#include "data/TransferStore.h"

#include <QSet>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <unordered_set>

#include "base/Progress.h"
#include "data/ListStore.h"
#include "data/Register.h"
#include "data/StoreSql.h"
#include "data/engine/CopyText.h"

using Sql::Connection;
using Sql::Statement;
using namespace StoreSql;

namespace {

// Ids of the table in ascending order, counted first so the vector is sized once.
bool readIds(Connection& db, const char* table, std::vector<qint64>& ids) {
    Statement count(
        db, sqlOf(QStringLiteral("SELECT COUNT(*) FROM %1").arg(quoted(table))).constData());
    if (!count.step())
        return false;
    ids.reserve(static_cast<std::size_t>(std::max<std::int64_t>(count.integer(0), 0)));
    Statement select(
        db, sqlOf(QStringLiteral("SELECT \"id\" FROM %1 ORDER BY \"id\"").arg(quoted(table)))
                .constData());
    while (select.step()) {
        if (const auto id = select.wholeNumber(0))
            ids.push_back(*id);
    }
    return select.ok();
}

// A value as a field of a COPY row, for a server: as a statement binds it.
void appendStored(QByteArray& row, const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::LongLong:
            row += QByteArray::number(value.toLongLong());
            break;
        case QMetaType::Double: {
            const double number = value.toDouble();
            if (std::isnan(number))
                row += "NaN";
            else if (std::isinf(number))
                row += number > 0 ? "Infinity" : "-Infinity";
            else
                row += QByteArray::number(number, 'g', 17);
            break;
        }
        default: {
            const QByteArray utf8 = value.toString().toUtf8();
            Sql::appendCopyText(row, std::string_view(utf8.constData(), std::size_t(utf8.size())));
        }
    }
}

// An imported value as a field of a COPY row, as bindImported binds it.
void appendImported(QByteArray& row, const ImportedValue& value) {
    switch (value.kind) {
        case ImportedValue::Kind::NoValue:
            row += "\\N";
            break;
        case ImportedValue::Kind::Text:
            Sql::appendCopyText(row, value.text);
            break;
        case ImportedValue::Kind::Whole:
            row += QByteArray::number(value.whole);
            break;
        case ImportedValue::Kind::Real:
            appendStored(row, wholeWhereWhole(value.real));
            break;
    }
}

// `COPY table ("id", its columns) FROM STDIN`.
QByteArray copyWithId(const RecordTableSql& table) {
    return sqlOf(QStringLiteral("COPY %1 (\"id\", %2) FROM STDIN")
                     .arg(quoted(table.table), table.columnList()));
}

// On a server, where each statement is a round trip (two a case took
// seconds at 20,000 cases): the cases there read once, the missing ones
// sent in one COPY.
std::optional<qint64> createCasesInBulk(Connection& db, ChangeLogWriter& log,
                                        const std::vector<qint64>& ids) {
    std::unordered_set<qint64> present;
    Statement stored(db, R"(SELECT "id" FROM "Cases")");
    while (stored.step())
        present.insert(stored.integer(0));
    if (!stored.ok())
        return std::nullopt;
    QByteArray rows;
    qint64 made = 0;
    for (const qint64 id : ids) {
        if (!present.insert(id).second)
            continue;  // made meanwhile, elsewhere
        std::array<QVariant, kCaseDataColumnCount> values;
        values[static_cast<std::size_t>(CaseColumn::Name)] = QStringLiteral("F%1").arg(id);
        values[static_cast<std::size_t>(CaseColumn::Wheeled)] = QStringLiteral("No");
        rows += QByteArray::number(id);
        for (const QVariant& value : kCasesSql.stored(values)) {
            rows += '\t';
            appendStored(rows, value);
        }
        rows += '\n';
        log.createdInBulk(ChangeKind::kCase, id);
        ++made;
    }
    if (made > 0 && !db.copyIn(copyWithId(kCasesSql).constData(), rows))
        return std::nullopt;
    return made;
}

// Makes the cases for imported items that do not exist yet: each with its
// number as its name, nothing else. Gives how many were made, or nullopt.
std::optional<qint64> createCases(Connection& db, ChangeLogWriter& log,
                                  const std::vector<qint64>& ids) {
    if (db.takesRowsInBulk())
        return createCasesInBulk(db, log, ids);
    const char* const findSql = R"(SELECT 1 FROM "Cases" WHERE "id" = ?)";
    const QByteArray insertSql = kCasesSql.insertWithId();
    std::optional<Statement> find;
    std::optional<Statement> insert;
    qint64 made = 0;
    for (const qint64 id : ids) {
        Statement& found = rearmed(find, db, findSql);
        found.bind(id);
        if (found.step())
            continue;  // made meanwhile, elsewhere
        if (!found.ok())
            return std::nullopt;
        std::array<QVariant, kCaseDataColumnCount> values;
        values[static_cast<std::size_t>(CaseColumn::Name)] = QStringLiteral("F%1").arg(id);
        values[static_cast<std::size_t>(CaseColumn::Wheeled)] = QStringLiteral("No");
        Statement& add = rearmed(insert, db, insertSql.constData());
        add.bind(id);
        bindAll(add, kCasesSql.stored(values));
        if (!add.run())
            return std::nullopt;
        log.createdInBulk(ChangeKind::kCase, id);
        ++made;
    }
    return made;
}

// Adds the names the location list lacks (letter case aside, as the
// location picker compares them, each in the form the engine stores it);
// gives how many were added, or nullopt.
std::optional<qint64> addMissingLocations(Connection& db, ChangeLogWriter& log, const Register& reg,
                                          const QStringList& names) {
    QSet<QString> present;
    Statement stored(db, R"(SELECT "desc" FROM "Locations")");
    while (stored.step())
        present.insert(stored.shown(0).toCaseFolded());
    if (!stored.ok())
        return std::nullopt;
    qint64 added = 0;
    for (const QString& name : names) {
        const QString stored = reg.storable(name);
        const QString folded = stored.toCaseFolded();
        if (name.isEmpty() || present.contains(folded))
            continue;
        present.insert(folded);
        Statement insert(db, R"(INSERT INTO "Locations" ("desc") VALUES (?) RETURNING "rowid")");
        if (!insert.bind(stored).step())
            return std::nullopt;
        const LoggedField fields[] = {{QStringLiteral("desc"), stored}};
        log.created(ChangeKind::kLocation, insert.integer(0), fields);
        if (!insert.run())
            return std::nullopt;
        ++added;
    }
    return added;
}

void bindImported(Statement& statement, const ImportedValue& value) {
    switch (value.kind) {
        case ImportedValue::Kind::NoValue:
            statement.bindNull();
            break;
        case ImportedValue::Kind::Text:
            statement.bindUtf8(value.text);
            break;
        case ImportedValue::Kind::Whole:
            statement.bind(value.whole);
            break;
        case ImportedValue::Kind::Real:
            statement.bind(wholeWhereWhole(value.real));
            break;
    }
}

// Items sent to a server in one COPY: there each INSERT is a round trip,
// which at a million lines took minutes.
constexpr int kItemsPerCopy = 10000;

// The ids an import takes, set aside before it adds a row: new item ids
// follow `firstNewItem`, and the counters already stand above every id the
// import gives, so the long transaction never touches the counter row that
// other desks lock to take an id.
struct ReservedIds {
    qint64 firstNewItem = 1;
};

// Raises the counters past the file's own ids, the new ids and the cases to
// make, in a transaction of its own: a failed or cancelled import leaves a
// gap there, never an id that is given twice.
bool reserveIds(Connection& db, const ItemImportPlan& plan, ReservedIds& reserved) {
    const IdTable items = idTableOf(RecordTable::Items);
    const auto nextItem = nextIdOf(db, items, true);
    if (!nextItem)
        return false;
    const qint64 base = std::max(*nextItem - 1, plan.highestFileId);
    if (plan.newIdCount > kHighestId - base) {
        db.fail(QStringLiteral("The register has no item id left."));
        return false;
    }
    reserved.firstNewItem = base + 1;
    if (base + plan.newIdCount >= *nextItem && !setCounter(db, items, base + plan.newIdCount))
        return false;
    if (plan.casesToCreate.empty())
        return true;
    const IdTable cases = idTableOf(RecordTable::Cases);
    const auto nextCase = nextIdOf(db, cases, true);
    if (!nextCase)
        return false;
    const qint64 highestCase =
        *std::max_element(plan.casesToCreate.begin(), plan.casesToCreate.end());
    return highestCase < *nextCase || setCounter(db, cases, highestCase);
}

// The cases and locations the plan lacks.
bool addCasesAndLocations(Connection& db, ChangeLogWriter& log, const Register& reg,
                          const ItemImportPlan& plan, ImportCounts& counts) {
    const auto made = createCases(db, log, plan.casesToCreate);
    if (!made)
        return false;
    counts.casesCreated = *made;
    const auto added = addMissingLocations(db, log, reg, plan.locationsToAdd);
    if (!added)
        return false;
    counts.locationsAdded = *added;
    return true;
}

// Every item the plan hands over, under its own id or one of the new ids
// set aside for it; the insert is prepared once for them all.
bool addItems(Connection& db, ChangeLogWriter& log, const ItemImportPlan& plan,
              const ReservedIds& reserved, Progress* progress, ImportCounts& counts) {
    const QByteArray insertSql = kItemsSql.insertWithId();
    std::optional<Statement> statement;
    const bool inBulk = db.takesRowsInBulk();
    const QByteArray copySql = copyWithId(kItemsSql);
    QByteArray batch;
    int inBatch = 0;
    const auto sendBatch = [&] {
        const bool sent = inBatch == 0 || db.copyIn(copySql.constData(), batch);
        batch.clear();
        inBatch = 0;
        return sent;
    };
    ImportedItem item;
    QString why;
    for (;;) {
        const ImportStep step = plan.next(item, &why);
        if (step == ImportStep::End)
            break;
        if (step == ImportStep::Failed) {
            db.fail(why);
            return false;
        }
        if (item.id == 0) {
            if (counts.newIds >= plan.newIdCount) {
                db.fail(QStringLiteral("The import holds more new items than were checked."));
                return false;
            }
            item.id = reserved.firstNewItem + counts.newIds++;
        }
        if (inBulk) {
            batch += QByteArray::number(item.id);
            for (const ImportedValue& value : item.values) {
                batch += '\t';
                appendImported(batch, value);
            }
            batch += '\n';
            if (++inBatch == kItemsPerCopy && !sendBatch())
                return false;
        } else {
            Statement& insert = rearmed(statement, db, insertSql.constData());
            insert.bind(item.id);
            for (const ImportedValue& value : item.values)
                bindImported(insert, value);
            if (!insert.run())
                return false;
        }
        log.createdInBulk(ChangeKind::kItem, item.id);
        ++counts.items;
        if (!Progress::step(progress, counts.items, plan.itemCount))
            return false;
    }
    return sendBatch();
}

// A number column as an export writes it: whole numbers exactly, others in
// the fewest digits that read back as the same number, never with an
// exponent (a spreadsheet and the import read plain numbers).
std::string_view exportedNumber(const Statement& select, int col, std::string& out) {
    if (const auto whole = select.wholeNumber(col)) {
        out = std::to_string(*whole);
        return out;
    }
    out = select.shown(col).toStdString();
    double value = 0;
    const auto [end, ec] = std::from_chars(out.data(), out.data() + out.size(), value);
    if (ec == std::errc() && end == out.data() + out.size() && std::isfinite(value)) {
        char digits[400];
        const auto written =
            std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed);
        if (written.ec == std::errc())
            out.assign(digits, written.ptr);
    }
    return out;
}

// An export's statement: the item columns follow `first` columns of the
// list line or the id.
struct ExportStatement {
    QByteArray sql;
    QString what;
    int first = 1;
};

ExportStatement exportStatementOf(ExportKind kind, qint64 id) {
    QStringList itemColumns;
    for (const ColumnSpec& c : kItemColumns)
        itemColumns << QStringLiteral("I.%1").arg(quoted(c.name));
    const QString columns = itemColumns.join(QStringLiteral(", "));
    switch (kind) {
        case ExportKind::Items:
            return {sqlOf(QStringLiteral("SELECT I.\"id\", %1 FROM \"Items\" I ORDER BY I.\"id\"")
                              .arg(columns)),
                    QStringLiteral("export the items"), 1};
        case ExportKind::CaseItems:
            return {
                sqlOf(QStringLiteral("SELECT I.\"id\", %1 FROM \"Items\" I WHERE I.\"caseID\" = ? "
                                     "ORDER BY I.\"id\"")
                          .arg(columns)),
                QStringLiteral("export the items of flight case F%1").arg(id), 1};
        case ExportKind::ListLines:
        case ExportKind::Bookings:  // ListStore reads them
        case ExportKind::Changes:   // ChangeStore reads them
            break;
    }
    return {sqlOf(QStringLiteral(
                      "SELECT L.\"listid\", L.\"itemid\", L.\"itemdesc\", %1 FROM \"ListData\" L "
                      "LEFT JOIN \"Items\" I ON I.\"id\" = L.\"itemid\" WHERE L.\"listid\" = ? "
                      "ORDER BY L.\"itemid\"")
                      .arg(columns)),
            QStringLiteral("export list %1").arg(id), 3};
}

}  // namespace

std::optional<std::vector<qint64>> TransferStore::itemIds() {
    std::vector<qint64> ids;
    const bool ok = reg_.run(QStringLiteral("read the item ids"), Register::Mode::Read,
                             [&](Connection& db) { return readIds(db, "Items", ids); });
    return ok ? std::optional(std::move(ids)) : std::nullopt;
}

std::optional<std::vector<qint64>> TransferStore::caseIds() {
    std::vector<qint64> ids;
    const bool ok = reg_.run(QStringLiteral("read the flight case numbers"), Register::Mode::Read,
                             [&](Connection& db) { return readIds(db, "Cases", ids); });
    return ok ? std::optional(std::move(ids)) : std::nullopt;
}

std::optional<ImportCounts> TransferStore::importItems(const ItemImportPlan& plan,
                                                       Progress* progress) {
    ImportCounts counts;
    // A cancel rolls back like a failure, but the user asked for it: the
    // caller says so, not the failure reporter.
    FailureReporter reporter;
    reporter = reg_.exchangeReporter([&reporter, progress](const QString& message) {
        if (!Progress::wasCancelled(progress) && reporter)
            reporter(message);
    });
    ReservedIds reserved;
    const bool ok = reg_.run(QStringLiteral("import the items"), Register::Mode::Write,
                             [&](Connection& db) { return reserveIds(db, plan, reserved); }) &&
                    reg_.write(QStringLiteral("import the items"), QStringLiteral("Import"),
                               [&](Connection& db, ChangeLogWriter& log) {
                                   return addCasesAndLocations(db, log, reg_, plan, counts) &&
                                          addItems(db, log, plan, reserved, progress, counts);
                               });
    reg_.exchangeReporter(reporter);
    return ok ? std::optional(counts) : std::nullopt;
}

QStringList TransferStore::exportColumns(ExportKind kind) {
    if (kind == ExportKind::Bookings)
        return ListStore::bookingColumns();
    QStringList names;
    if (kind == ExportKind::ListLines)
        names << QStringLiteral("listid") << QStringLiteral("itemid") << QStringLiteral("itemdesc");
    else
        names << QStringLiteral("id");
    for (const ColumnSpec& c : kItemColumns)
        names << QLatin1String(c.name);
    return names;
}

bool TransferStore::exportRows(ExportKind kind, qint64 id, const ExportRowHandler& onRow) {
    if (kind == ExportKind::Bookings)
        return ListStore(reg_).exportBookings(onRow);
    const ExportStatement statement = exportStatementOf(kind, id);
    const int first = statement.first;
    const int count = first + kItemDataColumnCount;
    std::vector<std::string_view> values(static_cast<std::size_t>(count));
    std::vector<std::string> numbers(static_cast<std::size_t>(count));
    const auto isNumber = [first, kind](int col) {
        if (col < first)
            return kind != ExportKind::ListLines || col < 2;  // the ids
        return kItemColumns[col - first].type == ColumnType::Number;
    };
    return reg_.run(statement.what, Register::Mode::Read, [&](Connection& db) {
        Statement select(db, statement.sql.constData());
        if (kind != ExportKind::Items)
            select.bind(id);
        while (select.step()) {
            for (int col = 0; col < count; ++col) {
                const auto c = static_cast<std::size_t>(col);
                if (select.isNull(col))
                    values[c] = std::string_view();
                else if (isNumber(col))
                    values[c] = exportedNumber(select, col, numbers[c]);
                else if (const std::string_view text = select.utf8(col); text.empty())
                    values[c] = kEmptyText;
                else
                    values[c] = text;
            }
            if (!onRow(values))
                return true;
        }
        return select.ok();
    });
}
