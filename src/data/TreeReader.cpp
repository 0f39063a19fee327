#include "data/TreeReader.h"

#include <algorithm>
#include <optional>

#include "base/LargePages.h"
#include "data/DueReader.h"
#include "data/engine/Sql.h"

namespace TreeReader {

namespace {

using Sql::Statement;

// The rows a table holds, so that its arrays are sized once (see
// TextPool::reserveRows).
std::optional<std::size_t> countRows(Sql::Connection& db, const char* sql) {
    Statement count(db, sql);
    if (!count.step())
        return std::nullopt;
    return static_cast<std::size_t>(std::max<std::int64_t>(count.integer(0), 0));
}

// Steps `rows` to its first row and gives how many rows it gives: known
// once it has run where the engine reads its whole answer at once (a
// server), otherwise counted by countSql in the same read. False when a
// statement fails.
bool startRows(Sql::Connection& db, const char* countSql, Statement& rows, std::size_t* count,
               bool* hasRow) {
    *hasRow = rows.step();
    if (!rows.ok())
        return false;
    std::optional<std::size_t> known = rows.rowCount();
    if (!known)
        known = countRows(db, countSql);
    *count = known.value_or(0);
    return known.has_value();
}

// The position of each of a table's ids, read in id order. Ids handed out by
// the counters are dense, so a table by id does; other ids are searched.
class PositionById {
public:
    explicit PositionById(const std::vector<std::int64_t>& sortedIds) : ids_(sortedIds) {
        const std::int64_t largest = ids_.empty() ? 0 : ids_.back();
        const bool dense = !ids_.empty() && ids_.front() >= 0 &&
                           largest <= 4 * static_cast<std::int64_t>(ids_.size()) + 1024;
        if (!dense)
            return;
        table_.assign(static_cast<std::size_t>(largest) + 1, -1);
        for (std::size_t i = 0; i < ids_.size(); ++i)
            table_[static_cast<std::size_t>(ids_[i])] = static_cast<std::int32_t>(i);
    }

