#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>

// The register copied into another file, for the handheld device: the whole
// file, or some of its tables, consistently also while the program has the
// register open, built beside the target and renamed over it when complete.
namespace RegisterCopy {

// The register's tables, as the desktop database names them.
const QStringList& registerTables();

struct CopyJob {
    QString desktopDb;
    QStringList tables;  // register tables to copy; empty copies the whole file
    std::filesystem::path target;
    bool overwrite = false;
};

struct CopyHooks {
    int pagesPerStep = 4096;
    // Asked after every step of the copy (a run of pages, or one table);
    // false stops the copy as a failure would. Tests fail copies part-way.
    std::function<bool()> carryOn;
};

enum class CopyResult {
    Done,
    DesktopMissing,     // no file at the desktop path
    NotADatabase,       // not an SQLite register holding the tables asked for
    AccessDenied,       // the target folder or file cannot be written
    DiskFull,           // no room left where the target goes
    TargetExists,       // and overwrite is off
    FolderUnavailable,  // a file stands where a target folder has to be
    Failed,             // anything else, also a copy stopped part-way
};

// Writes the desktop register (or some of its tables) to job.target. The
// copy is built in a temporary file beside the target and renamed over it
// once complete, so the target is either the old file or the whole new one.
// The desktop file is only ever read.
CopyResult copy(const CopyJob& job, const CopyHooks& hooks = {});

}  // namespace RegisterCopy
