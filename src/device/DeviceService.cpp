#include "device/DeviceService.h"

#include <QEventLoop>
#include <QLibrary>
#include <QThread>
#include <memory>

namespace {

using DesktopToDevice = qint32 (*)(const char*, const char*, qint32, qint32, const char*);

}  // namespace

DeviceService::DeviceService(QString library) : library_(std::move(library)) {}

DeviceService::Call DeviceService::desktopToDevice(const QByteArray& desktopDb,
                                                   const QByteArray& tableList, qint32 synchronise,
                                                   qint32 overwrite,
                                                   const QByteArray& deviceDb) const {
    Call call;
    QLibrary library(library_);
    const auto entry = reinterpret_cast<DesktopToDevice>(library.resolve("DESKTOPTODEVICE"));
    if (!entry) {
        call.failure = library.errorString();
        return call;
    }
    // A large register takes a while to copy: the window keeps painting meanwhile.
    std::unique_ptr<QThread> worker(QThread::create([&] {
        call.result = entry(desktopDb.constData(), tableList.constData(), synchronise, overwrite,
                            deviceDb.constData());
        call.returned = true;
    }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
    return call;
}
