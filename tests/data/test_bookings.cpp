// Picking lists as jobs with dates: the rule that tells when two lists
// clash over an item, and the store that keeps the plans and checks every
// booking as it is made, on a file and on a server.
#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QThread>
#include <thread>

#include "StoreFixture.h"
#include "cli/TransferCommands.h"
#include "data/register/RegisterFolder.h"
#include "data/rules/Bookings.h"

Q_DECLARE_METATYPE(ListPlan)

namespace {

QDate day(int d, int m) {
    return QDate(2027, m, d);
}

ListPlan confirmed(std::optional<QDate> out, std::optional<QDate> ret) {
    return {out, ret, ListState::Confirmed};
}

// Items 45 (Strobe, next test 13/5/2027) and 46 (Haze); lists 1 Stage left
// and 2 Gig each hold both; list 3 Spare holds 45; list 4 holds nothing.
void fill(const EngineRegister& reg) {
    reg.exec(QStringLiteral(
        R"(INSERT INTO "Items" ("id", "desc", "category", "testinterval", "testnext") VALUES
           (45, 'Strobe', 'Lighting', '12', '13/5/2027'), (46, 'Haze', 'Effects', 'none', '');
           INSERT INTO "Lists" ("id", "ListName") VALUES (1, 'Stage left'), (2, 'Gig'),
           (3, 'Spare'), (4, 'Empty');
           INSERT INTO "ListData" VALUES (1, 45, 'Strobe'), (1, 46, 'Haze'), (2, 45, 'Strobe'),
           (2, 46, 'Haze'), (3, 45, 'Strobe');
           UPDATE "Data" SET "lastid" = 46, "lastList" = 4)"));
}

QString versionOf(const EngineRegister& reg) {
    return reg.scalar(reg.onServer() ? QStringLiteral(R"(SELECT "version" FROM "RegisterVersion")")
                                     : QStringLiteral("PRAGMA user_version"));
}

QStringList clashLines(const QList<Clash>& clashes) {
    QStringList out;
    for (const Clash& c : clashes)
        out << QStringLiteral("%1 %2 on %3").arg(c.itemId).arg(c.itemDesc).arg(c.other.listId);
    return out;
}

}  // namespace

class TestBookings : public QObject {
    Q_OBJECT
    StoreFixture fixture_;

private slots:
    void initTestCase_data() { fixture_.addEngineRows(); }
    void initTestCase() {
        const QString skip = fixture_.startServer();
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
    }

    // The clash rule, list a against list b (of the same id when `same`).
    void clashRule_data() {
        QTest::addColumn<ListPlan>("a");
        QTest::addColumn<ListPlan>("b");
        QTest::addColumn<bool>("same");
        QTest::addColumn<bool>("clash");
        const ListPlan may = confirmed(day(12, 5), day(15, 5));
        QTest::newRow("touching days") << may << confirmed(day(15, 5), day(20, 5)) << false << true;
        QTest::newRow("the day after")
            << may << confirmed(day(16, 5), day(20, 5)) << false << false;
        QTest::newRow("inside") << may << confirmed(day(13, 5), day(14, 5)) << false << true;
        QTest::newRow("open return")
            << confirmed(day(1, 5), {}) << confirmed(day(1, 9), day(2, 9)) << false << true;
        QTest::newRow("open out, before") << confirmed({}, day(11, 5)) << may << false << false;
        QTest::newRow("open out, reaching") << confirmed({}, day(12, 5)) << may << false << true;
        QTest::newRow("no dates") << confirmed({}, {}) << may << false << false;
        QTest::newRow("draft") << ListPlan{day(12, 5), day(15, 5), ListState::Draft} << may << false
                               << false;
        QTest::newRow("cancelled")
            << may << ListPlan{day(12, 5), day(15, 5), ListState::Cancelled} << false << false;
        QTest::newRow("returned") << ListPlan{day(12, 5), day(15, 5), ListState::Returned} << may
                                  << false << false;
        QTest::newRow("out") << ListPlan{day(10, 5), day(12, 5), ListState::Out} << may << false
                             << true;
        QTest::newRow("the same list twice") << may << may << true << false;
    }
    void clashRule() {
        QFETCH(ListPlan, a);
        QFETCH(ListPlan, b);
        QFETCH(bool, same);
        QFETCH(bool, clash);
        QCOMPARE(Bookings::clash(1, a, same ? 1 : 2, b), clash);
        QCOMPARE(Bookings::clash(same ? 1 : 2, b, 1, a), clash);
    }

