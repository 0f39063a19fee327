#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "data/TestsDue.h"
#include "data/TextPool.h"

namespace Sql {
class Connection;
class Statement;
}  // namespace Sql

// Every item that needs a test, as the Tests Due window lists it: items by
// id, each with its status, due day, case and the texts shown beside it.
struct DueList {
    static constexpr TestsDue::Day kNoDay = INT64_MIN;

    TestsDue::Counts counts;  // of every item in the register, in date too
    std::vector<std::int64_t> ids;
    std::vector<TestsDue::Status> status;
    std::vector<TestsDue::Day> dueDay;  // kNoDay: no date can be known
    std::vector<std::int64_t> caseIds;  // 0: in no case
    TextPool descs;
    TextPool categories;
    TextPool locations;

    std::size_t size() const { return ids.size(); }
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

// The status of the item on a row whose columns from `first` on are
// testnext, testlast and testinterval.
TestsDue::Status statusOfRow(const Sql::Statement& row, int first, bool failed, TestsDue::Day today,
                             int soonDays);
TestsDue::Due dueOfRow(const Sql::Statement& row, int first, bool failed, TestsDue::Day today,
                       int soonDays);

// Every item not in date, and the counts of all.
bool read(Sql::Connection& db, const TestsDue::Window& window, DueList& list);

}  // namespace DueReader
