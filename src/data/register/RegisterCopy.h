#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>

#include "data/engine/Sqlite.h"

// The register copied into another file, for the handheld device: the whole
// file, or some of its tables, consistently also while the program has the
// register open, built beside the target under a fixed name and renamed over
// it when complete and checked.
namespace RegisterCopy {

// The register's tables, as the desktop database names them.
const QStringList& registerTables();

struct CopyJob {
    QString desktopDb;
    QStringList tables;  // register tables to copy; empty copies the whole file
    std::filesystem::path target;
    bool overwrite = false;
    // The device's root folder, when the target lies on one: nothing is
    // written outside it, whatever links its folders hold.
    std::filesystem::path root;
};

struct CopyHooks {
    int pagesPerStep = 4096;
    // Asked after every step of the copy (a run of pages, or one table);
    // false stops the copy as a failure would. Tests fail copies part-way.
    std::function<bool()> carryOn;
    // Called once the checks are done, before the first byte is written;
    // tests fill the device there.
    std::function<void()> beforeWriting;
    // The room left in a folder; tests make a device look full without one.
    std::function<std::uintmax_t(const std::filesystem::path& folder)> freeSpace;
    // Asked, when the whole file was copied as its bytes, with the state of
    // the desktop file those bytes hold: true when SQLite's full check has
    // already found the file in exactly that state sound. The copy is then
    // only checked to be whole and of that state, not read again in full.
    std::function<bool(const Sqlite::FileState& state)> knownSound;
    // Told that state once the copy's own full check found it sound.
    std::function<void(const Sqlite::FileState& state)> foundSound;
};

enum class CopyResult {
    Done,
    DesktopMissing,     // no file at the desktop path
    NotADatabase,       // not an SQLite register with every table and column the program needs
    Damaged,            // the copy fails SQLite's integrity check: the register is damaged
    InUse,              // the register stays locked, or holds a cut-off save that cannot be
                        // rolled back; or another copy is writing the same target
    AccessDenied,       // the target folder or file cannot be written
    DiskFull,           // no room where the target goes (also found before writing)
    TargetExists,       // and overwrite is off
    FolderUnavailable,  // a file stands where a target folder has to be, or the folder went away
    OutsideRoot,        // a link on the way to the target leads out of job.root
    RootGone,           // job.root went away during the copy
    Failed,             // anything else, also a copy stopped part-way
};

// The name under which the copy is built beside the target. A copy that was
// killed leaves it; the next copy to that target removes it first.
std::filesystem::path partialFileOf(const std::filesystem::path& target);

// Writes the desktop register (or some of its tables) to job.target. The
// copy is built in partialFileOf(target), kept with a rollback journal,
// checked with SQLite's integrity check (unless hooks.knownSound vouches for
// the state copied) and renamed over the target once complete, so the
// target is either the old file or the whole new one. The
// desktop file is only read, but a save that a crash cut off in it is rolled
// back first, as any program opening it would.
CopyResult copy(const CopyJob& job, const CopyHooks& hooks = {});

}  // namespace RegisterCopy
