#pragma once

#include <QDateTime>
#include <QString>

// The register data.mdb lives in the program's folder, or where a link of
// that name in the program's folder leads (the Debian package links it to
// /var/lib/quarvel, the folder the group "quarvel" shares). SQLite writes its
// journal beside the real file, so saving needs that folder and the file
// writable.
namespace RegisterFolder {

// The register the program in `programFolder` works on: data.mdb there, or,
// when that is a link, the file it leads to (even one not made yet), so that
// the journal, the backups and every message are about the real file.
QString registerIn(const QString& programFolder);

// The file `path` names with every link followed; `path` made absolute when
// it is no link.
QString realFile(const QString& path);

// Where a backup of the register taken at `when` goes: in the folder
// "backups" beside the real register file (links followed), named after the
// register and `when` in local time, NAME-YYYYMMDD-HHMMSS.mdb (stock.mdb's
// as stock-20261209-101500.mdb), with -2, -3 and so on added when that name
// is taken. Makes nothing.
QString backupPath(const QString& registerPath, const QDateTime& when);

// The day a backup of the register was taken, read from the backup's file
// name; an invalid date for a name that is no backup of this register (the
// backup of another register in the same folder, say).
QDate backupDay(const QString& registerPath, const QString& fileName);

// The folder "backups" beside the real register file.
QString backupFolder(const QString& registerPath);

}  // namespace RegisterFolder