    // How plans are said, refused and flagged.
    void wordsAndDueWhileOut() {
        QCOMPARE(Bookings::spanText(confirmed(day(12, 5), day(15, 5))),
                 QStringLiteral("from 12/5/2027 to 15/5/2027"));
        QCOMPARE(Bookings::spanText(confirmed(day(12, 5), {})),
                 QStringLiteral("from 12/5/2027 (no return date)"));
        QCOMPARE(Bookings::spanText(confirmed({}, day(15, 5))), QStringLiteral("until 15/5/2027"));
        QCOMPARE(Bookings::addAnywayQuestion(
                     45, QStringLiteral("Strobe"),
                     {{3, QStringLiteral("Stage left"), confirmed(day(12, 5), day(15, 5))}}),
                 QStringLiteral("Item 45 Strobe is booked on list 3 Stage left from 12/5/2027 to "
                                "15/5/2027. Add it anyway?"));
        QVERIFY(!Bookings::planProblem(confirmed(day(12, 5), day(10, 5))).isEmpty());
        QVERIFY(Bookings::planProblem(confirmed(day(12, 5), day(12, 5))).isEmpty());
        for (const ListState s : Bookings::kStates)
            QCOMPARE(Bookings::stateOfName(Bookings::stateName(s)), std::optional(s));
        const ListPlan may = confirmed(day(12, 5), day(15, 5));
        const auto dueOn = [](const QDate& d) { return TestsDue::dayOf(d); };
        QVERIFY(Bookings::dueWhileOut(may, dueOn(day(14, 5))));
        QVERIFY(!Bookings::dueWhileOut(may, dueOn(day(15, 5))));  // back that day
        QVERIFY(!Bookings::dueWhileOut(may, std::nullopt));
        QVERIFY(Bookings::dueWhileOut(confirmed(day(12, 5), {}), dueOn(day(1, 1).addYears(5))));
        QVERIFY(
            !Bookings::dueWhileOut({day(12, 5), day(15, 5), ListState::Draft}, dueOn(day(1, 5))));
    }

