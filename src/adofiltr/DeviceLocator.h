#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace adofiltr {

// A folder in which the desktop mounts devices: each sub-folder whose name
// starts with namePrefix is one attached device.
struct MountPlace {
    QString folder;
    QString namePrefix;
};

// Where this desktop mounts removable media and phones (MTP through GVFS).
QList<MountPlace> defaultMountPlaces();

// The device mounts found in places, sorted.
QStringList findDeviceMounts(const QList<MountPlace>& places);

// The mounts of every device attached now: the default places, and on
// Windows the removable drives.
QStringList attachedDeviceMounts();

struct DeviceRoot {
    std::int32_t code = 0;  // a QuarvelDeviceCode
    QString path;
};

// QUARVEL_DEVICE_ROOT when set (it must be an existing folder), otherwise
// the one mount in mounts.
DeviceRoot chooseDeviceRoot(const QStringList& mounts);

}  // namespace adofiltr
