#include "app/AppContext.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSysInfo>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/DeviceService.h"
#include "base/Progress.h"
#include "common/Clock.h"
#include "common/Dialogs.h"
#include "data/CaseStore.h"
#include "data/ChangeStore.h"
#include "data/ChangeWatcher.h"
#include "data/IdStore.h"
#include "data/ItemStore.h"
#include "data/ListStore.h"
#include "data/LocationStore.h"
#include "data/Register.h"
#include "data/ScanStore.h"
#include "data/Settings.h"
#include "data/StoreSetup.h"
#include "data/TestRecordStore.h"
#include "data/TreeStore.h"
#include "printing/PrintService.h"
#include "printing/PrinterCatalog.h"

namespace {

// A damaged register: the user may have it repaired at once.
void offerRepair(Register& reg, Dialogs& dialogs, const QString& message) {
    if (!dialogs.askYesNo(nullptr, message + QStringLiteral("\n\nTry to repair it now?"),
                          Dialogs::Icon::Warning))
        return;
    const std::unique_ptr<Progress> progress =
        dialogs.progress(nullptr, QStringLiteral("Repairing the register"));
    const RegisterRepair::Outcome outcome = reg.repairDamaged(progress.get());
    if (outcome.cancelled) {
        dialogs.inform(nullptr, QStringLiteral("You cancelled the repair: the register was left "
                                               "as it was. It stays open for reading only."));
        return;
    }
    if (outcome.repaired) {
        dialogs.inform(nullptr,
                       QStringLiteral("Quarvel repaired the register: it now holds what could "
                                      "still be read of the damaged one, and you can save "
                                      "again. Check the records you changed last.\n\nThe "
                                      "damaged file is kept as:\n%1")
                           .arg(QDir::toNativeSeparators(outcome.keptAs)),
                       Dialogs::Icon::Information);
        return;
    }
    dialogs.inform(nullptr,
                   QStringLiteral("Quarvel could not repair the register: %1.\n\nIt stays open "
                                  "for reading only. Restore data.mdb from a backup.")
                       .arg(outcome.failure),
                   Dialogs::Icon::Critical);
}

}  // namespace

// The check's thread reads the register while the program works on; the
// result comes back through the receiver, which lives on the program's
// thread, or through a save that waited for it, whichever takes it first. A
// check still running when the program ends is stopped, not waited for.
struct AppContext::FullCheck {
    // The day changes while the program runs; an hour is soon enough to notice.
    static constexpr int kDayChangeCheckMs = 60 * 60 * 1000;
    // A save that waits for the check shows it only once it has waited this
    // long: a small register's check is over before anyone would notice.
    static constexpr int kWaitShownAfterMs = 500;
    static constexpr int kWaitPollMs = 10;

    QObject receiver;
    QTimer nextDay;
    QDate lastDay;
    std::thread thread;
    std::atomic<bool> running{false};   // from its start until the register has its finding
    std::atomic<bool> finished{false};  // the thread has its finding
    std::atomic<Register::Health> found{Register::Health::Unknown};
    std::atomic<bool> stop{false};
    int started = 0;  // counts the checks, so a late report of an earlier one is let go

    // The finding, for a save that waits for it (and then hands it to the
    // register itself). Nullopt when the user stopped the wait; the check goes
    // on, and reports as usual.
    std::optional<Register::Health> await(Dialogs& dialogs) {
        QElapsedTimer waited;
        waited.start();
        std::unique_ptr<Progress> progress;
        while (!finished) {
            if (!progress && waited.elapsed() >= kWaitShownAfterMs)
                progress = dialogs.progress(nullptr, QStringLiteral("Checking the register"));
            if (progress && !progress->report(0, 0))
                return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(kWaitPollMs));
        }
        running = false;
        return found.load();
    }

    ~FullCheck() {
        stop = true;
        if (thread.joinable())
            thread.join();
    }
};

// The stores the windows are handed, each over the one register.
struct AppContext::Stores {
    explicit Stores(Register& reg)
        : items(reg),
          cases(reg),
          ids(reg),
          lists(reg),
          locations(reg),
          tests(reg),
          tree(reg),
          scans(reg),
          changes(reg) {}
    ItemStore items;
    CaseStore cases;
    IdStore ids;
    ListStore lists;
    LocationStore locations;
    TestRecordStore tests;
    TreeStore tree;
    ScanStore scans;
    ChangeStore changes;
};

Services Services::forProgram(const RegisterLocation& location) {
    Services s;
    const QDir folder(QCoreApplication::applicationDirPath());
    s.location = location;
    s.deviceLibrary = folder.filePath(QStringLiteral("adofiltr"));
    s.dialogs = std::make_shared<QtDialogs>();
    s.clock = std::make_shared<Clock>();
    s.printers = std::make_shared<PrinterCatalog>();
    // Who scans is stored with each scan session.
    s.userName = computerUserName();
    s.deskName = computerDeskName();
    return s;
}

QString Services::computerUserName() {
    return qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
}

QString Services::computerDeskName() {
    return QSysInfo::machineHostName();
}

