// The library's only export. The download window loads it by name from the
// program's folder and calls DESKTOPTODEVICE; everything else is internal.

#include <QtGlobal>
#include <cstdint>

#include "DesktopToDevice.h"
#include "DeviceCodes.h"
#include "DeviceLocator.h"

namespace {

QString fromCaller(const char* text) {
    return text ? QString::fromLocal8Bit(text) : QString();
}

}  // namespace

// synchronise is accepted for the callers that pass it; the device always
// gets a whole copy, so it changes nothing.
extern "C" Q_DECL_EXPORT std::int32_t DESKTOPTODEVICE(const char* desktopDbPath,
                                                      const char* tableList,
                                                      std::int32_t synchronise,
                                                      std::int32_t overwrite,
                                                      const char* deviceDbPath) {
    Q_UNUSED(synchronise);
    try {
        return adofiltr::desktopToDevice(fromCaller(desktopDbPath), fromCaller(tableList),
                                         overwrite != 0, fromCaller(deviceDbPath),
                                         adofiltr::attachedDeviceMounts());
    } catch (...) {
        return DEVICE_FAILED;  // no exception may cross into a C caller
    }
}
