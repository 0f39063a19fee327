// Quarvel: the equipment register of a company that stores, tests, packs and
// ships equipment.
#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QIcon>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "cli/TransferCommands.h"
#include "common/Dialogs.h"
#include "data/Settings.h"
#include "data/Version.h"
#include "data/engine/RegisterLocation.h"
#include "data/register/RegisterChoice.h"
#include "data/register/RegisterFolder.h"
#include "main/frmMain.h"
#include "main/frmSplash.h"
#include "resources/Fonts.h"
#include "resources/Pictures.h"

namespace {

const char* const kHelp =
    "Usage: quarvel [--help | --version] [--register REGISTER]\n"
    "       quarvel --import FILE [--good-lines] [--convert-dates] [--create-cases]\n"
    "               [--encoding NAME] [--report REPORT] [--register REGISTER]\n"
    "       quarvel --export WHAT FILE [--register REGISTER]\n"
    "Quarvel keeps the equipment register of a company that stores, safety-tests,\n"
    "packs and ships equipment: items with their test record, flight cases,\n"
    "warehouse locations and picking lists. It prints barcode labels and picking\n"
    "lists, and copies the register to a handheld device.\n"
    "\n"
    "  --help                  show this help and exit\n"
    "  --version               show the version and exit\n"
    "  --register REGISTER     work on this register for this run: a file, or a\n"
    "                          database on a PostgreSQL server named by a connection\n"
    "                          string, such as postgresql://stores-pc/quarvel or\n"
    "                          \"host=stores-pc dbname=quarvel\"\n";

const char* const kHelpFiles =
    "\n"
    "The register is the first of: --register, the user's setting \"Register\", the\n"
    "first line of register.conf in the program's folder (set by the administrator\n"
    "for every user), and data.mdb in the program's folder, or the file a link of\n"
    "that name leads to (installed from the Debian package: /var/lib/quarvel/data.mdb).\n"
    "Each user's printers and label options are in the settings under \"Quarvel\".\n";

// The value given with --register ("--register X" or "--register=X"):
// nullopt when the option is not there, empty when it has no value.
std::optional<QString> registerOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--register") == 0)
            return i + 1 < argc ? QString::fromLocal8Bit(argv[i + 1]) : QString();
        if (std::strncmp(argv[i], "--register=", 11) == 0)
            return QString::fromLocal8Bit(argv[i] + 11);
    }
    return std::nullopt;
}

bool asked(int argc, char** argv, const char* option) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], option) == 0)
            return true;
    }
    return false;
}

// Said once at start, rather than at the first Save that would fail.
void tellWhenRegisterCannotBeSaved(AppContext& ctx) {
    if (ctx.registerLocation().isServer())
        return;
    const QString folder = QFileInfo(ctx.registerLocation().text()).absolutePath();
    const QString problem = RegisterFolder::writeProblem(folder);
    if (!problem.isEmpty())
        ctx.dialogs().inform(nullptr, problem, Dialogs::Icon::Warning);
}

// The register of this run: --register, the user's setting, the
// administrator's file, data.mdb beside the program (RegisterChoices).
RegisterChoice chooseRegister(const std::optional<QString>& option) {
    return RegisterChoices::choose(QCoreApplication::applicationDirPath(),
                                   option.value_or(QString()),
                                   Settings().read(SettingsKeys::Register, QString()));
}

// The arguments without --register and its value.
QStringList withoutRegisterOption(QStringList arguments) {
    for (int i = 0; i < arguments.size();) {
        if (arguments[i] == QLatin1String("--register"))
            arguments.remove(i, std::min<qsizetype>(2, arguments.size() - i));
        else if (arguments[i].startsWith(QLatin1String("--register=")))
            arguments.remove(i);
        else
            ++i;
    }
    return arguments;
}

// An import or export without a window (and without a display).
int importOrExport(int argc, char** argv, const std::optional<QString>& registerOption) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quarvel"));
    QCoreApplication::setApplicationName(QStringLiteral("Quarvel"));
    QTextStream err(stderr);
    const RegisterChoice choice = chooseRegister(registerOption);
    if (!choice.problem.isEmpty()) {
        err << choice.problem << "\n";
        return TransferCommands::Failed;
    }
    return TransferCommands::run(withoutRegisterOption(QCoreApplication::arguments().mid(1)),
                                 choice.location, {}, err);
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
    if (asked(argc, argv, "--version")) {
        std::printf("Quarvel %s\n", qPrintable(Version::number()));
        return 0;
    }
    const std::optional<QString> chosenRegister = registerOption(argc, argv);
    if (chosenRegister && chosenRegister->trimmed().isEmpty()) {
        std::fputs("quarvel: --register needs a register: a file or a connection string\n", stderr);
        return 2;
    }
    if (asked(argc, argv, "--import") || asked(argc, argv, "--export"))
        return importOrExport(argc, argv, chosenRegister);

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quarvel"));
    QApplication::setApplicationName(QStringLiteral("Quarvel"));
    // The desktop matches the windows to the menu entry and its icon by this.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUARVEL_DESKTOP_ID));
    QApplication::setWindowIcon(QIcon(Pictures::programIcon()));
    Fonts::loadTahoma();

    const RegisterChoice choice = chooseRegister(chosenRegister);
    if (!choice.problem.isEmpty()) {
        QtDialogs().inform(nullptr, choice.problem, Dialogs::Icon::Critical);
        return 1;
    }
    // The context and the main window live for the whole run; the splash
    // shows the main window at the hand-over.
    AppContext ctx(Services::forProgram(choice.location));
    frmMain main(ctx);
    tellWhenRegisterCannotBeSaved(ctx);
    frmSplash splash(ctx, &main);
    splash.show();
    return app.exec();
}
