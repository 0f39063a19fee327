#include "data/register/RegisterFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace RegisterFolder {

namespace {

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
    QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    // A link to a file not made yet (the package's link before its register
    // exists), or in a folder this user may not open, still names where the
    // file belongs. (The canonical path would be the link's own there.)
    for (int links = 0; links < 8 && info.isSymLink(); ++links)
        info.setFile(info.symLinkTarget());
    return QDir::cleanPath(info.absoluteFilePath());
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

}  // namespace RegisterFolder
