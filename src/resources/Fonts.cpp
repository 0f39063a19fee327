#include "resources/Fonts.h"

#include <QFile>
#include <QFontDatabase>

namespace Fonts {

void loadTahoma() {
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma")))
        return;
    for (const char* file :
         {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
        if (QFile::exists(QLatin1String(file)))
            QFontDatabase::addApplicationFont(QLatin1String(file));
    }
}

}  // namespace Fonts
