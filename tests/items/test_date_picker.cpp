#include <QCalendarWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "ModalDriver.h"
#include "TestApp.h"
#include "data/rules/TextRules.h"
#include "items/frmDatePicker.h"

namespace {

QTableView* calendarGrid(QCalendarWidget* calendar) {
    return calendar->findChild<QTableView*>(QStringLiteral("qt_calendar_calendarview"));
}

// The cell of a day of the month on show. Row 0 holds the day names; the days
// of the month before are 22 or more, so the first "1" is the 1st.
void cellOfDay(QCalendarWidget* calendar, int day, QPoint* at) {
    QTableView* grid = calendarGrid(calendar);
    QAbstractItemModel* model = grid->model();
    const int columns = model->columnCount();
    for (int cell = columns; cell < model->rowCount() * columns; ++cell) {
        const QModelIndex first = model->index(cell / columns, cell % columns);
        if (first.data().toString() != QLatin1String("1"))
            continue;
        const int target = cell + day - 1;
        const QModelIndex index = model->index(target / columns, target % columns);
        QCOMPARE(index.data().toInt(), day);
        *at = grid->visualRect(index).center();
        return;
    }
    QFAIL("the calendar shows no 1st of a month");
}

void clickDay(QCalendarWidget* calendar, int day) {
    QPoint at;
    cellOfDay(calendar, day, &at);
    if (!QTest::currentTestFailed())
        QTest::mouseClick(calendarGrid(calendar)->viewport(), Qt::LeftButton, {}, at);
}

// Press, release, double-click, release: what a real double-click delivers.
void doubleClickDay(QCalendarWidget* calendar, int day) {
    QWidget* cells = calendarGrid(calendar)->viewport();
    QPoint at;
    cellOfDay(calendar, day, &at);
    if (QTest::currentTestFailed())
        return;
    QTest::mousePress(cells, Qt::LeftButton, {}, at);
    QTest::mouseRelease(cells, Qt::LeftButton, {}, at);
    QTest::mouseDClick(cells, Qt::LeftButton, {}, at);
    QTest::mouseRelease(cells, Qt::LeftButton, {}, at);
}

struct Fixture {
    TestApp ts;
    AppContext& ctx = ts.ctx();
    std::unique_ptr<frmDatePicker> picker;

    void open() {
        picker = std::make_unique<frmDatePicker>(ctx);
        picker->show();
        QVERIFY(QTest::qWaitForWindowExposed(picker.get()));
    }
};

}  // namespace

class TestDatePicker : public QObject {
    Q_OBJECT
private slots:
    void windowLooksAsDesigned() {
        Fixture f;
        f.open();
        frmDatePicker& p = *f.picker;
        QCOMPARE(p.objectName(), QStringLiteral("frmDatePicker"));
        QCOMPARE(p.windowTitle(), QStringLiteral("Please Select The Date"));
        QCOMPARE(p.MonthView1->objectName(), QStringLiteral("MonthView1"));
        QCOMPARE(p.cmdSave->objectName(), QStringLiteral("cmdSave"));
        QCOMPARE(p.cmdSave->text(), QStringLiteral("Save"));
        QVERIFY(p.cmdSave->font().bold());
        QCOMPARE(p.MonthView1->selectionMode(), QCalendarWidget::SingleSelection);
        QVERIFY(!p.MonthView1->accessibleName().isEmpty());
        QCOMPARE(p.minimumSize(), p.maximumSize());
        QCOMPARE(p.palette().color(QPalette::Window), QColor(Qt::white));
    }

    void saveAtOnceGivesToday_data() {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("text");
        QTest::newRow("one-digit day and month") << QDate(2009, 1, 5) << "5/1/2009";
        QTest::newRow("one-digit month") << QDate(2008, 3, 7) << "7/3/2008";
        QTest::newRow("two-digit day") << QDate(2008, 1, 17) << "17/1/2008";
        QTest::newRow("two digits each") << QDate(2009, 12, 25) << "25/12/2009";
        QTest::newRow("leap day") << QDate(2012, 2, 29) << "29/2/2012";
    }
    void saveAtOnceGivesToday() {
        QFETCH(QDate, today);
        QFETCH(QString, text);
        Fixture f;
        f.ts.clock->date = today;
        f.open();
        QCOMPARE(f.picker->MonthView1->selectedDate(), today);
        QTest::mouseClick(f.picker->cmdSave, Qt::LeftButton);
        QVERIFY(!f.picker->isVisible());
        QCOMPARE(f.ctx.fields().DateToPick.toString(), text);
    }

