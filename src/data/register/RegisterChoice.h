#pragma once

#include <QString>

#include "data/engine/RegisterLocation.h"

// The register a run works on, and where that choice came from.
struct RegisterChoice {
    RegisterLocation location;
    QString source;   // "--register", "the setting Register", the administrator's file, or empty
    QString problem;  // why the chosen location cannot be used, naming its source; or empty
};

namespace RegisterChoices {

// The administrator's file beside the program: its first line that is
// neither empty nor a comment ("#") is the register of every user of that
// program folder.
inline const QString kAdministratorFile = QStringLiteral("register.conf");

// The first of: the command line's --register, the user's setting
// "Register", the administrator's file in the program's folder, and
// data.mdb in the program's folder (or where a link of that name leads).
RegisterChoice choose(const QString& programFolder, const QString& commandLine,
                      const QString& userSetting);

}  // namespace RegisterChoices
