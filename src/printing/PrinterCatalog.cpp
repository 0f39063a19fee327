#include "printing/PrinterCatalog.h"

#include <QPrinterInfo>

QStringList PrinterCatalog::deviceNames() const {
    return QPrinterInfo::availablePrinterNames();
}

QString PrinterCatalog::defaultDeviceName() const {
    return QPrinterInfo::defaultPrinterName();
}
