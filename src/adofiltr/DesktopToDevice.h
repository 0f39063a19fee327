#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "data/register/RegisterCopy.h"

namespace adofiltr {

using RegisterCopy::CopyHooks;
using RegisterCopy::CopyJob;
using RegisterCopy::registerTables;

// The register copied for the device, its outcome as a QuarvelDeviceCode.
std::int32_t copyRegister(const CopyJob& job, const CopyHooks& hooks = {});

// The register tables named in list (commas, semicolons or blanks between
// names, any letter case); empty for an empty list, nullopt when a name is
// not a register table.
std::optional<QStringList> parseTableList(const QString& list);

// The device file below root, reading "\" and "/" as folder separators; an
// empty devicePath means the default. Nullopt when the path would leave the
// root or names no file.
std::optional<std::filesystem::path> deviceTarget(const QString& root, const QString& devicePath);

// The whole download: checks the arguments, finds the device among mounts
// and copies the register to it, writing nothing outside the device's root.
// Returns a QuarvelDeviceCode.
std::int32_t desktopToDevice(const QString& desktopDb, const QString& tableList, bool overwrite,
                             const QString& devicePath, const QStringList& mounts,
                             const CopyHooks& hooks = {});

}  // namespace adofiltr
