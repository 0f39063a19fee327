#include "data/TreeReader.h"

#include <algorithm>
#include <unordered_map>

#include "data/Sqlite.h"

namespace TreeReader {

namespace {

using Sqlite::Statement;

// Items by id and the cases in stored order, then each case's items grouped
// under it in id order.
bool readItemsAndCases(Sqlite::Connection& db, TreeData& tree) {
    std::vector<std::optional<std::int64_t>> caseOfItem;
    Statement items(db, R"(SELECT "id", "desc", "caseID" FROM "Items" ORDER BY "id")");
    while (items.step()) {
        tree.itemIds.push_back(items.integer(0));
        tree.itemTexts.append(items.utf8(1));
        caseOfItem.push_back(items.wholeNumber(2));
    }
    if (!items.ok())
        return false;

    std::unordered_map<std::int64_t, std::int32_t> caseIndex;
    Statement cases(db, R"(SELECT "id", "FName" FROM "Cases" ORDER BY "id")");
    while (cases.step()) {
        caseIndex.emplace(cases.integer(0), static_cast<std::int32_t>(tree.caseIds.size()));
        tree.caseIds.push_back(cases.integer(0));
        tree.caseTexts.append(cases.utf8(1));
    }
    if (!cases.ok())
        return false;

    std::vector<std::int32_t> owner(caseOfItem.size(), -1);
    std::vector<std::int32_t> count(tree.caseIds.size() + 1, 0);
    for (std::size_t i = 0; i < caseOfItem.size(); ++i) {
        if (!caseOfItem[i])
            continue;
        const auto found = caseIndex.find(*caseOfItem[i]);
        if (found == caseIndex.end())
            continue;
        owner[i] = found->second;
        ++count[static_cast<std::size_t>(found->second) + 1];
    }
    tree.caseItemStart.assign(tree.caseIds.size() + 1, 0);
    for (std::size_t c = 0; c < tree.caseIds.size(); ++c)
        tree.caseItemStart[c + 1] = tree.caseItemStart[c] + count[c + 1];
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
bool readLists(Sqlite::Connection& db, TreeData& tree) {
    std::unordered_map<std::int64_t, std::int32_t> listIndex;
    Statement lists(db, R"(SELECT "id", "ListName" FROM "Lists" ORDER BY "id")");
    while (lists.step()) {
        listIndex.emplace(lists.integer(0), static_cast<std::int32_t>(tree.listIds.size()));
        tree.listIds.push_back(lists.integer(0));
        tree.listTexts.append(lists.utf8(1));
    }
    if (!lists.ok())
        return false;

    struct Line {
        std::int32_t list;
        std::int64_t item;
        std::uint32_t text;  // index into rawTexts
    };
    std::vector<Line> lines;
    TextPool rawTexts;
    Statement data(db, R"(SELECT "listid", "itemid", "itemdesc" FROM "ListData")");
    while (data.step()) {
        const auto listId = data.wholeNumber(0);
        const auto itemId = data.wholeNumber(1);
        if (!listId || !itemId)
            continue;
        const auto found = listIndex.find(*listId);
        if (found == listIndex.end())
            continue;
        lines.push_back({found->second, *itemId, static_cast<std::uint32_t>(rawTexts.size())});
        rawTexts.append(data.utf8(2));
    }
    if (!data.ok())
        return false;

    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        return a.list != b.list ? a.list < b.list : a.item < b.item;
    });
    std::vector<std::int32_t> count(tree.listIds.size() + 1, 0);
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

bool read(Sqlite::Connection& db, TreeData& tree) {
    return readItemsAndCases(db, tree) && readLists(db, tree);
}

}  // namespace TreeReader
