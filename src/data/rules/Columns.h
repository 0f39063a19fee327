#pragma once

#include <cstddef>
#include <iterator>
#include <span>
#include <string_view>

// The columns of the two record tables, written once: the schema, the
// records, the store's reads and writes, the readers and the detail lines
// all follow these tables. Adding a column is its row here (at the end of
// its table, with the register version whose upgrade step adds it and its
// captions), its enumerator, and that upgrade step in Schema.cpp.

// How a column's value is stored.
enum class ColumnType {
    Text,    // exactly what was typed
    Number,  // a number; the windows show it without a decimal point when whole
};

// What a column's value means, and so how a window edits and checks it.
enum class ColumnKind {
    Text,      // free text
    Number,    // a number, typed as text
    Date,      // a date as the date picker writes it ("7/3/2008")
    File,      // the path of a document chosen with the open-file dialog
    Case,      // the id of the flight case that holds the item; 0: none
    Location,  // a name from the location list
};

// How the windows show a column: the caption of its detail line and, for a
// column typed into an input box, the noun of the item editor's prompt.
struct ColumnCaptions {
    const char* viewer = nullptr;  // the main window and the viewers
    const char* editor = nullptr;  // the item editor; nullptr: the viewer's caption
    const char* promptNoun = "";   // "Please enter a new <noun> for this item"
};

struct ColumnSpec {
    const char* name;  // as stored; names compare without regard to letter case
    ColumnType type;
    ColumnKind kind;
    ColumnCaptions captions = {};
    int sinceVersion = 1;  // the register version that added the column
};

// The columns of Items the code names, one for each row of kItemColumns
// below and in its order: the column's position in the table.
enum class ItemColumn {
    Desc,
    Category,
    Manufacturer,
    Model,
    Dom,
    TestInterval,
    TestLast,
    TestNext,
    TestPatResult,
    TestPressureResult,
    VisualInspectionResult,
    LolerInspectionResult,
    CalibrationCert,
    CaseId,
    WarehouseLoc,
    Notes,
    Length,
    Serial,
};

// Table Items, in stored order after "id".
inline constexpr ColumnSpec kItemColumns[] = {
    {"desc", ColumnType::Text, ColumnKind::Text, {"Description: ", nullptr, "Description"}},
    {"category", ColumnType::Text, ColumnKind::Text, {"Category: ", nullptr, "Category"}},
    {"manufacturer",
     ColumnType::Text,
     ColumnKind::Text,
     {"Manufacturer: ", nullptr, "Manufacturer"}},
    {"model", ColumnType::Text, ColumnKind::Text, {"Model: ", nullptr, "Model"}},
    {"dom", ColumnType::Text, ColumnKind::Date, {"Date of Manufacture: "}},
    {"testinterval",
     ColumnType::Text,
     ColumnKind::Text,
     {"Test Interval: ", nullptr, "Test Interval"}},
    {"testlast", ColumnType::Text, ColumnKind::Date, {"Last Test Date: "}},
    {"testnext", ColumnType::Text, ColumnKind::Date, {"Next Test Date: "}},
    {"testpatresult", ColumnType::Text, ColumnKind::File, {"PAT Test Result: ", "PAT Test: "}},
    {"testpressureresult",
     ColumnType::Text,
     ColumnKind::File,
     {"Pressure Test Result: ", "Pressure Test: "}},
    {"visualinspectionresult",
     ColumnType::Text,
     ColumnKind::Text,
     {"Visual Inspection Result: ", "Visual Inspection: ", "Visual Inspection"}},
    {"lolerinspectionresult",
     ColumnType::Text,
     ColumnKind::File,
     {"LOLER Inspection Result: ", "LOLER Inspection: "}},
    {"calibrationcert", ColumnType::Text, ColumnKind::File, {"Calibration Certificate: "}},
    {"caseID", ColumnType::Number, ColumnKind::Case, {"Flight Case: F"}},
    {"warehouseloc", ColumnType::Text, ColumnKind::Location, {"Warehouse Location: "}},
    {"notes", ColumnType::Text, ColumnKind::Text, {"Notes: ", nullptr, "Note"}},
    {"length", ColumnType::Number, ColumnKind::Number, {"Length: ", nullptr, "Length"}},
    {"serial", ColumnType::Text, ColumnKind::Text, {"Serial: ", nullptr, "Serial"}},
};

// The columns of Cases, one for each row of kCaseColumns and in its order.
enum class CaseColumn { Name, Location, Bought, Notes, Wheeled };

// Table Cases, in stored order after "id".
inline constexpr ColumnSpec kCaseColumns[] = {
    {"FName", ColumnType::Text, ColumnKind::Text, {"Name: "}},
    {"FLocation", ColumnType::Text, ColumnKind::Location, {"Location: "}},
    {"FBought", ColumnType::Text, ColumnKind::Date, {"Bought: "}},
    {"FNotes", ColumnType::Text, ColumnKind::Text, {"Notes: "}},
    {"FWheeled", ColumnType::Text, ColumnKind::Text, {"Has Wheels?: "}},  // "Yes" or "No"
};

inline constexpr int kItemDataColumnCount = static_cast<int>(std::size(kItemColumns));
inline constexpr int kCaseDataColumnCount = static_cast<int>(std::size(kCaseColumns));

inline constexpr const ColumnSpec& columnSpec(ItemColumn c) {
    return kItemColumns[static_cast<int>(c)];
}
inline constexpr const ColumnSpec& columnSpec(CaseColumn c) {
    return kCaseColumns[static_cast<int>(c)];
}

namespace ColumnChecks {
constexpr bool named(const ColumnSpec& c, std::string_view name) {
    return c.name == name;
}
constexpr bool captioned(std::span<const ColumnSpec> columns) {
    for (const ColumnSpec& c : columns) {
        if (c.captions.viewer == nullptr)
            return false;
    }
    return true;
}
}  // namespace ColumnChecks

// Every row has its enumerator and its caption.
static_assert(static_cast<int>(ItemColumn::Serial) + 1 == kItemDataColumnCount &&
              static_cast<int>(CaseColumn::Wheeled) + 1 == kCaseDataColumnCount);
static_assert(ColumnChecks::named(columnSpec(ItemColumn::Desc), "desc") &&
              ColumnChecks::named(columnSpec(ItemColumn::TestNext), "testnext") &&
              ColumnChecks::named(columnSpec(ItemColumn::CaseId), "caseID") &&
              ColumnChecks::named(columnSpec(ItemColumn::Serial), "serial") &&
              ColumnChecks::named(columnSpec(CaseColumn::Wheeled), "FWheeled"));
static_assert(ColumnChecks::captioned(kItemColumns) && ColumnChecks::captioned(kCaseColumns));
