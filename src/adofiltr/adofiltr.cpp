// The library's exports. The download window loads it by name from the
// program's folder and calls DESKTOPTODEVICECHECKED (DESKTOPTODEVICEWATCHED
// and DESKTOPTODEVICE for the callers of old); everything else is internal.

#include <QtGlobal>
#include <cstdint>

#include "DesktopToDevice.h"
#include "DeviceCodes.h"
#include "DeviceLocator.h"

namespace {

QString fromCaller(const char* text) {
    return text ? QString::fromLocal8Bit(text) : QString();
}

// Any exception ends here: none may cross into a C caller.
std::int32_t copyFor(const char* desktopDbPath, const char* tableList, std::int32_t overwrite,
                     const char* deviceDbPath, const adofiltr::CopyHooks& hooks) {
    try {
        return adofiltr::desktopToDevice(fromCaller(desktopDbPath), fromCaller(tableList),
                                         overwrite != 0, fromCaller(deviceDbPath),
                                         adofiltr::attachedDeviceMounts(), hooks);
    } catch (...) {
        return DEVICE_FAILED;
    }
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
    return copyFor(desktopDbPath, tableList, overwrite, deviceDbPath, {});
}

namespace {

// The state as a C caller reads it; `file` must outlive it.
QuarvelFileState forCaller(const Sqlite::FileState& state, const QByteArray& file) {
    return {file.constData(), state.size,          state.modifiedMs,
            state.bornMs,     state.changeCounter, state.pageCount};
}

}  // namespace

extern "C" Q_DECL_EXPORT std::int32_t DESKTOPTODEVICECHECKED(
    const char* desktopDbPath, const char* tableList, std::int32_t synchronise,
    std::int32_t overwrite, const char* deviceDbPath, DeviceCarryOnFunction carryOn,
    DeviceKnownSoundFunction knownSound, DeviceFoundSoundFunction foundSound, void* context) {
    Q_UNUSED(synchronise);
    std::int64_t steps = 0;
    bool stopped = false;
    adofiltr::CopyHooks hooks;
    hooks.carryOn = [&] {
        stopped = carryOn && carryOn(context, ++steps) == 0;
        return !stopped;
    };
    if (knownSound)
        hooks.knownSound = [&](const Sqlite::FileState& state) {
            const QByteArray file = state.file.toUtf8();
            const QuarvelFileState asked = forCaller(state, file);
            return knownSound(context, &asked) != 0;
        };
    if (foundSound)
        hooks.foundSound = [&](const Sqlite::FileState& state) {
            const QByteArray file = state.file.toUtf8();
            const QuarvelFileState found = forCaller(state, file);
            foundSound(context, &found);
        };
    const std::int32_t code = copyFor(desktopDbPath, tableList, overwrite, deviceDbPath, hooks);
    return stopped ? DEVICE_CANCELLED : code;
}

extern "C" Q_DECL_EXPORT std::int32_t DESKTOPTODEVICEWATCHED(
    const char* desktopDbPath, const char* tableList, std::int32_t synchronise,
    std::int32_t overwrite, const char* deviceDbPath, DeviceCarryOnFunction carryOn,
    void* context) {
    return DESKTOPTODEVICECHECKED(desktopDbPath, tableList, synchronise, overwrite, deviceDbPath,
                                  carryOn, nullptr, nullptr, context);
}
