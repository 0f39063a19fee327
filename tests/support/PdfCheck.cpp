#include "PdfCheck.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <map>

namespace PdfCheck {

QByteArray run(const QString& program, const QStringList& arguments, int* exitCode) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        if (exitCode)
            *exitCode = -1;
        return {};
    }
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return process.readAllStandardOutput();
}

QList<Word> words(const QString& pdfFile) {
    const QString xhtml = QString::fromUtf8(
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdfFile, QStringLiteral("-")}));
    static const QRegularExpression pattern(
        QStringLiteral(R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" )re"
                       R"re(yMax="([\d.]+)">(.*?)</word>)re"));
    QList<Word> result;
    int page = 0;
    for (auto it = pattern.globalMatch(xhtml); it.hasNext();) {
        const auto match = it.next();
        if (match.captured(0).startsWith(QLatin1String("<page"))) {
            ++page;
            continue;
        }
        Word word;
        word.page = page;
        word.box = QRectF(QPointF(match.captured(1).toDouble(), match.captured(2).toDouble()),
                          QPointF(match.captured(3).toDouble(), match.captured(4).toDouble()));
        word.text = match.captured(5)
                        .replace(QLatin1String("&lt;"), QLatin1String("<"))
                        .replace(QLatin1String("&gt;"), QLatin1String(">"))
                        .replace(QLatin1String("&quot;"), QLatin1String("\""))
                        .replace(QLatin1String("&amp;"), QLatin1String("&"));
        result.append(word);
    }
    return result;
}

QStringList lines(const QString& pdfFile, int page) {
    std::map<int, QStringList> byTop;  // rounded top edge -> words
    for (const Word& word : words(pdfFile)) {
        if (word.page == page)
            byTop[qRound(word.box.top())].append(word.text);
    }
    QStringList result;
    for (const auto& [top, texts] : byTop)
        result.append(texts.join(QLatin1Char(' ')));
    return result;
}

int pageCount(const QString& pdfFile) {
    const QString info = QString::fromUtf8(run(QStringLiteral("pdfinfo"), {pdfFile}));
    static const QRegularExpression pages(QStringLiteral(R"(Pages:\s+(\d+))"));
    const auto match = pages.match(info);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QSizeF pageSizePoints(const QString& pdfFile, int page) {
    const QString info = QString::fromUtf8(
        run(QStringLiteral("pdfinfo"), {QStringLiteral("-f"), QString::number(page),
                                        QStringLiteral("-l"), QString::number(page), pdfFile}));
    static const QRegularExpression size(QStringLiteral(R"(size:\s+([\d.]+) x ([\d.]+) pts)"));
    const auto match = size.match(info);
    return match.hasMatch() ? QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble())
                            : QSizeF();
}

namespace {

// Rasterises one page into a grey PGM file in `dir`; empty text on failure.
QString rasteriseToFile(const QTemporaryDir& dir, const QString& pdfFile, int dpi, int page,
                        const QRectF& areaTwips = {}) {
    const QString base = dir.filePath(QStringLiteral("page"));
    QStringList arguments{QStringLiteral("-r"),    QString::number(dpi),
                          QStringLiteral("-f"),    QString::number(page),
                          QStringLiteral("-l"),    QString::number(page),
                          QStringLiteral("-gray"), QStringLiteral("-singlefile")};
    if (!areaTwips.isEmpty()) {
        const QRect area(
            qRound(pixels(areaTwips.left(), dpi)), qRound(pixels(areaTwips.top(), dpi)),
            qRound(pixels(areaTwips.width(), dpi)), qRound(pixels(areaTwips.height(), dpi)));
        arguments << QStringLiteral("-x") << QString::number(area.left()) << QStringLiteral("-y")
                  << QString::number(area.top()) << QStringLiteral("-W")
                  << QString::number(area.width()) << QStringLiteral("-H")
                  << QString::number(area.height());
    }
    arguments << pdfFile << base;
    int exitCode = 0;
    run(QStringLiteral("pdftoppm"), arguments, &exitCode);
    return exitCode == 0 ? base + QStringLiteral(".pgm") : QString();
}

QStringList decodeFile(const QString& imageFile) {
    if (imageFile.isEmpty())
        return {};
    const QString out = QString::fromUtf8(
        run(QStringLiteral("zbarimg"),
            {QStringLiteral("--nodbus"), QStringLiteral("--quiet"), QStringLiteral("--raw"),
             QStringLiteral("-Sdisable"), QStringLiteral("-Scode39.enable"), imageFile}));
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace

QImage rasterise(const QString& pdfFile, int dpi, int page) {
    QTemporaryDir dir;
    const QString file = rasteriseToFile(dir, pdfFile, dpi, page);
    if (file.isEmpty())
        return {};
    return QImage(file).convertToFormat(QImage::Format_Grayscale8);
}

QStringList decodeCode39(const QImage& image) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("page.pgm"));
    return image.save(file) ? decodeFile(file) : QStringList();
}

QStringList decodePage(const QString& pdfFile, int dpi, int page, const QRectF& areaTwips) {
    QTemporaryDir dir;
    return decodeFile(rasteriseToFile(dir, pdfFile, dpi, page, areaTwips));
}

bool isInk(const QImage& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
        return false;
    return qGray(image.pixel(x, y)) < 128;
}

int firstInkInRow(const QImage& image, int y, int fromX, int toX) {
    if (toX < 0)
        toX = image.width();
    for (int x = fromX; x < toX; ++x) {
        if (isInk(image, x, y))
            return x;
    }
    return -1;
}

int firstInkInColumn(const QImage& image, int x, int fromY, int toY) {
    if (toY < 0)
        toY = image.height();
    for (int y = fromY; y < toY; ++y) {
        if (isInk(image, x, y))
            return y;
    }
    return -1;
}

int inkIn(const QImage& image, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            count += isInk(image, x, y) ? 1 : 0;
    }
    return count;
}

}  // namespace PdfCheck
