#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <functional>

namespace adofiltr {

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

// Writes the desktop register (or some of its tables) to job.target. The
// copy is built in a temporary file beside the target and renamed over it
// once complete, so the target is either the old file or the whole new one.
// The desktop file is only ever read. Returns a QuarvelDeviceCode.
std::int32_t copyRegister(const CopyJob& job, const CopyHooks& hooks = {});

}  // namespace adofiltr
