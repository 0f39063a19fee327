#include <QCalendarWidget>
#include <QCheckBox>
#include <QLabel>
#include <QTest>

#include "ModalDriver.h"
#include "PdfCheck.h"
#include "TestApp.h"
#include "WidgetDriver.h"
#include "data/Register.h"
#include "data/Settings.h"
#include "items/frmItemAddEdit.h"

using namespace WidgetDriver;

namespace {

enum Line {
    Category,
    Description,
    Manufacturer,
    Model,
    DateOfManufacture,
    TestInterval,
    LastTestDate,
    NextTestDate,
    PatTest,
    PressureTest,
    VisualInspection,
    LolerInspection,
    CalibrationCertificate,
    FlightCase,
    WarehouseLocation,
    Notes,
    Length,
    Serial,
};

const QStringList kBareCaptions = {
    "Category: ",
    "Description: ",
    "Manufacturer: ",
    "Model: ",
    "Date of Manufacture: ",
    "Test Interval: ",
    "Last Test Date: ",
    "Next Test Date: ",
    "PAT Test: ",
    "Pressure Test: ",
    "Visual Inspection: ",
    "LOLER Inspection: ",
    "Calibration Certificate: ",
    "Flight Case: F0",
    "Warehouse Location: ",
    "Notes: ",
    "Length: ",
    "Serial: ",
};

}  // namespace

class TestItemEditor : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> ts;
    AppContext* ctx = nullptr;
    std::unique_ptr<frmItemAddEdit> editor;
    QListWidget* list = nullptr;

    void openEditor(const QVariant& itemToOpen, bool expectShown = true) {
        ctx->fields().ItemToOpen = itemToOpen;
        editor = std::make_unique<frmItemAddEdit>(*ctx);
        editor->show();
        if (expectShown)
            QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        list = child<QListWidget>(editor.get(), "List1");
    }

    // Double-clicks a line whose edit asks in an input box, answering it.
    void typeInto(int line, const QString& answer) {
        ts->dialogs->inputAnswers << answer;
        doubleClickLine(list, line);
    }

    QString stored(const char* column, qint64 id) const {
        return ts->reg
            .scalar(QStringLiteral("SELECT \"%1\" FROM Items WHERE id = %2")
                        .arg(QLatin1String(column))
                        .arg(id))
            .toString();
    }

