#include "TestApp.h"

#include <QPageLayout>
#include <QPrinter>

bool FakePrinterCatalog::prepare(QPrinter& printer, const QString& deviceName) {
    if (!names.contains(deviceName))
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(resolution);
    if (failing.contains(deviceName)) {
        // Its output cannot be written, so the job fails when it starts.
        printer.setOutputFileName(folder() + QStringLiteral("/no/such/folder/job.pdf"));
    } else {
        const QString file = QStringLiteral("%1/job%2.pdf").arg(folder()).arg(jobs.size() + 1);
        jobs.append({deviceName, file});
        printer.setOutputFileName(file);
    }
    printer.setFullPage(false);
    printer.setPageSize(pageSize);
    printer.setPageMargins(minimumMargins, QPageLayout::Point);
    return true;
}

TestApp::TestApp() = default;
TestApp::~TestApp() = default;

AppContext& TestApp::ctx() {
    if (!ctx_)
        ctx_ = std::make_unique<AppContext>(services());
    return *ctx_;
}

QString TestApp::settingsFile() const {
    return reg.folder() + QStringLiteral("/settings.ini");
}

Services TestApp::services() const {
    Services s;
    s.location = serverRegister.isEmpty() ? RegisterLocation::file(reg.path())
                                          : RegisterLocation::server(serverRegister);
    s.settingsFile = settingsFile();
    s.dialogs = dialogs;
    s.clock = clock;
    s.printers = printers;
    s.userName = QStringLiteral("tester");
    s.deskName = QStringLiteral("DESK-A");  // not the machine's name: tests compare it
    s.deviceLibrary = deviceLibrary;
    return s;
}
