// The import window and the main window's CSV commands, headless against a
// real temporary register.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include "ModalDriver.h"
#include "TestApp.h"
#include "TestFiles.h"
#include "items/frmItemImport.h"
#include "main/TreeModel.h"
#include "main/frmMain.h"

namespace {

void choose(QComboBox* box, const QString& text) {
    const int index = box->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    box->setCurrentIndex(index);
    emit box->activated(index);
}

}  // namespace

class TestItemImport : public QObject {
    Q_OBJECT
private slots:
    void importsAfterMappingAndChecking();
    void leavesOutOnlyWhatTheUserChooses();
    void mainWindowImportsAndExports();
    void cancelUndoesTheImportAndTheExport();
};

void TestItemImport::importsAfterMappingAndChecking() {
    TestApp app;
    app.reg.exec(
        QStringLiteral("INSERT INTO Items (id, \"desc\") VALUES (5, 'Old');"
                       "UPDATE Data SET lastid = 5"));
    QTemporaryDir dir;
    // Windows-1252, semicolons; "No." matches no field until it is mapped.
    const QString path = writeFile(dir, "in.csv",
                                   "No.;Description;Flight Case;Date of Manufacture\r\n"
                                   "7;Caf\xE9 lamp;;7/3/2008\r\n"
                                   "5;Taken;;\r\n"
                                   "8;Boxed;F3;2008-03-07\r\n");
    QString error;
    auto file = ItemImport::ImportFile::open(path, &error);
    QVERIFY2(file, qPrintable(error));
    frmItemImport w(app.ctx(), std::move(*file));
    w.show();

    QVERIFY(w.lblFile->text().contains(QLatin1String("Windows-1252, semicolon separated")));
    QCOMPARE(w.fieldBox(0)->currentText(), QStringLiteral("(choose a field)"));
    QCOMPARE(w.fieldBox(1)->currentText(), QStringLiteral("Description"));
    QCOMPARE(w.grdPreview->rowCount(), 3);
    QCOMPARE(w.grdPreview->item(0, 1)->text(), QStringLiteral("new id"));
    QCOMPARE(w.grdPreview->item(0, 2)->text(), QStringLiteral("Café lamp"));

    choose(w.fieldBox(0), QStringLiteral("Equipment ID Number"));
    QCOMPARE(w.grdPreview->item(0, 1)->text(), QStringLiteral("7"));
    QVERIFY(!w.cmdImport->isEnabled());  // not checked yet

    QTest::mouseClick(w.cmdCheck, Qt::LeftButton);
    QCOMPARE(w.lstProblems->count(), 3);  // the taken id, the case, the date
    QCOMPARE(w.lblSummary->text(),
             QStringLiteral("3 lines: 1 good, 2 with problems (3 problems)."));
    QVERIFY(w.cmdImport->isEnabled());

    // Converting dates and making cases: the options change what is good.
    w.chkConvertDates->setChecked(true);
    w.chkCreateCases->setChecked(true);
    QVERIFY(!w.cmdImport->isEnabled());
    QTest::mouseClick(w.cmdCheck, Qt::LeftButton);
    QCOMPARE(w.lstProblems->count(), 1);
    QCOMPARE(w.lstProblems->item(0)->text(),
             QStringLiteral("Line 3, No.: item 5 is already in the register."));

    const QString report = dir.filePath("problems.csv");
    app.dialogs->saveAnswers << report;
    QTest::mouseClick(w.cmdSaveReport, Qt::LeftButton);
    QVERIFY(readFile(report).contains("3,No.,5,item 5 is already in the register."));

    QTest::mouseClick(w.cmdImport, Qt::LeftButton);
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QCOMPARE(app.dialogs->lastMessage(),
             QStringLiteral("Imported 2 items (0 with a new id); left out 1 line with problems; "
                            "made 1 flight case and added 0 locations."));
    QCOMPARE(app.reg.scalar("SELECT \"desc\" FROM Items WHERE id = 7").toString(),
             QStringLiteral("Café lamp"));
    QCOMPARE(app.reg.scalar("SELECT dom FROM Items WHERE id = 8").toString(),
             QStringLiteral("7/3/2008"));
    QCOMPARE(app.reg.scalar("SELECT lastid FROM Data").toLongLong(), 8);
}

