// The picking-list printout, read back from the printed PDF.
#include <QtTest>

#include "LabelFixture.h"
#include "PdfCheck.h"
#include "resources/Fonts.h"

using PdfCheck::kPointsPerTwip;

namespace {

QStringList itemLines(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines.append(QStringLiteral("%1 - Stage deck %2").arg(i).arg(i));
    return lines;
}

// The top edge of the first word of every printed line on the page, in points.
QList<double> lineTops(const QString& pdf, int page) {
    QList<double> tops;
    for (const auto& word : PdfCheck::words(pdf)) {
        if (word.page == page && (tops.isEmpty() || qAbs(tops.last() - word.box.top()) > 1.0))
            tops.append(word.box.top());
    }
    return tops;
}

QList<double> lineLefts(const QString& pdf, int page) {
    QList<double> lefts;
    double lastTop = -100;
    for (const auto& word : PdfCheck::words(pdf)) {
        if (word.page == page && qAbs(lastTop - word.box.top()) > 1.0) {
            lefts.append(word.box.left());
            lastTop = word.box.top();
        }
    }
    return lefts;
}

}  // namespace

class TestPickingList : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Fonts::loadTahoma(); }

    void titleAndOneLinePerItem() {
        PrintingFixture f;
        f.set(SettingsKeys::LPrinter, QStringLiteral("Office Laser"));
        const QStringList lines = {"12 - Par can 64", "13 - Par can 64", "20 - Dimmer rack 12ch"};
        QVERIFY(f.printing().PrintPickingList(QStringLiteral("Festival 09"), lines));
        QCOMPARE(f.lastPrinter(), QStringLiteral("Office Laser"));

        const QString pdf = f.lastPdf();
        QCOMPARE(PdfCheck::pageCount(pdf), 1);
        QCOMPARE(PdfCheck::lines(pdf), QStringList({"Quarvel List - Festival 09", "12 - Par can 64",
                                                    "13 - Par can 64", "20 - Dimmer rack 12ch"}));

        const QList<double> tops = lineTops(pdf, 1);
        QCOMPARE(tops.size(), 4);
        // Title at (400, 400) twips; every line starts 400 twips from the left.
        QVERIFY(qAbs(tops[0] - 400 * kPointsPerTwip) < 1.5);
        for (double left : lineLefts(pdf, 1))
            QVERIFY2(qAbs(left - 400 * kPointsPerTwip) < 1.0, qPrintable(QString::number(left)));
        // Each line moves down by the line height of the font it was printed
        // in: 30 pt for the title, 12 pt for the items.
        const double titleStep = tops[1] - tops[0];
        const double itemStep = tops[2] - tops[1];
        QVERIFY(qAbs(tops[3] - tops[2] - itemStep) < 0.1);
        QVERIFY2(qAbs(titleStep / itemStep - 30.0 / 12.0) < 0.125,
                 qPrintable(QStringLiteral("%1 / %2").arg(titleStep).arg(itemStep)));
        QVERIFY(itemStep >= 11.5 && itemStep < 16.0);
    }

    void emptyListPrintsTitleOnly() {
        PrintingFixture f;
        QVERIFY(f.printing().PrintPickingList(QStringLiteral("Nothing yet"), {}));
        QCOMPARE(PdfCheck::lines(f.lastPdf()), QStringList{"Quarvel List - Nothing yet"});
    }

    void linesAreNotChanged() {
        PrintingFixture f;
        const QStringList lines = {"7 - Truss 3m <black> & \"silver\"", "8 -  two  blanks"};
        QVERIFY(f.printing().PrintPickingList(QStringLiteral("A & B"), lines));
        const auto words = PdfCheck::words(f.lastPdf());
        QStringList texts;
        for (const auto& word : words)
            texts.append(word.text);
        QCOMPARE(texts.join(QLatin1Char(' ')),
                 QStringLiteral(
                     "Quarvel List - A & B 7 - Truss 3m <black> & \"silver\" 8 - two blanks"));
    }

    void longListingContinuesOnNewPages() {
        PrintingFixture f;
        f.printers().pageSize = QPageSize(QPageSize::A5);
        f.printers().minimumMargins = QMarginsF(18, 18, 18, 18);
        const QStringList lines = itemLines(80);
        QVERIFY(f.printing().PrintPickingList(QStringLiteral("Tour"), lines));
        const QString pdf = f.lastPdf();

        const int pages = PdfCheck::pageCount(pdf);
        QVERIFY2(pages >= 2, qPrintable(QString::number(pages)));
        QStringList printed;
        const double printableBottom = PdfCheck::pageSizePoints(pdf).height() - 18;
        for (int page = 1; page <= pages; ++page) {
            printed += PdfCheck::lines(pdf, page);
            for (double left : lineLefts(pdf, page))
                QVERIFY(qAbs(left - 18 - 400 * kPointsPerTwip) < 1.0);
            for (const auto& word : PdfCheck::words(pdf)) {
                if (word.page == page)
                    QVERIFY2(word.box.bottom() <= printableBottom + 0.5,
                             qPrintable(QStringLiteral("%1 on page %2").arg(word.text).arg(page)));
            }
        }
        QCOMPARE(printed, QStringList{"Quarvel List - Tour"} + lines);
        // A continued page starts at the top of the printable area.
        QVERIFY(qAbs(lineTops(pdf, 2).first() - 18) < 1.5);
        // Pages are filled: the first one holds as many lines as fit.
        QVERIFY(PdfCheck::lines(pdf, 1).size() > 30);
    }
};

QTEST_MAIN(TestPickingList)
#include "test_picking_list.moc"
