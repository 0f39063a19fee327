#include "data/FilePlatform.h"

#include <QFile>
#include <QFileInfo>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

#ifdef Q_OS_UNIX

namespace {

QString failure(const char* what, const QString& path) {
    return QStringLiteral("could not %1 %2: %3")
        .arg(QLatin1String(what), path, QString::fromLocal8Bit(std::strerror(errno)));
}

}  // namespace

QString shareWithFolderGroup(const QString& path) {
    const QByteArray file = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    struct stat folderStat {};
    struct stat fileStat {};
    if (::stat(folder.constData(), &folderStat) != 0)
        return failure("read the folder of", path);
    if (!(folderStat.st_mode & S_ISGID))
        return {};
    if (::stat(file.constData(), &fileStat) != 0)
        return failure("read", path);
    if (fileStat.st_gid != folderStat.st_gid &&
        ::chown(file.constData(), static_cast<uid_t>(-1), folderStat.st_gid) != 0)
        return failure("give the folder's group to", path);
    mode_t mode = (fileStat.st_mode & 07777) | S_IWGRP;
    if (S_ISDIR(fileStat.st_mode))
        mode |= S_ISGID;
    if (::chmod(file.constData(), mode) != 0)
        return failure("give the group write access to", path);
    return {};
}

#else

QString shareWithFolderGroup(const QString&) {
    return {};
}

#endif

}  // namespace FilePlatform
