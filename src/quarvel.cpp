// Quarvel: the equipment register of a company that stores, tests, packs and
// ships equipment.
#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QTextStream>
#include <cstdio>
#include <memory>
#include <optional>

#include "base/Version.h"
#include "cli/CommandLine.h"
#include "cli/ScanCommand.h"
#include "cli/TransferCommands.h"
#include "common/Dialogs.h"
#include "data/Register.h"
#include "data/Settings.h"
#include "data/engine/RegisterLocation.h"
#include "data/register/RegisterAccess.h"
#include "data/register/RegisterChoice.h"
#include "main/frmMain.h"
#include "main/frmSplash.h"
#include "resources/Fonts.h"
#include "resources/Pictures.h"

namespace {

// What this user may do with a register file, found once at start (a server
// is first reached when the main window has painted).
RegisterAccess::Finding accessAtStart(const RegisterLocation& location) {
    return location.isServer() ? RegisterAccess::Finding{}
                               : RegisterAccess::ofFile(location.text());
}

// Said once at start, rather than at the first Save that would fail: the
// register is opened for reading only, and every Save says why.
void tellWhenRegisterCannotBeSaved(AppContext& ctx, const RegisterAccess::Finding& access) {
    if (access.may == RegisterAccess::May::OnlyRead)
        ctx.theRegister().openReadOnly({ReadOnlyCause::Unwritable, access.reason, access.advice});
}

// The register of this run: --register, the user's setting, the
// administrator's file, data.mdb beside the program (RegisterChoices).
RegisterChoice chooseRegister(const std::optional<QString>& option) {
    return RegisterChoices::choose(QCoreApplication::applicationDirPath(),
                                   option.value_or(QString()),
                                   Settings().read(SettingsKeys::Register, QString()));
}

// An import or export without a window (and without a display).
int importOrExport(int argc, char** argv, const CommandLine& line) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quarvel"));
    QCoreApplication::setApplicationName(QStringLiteral("Quarvel"));
    QTextStream err(stderr);
    const RegisterChoice choice = chooseRegister(line.registerOption());
    if (!choice.problem.isEmpty()) {
        err << choice.problem << "\n";
        return TransferCommands::Failed;
    }
    // A register this user may not read, or not write for an import or a
    // scan, is told once, before any work.
    const RegisterAccess::Finding access =
        RegisterAccess::of(choice.location, Settings().busyWaitMs());
    if (access.may == RegisterAccess::May::Nothing ||
        (access.may == RegisterAccess::May::OnlyRead && !line.has(QStringLiteral("export")))) {
        err << "quarvel: " << access.line() << "\n";
        return TransferCommands::Failed;
    }
    if (line.scanAsked()) {
        QTextStream out(stdout);
        return ScanCommand::run(line, choice.location, {}, Services::computerUserName(), out, err);
    }
    return TransferCommands::run(line, choice.location, {}, err);
}

}  // namespace

int main(int argc, char** argv) {
    const CommandLine line = CommandLine::of(argc, argv);
    // Answered without a display: no window is made.
    if (const QString problem = line.problem(); !problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 2;
    }
    if (line.helpAsked()) {
        std::fputs(qPrintable(CommandLine::help()), stdout);
        return 0;
    }
    if (line.versionAsked()) {
        std::printf("Quarvel %s\n", qPrintable(Version::number()));
        return 0;
    }
    const std::optional<QString> chosenRegister = line.registerOption();
    if (chosenRegister && chosenRegister->trimmed().isEmpty()) {
        std::fputs("quarvel: --register needs a register: a file or a connection string\n", stderr);
        return 2;
    }
    if (line.transferAsked() || line.scanAsked())
        return importOrExport(argc, argv, line);

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quarvel"));
    QApplication::setApplicationName(QStringLiteral("Quarvel"));
    // The desktop matches the windows to the menu entry and its icon by this.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUARVEL_DESKTOP_ID));
    Fonts::loadTahoma();

    const RegisterChoice choice = chooseRegister(chosenRegister);
    if (!choice.problem.isEmpty()) {
        QtDialogs().inform(nullptr, choice.problem, Dialogs::Icon::Critical);
        return 1;
    }
    // A register this user may not read: said once, and no window opens.
    const RegisterAccess::Finding access = accessAtStart(choice.location);
    if (access.may == RegisterAccess::May::Nothing) {
        QtDialogs().inform(nullptr, access.text(), Dialogs::Icon::Critical);
        return 1;
    }
    // The context and the main window live for the whole run. The splash is
    // on screen first; then the windows get their icon, and the main window
    // is made and reads its tree behind the splash, shown at the hand-over.
    AppContext ctx(Services::forProgram(choice.location));
    tellWhenRegisterCannotBeSaved(ctx, access);
    std::unique_ptr<frmMain> main;
    frmSplash splash(ctx, [&ctx, &main]() -> QWidget* {
        QApplication::setWindowIcon(QIcon(Pictures::programIcon()));
        main = std::make_unique<frmMain>(ctx);
        return main.get();
    });
    splash.show();
    return app.exec();
}
