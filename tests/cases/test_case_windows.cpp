#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ModalDriver.h"
#include "PdfCheck.h"
#include "TestApp.h"
#include "WidgetDriver.h"
#include "cases/frmFlightAddEdit.h"
#include "cases/frmFlightView.h"
#include "common/RecordList.h"
#include "data/Settings.h"
#include "main/frmMain.h"

using namespace WidgetDriver;

class TestCaseWindows : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> ts;
    AppContext* ctx = nullptr;

    template <class Window>
    std::unique_ptr<Window> open(const QVariant& caseToOpen) {
        ctx->fields().CaseToOpen = caseToOpen;
        auto window = std::make_unique<Window>(*ctx);
        window->show();
        return window;
    }

    QString stored(const QString& sql) const { return ts->reg.scalar(sql).toString(); }
    QString caseRow(int id) const {
        return stored(QStringLiteral("SELECT FName || '|' || FLocation || '|' || FNotes || '|' || "
                                     "FWheeled FROM Cases WHERE id = %1")
                          .arg(id));
    }
    qint64 caseOfItem(int id) const {
        return ts->reg.scalar(QStringLiteral("SELECT caseID FROM Items WHERE id = %1").arg(id))
            .toLongLong();
    }
    static void pickItemOnLine(int line) {
        ModalDriver::whenShown(QStringLiteral("frmItemPicker"), [line](QWidget* picker) {
            doubleClickLine(child<RecordList>(picker, "List1"), line);
        });
    }

