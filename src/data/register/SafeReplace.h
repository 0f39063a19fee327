#pragma once

#include <filesystem>
#include <functional>
#include <system_error>

// How a file is written anew without ever leaving half of it under its
// name: the new file is written beside the target under a passing name,
// put on the disk, and swapped in with one rename, so that the target is
// whole before and after, the old file or the new one. Backups, the repair,
// the device copy and the register copy all write their files this way.
namespace SafeReplace {

// The passing name beside the target: the target's name and ".partial".
std::filesystem::path partialOf(const std::filesystem::path& target);

// Removes what a run killed while writing left beside the target: the
// partial file and the side files SQLite keeps beside a database.
void removeLeftover(const std::filesystem::path& target);

struct Outcome {
    bool written = false;   // the writer made the partial file
    std::error_code error;  // why the sync or the swap failed, when it did
    bool ok() const { return written && !error; }
};

// Removes a leftover, lets `write` make the new file at partialOf(target)
// (closed when it returns), syncs it and puts it in the target's place.
// Whatever fails, the partial file is removed and the target is as it was.
Outcome replace(const std::filesystem::path& target,
                const std::function<bool(const std::filesystem::path& partial)>& write);

}  // namespace SafeReplace
