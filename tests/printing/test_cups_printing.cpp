// Printing through a real print service: a CUPS server of the test's own with
// three cups-pdf queues. Each job must come out of the queue the settings
// name, on that queue's own page, with the right content.
#include <QtTest>

#include "CupsServer.h"
#include "PdfCheck.h"
#include "TestApp.h"
#include "app/AppContext.h"
#include "data/Settings.h"
#include "printing/PrintService.h"
#include "printing/PrinterCatalog.h"
#include "resources/Fonts.h"
#include "resources/Pictures.h"

namespace {

// Queue names of this run (two test runs on one machine must not meet in
// /etc/cups, where cups-pdf keeps its per-queue settings).
QString queueName(const char* role) {
    return QStringLiteral("Quarvel-%1-%2")
        .arg(QLatin1String(role))
        .arg(QCoreApplication::applicationPid());
}

// The program's printing on the machine's real printers (here: the test's
// CUPS server), over a temporary register and settings file.
struct CupsPrinting {
    TestApp ts;
    std::unique_ptr<AppContext> ctx;

    CupsPrinting() {
        Services services = ts.services();
        services.printers = std::make_shared<PrinterCatalog>();
        ctx = std::make_unique<AppContext>(services);
    }
    PrintService& printing() { return ctx->printing(); }
    void set(const QString& key, const QString& value) { ctx->settings().write(key, value); }
};

}  // namespace

class TestCupsPrinting : public QObject {
    Q_OBJECT

    CupsServer server_;
    const QString large_ = queueName("Large");
    const QString small_ = queueName("Small");
    const QString list_ = queueName("List");

    // The one PDF that the queue printed since the last clear.
    QString onlyJobOf(const QString& queue) {
        const QStringList files = server_.pdfFiles(queue);
        return files.size() == 1 ? files.first() : QString();
    }

    void checkOnlyQueueUsed(const QString& queue) {
        QVERIFY(server_.waitUntilIdle());
        for (const QString& q : {large_, small_, list_})
            QCOMPARE(server_.pdfFiles(q).size(), q == queue ? 1 : 0);
    }

private slots:
    void initTestCase() {
        const QString reason = CupsServer::unavailableReason();
        if (!reason.isEmpty())
            QSKIP(qPrintable(reason));
        Fonts::loadTahoma();
        // The list queue is the server's default printer.
        QVERIFY2(server_.start({list_, large_, small_}), qPrintable(server_.error()));
        // The small-label queue's driver uses Letter paper, the others A4.
        int exitCode = 0;
        server_.tool(
            QStringLiteral("lpadmin"),
            {QStringLiteral("-p"), small_, QStringLiteral("-o"), QStringLiteral("PageSize=Letter")},
            &exitCode);
        QCOMPARE(exitCode, 0);
    }
    void init() { server_.clearOutput(); }
    void cleanupTestCase() { server_.stop(); }

    void printersAndDefaultComeFromTheSystem() {
        CupsPrinting p;
        const QStringList installed = p.printing().installedPrinters();
        QStringList systemOrder;
        for (const QString& line :
             server_.tool(QStringLiteral("lpstat"), {QStringLiteral("-e")}).split('\n'))
            if (!line.trimmed().isEmpty())
                systemOrder.append(line.trimmed());
        QCOMPARE(installed, systemOrder);
        QVERIFY(installed.contains(large_) && installed.contains(small_) &&
                installed.contains(list_));
        QCOMPARE(p.printing().currentPrinter(), list_);
    }

