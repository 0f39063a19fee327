#include "data/register/Backups.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "base/Progress.h"
#include "data/engine/Sqlite.h"
#include "data/register/FilePlatform.h"
#include "data/register/RegisterFolder.h"
#include "data/register/SafeReplace.h"

namespace Backups {

namespace {

// A writer in another program holds the register for moments only; the copy
// waits for it this long in all before it gives up.
constexpr int kBusyRetries = 100;
constexpr int kBusyPauseMs = 50;
// With a progress the pages go in runs, so that it can be told and heard.
constexpr int kPagesPerStep = 1024;

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
// another program writes. The backup gets the register's own access before a
// page is written, so that no one may read it who may not read the register
// (a setgid folder gives it the register's group).
QString copyRegister(const QString& registerPath, const QString& target, Progress* progress) {
    QString error;
    {
        Sqlite::Connection from(registerPath, Sqlite::Open::ReadOnly);
        Sqlite::Connection to(target, Sqlite::Open::Create);
        if (to.isOpen() && !QFile::setPermissions(target, QFile::permissions(registerPath)))
            return QStringLiteral("the access of %1 could not be set")
                .arg(QDir::toNativeSeparators(target));
        Sqlite::Connection::PageCopy how{-1, kBusyRetries, kBusyPauseMs, {}};
        if (progress) {
            std::int64_t total = 0;
            if (from.isOpen()) {
                Sqlite::Statement pages(from, "PRAGMA page_count");
                total = pages.step() ? pages.integer(0) : 0;
            }
            how.pagesPerStep = kPagesPerStep;
            how.carryOn = [progress, total, done = std::int64_t(0)]() mutable {
                done = std::min(done + kPagesPerStep, total);
                return progress->report(done, total);
            };
        }
        // A full sync at the end of the copy: the backup is on the disk
        // before it gets its name.
        const bool copied = from.isOpen() && to.isOpen() && to.exec("PRAGMA synchronous = FULL") &&
                            from.copyPagesInto(to, how) == Sqlite::Connection::PageCopyEnd::Done;
        if (Progress::wasCancelled(progress))
            error = QStringLiteral("it was cancelled");
        else if (!copied) {
            const auto& failure = from.failure() ? from.failure() : to.failure();
            error = failure ? failure->text : QStringLiteral("unknown error");
        }
    }
    return error;
}

}  // namespace

Result take(const QString& registerPath, const QDateTime& when, int keep, Progress* progress) {
    Result result;
    const QString folder = RegisterFolder::backupFolder(registerPath);
    result.error = prepareFolder(folder);
    if (!result.error.isEmpty())
        return result;
    const QString path = RegisterFolder::backupPath(registerPath, when);
    const SafeReplace::Outcome written =
        SafeReplace::replace(path.toStdU16String(), [&](const std::filesystem::path& partial) {
            result.error = copyRegister(registerPath,
                                        QString::fromStdU16String(partial.u16string()), progress);
            return result.error.isEmpty();
        });
    result.cancelled = Progress::wasCancelled(progress);
    if (!written.written)
        return result;
    if (written.error) {
        result.error =
            QStringLiteral("the copy could not be named %1").arg(QDir::toNativeSeparators(path));
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
