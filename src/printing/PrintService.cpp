#include "printing/PrintService.h"

#include <QDir>
#include <QPrinter>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "data/CaseStore.h"
#include "data/ItemStore.h"
#include "data/Settings.h"
#include "printing/Code39.h"
#include "printing/PrinterCatalog.h"
#include "printing/TwipsPainter.h"

namespace {

const QString kTahoma = QStringLiteral("Tahoma");

// The large label, in twips: the bars are drawn as a 40-point barcode font
// would draw them, the number beside them, the description between two rules
// below.
constexpr double kBarsLeft = 200;
constexpr double kBarsTop = 1350;
constexpr double kBarsPointSize = 40;
constexpr double kBarsFontHeight = kBarsPointSize * 20;
constexpr double kNumberX = 1900;
constexpr double kNumberY = 1500;
constexpr double kUpperRuleY = 2100;
constexpr double kLowerRuleY = 2400;
constexpr double kRulesRight = 3400;
// A scan line through a rule reads solid black, so the bars end this far
// above the upper rule.
constexpr double kBarsAboveRule = 60;

// Code 39 wants a blank of ten narrow elements beside the bars; printed
// digits there would be read as more bars.
constexpr int kQuietZoneElements = 10;
// Narrower than two dots, printed bars run into each other.
constexpr int kNarrowestDots = 2;

struct BarsAndNumber {
    Code39Dots dots;
    double numberX = kNumberX;
};

// Bars that end a quiet zone before the printed number: the font's own widths
// when they fit; otherwise the widest narrower elements that fit, wide ones
// three down to two and a half times the narrow (small elements need more
// than the font's 2:1 to scan); when even the narrowest do not fit, those
// with the number moved past their end.
BarsAndNumber barsBesideNumber(const Code39Symbol& symbol, const TwipsPainter& page) {
    const double left = std::round(page.toDevice(kBarsLeft));
    const auto end = [&](Code39Dots dots) {
        return left + symbol.widthInDots(dots) + kQuietZoneElements * dots.narrow;
    };
    const double numberLeft = page.toDevice(kNumberX);
    const Code39Dots fontDots = page.code39FontDots(kBarsPointSize);
    if (end(fontDots) <= numberLeft)
        return {fontDots};

    for (int narrow = fontDots.narrow - 1; narrow >= kNarrowestDots; --narrow) {
        for (int wide = 3 * narrow; 2 * wide >= 5 * narrow; --wide) {
            if (end({narrow, wide}) <= numberLeft)
                return {{narrow, wide}};
        }
    }
    const Code39Dots narrowest{kNarrowestDots, (5 * kNarrowestDots + 1) / 2};
    return {narrowest, std::ceil(page.toTwips(end(narrowest)))};
}

}  // namespace

PrintService::PrintService(Settings& settings, ItemStore& items, CaseStore& cases,
                           FailureReporter reporter, std::shared_ptr<PrinterCatalog> printers)
    : settings_(settings),
      items_(items),
      cases_(cases),
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
    return printJob(QStringLiteral("Quarvel label %1").arg(labelCode(kind, labelId)),
                    [&](TwipsPainter& page) { drawLargeLabel(page, kind, labelId, largeLogo); });
}

