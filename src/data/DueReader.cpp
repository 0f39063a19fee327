#include "data/DueReader.h"

#include <algorithm>
#include <string>

#include "data/engine/Schema.h"
#include "data/engine/Sql.h"
#include "data/transfer/CsvExport.h"

std::vector<std::int32_t> DueList::mostUrgentFirst() const {
    std::vector<std::int32_t> order(size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<std::int32_t>(i);
    std::stable_sort(order.begin(), order.end(), [this](std::int32_t a, std::int32_t b) {
        if (status[a] != status[b])
            return status[a] > status[b];
        const TestsDue::Day dayA = dueDay[a];
        const TestsDue::Day dayB = dueDay[b];
        if (dayA == kNoDay || dayB == kNoDay)
            return dayB == kNoDay && dayA != kNoDay;
        return dayA < dayB;
    });
    return order;
}

namespace DueReader {

namespace {

using Sql::Statement;

// A row's three texts, fetched only when the rule asks for them.
struct RowTexts {
    const Statement& row;
    const DuePlaces& places;
    std::string_view next() const { return row.utf8(places.next); }
    std::string_view last() const { return row.utf8(places.last); }
    std::string_view interval() const { return row.utf8(places.interval); }
};

// A register of the first layout has no history yet: nothing failed. It
// is upgraded at start, unless it cannot be written.
std::optional<bool> hasHistory(Sql::Connection& db) {
    const std::optional<int> version = Schema::versionOf(db);
    return version ? std::optional<bool>(*version >= 2) : std::nullopt;
}

// Whether the Tests Due window lists an item: every item that needs a test
// and is not in date, and with a "due by" day also those due by then.
bool isListed(const TestsDue::Due& due, std::optional<TestsDue::Day> dueBy) {
    switch (due.status) {
        case TestsDue::Status::NoTestNeeded:
            return false;
        case TestsDue::Status::InDate:
            return dueBy && due.day && *due.day <= *dueBy;
        default:
            return true;
    }
}

}  // namespace

bool FailedItems::read(Sql::Connection& db) {
    ids_.clear();
    const std::optional<bool> history = hasHistory(db);
    if (!history || !*history)
        return history.has_value();
    // The last test of each item decides: by test date, then by the order
    // they were recorded in.
    Statement tests(db, R"(SELECT "itemid", "result" FROM "TestHistory"
                           ORDER BY "itemid", "testday", "id")");
    std::optional<std::int64_t> item;
    bool failed = false;
    while (tests.step()) {
        const std::int64_t id = tests.integer(0);
        if (item && *item != id && failed)
            ids_.push_back(*item);
        item = id;
        failed = tests.utf8(1) == "Fail";
    }
    if (item && failed)
        ids_.push_back(*item);
    return tests.ok();
}

bool FailedItems::contains(std::int64_t id) const {
    return !ids_.empty() && std::binary_search(ids_.begin(), ids_.end(), id);
}

std::optional<bool> lastTestFailed(Sql::Connection& db, std::int64_t itemId) {
    const std::optional<bool> history = hasHistory(db);
    if (!history || !*history)
        return history ? std::optional<bool>(false) : std::nullopt;
    Statement last(db, R"(SELECT "result" FROM "TestHistory" WHERE "itemid" = ?
                          ORDER BY "testday" DESC, "id" DESC LIMIT 1)");
    last.bind(itemId);
    const bool failed = last.step() && last.utf8(0) == "Fail";
    return last.ok() ? std::optional<bool>(failed) : std::nullopt;
}

TestsDue::Due dueOfRow(const Statement& row, const DuePlaces& places, bool failed,
                       TestsDue::Day today, int soonDays) {
    return TestsDue::dueFrom(RowTexts{row, places}, failed, today, soonDays);
}

TestsDue::Status statusOfRow(const Statement& row, const DuePlaces& places, bool failed,
                             TestsDue::Day today, int soonDays) {
    return dueOfRow(row, places, failed, today, soonDays).status;
}

TestsDue::Due RowRule::dueOf(const Statement& row, bool failed) {
    return TestsDue::dueFrom(RowTexts{row, places_}, memo_, failed, today_, soonDays_);
}

bool read(Sql::Connection& db, const TestsDue::Window& window, std::optional<TestsDue::Day> dueBy,
          DueList& list) {
    FailedItems failed;
    if (!failed.read(db))
        return false;
    const TestsDue::Day today = TestsDue::dayOf(window.today);
    list.today = today;
    using C = ItemColumn;
    const ItemSelect select({C::Desc, C::Category, C::WarehouseLoc, C::CaseId}, kDueColumns);
    RowRule rule(select, today, window.soonDays);
    const int desc = select.at(C::Desc);
    const int category = select.at(C::Category);
    const int location = select.at(C::WarehouseLoc);
    const int caseId = select.at(C::CaseId);
    Statement items(db, select.sql(R"(FROM "Items" ORDER BY "id")"));
    while (items.step()) {
        const std::int64_t id = items.integer(ItemSelect::kId);
        const TestsDue::Due due = rule.dueOf(items, failed.contains(id));
        list.counts.add(due.status);
        if (!isListed(due, dueBy))
            continue;
        list.ids.push_back(id);
        list.status.push_back(due.status);
        list.dueDay.push_back(due.day.value_or(DueList::kNoDay));
        list.caseIds.push_back(items.wholeNumber(caseId).value_or(0));
        list.descs.append(items.utf8(desc));
        list.categories.append(items.utf8(category));
        list.locations.append(items.utf8(location));
    }
    return items.ok();
}

bool readCase(Sql::Connection& db, std::int64_t caseId, const TestsDue::Window& window,
              TestsDue::Counts& counts, IdTextRows* items) {
    const std::optional<bool> history = hasHistory(db);
    if (!history)
        return false;
    const ItemSelect select({ItemColumn::Desc}, kDueColumns);
    const int desc = select.at(ItemColumn::Desc);
    // Each item comes with its tests, oldest first (by test date, then by
    // the order they were recorded in, as FailedItems decides): the last
    // row of an item holds its last test.
    const int result = select.width();
    const char* const tests = *history
                                  ? R"(, "t"."result" FROM "Items" LEFT JOIN "TestHistory" AS "t"
                      ON "t"."itemid" = "Items"."id" WHERE "caseID" = ?
                      ORDER BY "Items"."id", "t"."testday", "t"."id")"
                                  : R"(, NULL FROM "Items" WHERE "caseID" = ? ORDER BY "id")";
    RowRule rule(select, TestsDue::dayOf(window.today), window.soonDays);
    Statement rows(db, select.sql(tests, "Items"));
    rows.bind(caseId);
    std::optional<std::int64_t> item;
    TestsDue::Status status = TestsDue::Status::NoTestNeeded;
    bool failed = false;
    while (rows.step()) {
        const std::int64_t id = rows.integer(ItemSelect::kId);
        if (item != id) {
            if (item)
                counts.add(failed ? TestsDue::Status::Failed : status);
            item = id;
            status = rule.statusOf(rows, false);
            if (items)
                items->append(id, rows.utf8(desc));
        }
        failed = rows.utf8(result) == "Fail";
    }
    if (item)
        counts.add(failed ? TestsDue::Status::Failed : status);
    return rows.ok();
}

bool deletedItemsWithTests(Sql::Connection& db, std::vector<std::int64_t>& ids) {
    ids.clear();
    const std::optional<bool> history = hasHistory(db);
    if (!history || !*history)
        return history.has_value();
    Statement tested(db, R"(SELECT DISTINCT "itemid" FROM "TestHistory"
                            WHERE "itemid" NOT IN (SELECT "id" FROM "Items") ORDER BY "itemid")");
    while (tested.step())
        ids.push_back(tested.integer(0));
    return tested.ok();
}

std::optional<std::int64_t> highestTestedItemId(Sql::Connection& db) {
    const std::optional<bool> history = hasHistory(db);
    if (!history || !*history)
        return history ? std::optional<std::int64_t>(0) : std::nullopt;
    Statement highest(db, R"(SELECT MAX("itemid") FROM "TestHistory")");
    const bool found = highest.step();
    if (!highest.ok())
        return std::nullopt;
    return found ? highest.wholeNumber(0).value_or(0) : 0;
}

QStringList exportHeader() {
    return {QStringLiteral("status"),   QStringLiteral("due date"),    QStringLiteral("days"),
            QStringLiteral("id"),       QStringLiteral("description"), QStringLiteral("category"),
            QStringLiteral("location"), QStringLiteral("case")};
}

bool writeCsv(const QString& path, const DueList& list, std::span<const std::int32_t> entries,
              QString* error, qint64* rows, Progress* progress) {
    const auto source = [&](const CsvExport::RowEmitter& emitRow) {
        std::string status, dueDate, days, id, flightCase;
        for (const std::int32_t entry : entries) {
            const auto i = static_cast<std::size_t>(entry);
            status = TestsDue::statusName(list.status[i]).toStdString();
            dueDate.clear();
            days.clear();
            if (list.dueDay[i] != DueList::kNoDay) {
                TestsDue::appendDateText(dueDate, list.dueDay[i]);
                days = std::to_string(list.dueDay[i] - list.today);
            }
            id = std::to_string(list.ids[i]);
            flightCase.clear();
            if (list.caseIds[i] != 0)
                flightCase.append(1, 'F').append(std::to_string(list.caseIds[i]));
            const std::string_view fields[] = {status,
                                               dueDate,
                                               days,
                                               id,
                                               list.descs.view(i),
                                               list.categories.view(i),
                                               list.locations.view(i),
                                               flightCase};
            if (!emitRow(fields))
                return true;
        }
        return true;
    };
    return CsvExport::writeRows(path, exportHeader(), source, error, rows, progress,
                                qint64(entries.size()));
}

}  // namespace DueReader
