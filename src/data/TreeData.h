#pragma once

#include <QHash>
#include <cstdint>
#include <vector>

#include "base/TextPool.h"
#include "data/rules/Bookings.h"
#include "data/rules/TestsDue.h"

// Everything the main tree shows, in the order it shows it:
//   items by id (and how many of them have each test status); cases in stored order, each with the
//   items whose caseID names it (by id); lists in stored order, each with its ListData rows.
// Groups are kept as offsets into flat arrays ("start[i] .. start[i+1]").
struct TreeData {
    std::vector<std::int64_t> itemIds;
    TextPool itemTexts;
    TestsDue::Counts testCounts;

    std::vector<std::int64_t> caseIds;
    TextPool caseTexts;
    std::vector<std::int32_t> caseItemStart{0};  // cases + 1 entries
    std::vector<std::int32_t> caseItems;         // index into itemIds

    std::vector<std::int64_t> listIds;
    TextPool listTexts;
    std::vector<std::int32_t> listLineStart{0};  // lists + 1 entries
    std::vector<std::int64_t> lineItemIds;
    TextPool lineTexts;
    QHash<qint64, ListPlan> listPlans;  // of the lists that have one, by list id

    // Nothing shown, the arrays' room kept for the next read.
    void clearKeepingRoom() {
        itemIds.clear();
        itemTexts.clear();
        testCounts = {};
        caseIds.clear();
        caseTexts.clear();
        caseItemStart.assign(1, 0);
        caseItems.clear();
        listIds.clear();
        listTexts.clear();
        listLineStart.assign(1, 0);
        lineItemIds.clear();
        lineTexts.clear();
        listPlans.clear();
    }
};