void PrintService::drawLargeLabel(TwipsPainter& page, LabelKind kind, qint64 labelId,
                                  const QPixmap& largeLogo) {
    const QString id = labelCode(kind, labelId);
    page.paintPicture(largeLogo, 100, 100);

    const QString numberKey =
        kind == LabelKind::Item ? SettingsKeys::ItemNumOnLarge : SettingsKeys::CaseNumOnLarge;
    const bool withNumber = settings_.isOn(numberKey);
    const bool withDescription = settings_.isOn(SettingsKeys::DescOnLarge);

    // Every scan line across the bars must read them: nothing printed may
    // touch them.
    const Code39Symbol symbol = encodeCode39(id);
    const BarsAndNumber layout = withNumber ? barsBesideNumber(symbol, page)
                                            : BarsAndNumber{page.code39FontDots(kBarsPointSize)};
    const double barsHeight =
        withDescription ? kUpperRuleY - kBarsAboveRule - kBarsTop : kBarsFontHeight;
    page.currentX = kBarsLeft;
    page.currentY = kBarsTop;
    page.code39(symbol, layout.dots, barsHeight);

    if (withNumber) {
        page.setFont(kTahoma, 20);
        page.currentX = layout.numberX;
        page.currentY = kNumberY;
        page.print(id);
    }

    if (withDescription) {
        page.line(kBarsLeft, kUpperRuleY, kRulesRight, kUpperRuleY);
        page.line(kBarsLeft, kLowerRuleY, kRulesRight, kLowerRuleY);
        // A record not stored yet (a label printed before the first save)
        // has no description: the band between the rules stays empty.
        const QString description = storedDescription(kind, labelId);
        page.setFont(kTahoma, 12);
        page.currentX = kBarsLeft;
        page.currentY = kUpperRuleY;
        page.print(description);
    }
}

QString PrintService::storedDescription(LabelKind kind, qint64 id) {
    if (kind == LabelKind::Item) {
        const auto rows = items_.withId(id);
        return rows && !rows->isEmpty() ? rows->first()[ItemColumn::Desc] : QString();
    }
    const auto rows = cases_.withId(id);
    return rows && !rows->isEmpty() ? rows->first()[CaseColumn::Name] : QString();
}

QString PrintService::labelCode(LabelKind kind, qint64 labelId) const {
    const QString number = QString::number(labelId);
    return kind == LabelKind::Case && settings_.isOn(SettingsKeys::CaseLetterOnLabels)
               ? QStringLiteral("F") + number
               : number;
}

bool PrintService::PrintSmallLabel(qint64 labelId, const QPixmap& smallLogo, LabelKind kind) {
    SelectLabelPrinter(SettingsKeys::SPrinter);
    const QString code = labelCode(kind, labelId);
    return printJob(QStringLiteral("Quarvel label %1").arg(code), [&](TwipsPainter& page) {
        page.paintPicture(smallLogo, 50, 50);
        page.currentX = 1700;
        page.currentY = 100;
        page.code39(code, 25);
    });
}

bool PrintService::PrintPickingList(const QString& listName, const QStringList& lines,
                                    const QString& plan) {
    return PrintLines(QStringLiteral("Quarvel List - ") + listName, lines, plan);
}

bool PrintService::PrintLines(const QString& title, const QStringList& lines,
                              const QString& subtitle) {
    SelectLabelPrinter(SettingsKeys::LPrinter);
    return printJob(title, [&](TwipsPainter& page) {
        page.autoPageFeed = true;
        page.currentX = 400;
        page.currentY = 400;
        page.setFont(kTahoma, 30);
        page.print(title);
        page.setFontSize(12);
        if (!subtitle.isEmpty()) {
            page.currentX = 400;
            page.print(subtitle);
        }
        for (const QString& line : lines) {
            page.currentX = 400;
            page.print(line);
        }
    });
}