    void eachJobComesOutOfItsQueue() {
        CupsPrinting p;
        p.ts.reg.exec(
            QStringLiteral("INSERT INTO Items (id, \"desc\") VALUES (123, 'Cable drum 25m')"));
        p.set(SettingsKeys::Printer, large_);
        p.set(SettingsKeys::SPrinter, small_);
        p.set(SettingsKeys::LPrinter, list_);
        p.set(SettingsKeys::ItemNumOnLarge, QStringLiteral("Yes"));
        p.set(SettingsKeys::DescOnLarge, QStringLiteral("Yes"));

        QVERIFY(p.printing().PrintLargeLabel(LabelKind::Item, 123, Pictures::largeLogo()));
        checkOnlyQueueUsed(large_);
        const QString large = onlyJobOf(large_);
        QCOMPARE(PdfCheck::lines(large), QStringList({"123", "Cable drum 25m"}));
        QCOMPARE(PdfCheck::pageSizePoints(large).toSize(), QSize(595, 842));
        QCOMPARE(PdfCheck::decodePage(large, 300), QStringList{"123"});
        QCOMPARE(PdfCheck::decodePage(large, 203), QStringList{"123"});

        server_.clearOutput();
        QVERIFY(p.printing().PrintSmallLabel(4567, Pictures::smallLogo()));
        checkOnlyQueueUsed(small_);
        const QString small = onlyJobOf(small_);
        QCOMPARE(PdfCheck::pageSizePoints(small).toSize(), QSize(612, 792));
        QCOMPARE(PdfCheck::decodePage(small, 300), QStringList{"4567"});
        QCOMPARE(PdfCheck::decodePage(small, 203), QStringList{"4567"});
        // Twips from the corner of the printable area (the whole page here):
        // the barcode starts at x 1700.
        const QImage page = PdfCheck::rasterise(small, 300);
        const int firstBar = PdfCheck::firstInkInRow(page, qRound(PdfCheck::pixels(350, 300)),
                                                     qRound(PdfCheck::pixels(1400, 300)));
        QVERIFY2(qAbs(firstBar - PdfCheck::pixels(1700, 300)) <= 2,
                 qPrintable(QString::number(firstBar)));

        server_.clearOutput();
        QVERIFY(p.printing().PrintPickingList(QStringLiteral("Festival"),
                                              {"123 - Cable drum 25m", "7 - Truss"}));
        checkOnlyQueueUsed(list_);
        QCOMPARE(PdfCheck::lines(onlyJobOf(list_)),
                 QStringList({"Quarvel List - Festival", "123 - Cable drum 25m", "7 - Truss"}));
    }

    void unmatchedNamesKeepTheCurrentPrinter() {
        CupsPrinting p;
        // CUPS itself ignores letter case in queue names; the program does not.
        p.set(SettingsKeys::Printer, large_.toLower());
        QVERIFY(p.printing().PrintLargeLabel(LabelKind::Case, 55, Pictures::largeLogo()));
        checkOnlyQueueUsed(list_);
        QCOMPARE(PdfCheck::decodePage(onlyJobOf(list_), 300), QStringList{"55"});

        // Once a routine has chosen a printer, it stays current.
        server_.clearOutput();
        p.set(SettingsKeys::SPrinter, small_);
        QVERIFY(p.printing().PrintSmallLabel(56, Pictures::smallLogo()));
        checkOnlyQueueUsed(small_);

        server_.clearOutput();
        p.set(SettingsKeys::LPrinter, QStringLiteral("No Such Printer"));
        QVERIFY(p.printing().PrintPickingList(QStringLiteral("After"), {}));
        checkOnlyQueueUsed(small_);
        // ... on its own page size, not the page of the printer chosen before.
        server_.clearOutput();
        p.set(SettingsKeys::Printer, large_);
        QVERIFY(p.printing().PrintLargeLabel(LabelKind::Item, 57, Pictures::largeLogo()));
        checkOnlyQueueUsed(large_);
        QCOMPARE(PdfCheck::pageSizePoints(onlyJobOf(large_)).toSize(), QSize(595, 842));
        QVERIFY(p.ts.dialogs->messages.isEmpty());
    }

    void removedQueueIsReportedNotReplaced() {
        CupsPrinting p;
        const QString extra = queueName("Extra");
        // A queue that cups-pdf has no settings for never gets a job to print:
        // it is removed right after being made current.
        int exitCode = 0;
        server_.tool(
            QStringLiteral("lpadmin"),
            {QStringLiteral("-p"), extra, QStringLiteral("-E"), QStringLiteral("-v"),
             QStringLiteral("file:/dev/null"), QStringLiteral("-m"), QStringLiteral("raw")},
            &exitCode);
        if (exitCode != 0)
            QSKIP("this CUPS does not take a raw queue");
        p.set(SettingsKeys::Printer, extra);
        p.printing().SelectLabelPrinter(SettingsKeys::Printer);
        QCOMPARE(p.printing().currentPrinter(), extra);
        server_.tool(QStringLiteral("lpadmin"), {QStringLiteral("-x"), extra}, &exitCode);
        QCOMPARE(exitCode, 0);

        QVERIFY(!p.printing().PrintSmallLabel(9, Pictures::smallLogo()));
        QCOMPARE(
            p.ts.dialogs->lastMessage(),
            QStringLiteral("The page could not be printed: the printer \"%1\" is not available.")
                .arg(extra));
        QVERIFY(server_.waitUntilIdle());
        for (const QString& q : {large_, small_, list_})
            QVERIFY(server_.pdfFiles(q).isEmpty());
    }
};

QTEST_MAIN(TestCupsPrinting)
#include "test_cups_printing.moc"
