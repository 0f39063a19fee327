#include "data/register/SafeReplace.h"

#include "data/register/FilePlatform.h"

namespace SafeReplace {

namespace fs = std::filesystem;

fs::path partialOf(const fs::path& target) {
    return fs::path(target).concat(".partial");
}

void removeLeftover(const fs::path& target) {
    const fs::path partial = partialOf(target);
    std::error_code ignored;
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        fs::remove(fs::path(partial).concat(suffix), ignored);
}

Outcome replace(const fs::path& target, const std::function<bool(const fs::path& partial)>& write) {
    removeLeftover(target);
    Outcome outcome;
    const fs::path partial = partialOf(target);
    outcome.written = write(partial);
    if (outcome.written)
        outcome.error = FilePlatform::syncFile(partial);
    if (outcome.written && !outcome.error)
        outcome.error = FilePlatform::replaceDurably(partial, target);
    if (!outcome.ok())
        removeLeftover(target);
    return outcome;
}

}  // namespace SafeReplace
