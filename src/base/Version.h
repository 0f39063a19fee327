#pragma once

#include <QString>

// The program's version, from the build (1.2, build 22).
namespace Version {

// "Version: 1.2 - Build 22", as the splash and the About window show it.
inline QString line() {
    return QStringLiteral("Version: %1.%2 - Build %3")
        .arg(QUARVEL_VERSION_MAJOR)
        .arg(QUARVEL_VERSION_MINOR)
        .arg(QUARVEL_VERSION_PATCH);
}

// "1.2.22"
inline QString number() {
    return QStringLiteral("%1.%2.%3")
        .arg(QUARVEL_VERSION_MAJOR)
        .arg(QUARVEL_VERSION_MINOR)
        .arg(QUARVEL_VERSION_PATCH);
}

}  // namespace Version