private slots:
    void init() {
        ts = std::make_unique<TestApp>();
        ctx = &ts->ctx();
    }
    void cleanup() {
        editor.reset();
        ctx = nullptr;
        ts.reset();
    }

    void newItemShowsThePredictedIdAndBareLines() {
        ts->reg.exec(QStringLiteral("UPDATE Data SET lastid = 4"));
        openEditor(0);
        QCOMPARE(editor->windowTitle(), QStringLiteral("Quarvel - Add/Edit Item"));
        QVERIFY(editor->newItem);
        QCOMPARE(editor->currentItem, qint64(5));
        QCOMPARE(child<QLabel>(editor.get(), "Label1")->text(), QStringLiteral("Equipment ID: 5"));
        QCOMPARE(lines(list), kBareCaptions);
    }

    void closeAddsNothing() {
        openEditor(QVariant());  // an empty field asks for a new item too
        typeInto(Description, QStringLiteral("Mixer"));
        click(editor.get(), "Command3");
        QVERIFY(!editor->isVisible());
        QCOMPARE(ts->reg.count(QStringLiteral("Items")), qint64(0));
        QCOMPARE(ts->reg.scalar(QStringLiteral("SELECT lastid FROM Data")).toLongLong(), qint64(0));
    }

    void escapeIsClose() {
        openEditor(0);
        QTest::keyClick(list, Qt::Key_Escape);
        QVERIFY(!editor->isVisible());
        QCOMPARE(ts->reg.count(QStringLiteral("Items")), qint64(0));
    }

    void addingAnItemStoresAllEighteenLines() {
        ts->reg.exec(
            QStringLiteral("INSERT INTO Cases (id, FName) VALUES (12, 'Amp rack');"
                           "INSERT INTO Locations VALUES ('Bay 4');"
                           "UPDATE Data SET lastid = 44, lastCase = 12"));
        openEditor(0);
        typeInto(Category, QStringLiteral("Lighting"));
        typeInto(Description, QStringLiteral("Par can 'long nose'"));
        typeInto(Manufacturer, QStringLiteral("Thomas"));
        typeInto(Model, QStringLiteral("PAR64"));
        ts->clock->date = QDate(2008, 3, 7);
        ModalDriver::whenShown(QStringLiteral("frmDatePicker"),
                               [](QWidget* w) { click(w, "cmdSave"); });
        doubleClickLine(list, DateOfManufacture);
        typeInto(TestInterval, QStringLiteral("12 months"));
        ts->clock->date = QDate(2009, 1, 5);
        ModalDriver::whenShown(QStringLiteral("frmDatePicker"),
                               [](QWidget* w) { click(w, "cmdSave"); });
        doubleClickLine(list, LastTestDate);
        ts->clock->date = QDate(2010, 12, 25);
        ModalDriver::whenShown(QStringLiteral("frmDatePicker"),
                               [](QWidget* w) { click(w, "cmdSave"); });
        doubleClickLine(list, NextTestDate);
        ts->dialogs->fileAnswers << QStringLiteral("/certs/pat 1.pdf")
                                 << QStringLiteral("/certs/pressure.pdf")
                                 << QStringLiteral("/certs/loler.pdf")
                                 << QStringLiteral("/certs/cal.pdf");
        doubleClickLine(list, PatTest);
        doubleClickLine(list, PressureTest);
        typeInto(VisualInspection, QStringLiteral("Pass"));
        doubleClickLine(list, LolerInspection);
        doubleClickLine(list, CalibrationCertificate);
        ModalDriver::whenShown(QStringLiteral("frmFlightPicker"), [](QWidget* w) {
            clickLine(child<QAbstractItemView>(w, "List1"), 1);  // "12 - Amp rack"
            click(w, "Command2");
        });
        doubleClickLine(list, FlightCase);
        ModalDriver::whenShown(QStringLiteral("frmLocationPicker"), [](QWidget* w) {
            clickLine(child<QAbstractItemView>(w, "List1"), 0);
            click(w, "Command2");
        });
        doubleClickLine(list, WarehouseLocation);
        typeInto(Notes, QStringLiteral("Spare lamp in lid"));
        typeInto(Length, QStringLiteral("12.5 m"));
        typeInto(Serial, QStringLiteral("007"));

        QCOMPARE(list->item(DateOfManufacture)->text(),
                 QStringLiteral("Date of Manufacture: 7/3/2008"));
        QCOMPARE(list->item(FlightCase)->text(), QStringLiteral("Flight Case: F12"));
        click(editor.get(), "Command2");
        QVERIFY(!editor->isVisible());

        QCOMPARE(ts->reg.count(QStringLiteral("Items")), qint64(1));
        QCOMPARE(ts->reg.scalar(QStringLiteral("SELECT lastid FROM Data")).toLongLong(),
                 qint64(45));
        QCOMPARE(ts->reg.scalar(QStringLiteral("SELECT id FROM Items")).toLongLong(), qint64(45));
        QCOMPARE(stored("category", 45), QStringLiteral("Lighting"));
        QCOMPARE(stored("desc", 45), QStringLiteral("Par can 'long nose'"));
        QCOMPARE(stored("manufacturer", 45), QStringLiteral("Thomas"));
        QCOMPARE(stored("model", 45), QStringLiteral("PAR64"));
        QCOMPARE(stored("dom", 45), QStringLiteral("7/3/2008"));
        QCOMPARE(stored("testinterval", 45), QStringLiteral("12 months"));
        QCOMPARE(stored("testlast", 45), QStringLiteral("5/1/2009"));
        QCOMPARE(stored("testnext", 45), QStringLiteral("25/12/2010"));
        QCOMPARE(stored("testpatresult", 45), QStringLiteral("/certs/pat 1.pdf"));
        QCOMPARE(stored("testpressureresult", 45), QStringLiteral("/certs/pressure.pdf"));
        QCOMPARE(stored("visualinspectionresult", 45), QStringLiteral("Pass"));
        QCOMPARE(stored("lolerinspectionresult", 45), QStringLiteral("/certs/loler.pdf"));
        QCOMPARE(stored("calibrationcert", 45), QStringLiteral("/certs/cal.pdf"));
        QCOMPARE(ts->reg.scalar(QStringLiteral("SELECT caseID FROM Items")).toLongLong(),
                 qint64(12));
        QCOMPARE(stored("warehouseloc", 45), QStringLiteral("Bay 4"));
        QCOMPARE(stored("notes", 45), QStringLiteral("Spare lamp in lid"));
        QCOMPARE(ts->reg.scalar(QStringLiteral("SELECT length FROM Items")).toDouble(), 12.5);
        QCOMPARE(stored("serial", 45), QStringLiteral("007"));
        QCOMPARE(ts->dialogs->inputs[0].prompt,
                 QStringLiteral("Please enter a new Category for this item"));
    }

    void editingAndReopening() {
        ts->reg.exec(
            QStringLiteral("INSERT INTO Items (id, \"desc\", serial, caseID, length) VALUES (7, "
                           "'Desk', 'S1', 3, 2);"
                           "UPDATE Data SET lastid = 7"));
        openEditor(QStringLiteral("7"));
        QVERIFY(!editor->newItem);
        QCOMPARE(child<QLabel>(editor.get(), "Label1")->text(), QStringLiteral("Equipment ID: 7"));
        QCOMPARE(list->item(Serial)->text(), QStringLiteral("Serial: S1"));
        typeInto(Serial, QStringLiteral("S2"));
        // The edited value is what the next prompt offers.
        typeInto(Serial, QString());
        QCOMPARE(ts->dialogs->inputs.last().defaultText, QStringLiteral("S2"));
        QCOMPARE(ts->dialogs->inputs.last().prompt,
                 QStringLiteral("Please enter a new Serial for this item"));
        click(editor.get(), "Command2");
        QCOMPARE(stored("serial", 7), QStringLiteral("S2"));
        QCOMPARE(ts->reg.scalar(QStringLiteral("SELECT lastid FROM Data")).toLongLong(), qint64(7));
        QCOMPARE(ts->reg.count(QStringLiteral("Items")), qint64(1));

        openEditor(7);
        QCOMPARE(list->item(Serial)->text(), QStringLiteral("Serial: S2"));
        QCOMPARE(list->item(FlightCase)->text(), QStringLiteral("Flight Case: F3"));
        QCOMPARE(list->item(Length)->text(), QStringLiteral("Length: 2"));
    }

    void nullColumnsShowBareCaptionsAndStoreEmptyAndZero() {
        ts->reg.exec(QStringLiteral("INSERT INTO Items (id) VALUES (3)"));
        openEditor(3);
        QStringList expected = kBareCaptions;
        expected[FlightCase] = QStringLiteral("Flight Case: F");
        QCOMPARE(lines(list), expected);
        click(editor.get(), "Command2");
        QCOMPARE(ts->reg.scalar(QStringLiteral("SELECT typeof(category) FROM Items")).toString(),
                 QStringLiteral("text"));
        QCOMPARE(ts->reg.scalar(QStringLiteral("SELECT caseID FROM Items")).toLongLong(),
                 qint64(0));
        QCOMPARE(ts->reg.scalar(QStringLiteral("SELECT length FROM Items")).toLongLong(),
                 qint64(0));
    }

    void lengthsAreReadAsNumbers() {
        openEditor(0);
        typeInto(Length, QStringLiteral("abc"));
        click(editor.get(), "Command2");
        openEditor(0);
        typeInto(Length, QStringLiteral(" 1 2.5 metres"));
        click(editor.get(), "Command2");
        QCOMPARE(ts->reg.scalar(QStringLiteral("SELECT length FROM Items WHERE id = 1")).toDouble(),
                 0.0);
        QCOMPARE(ts->reg.scalar(QStringLiteral("SELECT length FROM Items WHERE id = 2")).toDouble(),
                 12.5);
    }

    void cancelledOrUnchangedAnswersLeaveTheLine() {
        ts->reg.exec(
            QStringLiteral("INSERT INTO Items (id, notes, dom, warehouseloc, caseID) "
                           "VALUES (3, 'Keep', '1/1/2001', 'Bay 1', 5)"));
        openEditor(3);
        typeInto(Notes, QString());               // Cancel
        typeInto(Notes, QStringLiteral("Keep"));  // the same text
        QCOMPARE(list->item(Notes)->text(), QStringLiteral("Notes: Keep"));
        QCOMPARE(ts->dialogs->inputs.size(), 2);
        QCOMPARE(ts->dialogs->inputs[0].defaultText, QStringLiteral("Keep"));

        doubleClickLine(list, PatTest);  // file dialog cancelled
        QCOMPARE(list->item(PatTest)->text(), QStringLiteral("PAT Test: "));

        // A date picker closed without Save keeps the date.
        ctx->fields().DateToPick = QStringLiteral("9/9/1999");
        ModalDriver::whenShown(QStringLiteral("frmDatePicker"), [](QWidget* w) { w->close(); });
        doubleClickLine(list, DateOfManufacture);
        QCOMPARE(list->item(DateOfManufacture)->text(),
                 QStringLiteral("Date of Manufacture: 1/1/2001"));

        // Closing the case and location pickers keeps case and location.
        ModalDriver::whenShown(QStringLiteral("frmFlightPicker"),
                               [](QWidget* w) { click(w, "Command3"); });
        doubleClickLine(list, FlightCase);
        QCOMPARE(list->item(FlightCase)->text(), QStringLiteral("Flight Case: F5"));
        ModalDriver::whenShown(QStringLiteral("frmLocationPicker"),
                               [](QWidget* w) { click(w, "Command3"); });
        doubleClickLine(list, WarehouseLocation);
        QCOMPARE(list->item(WarehouseLocation)->text(),
                 QStringLiteral("Warehouse Location: Bay 1"));

        click(editor.get(), "Command2");
        QCOMPARE(stored("dom", 3), QStringLiteral("1/1/2001"));
        QCOMPARE(stored("warehouseloc", 3), QStringLiteral("Bay 1"));
    }

    void fileDialogRemembersTheLastChosenFile() {
        openEditor(0);
        ts->dialogs->fileAnswers << QStringLiteral("/certs/pat.pdf");
        doubleClickLine(list, PatTest);
        doubleClickLine(list, PressureTest);  // cancelled
        QCOMPARE(ts->dialogs->fileStarts,
                 QStringList({QString(), QStringLiteral("/certs/pat.pdf")}));
        QCOMPARE(list->item(PressureTest)->text(), QStringLiteral("Pressure Test: "));
        QCOMPARE(list->item(PatTest)->text(), QStringLiteral("PAT Test: /certs/pat.pdf"));

        // A new showing starts with an empty name.
        click(editor.get(), "Command3");
        openEditor(0);
        doubleClickLine(list, PatTest);
        QCOMPARE(ts->dialogs->fileStarts.last(), QString());
    }

    void enterEditsAndOtherKeysDoNot() {
        openEditor(0);
        list->setCurrentRow(Model);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_A);
        QTest::keyClick(list, Qt::Key_Space);
        QVERIFY(ts->dialogs->inputs.isEmpty());
        list->setCurrentRow(Model);
        ts->dialogs->inputAnswers << QStringLiteral("X32");
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(ts->dialogs->inputs.size(), 1);
        QCOMPARE(ts->dialogs->inputs[0].prompt,
                 QStringLiteral("Please enter a new Model for this item"));
        QCOMPARE(list->item(Model)->text(), QStringLiteral("Model: X32"));
    }

    void anItemThatIsGoneIsReportedAndNothingIsStored() {
        openEditor(99, false);
        QCOMPARE(ts->dialogs->messages.size(), 1);
        QVERIFY(ts->dialogs->lastMessage().contains(QStringLiteral("99")));
        QVERIFY(ModalDriver::waitClosed(QStringLiteral("frmItemAddEdit")));
        QCOMPARE(ts->reg.count(QStringLiteral("Items")), qint64(0));
    }

    // Another copy of the program changed the item while it was open here:
    // its changes to other fields stay, a change to the same field is asked about.
    void changesMadeElsewhereAreKeptOrAskedAbout() {
        ts->reg.exec(QStringLiteral(
            "INSERT INTO Items (id, category, notes) VALUES (8, 'Audio', 'first note')"));
        openEditor(8);
        typeInto(Category, QStringLiteral("Lighting"));
        ts->reg.exec(QStringLiteral("UPDATE Items SET notes = 'changed elsewhere'"));
        click(editor.get(), "Command2");
        QVERIFY(!editor->isVisible());
        QCOMPARE(stored("category", 8), QStringLiteral("Lighting"));
        QCOMPARE(stored("notes", 8), QStringLiteral("changed elsewhere"));
        QVERIFY(ts->dialogs->messages.isEmpty());

        openEditor(8);
        typeInto(Category, QStringLiteral("Rigging"));
        ts->reg.exec(QStringLiteral("UPDATE Items SET category = 'Power'"));
        ts->dialogs->answers << Dialogs::Answer::No;
        click(editor.get(), "Command2");
        QCOMPARE(ts->dialogs->lastMessage(),
                 QStringLiteral("Item 8 was changed elsewhere since you opened it. Save your "
                                "changes over it?"));
        QCOMPARE(ts->dialogs->messages.last().icon, Dialogs::Icon::Warning);
        QCOMPARE(ts->dialogs->messages.last().buttons, Dialogs::Buttons::YesNoDefaultNo);
        QVERIFY(editor->isVisible());
        QCOMPARE(stored("category", 8), QStringLiteral("Power"));
        ts->dialogs->answers << Dialogs::Answer::Yes;
        click(editor.get(), "Command2");
        QVERIFY(!editor->isVisible());
        QCOMPARE(stored("category", 8), QStringLiteral("Rigging"));
    }

    // The shown id is the id Save gives, also when the counter lags the rows.
    void theShownIdIsTheSavedId() {
        ts->reg.exec(QStringLiteral("INSERT INTO Items (id) VALUES (30)"));  // lastid still 0
        openEditor(0);
        QCOMPARE(child<QLabel>(editor.get(), "Label1")->text(), QStringLiteral("Equipment ID: 31"));
        QCOMPARE(editor->currentItem, 31);
        // Another copy saves first: this item gets the next id, and the user is told.
        ts->reg.exec(QStringLiteral("INSERT INTO Items (id) VALUES (31)"));
        click(editor.get(), "Command2");
        QCOMPARE(ts->reg.count(QStringLiteral("Items")), qint64(3));
        QVERIFY(ts->dialogs->lastMessage().contains(QStringLiteral("saved as item 32")));
    }

    // A save that fails in a statement or at its COMMIT (another program
    // reads the register past the wait) stores nothing, and the window stays
    // open with what was typed.
    void aFailedSaveKeepsTheWindowAndItsLines_data() {
        QTest::addColumn<bool>("atCommit");
        QTest::addColumn<QString>("told");
        QTest::newRow("statement") << false << "disk full";
        QTest::newRow("COMMIT") << true << "locked";
    }
    void aFailedSaveKeepsTheWindowAndItsLines() {
        QFETCH(bool, atCommit);
        QFETCH(QString, told);
        ctx->settings().write(SettingsKeys::BusyWaitSeconds, QStringLiteral("0"));
        openEditor(0);
        typeInto(Description, QStringLiteral("Mixer"));
        if (!atCommit)
            ts->reg.exec(
                QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Items BEGIN "
                               "SELECT RAISE(ABORT, 'disk full'); END"));
        {
            const std::optional<FileHeld> reader =
                atCommit
                    ? std::optional<FileHeld>(std::in_place, ts->reg.path(), FileHeld::By::Reader)
                    : std::nullopt;
            click(editor.get(), "Command2");
        }
        QVERIFY(editor->isVisible());
        QCOMPARE(list->item(Description)->text(), QStringLiteral("Description: Mixer"));
        QVERIFY2(ts->dialogs->lastMessage().contains(told), qPrintable(ts->dialogs->lastMessage()));
        QCOMPARE(ts->reg.count(QStringLiteral("Items")), qint64(0));
        QCOMPARE(ts->reg.scalar(QStringLiteral("SELECT lastid FROM Data")).toLongLong(), qint64(0));
    }

    // Damage confined to an index passes the quick check: a save made before
    // the full check has reported waits for it (the check under way, or one
    // it starts), and nothing is written into the damaged register.
    void aSaveWaitsForTheFullCheck_data() {
        QTest::addColumn<bool>("underWay");
        QTest::newRow("check under way") << true;
        QTest::newRow("no check yet") << false;
    }
    void aSaveWaitsForTheFullCheck() {
        QFETCH(bool, underWay);
        ts->reg.exec(
            QStringLiteral("INSERT INTO Items (id, \"desc\", caseID) VALUES (1, 'Lamp', 2)"));
        ts->reg.spoilIndexOnly();
        openEditor(0);
        typeInto(Description, QStringLiteral("Mixer"));
        QCOMPARE(ctx->theRegister().checkForDamage(), Register::Health::Sound);
        if (underWay)
            ctx->checkFullyOnceADay();
        QCOMPARE(ctx->fullCheckRunning(), underWay);
        click(editor.get(), "Command2");
        QVERIFY(editor->isVisible());
        QVERIFY(ctx->theRegister().readOnly());
        QCOMPARE(list->item(Description)->text(), QStringLiteral("Description: Mixer"));
        QVERIFY(ts->dialogs->messages.value(0).text.contains(
            QStringLiteral("The register is damaged")));
        QVERIFY(ts->dialogs->lastMessage().contains(QStringLiteral("reading only")));
        QCOMPARE(ts->reg.count(QStringLiteral("Items")), qint64(1));
    }

    // A check that takes a while is shown; its Cancel leaves the save
    // unsaved and the window open, and says so.
    void aCancelledWaitForTheCheckSavesNothing() {
        ctx->settings().write(SettingsKeys::BusyWaitSeconds, QStringLiteral("1"));
        openEditor(0);
        typeInto(Description, QStringLiteral("Mixer"));
        ts->dialogs->cancelJobs << QStringLiteral("Checking the register");
        {
            const FileHeld writer(ts->reg.path(), FileHeld::By::Writer);  // the check waits
            click(editor.get(), "Command2");
        }
        QVERIFY(editor->isVisible());
        QCOMPARE(list->item(Description)->text(), QStringLiteral("Description: Mixer"));
        QCOMPARE(ts->dialogs->progresses.size(), 1);
        QCOMPARE(ts->dialogs->progresses[0].what, QStringLiteral("Checking the register"));
        QVERIFY2(ts->dialogs->lastMessage().contains(QStringLiteral("nothing was saved")),
                 qPrintable(ts->dialogs->lastMessage()));
        QVERIFY(!ctx->theRegister().readOnly());
        QCOMPARE(ts->reg.count(QStringLiteral("Items")), qint64(0));
    }

    void labelsPrintTheStoredRecordUnderTheEditorsId() {
        ts->printers->names = {QStringLiteral("Large labels")};
        ts->printers->defaultName = QStringLiteral("Large labels");
        Settings settings(ts->settingsFile());
        settings.write(SettingsKeys::DescOnLarge, QStringLiteral("Yes"));
        settings.write(SettingsKeys::ItemNumOnLarge, QStringLiteral("Yes"));
        ts->reg.exec(QStringLiteral("UPDATE Data SET lastid = 4"));
        openEditor(0);
        typeInto(Description, QStringLiteral("Unsaved mixer"));
        click(editor.get(), "Command1");  // Large, before the first save
        click(editor.get(), "Command4");  // Small
        QCOMPARE(ts->printers->jobs.size(), 2);
        const QString large = ts->printers->jobs[0].pdfFile;
        QCOMPARE(PdfCheck::decodePage(large, 300), QStringList({"5"}));
        QVERIFY(PdfCheck::lines(large).join(' ').contains(QStringLiteral("5")));
        QVERIFY(!PdfCheck::lines(large).join(' ').contains(QStringLiteral("mixer")));
        QCOMPARE(PdfCheck::decodePage(ts->printers->jobs[1].pdfFile, 300), QStringList({"5"}));

        click(editor.get(), "Command2");
        openEditor(5);
        click(editor.get(), "Command1");
        QVERIFY(PdfCheck::lines(ts->printers->jobs.last().pdfFile)
                    .join(' ')
                    .contains(QStringLiteral("Unsaved mixer")));
    }

    void labelOptionsFollowTheSettings() {
        Settings settings(ts->settingsFile());
        settings.write(SettingsKeys::DescOnLarge, QStringLiteral("Yes"));
        settings.write(SettingsKeys::ItemNumOnLarge, QStringLiteral("yes"));
        openEditor(0);
        QVERIFY(child<QCheckBox>(editor.get(), "Check1")->isChecked());
        QVERIFY(!child<QCheckBox>(editor.get(), "Check3")->isChecked());
        click(editor.get(), "Check3");
        QCOMPARE(settings.read(SettingsKeys::ItemNumOnLarge, {}), QStringLiteral("Yes"));
        click(editor.get(), "Check1");
        QCOMPARE(settings.read(SettingsKeys::DescOnLarge, {}), QStringLiteral("No"));
    }
};

QTEST_MAIN(TestItemEditor)
#include "test_item_editor.moc"
