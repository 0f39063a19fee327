#include "data/FilePlatform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace FilePlatform {

namespace fs = std::filesystem;

#ifdef _WIN32

// Write-through: the move is on the disk when the call returns.
std::error_code replaceDurably(const fs::path& from, const fs::path& to) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {};
    return std::error_code(static_cast<int>(GetLastError()), std::system_category());
}

#else

namespace {

// A rename lives in its folder: the folder itself is synced.
std::error_code syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return std::error_code(errno, std::generic_category());
    // Some file systems (and some FUSE mounts of phones) cannot sync a
    // folder; the rename itself has happened all the same.
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0 && error != EINVAL && error != ENOTSUP && error != EROFS)
        return std::error_code(error, std::generic_category());
    return {};
}

}  // namespace

std::error_code replaceDurably(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::rename(from, to, error);
    if (error)
        return error;
    return syncFolder(to.parent_path());
}

#endif

}  // namespace FilePlatform