// A column no field matches waits for a field or "not imported"; a date that
// cannot be read is a problem until the user keeps such dates as written.
void TestItemImport::leavesOutOnlyWhatTheUserChooses() {
    TestApp app;
    QTemporaryDir dir;
    const QString path = writeFile(dir, "in.csv",
                                   "Colour,Description,Next Test\n"
                                   "red,Lamp,31/2/2030\n"
                                   "blue,Stand,1/3/2030\n");
    QString error;
    auto file = ItemImport::ImportFile::open(path, &error);
    QVERIFY2(file, qPrintable(error));
    frmItemImport w(app.ctx(), std::move(*file));
    w.show();
    QCOMPARE(w.fieldBox(0)->currentText(), QStringLiteral("(choose a field)"));
    QCOMPARE(w.fieldBox(2)->currentText(), QStringLiteral("Next Test Date"));
    const QString unknown = QStringLiteral(
        "The column \"Colour\" matches no item field: choose the field it goes to, or leave it "
        "out.");
    QCOMPARE(w.lblSummary->text(), unknown);
    QTest::mouseClick(w.cmdCheck, Qt::LeftButton);
    QCOMPARE(app.dialogs->lastMessage(), unknown);
    QVERIFY(!w.cmdImport->isEnabled());

    choose(w.fieldBox(0), QStringLiteral("not imported"));
    QTest::mouseClick(w.cmdCheck, Qt::LeftButton);
    QCOMPARE(w.lblSummary->text(), QStringLiteral("2 lines: 1 good, 1 with problems (1 problem)."));
    QVERIFY(w.lstProblems->item(0)->text().startsWith(
        QLatin1String("Line 2, Next Test: \"31/2/2030\" is not a date that can be read")));

    QTest::mouseClick(w.chkKeepDates, Qt::LeftButton);
    QVERIFY(!w.cmdImport->isEnabled());  // to be checked again
    QTest::mouseClick(w.cmdCheck, Qt::LeftButton);
    QCOMPARE(w.lstProblems->count(), 0);
    QTest::mouseClick(w.cmdImport, Qt::LeftButton);
    QCOMPARE(app.dialogs->lastMessage(),
             QStringLiteral("Imported 2 items (2 with a new id); made 0 flight cases and added 0 "
                            "locations."));
    QCOMPARE(app.reg.scalar("SELECT group_concat(\"desc\" || '=' || testnext, ' ') FROM Items")
                 .toString(),
             QStringLiteral("Lamp=31/2/2030 Stand=1/3/2030"));
}

void TestItemImport::mainWindowImportsAndExports() {
    TestApp app;
    app.reg.exec(QStringLiteral(
        "INSERT INTO Cases (id, FName) VALUES (4, 'Rack');"
        "INSERT INTO Items (id, \"desc\", caseID) VALUES (1, 'Amp', 4), (2, 'Desk', 0);"
        "UPDATE Data SET lastid = 2, lastCase = 4"));
    QTemporaryDir dir;
    frmMain w(app.ctx());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QAction* exportCsv = w.findChild<QAction*>(QStringLiteral("ExportCsv"));
    QAction* importItems = w.findChild<QAction*>(QStringLiteral("ImportItems"));
    QVERIFY(exportCsv && importItems);

    // With a case selected, its items go out.
    auto* tree = w.findChild<QTreeView*>(QStringLiteral("TreeView1"));
    tree->setCurrentIndex(w.treeModel()->indexOfKey(QStringLiteral("C4items")));
    emit w.findChild<QMenu*>(QStringLiteral("mnuFile"))->aboutToShow();
    QCOMPARE(exportCsv->text(), QStringLiteral("E&xport Flight Case F4 to CSV…"));
    const QString caseFile = dir.filePath("rack.csv");
    app.dialogs->saveAnswers << caseFile;
    exportCsv->trigger();
    QCOMPARE(app.dialogs->saveStarts.last(), QStringLiteral("case-F4.csv"));
    QCOMPARE(readFile(caseFile).count('\n'), 2);  // the header and item 1
    QVERIFY(app.dialogs->lastMessage().startsWith(QLatin1String("Exported 1 row to")));

    // Cancelled: nothing is written.
    tree->setCurrentIndex(w.treeModel()->indexOfKey(QStringLiteral("items")));
    exportCsv->trigger();
    QCOMPARE(app.dialogs->saveStarts.last(), QStringLiteral("items.csv"));

    // Imported through the File menu, the tree shows the new item at once.
    app.dialogs->fileAnswers << writeFile(dir, "in.csv", "desc\nStand\n");
    ModalDriver::whenShown(QStringLiteral("frmItemImport"), [](QWidget* window) {
        auto* importWindow = static_cast<frmItemImport*>(window);
        QTest::mouseClick(importWindow->cmdCheck, Qt::LeftButton);
        QTest::mouseClick(importWindow->cmdImport, Qt::LeftButton);
    });
    importItems->trigger();
    QVERIFY(w.treeModel()->indexOfKey(QStringLiteral("I3")).isValid());

    // A file that is not there: told, and no window opens.
    app.dialogs->fileAnswers << dir.filePath("none.csv");
    QVERIFY(!ModalDriver::shownDuring(QStringLiteral("frmItemImport"),
                                      [&] { importItems->trigger(); }));
    QVERIFY(app.dialogs->lastMessage().contains(QLatin1String("none.csv")));
}

