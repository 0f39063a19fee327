#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

#include "ModalDriver.h"
#include "TestApp.h"
#include "WidgetDriver.h"
#include "cli/CommandLine.h"
#include "cli/ScanCommand.h"
#include "cli/TransferCommands.h"
#include "common/Dialogs.h"
#include "data/Register.h"
#include "data/Settings.h"
#include "main/TreeModel.h"
#include "main/frmMain.h"

using namespace WidgetDriver;

class TestMainCommands : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> ts;
    std::unique_ptr<frmMain> w;
    QLineEdit* box = nullptr;

    void openMain() {
        w = std::make_unique<frmMain>(ts->ctx());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTRY_VERIFY(!w->treeReading());
        box = child<QLineEdit>(w.get(), "Text1");
    }

    QAction* button(const char* key) {
        return child<QToolBar>(w.get(), "Toolbar1")->findChild<QAction*>(QLatin1String(key));
    }

    void press(const char* key) {
        QToolBar* bar = child<QToolBar>(w.get(), "Toolbar1");
        QTest::mouseClick(bar->widgetForAction(button(key)), Qt::LeftButton);
    }

    void selectNode(const QString& key) {
        auto* tree = child<QTreeView>(w.get(), "TreeView1");
        const QModelIndex node = w->treeModel()->indexOfKey(key);
        for (QModelIndex p = node.parent(); p.isValid(); p = p.parent())
            tree->expand(p);
        tree->scrollTo(node);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(node).center());
        QTest::qWait(20);
    }

    QStringList itemKeys() const {
        QStringList keys;
        const TreeModel* m = w->treeModel();
        for (int r = 0; r < m->rowCount(m->index(0, 0)); ++r)
            keys << m->key(m->index(r, 0, m->index(0, 0)));
        return keys;
    }

    void quickOpen(const QString& text) {
        // Enter is a shortcut of the active window; a closed viewer may
        // leave no window active on the test platform.
        QApplication::setActiveWindow(w.get());
        box->setText(text);
        QTest::keyClick(box, Qt::Key_Return);
    }

