#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "ModalDriver.h"
#include "TestApp.h"
#include "WidgetDriver.h"
#include "common/RecordList.h"
#include "locations/frmLocationPicker.h"

using namespace WidgetDriver;

namespace {

// The names in the table, in stored order.
QStringList storedNames(const TempRegister& reg) {
    QStringList names;
    const qint64 rows = reg.count(QStringLiteral("Locations"));
    for (qint64 i = 0; i < rows; ++i) {
        names << reg.scalar(QStringLiteral("SELECT \"desc\" FROM Locations ORDER BY rowid "
                                           "LIMIT 1 OFFSET %1")
                                .arg(i))
                     .toString();
    }
    return names;
}

const QStringList kStartNames = {"Bay 1", "Shelf 2", "Blank"};

struct Fixture {
    TestApp ts;
    AppContext& ctx = ts.ctx();
    std::unique_ptr<frmLocationPicker> picker;

    Fixture() {
        ts.reg.exec(
            QStringLiteral("INSERT INTO Locations (\"desc\") VALUES ('Bay 1');"
                           "INSERT INTO Locations (\"desc\") VALUES ('Shelf 2');"
                           "INSERT INTO Locations (\"desc\") VALUES ('Blank')"));
    }
    void open() {
        picker = std::make_unique<frmLocationPicker>(ctx);
        picker->show();
        QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
    }
    void add(const QString& answer) {
        ts.dialogs->inputAnswers << answer;
        QTest::mouseClick(picker->cmdAdd, Qt::LeftButton);
    }
    void deleteSelected(Dialogs::Answer answer) {
        ts.dialogs->answers << answer;
        QTest::mouseClick(picker->cmdDel, Qt::LeftButton);
    }
    QString save() {
        QTest::mouseClick(picker->Command2, Qt::LeftButton);
        return ctx.fields().LocationToPick.toString();
    }
};

const QString kDuplicate = QStringLiteral("This item already exists in the locations list!");

}  // namespace

class TestLocationPicker : public QObject {
    Q_OBJECT
private slots:
    // How it looks and how closing it answers: with the other pickers', in
    // test_item_picker.

    void opensWithTheStoredNamesAndNoChoice() {
        Fixture f;
        f.open();
        QCOMPARE(f.picker->cmdAdd->text(), QStringLiteral("Add"));
        QCOMPARE(f.picker->cmdDel->text(), QStringLiteral("Delete"));
        QCOMPARE(lines(f.picker->List1), kStartNames);
        QVERIFY(f.picker->List1->selectedLine() < 0);
        QCOMPARE(f.picker->ThisLocation, QStringLiteral("Blank"));
        QVERIFY(f.picker->cmdAdd->isEnabled());
        QVERIFY(!f.picker->cmdDel->isEnabled());
        QCOMPARE(f.save(), QStringLiteral("Blank"));
        QVERIFY(!f.picker->isVisible());
    }

    void aClickChoosesAndSaveReturnsIt() {
        Fixture f;
        f.open();
        clickLine(f.picker->List1, 1);
        QCOMPARE(f.picker->ThisLocation, QStringLiteral("Shelf 2"));
        QVERIFY(f.picker->cmdDel->isEnabled());
        QCOMPARE(f.save(), QStringLiteral("Shelf 2"));
    }

    // A location really called Blank comes back as "Blank" too, which the
    // callers take as no choice.
    void aLocationCalledBlankCanBeSelected() {
        Fixture f;
        f.open();
        clickLine(f.picker->List1, 2);
        QVERIFY(f.picker->cmdDel->isEnabled());
        QCOMPARE(f.save(), QStringLiteral("Blank"));
    }

    void keysTypedInTheListChoose() {
        Fixture f;
        f.open();
        f.picker->List1->setFocus();
        QTest::keyClick(f.picker->List1, Qt::Key_S);
        QCOMPARE(f.picker->ThisLocation, QStringLiteral("Shelf 2"));
        QVERIFY(f.picker->cmdDel->isEnabled());
        QTest::keyClick(f.picker->List1, Qt::Key_Down);
        QCOMPARE(f.picker->ThisLocation, QStringLiteral("Blank"));
        QTest::keyClick(f.picker->List1, Qt::Key_Home);
        QCOMPARE(f.save(), QStringLiteral("Bay 1"));
    }