private slots:
    void init() {
        ts = std::make_unique<TestApp>();
        ctx = &ts->ctx();
        ts->reg.exec(QStringLiteral(
            "INSERT INTO Items (id, \"desc\", category, caseID) VALUES (3, 'Cable', 'Power', 0),"
            " (8, 'Truss', 'Rigging', 7), (45, 'Lamp', 'Lighting', 12), (46, 'X-1 amp', 'Audio', "
            "12);"
            "INSERT INTO Cases VALUES (7, 'Rack B', '', '', '', 'No'),"
            " (12, 'Amp rack', 'Bay 4', '1/2/2008', NULL, 'yes');"
            "UPDATE Data SET lastid = 46, lastCase = 5"));
    }
    void cleanup() {
        ctx = nullptr;
        ts.reset();
    }

    // The case counter (5) lags the rows: the id shown is still the id saved.
    void newCaseIsSavedUnderTheShownId() {
        auto editor = open<frmFlightAddEdit>(QVariant());
        QCOMPARE(editor->currentItem, 13);
        QVERIFY(!child<QPushButton>(editor.get(), "cmdAdd")->isEnabled());
        QVERIFY(!child<QPushButton>(editor.get(), "cmdDel")->isEnabled());
        child<QLineEdit>(editor.get(), "Text1")->setText(QStringLiteral("Drum case"));
        click(editor.get(), "Command3");
        QCOMPARE(ts->reg.count(QStringLiteral("Cases")), 2);

        editor = open<frmFlightAddEdit>(0);
        QCOMPARE(editor->currentItem, 13);
        QTest::keyClicks(child<QLineEdit>(editor.get(), "Text1"), QStringLiteral("Drum case"));
        QTest::keyClick(child<QCheckBox>(editor.get(), "Check2"), Qt::Key_Space);
        click(editor.get(), "Command2");
        QCOMPARE(caseRow(13), QStringLiteral("Drum case|||Yes"));
        QCOMPARE(stored(QStringLiteral("SELECT lastCase FROM Data")), QStringLiteral("13"));
        QCOMPARE(ts->reg.count(QStringLiteral("Cases")), 3);
    }

    // Another desk saved a case under the shown id first: this one is saved
    // under the next, and the user is told its case number for the labels.
    void aCaseSavedElsewhereFirstIsToldItsNewNumber() {
        auto editor = open<frmFlightAddEdit>(0);
        QCOMPARE(editor->currentItem, 13);
        ts->reg.exec(
            QStringLiteral("INSERT INTO Cases VALUES (13, 'Elsewhere', '', '', '', 'No')"));
        click(editor.get(), "Command2");
        QVERIFY(!editor->isVisible());
        QCOMPARE(
            ts->dialogs->lastMessage(),
            QStringLiteral("Flight case F13 was taken in the meantime, so this case has been "
                           "saved as flight case F14. Reprint its labels if you printed any."));
        QCOMPARE(ts->dialogs->messages.last().icon, Dialogs::Icon::Information);
    }

    // Categories that differ only in letter case, in any script, are one
    // category; within one the items keep the order of their ids.
    void itemsComeInCategoryOrderWhateverTheLetterCase() {
        ts->reg.exec(QStringLiteral(
            "INSERT INTO Items (id, \"desc\", category, caseID) VALUES (47, 'Desk', 'audio', 12),"
            " (48, 'Fog', 'élan', 12), (49, 'Haze', 'Élan', 12), (50, 'Gel', 'lighting', 12)"));
        auto editor = open<frmFlightAddEdit>(12);
        QCOMPARE(lines(child<RecordList>(editor.get(), "List1")),
                 QStringList({"46 - X-1 amp", "47 - Desk", "45 - Lamp", "50 - Gel", "48 - Fog",
                              "49 - Haze"}));
    }

    void storedCaseSavesOnlyWhatChanged() {
        auto editor = open<frmFlightAddEdit>(QStringLiteral("12"));
        auto* name = child<QLineEdit>(editor.get(), "Text1");
        QCOMPARE(name->text(), QStringLiteral("Amp rack"));
        QVERIFY(!child<QCheckBox>(editor.get(), "Check2")->isChecked());  // "yes" is not "Yes"
        QCOMPARE(lines(child<RecordList>(editor.get(), "List1")),
                 QStringList({"46 - X-1 amp", "45 - Lamp"}));  // by category
        name->setText(QStringLiteral("Amp rack 2"));
        ts->reg.exec(QStringLiteral("UPDATE Cases SET FLocation = 'Bay 9'"));  // elsewhere
        click(editor.get(), "Command2");
        QCOMPARE(caseRow(12), QStringLiteral("Amp rack 2|Bay 9||No"));

        editor = open<frmFlightAddEdit>(12);
        child<QLineEdit>(editor.get(), "Text1")->setText(QStringLiteral("Mine"));
        ts->reg.exec(QStringLiteral("UPDATE Cases SET FName = 'Theirs'"));
        ts->dialogs->answers << Dialogs::Answer::No;
        click(editor.get(), "Command2");
        QCOMPARE(ts->dialogs->lastMessage(),
                 QStringLiteral("Flight case F12 was changed elsewhere since you opened it. Save "
                                "your changes over it?"));
        QCOMPARE(ts->dialogs->messages.last().icon, Dialogs::Icon::Warning);
        QVERIFY(editor->isVisible());
        QVERIFY(caseRow(12).startsWith(QStringLiteral("Theirs|")));
        ts->dialogs->answers << Dialogs::Answer::Yes;
        click(editor.get(), "Command2");
        QVERIFY(caseRow(12).startsWith(QStringLiteral("Mine|")));
    }

    void aCaseThatIsGoneIsReportedAndNothingIsStored() {
        auto editor = open<frmFlightAddEdit>(99);
        QCOMPARE(ts->dialogs->lastMessage(), QStringLiteral("Flight case F99 no longer exists."));
        QCOMPARE(ts->dialogs->messages.last().icon, Dialogs::Icon::Information);
        QVERIFY(ModalDriver::waitClosed(QStringLiteral("frmFlightAddEdit")));
        QCOMPARE(ts->reg.count(QStringLiteral("Cases")), 2);
    }

    void pickedLocationReplacesTheTextAndBlankChangesNothing() {
        ts->reg.exec(QStringLiteral("INSERT INTO Locations VALUES ('Shelf 2')"));
        auto editor = open<frmFlightAddEdit>(12);
        auto* location = child<QLineEdit>(editor.get(), "Text2");
        ModalDriver::whenShown(QStringLiteral("frmLocationPicker"),
                               [](QWidget* picker) { click(picker, "Command3"); });
        click(editor.get(), "Command5");
        QCOMPARE(location->text(), QStringLiteral("Bay 4"));
        ModalDriver::whenShown(QStringLiteral("frmLocationPicker"), [](QWidget* picker) {
            clickLine(child<RecordList>(picker, "List1"), 0);
            click(picker, "Command2");
        });
        click(editor.get(), "Command5");
        QCOMPARE(location->text(), QStringLiteral("Shelf 2"));
        click(editor.get(), "Command3");
        QCOMPARE(stored(QStringLiteral("SELECT FLocation FROM Cases WHERE id = 12")),
                 QStringLiteral("Bay 4"));
    }

    void addAndDeleteChangeOnlyTheItemsCase() {
        auto editor = open<frmFlightAddEdit>(12);
        auto* list = child<RecordList>(editor.get(), "List1");
        pickItemOnLine(0);  // item 3, in no case
        click(editor.get(), "cmdAdd");
        QVERIFY(ts->dialogs->messages.isEmpty());
        QCOMPARE(caseOfItem(3), 12);

        pickItemOnLine(1);  // item 8, in case 7
        ts->dialogs->answers << Dialogs::Answer::No;
        click(editor.get(), "cmdAdd");
        QCOMPARE(ts->dialogs->lastMessage(),
                 QStringLiteral("Item 8 is in flight case F7. Move it to this case?"));
        QCOMPARE(ts->dialogs->messages.last().icon, Dialogs::Icon::Question);
        QCOMPARE(caseOfItem(8), 7);
        pickItemOnLine(1);
        ts->dialogs->answers << Dialogs::Answer::Yes;
        click(editor.get(), "cmdAdd");
        QCOMPARE(caseOfItem(8), 12);
        QCOMPARE(lines(list), QStringList({"46 - X-1 amp", "45 - Lamp", "3 - Cable", "8 - Truss"}));

        auto* remove = child<QPushButton>(editor.get(), "cmdDel");
        QVERIFY(!remove->isEnabled());
        clickLine(list, 0);
        QCOMPARE(SharedFields::idOf(ctx->fields().ItemToOpen), 46);
        QString shownItem;
        ModalDriver::whenShown(QStringLiteral("frmItemView"), [&](QWidget* viewer) {
            shownItem = lines(child<QListWidget>(viewer, "List1")).value(0);
            click(viewer, "Command3");
        });
        doubleClickLine(list, 0);
        QCOMPARE(shownItem, QStringLiteral("Equipment ID Number: 46"));

        ts->dialogs->answers << Dialogs::Answer::No;
        click(editor.get(), "cmdDel");
        QCOMPARE(
            ts->dialogs->lastMessage(),
            QStringLiteral("Are you sure you wish to remove this item from the case? (ID: 46)"));
        QCOMPARE(ts->dialogs->messages.last().icon, Dialogs::Icon::Critical);
        QCOMPARE(ts->dialogs->messages.last().buttons, Dialogs::Buttons::YesNoDefaultNo);
        QCOMPARE(caseOfItem(46), 12);
        ts->dialogs->answers << Dialogs::Answer::Yes;
        click(editor.get(), "cmdDel");
        QCOMPARE(caseOfItem(46), 0);
        QCOMPARE(stored(QStringLiteral("SELECT \"desc\" || category FROM Items WHERE id = 46")),
                 QStringLiteral("X-1 ampAudio"));
        QCOMPARE(lines(list), QStringList({"45 - Lamp", "3 - Cable", "8 - Truss"}));
        QVERIFY(!remove->isEnabled());
    }

    void viewerShowsTheCaseAndReloadsAfterEdit() {
        auto viewer = open<frmFlightView>(QStringLiteral("12"));
        auto* details = child<QListWidget>(viewer.get(), "List2");
        auto* items = child<RecordList>(viewer.get(), "List1");
        QCOMPARE(lines(details),
                 QStringList({"Name: Amp rack", "Location: Bay 4", "Bought: 1/2/2008",
                              "Notes: ", "Has Wheels?: yes", "Tests: 2 never tested"}));
        QCOMPARE(lines(items), QStringList({"45 - Lamp", "46 - X-1 amp"}));  // by id
        ModalDriver::whenShown(QStringLiteral("frmFlightAddEdit"), [this](QWidget* editor) {
            child<QLineEdit>(editor, "Text1")->setText(QStringLiteral("Amp rack 2"));
            clickLine(child<RecordList>(editor, "List1"), 1);  // 45 - Lamp
            ts->dialogs->answers << Dialogs::Answer::Yes;
            click(editor, "cmdDel");
            click(editor, "Command2");
        });
        ts->reg.exec(QStringLiteral("UPDATE Items SET testnext = '1/1/2009' WHERE id = 46"));
        click(viewer.get(), "cmdEdit");
        QCOMPARE(lines(details).value(0), QStringLiteral("Name: Amp rack 2"));
        QCOMPARE(lines(details).value(5), QStringLiteral("Tests: 1 overdue"));
        QCOMPARE(lines(items), QStringList({"46 - X-1 amp"}));

        ctx->fields().Funny = QStringLiteral("Cases");
        QTest::mouseDClick(child<QLabel>(viewer.get(), "Picture1"), Qt::LeftButton);
        QCOMPARE(ctx->fields().Funny.toString(), QStringLiteral("Db"));

        viewer = open<frmFlightView>(99);
        QCOMPARE(child<QListWidget>(viewer.get(), "List2")->count(), 0);
        QCOMPARE(child<RecordList>(viewer.get(), "List1")->count(), 0);
    }

    // Enter on the line that has the focus opens its item, selected or not.
    void enterOnTheFocusedLineOpensItsItem() {
        auto viewer = open<frmFlightView>(12);
        auto* items = child<RecordList>(viewer.get(), "List1");
        items->setFocus();
        items->selectionModel()->setCurrentIndex(items->model()->index(1, 0),
                                                 QItemSelectionModel::NoUpdate);
        QString shown;
        ModalDriver::whenShown(QStringLiteral("frmItemView"), [&](QWidget* itemViewer) {
            shown = lines(child<QListWidget>(itemViewer, "List1")).value(0);
            click(itemViewer, "Command3");
        });
        QTest::keyClick(items, Qt::Key_Return);
        QCOMPARE(shown, QStringLiteral("Equipment ID Number: 46"));
        QCOMPARE(items->selectedLine(), 1);
    }

    void labelsPrintTheCase() {
        ts->printers->names = {QStringLiteral("Labels")};
        ts->printers->defaultName = QStringLiteral("Labels");
        Settings(ts->settingsFile()).write(SettingsKeys::DescOnLarge, QStringLiteral("Yes"));
        auto viewer = open<frmFlightView>(QStringLiteral("12"));
        click(viewer.get(), "Check3");  // the number printed on the large label
        click(viewer.get(), "Command4");
        click(viewer.get(), "Command1");
        auto editor = open<frmFlightAddEdit>(0);
        click(editor.get(), "Command1");  // the id the new case will get
        const auto& jobs = ts->printers->jobs;
        QCOMPARE(jobs.size(), 3);
        QCOMPARE(PdfCheck::decodePage(jobs[0].pdfFile, 300), QStringList({"12"}));
        QCOMPARE(PdfCheck::decodePage(jobs[1].pdfFile, 300), QStringList({"12"}));
        QCOMPARE(PdfCheck::lines(jobs[1].pdfFile).join(' '), QStringLiteral("12 Amp rack"));
        QCOMPARE(PdfCheck::decodePage(jobs[2].pdfFile, 300), QStringList({"13"}));
    }

    // The box below the items prints "F" before the case number on its labels.
    void caseLetterBoxPrintsF12() {
        ts->printers->names = {QStringLiteral("Labels")};
        ts->printers->defaultName = QStringLiteral("Labels");
        auto viewer = open<frmFlightView>(12);
        click(viewer.get(), "Check4");
        click(viewer.get(), "Command4");
        QCOMPARE(Settings(ts->settingsFile()).read(SettingsKeys::CaseLetterOnLabels, {}),
                 QStringLiteral("Yes"));
        QCOMPARE(PdfCheck::decodePage(ts->printers->jobs.value(0).pdfFile, 300),
                 QStringList({"F12"}));
        QVERIFY(child<QCheckBox>(open<frmFlightAddEdit>(12).get(), "Check4")->isChecked());
    }

    // Main window, item viewer, its case line, case viewer, an item line
    // there: the item viewer below is not opened a second time.
    void chainFromTheMainWindow() {
        frmMain main(ts->ctx());
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        bool secondItemViewer = true;  // stays so when no case viewer comes
        ModalDriver::whenShown(QStringLiteral("frmItemView"), [&](QWidget* itemViewer) {
            ModalDriver::whenShown(QStringLiteral("frmFlightView"), [&](QWidget* caseViewer) {
                secondItemViewer = ModalDriver::shownDuring(QStringLiteral("frmItemView"), [&] {
                    doubleClickLine(child<RecordList>(caseViewer, "List1"), 1);
                });
                click(caseViewer, "Command3");
            });
            doubleClickLine(child<QListWidget>(itemViewer, "List1"), 13);  // "Flight Case: F12"
            click(itemViewer, "Command3");
        });
        child<QLineEdit>(&main, "Text1")->setText(QStringLiteral("45"));
        QTest::keyClick(child<QLineEdit>(&main, "Text1"), Qt::Key_Return);
        QVERIFY(!secondItemViewer);
        QCOMPARE(SharedFields::idOf(main.fields().ItemToOpen), 46);
    }
};

QTEST_MAIN(TestCaseWindows)
#include "test_case_windows.moc"
