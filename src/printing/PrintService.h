#pragma once

#include <QPixmap>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "base/FailureReporter.h"
#include "data/rules/Records.h"

class QPrinter;
class CaseStore;
class ItemStore;
class Settings;
class PrinterCatalog;
class TwipsPainter;

// The sheet the person doing the tests takes round the stores: one line per
// item in the order given, with empty Result, Date and Initials columns to
// fill in by hand.
struct Worksheet {
    struct Line {
        QString location;
        QString flightCase;
        QString id;
        QString description;
        QString status;
        QString due;
    };
    QString heading;  // "Tests due by 5/2/2009"
    QString counts;   // "2 overdue · 1 never tested"
    QList<Line> lines;
};

// The program's printing: the one current printer of the run, the barcode
// labels, the picking-list printout and the test worksheet.
class PrintService {
public:
    // Failures (no printer, a printer that cannot print) go to the reporter.
    PrintService(Settings& settings, ItemStore& items, CaseStore& cases, FailureReporter reporter,
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
    bool PrintSmallLabel(qint64 labelId, const QPixmap& smallLogo,
                         LabelKind kind = LabelKind::Item);
    // `plan`: the list's dates and state in one line, printed under the
    // title; none for a list without them.
    bool PrintPickingList(const QString& listName, const QStringList& lines,
                          const QString& plan = {});
    // A title, an optional line under it, and a line of text each, as the
    // picking list prints them, on its printer (the Change Log's printout).
    bool PrintLines(const QString& title, const QStringList& lines, const QString& subtitle = {});
    // On the picking-list printer, landscape, "Page x of y" on every page.
    bool PrintWorksheet(const Worksheet& sheet);
    // The same pages into a PDF file (A4).
    bool SaveWorksheetPdf(const Worksheet& sheet, const QString& pdfFile);

private:
    using Layout = std::function<void(TwipsPainter& page)>;
    // Prints one job on the current printer.
    bool printJob(const QString& title, const Layout& layout, bool landscape = false);
    // Runs the layout on a printer made ready; false when it failed.
    static bool printOn(QPrinter& printer, const Layout& layout);
    bool failed(const QString& message);
    void drawLargeLabel(TwipsPainter& page, LabelKind kind, qint64 labelId,
                        const QPixmap& largeLogo);
    // What a label's barcode carries: the id, for a case with "F" before it
    // when CaseLetterOnLabels is on.
    QString labelCode(LabelKind kind, qint64 labelId) const;
    // The description of a stored record; empty when it is not stored (yet).
    QString storedDescription(LabelKind kind, qint64 id);

    Settings& settings_;
    ItemStore& items_;
    CaseStore& cases_;
    FailureReporter reporter_;
    std::shared_ptr<PrinterCatalog> printers_;
    QString current_;  // empty: the system default
};