// Long jobs report their progress; Cancel leaves the register as it was and
// no file behind.
void TestItemImport::cancelUndoesTheImportAndTheExport() {
    constexpr int kItems = 3000;  // enough for the jobs to report
    TestApp app;
    app.reg.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                "WHERE i < %1) INSERT INTO Items (id, \"desc\") SELECT i, "
                                "'Item ' || i FROM n;"
                                "UPDATE Data SET lastid = %1")
                     .arg(kItems));
    QTemporaryDir dir;
    QByteArray lines = "desc\n";
    for (int i = 0; i < kItems; ++i)
        lines += "New " + QByteArray::number(i) + "\n";
    QString error;
    auto file = ItemImport::ImportFile::open(writeFile(dir, "in.csv", lines), &error);
    QVERIFY2(file, qPrintable(error));
    frmItemImport importWindow(app.ctx(), std::move(*file));
    QTest::mouseClick(importWindow.cmdCheck, Qt::LeftButton);
    QVERIFY(importWindow.cmdImport->isEnabled());
    app.dialogs->cancelJobs << QStringLiteral("Importing the items");
    QTest::mouseClick(importWindow.cmdImport, Qt::LeftButton);
    QCOMPARE(app.dialogs->lastMessage(),
             QStringLiteral("You cancelled the import: nothing was imported."));
    // No item added (the ids set aside for the import stay a gap).
    QCOMPARE(app.reg.scalar("SELECT COUNT(*) FROM Items").toInt(), kItems);
    QCOMPARE(app.reg.scalar("SELECT MAX(id) FROM Items").toInt(), kItems);
    QVERIFY(importWindow.cmdImport->isEnabled());  // the check still holds

    frmMain w(app.ctx());
    w.show();
    const QString exported = dir.filePath("items.csv");
    app.dialogs->saveAnswers << exported;
    app.dialogs->cancelJobs << QStringLiteral("Exporting");
    w.findChild<QAction*>(QStringLiteral("ExportCsv"))->trigger();
    QCOMPARE(app.dialogs->lastMessage(),
             QStringLiteral("You cancelled the export: no file was written."));
    QVERIFY(!QFile::exists(exported));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("in.csv")});

    // Each job reported on its way (the day's backup before the first
    // write among them); the check was not cancelled.
    QStringList jobs;
    for (const ScriptedDialogs::ProgressShown& p : app.dialogs->progresses) {
        QVERIFY2(p.reports > 0, qPrintable(p.what));
        jobs << p.what;
    }
    QCOMPARE(jobs, (QStringList{
                       QStringLiteral("Checking the lines"), QStringLiteral("Importing the items"),
                       QStringLiteral("Backing up the register"), QStringLiteral("Exporting")}));
}

QTEST_MAIN(TestItemImport)
#include "test_item_import.moc"
