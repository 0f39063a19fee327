// Draws the program's pictures (logos, splash artwork, toolbar images, the
// hidden picture and the program icon) into a folder. Run once when the
// artwork changes; the files it writes are kept in src/resources.
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

const QColor kNavy(24, 44, 86);
const QColor kAmber(242, 160, 28);

QImage canvas(int w, int h, QColor fill = Qt::white) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(fill);
    return img;
}

// A flight case seen from the front: a rounded box with corner caps and a
// handle. Kept as shapes so the painter and the SVG icon draw the same mark.
struct Mark {
    QRectF body;
    qreal radius = 0;
    qreal penWidth = 1;
    QList<QRectF> caps;  // the corner caps and the handle
};

Mark markIn(QRectF box) {
    Mark m;
    m.body = box;
    m.radius = box.height() / 8;
    m.penWidth = qMax(1.0, box.height() / 14);
    const qreal c = box.height() / 4;
    for (QPointF corner : {box.topLeft(), box.topRight() - QPointF(c, 0),
                           box.bottomLeft() - QPointF(0, c), box.bottomRight() - QPointF(c, c)})
        m.caps.append(QRectF(corner, QSizeF(c, c)));
    m.caps.append(QRectF(box.center().x() - c / 2, box.top() + box.height() * 0.4, c, c / 2));
    return m;
}

void drawMark(QPainter& p, QRectF box) {
    const Mark m = markIn(box);
    p.setPen(QPen(kNavy, m.penWidth));
    p.setBrush(kAmber);
    p.drawRoundedRect(m.body, m.radius, m.radius);
    p.setBrush(kNavy);
    for (const QRectF& cap : m.caps)
        p.drawRect(cap);
}

// The program icon: the mark alone on a clear square, as menus show it.
const QRectF kIconMarkBox(16, 40, 224, 176);  // in a 256 x 256 square

QImage programIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    drawMark(p, kIconMarkBox);
    return img;
}

QString svgRect(QRectF r, qreal radius, QColor fill) {
    return QStringLiteral(
               "  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" "
               "fill=\"%6\"/>\n")
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .arg(radius)
        .arg(fill.name());
}

// The same icon as scalable vector graphics, for menus at any size.
QByteArray programIconSvg() {
    const Mark m = markIn(kIconMarkBox);
    QString svg = QStringLiteral(
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
                      "viewBox=\"0 0 256 256\">\n"
                      "  <g stroke=\"%1\" stroke-width=\"%2\">\n")
                      .arg(kNavy.name())
                      .arg(m.penWidth);
    svg += QStringLiteral("  ") + svgRect(m.body, m.radius, kAmber);
    for (const QRectF& cap : m.caps)
        svg += QStringLiteral("  ") + svgRect(cap, 0, kNavy);
    svg += QStringLiteral("  </g>\n</svg>\n");
    return svg.toUtf8();
}

QImage logo(int w, int h, bool withTagline) {
    QImage img = canvas(w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawMark(p, QRectF(2, 2, h - 4, h - 4));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(withTagline ? h * 4 / 10 : h * 7 / 10);
    const QRectF text(h + 2, 0, w - h - 4, withTagline ? h * 0.6 : h);
    // Shrink the name until it fits beside the mark.
    while (f.pixelSize() > 6 &&
           QFontMetricsF(f).horizontalAdvance(QStringLiteral("Quarvel")) > text.width())
        f.setPixelSize(f.pixelSize() - 1);
    p.setFont(f);
    p.setPen(kNavy);
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Quarvel"));
    if (withTagline) {
        QFont t = f;
        t.setBold(false);
        t.setPixelSize(h / 6);
        p.setFont(t);
        p.setPen(QColor(90, 90, 90));
        p.drawText(QRectF(h + 2, h * 0.58, w - h - 4, h * 0.4), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("Brackenlow"));
    }
    return img;
}

QImage splash() {
    QImage img = canvas(818, 273);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 818, 0);
    g.setColorAt(0, kNavy);
    g.setColorAt(1, QColor(52, 92, 160));
    p.fillRect(img.rect(), g);
    for (int i = 0; i < 6; ++i)
        drawMark(p, QRectF(480 + i * 52, 150 - (i % 2) * 40, 90, 70));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(64);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(40, 40, 500, 90), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Quarvel"));
    f.setPixelSize(20);
    f.setBold(false);
    p.setFont(f);
    p.drawText(QRectF(44, 130, 500, 40), Qt::AlignLeft,
               QStringLiteral("Store · Test · Pack · Ship"));
    return img;
}

