#include "printing/PrintService.h"

#include <QPrinter>

#include "data/Settings.h"
#include "data/Store.h"
#include "printing/PrinterCatalog.h"
#include "printing/TwipsPainter.h"

namespace {
const QString kTahoma = QStringLiteral("Tahoma");
}  // namespace

PrintService::PrintService(Settings& settings, Store& store, FailureReporter reporter,
                           std::shared_ptr<PrinterCatalog> printers)
    : settings_(settings),
      store_(store),
      reporter_(std::move(reporter)),
      printers_(std::move(printers)) {}

PrintService::~PrintService() = default;

QStringList PrintService::installedPrinters() const {
    return printers_->deviceNames();
}

QString PrintService::currentPrinter() const {
    return current_.isEmpty() ? printers_->defaultDeviceName() : current_;
}

void PrintService::SelectLabelPrinter(const QString& key) {
    const QString wanted = settings_.read(key, PrinterNotStored::forPrinting);
    // The whole list is walked; letter case counts.
    for (const QString& name : printers_->deviceNames()) {
        if (name == wanted)
            current_ = name;
    }
}

bool PrintService::PrintLargeLabel(LabelKind kind, qint64 labelId, const QPixmap& largeLogo) {
    SelectLabelPrinter(SettingsKeys::Printer);
    return printJob(QStringLiteral("Quarvel label %1").arg(labelId),
                    [&](TwipsPainter& page) { drawLargeLabel(page, kind, labelId, largeLogo); });
}

void PrintService::drawLargeLabel(TwipsPainter& page, LabelKind kind, qint64 labelId,
                                  const QPixmap& largeLogo) {
    const QString id = QString::number(labelId);
    page.paintPicture(largeLogo, 100, 100);

    page.currentX = 200;
    page.currentY = 1350;
    page.code39(id, 40);

    const QString numberKey =
        kind == LabelKind::Item ? SettingsKeys::ItemNumOnLarge : SettingsKeys::CaseNumOnLarge;
    if (settings_.isOn(numberKey)) {
        page.setFont(kTahoma, 20);
        page.currentX = 1900;
        page.currentY = 1500;
        page.print(id);
    }

    if (settings_.isOn(SettingsKeys::DescOnLarge)) {
        page.line(200, 2100, 3400, 2100);
        page.line(200, 2400, 3400, 2400);
        // A record not stored yet (a label printed before the first save)
        // has no description: the band between the rules stays empty.
        const QString description = storedDescription(kind, labelId);
        page.setFont(kTahoma, 12);
        page.currentX = 200;
        page.currentY = 2100;
        page.print(description);
    }
}

QString PrintService::storedDescription(LabelKind kind, qint64 id) {
    if (kind == LabelKind::Item) {
        const auto rows = store_.itemsWithId(id);
        return rows && !rows->isEmpty() ? rows->first()[ItemColumn::Desc] : QString();
    }
    const auto rows = store_.casesWithId(id);
    return rows && !rows->isEmpty() ? rows->first().name : QString();
}

bool PrintService::PrintSmallLabel(qint64 labelId, const QPixmap& smallLogo) {
    SelectLabelPrinter(SettingsKeys::SPrinter);
    return printJob(QStringLiteral("Quarvel label %1").arg(labelId), [&](TwipsPainter& page) {
        page.paintPicture(smallLogo, 50, 50);
        page.currentX = 1700;
        page.currentY = 100;
        page.code39(QString::number(labelId), 25);
    });
}

bool PrintService::PrintPickingList(const QString& listName, const QStringList& lines) {
    SelectLabelPrinter(SettingsKeys::LPrinter);
    const QString title = QStringLiteral("Quarvel List - ") + listName;
    return printJob(title, [&](TwipsPainter& page) {
        page.autoPageFeed = true;
        page.currentX = 400;
        page.currentY = 400;
        page.setFont(kTahoma, 30);
        page.print(title);
        page.setFontSize(12);
        for (const QString& line : lines) {
            page.currentX = 400;
            page.print(line);
        }
    });
}

bool PrintService::printJob(const QString& title, const Layout& layout) {
    const QString device = currentPrinter();
    if (device.isEmpty())
        return failed(QStringLiteral("The page could not be printed: no printer is installed."));

    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    if (!printers_->prepare(printer, device))
        return failed(QStringLiteral("The page could not be printed: the printer \"%1\" is not "
                                     "available.")
                          .arg(device));
    TwipsPainter page(printer);
    if (!page.begin())
        return failed(QStringLiteral("The page could not be printed on \"%1\".").arg(device));
    layout(page);
    if (!page.endDoc())
        return failed(QStringLiteral("The page could not be printed on \"%1\".").arg(device));
    return true;
}

bool PrintService::failed(const QString& message) {
    if (reporter_)
        reporter_(message);
    return false;
}
