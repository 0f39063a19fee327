#pragma once

#include <QString>

namespace Sqlite {
class Connection;
}

// The tables of a Quarvel register.
namespace Schema {

// The statements that write a new, empty register.
const char* const* createStatements(int* count);

// What the register lacks of the six tables and their columns, in words
// ("table Items has no column desc"); empty when nothing is missing.
QString missingPart(Sqlite::Connection& db);

}  // namespace Schema
