#pragma once

#include <QList>
#include <optional>
#include <vector>

#include "base/TextPool.h"
#include "data/DueReader.h"
#include "data/rules/Records.h"
#include "data/rules/TestsDue.h"

class Register;

// The items' safety tests: which are due, each item's and each case's test
// state, recording a test done and reading an item's history.
class TestRecordStore {
public:
    explicit TestRecordStore(Register& reg) : reg_(reg) {}

    // Every item that is not in date, and the counts of all items; with
    // dueBy also every item in date that is due by then.
    std::optional<DueList> due(const TestsDue::Window& window,
                               std::optional<TestsDue::Day> dueBy = std::nullopt);
    // How many of the flight case's items have each status.
    std::optional<TestsDue::Counts> caseCounts(qint64 caseId, const TestsDue::Window& window);
    // The flight case's own row (none when it is not stored), its items (id,
    // desc by id) and their counts, in one read.
    struct CaseItems {
        QList<CaseRecord> cases;
        IdTextRows items;
        TestsDue::Counts tests;
    };
    std::optional<CaseItems> caseItems(qint64 caseId, const TestsDue::Window& window);
    // When one item's next test is due; nullopt when the item is gone (said
    // nothing) or the read failed (the user was told).
    std::optional<TestsDue::Due> itemDue(qint64 id, const TestsDue::Window& window);
    // Adds the test to the item's history and moves its last test date to
    // the test's date and its next one to that date plus the item's
    // interval (empty when the interval cannot be read), in one transaction.
    // A test older than the item's last test date is kept in the history
    // but moves no date back.
    RecordTestResult record(qint64 itemId, const TestRecord& test);
    // The item's tests, newest first.
    std::optional<QList<TestRecord>> history(qint64 itemId);
    // The ids of deleted items whose tests are kept, ascending: no other
    // item is ever given one of them.
    std::optional<std::vector<qint64>> deletedItemsWithTests();

private:
    Register& reg_;
};
