#pragma once

#include <QString>

#include "data/engine/RegisterLocation.h"

class RegisterEngine;
namespace Sql {
struct Failure;
}

// What this user may do with the register, found before any work starts, so
// that it is said once, in plain words, what is true: the register's real
// path, the folder it is in, and the group to join when the group has the
// access the user lacks (as the file system tells: FilePlatform). A
// register "does not exist" only when nothing is at its path.
namespace RegisterAccess {

enum class May { ReadAndWrite, OnlyRead, Nothing };

struct Finding {
    May may = May::ReadAndWrite;
    QString reason;       // what this user may not do, and where; empty with ReadAndWrite
    QString advice;       // what to do about it
    bool absent = false;  // nothing is at the path: then, and only then, it "does not exist"

    // For a message box: the reason, then the advice; empty with ReadAndWrite.
    QString text() const;
    // For the command line: the same on one line.
    QString line() const;
};

// An upgrade of the package moves the earlier version's register `from` to
// `to`, and leaves it in place when that is not safe. While `to` is missing
// and `from` is there, the register is said to be waiting for that move,
// with the command that finishes it, never to be missing.
struct Upgrade {
    QString from;
    QString to;
};
// The Debian package's: up to 1.2.22 the register lived in the program's
// folder under /opt.
Upgrade packageUpgrade();

// The register file `path`, its links followed as far as this user may see;
// nothing is opened (the folder may get a passing probe file).
Finding ofFile(const QString& path, const Upgrade& upgrade = packageUpgrade());
// Whether this user may save in the folder: make files there (SQLite's
// journal) and write its data.mdb, when there is one.
Finding ofFolder(const QString& folder);
// A register on a server: whether it lets this user in, found by signing in
// once. Writing is not tried.
Finding ofServer(const RegisterLocation& location, int busyWaitMs);
// A register whose engine would not open it (a server that refuses the
// sign-in or has no such database): the engine's explanation, as the
// windows give it, and its own words.
Finding refusedBy(const RegisterEngine& engine, const Sql::Failure& failure);
// Either, by the register's kind.
Finding of(const RegisterLocation& location, int busyWaitMs);

}  // namespace RegisterAccess
