#include "TestServices.h"

QString TestServices::settingsFile() const {
    return reg.folder() + QStringLiteral("/settings.ini");
}

Services TestServices::services() const {
    Services s;
    s.databasePath = reg.path();
    s.settingsFile = settingsFile();
    s.dialogs = dialogs;
    s.clock = clock;
    s.printers = printers;
    return s;
}
