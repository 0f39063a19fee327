#include "data/RegisterFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace RegisterFolder {

namespace {

const QString kCannotSave = QStringLiteral(
    "You can look things up, but nothing you change can be saved.\n\n"
    "To fix it, ask your administrator to give you write access there. Where Quarvel was "
    "installed from its package, that means adding you to the group \"quarvel\" "
    "(sudo adduser YOUR-USER-NAME quarvel) and logging out and in again.");

// Tried by writing, since permission bits alone miss read-only media and
// access lists.
bool canCreateFileIn(const QString& folder) {
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".quarvel-write-check-XXXXXX")));
    return probe.open();
}

// A name counts as taken even by a link that leads nowhere.
bool isTaken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

}  // namespace

QString registerIn(const QString& programFolder) {
    const QString path = QDir(programFolder).filePath(QStringLiteral("data.mdb"));
    return QFileInfo(path).isSymLink() ? realFile(path) : path;
}

QString realFile(const QString& path) {
    const QFileInfo info(path);
    const QString real = info.canonicalFilePath();
    if (!real.isEmpty())
        return real;
    // A link to a file not made yet (the package's link before its register
    // exists) still names where the file belongs.
    return info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();
}

QString backupFolder(const QString& registerPath) {
    return QFileInfo(realFile(registerPath)).dir().filePath(QStringLiteral("backups"));
}

QString backupPath(const QString& registerPath, const QDateTime& when) {
    const QDir backups(backupFolder(registerPath));
    const QString stem =
        QStringLiteral("data-") + when.toLocalTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = backups.filePath(stem + QStringLiteral(".mdb"));
    for (int n = 2; isTaken(path); ++n)
        path = backups.filePath(QStringLiteral("%1-%2.mdb").arg(stem).arg(n));
    return path;
}

QString writeProblem(const QString& folder) {
    if (!canCreateFileIn(folder))
        return QStringLiteral(
                   "You cannot write to the folder where Quarvel keeps its "
                   "register:\n\n%1\n\n")
                   .arg(QDir::toNativeSeparators(folder)) +
               kCannotSave;
    const QFileInfo reg(QDir(folder).filePath(QStringLiteral("data.mdb")));
    if (reg.exists() && !reg.isWritable())
        return QStringLiteral("You cannot write to Quarvel's register:\n\n%1\n\n")
                   .arg(QDir::toNativeSeparators(reg.filePath())) +
               kCannotSave;
    return {};
}

}  // namespace RegisterFolder
