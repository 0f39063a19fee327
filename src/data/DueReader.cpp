#include "data/DueReader.h"

#include <algorithm>

#include "data/Schema.h"
#include "data/Sql.h"

namespace DueReader {

namespace {

using Sql::Statement;

// A row's three texts, fetched only when the rule asks for them.
struct RowTexts {
    const Statement& row;
    int first;
    std::string_view next() const { return row.utf8(first); }
    std::string_view last() const { return row.utf8(first + 1); }
    std::string_view interval() const { return row.utf8(first + 2); }
};

// A register of the first layout has no history yet: nothing failed. It
// is upgraded at start, unless it cannot be written.
std::optional<bool> hasHistory(Sql::Connection& db) {
    const std::optional<int> version = Schema::versionOf(db);
    return version ? std::optional<bool>(*version >= 2) : std::nullopt;
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

TestsDue::Due dueOfRow(const Statement& row, int first, bool failed, TestsDue::Day today,
                       int soonDays) {
    return TestsDue::dueFrom(RowTexts{row, first}, failed, today, soonDays);
}

TestsDue::Status statusOfRow(const Statement& row, int first, bool failed, TestsDue::Day today,
                             int soonDays) {
    return dueOfRow(row, first, failed, today, soonDays).status;
}

bool read(Sql::Connection& db, const TestsDue::Window& window, DueList& list) {
    FailedItems failed;
    if (!failed.read(db))
        return false;
    const TestsDue::Day today = TestsDue::dayOf(window.today);
    Statement items(db, R"(SELECT "id", "testnext", "testlast", "testinterval", "desc",
                                  "category", "warehouseloc", "caseID"
                           FROM "Items" ORDER BY "id")");
    while (items.step()) {
        const std::int64_t id = items.integer(0);
        const TestsDue::Due due = dueOfRow(items, 1, failed.contains(id), today, window.soonDays);
        list.counts.add(due.status);
        if (due.status == TestsDue::Status::InDate)
            continue;
        list.ids.push_back(id);
        list.status.push_back(due.status);
        list.dueDay.push_back(due.day.value_or(DueList::kNoDay));
        list.caseIds.push_back(items.wholeNumber(7).value_or(0));
        list.descs.append(items.utf8(4));
        list.categories.append(items.utf8(5));
        list.locations.append(items.utf8(6));
    }
    return items.ok();
}

}  // namespace DueReader
