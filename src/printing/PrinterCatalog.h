#pragma once

#include <QString>
#include <QStringList>

// The printers installed on this machine, read afresh at each use. Tests put
// their own list in its place.
class PrinterCatalog {
public:
    virtual ~PrinterCatalog() = default;
    // Device names in the system's order.
    virtual QStringList deviceNames() const;
    // The system's default printer, or empty text when there is none.
    virtual QString defaultDeviceName() const;
};
