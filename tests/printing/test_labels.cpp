// Large and small barcode labels, read back from what was really printed.
#include <QtTest>

#include "LabelFixture.h"
#include "PdfCheck.h"
#include "data/rules/ScanRules.h"
#include "resources/Fonts.h"
#include "resources/Pictures.h"

using PdfCheck::kPointsPerTwip;
using PdfCheck::pixels;

namespace {

constexpr int kDpi = 300;

// The word whose text is `text`, or an empty word.
PdfCheck::Word wordOf(const QList<PdfCheck::Word>& words, const QString& text) {
    for (const auto& word : words) {
        if (word.text == text)
            return word;
    }
    return {};
}

// Text is placed by its top edge: the top of the font's box sits at the
// position given in twips (a point or so of difference between Qt's and
// poppler's idea of the font's ascent is allowed).
void checkPlacedAt(const PdfCheck::Word& word, double xTwips, double yTwips) {
    QVERIFY2(!word.text.isEmpty(), "word not printed");
    QVERIFY2(qAbs(word.box.left() - xTwips * kPointsPerTwip) < 1.0,
             qPrintable(QStringLiteral("%1 at x %2 pt").arg(word.text).arg(word.box.left())));
    QVERIFY2(qAbs(word.box.top() - yTwips * kPointsPerTwip) < 1.5,
             qPrintable(QStringLiteral("%1 at y %2 pt").arg(word.text).arg(word.box.top())));
}

void addItem(PrintingFixture& f, qint64 id, const QString& desc) {
    f.ts.reg.exec(
        QStringLiteral("INSERT INTO Items (id, \"desc\") VALUES (%1, '%2')").arg(id).arg(desc));
}

void addCase(PrintingFixture& f, qint64 id, const QString& name) {
    f.ts.reg.exec(
        QStringLiteral("INSERT INTO Cases (id, FName) VALUES (%1, '%2')").arg(id).arg(name));
}

// Ink across the rule's row, right of the barcode (the rules run from x 200 to 3400).
bool ruleAt(const QImage& page, double yTwips) {
    const int y = qRound(pixels(yTwips, kDpi));
    const QRect band(qRound(pixels(2900, kDpi)), y - 2, qRound(pixels(400, kDpi)), 5);
    return PdfCheck::inkIn(page, band) >= band.width() / 2;
}

}  // namespace

