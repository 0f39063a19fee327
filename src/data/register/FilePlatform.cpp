#include "data/register/FilePlatform.h"

#include <QFile>
#include <QFileInfo>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <cstdio>
#else
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>
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

std::error_code syncFile(const fs::path& file) {
    const HANDLE handle =
        CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::error_code(static_cast<int>(GetLastError()), std::system_category());
    std::error_code error;
    if (!FlushFileBuffers(handle))
        error = std::error_code(static_cast<int>(GetLastError()), std::system_category());
    CloseHandle(handle);
    return error;
}

#else

namespace {

// Some file systems (and some FUSE mounts of phones) cannot sync a file or a
// folder; what was written or renamed is there all the same.
std::error_code syncOpened(const fs::path& path, int flags) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
    if (fd < 0)
        return std::error_code(errno, std::generic_category());
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0 && error != EINVAL && error != ENOTSUP && error != EROFS)
        return std::error_code(error, std::generic_category());
    return {};
}

// A rename lives in its folder: the folder itself is synced.
std::error_code syncFolder(const fs::path& folder) {
    return syncOpened(folder, O_DIRECTORY);
}

}  // namespace

std::error_code syncFile(const fs::path& file) {
    return syncOpened(file, O_NOFOLLOW);
}

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

// The group reads and writes; a folder is setgid too, so that what is made
// in it stays the group's.
mode_t sharedMode(mode_t mode) {
    mode_t shared = (mode & 07777) | S_IRGRP | S_IWGRP;
    if (S_ISDIR(mode))
        shared |= S_ISGID | S_IXGRP;
    return shared;
}

bool copyBytes(int in, int out) {
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer + done, static_cast<size_t>(got - done));
            if (put < 0 && errno != EINTR)
                return false;
            done += std::max<ssize_t>(put, 0);
        }
    }
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
    const mode_t mode = sharedMode(fileStat.st_mode);
    if (mode != (fileStat.st_mode & 07777) && ::chmod(file.constData(), mode) != 0)
        return failure("give the group write access to", path);
    return {};
}

QString installNewFile(const QString& from, const QString& to) {
    const QByteArray target = QFile::encodeName(to);
    const QByteArray folder = QFile::encodeName(QFileInfo(to).absolutePath());
    struct stat folderStat {};
    if (::stat(folder.constData(), &folderStat) != 0)
        return failure("read the folder of", to);
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0)
        return failure("read", from);
    // O_EXCL: made here and now, never an entry someone put in its way.
    QByteArray passing;
    int out = -1;
    for (int n = 0; out < 0 && n < 100; ++n) {
        passing = target + ".new-" + QByteArray::number(::getpid()) + '-' + QByteArray::number(n);
        out =
            ::open(passing.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (out < 0 && errno != EEXIST)
            break;
    }
    if (out < 0) {
        const QString why = failure("make a file beside", to);
        ::close(in);
        return why;
    }
    struct stat made {};
    bool ok = ::fstat(out, &made) == 0;
    if (ok && (folderStat.st_mode & S_ISGID))
        ok = ::fchmod(out, sharedMode(made.st_mode)) == 0;
    ok = ok && copyBytes(in, out) && ::fsync(out) == 0;
    QString why = ok ? QString() : failure("write", to);
    ::close(in);
    if (::close(out) != 0 && why.isEmpty())
        why = failure("write", to);
    // link() takes no name that is taken, and follows no link there.
    if (why.isEmpty() && ::link(passing.constData(), target.constData()) != 0)
        why = errno == EEXIST ? QStringLiteral("%1 exists already").arg(to) : failure("name", to);
    ::unlink(passing.constData());
    if (const std::error_code synced = syncFolder(folder.constData()); why.isEmpty() && synced)
        why = QStringLiteral("could not write the folder of %1: %2")
                  .arg(to, QString::fromStdString(synced.message()));
    return why;
}

bool isLinkOfAnotherUser(const QString& path) {
    struct stat linkStat {};
    if (::lstat(QFile::encodeName(path).constData(), &linkStat) != 0 || !S_ISLNK(linkStat.st_mode))
        return false;
    return linkStat.st_uid != ::geteuid() && linkStat.st_uid != 0;
}

Presence presenceOf(const QString& path) {
    struct stat entry {};
    if (::lstat(QFile::encodeName(path).constData(), &entry) == 0)
        return Presence::Present;
    return errno == EACCES ? Presence::Hidden : Presence::Missing;
}

namespace {

// getgrgid_r and getpwuid_r want room for the entry's texts: more is given
// while they ask for it.
template <class Lookup>
void withRoom(const Lookup& lookup) {
    for (std::size_t size = 4096; size <= (1u << 20); size *= 4) {
        std::vector<char> room(size);
        if (lookup(room.data(), room.size()) != ERANGE)
            return;
    }
}

// This user's name and main group.
struct User {
    QByteArray name;
    std::optional<gid_t> group;
};

User thisUser() {
    User user;
    withRoom([&](char* room, std::size_t size) {
        passwd entry{};
        passwd* found = nullptr;
        const int error = ::getpwuid_r(::geteuid(), &entry, room, size, &found);
        if (error == 0 && found) {
            user.name = found->pw_name;
            user.group = found->pw_gid;
        }
        return error;
    });
    return user;
}

bool runsWithGroup(gid_t group) {
    if (::getegid() == group)
        return true;
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(count, 0)));
    if (count <= 0 || ::getgroups(count, groups.data()) < 0)
        return false;
    return std::find(groups.begin(), groups.end(), group) != groups.end();
}

}  // namespace

GroupAccess groupAccessOf(const QString& path) {
    GroupAccess access;
    struct stat file {};
    if (::stat(QFile::encodeName(path).constData(), &file) != 0)
        return access;
    access.read = file.st_mode & S_IRGRP;
    access.write = file.st_mode & S_IWGRP;
    access.search = file.st_mode & S_IXGRP;
    access.inSession = runsWithGroup(file.st_gid);
    const User user = thisUser();
    access.member = user.group == file.st_gid;
    withRoom([&](char* room, std::size_t size) {
        group entry{};
        group* found = nullptr;
        const int error = ::getgrgid_r(file.st_gid, &entry, room, size, &found);
        if (error != 0 || !found)
            return error;
        access.name = QString::fromLocal8Bit(found->gr_name);
        for (char** member = found->gr_mem; member && *member; ++member)
            access.member = access.member || (!user.name.isEmpty() && user.name == *member);
        return 0;
    });
    return access;
}

QString userName() {
    return QString::fromLocal8Bit(thisUser().name);
}

#else

Presence presenceOf(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink() ? Presence::Present : Presence::Missing;
}

GroupAccess groupAccessOf(const QString&) {
    return {};
}

QString userName() {
    return qEnvironmentVariable("USERNAME");
}

QString shareWithFolderGroup(const QString&) {
    return {};
}

QString installNewFile(const QString& from, const QString& to) {
    if (QFileInfo(to).exists() || QFileInfo(to).isSymLink())
        return QStringLiteral("%1 exists already").arg(to);
    return QFile::copy(from, to) ? QString() : QStringLiteral("could not write %1").arg(to);
}

bool isLinkOfAnotherUser(const QString&) {
    return false;
}

#endif

#ifdef _WIN32
bool standardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}
#else
bool standardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}
#endif

}  // namespace FilePlatform
