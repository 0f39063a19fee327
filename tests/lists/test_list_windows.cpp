// The list editor and the list viewer, driven headless against a real register.
#include <QCalendarWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "ModalDriver.h"
#include "PdfCheck.h"
#include "TestApp.h"
#include "WidgetDriver.h"
#include "data/ListStore.h"
#include "lists/frmListAddEdit.h"
#include "lists/frmListView.h"
#include "resources/Fonts.h"

using namespace WidgetDriver;

namespace {

// Rows of the item picker: the items of the fixture in id order.
enum PickerRow { CableDrum, Dimmer, Ladder };

}  // namespace

class TestListWindows : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> ts;
    std::unique_ptr<frmListAddEdit> editor;
    std::unique_ptr<frmListView> viewer;

    template <class W>
    std::unique_ptr<W> open(const QVariant& listToOpen) {
        ts->fields().ListToOpen = listToOpen;
        auto window = std::make_unique<W>(ts->ctx());
        window->show();
        return window;
    }

    QLineEdit* name(QWidget* w) { return child<QLineEdit>(w, "txtName"); }
    QListView* editorLines() { return child<QListView>(editor.get(), "List1"); }
    QTimer* reloadTimer() { return child<QTimer>(editor.get(), "Timer1"); }

    // Add, choosing a picker row, or closing the picker without a choice (-1).
    void addFromPicker(QWidget* window, int row) {
        ModalDriver::whenShown(QStringLiteral("frmItemPicker"), [row](QWidget* picker) {
            if (row >= 0)
                clickLine(child<QListView>(picker, "List1"), row);
            click(picker, row >= 0 ? "Command2" : "Command3");
        });
        click(window, "cmdAdd");
    }

    // Every stored line as "list:item".
    QString listData() const {
        return ts->reg
            .scalar(QStringLiteral("SELECT group_concat(l, ' ') FROM (SELECT listid || ':' || "
                                   "itemid AS l FROM ListData ORDER BY listid, itemid)"))
            .toString();
    }
    // Stores a list's plan as another desk would.
    void storePlan(qint64 listId, const QString& out, const QString& ret, const QString& state) {
        ts->reg.exec(QStringLiteral("INSERT INTO ListPlans (listid, outdate, returndate, state) "
                                    "VALUES (%1, '%2', '%3', '%4')")
                         .arg(listId)
                         .arg(out, ret, state));
    }
    ListPlan storedPlan(qint64 listId) { return ts->ctx().lists().plan(listId).value(); }

    // Types the plan into the editor's boxes.
    void typePlan(const QString& out, const QString& ret, const QString& state) {
        child<QLineEdit>(editor.get(), "txtOutDate")->setText(out);
        child<QLineEdit>(editor.get(), "txtReturnDate")->setText(ret);
        auto* states = child<QComboBox>(editor.get(), "cboState");
        states->setCurrentIndex(states->findText(state));
    }

    // Each line's note as its tooltip and what a screen reader says of it.
    static QStringList notes(QListView* list, int role) {
        QStringList out;
        for (int row = 0; row < list->model()->rowCount(); ++row)
            out << list->model()->index(row, 0).data(role).toString();
        return out;
    }

    QString storedName(qint64 listId) const {
        return ts->reg
            .scalar(QStringLiteral("SELECT ListName FROM Lists WHERE id = %1").arg(listId))
            .toString();
    }

