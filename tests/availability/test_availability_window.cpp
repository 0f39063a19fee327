// The Availability window, driven headless against a real register: the
// timeline's bars and colours, the free-only answer, a bar opening its list
// and the answer put on a list.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "ModalDriver.h"
#include "TestApp.h"
#include "WidgetDriver.h"
#include "availability/BookingTimeline.h"
#include "availability/frmAvailability.h"
#include "resources/Fonts.h"

using namespace WidgetDriver;

Q_DECLARE_METATYPE(std::vector<qint64>)

class TestAvailabilityWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> ts;
    std::unique_ptr<frmAvailability> window;

    void openFrom(const QDate& from, const QDate& to) {
        window = std::make_unique<frmAvailability>(ts->ctx());
        window->resize(window->size());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->dtpTo->setDate(to);
        window->dtpFrom->setDate(from);
    }
    QColor colourAt(const QPoint& at) {
        return window->Timeline1->viewport()->grab().toImage().pixelColor(at);
    }
    QString linesOf(qint64 listId) const {
        return ts->reg
            .scalar(QStringLiteral("SELECT group_concat(itemid, ' ') FROM (SELECT itemid FROM "
                                   "ListData WHERE listid = %1 ORDER BY itemid)")
                        .arg(listId))
            .toString();
    }

