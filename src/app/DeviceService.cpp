#include "app/DeviceService.h"

#include <QEventLoop>
#include <QLibrary>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>

#include "adofiltr/DeviceCodes.h"
#include "base/Progress.h"
#include "data/engine/SoundStates.h"

namespace {

using DesktopToDevice = qint32 (*)(const char*, const char*, qint32, qint32, const char*);

// Between the copy's thread, which counts its steps and asks whether to go
// on, and the window's thread, which shows them and hears Cancel; and what
// the copy asks and tells of the register states found sound.
struct Watch {
    std::atomic<std::int64_t> steps{0};
    std::atomic<bool> stop{false};
    SoundStates* sound = nullptr;

    static std::int32_t carryOn(void* context, std::int64_t steps) {
        auto* watch = static_cast<Watch*>(context);
        watch->steps = steps;
        return watch->stop ? 0 : 1;
    }
    static Sqlite::FileState stateOf(const QuarvelFileState& state) {
        return {QString::fromUtf8(state.file), state.size,     state.modifiedMs, state.bornMs,
                state.changeCounter,           state.pageCount};
    }
    static std::int32_t knownSound(void* context, const QuarvelFileState* state) {
        return static_cast<Watch*>(context)->sound->holds(stateOf(*state)) ? 1 : 0;
    }
    static void foundSound(void* context, const QuarvelFileState* state) {
        static_cast<Watch*>(context)->sound->remember(stateOf(*state));
    }
};

// How often the window's thread passes the steps on to the progress.
constexpr int kReportEveryMs = 100;

}  // namespace

DeviceService::DeviceService(QString library, std::shared_ptr<SoundStates> sound)
    : library_(std::move(library)), sound_(std::move(sound)) {}

DeviceService::Call DeviceService::desktopToDevice(const QByteArray& desktopDb,
                                                   const QByteArray& tableList, qint32 synchronise,
                                                   qint32 overwrite, const QByteArray& deviceDb,
                                                   Progress* progress) const {
    Call call;
    QLibrary library(library_);
    const auto entry = reinterpret_cast<DesktopToDevice>(library.resolve("DESKTOPTODEVICE"));
    if (!entry) {
        call.failure = library.errorString();
        return call;
    }
    const auto checked = sound_ ? reinterpret_cast<DesktopToDeviceCheckedFunction>(
                                      library.resolve("DESKTOPTODEVICECHECKED"))
                                : nullptr;
    const auto watched = progress && !checked ? reinterpret_cast<DesktopToDeviceWatchedFunction>(
                                                    library.resolve("DESKTOPTODEVICEWATCHED"))
                                              : nullptr;
    Watch watch;
    watch.sound = sound_.get();
    // A large register takes a while to copy: the window keeps painting meanwhile.
    std::unique_ptr<QThread> worker(QThread::create([&] {
        const char* const desktop = desktopDb.constData();
        const char* const tables = tableList.constData();
        const char* const device = deviceDb.constData();
        if (checked)
            call.result = checked(desktop, tables, synchronise, overwrite, device,
                                  progress ? &Watch::carryOn : nullptr, &Watch::knownSound,
                                  &Watch::foundSound, &watch);
        else if (watched)
            call.result =
                watched(desktop, tables, synchronise, overwrite, device, &Watch::carryOn, &watch);
        else
            call.result = entry(desktop, tables, synchronise, overwrite, device);
        call.returned = true;
    }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer reports;
    QObject::connect(&reports, &QTimer::timeout, [&] {
        if (!progress->report(watch.steps, 0))
            watch.stop = true;
    });
    if (progress && (watched || checked))
        reports.start(kReportEveryMs);
    worker->start();
    loop.exec();
    worker->wait();
    return call;
}
