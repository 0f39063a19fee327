// The list editor and the list viewer, driven headless against a real register.
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
