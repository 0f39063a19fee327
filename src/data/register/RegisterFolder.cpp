#include "data/register/RegisterFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
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

const QString kStampFormat = QStringLiteral("yyyyMMdd-HHmmss");

// What a register's backups are named after: its file name without ".mdb".
QString backupStem(const QString& registerPath) {
    const QString name = QFileInfo(realFile(registerPath)).fileName();
    return name.endsWith(QStringLiteral(".mdb"), Qt::CaseInsensitive) ? name.chopped(4) : name;
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
        backupStem(registerPath) + QLatin1Char('-') + when.toLocalTime().toString(kStampFormat);
    QString path = backups.filePath(stem + QStringLiteral(".mdb"));
    for (int n = 2; isTaken(path); ++n)
        path = backups.filePath(QStringLiteral("%1-%2.mdb").arg(stem).arg(n));
    return path;
}

QDate backupDay(const QString& registerPath, const QString& fileName) {
    const QRegularExpression name(
        QRegularExpression::anchoredPattern(QRegularExpression::escape(backupStem(registerPath)) +
                                            QStringLiteral("-(\\d{8})-\\d{6}(-\\d+)?\\.mdb")));
    const QRegularExpressionMatch match = name.match(fileName);
    return match.hasMatch() ? QDate::fromString(match.captured(1), QStringLiteral("yyyyMMdd"))
                            : QDate();
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
