#include "DeviceLocator.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include "DeviceCodes.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace adofiltr {

namespace {

QString userName() {
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    return user.isEmpty() ? QDir::home().dirName() : user;
}

QStringList mountsIn(const MountPlace& place) {
    QStringList mounts;
    const QDir folder(place.folder);
    for (const QFileInfo& entry : folder.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (entry.fileName().startsWith(place.namePrefix))
            mounts << entry.absoluteFilePath();
    }
    return mounts;
}

// Windows gives removable media drive letters of their own instead of
// folders under a common parent.
QStringList removableDrives() {
    QStringList drives;
#ifdef Q_OS_WIN
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const std::wstring root = QDir::toNativeSeparators(volume.rootPath()).toStdWString();
        if (volume.isReady() && GetDriveTypeW(root.c_str()) == DRIVE_REMOVABLE)
            drives << volume.rootPath();
    }
#endif
    return drives;
}

}  // namespace

QList<MountPlace> defaultMountPlaces() {
    const QString user = userName();
    QList<MountPlace> places = {{QStringLiteral("/media/") + user, {}},
                                {QStringLiteral("/run/media/") + user, {}}};
    // GVFS mounts phones below the session's runtime folder; asking QStandardPaths
    // instead would create that folder when the session has none.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        places.append({runtime + QStringLiteral("/gvfs"), QStringLiteral("mtp:host=")});
    return places;
}

QStringList findDeviceMounts(const QList<MountPlace>& places) {
    QStringList mounts;
    for (const MountPlace& place : places)
        mounts << mountsIn(place);
    mounts.sort();
    return mounts;
}

QStringList attachedDeviceMounts() {
    return findDeviceMounts(defaultMountPlaces()) + removableDrives();
}

DeviceRoot chooseDeviceRoot(const QStringList& mounts) {
    if (qEnvironmentVariableIsSet("QUARVEL_DEVICE_ROOT")) {
        const QString root = qEnvironmentVariable("QUARVEL_DEVICE_ROOT");
        if (root.isEmpty() || !QFileInfo(root).isDir())
            return {DEVICE_NOT_FOUND, {}};
        return {DEVICE_OK, root};
    }
    if (mounts.isEmpty())
        return {DEVICE_NOT_FOUND, {}};
    if (mounts.size() > 1)
        return {DEVICE_MORE_THAN_ONE, {}};
    return {DEVICE_OK, mounts.first()};
}

}  // namespace adofiltr