private slots:
    void initTestCase() { Fonts::loadTahoma(); }

    // 45 is booked on lists 3 and 4 over 14/5 and 15/5: a clash. 46 only on
    // list 3; 47 (out of test) and 48 (failed) on list 4; 50 is Sound.
    void init() {
        ts = std::make_unique<TestApp>();
        ts->clock->date = QDate(2027, 5, 10);
        ts->reg.exec(QStringLiteral(
            "INSERT INTO Items (id, \"desc\", category, testinterval, testlast, testnext) VALUES"
            " (45, 'Strobe', 'Lighting', '12', '1/1/2027', '1/1/2028'),"
            " (46, 'Hazer', 'Lighting', '12', '1/1/2027', '1/1/2028'),"
            " (47, 'Dimmer', 'Lighting', '12', '1/1/2026', '1/1/2027'),"
            " (48, 'Follow spot', 'Lighting', '12', '1/1/2027', '1/1/2028'),"
            " (50, 'Speaker', 'Sound', '12', '1/1/2027', '1/1/2028');"
            "INSERT INTO TestHistory VALUES (1, 48, 2461500, '1/1/2027', 'PAT', 'Fail', '');"
            "INSERT INTO Lists (id, ListName) VALUES (3, 'Stage left'), (4, 'Stage right'),"
            " (6, 'Next week'), (7, 'Someday');"
            "INSERT INTO ListData VALUES (3, 45, 'Strobe'), (3, 46, 'Hazer'), (4, 45, 'Strobe'),"
            " (4, 47, 'Dimmer'), (4, 48, 'Follow spot'), (7, 50, 'Speaker');"
            "INSERT INTO ListPlans VALUES (3, '2027-05-12', '2027-05-15', 'Confirmed'),"
            " (4, '2027-05-14', '2027-05-20', 'Out'), (6, '2027-05-19', '2027-05-21', 'Confirmed'),"
            " (7, '2027-05-12', '2027-05-13', 'Draft');"
            "UPDATE Data SET lastid = 50, lastList = 7"));
    }
    void cleanup() {
        window.reset();
        ts.reset();
    }

    void barsAreRedWhereTheyClashAndInTheItemsColourElsewhere_data() {
        QTest::addColumn<qint64>("item");
        QTest::addColumn<qint64>("list");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<bool>("before");  // the empty day looked at: before the bar, or after
        QTest::newRow("clash, first list")
            << qint64(45) << qint64(3) << BookingTimeline::kClash << true;
        QTest::newRow("clash, other list")
            << qint64(45) << qint64(4) << BookingTimeline::kClash << false;
        QTest::newRow("ordinary") << qint64(46) << qint64(3) << BookingTimeline::kBooked << false;
        QTest::newRow("out of test")
            << qint64(47) << qint64(4) << BookingTimeline::kOutOfTest << true;
        QTest::newRow("failed") << qint64(48) << qint64(4) << BookingTimeline::kFailed << false;
    }
    void barsAreRedWhereTheyClashAndInTheItemsColourElsewhere() {
        QFETCH(qint64, item);
        QFETCH(qint64, list);
        QFETCH(QColor, colour);
        QFETCH(bool, before);
        openFrom(QDate(2027, 5, 10), QDate(2027, 5, 23));
        const QRect bar = window->Timeline1->barRect(item, list);
        QVERIFY(!bar.isEmpty());
        QCOMPARE(colourAt(QPoint(bar.center().x(), bar.top())), colour);
        // Nothing is drawn on the day before the list goes out or after it is back.
        const QColor empty = colourAt(QPoint(before ? bar.left() - 3 : bar.right() + 3, bar.top()));
        QVERIFY(empty != colour);
        QVERIFY(empty != BookingTimeline::kClash);
        // A Draft books nothing: item 50 has no bar.
        QVERIFY(window->Timeline1->barRect(50, 7).isEmpty());
    }

    void freeOnlyListsTheItemsNoHoldingListBooks_data() {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<int>("category");  // index in cboCategory: 0 all, 1 Lighting, 2 Sound
        QTest::addColumn<std::vector<qint64>>("free");
        // Touching days count: list 3 returns on 15/5, list 4 leaves on 14/5.
        QTest::newRow("before both")
            << QDate(2027, 5, 10) << QDate(2027, 5, 11) << 1 << std::vector<qint64>{45, 46, 47, 48};
        QTest::newRow("list 3's last day")
            << QDate(2027, 5, 15) << QDate(2027, 5, 15) << 1 << std::vector<qint64>{};
        QTest::newRow("list 3's first day")
            << QDate(2027, 5, 11) << QDate(2027, 5, 12) << 1 << std::vector<qint64>{47, 48};
        QTest::newRow("after both, every category") << QDate(2027, 5, 21) << QDate(2027, 6, 1) << 0
                                                    << std::vector<qint64>{45, 46, 47, 48, 50};
        QTest::newRow("a Draft holds nothing")
            << QDate(2027, 5, 12) << QDate(2027, 5, 13) << 2 << std::vector<qint64>{50};
    }
    void freeOnlyListsTheItemsNoHoldingListBooks() {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(int, category);
        QFETCH(std::vector<qint64>, free);
        openFrom(from, to);
        QCOMPARE(window->cboCategory->count(), 3);
        window->cboCategory->setCurrentIndex(category);
        QVERIFY(!window->cmdAddToList->isEnabled());
        window->chkFreeOnly->setChecked(true);
        QCOMPARE(window->Timeline1->shownItems(), free);
        QCOMPARE(window->Timeline1->rowCount(), qint64(free.size()));
        QVERIFY(window->lblCount->text().startsWith(
            QStringLiteral("%1 item%2 free").arg(free.size()).arg(free.size() == 1 ? "" : "s")));
        QCOMPARE(window->cmdAddToList->isEnabled(), !free.empty());
    }

    void aClickOrEnterOnABarOpensItsList() {
        openFrom(QDate(2027, 5, 10), QDate(2027, 5, 23));
        QString shown;
        const auto readName = [&shown](QWidget* viewer) {
            shown = child<QLineEdit>(viewer, "txtName")->text();
            click(viewer, "cmdClose");
        };
        ModalDriver::whenShown(QStringLiteral("frmListView"), readName);
        const QRect bar = window->Timeline1->barRect(45, 4);
        QTest::mouseClick(window->Timeline1->viewport(), Qt::LeftButton, {}, bar.center());
        QCOMPARE(shown, QStringLiteral("Stage right"));

        // Between bars nothing opens.
        QVERIFY(!ModalDriver::shownDuring(QStringLiteral("frmListView"), [&] {
            QTest::mouseClick(window->Timeline1->viewport(), Qt::LeftButton, {},
                              QPoint(BookingTimeline::kNameWidth + 2, bar.center().y()));
        }));

        // From the keyboard: the row of 46, its one bar, Enter.
        ModalDriver::whenShown(QStringLiteral("frmListView"), readName);
        window->Timeline1->setFocus();
        QTest::keyClick(window->Timeline1, Qt::Key_Home);
        QTest::keyClick(window->Timeline1, Qt::Key_Down);
        QTest::keyClick(window->Timeline1, Qt::Key_Right);
        QVERIFY(window->Timeline1->accessibleDescription().contains(
            QStringLiteral("Item 46 - Hazer, booked on list 3 Stage left")));
        QTest::keyClick(window->Timeline1, Qt::Key_Return);
        QCOMPARE(shown, QStringLiteral("Stage left"));
    }

    // Free from 21/5: 45, 46, 47 and 48. List 6 goes out 19/5 to 21/5, when
    // list 4 holds 45, 47 and 48; 47 and 48 also need a test.
    void addToListAsksOnceForEachKindOfDoubt_data() {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QList<Dialogs::Answer>>("answers");  // test question, booked question
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("told");
        QTest::newRow("both No") << QStringList{"6"}
                                 << QList<Dialogs::Answer>{Dialogs::Answer::No, Dialogs::Answer::No}
                                 << "46"
                                 << "1 item added to list 6. 3 items left out.";
        QTest::newRow("both Yes") << QStringList{"L6"}
                                  << QList<Dialogs::Answer>{Dialogs::Answer::Yes,
                                                            Dialogs::Answer::Yes}
                                  << "45 46 47 48"
                                  << "4 items added to list 6.";
        QTest::newRow("no such list") << QStringList{"9"} << QList<Dialogs::Answer>{} << ""
                                      << "There is no list 9.";
        QTest::newRow("cancelled") << QStringList{QString()} << QList<Dialogs::Answer>{} << ""
                                   << "";
    }
    void addToListAsksOnceForEachKindOfDoubt() {
        QFETCH(QStringList, typed);
        QFETCH(QList<Dialogs::Answer>, answers);
        QFETCH(QString, lines);
        QFETCH(QString, told);
        openFrom(QDate(2027, 5, 21), QDate(2027, 5, 31));
        window->cboCategory->setCurrentIndex(1);
        window->chkFreeOnly->setChecked(true);
        ts->dialogs->inputAnswers = typed;
        ts->dialogs->answers = answers;
        click(window.get(), "cmdAddToList");
        QCOMPARE(linesOf(6), lines);
        QCOMPARE(ts->dialogs->lastMessage(), told);
        QVERIFY(ts->dialogs->inputs.first().prompt.startsWith(
            QStringLiteral("Add the 4 items shown to which list?")));
        if (answers.isEmpty())
            return;
        const auto& questions = ts->dialogs->messages;
        QCOMPARE(questions.size(), 3);
        QCOMPARE(questions[0].buttons, Dialogs::Buttons::YesNoDefaultNo);
        QVERIFY(questions[0].text.contains(QStringLiteral("Item 48 failed its last test")));
        QCOMPARE(questions[1].buttons, Dialogs::Buttons::YesNoDefaultNo);
        const QString booked = QStringLiteral(
            "Item 45 Strobe: booked on list 4 Stage right from 14/5/2027 to 20/5/2027");
        QVERIFY2(questions[1].text.contains(booked), qPrintable(questions[1].text));
        QCOMPARE(questions[1].text.contains(QStringLiteral("Item 47")),
                 answers[0] == Dialogs::Answer::Yes);
    }
};

QTEST_MAIN(TestAvailabilityWindow)
#include "test_availability_window.moc"
