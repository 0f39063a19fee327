#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <limits>

#include "ModalDriver.h"
#include "TestApp.h"
#include "WidgetDriver.h"
#include "data/ItemStore.h"
#include "data/Register.h"
#include "items/frmItemAddEdit.h"
#include "main/TreeModel.h"
#include "main/frmMain.h"

namespace {

// Item 45 in case 12 and on list 3, item 3 in no case, an empty case 7.
void fillSampleRegister(const TempRegister& reg) {
    reg.exec(QStringLiteral(
        "INSERT INTO Items (id, \"desc\", category, caseID, length, notes) VALUES"
        " (3, 'Cable', 'Power', 0, 25, NULL), (45, 'Lamp', 'Lighting', 12, 1.5, 'Spare bulb');"
        "INSERT INTO Cases (id, FName) VALUES (7, 'Empty case'), (12, 'Amp rack');"
        "INSERT INTO Lists (id, ListName) VALUES (3, 'Stage left');"
        "INSERT INTO ListData VALUES (3, 45, 'Lamp (old name)'), (3, 3, 'Cable');"
        "UPDATE Data SET lastid = 45, lastCase = 12, lastList = 3"));
}

QStringList childKeys(const TreeModel* m, const QModelIndex& parent) {
    QStringList keys;
    for (int r = 0; r < m->rowCount(parent); ++r)
        keys << m->key(m->index(r, 0, parent));
    return keys;
}

QStringList childTexts(const TreeModel* m, const QModelIndex& parent) {
    QStringList texts;
    for (int r = 0; r < m->rowCount(parent); ++r)
        texts << m->index(r, 0, parent).data().toString();
    return texts;
}

}  // namespace

class TestMainTree : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> ts;
    std::unique_ptr<frmMain> w;
    QTreeView* tree = nullptr;
    QListWidget* details = nullptr;
    TreeModel* model = nullptr;

    void openMain() {
        w = std::make_unique<frmMain>(ts->ctx());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        tree = w->findChild<QTreeView*>(QStringLiteral("TreeView1"));
        details = w->findChild<QListWidget*>(QStringLiteral("List1"));
        model = w->treeModel();
    }

    QAction* toolbarButton(int position) {
        return w->findChild<QToolBar*>(QStringLiteral("Toolbar1"))->actions().at(position - 1);
    }

    // Clicks the node like a user: expands its parents, then clicks its row.
    void clickNode(const QString& key) {
        const QModelIndex node = model->indexOfKey(key);
        QVERIFY2(node.isValid(), qPrintable(key));
        for (QModelIndex p = node.parent(); p.isValid(); p = p.parent())
            tree->expand(p);
        tree->scrollTo(node);
        const QRect row = tree->visualRect(node);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(tree->currentIndex(), node);
        QTest::qWait(20);  // the click handler runs once the click is done
    }

    void doubleClickCaseLine() {
        const QPoint line = details->visualItemRect(details->item(14)).center();
        QTest::mouseClick(details->viewport(), Qt::LeftButton, {}, line);
        QTest::mouseDClick(details->viewport(), Qt::LeftButton, {}, line);
    }

    QStringList detailLines() const {
        QStringList lines;
        for (int i = 0; i < details->count(); ++i)
            lines << details->item(i)->text();
        return lines;
    }

