// Which printer each print routine uses: the stored device name, matched
// exactly, else the printer that is current for the rest of the run.
#include <QtTest>

#include "LabelFixture.h"
#include "resources/Pictures.h"

namespace {
const QString kLabels = QStringLiteral("Label Printer");
const QString kSmall = QStringLiteral("Small Labels");
const QString kOffice = QStringLiteral("Office Laser");

bool printLarge(PrintingFixture& f) {
    return f.printing().PrintLargeLabel(LabelKind::Item, 1, Pictures::largeLogo());
}
bool printSmall(PrintingFixture& f) {
    return f.printing().PrintSmallLabel(1, Pictures::smallLogo());
}
bool printList(PrintingFixture& f) {
    return f.printing().PrintPickingList(QStringLiteral("L"), {QStringLiteral("1 - A")});
}
}  // namespace

class TestPrinterSelection : public QObject {
    Q_OBJECT

private slots:
    void nothingStoredPrintsOnSystemDefault() {
        PrintingFixture f;
        QCOMPARE(f.printing().currentPrinter(), kOffice);
        QVERIFY(printLarge(f));
        QCOMPARE(f.lastPrinter(), kOffice);
        QVERIFY(printSmall(f));
        QCOMPARE(f.lastPrinter(), kOffice);
        QVERIFY(printList(f));
        QCOMPARE(f.lastPrinter(), kOffice);
    }

    void eachRoutineUsesItsOwnKey() {
        PrintingFixture f;
        f.set(SettingsKeys::Printer, kLabels);
        f.set(SettingsKeys::SPrinter, kSmall);
        f.set(SettingsKeys::LPrinter, kOffice);
        QVERIFY(printSmall(f));
        QCOMPARE(f.lastPrinter(), kSmall);
        QVERIFY(printLarge(f));
        QCOMPARE(f.lastPrinter(), kLabels);
        QVERIFY(printList(f));
        QCOMPARE(f.lastPrinter(), kOffice);
    }

    void chosenPrinterStaysCurrentForTheRun() {
        PrintingFixture f;
        f.set(SettingsKeys::Printer, kLabels);
        QVERIFY(printLarge(f));
        QCOMPARE(f.lastPrinter(), kLabels);
        // "SPrinter" and "LPrinter" unset: the large-label printer stays current.
        QVERIFY(printSmall(f));
        QCOMPARE(f.lastPrinter(), kLabels);
        QVERIFY(printList(f));
        QCOMPARE(f.lastPrinter(), kLabels);
        QCOMPARE(f.printing().currentPrinter(), kLabels);

        // A new run starts on the system default again.
        AppContext nextRun(f.ts.services());
        QCOMPARE(nextRun.printing().currentPrinter(), kOffice);
    }

    void storedNameMustMatchExactly_data() {
        QTest::addColumn<QString>("stored");
        QTest::newRow("other letter case") << QStringLiteral("label printer");
        QTest::newRow("trailing blank") << QStringLiteral("Label Printer ");
        QTest::newRow("no longer installed") << QStringLiteral("Old Zebra");
        QTest::newRow("none") << QStringLiteral("none");
        QTest::newRow("None") << QStringLiteral("None");
        QTest::newRow("empty") << QString(QLatin1String(""));
    }
    void storedNameMustMatchExactly() {
        QFETCH(QString, stored);
        PrintingFixture f;
        f.set(SettingsKeys::SPrinter, kSmall);
        QVERIFY(printSmall(f));
        f.set(SettingsKeys::Printer, stored);
        f.set(SettingsKeys::LPrinter, stored);
        QVERIFY(printLarge(f));
        QCOMPARE(f.lastPrinter(), kSmall);
        QVERIFY(printList(f));
        QCOMPARE(f.lastPrinter(), kSmall);
    }

    void settingsAreReadAtEveryPrint() {
        PrintingFixture f;
        f.set(SettingsKeys::Printer, kLabels);
        QVERIFY(printLarge(f));
        QCOMPARE(f.lastPrinter(), kLabels);
        f.set(SettingsKeys::Printer, kSmall);
        QVERIFY(printLarge(f));
        QCOMPARE(f.lastPrinter(), kSmall);
    }

    void installedPrintersAreReadAfresh() {
        PrintingFixture f;
        f.set(SettingsKeys::Printer, QStringLiteral("New Zebra"));
        QVERIFY(printLarge(f));
        QCOMPARE(f.lastPrinter(), kOffice);
        f.printers().names.append(QStringLiteral("New Zebra"));
        QCOMPARE(f.printing().installedPrinters().last(), QStringLiteral("New Zebra"));
        QVERIFY(printLarge(f));
        QCOMPARE(f.lastPrinter(), QStringLiteral("New Zebra"));
    }

    void selectLabelPrinterOnlyChangesTheCurrentPrinter() {
        PrintingFixture f;
        f.set(SettingsKeys::Printer, kLabels);
        f.printing().SelectLabelPrinter(SettingsKeys::Printer);
        QCOMPARE(f.printing().currentPrinter(), kLabels);
        QCOMPARE(f.jobCount(), 0);
        f.printing().SelectLabelPrinter(SettingsKeys::SPrinter);  // unset: stays
        QCOMPARE(f.printing().currentPrinter(), kLabels);
    }

    void noPrinterInstalledTellsTheUser() {
        PrintingFixture f({}, QString());
        f.set(SettingsKeys::Printer, kLabels);
        QVERIFY(!printLarge(f));
        QVERIFY(!printSmall(f));
        QVERIFY(!printList(f));
        QCOMPARE(f.jobCount(), 0);
        QCOMPARE(f.ts.dialogs->messages.size(), 3);
        for (const auto& message : f.ts.dialogs->messages) {
            QCOMPARE(message.text,
                     QStringLiteral("The page could not be printed: no printer is installed."));
            QCOMPARE(message.icon, Dialogs::Icon::Critical);
            QCOMPARE(message.buttons, Dialogs::Buttons::Ok);
        }
    }

    void failingPrinterTellsTheUserAndOthersStillPrint() {
        PrintingFixture f;
        f.printers().failing = {kLabels};
        f.set(SettingsKeys::Printer, kLabels);
        f.set(SettingsKeys::LPrinter, kOffice);
        QVERIFY(!printLarge(f));
        QCOMPARE(f.ts.dialogs->lastMessage(),
                 QStringLiteral("The page could not be printed on \"Label Printer\"."));
        QVERIFY(printList(f));
        QCOMPARE(f.lastPrinter(), kOffice);
        QCOMPARE(f.ts.dialogs->messages.size(), 1);
    }

    void currentPrinterRemovedDuringTheRun() {
        PrintingFixture f;
        f.set(SettingsKeys::Printer, kLabels);
        QVERIFY(printLarge(f));
        f.printers().names.removeAll(kLabels);
        // The current printer is gone: nothing goes silently to another one.
        QVERIFY(!printSmall(f));
        QCOMPARE(f.jobCount(), 1);
        QCOMPARE(
            f.ts.dialogs->lastMessage(),
            QStringLiteral(
                "The page could not be printed: the printer \"Label Printer\" is not available."));
    }
};

QTEST_MAIN(TestPrinterSelection)
#include "test_printer_selection.moc"
