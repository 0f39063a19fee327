// Quarvel: the equipment register of a company that stores, tests, packs and
// ships equipment.
#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <cstdio>
#include <cstring>

#include "common/Dialogs.h"
#include "data/RegisterFolder.h"
#include "data/Version.h"
#include "main/frmMain.h"
#include "main/frmSplash.h"
#include "resources/Fonts.h"
#include "resources/Pictures.h"

namespace {

bool askedForVersion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0)
            return true;
    }
    return false;
}

// Said once at start, rather than at the first Save that would fail.
void tellWhenRegisterCannotBeSaved(AppContext& ctx) {
    const QString folder = QFileInfo(ctx.databasePath()).absolutePath();
    const QString problem = RegisterFolder::writeProblem(folder);
    if (!problem.isEmpty())
        ctx.dialogs().inform(nullptr, problem, Dialogs::Icon::Warning);
}

}  // namespace

int main(int argc, char** argv) {
    // Answered without a display: no window is made.
    if (askedForVersion(argc, argv)) {
        std::printf("Quarvel %s\n", qPrintable(Version::number()));
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quarvel"));
    QApplication::setApplicationName(QStringLiteral("Quarvel"));
    // The desktop matches the windows to the menu entry and its icon by this.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUARVEL_DESKTOP_ID));
    QApplication::setWindowIcon(QIcon(Pictures::programIcon()));
    Fonts::loadTahoma();

    // The main window lives for the whole run and owns the context; the
    // splash shows it at the hand-over.
    frmMain main(Services::forProgram());
    tellWhenRegisterCannotBeSaved(main.context());
    frmSplash splash(main.context(), &main);
    splash.show();
    return app.exec();
}
