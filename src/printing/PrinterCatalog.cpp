#include "printing/PrinterCatalog.h"

#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>

QStringList PrinterCatalog::deviceNames() const {
    return QPrinterInfo::availablePrinterNames();
}

QString PrinterCatalog::defaultDeviceName() const {
    return QPrinterInfo::defaultPrinterName();
}

bool PrinterCatalog::prepare(QPrinter& printer, const QString& deviceName) {
    // Qt quietly falls back to the default printer for a name it does not
    // know, so the name is checked here first.
    if (deviceName.isEmpty() || !deviceNames().contains(deviceName))
        return false;
    const QPrinterInfo info = QPrinterInfo::printerInfo(deviceName);
    if (info.isNull())
        return false;

    printer.setPrinterName(deviceName);
    if (printer.printerName() != deviceName || !printer.isValid())
        return false;
    // A QPrinter keeps the page of the printer it was made for; the chosen
    // printer's own page and printable area are wanted.
    printer.setFullPage(false);
    printer.setPageSize(info.defaultPageSize());
    const QPageLayout layout = printer.pageLayout();
    printer.setPageMargins(layout.minimumMargins(), layout.units());
    return true;
}
