#pragma once

#include <QString>

#include "data/engine/RegisterLocation.h"

class Progress;
namespace Sql {
struct WaitingSeam;
}

// A register moved between a file and a server (either way, or between two
// of a kind): every row of every table, with its ids and the counters, so
// that labels already printed still name their records. The target is made
// in one transaction: it holds either the whole register or, after a
// failure, nothing (a file target is written beside its place and takes it
// only when whole). A target that already holds a register is refused, and
// so is a source file that SQLite's full check finds damaged (an index
// among it); the source is only read.
namespace RegisterTransfer {

struct Outcome {
    bool ok = false;
    QString error;           // what went wrong, in words, when not ok
    qint64 rows = 0;         // rows copied, over all tables
    bool cancelled = false;  // through the progress: the target holds nothing
};

// `progress` counts the rows copied (their total is not known beforehand).
// A server that keeps the copy waiting is shown through `waiting`, when
// given; stopping the wait fails the copy.
Outcome copy(const RegisterLocation& from, const RegisterLocation& to, Progress* progress = nullptr,
             const Sql::WaitingSeam* waiting = nullptr);

}  // namespace RegisterTransfer
