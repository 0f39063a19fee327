#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/rules/Columns.h"

// A reader's select list over Items, built from the column model: "id"
// first, then the columns asked for; where each column stands in a row is
// asked of it, never counted by hand.
class ItemSelect {
public:
    static constexpr int kId = 0;  // the place of "id"

    ItemSelect(std::initializer_list<ItemColumn> columns, std::span<const ItemColumn> more = {});

    // "SELECT "id", "desc", ..." followed by `rest` (FROM, WHERE, ORDER BY);
    // with a table, each column is named as that table's ("Items"."id").
    std::string sql(std::string_view rest, std::string_view table = {}) const;
    // The place of a column asked for in each row.
    int at(ItemColumn column) const;
    // How many columns it selects: the place of an expression that `rest`
    // adds after them.
    int width() const { return static_cast<int>(columns_.size()) + 1; }

private:
    std::vector<ItemColumn> columns_;
};