    // A plan that books an item booked elsewhere is refused with every
    // clash until accepted; once accepted it stays flagged, and saving it
    // again asks nothing new.
    void plansAreCheckedAsTheyAreSaved() {
        EngineRegister reg(fixture_);
        fill(reg);
        Probe p(reg.location());
        QCOMPARE(p.lists.setPlan(1, confirmed(day(12, 5), day(15, 5)), false),
                 SetPlanResult::Saved);
        QList<Clash> clashes;
        const ListPlan gig = confirmed(day(15, 5), day(20, 5));
        QCOMPARE(p.lists.setPlan(2, gig, false, &clashes), SetPlanResult::Clashes);
        QCOMPARE(clashLines(clashes), (QStringList{"45 Strobe on 1", "46 Haze on 1"}));
        QCOMPARE(*p.lists.plan(2), ListPlan{});
        QCOMPARE(p.lists.setPlan(2, gig, true), SetPlanResult::Saved);
        QCOMPARE(*p.lists.plan(2), gig);
        QCOMPARE(clashLines(*p.lists.clashingLines(1)),
                 (QStringList{"45 Strobe on 2", "46 Haze on 2"}));
        QCOMPARE(p.lists.setPlan(2, confirmed(day(14, 5), day(20, 5)), false),
                 SetPlanResult::Saved);
        // List 3 going Out over the same days clashes anew.
        QCOMPARE(p.lists.setPlan(3, {day(13, 5), {}, ListState::Out}, false, &clashes),
                 SetPlanResult::Clashes);
        QCOMPARE(clashLines(clashes), (QStringList{"45 Strobe on 1", "45 Strobe on 2"}));
        // Draft and Cancelled lists book nothing.
        QCOMPARE(p.lists.setPlan(3, {day(13, 5), {}, ListState::Cancelled}, false),
                 SetPlanResult::Saved);
        QCOMPARE(p.lists.setPlan(3, {}, false), SetPlanResult::Saved);
        QCOMPARE(reg.count(QStringLiteral("ListPlans")), 2);  // a dateless draft keeps no row
        QCOMPARE(p.lists.setPlan(3, confirmed(day(15, 5), day(1, 5)), true),
                 SetPlanResult::Invalid);
        QCOMPARE(p.lists.setPlan(9, confirmed(day(1, 5), day(2, 5)), true),
                 SetPlanResult::ListGone);
        QCOMPARE(p.lists.plans()->keys().size(), 2);
        // What the item viewer lists: the bookings not yet back.
        QStringList coming;
        const auto bookings = p.lists.comingBookings(45, day(15, 5));
        for (const Booking& b : *bookings)
            coming << Bookings::bookedWithNameText(b);
        QCOMPARE(coming, (QStringList{"booked on list 1 Stage left from 12/5/2027 to 15/5/2027",
                                      "booked on list 2 Gig from 14/5/2027 to 20/5/2027"}));
        QCOMPARE(p.lists.comingBookings(45, day(21, 5))->size(), 0);
        // Strobe is due for test before list 1 comes back; Haze needs none.
        QCOMPARE(*p.lists.linesDueWhileOut(1), QList<qint64>{45});
        QCOMPARE(*p.lists.linesDueWhileOut(4), QList<qint64>{});
        // Deleting a list takes its plan and lines along.
        QVERIFY(p.lists.remove(1));
        QCOMPARE(reg.count(QStringLiteral("ListPlans")), 1);
        QCOMPARE(p.lists.clashingLines(2)->size(), 0);
        QVERIFY2(p.messages.isEmpty(), qPrintable(p.messages.join('\n')));
    }

    // Adding a line to a holding list asks first when another books the item.
    void addingABookedItemIsRefusedUntilAccepted() {
        EngineRegister reg(fixture_);
        fill(reg);
        reg.exec(QStringLiteral(R"(DELETE FROM "ListData" WHERE "listid" = 2)"));
        Probe p(reg.location());
        QCOMPARE(p.lists.setPlan(1, confirmed(day(12, 5), day(15, 5)), false),
                 SetPlanResult::Saved);
        QCOMPARE(p.lists.addLine(2, 45, QStringLiteral("Strobe")),
                 AddLineResult::Added);  // a draft
        QVERIFY(p.lists.removeLine(2, 45));
        QCOMPARE(p.lists.setPlan(2, confirmed(day(15, 5), {}), false), SetPlanResult::Saved);
        QList<Booking> booked;
        QCOMPARE(p.lists.addLine(2, 45, QStringLiteral("Strobe"), false, &booked),
                 AddLineResult::Booked);
        QCOMPARE(Bookings::addAnywayQuestion(45, QStringLiteral("Strobe"), booked),
                 QStringLiteral("Item 45 Strobe is booked on list 1 Stage left from 12/5/2027 to "
                                "15/5/2027. Add it anyway?"));
        QCOMPARE(reg.count(QStringLiteral("ListData")), 3);
        QCOMPARE(p.lists.addLine(2, 45, QStringLiteral("Strobe"), true), AddLineResult::Added);
        QCOMPARE(p.lists.addLine(2, 45, QStringLiteral("Strobe"), true),
                 AddLineResult::AlreadyOnList);
        QCOMPARE(clashLines(*p.lists.clashingLines(2)), QStringList{"45 Strobe on 1"});
    }