    // Ctrl+click clears the selection: no choice, and nothing to delete.
    void aDeselectedEntryIsNoChoice() {
        Fixture f;
        f.open();
        clickLine(f.picker->List1, 1);
        QTest::mouseClick(f.picker->List1->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          lineCentre(f.picker->List1, 1));
        QVERIFY(!f.picker->cmdDel->isEnabled());
        QCOMPARE(f.save(), QStringLiteral("Blank"));
        QCOMPARE(storedNames(f.ts.reg), kStartNames);
    }

    // Tabbing into the list makes an entry current without selecting it.
    void focusAloneChoosesNothing() {
        Fixture f;
        f.open();
        f.picker->cmdAdd->setFocus();
        QTest::keyClick(f.picker->cmdAdd, Qt::Key_Backtab);
        QVERIFY(f.picker->List1->hasFocus());
        QVERIFY(f.picker->List1->selectedLine() < 0);
        QCOMPARE(f.picker->ThisLocation, QStringLiteral("Blank"));
        QVERIFY(!f.picker->cmdDel->isEnabled());
    }

    // The first Down in a list without a choice chooses the first entry, also
    // in a list of one, where the focus alone stood on it already.
    void theFirstArrowChoosesTheFirstEntry() {
        Fixture f;
        f.ts.reg.exec(QStringLiteral("DELETE FROM Locations WHERE \"desc\" <> 'Bay 1'"));
        f.open();
        f.picker->cmdAdd->setFocus();
        QTest::keyClick(f.picker->cmdAdd, Qt::Key_Backtab);
        QTest::keyClick(f.picker->List1, Qt::Key_Down);
        QVERIFY(f.picker->cmdDel->isEnabled());
        QCOMPARE(f.save(), QStringLiteral("Bay 1"));
    }

    // The new name goes to the end, unselected; the choice stays as it was.
    void addingStoresAndAppendsTheName() {
        Fixture f;
        f.open();
        clickLine(f.picker->List1, 0);
        f.add(QStringLiteral("Bay 4"));
        QCOMPARE(f.ts.dialogs->inputs.size(), 1);
        QCOMPARE(f.ts.dialogs->inputs.first().prompt, QStringLiteral("Please enter a location"));
        QCOMPARE(f.ts.dialogs->inputs.first().defaultText, QString());
        QCOMPARE(lines(f.picker->List1), kStartNames + QStringList{"Bay 4"});
        QCOMPARE(storedNames(f.ts.reg), kStartNames + QStringList{"Bay 4"});
        QCOMPARE(f.picker->List1->selectedText(), QStringLiteral("Bay 1"));
        QCOMPARE(f.picker->ThisLocation, QStringLiteral("Bay 1"));
        QVERIFY(f.ts.dialogs->messages.isEmpty());
    }

    void addingTheSameNameTwiceIsRefused_data() {
        QTest::addColumn<QString>("second");
        QTest::newRow("same letters") << "Bay 4";
        QTest::newRow("other letter case") << "bAY 4";
    }
    void addingTheSameNameTwiceIsRefused() {
        QFETCH(QString, second);
        Fixture f;
        f.open();
        f.add(QStringLiteral("Bay 4"));
        f.add(second);
        QCOMPARE(f.ts.dialogs->messages.size(), 1);
        QCOMPARE(f.ts.dialogs->messages.first().text, kDuplicate);
        QCOMPARE(f.ts.dialogs->messages.first().icon, Dialogs::Icon::Information);
        QCOMPARE(f.ts.dialogs->messages.first().buttons, Dialogs::Buttons::Ok);
        QCOMPARE(storedNames(f.ts.reg), kStartNames + QStringList{"Bay 4"});
        QCOMPARE(lines(f.picker->List1), kStartNames + QStringList{"Bay 4"});
    }

    void cancelOrAnEmptyAnswerAddsNothing() {
        Fixture f;
        f.open();
        f.add(QString());
        f.add(QStringLiteral(""));
        QCOMPARE(f.ts.dialogs->inputs.size(), 2);
        QVERIFY(f.ts.dialogs->messages.isEmpty());
        QCOMPARE(storedNames(f.ts.reg), kStartNames);
        QCOMPARE(lines(f.picker->List1), kStartNames);
    }

