#pragma once

#include <cstddef>
#include <iterator>

// The columns of the two record tables, written once: the schema, the
// records, the store's reads and writes and the item editor's lines all
// follow these tables. Adding a column is one line here (at the end of its
// table, with the register version whose upgrade step adds it), that step
// in Schema.cpp and the column's caption in the windows.

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

struct ColumnSpec {
    const char* name;  // as stored; names compare without regard to letter case
    ColumnType type;
    ColumnKind kind;
    int sinceVersion = 1;  // the register version that added the column
};

// Table Items, in stored order after "id".
inline constexpr ColumnSpec kItemColumns[] = {
    {"desc", ColumnType::Text, ColumnKind::Text},
    {"category", ColumnType::Text, ColumnKind::Text},
    {"manufacturer", ColumnType::Text, ColumnKind::Text},
    {"model", ColumnType::Text, ColumnKind::Text},
    {"dom", ColumnType::Text, ColumnKind::Date},
    {"testinterval", ColumnType::Text, ColumnKind::Text},
    {"testlast", ColumnType::Text, ColumnKind::Date},
    {"testnext", ColumnType::Text, ColumnKind::Date},
    {"testpatresult", ColumnType::Text, ColumnKind::File},
    {"testpressureresult", ColumnType::Text, ColumnKind::File},
    {"visualinspectionresult", ColumnType::Text, ColumnKind::Text},
    {"lolerinspectionresult", ColumnType::Text, ColumnKind::File},
    {"calibrationcert", ColumnType::Text, ColumnKind::File},
    {"caseID", ColumnType::Number, ColumnKind::Case},
    {"warehouseloc", ColumnType::Text, ColumnKind::Location},
    {"notes", ColumnType::Text, ColumnKind::Text},
    {"length", ColumnType::Number, ColumnKind::Number},
    {"serial", ColumnType::Text, ColumnKind::Text},
};

// Table Cases, in stored order after "id".
inline constexpr ColumnSpec kCaseColumns[] = {
    {"FName", ColumnType::Text, ColumnKind::Text},
    {"FLocation", ColumnType::Text, ColumnKind::Location},
    {"FBought", ColumnType::Text, ColumnKind::Date},
    {"FNotes", ColumnType::Text, ColumnKind::Text},
    {"FWheeled", ColumnType::Text, ColumnKind::Text},  // "Yes" or "No"
};

inline constexpr int kItemDataColumnCount = static_cast<int>(std::size(kItemColumns));
inline constexpr int kCaseDataColumnCount = static_cast<int>(std::size(kCaseColumns));
