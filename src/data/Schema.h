#pragma once

#include <QString>

struct sqlite3;

// The tables of a Quarvel register.
namespace Schema {

// The statements that write a new, empty register.
const char* const* createStatements(int* count);

// What the register lacks of the six tables and their columns, in words
// ("its table Items has no column desc", "its Items is a view, not a
// table"); empty when nothing is missing or the names cannot be read.
QString missingPart(sqlite3* db);

}  // namespace Schema
