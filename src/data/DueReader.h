#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "base/TextPool.h"
#include "data/ItemSelect.h"
#include "data/rules/TestsDue.h"

class Progress;

namespace Sql {
class Connection;
class Statement;
}  // namespace Sql

// Every item that needs a test, as the Tests Due window lists it: items by
// id, each with its status, due day, case and the texts shown beside it.
struct DueList {
    static constexpr TestsDue::Day kNoDay = INT64_MIN;

    TestsDue::Day today = 0;  // the day it was read on
    TestsDue::Counts counts;  // of every item in the register, in date too
    std::vector<std::int64_t> ids;
    std::vector<TestsDue::Status> status;
    std::vector<TestsDue::Day> dueDay;  // kNoDay: no date can be known
    std::vector<std::int64_t> caseIds;  // 0: in no case
    TextPool descs;
    TextPool categories;
    TextPool locations;

    std::size_t size() const { return ids.size(); }
    // The entries, worst status first, then the earliest due day (no day
    // last), then by id.
    std::vector<std::int32_t> mostUrgentFirst() const;
};

// Reads the test state of a register in one pass over its items, straight
// from the rows: no dates are made on the way. False on a failed statement
// (recorded on the connection).
namespace DueReader {

// The items whose last recorded test failed, sorted by id.
class FailedItems {
public:
    bool read(Sql::Connection& db);
    bool contains(std::int64_t id) const;

private:
    std::vector<std::int64_t> ids_;
};

// Whether the item's last recorded test failed; nullopt when the history
// cannot be read.
std::optional<bool> lastTestFailed(Sql::Connection& db, std::int64_t itemId);

// The columns the due rule reads.
inline constexpr ItemColumn kDueColumns[] = {ItemColumn::TestNext, ItemColumn::TestLast,
                                             ItemColumn::TestInterval};

// Where the due rule's columns stand in the rows of a select list.
struct DuePlaces {
    int next;
    int last;
    int interval;
    explicit DuePlaces(const ItemSelect& select)
        : next(select.at(ItemColumn::TestNext)),
          last(select.at(ItemColumn::TestLast)),
          interval(select.at(ItemColumn::TestInterval)) {}
};

// The status of the item on a row that holds the due rule's columns.
TestsDue::Status statusOfRow(const Sql::Statement& row, const DuePlaces& places, bool failed,
                             TestsDue::Day today, int soonDays);
TestsDue::Due dueOfRow(const Sql::Statement& row, const DuePlaces& places, bool failed,
                       TestsDue::Day today, int soonDays);

// The due rule over the rows of one pass: each distinct interval text is
// classified once.
class RowRule {
public:
    RowRule(const ItemSelect& select, TestsDue::Day today, int soonDays)
        : places_(select), today_(today), soonDays_(soonDays) {}
    TestsDue::Due dueOf(const Sql::Statement& row, bool failed);
    TestsDue::Status statusOf(const Sql::Statement& row, bool failed) {
        return dueOf(row, failed).status;
    }

private:
    DuePlaces places_;
    TestsDue::Day today_;
    int soonDays_;
    TestsDue::IntervalMemo memo_;
};

// Every item not in date, and the counts of all. With dueBy, also every
// item in date that is due on or before that day. Items that need no test
// are never listed.
bool read(Sql::Connection& db, const TestsDue::Window& window, std::optional<TestsDue::Day> dueBy,
          DueList& list);

// How many of the items in the flight case have each status, each item
// read with its last test in one statement; with items, also the items
// themselves (id and description, by id).
bool readCase(Sql::Connection& db, std::int64_t caseId, const TestsDue::Window& window,
              TestsDue::Counts& counts, IdTextRows* items = nullptr);

// Ids that test records name but no item has any more (deleted items'
// history, kept as the record of the tests done), ascending. Such an id is
// never given to another item.
bool deletedItemsWithTests(Sql::Connection& db, std::vector<std::int64_t>& ids);
// The highest item id the test records name; 0 when there are none.
std::optional<std::int64_t> highestTestedItemId(Sql::Connection& db);

// The header of a tests-due CSV file.
QStringList exportHeader();
// Writes the entries of the list (in that order) to a CSV file, one line
// each as the Tests Due window shows it. False, with *error, when the file
// cannot be written, or when cancelled through `progress` (then no file is
// left); *rows counts the lines.
bool writeCsv(const QString& path, const DueList& list, std::span<const std::int32_t> entries,
              QString* error, qint64* rows = nullptr, Progress* progress = nullptr);

}  // namespace DueReader
