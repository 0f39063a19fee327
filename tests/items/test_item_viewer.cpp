#include <QLabel>
#include <QListView>
#include <QTest>

#include "ModalDriver.h"
#include "PdfCheck.h"
#include "TestApp.h"
#include "WidgetDriver.h"
#include "cases/frmFlightView.h"
#include "data/ItemStore.h"
#include "data/Settings.h"
#include "items/frmItemView.h"

using namespace WidgetDriver;

class TestItemViewer : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> ts;
    AppContext* ctx = nullptr;
    std::unique_ptr<frmItemView> viewer;
    QListWidget* list = nullptr;

    void openViewer(const QVariant& itemToOpen) {
        ctx->fields().ItemToOpen = itemToOpen;
        viewer = std::make_unique<frmItemView>(*ctx);
        viewer->show();
        QVERIFY(QTest::qWaitForWindowExposed(viewer.get()));
        list = child<QListWidget>(viewer.get(), "List1");
    }

private slots:
    void init() {
        ts = std::make_unique<TestApp>();
        ctx = &ts->ctx();
        ts->reg.exec(
            QStringLiteral("INSERT INTO Items (id, \"desc\", category, caseID, serial) VALUES"
                           " (45, 'Lamp', 'Lighting', 12, 'S-1'), (3, 'Cable', 'Power', 0, NULL),"
                           " (46, 'Spot', 'Lighting', 12, NULL);"
                           "INSERT INTO Cases (id, FName) VALUES (12, 'Amp rack')"));
    }
    void cleanup() {
        viewer.reset();
        ctx = nullptr;
        ts.reset();
    }

    // The lists that hold the item from today on, by out date; past,
    // Draft and Cancelled lists are not named.
    void bookedLineListsComingBookings() {
        ts->reg.exec(QStringLiteral(
            "INSERT INTO Lists (id, ListName) VALUES (1, 'Past gig'), (2, 'Tour'), (3, 'Idea'),"
            " (4, 'Festival'), (5, 'Off');"
            "INSERT INTO ListData VALUES (1, 45, 'Lamp'), (2, 45, 'Lamp'), (3, 45, 'Lamp'),"
            " (4, 45, 'Lamp'), (5, 45, 'Lamp');"
            "INSERT INTO ListPlans (listid, outdate, returndate, state) VALUES"
            " (1, '2008-12-01', '2009-01-04', 'Out'), (2, '2009-02-01', '2009-02-03', 'Confirmed'),"
            " (3, '2009-01-10', '2009-01-12', 'Draft'), (4, '2009-01-05', NULL, 'Out'),"
            " (5, '2009-01-06', '2009-01-07', 'Cancelled')"));
        openViewer(QStringLiteral("45"));
        QCOMPARE(lines(list).last(),
                 QStringLiteral("Booked: list 4 Festival from 5/1/2009 (no return date); "
                                "list 2 Tour from 1/2/2009 to 3/2/2009"));
        openViewer(QStringLiteral("3"));
        QVERIFY(!lines(list).join('\n').contains(QStringLiteral("Booked")));
    }

    void showsEighteenLinesWithoutCategory() {
        openViewer(QStringLiteral("45"));
        QCOMPARE(viewer->windowTitle(), QStringLiteral("View Item Details"));
        const QStringList shown = lines(list);
        QCOMPARE(shown.size(), 18);
        QCOMPARE(shown[0], QStringLiteral("Equipment ID Number: 45"));
        QCOMPARE(shown[1], QStringLiteral("Description: Lamp"));
        QCOMPARE(shown[2], QStringLiteral("Manufacturer: "));
        QCOMPARE(shown[13], QStringLiteral("Flight Case: F12"));
        QCOMPARE(shown[17], QStringLiteral("Serial: S-1"));
        QVERIFY(!shown.join('\n').contains(QStringLiteral("Category")));
    }

    // The status beside the history: an item needing no test says so, and
    // an item under a new id never shows a deleted item's tests.
    void showsTheTestStatusAndOnlyItsOwnTests() {
        ts->reg.exec(QStringLiteral(
            "UPDATE Items SET testinterval = ' n/a ' WHERE id = 45;"
            "UPDATE Items SET testnext = '1/1/2009' WHERE id = 3;"
            "INSERT INTO TestHistory VALUES (1, 47, 2454811, '10/12/2008', 'PAT', 'Fail', '')"));
        openViewer(45);
        QCOMPARE(child<QLabel>(viewer.get(), "lblTestStatus")->text(),
                 QStringLiteral("Test status: No test needed"));
        openViewer(3);
        QCOMPARE(child<QLabel>(viewer.get(), "lblTestStatus")->text(),
                 QStringLiteral("Test status: Overdue (due 1/1/2009)"));
        const auto id = ctx->items().insert({});
        QCOMPARE(id.value_or(0), qint64(48));
        openViewer(*id);
        QCOMPARE(child<QListWidget>(viewer.get(), "lstHistory")->count(), 0);
    }

    void unknownIdShowsAnEmptyList() {
        openViewer(99);
        QCOMPARE(list->count(), 0);
        QVERIFY(ts->dialogs->messages.isEmpty());
    }

    void caseLines() {
        const QString caseViewer = QStringLiteral("frmFlightView");
        openViewer(3);
        QVERIFY(!ModalDriver::shownDuring(caseViewer, [&] {
            doubleClickLine(list, 13);  // "Flight Case: F0"
        }));
        QCOMPARE(ctx->fields().CaseToOpen.toString(), QStringLiteral("0"));

        ctx->fields().CaseToOpen = QStringLiteral("untouched");
        doubleClickLine(list, 4);  // any other line
        QCOMPARE(ctx->fields().CaseToOpen.toString(), QStringLiteral("untouched"));

        openViewer(45);
        QString shownCase;
        ModalDriver::whenShown(caseViewer, [&](QWidget* viewer) {
            shownCase = lines(child<QListWidget>(viewer, "List2")).value(0);
            click(viewer, "Command3");
        });
        doubleClickLine(list, 13);
        QCOMPARE(shownCase, QStringLiteral("Name: Amp rack"));

        // Reached from a case viewer, the case line opens no second one.
        frmFlightView lower(*ctx);
        lower.show();
        openViewer(45);
        QVERIFY(!ModalDriver::shownDuring(caseViewer, [&] { doubleClickLine(list, 13); }));
        QCOMPARE(ctx->fields().CaseToOpen.toString(), QStringLiteral("12"));
    }

    void editAndSaveShowsTheNewValues() {
        openViewer(45);
        ModalDriver::whenShown(QStringLiteral("frmItemAddEdit"), [this](QWidget* editor) {
            ts->dialogs->inputAnswers << QStringLiteral("Spot lamp");
            doubleClickLine(child<QListWidget>(editor, "List1"), 1);  // Description
            click(editor, "Command2");
        });
        click(viewer.get(), "cmdEdit");
        QCOMPARE(list->item(1)->text(), QStringLiteral("Description: Spot lamp"));
        QCOMPARE(list->count(), 18);
    }

    void editAndCloseShowsTheOldValues() {
        openViewer(45);
        ModalDriver::whenShown(QStringLiteral("frmItemAddEdit"), [this](QWidget* editor) {
            ts->dialogs->inputAnswers << QStringLiteral("Spot lamp");
            doubleClickLine(child<QListWidget>(editor, "List1"), 1);
            click(editor, "Command3");
        });
        click(viewer.get(), "cmdEdit");
        QCOMPARE(list->item(1)->text(), QStringLiteral("Description: Lamp"));
        QCOMPARE(
            ts->reg.scalar(QStringLiteral("SELECT \"desc\" FROM Items WHERE id = 45")).toString(),
            QStringLiteral("Lamp"));
    }

    void logoStepsTheHiddenSequenceOnlyFromItems() {
        openViewer(45);
        auto* logo = child<QLabel>(viewer.get(), "Picture1");
        ctx->fields().Funny = QStringLiteral("Cases");
        QTest::mouseDClick(logo, Qt::LeftButton);
        QCOMPARE(ctx->fields().Funny.toString(), QStringLiteral("Cases"));
        ctx->fields().Funny = QStringLiteral("Items");
        QTest::mouseDClick(logo, Qt::LeftButton);
        QCOMPARE(ctx->fields().Funny.toString(), QStringLiteral("Cases"));
    }

    void labelsPrintTheItemToOpen() {
        ts->printers->names = {QStringLiteral("Small labels")};
        ts->printers->defaultName = QStringLiteral("Small labels");
        Settings(ts->settingsFile()).write(SettingsKeys::DescOnLarge, QStringLiteral("Yes"));
        openViewer(QStringLiteral("45"));
        click(viewer.get(), "Command4");
        click(viewer.get(), "Command1");
        QCOMPARE(ts->printers->jobs.size(), 2);
        QCOMPARE(PdfCheck::decodePage(ts->printers->jobs[0].pdfFile, 300), QStringList({"45"}));
        const QString large = ts->printers->jobs[1].pdfFile;
        QCOMPARE(PdfCheck::decodePage(large, 300), QStringList({"45"}));
        QVERIFY(PdfCheck::lines(large).join(' ').contains(QStringLiteral("Lamp")));
    }

    // The case viewer opened from the case line writes the item clicked
    // there to ItemToOpen; Edit and the labels still act on the item shown.
    void editAndLabelsActOnTheShownItemAfterACaseViewer() {
        ts->printers->names = {QStringLiteral("Small labels")};
        ts->printers->defaultName = QStringLiteral("Small labels");
        openViewer(45);
        ModalDriver::whenShown(QStringLiteral("frmFlightView"), [](QWidget* caseViewer) {
            clickLine(child<QListView>(caseViewer, "List1"), 1);  // "46 - Spot"
            click(caseViewer, "Command3");
        });
        doubleClickLine(list, 13);  // "Flight Case: F12"
        QCOMPARE(SharedFields::idOf(ctx->fields().ItemToOpen), 46);

        QString edited;
        ModalDriver::whenShown(QStringLiteral("frmItemAddEdit"), [&](QWidget* editor) {
            edited = child<QLabel>(editor, "Label1")->text();
            click(editor, "Command3");
        });
        click(viewer.get(), "cmdEdit");
        QCOMPARE(edited, QStringLiteral("Equipment ID: 45"));
        QCOMPARE(lines(list).value(0), QStringLiteral("Equipment ID Number: 45"));
        click(viewer.get(), "Command4");
        QCOMPARE(ts->printers->jobs.size(), 1);
        QCOMPARE(PdfCheck::decodePage(ts->printers->jobs[0].pdfFile, 300), QStringList({"45"}));
    }

    void escapeCloses() {
        openViewer(45);
        QTest::keyClick(list, Qt::Key_Escape);
        QVERIFY(!viewer->isVisible());
    }
};

QTEST_MAIN(TestItemViewer)
#include "test_item_viewer.moc"
