// Quarvel: the equipment register of a company that stores, tests, packs and
// ships equipment.
#include <QApplication>

#include "main/frmMain.h"
#include "main/frmSplash.h"
#include "resources/Fonts.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quarvel"));
    QApplication::setApplicationName(QStringLiteral("Quarvel"));
    Fonts::loadTahoma();

    // The main window lives for the whole run and owns the context; the
    // splash shows it at the hand-over.
    frmMain main(Services::forProgram());
    frmSplash splash(main.context(), &main);
    splash.show();
    return app.exec();
}
