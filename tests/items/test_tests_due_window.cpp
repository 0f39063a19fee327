#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>
#include <map>

#include "ModalDriver.h"
#include "PdfCheck.h"
#include "TestApp.h"
#include "WidgetDriver.h"
#include "common/RecordList.h"
#include "data/Settings.h"
#include "items/frmRecordTest.h"
#include "items/frmTestsDue.h"
#include "lists/frmListAddEdit.h"
#include "main/TreeModel.h"
#include "main/frmMain.h"

using namespace WidgetDriver;

namespace {
const QString kSep = QStringLiteral(" \u00b7 ");

// The lines of a page, each line's words from left to right.
QStringList linesLeftToRight(const QString& pdf, int page) {
    std::map<int, std::map<double, QString>> byTop;
    for (const PdfCheck::Word& word : PdfCheck::words(pdf)) {
        if (word.page == page)
            byTop[qRound(word.box.top())][word.box.left()] = word.text;
    }
    QStringList lines;
    for (const auto& [top, words] : byTop) {
        QStringList texts;
        for (const auto& [left, text] : words)
            texts << text;
        lines << texts.join(u' ');
    }
    return lines;
}
}  // namespace

// Today is 5/1/2009 (the fixed clock); items 1 to 6 stand for each status.
class TestTestsDueWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> ts;
    std::unique_ptr<frmTestsDue> w;
    RecordList* list = nullptr;

    void open() {
        w = std::make_unique<frmTestsDue>(ts->ctx());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        list = child<RecordList>(w.get(), "List1");
    }

    QList<qint64> shownIds() const {
        QList<qint64> ids;
        for (int line = 0; line < list->count(); ++line)
            ids << list->records()->lineId(line);
        return ids;
    }

    void choose(const char* box, const QString& startOfEntry) {
        auto* combo = child<QComboBox>(w.get(), box);
        for (int i = 0; i < combo->count(); ++i) {
            if (combo->itemText(i).startsWith(startOfEntry)) {
                combo->setCurrentIndex(i);
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no entry %1 in %2").arg(startOfEntry, box)));
    }

    // Records a test through the window's Record Test button; false when
    // Save left the window open.
    bool recordTest(qint64 item, const QString& result, const QDate& date = {}) {
        list->selectLine(list->lineOfId(item));
        bool closed = false;
        ModalDriver::whenShown(QStringLiteral("frmRecordTest"), [&](QWidget* record) {
            if (date.isValid())
                child<QDateEdit>(record, "dtpDate")->setDate(date);
            child<QComboBox>(record, "cboKind")->setCurrentText(QStringLiteral("PAT"));
            child<QComboBox>(record, "cboResult")->setCurrentText(result);
            click(record, "cmdSave");
            closed = !record->isVisible();
            record->close();
        });
        click(w.get(), "cmdRecordTest");
        return closed;
    }

private slots:
    void init() {
        ts = std::make_unique<TestApp>();
        ts->reg.exec(QStringLiteral(
            "INSERT INTO Cases (id, FName) VALUES (2, 'Rack');"
            "INSERT INTO Items (id, \"desc\", category, warehouseloc, caseID, testinterval, "
            "testlast, testnext) VALUES"
            " (1, 'Amp', 'Sound', 'Bay 1', 2, '6 months', '1/7/2008', '1/1/2009'),"
            " (2, 'Cable', 'Power', 'Bay 2', 0, '12', '20/1/2008', ''),"
            " (3, 'Drill', 'Tools', 'Bay 1', 0, '12', '', ''),"
            " (4, 'Fan', 'Power', 'Bay 2', 2, '12', '', '31/2/2009'),"
            " (5, 'Lamp', 'Lighting', 'Bay 1', 0, '12', '', '1/6/2009'),"
            " (6, 'Saw', 'Tools', '', 0, '1 year', '10/12/2008', '10/12/2009'),"
            " (7, 'Rope', 'Rigging', 'Bay 1', 0, 'None', '', ''),"
            " (8, 'Hoist', 'Rigging', 'Bay 2', 0, '12', '', '24/7/2009');"
            "INSERT INTO TestHistory VALUES (1, 6, 2454811, '10/12/2008', 'PAT', 'Fail', '')"));
    }
    void cleanup() {
        w.reset();
        ts.reset();
    }

    void listsEveryItemNotInDateMostUrgentFirst() {
        open();
        QCOMPARE(shownIds(), (QList<qint64>{6, 1, 4, 3, 2}));
        const QStringList shown = lines(list);
        QCOMPARE(shown[0], QStringLiteral("6 - Saw") + kSep + "Failed" + kSep + "due 10/12/2009" +
                               kSep + "339 days" + kSep + "Tools" + kSep + "no location" + kSep +
                               "no case");
        QCOMPARE(shown[1], QStringLiteral("1 - Amp") + kSep + "Overdue" + kSep + "due 1/1/2009" +
                               kSep + "-4 days" + kSep + "Sound" + kSep + "Bay 1" + kSep + "F2");
        QVERIFY(shown[2].contains(kSep + "Unreadable" + kSep + "no date" + kSep));
        QVERIFY(shown[3].contains(kSep + "Never tested" + kSep + "no date" + kSep));
        QVERIFY(shown[4].contains(kSep + "Due soon" + kSep + "due 20/1/2009" + kSep + "15 days"));
        const QString counts =
            QStringLiteral("1 failed · 1 overdue · 1 unreadable · 1 never tested · 1 due soon");
        QCOMPARE(child<QLabel>(w.get(), "Label1")->text(), QStringLiteral("Tests due: ") + counts);
        QCOMPARE(w->windowTitle(), QStringLiteral("Tests Due - ") + counts);
    }

    // An empty field is named, never shown as two separators with nothing
    // between them.
    void emptyFieldsAreNamed_data() {
        QTest::addColumn<QStringList>("stored");  // description, category, location
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("no category")
            << QStringList{"Amp", "", "Bay 1"} << QStringList{"Amp", "no category", "Bay 1"};
        QTest::newRow("blank location")
            << QStringList{"Amp", "Sound", "  "} << QStringList{"Amp", "Sound", "no location"};
        QTest::newRow("no description")
            << QStringList{"", "Sound", "Bay 1"} << QStringList{"no description", "Sound", "Bay 1"};
    }
    void emptyFieldsAreNamed() {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, shown);
        ts->reg.exec(QStringLiteral("UPDATE Items SET \"desc\" = '%1', category = '%2', "
                                    "warehouseloc = '%3' WHERE id = 1")
                         .arg(stored[0], stored[1], stored[2]));
        open();
        QCOMPARE(lines(list).value(list->lineOfId(1)),
                 "1 - " + shown[0] + kSep + "Overdue" + kSep + "due 1/1/2009" + kSep + "-4 days" +
                     kSep + shown[1] + kSep + shown[2] + kSep + "F2");
    }

    void filtersNarrowTheLines() {
        open();
        choose("cboStatus", QStringLiteral("Overdue"));
        QCOMPARE(shownIds(), (QList<qint64>{1}));
        choose("cboStatus", QStringLiteral("All"));
        choose("cboLocation", QStringLiteral("Bay 1"));
        QCOMPARE(shownIds(), (QList<qint64>{1, 3}));
        choose("cboLocation", QStringLiteral("(no location)"));
        QCOMPARE(shownIds(), (QList<qint64>{6}));
        choose("cboLocation", QStringLiteral("All"));
        // A case shows the worst status of its items.
        choose("cboCase", QStringLiteral("F2 - Rack (Overdue)"));
        QCOMPARE(shownIds(), (QList<qint64>{1, 4}));
        choose("cboCase", QStringLiteral("In no case"));
        QCOMPARE(shownIds(), (QList<qint64>{6, 3, 2}));
        choose("cboCase", QStringLiteral("All"));

        // Due by a date: items with no date stay, they are due anyway.
        child<QDateEdit>(w.get(), "dtpDueBy")->setDate(QDate(2009, 1, 10));
        child<QCheckBox>(w.get(), "chkDueBy")->setChecked(true);
        QCOMPARE(shownIds(), (QList<qint64>{1, 4, 3}));
        QCOMPARE(
            child<QLabel>(w.get(), "Label1")->text(),
            QStringLiteral("Tests due by 10/1/2009: 1 overdue · 1 unreadable · 1 never tested"));
        // Filters outlive a reread.
        w->RefreshList();
        QCOMPARE(shownIds(), (QList<qint64>{1, 4, 3}));
    }

    // A year ahead: every item due by then, the one due in 200 days too,
    // on the screen and on the worksheet; the rope needs no test.
    void dueByAYearAheadListsEveryItemDueByThen() {
        open();
        child<QDateEdit>(w.get(), "dtpDueBy")->setDate(QDate(2010, 1, 5));
        child<QCheckBox>(w.get(), "chkDueBy")->setChecked(true);
        QCOMPARE(shownIds(), (QList<qint64>{6, 1, 4, 3, 2, 5, 8}));
        QCOMPARE(child<QLabel>(w.get(), "Label1")->text(),
                 QStringLiteral("Tests due by 5/1/2010: 1 failed · 1 overdue · 1 unreadable · 1 "
                                "never tested · 1 due soon · 2 in date"));
        const QString pdf = ts->reg.folder() + QStringLiteral("/year.pdf");
        ts->dialogs->saveAnswers << pdf;
        click(w.get(), "cmdPdf");
        const QStringList sheet = linesLeftToRight(pdf, 1);
        QCOMPARE(sheet.value(0), QStringLiteral("Test Worksheet - Tests due by 5/1/2010"));
        QVERIFY(sheet.contains(QStringLiteral("Bay 2 8 Hoist In date 24/7/2009")));
        QVERIFY(sheet.contains(QStringLiteral("Bay 1 5 Lamp In date 1/6/2009")));
        QVERIFY(!sheet.join(u' ').contains(QStringLiteral("Rope")));
    }

    // The lines shown, as they are shown, into a CSV file.
    void exportWritesTheLinesShown() {
        open();
        choose("cboLocation", QStringLiteral("Bay 1"));
        const QString file = ts->reg.folder() + QStringLiteral("/due.csv");
        ts->dialogs->saveAnswers << file;
        click(w.get(), "cmdExport");
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(csv.readAll()),
                 QStringLiteral("status,due date,days,id,description,category,location,case\r\n"
                                "Overdue,1/1/2009,-4,1,Amp,Sound,Bay 1,F2\r\n"
                                "Never tested,,,3,Drill,Tools,Bay 1,\r\n"));
    }

    // Cancelled on its way through many lines: no file is left.
    void cancelledExportLeavesNoFile() {
        ts->reg.exec(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 9 UNION ALL SELECT i + 1 "
                           "FROM n WHERE i < 3000) INSERT INTO Items (id, testinterval) "
                           "SELECT i, '12' FROM n"));
        open();
        const QString file = ts->reg.folder() + QStringLiteral("/due.csv");
        ts->dialogs->saveAnswers << file;
        ts->dialogs->cancelJobs << QStringLiteral("Exporting the tests due");
        click(w.get(), "cmdExport");
        QCOMPARE(ts->dialogs->lastMessage(),
                 QStringLiteral("You cancelled the export: no file was written."));
        QVERIFY(!QFile::exists(file));
        QCOMPARE(QDir(ts->reg.folder()).entryList({QStringLiteral("due*")}, QDir::Files),
                 QStringList());
    }

    void recordedTestsMoveTheDatesAndTheCountsGoDown() {
        open();
        QVERIFY(recordTest(1, QStringLiteral("Pass")));
        QVERIFY(!shownIds().contains(1));
        QCOMPARE(
            ts->reg.scalar("SELECT testlast || ' ' || testnext FROM Items WHERE id = 1").toString(),
            QStringLiteral("5/1/2009 5/7/2009"));
        // A failed test marks the item failed until a later one passes.
        recordTest(2, QStringLiteral("Fail"));
        QCOMPARE(shownIds().mid(0, 2), (QList<qint64>{6, 2}));
        QVERIFY(lines(list)[1].contains(kSep + "Failed" + kSep + "due 5/1/2010"));
        recordTest(6, QStringLiteral("Pass"), QDate(2009, 1, 4));
        recordTest(2, QStringLiteral("Pass"));
        QCOMPARE(shownIds(), (QList<qint64>{4, 3}));
        QCOMPARE(ts->reg.count(QStringLiteral("TestHistory")), 5);

        // A test after today is refused and nothing is stored.
        QVERIFY(!recordTest(3, QStringLiteral("Pass"), QDate(2009, 1, 6)));
        QVERIFY(ts->dialogs->lastMessage().contains(QStringLiteral("after today")));
        QCOMPARE(ts->reg.count(QStringLiteral("TestHistory")), 5);
    }

    // The viewer records tests too and shows the history, newest first.
    void enterOpensTheItemViewer() {
        open();
        list->selectLine(list->lineOfId(6));
        QString shown;
        QStringList history;
        ModalDriver::whenShown(QStringLiteral("frmItemView"), [&](QWidget* viewer) {
            shown = lines(child<QListWidget>(viewer, "List1")).value(0);
            ModalDriver::whenShown(QStringLiteral("frmRecordTest"), [](QWidget* record) {
                child<QLineEdit>(record, "txtNote")->setText(QStringLiteral("new plug"));
                click(record, "cmdSave");
            });
            click(viewer, "cmdRecordTest");
            history = lines(child<QListWidget>(viewer, "lstHistory"));
            viewer->close();
        });
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(shown, QStringLiteral("Equipment ID Number: 6"));
        QCOMPARE(history, QStringList({"5/1/2009 · PAT · Pass · new plug · by tester at DESK-A",
                                       "10/12/2008 · PAT · Fail"}));
        // Back in the list, the item has gone: it passed.
        QVERIFY(!shownIds().contains(6));
    }

    // Picker rows are by id: row 0 is item 1 (overdue), row 4 item 5 (in date).
    void goingOutOnAListAsksFirst() {
        ts->reg.exec(QStringLiteral("INSERT INTO Lists (id, ListName) VALUES (7, 'Tour')"));
        ts->fields().ListToOpen = 7;
        frmListAddEdit editor(ts->ctx());
        editor.show();
        const auto add = [&](int row) {
            ModalDriver::whenShown(QStringLiteral("frmItemPicker"), [row](QWidget* picker) {
                clickLine(child<QListView>(picker, "List1"), row);
                click(picker, "Command2");
            });
            click(&editor, "cmdAdd");
        };
        add(0);  // answered No
        QCOMPARE(ts->dialogs->lastMessage(),
                 QStringLiteral("Item 1 is overdue for test (due 1/1/2009). Add it anyway?"));
        QCOMPARE(ts->dialogs->messages.last().icon, Dialogs::Icon::Warning);
        QCOMPARE(ts->reg.count(QStringLiteral("ListData")), 0);
        ts->dialogs->answers << Dialogs::Answer::Yes;
        add(5);
        QCOMPARE(ts->dialogs->lastMessage(),
                 QStringLiteral("Item 6 failed its last test. Add it anyway?"));
        QCOMPARE(ts->reg.count(QStringLiteral("ListData")), 1);
        add(4);  // in date: no question
        add(6);  // no test needed: no question either
        QCOMPARE(ts->dialogs->messages.size(), 2);
        QCOMPARE(ts->reg.count(QStringLiteral("ListData")), 3);
    }

    // Sorted for a walk round the stores: location, case, id; over pages.
    void worksheetPrintsAndSavesAsPdf() {
        ts->reg.exec(
            QStringLiteral("INSERT INTO Items (id, \"desc\", warehouseloc) WITH RECURSIVE n(i) AS "
                           "(SELECT 10 UNION ALL SELECT i + 1 FROM n WHERE i < 59) "
                           "SELECT i, 'Box ' || i, 'Bay 3' FROM n"));
        ts->printers->names = QStringList{QStringLiteral("Lists")};
        ts->ctx().settings().write(SettingsKeys::LPrinter, QStringLiteral("Lists"));
        open();
        click(w.get(), "cmdPrint");
        QCOMPARE(ts->printers->jobs.size(), 1);
        const QString printed = ts->printers->jobs.first().pdfFile;
        const QString saved = ts->reg.folder() + QStringLiteral("/sheet.pdf");
        ts->dialogs->saveAnswers << saved;
        click(w.get(), "cmdPdf");

        for (const QString& pdf : {printed, saved}) {
            // The saved PDF keeps the printer's usual margins: maybe more pages.
            const int pages = PdfCheck::pageCount(pdf);
            QVERIFY(pages >= 2);
            const QSizeF size = PdfCheck::pageSizePoints(pdf);
            QVERIFY(size.width() > size.height());
            QStringList all;
            for (int page = 1; page <= pages; ++page) {
                const QStringList lines = linesLeftToRight(pdf, page);
                QCOMPARE(lines.value(0), QStringLiteral("Test Worksheet - Tests due by 4/2/2009"));
                QCOMPARE(lines.value(1), QStringLiteral("1 failed · 1 overdue · 1 unreadable · "
                                                        "51 never tested · 1 due soon"));
                QVERIFY(lines.value(2).startsWith(QStringLiteral(
                    "Location Case ID Description Status Due Result Date Initials")));
                QCOMPARE(lines.last(), QStringLiteral("Page %1 of %2").arg(page).arg(pages));
                all << lines.mid(3, lines.size() - 4);
            }
            QCOMPARE(all.size(), 55);
            QCOMPARE(all[0], QStringLiteral("6 Saw Failed 10/12/2009"));
            QCOMPARE(all[1], QStringLiteral("Bay 1 3 Drill Never tested"));
            QCOMPARE(all[2], QStringLiteral("Bay 1 F2 1 Amp Overdue 1/1/2009"));
            QCOMPARE(all[4], QStringLiteral("Bay 2 F2 4 Fan Unreadable"));
            QCOMPARE(all[54], QStringLiteral("Bay 3 59 Box 59 Never tested"));
        }
    }

    void mainWindowCountsAfterEveryRefresh() {
        ts->ctx().settings().write(SettingsKeys::TestDueSoonDays, QStringLiteral("20"));
        frmMain main(ts->ctx());
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        auto* line = child<QLabel>(&main, "lblTestsDue");
        // Filled in once the tree is read behind the window.
        QTRY_COMPARE(line->text(), QStringLiteral("1 overdue · 1 due within 20 days · 1 failed · "
                                                  "1 never tested · 1 unreadable"));
        ts->reg.exec(QStringLiteral("UPDATE Items SET testnext = '1/12/2008' WHERE id = 5"));
        main.RefreshTree();
        QTRY_VERIFY(line->text().startsWith(QStringLiteral("2 overdue · ")));
        // Heard as it is read, and a way into the Tests Due window.
        QCOMPARE(line->accessibleName(), line->text());
        QVERIFY(ModalDriver::shownDuring(QStringLiteral("frmTestsDue"), [&] {
            QTest::mouseClick(line, Qt::LeftButton);
            QCoreApplication::processEvents();
        }));
        QVERIFY(ModalDriver::shownDuring(QStringLiteral("frmTestsDue"), [&] {
            line->setFocus();
            QTest::keyClick(line, Qt::Key_Return);
            QCoreApplication::processEvents();
        }));

        // The case line tells the worst status of the case's items.
        auto* tree = child<QTreeView>(&main, "TreeView1");
        tree->setFocus();
        tree->setCurrentIndex(main.treeModel()->indexOfKey(QStringLiteral("I1")));
        QVERIFY(lines(child<QListWidget>(&main, "List1"))
                    .contains(QStringLiteral("Flight Case: F2 · Tests: 1 overdue")));
    }
};

QTEST_MAIN(TestTestsDueWindow)
#include "test_tests_due_window.moc"
