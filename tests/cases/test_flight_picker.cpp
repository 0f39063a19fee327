#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "ModalDriver.h"
#include "TestApp.h"
#include "WidgetDriver.h"
#include "cases/frmFlightPicker.h"
#include "common/RecordList.h"

using namespace WidgetDriver;

namespace {

const QString kNoCaseLine = QStringLiteral("0 - No Flight Case (Default)");

struct Fixture {
    TestApp ts;
    AppContext& ctx = ts.ctx();
    std::unique_ptr<frmFlightPicker> picker;

    void open() {
        picker = std::make_unique<frmFlightPicker>(ctx);
        picker->show();
        QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
    }
    void addCases() {
        ts.reg.exec(
            QStringLiteral("INSERT INTO Cases (id, FName) VALUES (2, 'Rack A');"
                           "INSERT INTO Cases (id, FName) VALUES (5, '');"
                           "INSERT INTO Cases (id, FName) VALUES (7, NULL);"
                           "INSERT INTO Cases (id, FName) VALUES (9, '-A- lights');"
                           "INSERT INTO Cases (id, FName) VALUES (1234, 'X-1')"));
    }
};

}  // namespace

class TestFlightPicker : public QObject {
    Q_OBJECT
private slots:
    // How it looks and how closing it answers: with the other pickers', in
    // test_item_picker.

    void anEmptyRegisterOffersOnlyNoCase() {
        Fixture f;
        f.open();
        QCOMPARE(lines(f.picker->List1), QStringList({kNoCaseLine}));
        QCOMPARE(f.picker->ThisCase, 0);
    }

    // Empty and missing names show the id and the separator alone.
    void casesFollowTheNoCaseLine() {
        Fixture f;
        f.addCases();
        f.open();
        QCOMPARE(lines(f.picker->List1), QStringList({kNoCaseLine, "2 - Rack A", "5 - ", "7 - ",
                                                      "9 - -A- lights", "1234 - X-1"}));
        QVERIFY(f.picker->List1->selectedLine() < 0);
    }

    void eachLineGivesItsCaseId_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<qint64>("id");
        QTest::newRow("no case") << 0 << qint64(0);
        QTest::newRow("plain name") << 1 << qint64(2);
        QTest::newRow("empty name") << 2 << qint64(5);
        QTest::newRow("hyphens at the start of the name") << 4 << qint64(9);
        QTest::newRow("hyphen within the first ten characters") << 5 << qint64(1234);
    }
    void eachLineGivesItsCaseId() {
        QFETCH(int, row);
        QFETCH(qint64, id);
        Fixture f;
        f.addCases();
        f.ctx.fields().CaseToPick = 77;
        f.open();
        clickLine(f.picker->List1, row == 0 ? 1 : 0);  // start elsewhere
        clickLine(f.picker->List1, row);
        QCOMPARE(f.picker->ThisCase, id);
        QTest::mouseClick(f.picker->Command2, Qt::LeftButton);
        QVERIFY(!f.picker->isVisible());
        QCOMPARE(SharedFields::idOf(f.ctx.fields().CaseToPick), id);
    }

    // Save without a choice means "no case", not the caller's earlier value.
    void saveWithoutAClickReturnsNoCase() {
        Fixture f;
        f.addCases();
        f.ctx.fields().CaseToPick = QStringLiteral("5");
        f.open();
        QTest::mouseClick(f.picker->Command2, Qt::LeftButton);
        QCOMPARE(SharedFields::idOf(f.ctx.fields().CaseToPick), 0);
    }

    void doubleClickPicksTheLineUnderThePointer() {
        Fixture f;
        f.addCases();
        f.open();
        clickLine(f.picker->List1, 1);
        doubleClickLine(f.picker->List1, 4);
        QVERIFY(!f.picker->isVisible());
        QCOMPARE(f.picker->result(), int(QDialog::Accepted));
        QCOMPARE(SharedFields::idOf(f.ctx.fields().CaseToPick), 9);
    }

    void arrowKeysMoveTheChoice() {
        Fixture f;
        f.addCases();
        f.open();
        clickLine(f.picker->List1, 0);
        QTest::keyClick(f.picker->List1, Qt::Key_Down);
        QCOMPARE(f.picker->ThisCase, 2);
        QTest::keyClick(f.picker->List1, Qt::Key_End);
        QCOMPARE(f.picker->ThisCase, 1234);
        QTest::keyClick(f.picker->List1, Qt::Key_Up);
        QTest::mouseClick(f.picker->Command2, Qt::LeftButton);
        QCOMPARE(SharedFields::idOf(f.ctx.fields().CaseToPick), 9);
    }

    // After a failed read the user can still choose "no case".
    void aFailedReadStillOffersNoCase() {
        Fixture f;
        f.addCases();
        f.ts.reg.exec(QStringLiteral("DROP TABLE Cases"));
        f.ctx.fields().CaseToPick = 5;
        f.open();
        QCOMPARE(f.ts.dialogs->messages.size(), 1);
        QCOMPARE(f.ts.dialogs->messages.first().icon, Dialogs::Icon::Critical);
        QCOMPARE(lines(f.picker->List1), QStringList({kNoCaseLine}));
        doubleClickLine(f.picker->List1, 0);
        QVERIFY(!f.picker->isVisible());
        QCOMPARE(SharedFields::idOf(f.ctx.fields().CaseToPick), 0);
    }

    // The caller's side: it puts the current case in, shows the picker
    // modally and reads the field back.
    void aModalCallerReadsTheAnswer() {
        TestApp ts;
        ts.reg.exec(QStringLiteral("INSERT INTO Cases (FName) VALUES ('Rack A')"));
        AppContext& ctx = ts.ctx();
        ctx.fields().CaseToPick = 0;
        ModalDriver::whenShown(QStringLiteral("frmFlightPicker"), [](QWidget* w) {
            auto* picker = static_cast<frmFlightPicker*>(w);
            clickLine(picker->List1, 1);
            QTest::mouseClick(picker->Command2, Qt::LeftButton);
        });
        frmFlightPicker dlg(ctx);
        dlg.exec();
        QCOMPARE(SharedFields::idOf(ctx.fields().CaseToPick), 1);
    }
};

QTEST_MAIN(TestFlightPicker)
#include "test_flight_picker.moc"