namespace {

// The worksheet's columns, in twips from the left of the printable area.
struct Column {
    const char* caption;
    double x;
};
// Inside a margin, as the picking list keeps one.
constexpr double kSheetMargin = 400;
constexpr Column kSheetColumns[] = {{"Location", 400},     {"Case", 2600},   {"ID", 3600},
                                    {"Description", 4600}, {"Status", 8400}, {"Due", 10100},
                                    {"Result", 11500},     {"Date", 12900},  {"Initials", 14300}};
constexpr double kSheetRight = 15700;
constexpr double kSheetPointSize = 10;
constexpr double kRowGap = 120;  // room to write in

QString cellOf(const Worksheet::Line& line, int column) {
    switch (column) {
        case 0:
            return line.location;
        case 1:
            return line.flightCase;
        case 2:
            return line.id;
        case 3:
            return line.description;
        case 4:
            return line.status;
        case 5:
            return line.due;
        default:
            return {};
    }
}

// The header on every page: title, counts and the column captions over a rule.
double drawSheetHeader(TwipsPainter& page, const Worksheet& sheet) {
    page.setFont(kTahoma, 16);
    page.currentX = kSheetMargin;
    page.currentY = kSheetMargin;
    page.print(QStringLiteral("Test Worksheet - ") + sheet.heading);
    page.setFontSize(kSheetPointSize);
    page.currentX = kSheetMargin;
    page.print(sheet.counts);
    page.currentY += kRowGap;
    const double captions = page.currentY;
    for (const Column& c : kSheetColumns) {
        page.currentX = c.x;
        page.currentY = captions;
        page.print(QLatin1String(c.caption));
    }
    page.line(kSheetMargin, page.currentY, kSheetRight, page.currentY);
    return page.currentY + kRowGap / 2;
}

void drawWorksheet(TwipsPainter& page, const Worksheet& sheet) {
    page.setFont(kTahoma, kSheetPointSize);
    const double rowHeight = page.lineHeight() + kRowGap;
    const double footer = page.printableHeight() - kSheetMargin - page.lineHeight();
    // The header's height is the same on every page: measured on the first.
    double top = drawSheetHeader(page, sheet);
    const int perPage = std::max(1, static_cast<int>((footer - kRowGap - top) / rowHeight));
    const int pages =
        std::max<int>(1, (static_cast<int>(sheet.lines.size()) + perPage - 1) / perPage);
    for (int p = 0; p < pages; ++p) {
        if (p > 0) {
            page.newPage();
            top = drawSheetHeader(page, sheet);
        }
        const int first = p * perPage;
        const int end = std::min<int>(first + perPage, static_cast<int>(sheet.lines.size()));
        double y = top;
        for (int l = first; l < end; ++l) {
            for (int c = 0; c < static_cast<int>(std::size(kSheetColumns)); ++c) {
                page.currentX = kSheetColumns[c].x;
                page.currentY = y;
                page.print(cellOf(sheet.lines[l], c));
            }
            y += rowHeight;
            page.line(kSheetMargin, y - kRowGap / 2, kSheetRight, y - kRowGap / 2);
        }
        page.currentX = kSheetMargin;
        page.currentY = footer;
        page.print(QStringLiteral("Page %1 of %2").arg(p + 1).arg(pages));
    }
}

}  // namespace

bool PrintService::PrintWorksheet(const Worksheet& sheet) {
    SelectLabelPrinter(SettingsKeys::LPrinter);
    return printJob(
        QStringLiteral("Quarvel Test Worksheet"),
        [&](TwipsPainter& page) { drawWorksheet(page, sheet); }, true);
}

bool PrintService::SaveWorksheetPdf(const Worksheet& sheet, const QString& pdfFile) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfFile);
    printer.setDocName(QStringLiteral("Quarvel Test Worksheet"));
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Landscape);
    if (!printOn(printer, [&](TwipsPainter& page) { drawWorksheet(page, sheet); }))
        return failed(QStringLiteral("The worksheet could not be saved as %1. Check that the "
                                     "folder can be written.")
                          .arg(QDir::toNativeSeparators(pdfFile)));
    return true;
}

bool PrintService::printOn(QPrinter& printer, const Layout& layout) {
    TwipsPainter page(printer);
    if (!page.begin())
        return false;
    layout(page);
    return page.endDoc();
}

bool PrintService::printJob(const QString& title, const Layout& layout, bool landscape) {
    const QString device = currentPrinter();
    if (device.isEmpty())
        return failed(QStringLiteral("The page could not be printed: no printer is installed."));

    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    if (!printers_->prepare(printer, device))
        return failed(QStringLiteral("The page could not be printed: the printer \"%1\" is not "
                                     "available.")
                          .arg(device));
    if (landscape)
        printer.setPageOrientation(QPageLayout::Landscape);
    if (!printOn(printer, layout))
        return failed(QStringLiteral("The page could not be printed on \"%1\".").arg(device));
    return true;
}

bool PrintService::failed(const QString& message) {
    if (reporter_)
        reporter_(message);
    return false;
}