AppContext::AppContext(Services services) : services_(std::move(services)) {
    if (!services_.dialogs)
        services_.dialogs = std::make_shared<QtDialogs>();
    if (!services_.clock)
        services_.clock = std::make_shared<Clock>();
    if (!services_.printers)
        services_.printers = std::make_shared<PrinterCatalog>();

    // Failures of the register and of printing reach the user in a critical box.
    Dialogs* dialogs = services_.dialogs.get();
    const FailureReporter tellUser = [dialogs](const QString& message) {
        dialogs->inform(nullptr, message, Dialogs::Icon::Critical);
    };
    // A failed backup is a warning, and work goes on.
    const FailureReporter warnUser = [dialogs](const QString& message) {
        dialogs->inform(nullptr, message, Dialogs::Icon::Warning);
    };
    settings_ = std::make_unique<Settings>(services_.settingsFile);
    const Clock* clock = services_.clock.get();
    register_ = StoreSetup::make(
        services_.location, *settings_,
        {tellUser, warnUser, [clock] { return clock->now(); },
         [dialogs] {
             return dialogs->progress(nullptr, QStringLiteral("Backing up the register"));
         },
         // A server that keeps the windows waiting.
         [dialogs](const QString& what) { return dialogs->progress(nullptr, what); }});
    // Every change is logged with who made it and at which desk.
    if (services_.deskName.isEmpty())
        services_.deskName = Services::computerDeskName();
    register_->setAuthor({services_.userName, services_.deskName});
    Register* reg = register_.get();
    register_->setReadOnlyNotice([reg, dialogs](const ReadOnlyReason& why, const QString& message) {
        if (why.cause == ReadOnlyCause::Damaged)
            offerRepair(*reg, *dialogs, message);
        else
            dialogs->inform(nullptr, message, Dialogs::Icon::Warning);
    });
    // A save made before the day's full check has reported waits for it.
    register_->checkFullyBeforeWrites([this] {
        if (!fullCheckRunning())
            startFullCheck();
        return fullCheck_->await(*services_.dialogs);
    });
    stores_ = std::make_unique<Stores>(*register_);
    printing_ = std::make_unique<PrintService>(*settings_, stores_->items, stores_->cases, tellUser,
                                               services_.printers);
    device_ = std::make_unique<DeviceService>(services_.deviceLibrary, register_->soundStates());
    watcher_ = std::make_unique<ChangeWatcher>(*register_);
}

ItemStore& AppContext::items() {
    return stores_->items;
}

CaseStore& AppContext::cases() {
    return stores_->cases;
}

IdStore& AppContext::ids() {
    return stores_->ids;
}

ListStore& AppContext::lists() {
    return stores_->lists;
}

LocationStore& AppContext::locations() {
    return stores_->locations;
}

TestRecordStore& AppContext::tests() {
    return stores_->tests;
}

TreeStore& AppContext::tree() {
    return stores_->tree;
}

ScanStore& AppContext::scans() {
    return stores_->scans;
}

ChangeStore& AppContext::changes() {
    return stores_->changes;
}

AppContext::~AppContext() {
    fullCheck_.reset();  // before the register it reports to
}

void AppContext::checkFullyOnceADay() {
    if (fullCheck_ && (fullCheck_->running || fullCheck_->lastDay == services_.clock->today()))
        return;
    startFullCheck();
}

void AppContext::startFullCheck() {
    if (!fullCheck_) {
        fullCheck_ = std::make_unique<FullCheck>();
        fullCheck_->nextDay.setInterval(FullCheck::kDayChangeCheckMs);
        QObject::connect(&fullCheck_->nextDay, &QTimer::timeout, &fullCheck_->receiver,
                         [this] { checkFullyOnceADay(); });
        fullCheck_->nextDay.start();
    }
    FullCheck& check = *fullCheck_;
    check.lastDay = services_.clock->today();
    if (check.thread.joinable())
        check.thread.join();  // an earlier one, long finished
    check.running = true;
    check.finished = false;
    const int started = ++check.started;
    // The state found sound spares the device copy of that state its own check.
    check.thread =
        std::thread([&check, started, reg = register_.get(), location = services_.location,
                     waitMs = settings_->busyWaitMs(), sound = register_->soundStates()] {
            check.found = Register::fullCheck(
                location, waitMs, [&check] { return check.stop.load(); }, sound.get());
            check.finished = true;
            QMetaObject::invokeMethod(
                &check.receiver,
                [&check, started, reg] {
                    // Not when a waiting save has taken it already.
                    if (started == check.started && check.running.exchange(false))
                        reg->takeDamageCheck(check.found, Register::Check::Full);
                },
                Qt::QueuedConnection);
        });
}

bool AppContext::fullCheckRunning() const {
    return fullCheck_ && fullCheck_->running;
}

bool AppContext::isWindowOpen(const QString& objectName) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == objectName && w->isVisible())
            return true;
    }
    return false;
}

TestsDue::Window AppContext::testWindow() const {
    return {services_.clock->today(), settings_->testDueSoonDays()};
}