private slots:
    void init() { ts = std::make_unique<TestApp>(); }
    void cleanup() {
        w.reset();
        ts.reset();
    }

    void windowLayout() {
        openMain();
        QCOMPARE(w->windowTitle(), QStringLiteral("Quarvel - Brackenlow"));
        QCOMPARE(w->minimumSize(), w->maximumSize());
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("Quarvel - Items"));
        const QStringList keys = {"AddItem",  "AddCase",  "AddList", "Edit", "Delete",
                                  "Printers", "Database", "About",   "Exit"};
        const QStringList captions = {"Add Item", "Add Case", "Add List", "Edit", "Delete",
                                      "Printers", "Database", "About",    "Exit"};
        for (int i = 0; i < keys.size(); ++i) {
            QCOMPARE(toolbarButton(i + 1)->objectName(), keys[i]);
            QCOMPARE(toolbarButton(i + 1)->text(), captions[i]);
            QCOMPARE(toolbarButton(i + 1)->isEnabled(), i != 3 && i != 4);
        }
    }

    void emptyRegisterShowsThreeRoots() {
        openMain();
        QCOMPARE(childKeys(model, {}), QStringList({"items", "Cases", "Lists"}));
        QCOMPARE(childTexts(model, {}), QStringList({"Items", "Cases", "Lists"}));
        for (int r = 0; r < 3; ++r)
            QCOMPARE(model->rowCount(model->index(r, 0)), 0);
        QVERIFY(ts->dialogs->messages.isEmpty());
    }

    // The tree replaced comes back to be freed off the window's thread.
    void aReplacedTreeIsHandedBack() {
        TreeModel m;
        TreeData first;
        first.itemIds = {7, 9};
        QVERIFY(m.setTree(first).itemIds.empty());
        QCOMPARE(m.setTree(TreeData{}).itemIds, first.itemIds);
    }

    void sampleRegisterKeysTextsAndOrder() {
        fillSampleRegister(ts->reg);
        openMain();
        const QModelIndex items = model->index(0, 0), cases = model->index(1, 0),
                          lists = model->index(2, 0);
        QCOMPARE(childKeys(model, items), QStringList({"I3", "I45"}));
        QCOMPARE(childTexts(model, items), QStringList({"Cable", "Lamp"}));
        QCOMPARE(childKeys(model, cases), QStringList({"C7", "C12"}));
        QCOMPARE(childTexts(model, cases), QStringList({"Empty case", "Amp rack"}));
        const QModelIndex emptyCase = model->index(0, 0, cases);
        QCOMPARE(childKeys(model, emptyCase), QStringList({"C7items", "C7consumeables"}));
        QCOMPARE(childTexts(model, emptyCase), QStringList({"Items", "Consumables"}));
        QCOMPARE(model->rowCount(model->index(0, 0, emptyCase)), 0);
        const QModelIndex ampRack = model->index(1, 0, cases);
        QCOMPARE(childKeys(model, model->index(0, 0, ampRack)), QStringList({"C12I45"}));
        QCOMPARE(childTexts(model, model->index(0, 0, ampRack)), QStringList({"Lamp"}));
        QCOMPARE(model->rowCount(model->index(1, 0, ampRack)), 0);
        QCOMPARE(childKeys(model, lists), QStringList({"L3"}));
        QCOMPARE(childKeys(model, model->index(0, 0, lists)), QStringList({"L3I3", "L3I45"}));
        QCOMPARE(childTexts(model, model->index(0, 0, lists)),
                 QStringList({"Cable", "Lamp (old name)"}));
        // Every index leads back to its parent.
        const QModelIndex line = model->indexOfKey(QStringLiteral("L3I45"));
        QCOMPARE(model->key(line.parent()), QStringLiteral("L3"));
        QCOMPARE(model->key(model->indexOfKey(QStringLiteral("C12I45")).parent().parent()),
                 QStringLiteral("C12"));
    }

    void itemNodesAnywhereShowTheSameItem() {
        fillSampleRegister(ts->reg);
        openMain();
        QStringList first;
        for (const QString& key :
             {QStringLiteral("C12I45"), QStringLiteral("L3I45"), QStringLiteral("I45")}) {
            clickNode(QStringLiteral("items"));  // clear in between
            QCOMPARE(details->count(), 0);
            clickNode(key);
            QCOMPARE(w->fields().ItemToOpen.toString(), QStringLiteral("45"));
            QVERIFY(toolbarButton(4)->isEnabled());
            QVERIFY(toolbarButton(5)->isEnabled());
            if (first.isEmpty())
                first = detailLines();
            QCOMPARE(detailLines(), first);
        }
        QCOMPARE(first.size(), 19);
        QCOMPARE(first.value(0), QStringLiteral("Equipment ID Number: 45"));
        QCOMPARE(first.value(1), QStringLiteral("Description: Lamp"));
        QCOMPARE(first.value(2), QStringLiteral("Category: Lighting"));
        // The case line tells how the case's items stand with their tests.
        QCOMPARE(first.value(14), QStringLiteral("Flight Case: F12 · Tests: 1 never tested"));
        QCOMPARE(first.value(16), QStringLiteral("Notes: Spare bulb"));
        QCOMPARE(first.value(17), QStringLiteral("Length: 1.5"));
        QCOMPARE(first.value(18), QStringLiteral("Serial: "));
    }

    void foldersClearTheListAndDisableEditAndDelete() {
        fillSampleRegister(ts->reg);
        openMain();
        for (const QString& key :
             {QStringLiteral("C12items"), QStringLiteral("C12consumeables"), QStringLiteral("C12"),
              QStringLiteral("L3"), QStringLiteral("Lists")}) {
            clickNode(QStringLiteral("I3"));
            QCOMPARE(details->count(), 19);
            clickNode(key);
            QCOMPARE(details->count(), 0);
            QVERIFY(!toolbarButton(4)->isEnabled());
            QVERIFY(!toolbarButton(5)->isEnabled());
            QCOMPARE(w->fields().ItemToOpen.toString(), QStringLiteral("3"));  // left as it was
        }
    }

    // A list with dates or a state shows them after its name, and its
    // lines in the detail list; Edit and Delete stay off.
    void aListShowsItsPlan() {
        fillSampleRegister(ts->reg);
        ts->reg.exec(
            QStringLiteral("INSERT INTO Lists (id, ListName) VALUES (4, 'Tour');"
                           "INSERT INTO ListPlans (listid, outdate, returndate, state) VALUES"
                           " (4, '2027-05-12', '2027-05-15', 'Confirmed')"));
        openMain();
        QCOMPARE(childTexts(model, model->indexOfKey(QStringLiteral("Lists"))),
                 QStringList({"Stage left", "Tour (Confirmed, from 12/5/2027 to 15/5/2027)"}));
        clickNode(QStringLiteral("L4"));
        QCOMPARE(detailLines(), QStringList({"State: Confirmed", "Out Date: 12/5/2027",
                                             "Return Date: 15/5/2027"}));
        QVERIFY(!toolbarButton(4)->isEnabled());
        clickNode(QStringLiteral("L3"));
        QCOMPARE(details->count(), 0);
    }

    void itemInNoCaseAndItsCaseLine() {
        fillSampleRegister(ts->reg);
        openMain();
        clickNode(QStringLiteral("I3"));
        QCOMPARE(details->item(14)->text(), QStringLiteral("Flight Case: F0"));
        QCOMPARE(details->item(16)->text(), QStringLiteral("Notes: "));  // null notes
        // Clicking another line changes nothing; the case line sets CaseToOpen.
        w->fields().CaseToOpen = QStringLiteral("untouched");
        QTest::mouseClick(details->viewport(), Qt::LeftButton, {},
                          details->visualItemRect(details->item(3)).center());
        QCOMPARE(w->fields().CaseToOpen.toString(), QStringLiteral("untouched"));
        QTest::mouseClick(details->viewport(), Qt::LeftButton, {},
                          details->visualItemRect(details->item(14)).center());
        QCOMPARE(SharedFields::idOf(w->fields().CaseToOpen), 0);
        const QString caseViewer = QStringLiteral("frmFlightView");
        QVERIFY(!ModalDriver::shownDuring(caseViewer, [&] { doubleClickCaseLine(); }));
        QCOMPARE(w->fields().OpenCase.toString(), QStringLiteral("0"));

        clickNode(QStringLiteral("I45"));
        QString shownCase;
        ModalDriver::whenShown(caseViewer, [&](QWidget* viewer) {
            shownCase = WidgetDriver::lines(viewer->findChild<QListWidget*>("List2")).value(0);
            viewer->close();
        });
        doubleClickCaseLine();
        QCOMPARE(shownCase, QStringLiteral("Name: Amp rack"));
    }

    void arrowKeysInTheTreeSelectLikeClicks() {
        fillSampleRegister(ts->reg);
        openMain();
        clickNode(QStringLiteral("I3"));
        QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(model->key(tree->currentIndex()), QStringLiteral("I45"));
        QCOMPARE(details->item(0)->text(), QStringLiteral("Equipment ID Number: 45"));
        QTest::keyClick(tree, Qt::Key_Down);  // "Cases"
        QCOMPARE(details->count(), 0);
        QVERIFY(!toolbarButton(4)->isEnabled());
    }

    // A case value beyond the id range is clamped to it, not converted out of range.
    void caseLineOfAnItemInACase_data() {
        QTest::addColumn<QString>("node");
        QTest::addColumn<qint64>("caseId");
        QTest::newRow("item on a list") << "L3I45" << qint64(12);
        QTest::newRow("case 1e300") << "I46" << std::numeric_limits<qint64>::max();
        QTest::newRow("case -1e300") << "I47" << std::numeric_limits<qint64>::min();
    }
    void caseLineOfAnItemInACase() {
        QFETCH(QString, node);
        QFETCH(qint64, caseId);
        fillSampleRegister(ts->reg);
        ts->reg.exec(
            QStringLiteral("INSERT INTO Items (id, \"desc\", caseID) VALUES (46, 'Far', 1e300), "
                           "(47, 'Near', -1e300)"));
        openMain();
        clickNode(node);
        QTest::mouseClick(details->viewport(), Qt::LeftButton, {},
                          details->visualItemRect(details->item(14)).center());
        QCOMPARE(w->fields().CaseToOpen.toLongLong(), caseId);
    }

    void refreshResetsTheFields() {
        fillSampleRegister(ts->reg);
        openMain();
        clickNode(QStringLiteral("I45"));
        w->RefreshTree();
        w->treeModel();  // the tree read again
        QCOMPARE(details->count(), 0);
        QCOMPARE(SharedFields::idOf(w->fields().ItemToOpen), 0);
        QCOMPARE(SharedFields::idOf(w->fields().CaseToOpen), 0);
        QCOMPARE(SharedFields::idOf(w->fields().ListToOpen), 0);
        QVERIFY(!tree->currentIndex().isValid());
    }

    void clickWithNothingSelectedDoesNotFail() {
        fillSampleRegister(ts->reg);
        openMain();
        clickNode(QStringLiteral("I45"));
        w->RefreshTree();  // nothing selected any more
        w->treeModel();
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          QPoint(5, tree->viewport()->height() - 5));
        QTest::qWait(20);
        QCOMPARE(details->count(), 0);
        QCOMPARE(SharedFields::idOf(w->fields().ItemToOpen), 0);
    }

    // The window shows its roots before the tree is read; a root clicked or
    // expanded then waits for the read and shows every child, while the
    // selection stays on the root.
    void aRootClickedDuringTheReadShowsTheFullList_data() {
        QTest::addColumn<bool>("expand");
        QTest::newRow("click") << false;
        QTest::newRow("expand") << true;
    }
    void aRootClickedDuringTheReadShowsTheFullList() {
        QFETCH(bool, expand);
        fillSampleRegister(ts->reg);
        w = std::make_unique<frmMain>(ts->ctx());
        w->show();  // the read's answer comes through the event loop, not yet run
        tree = w->findChild<QTreeView*>(QStringLiteral("TreeView1"));
        const QAbstractItemModel* shown = tree->model();
        QVERIFY(w->treeReading());
        QCOMPARE(shown->rowCount(), 3);
        const QModelIndex items = shown->index(0, 0);
        QCOMPARE(shown->rowCount(items), 0);
        QVERIFY(shown->hasChildren(items));
        if (expand)
            tree->expand(items);
        else
            tree->setCurrentIndex(items);
        QCOMPARE(shown->rowCount(items), 2);
        QVERIFY(!w->treeReading());
        QCOMPARE(shown->rowCount(shown->index(1, 0)), 2);  // the cases too
        QCOMPARE(tree->currentIndex(), expand ? QModelIndex() : items);
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("lblTestsDue"))->text().isEmpty(), false);
    }

    // A save while the tree is read: the tree shows it once read.
    void aSaveDuringTheReadIsShown() {
        fillSampleRegister(ts->reg);
        w = std::make_unique<frmMain>(ts->ctx());
        w->show();
        QVERIFY(w->treeReading());
        ts->reg.exec(
            QStringLiteral("INSERT INTO Items (id, \"desc\") VALUES (46, 'Stand');"
                           "UPDATE Data SET lastid = 46"));
        w->RefreshTree();
        QTRY_VERIFY(!w->treeReading());
        QVERIFY(w->treeModel()->indexOfKey(QStringLiteral("I46")).isValid());
        QCOMPARE(w->treeModel()->rowCount(w->treeModel()->index(0, 0)), 3);
    }

    // Another program saving to the file while the window is open: the tree
    // and the detail lines show it within 2 s, the selection stays, and the
    // status line says what changed where. An editor with unsaved input is
    // left as it is, and Save still asks before writing over the change.
    void anotherProgramsSaveShowsAndLeavesTheEditor() {
        fillSampleRegister(ts->reg);
        openMain();
        clickNode(QStringLiteral("C12I45"));
        ts->fields().ItemToOpen = 45;
        frmItemAddEdit editor(ts->ctx());
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        auto* editorLines = WidgetDriver::child<QListWidget>(&editor, "List1");
        ts->dialogs->inputAnswers << QStringLiteral("Typed");
        WidgetDriver::doubleClickLine(editorLines, 1);

        Register other(RegisterLocation::file(ts->reg.path()));
        other.setAuthor({QStringLiteral("bob"), QStringLiteral("DESK-B")});
        QCOMPARE(ItemStore(other).update(45, {{int(ItemColumn::Desc), "Spot", "Lamp"}}, false),
                 SaveResult::Saved);
        QTRY_COMPARE_WITH_TIMEOUT(model->indexOfKey(QStringLiteral("I45")).data().toString(),
                                  QStringLiteral("Spot"), 2000);
        QCOMPARE(model->key(tree->currentIndex()), QStringLiteral("C12I45"));
        QCOMPARE(detailLines().value(1), QStringLiteral("Description: Spot"));
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("lblChanges"))->text(),
                 QStringLiteral("Item 45 changed at DESK-B"));

        QCOMPARE(editorLines->item(1)->text(), QStringLiteral("Description: Typed"));
        WidgetDriver::click(&editor, "Command2");  // Save: asked, and No keeps the editor
        QVERIFY(editor.isVisible());
        QCOMPARE(ts->dialogs->messages.last().text,
                 QStringLiteral("Item 45 was changed elsewhere since you opened it. Save your "
                                "changes over it?"));
        QCOMPARE(editorLines->item(1)->text(), QStringLiteral("Description: Typed"));
    }

    void logoDoubleClickStartsTheHiddenSequence() {
        openMain();
        w->fields().Funny = QStringLiteral("Db");
        QTest::mouseDClick(w->findChild<QLabel*>(QStringLiteral("Image1")), Qt::LeftButton);
        QCOMPARE(w->fields().Funny.toString(), QStringLiteral("Items"));
    }

    void unreadableRegisterIsReportedAndTheTreeStillShows() {
        QFile::remove(ts->reg.path());
        openMain();
        QCOMPARE(ts->dialogs->messages.size(), 1);
        QCOMPARE(ts->dialogs->messages[0].icon, Dialogs::Icon::Critical);
        QVERIFY(ts->dialogs->lastMessage().contains(QStringLiteral("data.mdb")));
        QCOMPARE(childKeys(model, {}), QStringList({"items", "Cases", "Lists"}));
        QVERIFY(!QFile::exists(ts->reg.path()));
    }

    // A damaged register is said once the window is shown; agreed to, it
    // is repaired there and then, and the tree shows the repaired one.
    void aDamagedRegisterIsRepairedOnRequest() {
        ts = std::make_unique<TestApp>();
        fillSampleRegister(ts->reg);
        ts->reg.addUnusedPage();
        ts->dialogs->answers << Dialogs::Answer::Yes;
        openMain();
        QTRY_COMPARE(ts->dialogs->messages.size(), 2);
        const auto& question = ts->dialogs->messages[0];
        QVERIFY(question.text.contains(QStringLiteral("The register is damaged")));
        QCOMPARE(question.buttons, Dialogs::Buttons::YesNo);
        QVERIFY(ts->dialogs->messages[1].text.startsWith(
            QStringLiteral("Quarvel repaired the register")));
        QVERIFY(!w->context().theRegister().readOnly());
        QCOMPARE(ts->reg.scalar(QStringLiteral("PRAGMA quick_check")).toString(),
                 QStringLiteral("ok"));
        QCOMPARE(childTexts(model, model->index(0, 0)), QStringList({"Cable", "Lamp"}));
    }
};

QTEST_MAIN(TestMainTree)
#include "test_main_tree.moc"
