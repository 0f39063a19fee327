#pragma once

#include <QString>

class Progress;

// A damaged register mended into a new file: what SQLite can still read of
// it, checked, put in its place, with the damaged file kept beside it.
namespace RegisterRepair {

struct Outcome {
    bool repaired = false;
    QString keptAs;          // where the damaged file is kept, when repaired
    QString failure;         // why not, in words, when not
    bool cancelled = false;  // through the progress: nothing was changed
};

// First VACUUM INTO a copy (quick, and exact where the damage lies in
// nothing it reads); where that fails, the rows of every table copied one
// table at a time, so that a damaged index does not matter, and the indexes
// built anew (of the damaged file's schema only plain CREATE statements are
// run, each on its own; its schema is never trusted). The copy must pass SQLite's integrity check
// and hold every table and column of a register; then the damaged file (with its journal) is
// renamed to "<name>-damaged-<date>-<time>.<suffix>" and the copy takes its name. Nothing is
// changed when any step fails, nor when the user cancels through `progress`
// (which counts SQLite's work, its total not known beforehand).
Outcome repair(const QString& registerPath, Progress* progress = nullptr);

}  // namespace RegisterRepair
