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

}  // namespace

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
