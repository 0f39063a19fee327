#include "data/register/Backups.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include "data/engine/Sqlite.h"
#include "data/register/FilePlatform.h"
#include "data/register/RegisterFolder.h"

namespace Backups {

namespace {

// A writer in another program holds the register for moments only; the copy
// waits for it this long in all before it gives up.
constexpr int kBusyRetries = 100;
constexpr int kBusyPauseMs = 50;

// This register's backups, older ones first: the names carry the time they
// were taken (RegisterFolder::backupPath). Another register's in the same
// folder are not among them.
QStringList backupsOf(const QString& registerPath) {
    const QDir folder(RegisterFolder::backupFolder(registerPath));
    QStringList names = folder.entryList({QStringLiteral("*.mdb")}, QDir::Files, QDir::Name);
    names.removeIf([&registerPath](const QString& name) {
        return !RegisterFolder::backupDay(registerPath, name).isValid();
    });
    return names;
}

// The folder is used as it is when it exists: it may belong to someone
// else (the package's to root), whose folder this user may not change. Only
// a folder made here and now is shared with the group.
QString prepareFolder(const QString& folder) {
    if (QFileInfo(folder).isDir())
        return {};
    if (!QDir().mkdir(folder))
        return QStringLiteral("the folder %1 could not be made")
            .arg(QDir::toNativeSeparators(folder));
    return FilePlatform::shareWithFolderGroup(folder);
}

void keepNewest(const QString& registerPath, int keep) {
    const QDir folder(RegisterFolder::backupFolder(registerPath));
    QStringList names = backupsOf(registerPath);
    while (names.size() > std::max(keep, 1))
        QFile::remove(folder.filePath(names.takeFirst()));
}

// Copies every page of the register into `target` in one pass, waiting while
// another program writes.
bool copyPages(Sqlite::Connection& from, Sqlite::Connection& to, QString* error) {
    sqlite3_backup* backup = sqlite3_backup_init(to.handle(), "main", from.handle(), "main");
    if (!backup) {
        *error = QString::fromUtf8(sqlite3_errmsg(to.handle()));
        return false;
    }
    int rc = SQLITE_OK;
    for (int tries = 0; tries < kBusyRetries; ++tries) {
        rc = sqlite3_backup_step(backup, -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        QThread::msleep(kBusyPauseMs);
    }
    sqlite3_backup_finish(backup);
    if (rc == SQLITE_DONE)
        return true;
    *error = QString::fromUtf8(sqlite3_errstr(rc));
    return false;
}

}  // namespace

Result take(const QString& registerPath, const QDateTime& when, int keep) {
    Result result;
    const QString folder = RegisterFolder::backupFolder(registerPath);
    result.error = prepareFolder(folder);
    if (!result.error.isEmpty())
        return result;
    const QString path = RegisterFolder::backupPath(registerPath, when);
    const QString partial = path + QStringLiteral(".partial");
    QFile::remove(partial);
    bool copied = false;
    {
        Sqlite::Connection from(registerPath, Sqlite::Open::ReadOnly);
        Sqlite::Connection to(partial, Sqlite::Open::Create);
        // A full sync at the end of the copy: the backup is on the disk
        // before it gets its name.
        copied = from.isOpen() && to.isOpen() && to.exec("PRAGMA synchronous = FULL") &&
                 copyPages(from, to, &result.error);
        if (!copied && result.error.isEmpty()) {
            const auto& failure = from.failure() ? from.failure() : to.failure();
            result.error = failure ? failure->text : QStringLiteral("unknown error");
        }
    }
    // The new backup belongs to the group that shares the register (a setgid
    // folder gives it the group; its maker adds the group's access).
    if (copied) {
        result.error = FilePlatform::shareWithFolderGroup(partial);
        copied = result.error.isEmpty();
    }
    if (copied && FilePlatform::replaceDurably(partial.toStdU16String(), path.toStdU16String())) {
        copied = false;
        result.error =
            QStringLiteral("the copy could not be named %1").arg(QDir::toNativeSeparators(path));
    }
    if (!copied) {
        QFile::remove(partial);
        return result;
    }
    keepNewest(registerPath, keep);
    result.ok = true;
    result.path = path;
    return result;
}

bool takenOn(const QString& registerPath, const QDate& day) {
    const QStringList names = backupsOf(registerPath);
    return std::any_of(names.begin(), names.end(), [&](const QString& name) {
        return RegisterFolder::backupDay(registerPath, name) == day;
    });
}

}  // namespace Backups