    void aSingleClickOnlySelects() {
        Fixture f;
        f.ctx.fields().DateToPick = QStringLiteral("1/2/2003");
        f.open();
        clickDay(f.picker->MonthView1, 20);
        QVERIFY(f.picker->isVisible());
        QCOMPARE(f.picker->MonthView1->selectedDate(), QDate(2009, 1, 20));
        QCOMPARE(f.ctx.fields().DateToPick.toString(), QStringLiteral("1/2/2003"));
        QTest::mouseClick(f.picker->cmdSave, Qt::LeftButton);
        QCOMPARE(f.ctx.fields().DateToPick.toString(), QStringLiteral("20/1/2009"));
    }

    void doubleClickingAnotherDateReturnsItAndCloses() {
        Fixture f;
        f.open();
        doubleClickDay(f.picker->MonthView1, 28);
        QVERIFY(!f.picker->isVisible());
        QCOMPARE(f.picker->result(), int(QDialog::Accepted));
        QCOMPARE(f.ctx.fields().DateToPick.toString(), QStringLiteral("28/1/2009"));
    }

    // The days of the months before and after stand in the grid too.
    void doubleClickingADayOfAnotherMonthReturnsIt_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::newRow("first cell: December") << 1 << 0;
        QTest::newRow("last cell: February") << 6 << 6;
    }
    void doubleClickingADayOfAnotherMonthReturnsIt() {
        QFETCH(int, row);
        QFETCH(int, column);
        Fixture f;
        f.open();
        QTableView* grid = calendarGrid(f.picker->MonthView1);
        const QModelIndex cell = grid->model()->index(row, column);
        const int day = cell.data().toInt();
        const QDate expected = row == 1 ? QDate(2008, 12, day) : QDate(2009, 2, day);
        const QPoint at = grid->visualRect(cell).center();
        QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, at);
        QVERIFY(!f.picker->isVisible());
        QCOMPARE(f.ctx.fields().DateToPick.toString(), TextRules::dateText(expected));
    }

    // A double-click on the names of the days is no date.
    void doubleClickingTheDayNamesPicksNothing() {
        Fixture f;
        f.ctx.fields().DateToPick = QStringLiteral("1/2/2003");
        f.open();
        QTableView* grid = calendarGrid(f.picker->MonthView1);
        const QPoint at = grid->visualRect(grid->model()->index(0, 3)).center();
        QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, at);
        QVERIFY(f.picker->isVisible());
        QCOMPARE(f.ctx.fields().DateToPick.toString(), QStringLiteral("1/2/2003"));
    }

    // A month away by keyboard, then Enter: the same as a double-click.
    void keyboardMovesAndEnterPicks() {
        Fixture f;
        f.open();
        QWidget* grid = calendarGrid(f.picker->MonthView1);
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Down);  // a week later
        QTest::keyClick(grid, Qt::Key_Left);
        QCOMPARE(f.picker->MonthView1->selectedDate(), QDate(2009, 1, 11));
        QTest::keyClick(grid, Qt::Key_Return);
        QVERIFY(!f.picker->isVisible());
        QCOMPARE(f.ctx.fields().DateToPick.toString(), QStringLiteral("11/1/2009"));
    }

    void closingWithoutSaveLeavesTheField_data() {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("title bar") << false;
        QTest::newRow("Esc") << true;
    }
    void closingWithoutSaveLeavesTheField() {
        QFETCH(bool, byEscape);
        Fixture f;
        f.ctx.fields().DateToPick = QStringLiteral("1/2/2003");
        f.open();
        clickDay(f.picker->MonthView1, 20);
        if (byEscape)
            QTest::keyClick(calendarGrid(f.picker->MonthView1), Qt::Key_Escape);
        else
            f.picker->close();
        QVERIFY(!f.picker->isVisible());
        QCOMPARE(f.ctx.fields().DateToPick.toString(), QStringLiteral("1/2/2003"));
    }

    // Every showing starts again on today, whatever was picked before.
    void aModalCallerReadsTheAnswerAndTheNextShowingStartsOnToday() {
        TestApp ts;
        ts.clock->date = QDate(2008, 3, 7);
        AppContext& ctx = ts.ctx();
        ModalDriver::whenShown(QStringLiteral("frmDatePicker"), [](QWidget* w) {
            doubleClickDay(static_cast<frmDatePicker*>(w)->MonthView1, 25);
        });
        {
            frmDatePicker dlg(ctx);
            dlg.exec();
        }
        QCOMPARE(ctx.fields().DateToPick.toString(), QStringLiteral("25/3/2008"));
        frmDatePicker again(ctx);
        QCOMPARE(again.MonthView1->selectedDate(), QDate(2008, 3, 7));
    }
};

QTEST_MAIN(TestDatePicker)
#include "test_date_picker.moc"
