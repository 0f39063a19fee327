#include "data/StoreSetup.h"

#include "data/Settings.h"
#include "data/Store.h"
#include "data/register/Backups.h"

namespace StoreSetup {

int backupsToKeep(const Settings& settings) {
    bool ok = false;
    const int keep = settings.read(SettingsKeys::BackupsToKeep, QString()).trimmed().toInt(&ok);
    return ok && keep > 0 ? keep : Backups::kDefaultToKeep;
}

std::unique_ptr<Store> make(const RegisterLocation& where, const Settings& settings, Seams seams) {
    auto store = std::make_unique<Store>(where, std::move(seams.failure));
    store->setBusyWait([&settings] { return settings.busyWaitMs(); });
    store->setBackupPolicy({std::move(seams.now), [&settings] { return backupsToKeep(settings); },
                            std::move(seams.backupWarning), std::move(seams.backupProgress)});
    return store;
}

}  // namespace StoreSetup
