#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

class Progress;

// Copies of the register in the folder "backups" beside it, made with
// SQLite's online backup, so a register that is in use is copied as one
// consistent state. A copy is written under a temporary name, synced, and
// only then renamed to its own name (RegisterFolder::backupPath): a backup
// under its name is always complete.
namespace Backups {

inline constexpr int kDefaultToKeep = 10;

struct Result {
    bool ok = false;
    QString path;            // the backup, when ok
    QString error;           // in plain words, when not
    bool cancelled = false;  // through the progress: no backup was left
};

// Backs the register up as it is at `when`, then removes the oldest backups
// until `keep` are left (at least one: the new one). `progress` counts the
// pages copied; a cancel leaves no backup and removes none.
Result take(const QString& registerPath, const QDateTime& when, int keep,
            Progress* progress = nullptr);

// True when a backup of the register was taken on that day.
bool takenOn(const QString& registerPath, const QDate& day);

}  // namespace Backups
