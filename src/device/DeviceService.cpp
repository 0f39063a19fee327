#include "device/DeviceService.h"

#include <QEventLoop>
#include <QLibrary>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>

#include "data/Progress.h"
#include "device/adofiltr/DeviceCodes.h"

namespace {

using DesktopToDevice = qint32 (*)(const char*, const char*, qint32, qint32, const char*);

// Between the copy's thread, which counts its steps and asks whether to go
// on, and the window's thread, which shows them and hears Cancel.
struct Watch {
    std::atomic<std::int64_t> steps{0};
    std::atomic<bool> stop{false};

    static std::int32_t carryOn(void* context, std::int64_t steps) {
        auto* watch = static_cast<Watch*>(context);
        watch->steps = steps;
        return watch->stop ? 0 : 1;
    }
};

// How often the window's thread passes the steps on to the progress.
constexpr int kReportEveryMs = 100;

}  // namespace

DeviceService::DeviceService(QString library) : library_(std::move(library)) {}

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
    const auto watched = progress ? reinterpret_cast<DesktopToDeviceWatchedFunction>(
                                        library.resolve("DESKTOPTODEVICEWATCHED"))
                                  : nullptr;
    Watch watch;
    // A large register takes a while to copy: the window keeps painting meanwhile.
    std::unique_ptr<QThread> worker(QThread::create([&] {
        call.result = watched ? watched(desktopDb.constData(), tableList.constData(), synchronise,
                                        overwrite, deviceDb.constData(), &Watch::carryOn, &watch)
                              : entry(desktopDb.constData(), tableList.constData(), synchronise,
                                      overwrite, deviceDb.constData());
        call.returned = true;
    }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer reports;
    QObject::connect(&reports, &QTimer::timeout, [&] {
        if (!progress->report(watch.steps, 0))
            watch.stop = true;
    });
    if (watched)
        reports.start(kReportEveryMs);
    worker->start();
    loop.exec();
    worker->wait();
    return call;
}