private slots:
    void init() {
        ts = std::make_unique<TestApp>();
        ts->reg.exec(QStringLiteral(
            "INSERT INTO Items (id, \"desc\", caseID) VALUES (12, 'Mixer', 0), (45, 'Lamp', 12);"
            "INSERT INTO Cases (id, FName) VALUES (12, 'Amp rack');"
            "INSERT INTO Lists (id, ListName) VALUES (3, 'Stage left');"
            "INSERT INTO ListData VALUES (3, 45, 'Lamp');"
            "UPDATE Data SET lastid = 45, lastCase = 12, lastList = 3"));
    }
    void cleanup() {
        w.reset();
        ts.reset();
    }

    // Damage confined to an index passes the quick check at start; the
    // day's full check finds it in the background and the register is only
    // read from then on. It runs again on the next day, not before.
    void theDailyFullCheckFindsDamageInAnIndex() {
        ts->reg.spoilIndexOnly();
        openMain();
        QTRY_VERIFY(ts->ctx().theRegister().readOnly());
        QVERIFY(ts->dialogs->messages.value(0).text.contains(
            QStringLiteral("The register is damaged")));
        ts->ctx().checkFullyOnceADay();
        QVERIFY(!ts->ctx().fullCheckRunning());
        ts->clock->date = ts->clock->date.addDays(1);
        ts->ctx().checkFullyOnceADay();
        QVERIFY(ts->ctx().fullCheckRunning());
        QTRY_VERIFY(!ts->ctx().fullCheckRunning());
    }

    // The command line neither imports into a damaged register nor upgrades
    // it for an export; it says why.
    void theCommandLineLeavesADamagedRegisterAsItIs_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("import") << "--import" << int(TransferCommands::Failed);
        QTest::newRow("export") << "--export" << int(TransferCommands::Done);
    }
    void theCommandLineLeavesADamagedRegisterAsItIs() {
        QFETCH(QString, command);
        QFETCH(int, exitCode);
        ts->reg.toFirstVersion();
        ts->reg.addUnusedPage();
        const QTemporaryDir dir;
        QFile csv(dir.filePath(QStringLiteral("items.csv")));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("id,desc\n30,Amp\n");
        csv.close();
        const QStringList args =
            command == QLatin1String("--import")
                ? QStringList{command, csv.fileName()}
                : QStringList{command, QStringLiteral("items"), csv.fileName()};
        QString err;
        QTextStream stream(&err);
        QCOMPARE(TransferCommands::run(args, ts->reg.path(), ts->settingsFile(), stream), exitCode);
        stream.flush();
        QVERIFY2(err.contains(QStringLiteral("The register is damaged")), qPrintable(err));
        QCOMPARE(ts->reg.count(QStringLiteral("Items")), 2);
        QCOMPARE(ts->reg.scalar(QStringLiteral("PRAGMA user_version")).toInt(), 1);
    }

    // Damage confined to an index passes the quick check; the command
    // line's first write waits for the full check, so neither an import nor
    // a scan session is written into it.
    void theCommandLineWritesNothingIntoADamagedIndex_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("import") << "--import";
        QTest::newRow("scan") << "--scan";
    }
    void theCommandLineWritesNothingIntoADamagedIndex() {
        QFETCH(QString, command);
        ts->reg.spoilIndexOnly();
        const QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("in.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(command == QLatin1String("--import") ? "id,desc\n30,Amp\n" : "12\n45\n");
        file.close();
        QString err, out;
        QTextStream errors(&err), answers(&out);
        const RegisterLocation where = RegisterLocation::file(ts->reg.path());
        const int exitCode =
            command == QLatin1String("--import")
                ? TransferCommands::run({command, file.fileName()}, where, ts->settingsFile(),
                                        errors)
                : ScanCommand::run(
                      CommandLine({QStringLiteral("quarvel"), command, file.fileName(),
                                   QStringLiteral("--stocktake"), QStringLiteral("Bay 1")}),
                      where, ts->settingsFile(), QStringLiteral("tester"), answers, errors);
        errors.flush();
        QCOMPARE(exitCode, 1);
        QVERIFY2(err.contains(QStringLiteral("The register is damaged")), qPrintable(err));
        QCOMPARE(ts->reg.count(QStringLiteral("Items")), 2);
        QCOMPARE(ts->reg.count(QStringLiteral("ScanSessions")), 0);
    }

    void nothingSelectedAtStart() {
        openMain();
        QVERIFY(!button("Edit")->isEnabled());
        QVERIFY(!button("Delete")->isEnabled());
        auto* details = child<QListWidget>(w.get(), "List1");
        QTest::mousePress(details->viewport(), Qt::RightButton, {}, QPoint(10, 10));
        QVERIFY(!child<QMenu>(w.get(), "Item")->isVisible());
    }

    void contextMenuOverItemDetails() {
        openMain();
        selectNode(QStringLiteral("I12"));
        auto* details = child<QListWidget>(w.get(), "List1");
        QTest::mousePress(details->viewport(), Qt::RightButton, {}, QPoint(10, 10));
        auto* menu = child<QMenu>(w.get(), "Item");
        QVERIFY(QTest::qWaitFor([&] { return menu->isVisible(); }, 2000));
        QStringList captions;
        for (QAction* a : menu->actions())
            captions << a->text();
        QCOMPARE(captions, QStringList({"&Edit", "&Delete"}));
        menu->close();
    }

    void addItemAddsAndRefreshes() {
        openMain();
        ModalDriver::whenShown(QStringLiteral("frmItemAddEdit"), [this](QWidget* editor) {
            QCOMPARE(SharedFields::idOf(w->fields().ItemToOpen), 0);
            ts->dialogs->inputAnswers << QStringLiteral("Desk");
            doubleClickLine(child<QListWidget>(editor, "List1"), 1);
            click(editor, "Command2");
        });
        press("AddItem");
        QCOMPARE(itemKeys(), QStringList({"I12", "I45", "I46"}));
        QCOMPARE(ts->reg.scalar(QStringLiteral("SELECT lastid FROM Data")).toLongLong(),
                 qint64(46));
    }

    void addCaseAddsAndRefreshes() {
        openMain();
        w->fields().CaseToOpen = 12;  // Add Case asks for a new case whatever was open
        ModalDriver::whenShown(QStringLiteral("frmFlightAddEdit"), [](QWidget* editor) {
            child<QLineEdit>(editor, "Text1")->setText(QStringLiteral("Drum case"));
            click(editor, "Command2");
        });
        press("AddCase");
        QVERIFY(w->treeModel()->indexOfKey(QStringLiteral("C13")).isValid());
        QCOMPARE(ts->reg.scalar(QStringLiteral("SELECT FName FROM Cases WHERE id = 13")).toString(),
                 QStringLiteral("Drum case"));
    }

    void editFromTheMenuEditsTheSelectedItem() {
        openMain();
        selectNode(QStringLiteral("L3I45"));
        ModalDriver::whenShown(QStringLiteral("frmItemAddEdit"), [this](QWidget* editor) {
            QCOMPARE(child<QLabel>(editor, "Label1")->text(), QStringLiteral("Equipment ID: 45"));
            ts->dialogs->inputAnswers << QStringLiteral("Spot");
            doubleClickLine(child<QListWidget>(editor, "List1"), 1);
            click(editor, "Command2");
        });
        child<QMenu>(w.get(), "Item")->findChild<QAction*>(QStringLiteral("Edit"))->trigger();
        QCOMPARE(
            ts->reg.scalar(QStringLiteral("SELECT \"desc\" FROM Items WHERE id = 45")).toString(),
            QStringLiteral("Spot"));
        QCOMPARE(child<QListWidget>(w.get(), "List1")->count(), 0);  // the tree was rebuilt
    }

    void deleteAsksAndOnlyYesDeletes() {
        openMain();
        selectNode(QStringLiteral("I45"));
        ts->dialogs->answers << Dialogs::Answer::No;
        press("Delete");
        QCOMPARE(ts->dialogs->lastMessage(),
                 QStringLiteral("Are you sure you wish to delete this item? (ID: 45)"));
        QCOMPARE(ts->dialogs->messages.last().icon, Dialogs::Icon::Critical);
        QCOMPARE(ts->dialogs->messages.last().buttons, Dialogs::Buttons::YesNoDefaultNo);
        QCOMPARE(ts->reg.count(QStringLiteral("Items")), qint64(2));
        QCOMPARE(child<QListWidget>(w.get(), "List1")->count(), 19);  // not rebuilt

        ts->dialogs->answers << Dialogs::Answer::Yes;
        press("Delete");
        QCOMPARE(itemKeys(), QStringList({"I12"}));
        QCOMPARE(ts->reg.count(QStringLiteral("ListData")), qint64(1));  // list lines stay
        QVERIFY(w->treeModel()->indexOfKey(QStringLiteral("L3I45")).isValid());
        QVERIFY(!w->treeModel()->indexOfKey(QStringLiteral("C12I45")).isValid());

        // Delete stays enabled and now asks about id 0, deleting nothing.
        ts->dialogs->answers << Dialogs::Answer::Yes;
        press("Delete");
        QCOMPARE(ts->dialogs->lastMessage(),
                 QStringLiteral("Are you sure you wish to delete this item? (ID: 0)"));
        QCOMPARE(ts->reg.count(QStringLiteral("Items")), qint64(1));
    }

    // A click in a case viewer opened from the detail lines writes another
    // item to ItemToOpen; Delete still deletes the item shown.
    void deleteActsOnTheShownItemAfterACaseViewer() {
        ts->reg.exec(
            QStringLiteral("INSERT INTO Items (id, \"desc\", caseID) VALUES (46, 'Spot', 12)"));
        openMain();
        selectNode(QStringLiteral("I45"));
        ModalDriver::whenShown(QStringLiteral("frmFlightView"), [](QWidget* viewer) {
            clickLine(child<QListView>(viewer, "List1"), 1);  // "46 - Spot"
            click(viewer, "Command3");
        });
        doubleClickLine(child<QListWidget>(w.get(), "List1"), 14);  // "Flight Case: F12"
        QCOMPARE(SharedFields::idOf(w->fields().ItemToOpen), 46);
        ts->dialogs->answers << Dialogs::Answer::Yes;
        press("Delete");
        QCOMPARE(ts->dialogs->lastMessage(),
                 QStringLiteral("Are you sure you wish to delete this item? (ID: 45)"));
        QCOMPARE(ts->reg.scalar(QStringLiteral("SELECT group_concat(id) FROM Items")).toString(),
                 QStringLiteral("12,46"));
    }

    // Enter, or a double-click, on the detail list's case line opens the case
    // that line names: not the quick open, and not the case a quick open
    // since the line was clicked left in CaseToOpen.
    void theCaseLineOpensItsOwnCase_data() {
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("Enter") << true;
        QTest::newRow("double-click") << false;
    }
    void theCaseLineOpensItsOwnCase() {
        QFETCH(bool, byEnter);
        ts->reg.exec(QStringLiteral("INSERT INTO Cases (id, FName) VALUES (13, 'Drum case')"));
        openMain();
        selectNode(QStringLiteral("I45"));
        auto* details = child<QListWidget>(w.get(), "List1");
        clickLine(details, 14);  // "Flight Case: F12"
        QStringList shownCases;
        const auto noteCase = [&](QWidget* viewer) {
            shownCases << lines(child<QListWidget>(viewer, "List2")).value(0);
            click(viewer, "Command3");
        };
        ModalDriver::whenShown(QStringLiteral("frmFlightView"), noteCase);
        quickOpen(QStringLiteral("f13"));
        ModalDriver::whenShown(QStringLiteral("frmFlightView"), noteCase);
        box->setText(QStringLiteral("12"));
        QApplication::setActiveWindow(w.get());
        if (byEnter) {
            details->setFocus();
            QTest::keyClick(details, Qt::Key_Return);
        } else {
            doubleClickLine(details, 14);
        }
        QCOMPARE(shownCases, QStringList({"Name: Drum case", "Name: Amp rack"}));
        QCOMPARE(box->text(), QStringLiteral("12"));
    }

    // The real question box: a reflexive Enter on a delete question is No.
    void enterAnswersNoToADeleteQuestion() {
        QtDialogs dialogs;
        QTimer::singleShot(0, [] {
            QTRY_VERIFY(QApplication::activeModalWidget());
            QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return);
        });
        QVERIFY(!dialogs.askYesNoDefaultNo(nullptr, QStringLiteral("Delete?"),
                                           Dialogs::Icon::Critical));
    }

    void quickOpenOfAnItemShowsTheViewer() {
        openMain();
        bool shown = false;
        ModalDriver::whenShown(QStringLiteral("frmItemView"), [&](QWidget* viewer) {
            shown = true;
            QCOMPARE(child<QListWidget>(viewer, "List1")->item(0)->text(),
                     QStringLiteral("Equipment ID Number: 12"));
            click(viewer, "Command3");
        });
        quickOpen(QStringLiteral("12"));
        QVERIFY(shown);
        QCOMPARE(w->fields().ItemToOpen.toString(), QStringLiteral("12"));
        QVERIFY(box->text().isEmpty());
    }

    void quickOpenOfCasesAndLists() {
        openMain();
        for (const char* text : {"f12", "F12"}) {
            QString shownCase;
            ModalDriver::whenShown(QStringLiteral("frmFlightView"), [&](QWidget* viewer) {
                shownCase = lines(child<QListWidget>(viewer, "List2")).value(0);
                click(viewer, "Command3");
            });
            quickOpen(QLatin1String(text));
            QCOMPARE(shownCase, QStringLiteral("Name: Amp rack"));
            QCOMPARE(w->fields().CaseToOpen.toString(), QStringLiteral("12"));
            QVERIFY(box->text().isEmpty());
        }
        for (const char* text : {"f", "fx"}) {
            QVERIFY2(!ModalDriver::shownDuring(QStringLiteral("frmFlightView"),
                                               [&] { quickOpen(QLatin1String(text)); }),
                     text);
            QVERIFY(box->text().isEmpty());
        }
        QStringList shownNames;
        for (const char* text : {"L3", "l3"}) {
            ModalDriver::whenShown(QStringLiteral("frmListView"), [&](QWidget* viewer) {
                shownNames << child<QLineEdit>(viewer, "txtName")->text();
                click(viewer, "cmdClose");
            });
            quickOpen(QLatin1String(text));
            QVERIFY(box->text().isEmpty());
        }
        QCOMPARE(shownNames, QStringList({"Stage left", "Stage left"}));
        for (const char* text : {"L", "Lx"}) {
            w->fields().ListToOpen = QStringLiteral("before");
            quickOpen(QLatin1String(text));
            QVERIFY(box->text().isEmpty());
            QCOMPARE(w->fields().ListToOpen.toString(), QStringLiteral("before"));
        }
    }

    void addListSavesANewListIntoTheTree() {
        openMain();
        w->fields().ListToOpen = 3;
        ModalDriver::whenShown(QStringLiteral("frmListAddEdit"), [this](QWidget* editor) {
            QCOMPARE(SharedFields::idOf(w->fields().ListToOpen), 0);
            child<QLineEdit>(editor, "txtName")->setText(QStringLiteral("Stage right"));
            click(editor, "cmdSave");
        });
        press("AddList");
        QVERIFY(w->treeModel()->indexOfKey(QStringLiteral("L4")).isValid());
        QCOMPARE(
            ts->reg.scalar(QStringLiteral("SELECT ListName FROM Lists WHERE id = 4")).toString(),
            QStringLiteral("Stage right"));
    }

    void quickOpenOfUnknownNumbersAndHostileText() {
        openMain();
        for (const char* text : {"99", "F99", "l99", "F", "l", "abc", "12 OR 1=1",
                                 "F1; DROP TABLE Cases", "L3' --", "45abc", "-12", "1e3"}) {
            w->fields().ItemToOpen = QStringLiteral("before");
            w->fields().CaseToOpen = QStringLiteral("before");
            w->fields().ListToOpen = QStringLiteral("before");
            quickOpen(QLatin1String(text));
            QVERIFY2(box->text().isEmpty(), text);
            QVERIFY2(QApplication::activeModalWidget() == nullptr, text);
            QCOMPARE(w->fields().ItemToOpen.toString(), QStringLiteral("before"));
            QCOMPARE(w->fields().CaseToOpen.toString(), QStringLiteral("before"));
            QCOMPARE(w->fields().ListToOpen.toString(), QStringLiteral("before"));
        }
        QCOMPARE(ts->reg.count(QStringLiteral("Items")), qint64(2));
        QCOMPARE(ts->reg.count(QStringLiteral("Cases")), qint64(1));
        QVERIFY(ts->dialogs->messages.isEmpty());
    }

    void modalChainMainViewerEditorPicker() {
        openMain();
        QStringList chain;
        ModalDriver::whenShown(QStringLiteral("frmItemView"), [&](QWidget* viewer) {
            chain << viewer->objectName();
            ModalDriver::whenShown(QStringLiteral("frmItemAddEdit"), [&](QWidget* editor) {
                chain << editor->objectName();
                ModalDriver::whenShown(QStringLiteral("frmLocationPicker"), [&](QWidget* picker) {
                    chain << picker->objectName();
                    QVERIFY(ModalDriver::findWindow(QStringLiteral("frmItemView")));
                    QVERIFY(ModalDriver::findWindow(QStringLiteral("frmItemAddEdit")));
                    click(picker, "Command3");
                });
                doubleClickLine(child<QListWidget>(editor, "List1"), 14);
                click(editor, "Command3");
            });
            click(viewer, "cmdEdit");
            click(viewer, "Command3");
        });
        quickOpen(QStringLiteral("45"));
        QCOMPARE(chain, QStringList({"frmItemView", "frmItemAddEdit", "frmLocationPicker"}));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(w->isVisible());
    }

    void printersOpensThePrinterChooser() {
        ts->printers->names = {QStringLiteral("Zebra"), QStringLiteral("Laser")};
        openMain();
        bool shown = false;
        ModalDriver::whenShown(QStringLiteral("frmPrinter"), [&](QWidget* chooser) {
            shown = true;
            click(chooser, "Command1");
        });
        press("Printers");
        QVERIFY(shown);
        QCOMPARE(Settings(ts->settingsFile()).read(SettingsKeys::LPrinter, {}),
                 QStringLiteral("Zebra"));
    }

    void exitClosesTheMainWindow() {
        openMain();
        press("Exit");
        QVERIFY(!w->isVisible());
    }
};

QTEST_MAIN(TestMainCommands)
#include "test_main_commands.moc"