    // -1 when no row has that id.
    std::int32_t find(std::optional<std::int64_t> id) const {
        if (!id)
            return -1;
        if (!table_.empty())
            return *id >= 0 && static_cast<std::size_t>(*id) < table_.size()
                       ? table_[static_cast<std::size_t>(*id)]
                       : -1;
        const auto found = std::lower_bound(ids_.begin(), ids_.end(), *id);
        return found != ids_.end() && *found == *id
                   ? static_cast<std::int32_t>(found - ids_.begin())
                   : -1;
    }

private:
    const std::vector<std::int64_t>& ids_;
    std::vector<std::int32_t> table_;
};

// The cases by id.
bool readCases(Sql::Connection& db, TreeData& tree) {
    Statement cases(db, R"(SELECT "id", "FName" FROM "Cases" ORDER BY "id")");
    std::size_t rows = 0;
    bool row = false;
    if (!startRows(db, R"(SELECT COUNT(*) FROM "Cases")", cases, &rows, &row))
        return false;
    tree.caseIds.reserve(rows);
    tree.caseTexts.reserveRows(rows);
    for (; row; row = cases.step()) {
        tree.caseIds.push_back(cases.integer(0));
        tree.caseTexts.append(cases.utf8(1));
    }
    return cases.ok();
}

// Items by id, each with the position of its case (-1: in no case that
// exists), and the count of their test statuses.
bool readItems(Sql::Connection& db, const TestsDue::Window& window, TreeData& tree,
               const PositionById& caseOfId, std::vector<std::int32_t>& owner) {
    DueReader::FailedItems failed;
    if (!failed.read(db))
        return false;
    const TestsDue::Day today = TestsDue::dayOf(window.today);
    const ItemSelect select({ItemColumn::Desc, ItemColumn::CaseId}, DueReader::kDueColumns);
    DueReader::RowRule rule(select, today, window.soonDays);
    const int desc = select.at(ItemColumn::Desc);
    const int caseId = select.at(ItemColumn::CaseId);
    Statement items(db, select.sql(R"(FROM "Items" ORDER BY "id")"));
    std::size_t rows = 0;
    bool row = false;
    if (!startRows(db, R"(SELECT COUNT(*) FROM "Items")", items, &rows, &row))
        return false;
    tree.itemIds.reserve(rows);
    tree.itemTexts.reserveRows(rows);
    owner.reserve(rows);
    LargePages::prefer(tree.itemIds);
    LargePages::prefer(owner);
    for (; row; row = items.step()) {
        const std::int64_t id = items.integer(ItemSelect::kId);
        tree.itemIds.push_back(id);
        tree.itemTexts.append(items.utf8(desc));
        owner.push_back(caseOfId.find(items.wholeNumber(caseId)));
        tree.testCounts.add(rule.statusOf(items, failed.contains(id)));
    }
    return items.ok();
}

// Items by id and the cases in stored order, then each case's items grouped
// under it in id order.
bool readItemsAndCases(Sql::Connection& db, const TestsDue::Window& window, TreeData& tree) {
    if (!readCases(db, tree))
        return false;
    std::vector<std::int32_t> owner;
    if (!readItems(db, window, tree, PositionById(tree.caseIds), owner))
        return false;

    std::vector<std::int32_t> count(tree.caseIds.size() + 1, 0);
    for (const std::int32_t c : owner) {
        if (c >= 0)
            ++count[static_cast<std::size_t>(c) + 1];
    }
    tree.caseItemStart.assign(tree.caseIds.size() + 1, 0);
    for (std::size_t c = 0; c < tree.caseIds.size(); ++c)
        tree.caseItemStart[c + 1] = tree.caseItemStart[c] + count[c + 1];
    tree.caseItems.reserve(static_cast<std::size_t>(tree.caseItemStart.back()));
    LargePages::prefer(tree.caseItems);
    tree.caseItems.resize(static_cast<std::size_t>(tree.caseItemStart.back()));
    std::vector<std::int32_t> next(tree.caseItemStart.begin(), tree.caseItemStart.end() - 1);
    for (std::size_t i = 0; i < owner.size(); ++i) {
        if (owner[i] >= 0)
            tree.caseItems[static_cast<std::size_t>(next[owner[i]]++)] =
                static_cast<std::int32_t>(i);
    }
    return true;
}

// The lists in stored order, each with its lines by item id; a pair that
// repeats is shown once.
bool readLists(Sql::Connection& db, TreeData& tree) {
    Statement lists(db, R"(SELECT "id", "ListName" FROM "Lists" ORDER BY "id")");
    std::size_t listCount = 0;
    bool row = false;
    if (!startRows(db, R"(SELECT COUNT(*) FROM "Lists")", lists, &listCount, &row))
        return false;
    tree.listIds.reserve(listCount);
    tree.listTexts.reserveRows(listCount);
    for (; row; row = lists.step()) {
        tree.listIds.push_back(lists.integer(0));
        tree.listTexts.append(lists.utf8(1));
    }
    if (!lists.ok())
        return false;
    const PositionById listOfId(tree.listIds);

    struct Line {
        std::int64_t item;
        std::int32_t list;
        std::uint32_t text;  // index into rawTexts
    };
    Statement data(db, R"(SELECT "listid", "itemid", "itemdesc" FROM "ListData")");
    std::size_t lineCount = 0;
    if (!startRows(db, R"(SELECT COUNT(*) FROM "ListData")", data, &lineCount, &row))
        return false;
    std::vector<Line> lines;
    TextPool rawTexts;
    lines.reserve(lineCount);
    LargePages::prefer(lines);
    rawTexts.reserveRows(lineCount);
    for (; row; row = data.step()) {
        const std::int32_t list = listOfId.find(data.wholeNumber(0));
        const auto itemId = data.wholeNumber(1);
        if (list < 0 || !itemId)
            continue;
        lines.push_back({*itemId, list, static_cast<std::uint32_t>(rawTexts.size())});
        rawTexts.append(data.utf8(2));
    }
    if (!data.ok())
        return false;

    // By list and item, in the order read within a pair (the text's place
    // grows with it): sorted in place, without a stable sort's buffer.
    std::sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        if (a.list != b.list)
            return a.list < b.list;
        return a.item != b.item ? a.item < b.item : a.text < b.text;
    });
    std::vector<std::int32_t> count(tree.listIds.size() + 1, 0);
    tree.lineItemIds.reserve(lines.size());
    LargePages::prefer(tree.lineItemIds);
    tree.lineTexts.reserve(lines.size(), rawTexts.byteCount());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0 && lines[i].list == lines[i - 1].list && lines[i].item == lines[i - 1].item)
            continue;
        tree.lineItemIds.push_back(lines[i].item);
        tree.lineTexts.append(rawTexts.view(lines[i].text));
        ++count[static_cast<std::size_t>(lines[i].list) + 1];
    }
    tree.listLineStart.assign(tree.listIds.size() + 1, 0);
    for (std::size_t l = 0; l < tree.listIds.size(); ++l)
        tree.listLineStart[l + 1] = tree.listLineStart[l] + count[l + 1];
    return true;
}

}  // namespace

bool read(Sql::Connection& db, const TestsDue::Window& window, TreeData& tree) {
    return readItemsAndCases(db, window, tree) && readLists(db, tree);
}

}  // namespace TreeReader
