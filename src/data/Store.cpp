#include "data/Store.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "data/StoreSql.h"
#include "data/TreeReader.h"
#include "data/engine/RegisterEngine.h"
#include "data/engine/Schema.h"
#include "data/engine/SoundStates.h"
#include "data/engine/Sql.h"
#include "data/register/RegisterAccess.h"
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

Statement& rearmed(std::optional<Statement>& statement, Connection& db, const char* sql) {
    if (!statement || !statement->reset())
        statement.emplace(db, sql);
    return *statement;
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

namespace {

constexpr ColumnSpec kListColumns[] = {{"ListName", ColumnType::Text, ColumnKind::Text}};
constexpr RecordTableSql kListsSql{"Lists", kListColumns};

// Reads a row selected by selectById() into a record.
template <class Record>
Record recordOf(const Statement& row) {
    Record record;
    record.id = row.shown(0);
    for (std::size_t c = 0; c < record.values.size(); ++c)
        record.values[c] = row.shown(static_cast<int>(c) + 1);
    return record;
}

// A register file that is not there to open is told as what it is: missing,
// or in a folder or behind access this user does not have.
QString absenceOf(const RegisterEngine& engine) {
    const QString absence = engine.absence();
    if (absence.isEmpty() || engine.location().isServer())
        return absence;
    const RegisterAccess::Finding found = RegisterAccess::ofFile(engine.location().text());
    return found.may == RegisterAccess::May::Nothing ? found.text() : absence;
}

}  // namespace

Store::Store(QString databasePath, FailureReporter reporter)
    : Store(RegisterLocation::file(databasePath), std::move(reporter)) {}

Store::Store(const RegisterLocation& location, FailureReporter reporter)
    : engine_(RegisterEngine::at(location)),
      reporter_(std::move(reporter)),
      soundStates_(std::make_shared<SoundStates>()) {}

Store::~Store() = default;

const RegisterLocation& Store::location() const {
    return engine_->location();
}

QString Store::storable(const QString& text) const {
    return engine_->storable(text);
}

void Store::report(const QString& what, const QString& ownText) {
    if (reporter_)
        reporter_(QStringLiteral("Quarvel could not %1.\n\n%2\n\n%3")
                      .arg(what, ownText, engine_->registerLine()));
}

void Store::report(const QString& what, const Sql::Failure& failure, const QString& missing,
                   Mode mode) {
    if (failure.problem == Sql::Problem::Own) {
        report(what, failure.text);
        return;
    }
    if (reporter_)
        reporter_(QStringLiteral("Quarvel could not %1.\n\n%2\n\n%3")
                      .arg(what,
                           engine_->explanation(failure, missing,
                                                mode == Mode::Write ? Sql::Transaction::Write
                                                                    : Sql::Transaction::Read),
                           engine_->engineWords(failure)));
}

bool Store::run(const QString& what, Mode mode, const Body& body) {
    const QString absence = absenceOf(*engine_);
    if (!absence.isEmpty()) {
        if (mode != Mode::ReadQuietly)
            report(what, absence);
        return false;
    }
    if (mode == Mode::Write && !mayWrite()) {
        report(what, readOnly_ ? readOnly_->reason +
                                     QStringLiteral(" Quarvel opened it for reading only, so "
                                                    "nothing can be saved.")
                               : QStringLiteral("You stopped the wait for the check of the "
                                                "register, so nothing was saved. Try again to let "
                                                "the check finish first."));
        return false;
    }
    if (mode == Mode::Write)
        backUpOnceADay();
    std::optional<Sql::Failure> failure;
    QString missing;
    {
        std::unique_ptr<Connection> db = engine_->open(
            mode == Mode::Write ? Sql::Transaction::Write : Sql::Transaction::Read, busyWaitMs());
        bool ok = !db->failure();
        if (ok) {
            ok = body(*db) && db->commit();
            if (!ok)
                db->rollback();
        }
        if (!ok) {
            failure = db->failure().value_or(
                Sql::Failure::of(Sql::Problem::Own, QStringLiteral("Unknown error.")));
            // A statement that names a missing table or column fails with a
            // plain SQL error; say which part of the register is missing.
            if (db->isOpen() && failure->problem == Sql::Problem::Statement)
                missing = Schema::missingPart(*db);
        }
        engine_->release(std::move(db));
    }
    if (!failure)
        return true;
    // Told once, with what to do, after the connection is closed: the user
    // may have the register repaired there and then.
    if (failure->problem == Sql::Problem::Damaged && engine_->looksAfterFile() && !readOnly_)
        openReadOnly(damaged());
    else if (mode != Mode::ReadQuietly)
        report(what, *failure, missing, mode);
    return false;
}

void Store::setServerWaiting(const Sql::WaitingSeam& seam) {
    engine_->setWaiting(seam);
}

int Store::busyWaitMs() const {
    return busyWaitMs_ ? busyWaitMs_() : kDefaultBusyWaitMs;
}

// --- Shapes of reading --------------------------------------------------------

bool Store::readRows(const QString& what, const char* sql, const QVariantList& values,
                     const RowReader& readRow) {
    return run(what, Mode::Read, [&](Connection& db) {
        Statement statement(db, sql);
        bindAll(statement, values);
        while (statement.step())
            readRow(statement);
        return statement.ok();
    });
}

std::optional<IdTextRows> Store::idTexts(const QString& what, const char* countSql, const char* sql,
                                         const QVariantList& values) {
    IdTextRows rows;
    const bool ok = run(what, Mode::Read, [&](Connection& db) {
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

std::optional<bool> Store::exists(const QString& what, const char* sql,
                                  const QVariantList& values) {
    bool found = false;
    const bool ok = readRows(what, sql, values, [&found](const Statement&) { found = true; });
    return ok ? std::optional<bool>(found) : std::nullopt;
}

// Takes the next id of the table and adds the row under it in one
// transaction; sql binds the id first, then values.
std::optional<qint64> Store::insertWithNewId(const QString& what, RecordTable table,
                                             const char* sql, const QVariantList& values) {
    std::optional<qint64> newId;
    // The id counts only once the transaction is committed: a COMMIT that
    // fails stores nothing, and the caller must not take the record as saved.
    const bool stored = run(what, Mode::Write, [&](Connection& db) {
        newId = takeNextId(db, idTableOf(table));
        if (!newId)
            return false;
        Statement insert(db, sql);
        insert.bind(*newId);
        bindAll(insert, values);
        return insert.run();
    });
    return stored ? newId : std::nullopt;
}

// --- Main tree ----------------------------------------------------------------

std::optional<TreeData> Store::readTree(const TestsDue::Window& window, TreeData room) {
    TreeData tree = std::move(room);
    const bool ok = run(QStringLiteral("read the register"), Mode::Read, [&](Connection& db) {
        tree.clearKeepingRoom();
        return TreeReader::read(db, window, tree);
    });
    return ok ? std::optional<TreeData>(std::move(tree)) : std::nullopt;
}

// --- New ids ------------------------------------------------------------------

std::optional<qint64> Store::predictedId(RecordTable table) {
    const IdTable t = idTableOf(table);
    std::optional<qint64> next;
    const bool ok = run(QStringLiteral("find the id of a new %1").arg(QLatin1String(t.noun)),
                        Mode::Read, [&](Connection& db) {
                            next = nextIdOf(db, t, false);
                            return next.has_value();
                        });
    return ok ? next : std::nullopt;
}

std::optional<Counters> Store::counters() {
    Counters counters;
    bool found = false;
    const bool ok =
        readRows(QStringLiteral("read the id counters"),
                 R"(SELECT "lastid", "lastCase", "lastList" FROM "Data" LIMIT 1)", {},
                 [&](const Statement& row) {
                     found = true;
                     const auto counter = [&row](int col) {
                         return TextRules::wholeNumber(TextRules::numericValue(row.shown(col)));
                     };
                     counters = {counter(0), counter(1), counter(2)};
                 });
    if (ok && !found) {
        report(QStringLiteral("read the id counters"),
               QStringLiteral("Table Data holds no counter row."));
        return std::nullopt;
    }
    return ok ? std::optional<Counters>(counters) : std::nullopt;
}

// --- Items --------------------------------------------------------------------

Store::Rows<ItemRecord> Store::itemsWithId(qint64 id) {
    QList<ItemRecord> rows;
    const QByteArray sql = kItemsSql.selectById();
    const bool ok =
        readRows(QStringLiteral("read item %1").arg(id), sql.constData(), {id},
                 [&rows](const Statement& row) { rows.append(recordOf<ItemRecord>(row)); });
    return ok ? Rows<ItemRecord>(rows) : std::nullopt;
}

std::optional<bool> Store::itemExists(qint64 id) {
    return exists(QStringLiteral("look up item %1").arg(id),
                  R"(SELECT 1 FROM "Items" WHERE "id" = ?)", {id});
}

std::optional<IdTextRows> Store::allItems() {
    return idTexts(QStringLiteral("read the items"), R"(SELECT COUNT(*) FROM "Items")",
                   R"(SELECT "id", "desc" FROM "Items" ORDER BY "id")");
}

std::optional<IdTextRows> Store::itemsInCase(qint64 caseId) {
    return idTexts(QStringLiteral("read the items of flight case F%1").arg(caseId),
                   R"(SELECT COUNT(*) FROM "Items" WHERE "caseID" = ?)",
                   R"(SELECT "id", "desc" FROM "Items" WHERE "caseID" = ? ORDER BY "id")",
                   {caseId});
}

// Ordered here, not by SQLite, which folds the letter case of A to Z only:
// the categories compare case folded, as the location names do.
std::optional<IdTextRows> Store::itemsInCaseByCategory(qint64 caseId) {
    struct Row {
        qint64 id;
        QString category;
        std::string desc;
    };
    std::vector<Row> rows;
    const bool ok =
        readRows(QStringLiteral("read the items of flight case F%1").arg(caseId),
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

std::optional<qint64> Store::insertItem(const ItemWrite& values) {
    const QByteArray sql = kItemsSql.insertWithId();
    return insertWithNewId(QStringLiteral("save the new item"), RecordTable::Items, sql.constData(),
                           kItemsSql.stored(values));
}

SaveResult Store::updateItem(qint64 id, const QList<ColumnChange>& changes, bool overwrite) {
    return updateColumns(QStringLiteral("save item %1").arg(id), kItemsSql, id, changes, overwrite);
}

PutInCaseResult Store::setItemCase(qint64 itemId, qint64 caseId) {
    PutInCaseResult result = PutInCaseResult::Done;
    const bool ok =
        run(QStringLiteral("put item %1 into flight case F%2").arg(itemId).arg(caseId), Mode::Write,
            [&](Connection& db) {
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

bool Store::deleteItem(qint64 id) {
    return run(QStringLiteral("delete item %1").arg(id), Mode::Write, [&](Connection& db) {
        Statement statement(db, R"(DELETE FROM "Items" WHERE "id" = ?)");
        statement.bind(id);
        return statement.run();
    });
}

// --- Shared by the updates -----------------------------------------------------

// Writes the changed columns of one row; every other column keeps its value
// but turns from null into its empty value. A changed column whose stored
// text is no longer what the editor loaded counts as changed elsewhere.
SaveResult Store::updateColumns(const QString& what, const RecordTableSql& t, qint64 id,
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
    const bool ok = run(what, Mode::Write, [&](Connection& db) {
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
        Statement update(db, writeSql.constData());
        bindAll(update, values);
        return update.run();
    });
    if (gone)
        return SaveResult::Gone;
    return ok ? result : SaveResult::Failed;
}

// --- Cases --------------------------------------------------------------------

std::optional<IdTextRows> Store::allCases() {
    return idTexts(QStringLiteral("read the flight cases"), R"(SELECT COUNT(*) FROM "Cases")",
                   R"(SELECT "id", "FName" FROM "Cases" ORDER BY "id")");
}

bool StoreSql::readCasesWithId(Connection& db, qint64 id, QList<CaseRecord>& cases) {
    Statement row(db, kCasesSql.selectById().constData());
    row.bind(id);
    while (row.step())
        cases.append(recordOf<CaseRecord>(row));
    return row.ok();
}

Store::Rows<CaseRecord> Store::casesWithId(qint64 id) {
    QList<CaseRecord> rows;
    const bool ok = run(QStringLiteral("read flight case F%1").arg(id), Mode::Read,
                        [&](Connection& db) { return readCasesWithId(db, id, rows); });
    return ok ? Rows<CaseRecord>(rows) : std::nullopt;
}

std::optional<bool> Store::caseExists(qint64 id) {
    return exists(QStringLiteral("look up flight case F%1").arg(id),
                  R"(SELECT 1 FROM "Cases" WHERE "id" = ?)", {id});
}

std::optional<qint64> Store::insertCase(const CaseRecord& values) {
    const QByteArray sql = kCasesSql.insertWithId();
    std::array<QVariant, kCaseDataColumnCount> texts;
    std::copy(values.values.begin(), values.values.end(), texts.begin());
    return insertWithNewId(QStringLiteral("save the new flight case"), RecordTable::Cases,
                           sql.constData(), kCasesSql.stored(texts));
}

SaveResult Store::updateCase(qint64 id, const QList<ColumnChange>& changes, bool overwrite) {
    return updateColumns(QStringLiteral("save flight case F%1").arg(id), kCasesSql, id, changes,
                         overwrite);
}

// --- Lists --------------------------------------------------------------------

Store::Rows<ListRecord> Store::listsWithId(qint64 id) {
    QList<ListRecord> rows;
    const bool ok = readRows(QStringLiteral("read list %1").arg(id),
                             R"(SELECT "id", "ListName" FROM "Lists" WHERE "id" = ?)", {id},
                             [&rows](const Statement& row) {
                                 rows.append({row.shown(0), row.shown(1)});
                             });
    return ok ? Rows<ListRecord>(rows) : std::nullopt;
}

std::optional<bool> Store::listExists(qint64 id) {
    return exists(QStringLiteral("look up list %1").arg(id),
                  R"(SELECT 1 FROM "Lists" WHERE "id" = ?)", {id});
}

std::optional<IdTextRows> Store::listLines(qint64 listId) {
    return idTexts(
        QStringLiteral("read the lines of list %1").arg(listId),
        R"(SELECT COUNT(*) FROM "ListData" WHERE "listid" = ?)",
        R"(SELECT "itemid", "itemdesc" FROM "ListData" WHERE "listid" = ? ORDER BY "itemid")",
        {listId});
}

AddLineResult Store::addListLine(qint64 listId, qint64 itemId, const QString& itemDesc) {
    AddLineResult result = AddLineResult::Added;
    const bool ok = run(
        QStringLiteral("add item %1 to list %2").arg(itemId).arg(listId), Mode::Write,
        [&](Connection& db) {
            // Two desks adding the same line one after the other: the second
            // finds the first's.
            const QByteArray listSql =
                QByteArray(R"(SELECT 1 FROM "Lists" WHERE "id" = ?)") + db.forUpdate();
            const auto list = findsRow(db, listSql.constData(), {listId});
            if (!list)
                return false;
            if (!*list) {
                result = AddLineResult::ListGone;
                return true;
            }
            const auto line =
                findsRow(db, R"(SELECT 1 FROM "ListData" WHERE "listid" = ? AND "itemid" = ?)",
                         {listId, itemId});
            if (!line)
                return false;
            if (*line) {
                result = AddLineResult::AlreadyOnList;
                return true;
            }
            Statement insert(
                db, R"(INSERT INTO "ListData" ("listid", "itemid", "itemdesc") VALUES (?, ?, ?))");
            insert.bind(listId).bind(itemId).bind(itemDesc);
            return insert.run();
        });
    return ok ? result : AddLineResult::Failed;
}

bool Store::removeListLine(qint64 listId, qint64 itemId) {
    return run(QStringLiteral("remove item %1 from list %2").arg(itemId).arg(listId), Mode::Write,
               [&](Connection& db) {
                   Statement statement(
                       db, R"(DELETE FROM "ListData" WHERE "listid" = ? AND "itemid" = ?)");
                   statement.bind(listId).bind(itemId);
                   return statement.run();
               });
}

std::optional<qint64> Store::insertList(const QString& name) {
    return insertWithNewId(QStringLiteral("save the new list"), RecordTable::Lists,
                           R"(INSERT INTO "Lists" ("id", "ListName") VALUES (?, ?))", {name});
}

SaveResult Store::updateList(qint64 id, const QString& name, const QString& loadedName,
                             bool overwrite) {
    return updateColumns(QStringLiteral("save list %1").arg(id), kListsSql, id,
                         {{0, name, loadedName}}, overwrite);
}

// --- Locations ----------------------------------------------------------------

std::optional<IdTextRows> Store::locations() {
    return idTexts(QStringLiteral("read the locations"), R"(SELECT COUNT(*) FROM "Locations")",
                   R"(SELECT "rowid", "desc" FROM "Locations" ORDER BY "rowid")");
}

AddLocationResult Store::addLocation(const QString& name, qint64* rowId) {
    AddLocationResult result = AddLocationResult::Added;
    qint64 added = 0;
    // Compared and added as the engine stores it, so a name that cannot be
    // stored as it is (a NUL on a server) matches its stored form.
    const QString stored = storable(name);
    const QString folded = stored.toCaseFolded();
    const bool ok = run(QStringLiteral("add the location"), Mode::Write, [&](Connection& db) {
        // Another desk adding a name waits until this one is in.
        if (!db.lockAgainstAdding("Locations"))
            return false;
        // Compared in the program: SQLite folds letter case of A to Z only.
        Statement names(db, R"(SELECT "desc" FROM "Locations")");
        while (names.step()) {
            if (names.shown(0).toCaseFolded() == folded) {
                result = AddLocationResult::AlreadyThere;
                return true;
            }
        }
        if (!names.ok())
            return false;
        Statement insert(db, R"(INSERT INTO "Locations" ("desc") VALUES (?) RETURNING "rowid")");
        insert.bind(stored);
        if (!insert.step())
            return false;
        added = insert.integer(0);
        return insert.run();
    });
    if (!ok)
        return AddLocationResult::Failed;
    if (rowId && result == AddLocationResult::Added)
        *rowId = added;  // only once committed
    return result;
}

bool Store::deleteLocation(qint64 rowId, const QString& name) {
    return run(QStringLiteral("delete the location"), Mode::Write, [&](Connection& db) {
        // Exactly that name: a file's Locations compare without regard to
        // letter case unless told; a server's compare exactly.
        const QByteArray sql =
            QByteArray(R"(DELETE FROM "Locations" WHERE "rowid" = ? AND "desc" = ?)") +
            db.exactly();
        Statement statement(db, sql.constData());
        statement.bind(rowId).bind(storable(name));
        return statement.run();
    });
}
