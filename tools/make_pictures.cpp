// Draws the program's pictures (logos, splash artwork, toolbar images and the
// hidden picture) into a folder. Run once when the artwork changes; the PNG
// files it writes are kept in src/resources.
#include <QDir>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
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

void drawMark(QPainter& p, QRectF box) {
    // A flight case seen from the front: a rounded box with corner caps.
    p.setPen(QPen(kNavy, qMax(1.0, box.height() / 14)));
    p.setBrush(kAmber);
    p.drawRoundedRect(box, box.height() / 8, box.height() / 8);
    p.setBrush(kNavy);
    const qreal c = box.height() / 4;
    for (QPointF corner : {box.topLeft(), box.topRight() - QPointF(c, 0),
                           box.bottomLeft() - QPointF(0, c), box.bottomRight() - QPointF(c, c)})
        p.drawRect(QRectF(corner, QSizeF(c, c)));
    p.drawRect(QRectF(box.center().x() - c / 2, box.top() + box.height() * 0.4, c, c / 2));
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

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    bool ok = save(logo(214, 71, true), dir, "logo_large.png");
    ok &= save(logo(80, 20, false), dir, "logo_small.png");
    ok &= save(logo(120, 40, false), dir, "logo_main.png");
    ok &= save(splash(), dir, "splash.png");
    ok &= save(funny(), dir, "funny.png");
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
        {"tb_printers.png", "P", kNavy},
        {"tb_database.png", "DB", kNavy},
        {"tb_about.png", "?", kNavy},
        {"tb_exit.png", "Q", QColor(90, 90, 90)},
    };
    for (const auto& i : icons)
        ok &= save(icon(QString::fromLatin1(i.glyph), i.colour), dir, i.file);
    return ok ? 0 : 1;
}
