#include "data/TestRecordStore.h"

#include "data/DueReader.h"
#include "data/ItemSelect.h"
#include "data/Register.h"
#include "data/StoreSql.h"

using Sql::Connection;
using Sql::Statement;
using namespace StoreSql;

std::optional<DueList> TestRecordStore::due(const TestsDue::Window& window,
                                            std::optional<TestsDue::Day> dueBy) {
    DueList list;
    const bool ok =
        reg_.run(QStringLiteral("read the tests due"), Register::Mode::Read,
                 [&](Connection& db) { return DueReader::read(db, window, dueBy, list); });
    return ok ? std::optional<DueList>(std::move(list)) : std::nullopt;
}

std::optional<TestsDue::Counts> TestRecordStore::caseCounts(qint64 caseId,
                                                            const TestsDue::Window& window) {
    TestsDue::Counts counts;
    const bool ok = reg_.run(
        QStringLiteral("read the tests of flight case F%1").arg(caseId), Register::Mode::Read,
        [&](Connection& db) { return DueReader::readCase(db, caseId, window, counts); });
    return ok ? std::optional(counts) : std::nullopt;
}

std::optional<TestRecordStore::CaseItems> TestRecordStore::caseItems(
    qint64 caseId, const TestsDue::Window& window) {
    CaseItems read;
    const bool ok =
        reg_.run(QStringLiteral("read the items of flight case F%1").arg(caseId),
                 Register::Mode::Read, [&](Connection& db) {
                     return readCasesWithId(db, caseId, read.cases) &&
                            DueReader::readCase(db, caseId, window, read.tests, &read.items);
                 });
    return ok ? std::optional<CaseItems>(std::move(read)) : std::nullopt;
}

std::optional<std::vector<qint64>> TestRecordStore::deletedItemsWithTests() {
    std::vector<std::int64_t> ids;
    const bool ok =
        reg_.run(QStringLiteral("read the test records"), Register::Mode::Read,
                 [&](Connection& db) { return DueReader::deletedItemsWithTests(db, ids); });
    return ok ? std::optional(std::vector<qint64>(ids.begin(), ids.end())) : std::nullopt;
}

std::optional<TestsDue::Due> TestRecordStore::itemDue(qint64 id, const TestsDue::Window& window) {
    std::optional<TestsDue::Due> due;
    const bool ok =
        reg_.run(QStringLiteral("read the test dates of item %1").arg(id), Register::Mode::Read,
                 [&](Connection& db) {
                     const auto failed = DueReader::lastTestFailed(db, id);
                     if (!failed)
                         return false;
                     const ItemSelect select({}, DueReader::kDueColumns);
                     Statement item(db, select.sql(R"(FROM "Items" WHERE "id" = ?)"));
                     item.bind(id);
                     if (item.step())
                         due = DueReader::dueOfRow(item, DueReader::DuePlaces(select), *failed,
                                                   TestsDue::dayOf(window.today), window.soonDays);
                     return item.ok();
                 });
    return ok ? due : std::nullopt;
}

RecordTestResult TestRecordStore::record(qint64 itemId, const TestRecord& test) {
    using namespace TestsDue;
    RecordTestResult result = RecordTestResult::Recorded;
    const Day day = dayOf(test.date);
    const QString date = dateText(day);
    const bool ok = reg_.write(
        QStringLiteral("record the test of item %1").arg(itemId), QStringLiteral("Record test"),
        [&](Connection& db, ChangeLogWriter& log) {
            const ItemSelect select(
                {ItemColumn::TestInterval, ItemColumn::TestLast, ItemColumn::TestNext});
            Statement item(db, select.sql(R"(FROM "Items" WHERE "id" = ?)"));
            item.bind(itemId);
            if (!item.step()) {
                result = RecordTestResult::ItemGone;
                return item.ok();
            }
            const IntervalReading interval =
                readInterval(item.utf8(select.at(ItemColumn::TestInterval)));
            const DateReading last = readDate(item.utf8(select.at(ItemColumn::TestLast)));
            const bool newest = last.reading != Reading::Read || last.day <= day;
            const QString next = interval.reading == Reading::Read
                                     ? dateText(addMonths(day, interval.months))
                                     : QString();

            // History ids are taken in turn, as record ids are.
            if (!takeTurnOnCounters(db))
                return false;
            const QString outcome = test.passed ? QStringLiteral("Pass") : QStringLiteral("Fail");
            Statement add(db, R"(INSERT INTO "TestHistory"
                ("id", "itemid", "testday", "testdate", "kind", "result", "note")
                VALUES ((SELECT COALESCE(MAX("id"), 0) + 1 FROM "TestHistory"), ?, ?, ?, ?, ?, ?)
                RETURNING "id")");
            add.bind(itemId).bind(day).bind(date).bind(test.kind);
            add.bind(outcome).bind(test.note);
            if (!add.step())
                return false;
            const LoggedField fields[] = {{QStringLiteral("itemid"), QString::number(itemId)},
                                          {QStringLiteral("testdate"), date},
                                          {QStringLiteral("kind"), test.kind},
                                          {QStringLiteral("result"), outcome},
                                          {QStringLiteral("note"), test.note}};
            log.created(ChangeKind::kTest, add.integer(0), fields);
            if (!add.run())
                return false;
            if (!newest)
                return true;
            log.changed(ChangeKind::kItem, itemId, QStringLiteral("testlast"),
                        loggedColumn(item, select.at(ItemColumn::TestLast)), date);
            log.changed(ChangeKind::kItem, itemId, QStringLiteral("testnext"),
                        loggedColumn(item, select.at(ItemColumn::TestNext)), next);
            Statement dates(db,
                            R"(UPDATE "Items" SET "testlast" = ?, "testnext" = ? WHERE "id" = ?)");
            dates.bind(date).bind(next).bind(itemId);
            return dates.run();
        });
    return ok ? result : RecordTestResult::Failed;
}

// Who recorded each test comes from the log; a register that cannot have
// one yet (read only in an older layout) gives the tests without.
std::optional<QList<TestRecord>> TestRecordStore::history(qint64 itemId) {
    QList<TestRecord> tests;
    const auto readTest = [&tests](const Statement& row) {
        tests.append({TestsDue::dateOf(row.integer(0)), row.shown(1), row.utf8(2) == "Pass",
                      row.shown(3), row.shown(4), row.shown(5)});
    };
    const bool logged =
        reg_.run(QStringLiteral("read the tests of item %1").arg(itemId),
                 Register::Mode::ReadQuietly, [&](Connection& db) {
                     Statement select(db, R"(SELECT t."testday", t."kind", t."result", t."note",
                c."username", c."desk" FROM "TestHistory" t LEFT JOIN "ChangeLog" c
                ON c."kind" = 'test' AND c."recordid" = t."id" AND c."field" = '*'
                WHERE t."itemid" = ? ORDER BY t."testday" DESC, t."id" DESC)");
                     select.bind(itemId);
                     while (select.step())
                         readTest(select);
                     return select.ok();
                 });
    if (logged)
        return tests;
    tests.clear();
    const bool ok =
        StoreSql::readRows(reg_, QStringLiteral("read the tests of item %1").arg(itemId),
                           R"(SELECT "testday", "kind", "result", "note", '', '' FROM "TestHistory"
           WHERE "itemid" = ? ORDER BY "testday" DESC, "id" DESC)",
                           {itemId}, readTest);
    return ok ? std::optional<QList<TestRecord>>(tests) : std::nullopt;
}
