#include "DesktopToDevice.h"

#include <QRegularExpression>
#include <algorithm>

#include "DeviceCodes.h"
#include "DeviceLocator.h"

namespace adofiltr {

namespace {

// Where the handheld software looks for the register.
const QString kDefaultDevicePath = QStringLiteral("\\My Documents\\data.cdb");

// Dots and blanks only: ".." and the names Windows reads as ".." (".. ",
// "...") all climb out of a folder.
bool climbsOut(const QString& part) {
    return part != QLatin1String(".") &&
           QString(part).remove(QLatin1Char('.')).remove(QLatin1Char(' ')).isEmpty();
}

// One leading separator means "at the device root"; two (a UNC path) or a
// drive letter would name another place.
std::optional<QStringList> devicePathParts(QString path) {
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.startsWith(QLatin1String("//")) || path.endsWith(QLatin1Char('/')))
        return std::nullopt;
    QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    parts.removeAll(QStringLiteral("."));
    for (const QString& part : parts) {
        if (climbsOut(part) || part.contains(QLatin1Char(':')))
            return std::nullopt;
    }
    if (parts.isEmpty())
        return std::nullopt;
    return parts;
}

}  // namespace

std::int32_t copyRegister(const CopyJob& job, const CopyHooks& hooks) {
    using RegisterCopy::CopyResult;
    switch (RegisterCopy::copy(job, hooks)) {
        case CopyResult::Done:
            return DEVICE_OK;
        case CopyResult::DesktopMissing:
            return DEVICE_DESKTOP_MISSING;
        case CopyResult::NotADatabase:
            return DEVICE_NOT_A_DATABASE;
        case CopyResult::Damaged:
            return DEVICE_DESKTOP_DAMAGED;
        case CopyResult::InUse:
            return DEVICE_IN_USE;
        case CopyResult::AccessDenied:
            return DEVICE_ACCESS_DENIED;
        case CopyResult::DiskFull:
            return DEVICE_FULL;
        case CopyResult::TargetExists:
            return DEVICE_TARGET_EXISTS;
        case CopyResult::FolderUnavailable:
            return DEVICE_FOLDER_UNAVAILABLE;
        case CopyResult::OutsideRoot:
            return DEVICE_PATH_OUTSIDE;
        case CopyResult::RootGone:
            return DEVICE_NOT_FOUND;
        case CopyResult::Failed:
            break;
    }
    return DEVICE_FAILED;
}

std::optional<QStringList> parseTableList(const QString& list) {
    static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
    QStringList chosen;
    for (const QString& name : list.split(separators, Qt::SkipEmptyParts)) {
        const auto known = std::find_if(
            registerTables().cbegin(), registerTables().cend(),
            [&](const QString& table) { return !table.compare(name, Qt::CaseInsensitive); });
        if (known == registerTables().cend())
            return std::nullopt;
        if (!chosen.contains(*known))
            chosen << *known;
    }
    return chosen;
}

std::optional<std::filesystem::path> deviceTarget(const QString& root, const QString& devicePath) {
    const auto parts = devicePathParts(devicePath.isEmpty() ? kDefaultDevicePath : devicePath);
    if (!parts)
        return std::nullopt;
    std::filesystem::path target(root.toStdU16String());
    for (const QString& part : *parts)
        target /= part.toStdU16String();
    return target;
}

std::int32_t desktopToDevice(const QString& desktopDb, const QString& tableList, bool overwrite,
                             const QString& devicePath, const QStringList& mounts,
                             const CopyHooks& hooks) {
    const auto tables = parseTableList(tableList);
    if (!tables)
        return DEVICE_UNKNOWN_TABLE;
    if (!deviceTarget(QString(), devicePath))
        return DEVICE_PATH_OUTSIDE;
    const DeviceRoot root = chooseDeviceRoot(mounts);
    if (root.code != DEVICE_OK)
        return root.code;
    return copyRegister({desktopDb, *tables, *deviceTarget(root.path, devicePath), overwrite,
                         root.path.toStdU16String()},
                        hooks);
}

}  // namespace adofiltr
