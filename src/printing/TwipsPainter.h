#pragma once

#include <QFont>
#include <QPainter>
#include <QString>

#include "printing/Code39.h"

class QPixmap;
class QPrinter;

// Draws on a printer the way the program's layouts are written: positions
// and sizes in twips (1440 to the inch) from the top-left corner of the
// printable area, text placed by its top edge at the current position, each
// printed text ending its line.
class TwipsPainter {
public:
    explicit TwipsPainter(QPrinter& printer);
    ~TwipsPainter();
    TwipsPainter(const TwipsPainter&) = delete;
    TwipsPainter& operator=(const TwipsPainter&) = delete;

    // Starts the job; false when the printer cannot take it.
    bool begin();
    // Ends the page and releases the job; false when the printer failed.
    bool endDoc();

    // The current position: where the next text is printed (its top-left).
    double currentX = 0;
    double currentY = 0;

    // Listings run on over several pages; labels are one page whatever
    // their layout.
    bool autoPageFeed = false;

    void setFont(const QString& family, double pointSize);
    void setFontSize(double pointSize);

    // Ends the page; what follows goes on a new one, from the top.
    void newPage();

    // Prints the text at the current position, then moves to the start of
    // the next line (x back to 0, y down by the font's line height). A line
    // that would fall below the printable area goes onto a new page.
    void print(const QString& text);

    // The picture with its top-left corner at (x, y), at its own size
    // (15 twips to the pixel).
    void paintPicture(const QPixmap& picture, double x, double y);

    // A straight black line one printer dot wide.
    void line(double x1, double y1, double x2, double y2);

    // A Code 39 symbol of the text (start and stop characters added) at the
    // current position, as tall as a barcode font of that point size and
    // about as wide, with every bar on whole printer dots. False when the
    // text cannot be encoded.
    bool code39(const QString& text, double pointSize);
    // The symbol at the current position, `heightTwips` tall, its elements
    // as many printer dots wide as `dots` says.
    void code39(const Code39Symbol& symbol, Code39Dots dots, double heightTwips);
    // The element widths a barcode font of that point size prints with.
    Code39Dots code39FontDots(double pointSize) const;

    // Device units for a length in twips, and back.
    double toDevice(double twips) const;
    double toTwips(double deviceUnits) const;
    // Height of the printable area in twips.
    double printableHeight() const;
    // Line height of the current font in twips.
    double lineHeight() const;

private:
    QPrinter& printer_;
    QPainter painter_;
    QFont font_;
};
