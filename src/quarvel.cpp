// Quarvel: the equipment register of a company that stores, tests, packs and
// ships equipment.
#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QIcon>
#include <QTextStream>
#include <cstdio>
#include <cstring>

#include "common/Dialogs.h"
#include "data/RegisterFolder.h"
#include "data/TransferCommands.h"
#include "data/Version.h"
#include "main/frmMain.h"
#include "main/frmSplash.h"
#include "resources/Fonts.h"
#include "resources/Pictures.h"

namespace {

const char* const kHelp =
    "Usage: quarvel [--help | --version]\n"
    "       quarvel --import FILE [--good-lines] [--convert-dates] [--create-cases]\n"
    "               [--encoding NAME] [--report REPORT]\n"
    "       quarvel --export WHAT FILE\n"
    "Quarvel keeps the equipment register of a company that stores, safety-tests,\n"
    "packs and ships equipment: items with their test record, flight cases,\n"
    "warehouse locations and picking lists. It prints barcode labels and picking\n"
    "lists, and copies the register to a handheld device.\n"
    "\n"
    "  --help                  show this help and exit\n"
    "  --version               show the version and exit\n";

const char* const kHelpFiles =
    "\n"
    "The register is data.mdb in the program's folder, or the file a link of that\n"
    "name leads to (installed from the Debian package: /var/lib/quarvel/data.mdb).\n"
    "Each user's printers and label options are in the settings under \"Quarvel\".\n";

bool asked(int argc, char** argv, const char* option) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], option) == 0)
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

// An import or export without a window (and without a display).
int importOrExport(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quarvel"));
    QCoreApplication::setApplicationName(QStringLiteral("Quarvel"));
    QTextStream err(stderr);
    const QString registerPath = RegisterFolder::registerIn(QCoreApplication::applicationDirPath());
    return TransferCommands::run(QCoreApplication::arguments().mid(1), registerPath, {}, err);
}

}  // namespace

int main(int argc, char** argv) {
    // Answered without a display: no window is made.
    if (asked(argc, argv, "--help")) {
        std::fputs(kHelp, stdout);
        std::fputs(TransferCommands::kHelp, stdout);
        std::fputs(kHelpFiles, stdout);
        return 0;
    }
    if (asked(argc, argv, "--import") || asked(argc, argv, "--export"))
        return importOrExport(argc, argv);
    if (asked(argc, argv, "--version")) {
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

    // The context and the main window live for the whole run; the splash
    // shows the main window at the hand-over.
    AppContext ctx(Services::forProgram());
    frmMain main(ctx);
    tellWhenRegisterCannotBeSaved(ctx);
    frmSplash splash(ctx, &main);
    splash.show();
    return app.exec();
}
