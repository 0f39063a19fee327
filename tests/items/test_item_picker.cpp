#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ModalDriver.h"
#include "TestApp.h"
#include "WidgetDriver.h"
#include "cases/frmFlightPicker.h"
#include "common/RecordList.h"
#include "items/frmItemPicker.h"
#include "locations/frmLocationPicker.h"

using namespace WidgetDriver;

namespace {

// A register with a few items, the picker open on it.
struct Fixture {
    TestApp ts;
    AppContext& ctx = ts.ctx();
    std::unique_ptr<frmItemPicker> picker;

    void open() {
        picker = std::make_unique<frmItemPicker>(ctx);
        picker->show();
        QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
    }
    void addItems() {
        ts.reg.exec(
            QStringLiteral("INSERT INTO Items (id, \"desc\") VALUES (3, 'Mixer');"
                           "INSERT INTO Items (id, \"desc\") VALUES (12, 'X-Lite stand - 2 m');"
                           "INSERT INTO Items (id, \"desc\") VALUES (40, NULL);"
                           "INSERT INTO Items (id, \"desc\") VALUES (41, '-6 dB pad')"));
    }
    // Ids and descriptions that hold "12" besides item 12.
    void addTwelves() {
        ts.reg.exec(
            QStringLiteral("INSERT INTO Items (id, \"desc\") VALUES (112, 'Ölkanne');"
                           "INSERT INTO Items (id, \"desc\") VALUES (200, 'Cable 12 m')"));
    }
    // Typed a character at a time, as a user or a scanner does.
    void find(const QString& text) {
        picker->txtFind->clear();
        for (const QChar c : text)
            picker->txtFind->insert(c);
    }
};

// One of the three pickers, by its object name.
std::unique_ptr<PickerWindow> pickerNamed(const QString& name, AppContext& ctx) {
    if (name == QLatin1String("frmFlightPicker"))
        return std::make_unique<frmFlightPicker>(ctx);
    if (name == QLatin1String("frmLocationPicker"))
        return std::make_unique<frmLocationPicker>(ctx);
    return std::make_unique<frmItemPicker>(ctx);
}

// The caller's field each picker answers in.
QVariant& fieldOf(const QString& picker, SharedFields& fields) {
    if (picker == QLatin1String("frmFlightPicker"))
        return fields.CaseToPick;
    if (picker == QLatin1String("frmLocationPicker"))
        return fields.LocationToPick;
    return fields.ItemToPick;
}

}  // namespace

