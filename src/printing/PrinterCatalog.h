#pragma once

#include <QString>
#include <QStringList>

class QPrinter;

// The printers installed on this machine, read afresh at each use. Tests put
// their own list (and their own idea of a printer) in its place.
class PrinterCatalog {
public:
    virtual ~PrinterCatalog() = default;
    // Device names in the system's order.
    virtual QStringList deviceNames() const;
    // The system's default printer, or empty text when there is none.
    virtual QString defaultDeviceName() const;

    // Points the printer at the installed printer of exactly that name, with
    // that printer's own default page size and its smallest margins, so the
    // printable area is the driver's. False when no such printer is installed.
    virtual bool prepare(QPrinter& printer, const QString& deviceName);
};
