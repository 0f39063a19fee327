#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "data/rules/Columns.h"

// The rows that CSV import and export hand to the store and take from it.

// One column's value as the store writes it: no value (NULL), a UTF-8
// text, or a number (whole numbers exactly).
struct ImportedValue {
    enum class Kind : std::uint8_t { NoValue, Text, Whole, Real };
    Kind kind = Kind::NoValue;
    std::string text;
    qint64 whole = 0;
    double real = 0;

    void setText(std::string_view utf8) {
        kind = Kind::Text;
        text.assign(utf8);
    }
    void setWhole(qint64 number) {
        kind = Kind::Whole;
        whole = number;
    }
    void setReal(double number) {
        kind = Kind::Real;
        real = number;
    }
};

// One item to add, indexed like kItemColumns.
struct ImportedItem {
    qint64 id = 0;  // 0: the item takes a new id
    std::array<ImportedValue, kItemDataColumnCount> values;
};

enum class ImportStep {
    Item,    // the item is filled in: add it
    End,     // no more items
    Failed,  // stop and add nothing (the reason is given)
};

// What one import adds, in one transaction.
struct ItemImportPlan {
    std::vector<qint64> casesToCreate;  // ids of flight cases that do not exist yet
    QStringList locationsToAdd;         // names the location list may not hold yet
    qint64 highestFileId = 0;           // new ids are given above it
    qint64 itemCount = 0;               // how many items next hands over (for the progress)
    qint64 newIdCount = 0;              // how many of them take a new id
    // Fills in the next item, in file order. On Failed, *why says what went wrong.
    std::function<ImportStep(ImportedItem& item, QString* why)> next;
};

struct ImportCounts {
    qint64 items = 0;
    qint64 newIds = 0;  // items that took a new id
    qint64 casesCreated = 0;
    qint64 locationsAdded = 0;
};

// In an export row, an empty text is a view on this mark; any other empty
// view is a column that holds no value (NULL). Files tell the two apart.
inline constexpr char kEmptyTextMark[1] = "";
inline constexpr std::string_view kEmptyText{kEmptyTextMark, 0};
inline bool isEmptyText(std::string_view value) {
    return value.empty() && value.data() == kEmptyTextMark;
}

// The lists a CSV export can hold.
enum class ExportKind {
    Items,      // every item
    CaseItems,  // the items in one flight case
    ListLines,  // the lines of one picking list with their items' fields
    Bookings,   // every line of every list with dates or a state
    Changes,    // the change log (from a day on)
};
