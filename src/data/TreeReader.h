#pragma once

#include "data/TreeData.h"
#include "data/rules/TestsDue.h"

namespace Sql {
class Connection;
}

// Reads everything the main tree shows in three statements, straight into
// the flat arrays of TreeData, and counts the items' test statuses on the
// window's today in the same pass. False on a failed statement (recorded on
// the connection).
namespace TreeReader {
bool read(Sql::Connection& db, const TestsDue::Window& window, TreeData& tree);
}
