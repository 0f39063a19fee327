#include "printing/TwipsPainter.h"

#include <QFontMetricsF>
#include <QPixmap>
#include <QPrinter>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kTwipsPerPixel = 15.0;
constexpr double kTwipsPerPoint = 20.0;

// A Code 39 font draws one character (nine elements and the gap after it)
// about 0.8 em wide; zint's characters are 13 modules wide.
constexpr double kCharacterWidthEm = 0.8;
constexpr double kModulesPerCharacter = 13.0;

}  // namespace

TwipsPainter::TwipsPainter(QPrinter& printer) : printer_(printer) {}

TwipsPainter::~TwipsPainter() {
    if (painter_.isActive())
        painter_.end();
}

bool TwipsPainter::begin() {
    if (!painter_.begin(&printer_))
        return false;
    painter_.setPen(Qt::black);
    return true;
}

bool TwipsPainter::endDoc() {
    const bool ended = painter_.end();
    return ended && printer_.printerState() != QPrinter::Error &&
           printer_.printerState() != QPrinter::Aborted;
}

double TwipsPainter::toDevice(double twips) const {
    return twips * printer_.resolution() / kTwipsPerInch;
}

double TwipsPainter::toTwips(double deviceUnits) const {
    return deviceUnits * kTwipsPerInch / printer_.resolution();
}

double TwipsPainter::printableHeight() const {
    return printer_.height() * kTwipsPerInch / printer_.resolution();
}

double TwipsPainter::lineHeight() const {
    const QFontMetricsF metrics(font_, &printer_);
    return metrics.height() * kTwipsPerInch / printer_.resolution();
}

void TwipsPainter::setFont(const QString& family, double pointSize) {
    font_ = QFont(family);
    setFontSize(pointSize);
}

void TwipsPainter::setFontSize(double pointSize) {
    font_.setPointSizeF(pointSize);
    painter_.setFont(font_);
}

void TwipsPainter::newPage() {
    printer_.newPage();
    currentX = 0;
    currentY = 0;
}

void TwipsPainter::print(const QString& text) {
    if (autoPageFeed && currentY > 0 && currentY + lineHeight() > printableHeight()) {
        printer_.newPage();
        currentY = 0;
    }
    const QFontMetricsF metrics(font_, &printer_);
    painter_.drawText(QPointF(toDevice(currentX), toDevice(currentY) + metrics.ascent()), text);
    currentX = 0;
    currentY += lineHeight();
}

void TwipsPainter::paintPicture(const QPixmap& picture, double x, double y) {
    const QRectF target(toDevice(x), toDevice(y), toDevice(picture.width() * kTwipsPerPixel),
                        toDevice(picture.height() * kTwipsPerPixel));
    painter_.drawPixmap(target, picture, QRectF(picture.rect()));
}

void TwipsPainter::line(double x1, double y1, double x2, double y2) {
    QPen pen(Qt::black);
    pen.setWidthF(1.0);  // one printer dot
    pen.setCapStyle(Qt::FlatCap);
    painter_.setPen(pen);
    painter_.drawLine(QPointF(toDevice(x1), toDevice(y1)), QPointF(toDevice(x2), toDevice(y2)));
}

bool TwipsPainter::code39(const QString& text, double pointSize) {
    const Code39Symbol symbol = encodeCode39(text);
    if (symbol.isEmpty())
        return false;
    code39(symbol, code39FontDots(pointSize), pointSize * kTwipsPerPoint);
    return true;
}

void TwipsPainter::code39(const Code39Symbol& symbol, Code39Dots dots, double heightTwips) {
    // Scanners read bars by their widths, so every bar and gap is a whole
    // number of printer dots; fractional bars come out uneven on the label.
    const double left = std::round(toDevice(currentX));
    const double top = std::round(toDevice(currentY));
    const double height = std::round(toDevice(heightTwips));
    for (const Code39Symbol::Bar& bar : symbol.barsInDots(dots))
        painter_.fillRect(QRectF(left + bar.start, top, bar.width, height), Qt::black);
}

Code39Dots TwipsPainter::code39FontDots(double pointSize) const {
    const double moduleInches = pointSize / 72.0 * kCharacterWidthEm / kModulesPerCharacter;
    const int narrow = std::max(1, int(std::lround(moduleInches * printer_.resolution())));
    return {narrow, 2 * narrow};
}
