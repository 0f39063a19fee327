#pragma once

#include <QImage>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

// Reads back what was really printed: the words of a PDF with their boxes
// (pdftotext -bbox), its pages rasterised (pdftoppm) and the barcodes found
// on them (zbarimg).
namespace PdfCheck {

constexpr double kPointsPerTwip = 1.0 / 20.0;

struct Word {
    int page = 0;  // from 1
    QString text;
    QRectF box;  // in points from the page's top-left corner
};

QList<Word> words(const QString& pdfFile);
// The words of one page, joined by blanks, line by line (by their top edge).
QStringList lines(const QString& pdfFile, int page = 1);
int pageCount(const QString& pdfFile);
QSizeF pageSizePoints(const QString& pdfFile, int page = 1);

// One page as a grey image at that resolution; a null image on failure.
QImage rasterise(const QString& pdfFile, int dpi, int page = 1);
// The Code 39 symbols zbarimg decodes on the image, as their texts.
QStringList decodeCode39(const QImage& image);
// rasterise + decodeCode39, optionally only an area of the page (in twips).
QStringList decodePage(const QString& pdfFile, int dpi, int page = 1, const QRectF& areaTwips = {});

// True when the pixel is dark (ink).
bool isInk(const QImage& image, int x, int y);
// Pixel coordinate of a length in twips at that resolution.
inline double pixels(double twips, int dpi) {
    return twips * dpi / 1440.0;
}
// Leftmost/topmost ink in the row/column within [from, to); -1 when none.
int firstInkInRow(const QImage& image, int y, int fromX = 0, int toX = -1);
int firstInkInColumn(const QImage& image, int x, int fromY = 0, int toY = -1);
// Number of ink pixels in the rectangle.
int inkIn(const QImage& image, const QRect& area);

// Runs a tool and returns its standard output; empty on failure.
QByteArray run(const QString& program, const QStringList& arguments, int* exitCode = nullptr);

}  // namespace PdfCheck
