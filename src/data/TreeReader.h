#pragma once

#include "data/TreeData.h"

namespace Sql {
class Connection;
}

// Reads everything the main tree shows in three statements, straight into
// the flat arrays of TreeData. False on a failed statement (recorded on the
// connection).
namespace TreeReader {
bool read(Sql::Connection& db, TreeData& tree);
}