class TestItemPicker : public QObject {
    Q_OBJECT
private slots:
    // What the three pickers share (PickerWindow) is proved here for each.
    void everyPickerLooksAsDesigned_data() {
        QTest::addColumn<QString>("picker");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("instruction");
        QTest::newRow("items") << "frmItemPicker"
                               << "Item Picker"
                               << "Please Select the Item from the List Below.";
        QTest::newRow("flight cases") << "frmFlightPicker"
                                      << "Flight Case Picker"
                                      << "Please Select the Flight Case from the List Below.";
        QTest::newRow("locations") << "frmLocationPicker"
                                   << "Please Select A Location"
                                   << "Please Select the Location from the List Below.";
    }
    void everyPickerLooksAsDesigned() {
        QFETCH(QString, picker);
        QFETCH(QString, title);
        QFETCH(QString, instruction);
        TestApp ts;
        const auto shown = pickerNamed(picker, ts.ctx());
        PickerWindow& p = *shown;
        p.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p));
        QCOMPARE(p.objectName(), picker);
        QCOMPARE(p.windowTitle(), title);
        QCOMPARE(p.Label1->text(), instruction);
        QCOMPARE(p.Command2->text(), QStringLiteral("Save"));
        QCOMPARE(p.Command3->text(), QStringLiteral("Close"));
        QCOMPARE(p.List1->objectName(), QStringLiteral("List1"));
        QVERIFY(!p.List1->accessibleName().isEmpty());
        QCOMPARE(p.Picture1->pixmap().size(), QSize(214, 71));
        QCOMPARE(p.minimumSize(), p.maximumSize());
        QCOMPARE(p.palette().color(QPalette::Window), QColor(Qt::white));
    }

    // Close, Esc and the title bar's box, after a line was chosen: the item
    // picker answers no item (keeping the caller's description), the flight
    // case picker leaves the caller's value, the location picker says Blank.
    void closingAnyPickerGivesNoChoice_data() {
        QTest::addColumn<QString>("picker");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("how");
        const QString pickers[][3] = {{"frmItemPicker", "7", "0"},
                                      {"frmFlightPicker", "5", "5"},
                                      {"frmLocationPicker", "Bay 1", "Blank"}};
        for (const auto& [picker, before, after] : pickers) {
            for (const char* how : {"button", "escape", "titlebar"})
                QTest::addRow("%s, %s", qPrintable(picker), how)
                    << picker << before << after << QString::fromLatin1(how);
        }
    }
    void closingAnyPickerGivesNoChoice() {
        QFETCH(QString, picker);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QString, how);
        TestApp ts;
        ts.reg.exec(
            QStringLiteral("INSERT INTO Items (id, \"desc\") VALUES (3, 'Mixer'), (12, 'Stand');"
                           "INSERT INTO Cases (id, FName) VALUES (2, 'Rack A');"
                           "INSERT INTO Locations (\"desc\") VALUES ('Bay 1'), ('Shelf 2')"));
        SharedFields& fields = ts.fields();
        fieldOf(picker, fields) = before;
        fields.ItemToPickDesc = QStringLiteral("earlier choice");
        const auto shown = pickerNamed(picker, ts.ctx());
        PickerWindow& p = *shown;
        p.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p));
        clickLine(p.List1, 1);
        if (how == "button")
            QTest::mouseClick(p.Command3, Qt::LeftButton);
        else if (how == "escape")
            QTest::keyClick(p.List1, Qt::Key_Escape);
        else
            p.close();
        QVERIFY(!p.isVisible());
        QCOMPARE(fieldOf(picker, fields).toString(), after);
        QCOMPARE(fields.ItemToPickDesc.toString(), QStringLiteral("earlier choice"));
    }

    void listsEveryItemAsIdAndDescription() {
        Fixture f;
        f.addItems();
        f.open();
        QCOMPARE(lines(f.picker->List1),
                 QStringList({"3 - Mixer", "12 - X-Lite stand - 2 m", "40 - ", "41 - -6 dB pad"}));
        QVERIFY(f.picker->List1->selectedLine() < 0);
        QCOMPARE(f.picker->ThisItem, 0);
    }

    // The id ends at the first hyphen; hyphens in the description stay in it.
    void hyphensInTheDescriptionStayInIt() {
        Fixture f;
        f.addItems();
        f.open();
        clickLine(f.picker->List1, 1);
        QCOMPARE(f.picker->ThisItem, 12);
        QCOMPARE(f.picker->ThisItemDesc, QStringLiteral("X-Lite stand - 2 m"));
        clickLine(f.picker->List1, 3);
        QCOMPARE(f.picker->ThisItem, 41);
        QCOMPARE(f.picker->ThisItemDesc, QStringLiteral("-6 dB pad"));
        clickLine(f.picker->List1, 2);
        QCOMPARE(f.picker->ThisItem, 40);
        QCOMPARE(f.picker->ThisItemDesc, QString());

        clickLine(f.picker->List1, 1);
        QTest::mouseClick(f.picker->Command2, Qt::LeftButton);
        QVERIFY(!f.picker->isVisible());
        QCOMPARE(SharedFields::idOf(f.ctx.fields().ItemToPick), 12);
        QCOMPARE(f.ctx.fields().ItemToPickDesc.toString(), QStringLiteral("X-Lite stand - 2 m"));
    }

    void arrowKeysMoveTheChoice() {
        Fixture f;
        f.addItems();
        f.open();
        clickLine(f.picker->List1, 0);
        QCOMPARE(f.picker->ThisItem, 3);
        QTest::keyClick(f.picker->List1, Qt::Key_Down);
        QCOMPARE(f.picker->ThisItem, 12);
        QTest::keyClick(f.picker->List1, Qt::Key_Down);
        QTest::keyClick(f.picker->List1, Qt::Key_Down);
        QCOMPARE(f.picker->ThisItem, 41);
        QTest::keyClick(f.picker->List1, Qt::Key_Up);
        QCOMPARE(f.picker->ThisItem, 40);
        QTest::keyClick(f.picker->List1, Qt::Key_Home);
        QCOMPARE(f.picker->ThisItem, 3);
        QCOMPARE(f.picker->ThisItemDesc, QStringLiteral("Mixer"));
        QTest::mouseClick(f.picker->Command2, Qt::LeftButton);
        QCOMPARE(SharedFields::idOf(f.ctx.fields().ItemToPick), 3);
        QCOMPARE(f.ctx.fields().ItemToPickDesc.toString(), QStringLiteral("Mixer"));
    }

    void aDeselectedLineIsNoChoice() {
        Fixture f;
        f.addItems();
        f.open();
        clickLine(f.picker->List1, 1);
        QTest::mouseClick(f.picker->List1->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          lineCentre(f.picker->List1, 1));
        QTest::mouseClick(f.picker->Command2, Qt::LeftButton);
        QCOMPARE(SharedFields::idOf(f.ctx.fields().ItemToPick), 0);
        QCOMPARE(f.ctx.fields().ItemToPickDesc.toString(), QString());
    }

    // Tabbing into the list makes a line current without selecting it: that
    // is no choice yet.
    void aCurrentButUnselectedLineIsNoChoice() {
        Fixture f;
        f.addItems();
        f.open();
        f.picker->Command3->setFocus();
        QTest::keyClick(f.picker.get(), Qt::Key_Tab);
        QVERIFY(f.picker->List1->hasFocus());
        QCOMPARE(f.picker->List1->currentIndex().row(), 0);
        QVERIFY(f.picker->List1->selectedLine() < 0);
        QCOMPARE(f.picker->ThisItem, 0);
        QTest::mouseClick(f.picker->Command2, Qt::LeftButton);
        QCOMPARE(SharedFields::idOf(f.ctx.fields().ItemToPick), 0);
    }

    void doubleClickReturnsThatLineAndCloses() {
        Fixture f;
        f.addItems();
        f.open();
        clickLine(f.picker->List1, 0);
        doubleClickLine(f.picker->List1, 3);
        QVERIFY(!f.picker->isVisible());
        QCOMPARE(f.picker->result(), int(QDialog::Accepted));
        QCOMPARE(SharedFields::idOf(f.ctx.fields().ItemToPick), 41);
        QCOMPARE(f.ctx.fields().ItemToPickDesc.toString(), QStringLiteral("-6 dB pad"));
    }

    void emptyRegisterGivesAnEmptyListAndNoChoice() {
        Fixture f;
        f.ctx.fields().ItemToPick = 5;
        f.ctx.fields().ItemToPickDesc = QStringLiteral("old");
        f.open();
        QCOMPARE(f.picker->List1->count(), 0);
        QTest::mouseClick(f.picker->Command2, Qt::LeftButton);
        QCOMPARE(SharedFields::idOf(f.ctx.fields().ItemToPick), 0);
        QCOMPARE(f.ctx.fields().ItemToPickDesc.toString(), QString());
    }

    // Ids of any length: the first hyphen is always the separator's.
    void longIdsAreReadWhole() {
        Fixture f;
        f.ts.reg.exec(
            QStringLiteral("INSERT INTO Items (id, \"desc\") VALUES (1234567890, 'A-B')"));
        f.open();
        clickLine(f.picker->List1, 0);
        QCOMPARE(f.picker->ThisItem, Q_INT64_C(1234567890));
        QCOMPARE(f.picker->ThisItemDesc, QStringLiteral("A-B"));
    }

    void aFailedReadLeavesAnEmptyUsableList() {
        Fixture f;
        f.addItems();
        f.ts.reg.exec(QStringLiteral("DROP TABLE Items"));
        f.open();
        QCOMPARE(f.ts.dialogs->messages.size(), 1);
        QCOMPARE(f.ts.dialogs->messages.first().icon, Dialogs::Icon::Critical);
        QCOMPARE(f.picker->List1->count(), 0);
        QTest::mouseClick(f.picker->Command2, Qt::LeftButton);
        QVERIFY(!f.picker->isVisible());
        QCOMPARE(SharedFields::idOf(f.ctx.fields().ItemToPick), 0);
    }

    void findShowsLinesWhoseIdOrDescriptionHoldsTheText() {
        Fixture f;
        f.addItems();
        f.addTwelves();
        f.open();
        QVERIFY(f.picker->txtFind->hasFocus());
        QCOMPARE(f.picker->txtFind->accessibleName(), QStringLiteral("Find"));
        f.find(QStringLiteral("mIX"));
        QCOMPARE(lines(f.picker->List1), QStringList({"3 - Mixer"}));
        f.find(QStringLiteral("12"));
        QCOMPARE(lines(f.picker->List1),
                 QStringList({"12 - X-Lite stand - 2 m", "112 - Ölkanne", "200 - Cable 12 m"}));
        f.find(QStringLiteral("öL"));
        QCOMPARE(lines(f.picker->List1), QStringList({"112 - Ölkanne"}));
        f.find(QString());
        QCOMPARE(f.picker->List1->count(), 6);
    }

    // A selected line that stays shown stays the choice; once it is filtered
    // away nothing is chosen.
    void findKeepsTheChoiceWhileItsLineIsShown() {
        Fixture f;
        f.addItems();
        f.open();
        clickLine(f.picker->List1, 1);
        f.find(QStringLiteral("x"));
        QCOMPARE(f.picker->List1->selectedText(), QStringLiteral("12 - X-Lite stand - 2 m"));
        QCOMPARE(f.picker->ThisItem, 12);
        f.find(QStringLiteral("mixer"));
        QCOMPARE(f.picker->List1->selectedLine(), -1);
        QCOMPARE(f.picker->ThisItem, 0);
    }

    void arrowKeysInTheFindBoxMoveIntoTheList() {
        Fixture f;
        f.addItems();
        f.open();
        f.find(QStringLiteral("4"));
        QTest::keyClick(f.picker->txtFind, Qt::Key_Down);
        QVERIFY(f.picker->List1->hasFocus());
        QCOMPARE(f.picker->ThisItem, 40);
        QTest::keyClick(f.picker->txtFind, Qt::Key_Down);
        QCOMPARE(f.picker->ThisItem, 41);
        QTest::keyClick(f.picker->txtFind, Qt::Key_Up);
        QCOMPARE(f.picker->ThisItem, 40);
        QTest::keyClick(f.picker->txtFind, Qt::Key_PageDown);
        QCOMPARE(f.picker->ThisItem, 41);
        f.find(QStringLiteral("nothing like it"));
        f.picker->txtFind->setFocus();
        QTest::keyClick(f.picker->txtFind, Qt::Key_Down);
        QVERIFY(f.picker->txtFind->hasFocus());
    }

    // Enter picks the one line left, or among several the line whose id is
    // exactly what was typed (a scanner's id); otherwise it does nothing.
    void enterInTheFindBoxPicksTheLineFound_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("picked");
        QTest::newRow("one line left") << "kanne" << 112;
        QTest::newRow("scanned id among others") << "12" << 12;
        QTest::newRow("several, none of that id") << "1" << -1;
        QTest::newRow("none") << "zzz" << -1;
    }
    void enterInTheFindBoxPicksTheLineFound() {
        QFETCH(QString, typed);
        QFETCH(int, picked);
        Fixture f;
        f.addItems();
        f.addTwelves();
        f.ctx.fields().ItemToPick = 7;
        f.open();
        f.find(typed);
        QTest::keyClick(f.picker->txtFind, Qt::Key_Return);
        QCOMPARE(f.picker->isVisible(), picked < 0);
        QCOMPARE(SharedFields::idOf(f.ctx.fields().ItemToPick), picked < 0 ? 7 : picked);
    }

    // The caller's side: a modal picker on the stack, the answer read after exec.
    void aModalCallerReadsTheAnswer() {
        TestApp ts;
        ts.reg.exec(QStringLiteral("INSERT INTO Items (\"desc\") VALUES ('Cable drum')"));
        AppContext& ctx = ts.ctx();
        ModalDriver::whenShown(QStringLiteral("frmItemPicker"), [](QWidget* w) {
            auto* picker = static_cast<frmItemPicker*>(w);
            doubleClickLine(picker->List1, 0);
        });
        frmItemPicker dlg(ctx);
        dlg.exec();
        QCOMPARE(SharedFields::idOf(ctx.fields().ItemToPick), 1);
        QCOMPARE(ctx.fields().ItemToPickDesc.toString(), QStringLiteral("Cable drum"));
    }
};

QTEST_MAIN(TestItemPicker)
#include "test_item_picker.moc"