class TestLabels : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Fonts::loadTahoma(); }

    void largeItemLabelWithNumberAndDescription() {
        PrintingFixture f;
        addItem(f, 123, QStringLiteral("Cable drum 25m"));
        f.set(SettingsKeys::ItemNumOnLarge, QStringLiteral("Yes"));
        f.set(SettingsKeys::DescOnLarge, QStringLiteral("Yes"));

        QVERIFY(f.printing().PrintLargeLabel(LabelKind::Item, 123, Pictures::largeLogo()));
        QCOMPARE(f.jobCount(), 1);
        QCOMPARE(PdfCheck::pageCount(f.lastPdf()), 1);

        const auto words = PdfCheck::words(f.lastPdf());
        checkPlacedAt(wordOf(words, QStringLiteral("123")), 1900, 1500);
        checkPlacedAt(wordOf(words, QStringLiteral("Cable")), 200, 2100);
        QCOMPARE(PdfCheck::lines(f.lastPdf()), QStringList({"123", "Cable drum 25m"}));

        const QImage page = PdfCheck::rasterise(f.lastPdf(), kDpi);
        QVERIFY(ruleAt(page, 2100));
        QVERIFY(ruleAt(page, 2400));
        QCOMPARE(PdfCheck::decodeCode39(page), QStringList{"123"});
        QVERIFY(f.ts.dialogs->messages.isEmpty());
    }

    void largeLabelLogoAndBarcodeGeometry() {
        PrintingFixture f;
        QVERIFY(f.printing().PrintLargeLabel(LabelKind::Item, 42, Pictures::largeLogo()));
        const QImage page = PdfCheck::rasterise(f.lastPdf(), kDpi);

        // The logo covers 3210 x 1065 twips from (100, 100), nothing above or left of it.
        const QRect logo(qRound(pixels(100, kDpi)), qRound(pixels(100, kDpi)),
                         qRound(pixels(3210, kDpi)), qRound(pixels(1065, kDpi)));
        QVERIFY(PdfCheck::inkIn(page, logo) > 0);
        QCOMPARE(PdfCheck::inkIn(page, QRect(0, 0, page.width(), logo.top() - 1)), 0);
        QCOMPARE(PdfCheck::inkIn(page, QRect(0, 0, logo.left() - 1, logo.bottom())), 0);

        // The barcode starts at (200, 1350) and is 40 pt (800 twips) tall.
        const int middle = qRound(pixels(1350 + 400, kDpi));
        const int firstBar = PdfCheck::firstInkInRow(page, middle);
        QVERIFY(qAbs(firstBar - pixels(200, kDpi)) <= 1.0);
        const int top = PdfCheck::firstInkInColumn(page, firstBar + 1, logo.bottom() + 2);
        QVERIFY(qAbs(top - pixels(1350, kDpi)) <= 1.0);
        int bottom = top;
        while (PdfCheck::isInk(page, firstBar + 1, bottom + 1))
            ++bottom;
        QVERIFY(qAbs(bottom + 1 - pixels(2150, kDpi)) <= 1.0);
    }

    void largeLabelOptionsNeedExactYes_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("missing") << QString();
        QTest::newRow("No") << QStringLiteral("No");
        QTest::newRow("lower case") << QStringLiteral("yes");
        QTest::newRow("trailing blank") << QStringLiteral("Yes ");
    }
    void largeLabelOptionsNeedExactYes() {
        QFETCH(QString, value);
        PrintingFixture f;
        addItem(f, 5, QStringLiteral("Shackle"));
        if (!value.isNull()) {
            f.set(SettingsKeys::ItemNumOnLarge, value);
            f.set(SettingsKeys::DescOnLarge, value);
        }
        QVERIFY(f.printing().PrintLargeLabel(LabelKind::Item, 5, Pictures::largeLogo()));
        // Only the logo and the barcode.
        QVERIFY(PdfCheck::words(f.lastPdf()).isEmpty());
        const QImage page = PdfCheck::rasterise(f.lastPdf(), kDpi);
        QVERIFY(!ruleAt(page, 2100));
        QVERIFY(!ruleAt(page, 2400));
        QCOMPARE(PdfCheck::decodeCode39(page), QStringList{"5"});
    }

    void descriptionWithoutNumber() {
        PrintingFixture f;
        addItem(f, 8, QStringLiteral("Chain hoist"));
        f.set(SettingsKeys::DescOnLarge, QStringLiteral("Yes"));
        QVERIFY(f.printing().PrintLargeLabel(LabelKind::Item, 8, Pictures::largeLogo()));
        QCOMPARE(PdfCheck::lines(f.lastPdf()), QStringList{"Chain hoist"});
        QVERIFY(ruleAt(PdfCheck::rasterise(f.lastPdf(), kDpi), 2400));
    }

    void caseLabelUsesCaseNumberOptionAndName() {
        PrintingFixture f;
        addCase(f, 17, QStringLiteral("Amp rack"));
        addItem(f, 17, QStringLiteral("Not this one"));
        f.set(SettingsKeys::DescOnLarge, QStringLiteral("Yes"));
        f.set(SettingsKeys::ItemNumOnLarge, QStringLiteral("Yes"));

        // The item number option does not apply to cases.
        QVERIFY(f.printing().PrintLargeLabel(LabelKind::Case, 17, Pictures::largeLogo()));
        QCOMPARE(PdfCheck::lines(f.lastPdf()), QStringList{"Amp rack"});

        f.set(SettingsKeys::CaseNumOnLarge, QStringLiteral("Yes"));
        f.set(SettingsKeys::ItemNumOnLarge, QStringLiteral("No"));
        QVERIFY(f.printing().PrintLargeLabel(LabelKind::Case, 17, Pictures::largeLogo()));
        QCOMPARE(PdfCheck::lines(f.lastPdf()), QStringList({"17", "Amp rack"}));
        checkPlacedAt(wordOf(PdfCheck::words(f.lastPdf()), QStringLiteral("17")), 1900, 1500);
        // No "F" before the case number, on the barcode either.
        QCOMPARE(PdfCheck::decodePage(f.lastPdf(), kDpi), QStringList{"17"});
    }

    // "CaseLetterOnLabels" puts "F" before a case's number, in the barcode
    // too, so that its label scans as the case; item labels stay as they are.
    void caseLetterOnLabels_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("letter");
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("scansAs");
        QTest::newRow("case") << int(LabelKind::Case) << "Yes"
                              << "F12" << int(ScanRules::Code::Type::Case);
        QTest::newRow("case, off") << int(LabelKind::Case) << "No"
                                   << "12" << int(ScanRules::Code::Type::Item);
        QTest::newRow("item") << int(LabelKind::Item) << "Yes"
                              << "12" << int(ScanRules::Code::Type::Item);
    }
    void caseLetterOnLabels() {
        QFETCH(int, kind);
        QFETCH(QString, letter);
        QFETCH(QString, code);
        QFETCH(int, scansAs);
        PrintingFixture f;
        f.set(SettingsKeys::CaseLetterOnLabels, letter);
        f.set(SettingsKeys::ItemNumOnLarge, QStringLiteral("Yes"));
        f.set(SettingsKeys::CaseNumOnLarge, QStringLiteral("Yes"));
        const auto labelKind = static_cast<LabelKind>(kind);
        QVERIFY(f.printing().PrintLargeLabel(labelKind, 12, Pictures::largeLogo()));
        QCOMPARE(PdfCheck::lines(f.lastPdf()), QStringList{code});
        const QStringList large = PdfCheck::decodePage(f.lastPdf(), kDpi);
        QVERIFY(f.printing().PrintSmallLabel(12, Pictures::smallLogo(), labelKind));
        QCOMPARE(PdfCheck::decodePage(f.lastPdf(), kDpi), QStringList{code});
        QCOMPARE(large, QStringList{code});
        QCOMPARE(int(ScanRules::parse(large.value(0)).type), scansAs);
    }

    void recordNotYetStoredPrintsRulesOnly() {
        PrintingFixture f;
        f.set(SettingsKeys::DescOnLarge, QStringLiteral("Yes"));
        QVERIFY(f.printing().PrintLargeLabel(LabelKind::Item, 31, Pictures::largeLogo()));
        QVERIFY(f.printing().PrintLargeLabel(LabelKind::Case, 31, Pictures::largeLogo()));
        const QImage page = PdfCheck::rasterise(f.lastPdf(), kDpi);
        QVERIFY(PdfCheck::words(f.lastPdf()).isEmpty());
        QVERIFY(ruleAt(page, 2100));
        QVERIFY(ruleAt(page, 2400));
        QCOMPARE(PdfCheck::decodeCode39(page), QStringList{"31"});
        QVERIFY(f.ts.dialogs->messages.isEmpty());
    }

    void unreadableRegisterStillPrintsTheLabel() {
        PrintingFixture f;
        f.set(SettingsKeys::DescOnLarge, QStringLiteral("Yes"));
        f.ts.reg.exec(QStringLiteral("DROP TABLE Items"));
        QVERIFY(f.printing().PrintLargeLabel(LabelKind::Item, 12, Pictures::largeLogo()));
        // The store has told the user; the label carries everything but the description.
        QCOMPARE(f.ts.dialogs->messages.size(), 1);
        QVERIFY(PdfCheck::words(f.lastPdf()).isEmpty());
        QCOMPARE(PdfCheck::decodePage(f.lastPdf(), kDpi), QStringList{"12"});
    }

    void longDescriptionStaysOnOneLine() {
        PrintingFixture f;
        const QString description = QStringLiteral(
            "Motor control rack with eight outputs and a spare cable loom for the truss");
        addItem(f, 9, description);
        f.set(SettingsKeys::DescOnLarge, QStringLiteral("Yes"));
        QVERIFY(f.printing().PrintLargeLabel(LabelKind::Item, 9, Pictures::largeLogo()));
        QCOMPARE(PdfCheck::lines(f.lastPdf()), QStringList{description});
        // It runs on past the end of the rules (x 3400) instead of wrapping.
        QVERIFY(PdfCheck::words(f.lastPdf()).last().box.right() > 3400 * kPointsPerTwip);
    }

    void smallLabelGeometry() {
        PrintingFixture f;
        f.set(SettingsKeys::DescOnLarge, QStringLiteral("Yes"));  // no options on small labels
        f.set(SettingsKeys::ItemNumOnLarge, QStringLiteral("Yes"));
        QVERIFY(f.printing().PrintSmallLabel(4711, Pictures::smallLogo()));
        QVERIFY(PdfCheck::words(f.lastPdf()).isEmpty());

        const QImage page = PdfCheck::rasterise(f.lastPdf(), kDpi);
        const QRect logo(qRound(pixels(50, kDpi)), qRound(pixels(50, kDpi)),
                         qRound(pixels(1200, kDpi)), qRound(pixels(300, kDpi)));
        QVERIFY(PdfCheck::inkIn(page, logo) > 0);
        QCOMPARE(PdfCheck::inkIn(page, QRect(0, 0, page.width(), logo.top() - 1)), 0);

        // Barcode from (1700, 100), 25 pt (500 twips) tall.
        const int middle = qRound(pixels(100 + 250, kDpi));
        const int firstBar = PdfCheck::firstInkInRow(page, middle, logo.right() + 2);
        QVERIFY(qAbs(firstBar - pixels(1700, kDpi)) <= 1.0);
        const int top = PdfCheck::firstInkInColumn(page, firstBar + 1);
        QVERIFY(qAbs(top - pixels(100, kDpi)) <= 1.0);
        int bottom = top;
        while (PdfCheck::isInk(page, firstBar + 1, bottom + 1))
            ++bottom;
        QVERIFY(qAbs(bottom + 1 - pixels(600, kDpi)) <= 1.0);
        QCOMPARE(PdfCheck::decodeCode39(page), QStringList{"4711"});
        // Nothing below the barcode.
        QCOMPARE(
            PdfCheck::inkIn(page, QRect(0, bottom + 2, page.width(), page.height() - bottom - 2)),
            0);
    }

    void barcodeWidthFollowsFontSize() {
        // About as wide as a Code 39 font draws "*" + id + "*": some 0.8 em per character.
        PrintingFixture f;
        QVERIFY(f.printing().PrintLargeLabel(LabelKind::Item, 1234, Pictures::largeLogo()));
        QVERIFY(f.printing().PrintSmallLabel(1234, Pictures::smallLogo()));
        const auto widthInches = [](const QString& pdf, double yTwips, int fromTwips) {
            const QImage page = PdfCheck::rasterise(pdf, kDpi);
            const int y = qRound(pixels(yTwips, kDpi));
            const int first = PdfCheck::firstInkInRow(page, y, qRound(pixels(fromTwips, kDpi)));
            int last = first;
            for (int x = first; x < page.width(); ++x) {
                if (PdfCheck::isInk(page, x, y))
                    last = x;
            }
            return (last + 1 - first) / double(kDpi);
        };
        const double large = widthInches(f.ts.printers->jobs[0].pdfFile, 1750, 150);
        const double small = widthInches(f.ts.printers->jobs[1].pdfFile, 350, 1500);
        const double largeExpected = 6 * 0.8 * 40 / 72.0;
        const double smallExpected = 6 * 0.8 * 25 / 72.0;
        QVERIFY2(qAbs(large - largeExpected) < 0.1 * largeExpected,
                 qPrintable(QString::number(large)));
        QVERIFY2(qAbs(small - smallExpected) < 0.1 * smallExpected,
                 qPrintable(QString::number(small)));
    }

    void sameIdSameBarcodeForItemsAndCases() {
        PrintingFixture f;
        QVERIFY(f.printing().PrintLargeLabel(LabelKind::Item, 77, Pictures::largeLogo()));
        QVERIFY(f.printing().PrintLargeLabel(LabelKind::Case, 77, Pictures::largeLogo()));
        QCOMPARE(PdfCheck::rasterise(f.ts.printers->jobs[0].pdfFile, 203),
                 PdfCheck::rasterise(f.ts.printers->jobs[1].pdfFile, 203));
    }

    // Every label must scan: ids of 1 to 8 digits, on printers of 203 and
    // 300 dots per inch, read back at 203 and at 300 dpi. Large labels carry
    // everything they can and scan on any line across their bars, also one
    // through the printed number: each is read in bands a few dots high.
    void everyLabelScans_data() {
        QTest::addColumn<int>("printerDpi");
        for (int dpi : {203, 300})
            QTest::newRow(qPrintable(QStringLiteral("%1 dpi printer").arg(dpi))) << dpi;
    }
    void everyLabelScans() {
        QFETCH(int, printerDpi);
        PrintingFixture f;
        f.printers().resolution = printerDpi;
        f.printers().pageSize = QPageSize(QSizeF(130, 80), QPageSize::Millimeter);
        f.set(SettingsKeys::ItemNumOnLarge, QStringLiteral("Yes"));
        f.set(SettingsKeys::DescOnLarge, QStringLiteral("Yes"));

        const QList<qint64> ids = {7, 40, 309, 8128, 65536, 123456, 9999999, 87654321};
        const QRectF smallBand(1500, 0, 5000, 700);
        for (qint64 id : ids) {
            const QStringList expected{QString::number(id)};
            addItem(f, id, QStringLiteral("Item %1").arg(id));
            QVERIFY(f.printing().PrintLargeLabel(LabelKind::Item, id, Pictures::largeLogo()));
            const QString large = f.lastPdf();
            QVERIFY(f.printing().PrintSmallLabel(id, Pictures::smallLogo()));
            const QString small = f.lastPdf();

            const double numberMiddle =
                wordOf(PdfCheck::words(large), expected[0]).box.center().y() / kPointsPerTwip;
            for (int readDpi : {203, 300}) {
                const QImage page = PdfCheck::rasterise(large, readDpi);
                // The bars end above the upper rule.
                const int aboveRule = qRound(pixels(2100, readDpi)) - 3;
                QCOMPARE(PdfCheck::inkIn(page, QRect(0, aboveRule, page.width(), 2)), 0);
                for (double y : {1400.0, 1600.0, numberMiddle, 1900.0, 2000.0}) {
                    const QRect band(0, qRound(pixels(y - 15, readDpi)), page.width(),
                                     qRound(pixels(30, readDpi)));
                    QVERIFY2(PdfCheck::decodeCode39(page.copy(band)) == expected,
                             qPrintable(QStringLiteral("large label %1 at y %2 read at %3 dpi")
                                            .arg(id)
                                            .arg(y)
                                            .arg(readDpi)));
                }
            }
            for (int readDpi : {203, 300}) {
                QVERIFY2(PdfCheck::decodePage(small, readDpi, 1, smallBand) == expected,
                         qPrintable(
                             QStringLiteral("small label %1 read at %2 dpi").arg(id).arg(readDpi)));
            }
        }
    }
};

QTEST_MAIN(TestLabels)
#include "test_labels.moc"