    // The Availability window's reads: a page of items, their bookings in
    // the range marked where they clash, and only the free ones.
    void availability() {
        EngineRegister reg(fixture_);
        fill(reg);
        reg.exec(QStringLiteral(
            R"(INSERT INTO "Items" ("id", "desc", "category") VALUES (47, 'Par', 'Lighting'),
               (48, 'Spot', 'Lighting'))"));
        Probe p(reg.location());
        QCOMPARE(p.lists.setPlan(1, confirmed(day(12, 5), day(15, 5)), false),
                 SetPlanResult::Saved);
        QCOMPARE(p.lists.setPlan(3, confirmed(day(1, 6), day(3, 6)), false), SetPlanResult::Saved);
        QCOMPARE(p.lists.setPlan(2, confirmed(day(2, 6), day(9, 6)), true), SetPlanResult::Saved);
        AvailabilityFilter f{day(1, 5), day(31, 5), QStringLiteral("Lighting"), 0, false};
        QCOMPARE(p.lists.availabilityCount(f), std::optional<qint64>(3));
        QCOMPARE(names(*p.lists.availabilityPage(f, 1, 5)), (QStringList{"Par", "Spot"}));
        f.freeOnly = true;
        QCOMPARE(p.lists.availabilityCount(f), std::optional<qint64>(2));
        QCOMPARE(p.lists.availabilityPage(f, 0, 5)->ids, (std::vector<std::int64_t>{47, 48}));
        f.from = day(16, 5);  // after list 1 is back, before list 3 leaves
        QCOMPARE(p.lists.availabilityCount(f), std::optional<qint64>(3));
        f = {day(1, 5), day(31, 5), std::nullopt, 1, false};
        QCOMPARE(p.lists.availabilityPage(f, 0, 5)->ids, (std::vector<std::int64_t>{46, 45}));
        // May: list 1 alone, no clash; in June lists 3 and 2 clash over 45.
        const qint64 ids[] = {45, 46, 47};
        QStringList bars;
        const auto bookings = p.lists.bookingsOf(ids, day(1, 5), day(1, 6));
        for (const ItemBooking& b : *bookings)
            bars << QStringLiteral("%1 on %2%3")
                        .arg(b.itemId)
                        .arg(b.booking.listId)
                        .arg(b.clash ? QStringLiteral(" clash") : QString());
        // List 3's clash with list 2 lies after the range: marked all the same.
        QCOMPARE(bars, (QStringList{"45 on 1", "45 on 3 clash", "46 on 1"}));

        // The window's choices: each category once (none empty), every list.
        reg.exec(QStringLiteral(
            R"(INSERT INTO "Items" ("id", "desc", "category") VALUES (49, 'Cable', ''),
               (50, 'Amp', NULL), (51, 'Lamp', 'Lighting'))"));
        QCOMPARE(p.items.categories(), (std::optional<QStringList>{{"Effects", "Lighting"}}));
        QCOMPARE(names(*p.lists.all()), (QStringList{"Stage left", "Gig", "Spare", "Empty"}));
    }

    // Two desks confirm clashing lists at the same moment: the second waits
    // for the first's turn, then finds the clash; never both saved silently.
    void twoDesksConfirmingAtOnce() {
        EngineRegister reg(fixture_);
        fill(reg);
        std::atomic<int> ready = 0;
        SetPlanResult results[2];
        QStringList messages[2];
        const auto desk = [&](int d) {
            Register opened(reg.location(), [&messages, d](const QString& m) { messages[d] << m; });
            ListStore lists(opened);
            ++ready;
            while (ready < 2)
                QThread::yieldCurrentThread();
            results[d] = lists.setPlan(d + 1, confirmed(day(12, 5), day(15, 5)), false);
        };
        // On a server another desk holds the turn until both wait for it.
        std::unique_ptr<PostgresServer::Holder> turn;
        if (reg.onServer())
            turn = std::make_unique<PostgresServer::Holder>(
                fixture_.server().connectionString(reg.database()),
                R"(SELECT * FROM "Data" FOR UPDATE)");
        std::thread one(desk, 0), two(desk, 1);
        while (ready < 2)
            QThread::yieldCurrentThread();
        QThread::msleep(300);
        turn.reset();
        one.join();
        two.join();
        QVERIFY2(messages[0].isEmpty() && messages[1].isEmpty(),
                 qPrintable(messages[0].join('\n') + messages[1].join('\n')));
        QCOMPARE(std::minmax(int(results[0]), int(results[1])),
                 std::minmax(int(SetPlanResult::Saved), int(SetPlanResult::Clashes)));
        QCOMPARE(reg.count(QStringLiteral("ListPlans")), 1);
    }

    // A version-3 register gets the plans on upgrade, after its backup.
    void upgradeFromVersionThree() {
        EngineRegister reg(fixture_);
        fill(reg);
        reg.exec(QStringLiteral(R"(DROP TABLE "ChangeLog"; DROP TABLE "ChangeBatches";
                                   DROP TABLE "ListPlans"; DROP INDEX "ListDataByItem";
                                   DROP INDEX "ItemsByCategory";)") +
                 (reg.onServer() ? QStringLiteral(R"(UPDATE "RegisterVersion" SET "version" = 3)")
                                 : QStringLiteral("PRAGMA user_version = 3")));
        Probe p(reg.location());
        p.reg.setBackupPolicy(
            {[] { return QDateTime(QDate(2026, 12, 9), QTime(8, 0)); }, [] { return 10; }, {}, {}});
        QVERIFY(p.reg.upgradeIfOlder());
        QCOMPARE(versionOf(reg), QString::number(Schema::kCurrentVersion));
        QCOMPARE(p.lists.setPlan(1, confirmed(day(12, 5), day(15, 5)), false),
                 SetPlanResult::Saved);
        QCOMPARE(names(*p.lists.lines(1)), (QStringList{"Strobe", "Haze"}));
        if (!reg.onServer()) {
            const QDir backups(RegisterFolder::backupFolder(reg.location().text()));
            const QStringList files = backups.entryList({QStringLiteral("*.mdb")}, QDir::Files);
            QCOMPARE(files.size(), 1);
            Register backup(backups.filePath(files.first()));
            QVERIFY(!ListStore(backup).plan(1));  // as it was: no plans yet
        }
    }

    // quarvel --export bookings FILE: every line of the lists with a plan.
    void exportBookings() {
        EngineRegister reg(fixture_);
        fill(reg);
        Probe p(reg.location());
        QCOMPARE(p.lists.setPlan(1, confirmed(day(12, 5), day(15, 5)), false),
                 SetPlanResult::Saved);
        QCOMPARE(p.lists.setPlan(3, {{}, day(12, 5), ListState::Out}, true), SetPlanResult::Saved);
        QCOMPARE(p.lists.setPlan(2, {{}, {}, ListState::Cancelled}, false), SetPlanResult::Saved);
        const QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("bookings.csv"));
        QString messages;
        QTextStream err(&messages);
        QCOMPARE(
            TransferCommands::run({QStringLiteral("--export"), QStringLiteral("bookings"), file},
                                  reg.location(), dir.filePath(QStringLiteral("q.ini")), err),
            int(TransferCommands::Done));
        err.flush();
        QVERIFY2(messages.contains(QStringLiteral("Exported 5 rows")), qPrintable(messages));
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll(), QByteArray("\xEF\xBB\xBFlist,item,out,return,state,clash\r\n"
                                           "1,45,12/5/2027,15/5/2027,Confirmed,Yes\r\n"
                                           "1,46,12/5/2027,15/5/2027,Confirmed,No\r\n"
                                           "2,45,,,Cancelled,No\r\n"
                                           "2,46,,,Cancelled,No\r\n"
                                           "3,45,,12/5/2027,Out,Yes\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestBookings)
#include "test_bookings.moc"
