#include "data/GroupAccess.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace GroupAccess {

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

}  // namespace GroupAccess