QImage icon(const QString& glyph, QColor colour) {
    QImage img(32, 32, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 2, 28, 28), 6, 6);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(glyph.size() > 1 ? 12 : 20);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 32, 32), Qt::AlignCenter, glyph);
    return img;
}

QImage funny() {
    QImage img = canvas(393, 740, QColor(255, 250, 230));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const char* captions[] = {"Checked it.", "Packed it.", "Labelled it.", "Lost the case."};
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(22);
    for (int i = 0; i < 4; ++i) {
        const QRectF panel(12, 12 + i * 181, 369, 169);
        p.setPen(QPen(Qt::black, 3));
        p.setBrush(Qt::white);
        p.drawRect(panel);
        drawMark(p, QRectF(panel.left() + 30, panel.top() + 40, 120 - i * 20, 80 - i * 12));
        p.setFont(f);
        p.setPen(Qt::black);
        p.drawText(panel.adjusted(170, 0, -10, 0), Qt::AlignVCenter | Qt::TextWordWrap,
                   QString::fromLatin1(captions[i]));
    }
    return img.convertToFormat(QImage::Format_Indexed8);
}

bool save(const QImage& img, const QDir& dir, const char* name) {
    const bool ok = img.save(dir.filePath(QLatin1String(name)));
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", name);
    return ok;
}

bool saveText(const QByteArray& text, const QDir& dir, const char* name) {
    QFile file(dir.filePath(QLatin1String(name)));
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", name);
    return ok;
}

// PNG's own checksum of a chunk's type and data.
quint32 pngCrc(const QByteArray& bytes) {
    quint32 crc = 0xffffffffu;
    for (const char byte : bytes) {
        crc ^= static_cast<quint8>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void appendBigEndian(QByteArray& out, quint32 value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xff);
}

void appendChunk(QByteArray& png, const char* type, const QByteArray& data) {
    appendBigEndian(png, static_cast<quint32>(data.size()));
    const QByteArray typed = QByteArray(type) + data;
    png += typed;
    appendBigEndian(png, pngCrc(typed));
}

// The splash artwork is read before the splash can show, at every start.
// Its rows are stored without PNG's filters (Qt's writer always picks
// some): a smaller file here, and half the work to decode.
bool saveUnfiltered(const QImage& image, const QDir& dir, const char* name) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    QByteArray rows;
    for (int y = 0; y < rgb.height(); ++y) {
        rows += '\0';  // filter type: none
        rows += QByteArray(reinterpret_cast<const char*>(rgb.constScanLine(y)), rgb.width() * 3);
    }
    QByteArray header;
    appendBigEndian(header, static_cast<quint32>(rgb.width()));
    appendBigEndian(header, static_cast<quint32>(rgb.height()));
    header += QByteArray("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB, not interlaced
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", qCompress(rows, 9).mid(4));  // the zlib stream without Qt's size
    appendChunk(png, "IEND", {});
    return saveText(png, dir, name);
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    bool ok = save(logo(214, 71, true), dir, "logo_large.png");
    ok &= save(logo(80, 20, false), dir, "logo_small.png");
    ok &= save(logo(120, 40, false), dir, "logo_main.png");
    ok &= saveUnfiltered(splash(), dir, "splash.png");
    ok &= save(funny(), dir, "funny.png");
    ok &= save(programIcon(256), dir, "quarvel_256.png");
    ok &= saveText(programIconSvg(), dir, "quarvel.svg");
    const struct {
        const char* file;
        const char* glyph;
        QColor colour;
    } icons[] = {
        {"tb_additem.png", "+I", QColor(40, 120, 60)},
        {"tb_addcase.png", "+C", QColor(40, 120, 60)},
        {"tb_addlist.png", "+L", QColor(40, 120, 60)},
        {"tb_edit.png", "E", kNavy},
        {"tb_delete.png", "X", QColor(170, 40, 40)},
        {"tb_testsdue.png", "T", QColor(190, 110, 0)},
        {"tb_availability.png", "Av", QColor(46, 104, 178)},
        {"tb_printers.png", "P", kNavy},
        {"tb_database.png", "DB", kNavy},
        {"tb_about.png", "?", kNavy},
        {"tb_exit.png", "Q", QColor(90, 90, 90)},
    };
    for (const auto& i : icons)
        ok &= save(icon(QString::fromLatin1(i.glyph), i.colour), dir, i.file);
    return ok ? 0 : 1;
}
