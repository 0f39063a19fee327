#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <span>

namespace Sql {
class Connection;
}

// The tables of a Quarvel register and the versions of their layout, the same
// on both engines. A register file records its version in SQLite's
// user_version, a register on a server in its table RegisterVersion; version
// 1 is the layout of the first program (a file that records 0 but holds its
// tables is taken as version 1). Newer versions only add tables and columns,
// so a register upgraded here still opens in a program that knows only
// version 1. Each step runs on either engine.
namespace Schema {

// The layout this program reads and writes.
inline constexpr int kCurrentVersion = 5;

// One upgrade step: brings a register of version - 1 to `version`. The
// columns of the column model that came with `version` are added before
// `apply` runs (which may be null).
struct Step {
    int version;
    bool (*apply)(Sql::Connection& db);
};

// This program's steps, oldest first.
std::span<const Step> upgradeSteps();

// Writes the tables of `version` (the current one unless given) into an
// empty database, in the caller's transaction.
bool create(Sql::Connection& db, int version = kCurrentVersion);

// The version a register records; 0 with the first layout's tables counts
// as 1, and 0 is a database without them. Nullopt (with a failure on the
// connection) when it cannot be read.
std::optional<int> versionOf(Sql::Connection& db);

// Keeps other programs from upgrading the register until the caller's
// transaction ends (a file is already held whole by a write).
bool lockVersion(Sql::Connection& db);

// Brings the register from `from` to the last version of `steps`, step by
// step, in the caller's transaction, and records the new version.
bool upgrade(Sql::Connection& db, int from, std::span<const Step> steps = upgradeSteps());

// A table of the register as `version` has it: its name and its columns in
// stored order (a server's Locations also has its key "rowid", which a file
// keeps as SQLite's own rowid).
struct Table {
    const char* name;
    QStringList columns;
};
QList<Table> tablesOf(int version, bool onServer);

// The SQL type of the key of a record table, of a number column and of a
// text column, for CREATE TABLE and ALTER TABLE on that engine.
const char* keyType(const Sql::Connection& db);
const char* numberType();
const char* textType();

// What the register lacks of the tables and their columns of the version it
// records (a register of version 1 has no TestHistory, and lacks nothing for
// that), in words ("its table Items has no column desc", "its Items is a
// view, not a table"); empty when nothing is missing or the names cannot be
// read.
QString missingPart(Sql::Connection& db);

}  // namespace Schema
