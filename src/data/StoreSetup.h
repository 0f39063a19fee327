#pragma once

#include <QDateTime>
#include <functional>
#include <memory>

#include "base/FailureReporter.h"
#include "data/engine/RegisterLocation.h"
#include "data/engine/Sql.h"

class Progress;
class Settings;
class Register;

// The register as the program works with it, set up the same way for the
// windows and for the command line: how long it waits for a busy register
// and how many backups it keeps are settings, read afresh at each use.
namespace StoreSetup {

// Where the register's words go, and the clock its backups are named by.
struct Seams {
    FailureReporter failure;        // a failed operation
    FailureReporter backupWarning;  // a failed backup; work goes on
    std::function<QDateTime()> now;
    std::function<std::unique_ptr<Progress>()> backupProgress;  // none: not shown
    // The window that tells that the register's server keeps an operation
    // waiting (`what` is its text), its Cancel stopping the operation. None:
    // the operation waits without a word.
    std::function<std::unique_ptr<Progress>(const QString& what)> serverWaiting;
};

// `settings` must outlive the register.
std::unique_ptr<Register> make(const RegisterLocation& where, const Settings& settings,
                               Seams seams);

// What the window says while the server at `server` (as the connection
// names it) keeps an operation waiting.
QString serverWaitingText(const QString& server);
// The wait for a server shown through `show` (a long job's window, given
// the text above), for server connections made outside the register (the
// device's copy of a server register); make() sets the register's the same way.
Sql::WaitingSeam serverWaiting(std::function<std::unique_ptr<Progress>(const QString& what)> show);

// BackupsToKeep: Backups::kDefaultToKeep when not stored or not a whole
// number above 0.
int backupsToKeep(const Settings& settings);

}  // namespace StoreSetup
