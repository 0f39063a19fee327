#include "data/ItemSelect.h"

#include <QtGlobal>
#include <algorithm>

ItemSelect::ItemSelect(std::initializer_list<ItemColumn> columns, std::span<const ItemColumn> more)
    : columns_(columns) {
    columns_.insert(columns_.end(), more.begin(), more.end());
}

std::string ItemSelect::sql(std::string_view rest, std::string_view table) const {
    std::string prefix;
    if (!table.empty())
        prefix.append("\"").append(table).append("\".");
    std::string sql = "SELECT ";
    sql.append(prefix).append(R"("id")");
    for (const ItemColumn c : columns_)
        sql.append(", ").append(prefix).append("\"").append(columnSpec(c).name).append("\"");
    return sql.append(" ").append(rest);
}

int ItemSelect::at(ItemColumn column) const {
    const auto found = std::find(columns_.begin(), columns_.end(), column);
    // A column not asked for is a programming error, never a state of the data.
    if (found == columns_.end())
        qFatal("ItemSelect: column %s was not selected", columnSpec(column).name);
    return static_cast<int>(found - columns_.begin()) + 1;
}
