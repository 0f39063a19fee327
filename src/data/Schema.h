#pragma once

#include <QString>
#include <optional>
#include <span>

struct sqlite3;

namespace Sqlite {
class Connection;
}

// The tables of a Quarvel register and the versions of their layout. A
// register records its version in SQLite's user_version; version 1 is the
// layout of the first program (a file that records 0 but holds its tables is
// taken as version 1). Newer versions only add tables and columns, so a
// register upgraded here still opens in a program that knows only version 1.
namespace Schema {

// The layout this program reads and writes.
inline constexpr int kCurrentVersion = 1;

// One upgrade step: brings a register of version - 1 to `version`. The
// columns of the column model that came with `version` are added before
// `apply` runs (which may be null).
struct Step {
    int version;
    bool (*apply)(Sqlite::Connection& db);
};

// This program's steps, oldest first.
std::span<const Step> upgradeSteps();

// Writes the tables of the current version into an empty database, in the
// caller's transaction.
bool create(Sqlite::Connection& db);

// The version a register records; 0 with the first layout's tables counts
// as 1. Nullopt (with a failure on the connection) when it cannot be read.
std::optional<int> versionOf(Sqlite::Connection& db);

// Brings the register from `from` to the last version of `steps`, step by
// step, in the caller's transaction, and records the new version.
bool upgrade(Sqlite::Connection& db, int from, std::span<const Step> steps = upgradeSteps());

// What the register lacks of the tables and their columns, in words ("its
// table Items has no column desc", "its Items is a view, not a table");
// empty when nothing is missing or the names cannot be read.
QString missingPart(sqlite3* db);

}  // namespace Schema
