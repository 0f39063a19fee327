#include "data/StoreSetup.h"

#include "base/Progress.h"
#include "data/Register.h"
#include "data/Settings.h"
#include "data/engine/Sql.h"
#include "data/register/Backups.h"

namespace {

// A long job's window (Dialogs::progress) and its line on a terminal
// (TerminalProgress) show once the job has run half a second: the wait is
// handed over that much early, so that the user sees it once the server has
// been silent for the seam's time.
constexpr int kProgressShownAfterMs = 500;

// The wait for the server shown as a job without a count: the words alone,
// Cancel stopping the wait. No window (a command line's log): it goes on.
class ProgressWaiting : public Sql::Waiting {
public:
    explicit ProgressWaiting(std::unique_ptr<Progress> progress) : progress_(std::move(progress)) {}
    bool goOn() override { return !progress_ || progress_->report(0, 0); }

private:
    std::unique_ptr<Progress> progress_;
};

}  // namespace

namespace StoreSetup {

QString serverWaitingText(const QString& server) {
    return QStringLiteral("Waiting for the server at %1").arg(server);
}

Sql::WaitingSeam serverWaiting(std::function<std::unique_ptr<Progress>(const QString& what)> show) {
    Sql::WaitingSeam waiting;
    waiting.afterMs = Sql::WaitingSeam::kShownAfterMs - kProgressShownAfterMs;
    waiting.show = [show = std::move(show)](const QString& server) {
        return std::make_unique<ProgressWaiting>(show(serverWaitingText(server)));
    };
    return waiting;
}

int backupsToKeep(const Settings& settings) {
    bool ok = false;
    const int keep = settings.read(SettingsKeys::BackupsToKeep, QString()).trimmed().toInt(&ok);
    return ok && keep > 0 ? keep : Backups::kDefaultToKeep;
}

std::unique_ptr<Register> make(const RegisterLocation& where, const Settings& settings,
                               Seams seams) {
    auto reg = std::make_unique<Register>(where, std::move(seams.failure));
    reg->setBusyWait([&settings] { return settings.busyWaitMs(); });
    reg->setBackupPolicy({std::move(seams.now), [&settings] { return backupsToKeep(settings); },
                          std::move(seams.backupWarning), std::move(seams.backupProgress)});
    if (seams.serverWaiting)
        reg->setServerWaiting(serverWaiting(std::move(seams.serverWaiting)));
    return reg;
}

}  // namespace StoreSetup