private slots:
    void initTestCase() { Fonts::loadTahoma(); }

    void init() {
        ts = std::make_unique<TestApp>();
        ts->reg.exec(QStringLiteral(
            "INSERT INTO Items (id, \"desc\", testnext) VALUES (17, 'Cable drum 25m', '1/1/2100'),"
            " (20, 'Dimmer', '1/1/2100'),"
            " (1234, 'A-frame ladder', '1/1/2100');"
            "INSERT INTO Lists (id, ListName) VALUES (3, 'Stage left'), (5, 'Tour');"
            "INSERT INTO ListData VALUES (3, 17, 'Cable drum 25m'), (5, 1234, 'A-frame ladder');"
            "UPDATE Data SET lastid = 1234, lastList = 5"));
    }
    void cleanup() {
        editor.reset();
        viewer.reset();
        ts.reset();
    }

    void aNewListIsSavedAsTypedUnderItsShownId() {
        editor = open<frmListAddEdit>(0);
        QVERIFY(!child<QPushButton>(editor.get(), "cmdAdd")->isEnabled());
        QVERIFY(!child<QPushButton>(editor.get(), "cmdDel")->isEnabled());
        QCOMPARE(editor->currentItem, 6);
        name(editor.get())->setText(QStringLiteral(" Stage right "));
        click(editor.get(), "cmdSave");
        QVERIFY(!editor->isVisible());
        QCOMPARE(storedName(6), QStringLiteral(" Stage right "));
        QCOMPARE(ts->reg.scalar(QStringLiteral("SELECT lastList FROM Data")).toLongLong(), 6);

        // An empty name is stored too; an id taken meanwhile is told.
        editor = open<frmListAddEdit>(0);
        ts->reg.exec(QStringLiteral("INSERT INTO Lists (id, ListName) VALUES (7, 'Elsewhere')"));
        click(editor.get(), "cmdSave");
        QCOMPARE(storedName(8), QString(""));
        QVERIFY(ts->dialogs->lastMessage().contains(QStringLiteral("saved as list 8")));
    }

    void addWritesAtOnceRefusesDuplicatesAndReloadsOnce() {
        editor = open<frmListAddEdit>(3);
        addFromPicker(editor.get(), CableDrum);
        QCOMPARE(ts->dialogs->lastMessage(),
                 QStringLiteral("This item already exists in this Picking List"));
        QCOMPARE(ts->dialogs->messages.last().icon, Dialogs::Icon::Information);
        QCOMPARE(listData(), QStringLiteral("3:17 5:1234"));

        name(editor.get())->setText(QStringLiteral("Unsaved name"));
        addFromPicker(editor.get(), Ladder);
        addFromPicker(editor.get(), -1);  // nothing picked: nothing written, the reload re-armed
        QCOMPARE(listData(), QStringLiteral("3:17 3:1234 5:1234"));
        QCOMPARE(lines(editorLines()), QStringList{"17 - Cable drum 25m"});  // not yet reloaded
        QVERIFY(reloadTimer()->isActive());
        QCOMPARE(reloadTimer()->interval(), 1000);

        editor->Timer1_Timer();
        QVERIFY(!reloadTimer()->isActive());  // one reload, however often armed
        QCOMPARE(lines(editorLines()),
                 QStringList({"17 - Cable drum 25m", "1234 - A-frame ladder"}));
        QCOMPARE(name(editor.get())->text(), QStringLiteral("Stage left"));
    }

    void deleteRemovesExactlyThatLineOfThatList() {
        ts->reg.exec(QStringLiteral("INSERT INTO ListData VALUES (3, 1234, 'A-frame ladder')"));
        editor = open<frmListAddEdit>(3);
        clickLine(editorLines(), 1);
        QCOMPARE(SharedFields::idOf(ts->fields().ItemToOpen), 1234);
        QVERIFY(child<QPushButton>(editor.get(), "cmdDel")->isEnabled());

        ts->dialogs->answers << Dialogs::Answer::No;
        click(editor.get(), "cmdDel");
        QCOMPARE(ts->dialogs->lastMessage(),
                 QStringLiteral("Are you sure you wish to remove this item? (ID: 1234)"));
        QCOMPARE(ts->dialogs->messages.last().icon, Dialogs::Icon::Critical);
        QCOMPARE(ts->dialogs->messages.last().buttons, Dialogs::Buttons::YesNoDefaultNo);
        QCOMPARE(listData(), QStringLiteral("3:17 3:1234 5:1234"));
        QVERIFY(!reloadTimer()->isActive());

        ts->dialogs->answers << Dialogs::Answer::Yes;
        reloadTimer()->setInterval(0);  // the real timer, without the wait
        click(editor.get(), "cmdDel");
        QCOMPARE(listData(), QStringLiteral("3:17 5:1234"));
        QTRY_COMPARE(lines(editorLines()), QStringList{"17 - Cable drum 25m"});
        QVERIFY(child<QPushButton>(editor.get(), "cmdDel")->isEnabled());
    }

    // The selected line's item is removed, although the case viewer reached
    // from it has written another item to ItemToOpen.
    void deleteRemovesTheSelectedLineAfterACaseViewer() {
        ts->reg.exec(
            QStringLiteral("INSERT INTO Cases (id, FName) VALUES (9, 'Rack');"
                           "UPDATE Items SET caseID = 9 WHERE id IN (17, 20)"));
        editor = open<frmListAddEdit>(3);
        ModalDriver::whenShown(QStringLiteral("frmItemView"), [](QWidget* itemViewer) {
            ModalDriver::whenShown(QStringLiteral("frmFlightView"), [](QWidget* caseViewer) {
                clickLine(child<QListView>(caseViewer, "List1"), 1);  // "20 - Dimmer"
                click(caseViewer, "Command3");
            });
            doubleClickLine(child<QListWidget>(itemViewer, "List1"), 13);  // "Flight Case: F9"
            click(itemViewer, "Command3");
        });
        doubleClickLine(editorLines(), 0);  // "17 - Cable drum 25m"
        QCOMPARE(SharedFields::idOf(ts->fields().ItemToOpen), 20);

        ts->dialogs->answers << Dialogs::Answer::Yes;
        click(editor.get(), "cmdDel");
        QCOMPARE(ts->dialogs->lastMessage(),
                 QStringLiteral("Are you sure you wish to remove this item? (ID: 17)"));
        QCOMPARE(listData(), QStringLiteral("5:1234"));
    }

    // The viewer shows what is stored after each Edit: Close keeps the added
    // line but not the typed name, Save stores the name.
    void viewerShowsTheStoredListAfterEdit() {
        viewer = open<frmListView>(QStringLiteral("3"));
        name(viewer.get())->setText(QStringLiteral("Typed in the viewer"));
        ModalDriver::whenShown(QStringLiteral("frmListAddEdit"), [this](QWidget* w) {
            name(w)->setText(QStringLiteral("Not saved"));
            addFromPicker(w, Dimmer);
            click(w, "cmdClose");
        });
        click(viewer.get(), "cmdEdit");
        QCOMPARE(storedName(3), QStringLiteral("Stage left"));
        QCOMPARE(name(viewer.get())->text(), QStringLiteral("Stage left"));
        QCOMPARE(lines(child<QListView>(viewer.get(), "lstItems")),
                 QStringList({"17 - Cable drum 25m", "20 - Dimmer"}));

        ModalDriver::whenShown(QStringLiteral("frmListAddEdit"), [this](QWidget* w) {
            name(w)->setText(QStringLiteral("Stage right"));
            click(w, "cmdSave");
        });
        click(viewer.get(), "cmdEdit");
        QCOMPARE(name(viewer.get())->text(), QStringLiteral("Stage right"));
    }

    void aListThatIsGoneIsNeverWritten() {
        editor = open<frmListAddEdit>(99);
        QCOMPARE(ts->dialogs->lastMessage(), QStringLiteral("List 99 no longer exists."));
        QCOMPARE(ts->dialogs->messages.last().icon, Dialogs::Icon::Information);
        QVERIFY(ModalDriver::waitClosed(QStringLiteral("frmListAddEdit")));

        // Deleted elsewhere while open: Add and Save refuse, the window stays.
        editor = open<frmListAddEdit>(3);
        ts->reg.exec(QStringLiteral("DELETE FROM Lists WHERE id = 3"));
        addFromPicker(editor.get(), Dimmer);
        QCOMPARE(ts->dialogs->lastMessage(), QStringLiteral("List 3 no longer exists."));
        QCOMPARE(listData(), QStringLiteral("3:17 5:1234"));
        QVERIFY(!reloadTimer()->isActive());
        name(editor.get())->setText(QStringLiteral("Back again"));
        click(editor.get(), "cmdSave");
        QVERIFY(ts->dialogs->lastMessage().contains(QStringLiteral("no longer exists")));
        QVERIFY(editor->isVisible());
        QCOMPARE(ts->reg.count(QStringLiteral("Lists")), 1);
    }

    // The plan is saved with the name by Save; a date picked or typed, a
    // date cleared, and the viewer shows what is stored.
    void thePlanIsSavedWithTheNameAndShown() {
        editor = open<frmListAddEdit>(3);
        QCOMPARE(child<QComboBox>(editor.get(), "cboState")->currentText(),
                 QStringLiteral("Draft"));
        ModalDriver::whenShown(QStringLiteral("frmDatePicker"), [](QWidget* picker) {
            child<QCalendarWidget>(picker, "MonthView1")->setSelectedDate(QDate(2009, 2, 12));
            click(picker, "cmdSave");
        });
        click(editor.get(), "cmdOutDate");
        QCOMPARE(child<QLineEdit>(editor.get(), "txtOutDate")->text(), QStringLiteral("12/2/2009"));
        typePlan(QStringLiteral("12/2/2009"), QStringLiteral(" 15/2/2009 "),
                 QStringLiteral("Confirmed"));
        name(editor.get())->setText(QStringLiteral("Stage left 2"));
        click(editor.get(), "cmdSave");
        QVERIFY(!editor->isVisible());
        QCOMPARE(storedName(3), QStringLiteral("Stage left 2"));
        QCOMPARE(storedPlan(3),
                 (ListPlan{QDate(2009, 2, 12), QDate(2009, 2, 15), ListState::Confirmed}));

        viewer = open<frmListView>(3);
        QCOMPARE(child<QLabel>(viewer.get(), "lblPlan")->text(),
                 QStringLiteral("Confirmed, from 12/2/2009 to 15/2/2009"));

        // The picker starts on the box's date; clearing a box clears the date.
        editor = open<frmListAddEdit>(3);
        ModalDriver::whenShown(QStringLiteral("frmDatePicker"), [](QWidget* picker) {
            QCOMPARE(child<QCalendarWidget>(picker, "MonthView1")->selectedDate(),
                     QDate(2009, 2, 15));
            click(picker, "cmdSave");
        });
        click(editor.get(), "cmdReturnDate");
        child<QLineEdit>(editor.get(), "txtReturnDate")->clear();
        click(editor.get(), "cmdSave");
        QCOMPARE(storedPlan(3), (ListPlan{QDate(2009, 2, 12), std::nullopt, ListState::Confirmed}));
        viewer->RefreshView();
        QCOMPARE(child<QLabel>(viewer.get(), "lblPlan")->text(),
                 QStringLiteral("Confirmed, from 12/2/2009 (no return date)"));
    }

    void aPlanThatCannotBeReadIsToldAndNothingSaved_data() {
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("ret");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such day") << "31/2/2009"
                                     << ""
                                     << "The out date \"31/2/2009\" cannot be read";
        QTest::newRow("not day/month/year") << "12/2/2009"
                                            << "2009-02-15"
                                            << "The return date \"2009-02-15\" cannot be read";
        QTest::newRow("back before out")
            << "12/2/2009"
            << "10/2/2009"
            << "The return date 10/2/2009 is before the out date 12/2/2009.";
    }
    void aPlanThatCannotBeReadIsToldAndNothingSaved() {
        QFETCH(QString, out);
        QFETCH(QString, ret);
        QFETCH(QString, message);
        for (const int list : {3, 0}) {
            editor = open<frmListAddEdit>(list);
            name(editor.get())->setText(QStringLiteral("Renamed"));
            typePlan(out, ret, QStringLiteral("Confirmed"));
            click(editor.get(), "cmdSave");
            QVERIFY2(ts->dialogs->lastMessage().startsWith(message),
                     qPrintable(ts->dialogs->lastMessage()));
            QVERIFY(editor->isVisible());
            QCOMPARE(storedName(3), QStringLiteral("Stage left"));
            QCOMPARE(ts->reg.count(QStringLiteral("Lists")), 2);
            QCOMPARE(ts->reg.count(QStringLiteral("ListPlans")), 0);
        }
    }

    // A plan that books items booked elsewhere asks once, No first; No keeps
    // the window and what is typed, Yes keeps the clash and marks it.
    void aClashingPlanAsksOnceAndStaysMarked() {
        ts->reg.exec(QStringLiteral("INSERT INTO ListData VALUES (3, 1234, 'A-frame ladder')"));
        storePlan(5, QStringLiteral("2009-02-10"), QStringLiteral("2009-02-12"),
                  QStringLiteral("Confirmed"));
        editor = open<frmListAddEdit>(3);
        typePlan(QStringLiteral("12/2/2009"), QStringLiteral("15/2/2009"),
                 QStringLiteral("Confirmed"));
        click(editor.get(), "cmdSave");
        const QString question =
            "This list books items that are booked elsewhere:\n"
            "Item 1234 A-frame ladder: booked on list 5 Tour from 10/2/2009 to 12/2/2009\n"
            "Save it anyway?";
        QCOMPARE(ts->dialogs->lastMessage(), question);
        QCOMPARE(ts->dialogs->messages.last().buttons, Dialogs::Buttons::YesNoDefaultNo);
        QVERIFY(editor->isVisible());
        QCOMPARE(child<QLineEdit>(editor.get(), "txtOutDate")->text(), QStringLiteral("12/2/2009"));
        QCOMPARE(storedPlan(3), ListPlan{});

        ts->dialogs->answers << Dialogs::Answer::Yes;
        const int asked = ts->dialogs->messages.size();
        click(editor.get(), "cmdSave");
        QCOMPARE(ts->dialogs->messages.size(), asked + 1);
        QVERIFY(!editor->isVisible());
        QCOMPARE(storedPlan(3).state, ListState::Confirmed);
    }

    // Both windows mark each line booked elsewhere or due for test while
    // out, and sum them up under the list box; the other lines are plain.
    void clashingAndDueLinesAreMarked_data() {
        QTest::addColumn<bool>("inEditor");
        QTest::newRow("editor") << true;
        QTest::newRow("viewer") << false;
    }
    void clashingAndDueLinesAreMarked() {
        QFETCH(bool, inEditor);
        ts->reg.exec(QStringLiteral(
            "INSERT INTO ListData VALUES (3, 1234, 'A-frame ladder'), (3, 20, 'Dimmer');"
            "UPDATE Items SET testnext = '14/2/2009' WHERE id = 20"));
        storePlan(3, QStringLiteral("2009-02-12"), QStringLiteral("2009-02-15"),
                  QStringLiteral("Confirmed"));
        storePlan(5, QStringLiteral("2009-02-15"), QStringLiteral("2009-02-20"),
                  QStringLiteral("Out"));
        QWidget* window = nullptr;
        if (inEditor)
            window = (editor = open<frmListAddEdit>(3)).get();
        else
            window = (viewer = open<frmListView>(3)).get();
        auto* list = child<QListView>(window, inEditor ? "List1" : "lstItems");
        QCOMPARE(lines(list),
                 QStringList({"17 - Cable drum 25m", "20 - Dimmer", "1234 - A-frame ladder"}));
        const QString booked = QStringLiteral("booked on list 5 Tour from 15/2/2009 to 20/2/2009");
        QCOMPARE(notes(list, Qt::ToolTipRole), QStringList({"", "due for test while out", booked}));
        QCOMPARE(notes(list, Qt::AccessibleTextRole),
                 QStringList({"17 - Cable drum 25m", "20 - Dimmer, due for test while out",
                              "1234 - A-frame ladder, " + booked}));
        QCOMPARE(child<QLabel>(window, "lblMarks")->text(),
                 QStringLiteral("! Booked on other lists too: 1234\n! Due for test while out: 20"));

        // Selecting a marked line still selects its item.
        clickLine(list, 2);
        QCOMPARE(SharedFields::idOf(ts->fields().ItemToOpen), 1234);
    }

    // Adding an item another holding list books over the same days asks
    // first, No first; Yes adds it.
    void addingAnItemBookedElsewhereAsks() {
        storePlan(3, QStringLiteral("2009-02-12"), QStringLiteral("2009-02-15"),
                  QStringLiteral("Confirmed"));
        storePlan(5, QStringLiteral("2009-02-15"), QStringLiteral(""), QStringLiteral("Confirmed"));
        editor = open<frmListAddEdit>(3);
        addFromPicker(editor.get(), Ladder);
        QCOMPARE(ts->dialogs->lastMessage(),
                 QStringLiteral("Item 1234 A-frame ladder is booked on list 5 Tour from 15/2/2009 "
                                "(no return date). Add it anyway?"));
        QCOMPARE(ts->dialogs->messages.last().buttons, Dialogs::Buttons::YesNoDefaultNo);
        QCOMPARE(listData(), QStringLiteral("3:17 5:1234"));

        ts->dialogs->answers << Dialogs::Answer::Yes;
        addFromPicker(editor.get(), Ladder);
        QCOMPARE(listData(), QStringLiteral("3:17 3:1234 5:1234"));
        editor->Timer1_Timer();
        QCOMPARE(notes(editorLines(), Qt::ToolTipRole).last(),
                 QStringLiteral("booked on list 5 Tour from 15/2/2009 (no return date)"));
    }

    // The printout carries the dates and state under the title.
    void thePrintoutCarriesThePlan() {
        ts->printers->names = {QStringLiteral("List printer")};
        ts->printers->defaultName = QStringLiteral("List printer");
        storePlan(3, QStringLiteral("2009-02-12"), QStringLiteral("2009-02-15"),
                  QStringLiteral("Out"));
        viewer = open<frmListView>(3);
        click(viewer.get(), "cmdPrint");
        editor = open<frmListAddEdit>(3);
        child<QLineEdit>(editor.get(), "txtReturnDate")->setText(QStringLiteral("16/2/2009"));
        click(editor.get(), "cmdPrint");  // as typed
        QCOMPARE(ts->printers->jobs.size(), 2);
        QCOMPARE(PdfCheck::lines(ts->printers->jobs[0].pdfFile),
                 QStringList({"Quarvel List - Stage left", "Out, from 12/2/2009 to 15/2/2009",
                              "17 - Cable drum 25m"}));
        QCOMPARE(PdfCheck::lines(ts->printers->jobs[1].pdfFile).value(1),
                 QStringLiteral("Out, from 12/2/2009 to 16/2/2009"));
    }

    // A list without dates stores no plan and shows none, nor any mark.
    void aListWithoutDatesStaysPlain() {
        ts->reg.exec(QStringLiteral("INSERT INTO ListData VALUES (3, 1234, 'A-frame ladder')"));
        storePlan(5, QStringLiteral("2009-02-10"), QStringLiteral("2009-02-12"),
                  QStringLiteral("Confirmed"));
        editor = open<frmListAddEdit>(3);
        QCOMPARE(child<QLineEdit>(editor.get(), "txtOutDate")->text(), QString());
        QCOMPARE(notes(editorLines(), Qt::ToolTipRole), QStringList({"", ""}));
        click(editor.get(), "cmdSave");
        QVERIFY(!editor->isVisible());
        QCOMPARE(ts->reg.count(QStringLiteral("ListPlans")), 1);
        viewer = open<frmListView>(3);
        QCOMPARE(child<QLabel>(viewer.get(), "lblPlan")->text(), QString());
        QCOMPARE(child<QLabel>(viewer.get(), "lblMarks")->text(), QString());
    }

    // What the window shows is printed: the typed name and every line in
    // order, continued on the next page where a page is full.
    void aLongListPrintsEveryLineAcrossPages() {
        ts->printers->names = {QStringLiteral("List printer")};
        ts->printers->defaultName = QStringLiteral("List printer");
        QStringList expected;
        for (int id = 1; id <= 120; ++id) {
            ts->reg.exec(
                QStringLiteral("INSERT INTO ListData VALUES (4, %1, 'Stage deck %1')").arg(id));
            expected << QStringLiteral("%1 - Stage deck %1").arg(id);
        }
        ts->reg.exec(QStringLiteral("INSERT INTO Lists (id, ListName) VALUES (4, 'Tour')"));
        editor = open<frmListAddEdit>(4);
        name(editor.get())->setText(QStringLiteral("Tour 2009"));
        click(editor.get(), "cmdPrint");
        QCOMPARE(ts->printers->jobs.size(), 1);

        const QString pdf = ts->printers->jobs[0].pdfFile;
        const int pages = PdfCheck::pageCount(pdf);
        QVERIFY(pages >= 2);
        QStringList printed;
        for (int page = 1; page <= pages; ++page)
            printed += PdfCheck::lines(pdf, page);
        QCOMPARE(printed, QStringList{"Quarvel List - Tour 2009"} + expected);

        // A page ends where the next line would not fit; the next starts at the top.
        const double pageHeight = PdfCheck::pageSizePoints(pdf).height();
        QList<QList<double>> tops(pages + 1);  // of each printed line, by page
        for (const PdfCheck::Word& word : PdfCheck::words(pdf)) {
            QList<double>& onPage = tops[word.page];
            if (onPage.isEmpty() || qAbs(onPage.last() - word.box.top()) > 1.0)
                onPage.append(word.box.top());
        }
        const double step = tops[2][1] - tops[2][0];
        QVERIFY(step > 10 && step < 20);
        for (int page = 1; page < pages; ++page)
            QVERIFY2(pageHeight - tops[page].last() < 2 * step, qPrintable(QString::number(page)));
        QVERIFY(tops[2].first() < step);
    }
};

QTEST_MAIN(TestListWindows)
#include "test_list_windows.moc"
