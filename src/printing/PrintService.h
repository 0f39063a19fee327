#pragma once

#include <QPixmap>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "data/FailureReporter.h"
#include "data/Records.h"

class Settings;
class Store;
class PrinterCatalog;
class TwipsPainter;

// The program's printing: the one current printer of the run, the barcode
// labels and the picking-list printout.
class PrintService {
public:
    // Failures (no printer, a printer that cannot print) go to the reporter.
    PrintService(Settings& settings, Store& store, FailureReporter reporter,
                 std::shared_ptr<PrinterCatalog> printers);
    ~PrintService();

    // Installed printers in the system's order, read afresh.
    QStringList installedPrinters() const;
    // The device name of the current printer: the system default until a
    // print routine makes another current. Empty when there is none.
    QString currentPrinter() const;

    // Makes the printer named under `key` current when one is installed
    // under exactly that name; otherwise the current printer stays.
    void SelectLabelPrinter(const QString& key);

    // Each prints one job on the printer its setting names (or the current
    // one); false when nothing could be printed (the user has been told).
    bool PrintLargeLabel(LabelKind kind, qint64 labelId, const QPixmap& largeLogo);
    bool PrintSmallLabel(qint64 labelId, const QPixmap& smallLogo);
    bool PrintPickingList(const QString& listName, const QStringList& lines);

private:
    using Layout = std::function<void(TwipsPainter& page)>;
    // Prints one job on the current printer.
    bool printJob(const QString& title, const Layout& layout);
    bool failed(const QString& message);
    void drawLargeLabel(TwipsPainter& page, LabelKind kind, qint64 labelId,
                        const QPixmap& largeLogo);
    // The description of a stored record; empty when it is not stored (yet).
    QString storedDescription(LabelKind kind, qint64 id);

    Settings& settings_;
    Store& store_;
    FailureReporter reporter_;
    std::shared_ptr<PrinterCatalog> printers_;
    QString current_;  // empty: the system default
};