    // Whatever is typed is a name: it is stored as typed, found again as a
    // duplicate and deleted by exactly that name.
    void anyTextMakesTheRoundTripIntact_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("otherCase");
        QTest::newRow("single quotes") << "O'Brien's bay"
                                       << "o'brien'S BAY";
        QTest::newRow("double quotes") << "Shelf \"A\""
                                       << "SHELF \"a\"";
        QTest::newRow("statement text") << "x'; DELETE FROM Locations; --"
                                        << "X'; delete from locations; --";
        QTest::newRow("wildcards") << "50%_*?[!]"
                                   << "50%_*?[!]";
        QTest::newRow("blanks only") << "   "
                                     << "   ";
        QTest::newRow("blanks around") << "  Bay 9 "
                                       << "  BAY 9 ";
        QTest::newRow("backslash and accents") << "Caf\u00e9\\Bar"
                                               << "CAF\u00e9\\bar";
        QTest::newRow("letter case beyond A to Z") << "Caf\u00e9 \u00c5ngstr\u00f6m"
                                                   << "CAF\u00c9 \u00e5NGSTR\u00d6M";
    }
    void anyTextMakesTheRoundTripIntact() {
        QFETCH(QString, name);
        QFETCH(QString, otherCase);
        Fixture f;
        f.open();
        f.add(name);
        QCOMPARE(storedNames(f.ts.reg), kStartNames + QStringList{name});
        QCOMPARE(f.picker->List1->lineText(3), name);

        f.add(otherCase);
        QCOMPARE(f.ts.dialogs->lastMessage(), kDuplicate);
        QCOMPARE(f.ts.reg.count(QStringLiteral("Locations")), 4);

        clickLine(f.picker->List1, 3);
        QCOMPARE(f.picker->ThisLocation, name);
        f.deleteSelected(Dialogs::Answer::Yes);
        QCOMPARE(f.ts.dialogs->lastMessage(), QStringLiteral("Are you sure you want to delete ") +
                                                  name + QStringLiteral(" from the list?"));
        QCOMPARE(storedNames(f.ts.reg), kStartNames);
        QCOMPARE(lines(f.picker->List1), kStartNames);
    }

    // After the delete nothing is selected and Delete is off, but Save still
    // returns the deleted name until another entry is chosen.
    void deletingAfterYes() {
        Fixture f;
        f.open();
        clickLine(f.picker->List1, 1);
        f.deleteSelected(Dialogs::Answer::Yes);
        const auto& question = f.ts.dialogs->messages.first();
        QCOMPARE(question.text,
                 QStringLiteral("Are you sure you want to delete Shelf 2 from the list?"));
        QCOMPARE(question.icon, Dialogs::Icon::Question);
        QCOMPARE(question.buttons, Dialogs::Buttons::YesNoDefaultNo);
        QCOMPARE(storedNames(f.ts.reg), QStringList({"Bay 1", "Blank"}));
        QCOMPARE(lines(f.picker->List1), QStringList({"Bay 1", "Blank"}));
        QVERIFY(f.picker->List1->selectedLine() < 0);
        QVERIFY(!f.picker->cmdDel->isEnabled());
        QCOMPARE(f.picker->ThisLocation, QStringLiteral("Shelf 2"));
        QCOMPARE(f.save(), QStringLiteral("Shelf 2"));
    }

    void anotherEntryCanBeChosenAfterADelete() {
        Fixture f;
        f.open();
        clickLine(f.picker->List1, 0);
        f.deleteSelected(Dialogs::Answer::Yes);
        clickLine(f.picker->List1, 0);
        QCOMPARE(f.picker->ThisLocation, QStringLiteral("Shelf 2"));
        QVERIFY(f.picker->cmdDel->isEnabled());
        QCOMPARE(f.save(), QStringLiteral("Shelf 2"));
    }

    void answeringNoChangesNothing() {
        Fixture f;
        f.open();
        clickLine(f.picker->List1, 1);
        f.deleteSelected(Dialogs::Answer::No);
        QCOMPARE(f.ts.dialogs->messages.size(), 1);
        QCOMPARE(storedNames(f.ts.reg), kStartNames);
        QCOMPARE(lines(f.picker->List1), kStartNames);
        QVERIFY(f.picker->cmdDel->isEnabled());
        QCOMPARE(f.picker->ThisLocation, QStringLiteral("Shelf 2"));
    }

    void deletingLeavesItemsAndCasesWithThatName() {
        Fixture f;
        f.ts.reg.exec(
            QStringLiteral("INSERT INTO Items (\"desc\", warehouseloc) VALUES ('Mixer', 'Shelf 2');"
                           "INSERT INTO Cases (FName, FLocation) VALUES ('Rack', 'Shelf 2')"));
        f.open();
        clickLine(f.picker->List1, 1);
        f.deleteSelected(Dialogs::Answer::Yes);
        QCOMPARE(f.ts.reg.count(QStringLiteral("Locations")), 2);
        QCOMPARE(f.ts.reg.scalar(QStringLiteral("SELECT warehouseloc FROM Items")).toString(),
                 QStringLiteral("Shelf 2"));
        QCOMPARE(f.ts.reg.scalar(QStringLiteral("SELECT FLocation FROM Cases")).toString(),
                 QStringLiteral("Shelf 2"));
    }

    // When the store fails it has told the user already; the list must stay
    // what the table holds and the window usable.
    void aFailedReadLeavesAnEmptyUsableList() {
        Fixture f;
        f.ts.reg.exec(QStringLiteral("DROP TABLE Locations"));
        f.open();
        QCOMPARE(f.ts.dialogs->messages.size(), 1);
        QCOMPARE(f.picker->List1->count(), 0);
        f.add(QStringLiteral("Bay 4"));
        QCOMPARE(f.ts.dialogs->messages.size(), 2);
        QCOMPARE(f.ts.dialogs->messages.last().icon, Dialogs::Icon::Critical);
        QCOMPARE(f.picker->List1->count(), 0);
        QCOMPARE(f.save(), QStringLiteral("Blank"));
    }

    void aFailedAddLeavesTheListAsItWas() {
        Fixture f;
        f.ts.reg.exec(
            QStringLiteral("CREATE TRIGGER NoAdd BEFORE INSERT ON Locations "
                           "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        f.open();
        f.add(QStringLiteral("Bay 4"));
        QCOMPARE(f.ts.dialogs->messages.size(), 1);
        QCOMPARE(f.ts.dialogs->messages.first().icon, Dialogs::Icon::Critical);
        QCOMPARE(lines(f.picker->List1), kStartNames);
        QCOMPARE(storedNames(f.ts.reg), kStartNames);
    }

    void aFailedDeleteKeepsTheEntry() {
        Fixture f;
        f.ts.reg.exec(
            QStringLiteral("CREATE TRIGGER NoDelete BEFORE DELETE ON Locations "
                           "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        f.open();
        clickLine(f.picker->List1, 1);
        f.deleteSelected(Dialogs::Answer::Yes);
        QCOMPARE(f.ts.dialogs->messages.size(), 2);  // the question, then the failure
        QCOMPARE(f.ts.dialogs->messages.last().icon, Dialogs::Icon::Critical);
        QCOMPARE(lines(f.picker->List1), kStartNames);
        QCOMPARE(storedNames(f.ts.reg), kStartNames);
        QCOMPARE(f.picker->List1->selectedText(), QStringLiteral("Shelf 2"));
        QVERIFY(f.picker->cmdDel->isEnabled());
    }

    // The caller's side: nothing set before, the answer read after exec; the
    // next showing starts again with no choice.
    void aModalCallerReadsTheAnswer() {
        Fixture f;
        ModalDriver::whenShown(QStringLiteral("frmLocationPicker"), [&f](QWidget* w) {
            auto* picker = static_cast<frmLocationPicker*>(w);
            f.ts.dialogs->inputAnswers << QStringLiteral("Bay 4");
            QTest::mouseClick(picker->cmdAdd, Qt::LeftButton);
            clickLine(picker->List1, 3);
            QTest::mouseClick(picker->Command2, Qt::LeftButton);
        });
        {
            frmLocationPicker dlg(f.ctx);
            dlg.exec();
        }
        QCOMPARE(f.ctx.fields().LocationToPick.toString(), QStringLiteral("Bay 4"));

        frmLocationPicker again(f.ctx);
        QCOMPARE(lines(again.List1), kStartNames + QStringList{"Bay 4"});
        QCOMPARE(again.ThisLocation, QStringLiteral("Blank"));
        QVERIFY(!again.cmdDel->isEnabled());
    }
};

QTEST_MAIN(TestLocationPicker)
#include "test_location_picker.moc"
