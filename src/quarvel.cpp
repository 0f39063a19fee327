// Quarvel: the equipment register of a company that stores, tests, packs and
// ships equipment.
#include <QApplication>

#include "common/WindowStyle.h"
#include "main/frmMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quarvel"));
    QApplication::setApplicationName(QStringLiteral("Quarvel"));
    WindowStyle::loadTahoma();

    frmMain main(Services::forProgram());
    main.show();
    return app.exec();
}
