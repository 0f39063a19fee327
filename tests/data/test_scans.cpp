// Scan sessions: the rules that parse and answer a scan, and the store that
// keeps every scan, upgrades a version-2 register to hold them and copies them.
#include <QTemporaryDir>
#include <QTest>

#include "StoreFixture.h"
#include "data/Register.h"
#include "data/ScanStore.h"
#include "data/register/RegisterTransfer.h"
#include "data/rules/ScanRules.h"

using namespace ScanRules;
Q_DECLARE_METATYPE(ScanRules::Kind)
Q_DECLARE_METATYPE(ScanRules::Verdict)

namespace {

const TestsDue::Window kWindow{QDate(2026, 12, 9), 30};
const QDateTime kNow(QDate(2026, 12, 9), QTime(10, 0));

// Items 1-2 loose in Bay 1, 3 loose in Bay 2, 4 in case 12 (in Bay 1), 5 in
// case 13 (in Bay 2); list 3 holds 1 (in date), 3 (never tested) and 4.
void fill(const EngineRegister& reg) {
    reg.exec(QStringLiteral(
        R"(INSERT INTO "Items" ("id", "desc", "warehouseloc", "caseID", "testinterval", "testnext")
           VALUES (1, 'Amp', 'Bay 1', 0, '12', '1/1/2027'), (2, 'Desk', 'bay 1', 0, 'none', ''),
           (3, 'Lamp', 'Bay 2', 0, '12', ''), (4, 'Cable', 'Bay 3', 12, 'none', ''),
           (5, 'Truss', 'Bay 1', 13, 'none', '');
           INSERT INTO "Cases" ("id", "FName", "FLocation") VALUES (12, 'Rack', 'Bay 1'),
           (13, 'Box', 'Bay 2');
           INSERT INTO "Lists" ("id", "ListName") VALUES (3, 'Gig');
           INSERT INTO "ListData" VALUES (3, 1, 'Amp'), (3, 3, 'Lamp'), (3, 4, 'Cable');
           UPDATE "Data" SET "lastid" = 5, "lastCase" = 13, "lastList" = 3)"));
}

// A register of version 2 on either engine: without the scan tables.
void toSecondVersion(const EngineRegister& reg) {
    reg.exec(QStringLiteral(R"(DROP TABLE "ChangeLog"; DROP TABLE "ChangeBatches";
                               DROP TABLE "ListPlans"; DROP INDEX "ListDataByItem";
                               DROP INDEX "ItemsByCategory";
                               DROP TABLE "ScanRecords"; DROP TABLE "ScanSessions";)") +
             (reg.onServer() ? QStringLiteral(R"(UPDATE "RegisterVersion" SET "version" = 2)")
                             : QStringLiteral("PRAGMA user_version = 2")));
}

QString versionOf(const EngineRegister& reg) {
    return reg.scalar(reg.onServer() ? QStringLiteral(R"(SELECT "version" FROM "RegisterVersion")")
                                     : QStringLiteral("PRAGMA user_version"));
}

Session sessionOf(ScanStore& store, Kind kind) {
    Session s{0,
              kind,
              kind == Kind::Stocktake ? QStringLiteral("Bay 1") : QString(),
              kind == Kind::Stocktake ? 0 : 3,
              kNow,
              {},
              QStringLiteral("ann")};
    s.id = store.startSession(s).value_or(0);
    return s;
}

// Items 12 and 13 loose in Bay 2, beside cases of the same ids; list 3 also
// holds 13 and 5 (in case 13).
void fillLookAlikes(const EngineRegister& reg) {
    reg.exec(QStringLiteral(
        R"(INSERT INTO "Items" ("id", "desc", "warehouseloc", "caseID", "testinterval", "testnext")
           VALUES (12, 'Mic', 'Bay 2', 0, 'none', ''), (13, 'Stand', 'Bay 2', 0, 'none', '');
           INSERT INTO "ListData" VALUES (3, 13, 'Stand'), (3, 5, 'Truss'))"));
}

QStringList answersOf(ScanStore& store, const Session& s, const QStringList& codes) {
    QStringList answers;
    for (const QString& code : codes)
        answers << store.record(s, parse(code), kNow, kWindow).value_or(Answer{}).text();
    return answers;
}

}  // namespace

// The store's part runs on a file and on a server (StoreFixture).
class TestScans : public QObject {
    Q_OBJECT
    StoreFixture fixture_;

private slots:
    void initTestCase_data() { fixture_.addEngineRows(); }
    void initTestCase() {
        const QString skip = fixture_.startServer();
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
    }

    void parsesCodes_data() {
        QTest::addColumn<QString>("scanned");
        QTest::addColumn<QString>("code");
        for (const auto& [in, out] :
             std::initializer_list<std::pair<const char*, const char*>>{{"123", "123"},
                                                                        {" 123\r", "123"},
                                                                        {"F12", "F12"},
                                                                        {"f12", "F12"},
                                                                        {"L3", "L3"},
                                                                        {"007", "7"},
                                                                        {"0", ""},
                                                                        {"12a", ""},
                                                                        {"F", ""},
                                                                        {"-5", ""},
                                                                        {"1 2", ""},
                                                                        {"", ""},
                                                                        {"X12", ""},
                                                                        {"1234567890123456", ""},
                                                                        {"&\xE9\"'", "1234"},
                                                                        {"F&\xE9", "F12"},
                                                                        {"&e", ""},
                                                                        {"1&", ""}})
            QTest::newRow(in) << QString::fromLatin1(in) << QString::fromLatin1(out);
    }
    void parsesCodes() {
        QFETCH(QString, scanned);
        QFETCH(QString, code);
        QCOMPARE(parse(scanned).text(), code);
    }

    // Every answer of every kind, through the store as the window asks it.
    void answersEachScan_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QStringList>("answers");
        QTest::newRow("stocktake")
            << Kind::Stocktake
            << QStringList{"1", "2", "3", "4", "5", "F12", "F13", "1", "99", "F99", "x"}
            << QStringList{"here",
                           "here",
                           "belongs elsewhere: Bay 2",
                           "in case F12",
                           "belongs elsewhere: Bay 2 (in case F13)",
                           "here",
                           "belongs elsewhere: Bay 2",
                           "already scanned",
                           "no such item",
                           "no such item",
                           "not an item or case code"};
        QTest::newRow("pack") << Kind::Pack << QStringList{"1", "3", "2", "1", "F12", "99", "L3"}
                              << QStringList{"packed",
                                             "packed \u2014 NEVER TESTED",
                                             "not on this list",
                                             "already packed",
                                             "1 item packed",
                                             "no such item",
                                             "not an item or case code"};
    }
    void answersEachScan() {
        QFETCH(Kind, kind);
        QFETCH(QStringList, codes);
        QFETCH(QStringList, answers);
        EngineRegister reg(fixture_);
        fill(reg);
        Register opened(reg.location());
        ScanStore store(opened);
        const Session s = sessionOf(store, kind);
        QVERIFY(s.id > 0);
        QCOMPARE(answersOf(store, s, codes), answers);
        QCOMPARE(reg.count(QStringLiteral("ScanRecords")), codes.size() - 1);  // refused: not kept
    }

    // Case labels carry the bare id: a number that is a case the session
    // expects, and not an item it expects, is that case (while packing and
    // checking in, its items on the list); where both or neither are
    // expected, nothing is stored and the answer asks which.
    void caseLabels_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QStringList>("packedFirst");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("stored");
        QTest::newRow("stocktake")
            << Kind::Stocktake << "Bay 1" << QStringList{}
            << QStringList{"12", "13", "&\u00E9", "4"}
            << QStringList{"F12 (case label) - here", "13 - item 13 or case F13?",
                           "F12 (case label) - already scanned", "4 - in case F12"}
            << 3;
        QTest::newRow("stocktake, both expected")
            << Kind::Stocktake << "Bay 2" << QStringList{} << QStringList{"13", "12"}
            << QStringList{"13 - item 13 or case F13?", "12 - here"} << 1;
        QTest::newRow("pack") << Kind::Pack << QString() << QStringList{}
                              << QStringList{"12", "4", "13", "F13", "12", "1"}
                              << QStringList{"F12 (case label) - 1 item packed",
                                             "4 - already packed",
                                             "13 - item 13 or case F13?",
                                             "F13 - 1 item packed",
                                             "F12 (case label) - already packed",
                                             "1 - packed"}
                              << 5;
        QTest::newRow("check in") << Kind::CheckIn << QString() << QStringList{"F12"}
                                  << QStringList{"12", "13", "F13", "12"}
                                  << QStringList{"F12 (case label) - 1 item back",
                                                 "13 - item 13 or case F13?",
                                                 "F13 - 1 item was not packed",
                                                 "F12 (case label) - already scanned"}
                                  << 3;
    }
    void caseLabels() {
        QFETCH(Kind, kind);
        QFETCH(QString, location);
        QFETCH(QStringList, packedFirst);
        QFETCH(QStringList, codes);
        QFETCH(QStringList, lines);
        QFETCH(int, stored);
        EngineRegister reg(fixture_);
        fill(reg);
        fillLookAlikes(reg);
        Register opened(reg.location());
        ScanStore store(opened);
        if (!packedFirst.isEmpty())
            answersOf(store, sessionOf(store, Kind::Pack), packedFirst);
        Session s = sessionOf(store, kind);
        s.location = location;
        QStringList answered;
        for (const QString& scanned : codes) {
            const Code code = parse(scanned);
            answered << answerLine(scanned, code, *store.record(s, code, kNow, kWindow));
        }
        QCOMPARE(answered, lines);
        QCOMPARE(store.records(s.id)->size(), stored);
    }

    // A case's answer counts its items on the list that were not scanned before.
    void caseAnswers_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QList<Verdict>>("items");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("problem");
        QTest::newRow("packed, one warned")
            << Kind::Pack
            << QList<Verdict>{Verdict::Packed, Verdict::Packed, Verdict::AlreadyPacked}
            << "2 items packed \u2014 test warning: 2" << true;
        QTest::newRow("all packed before")
            << Kind::Pack << QList<Verdict>{Verdict::AlreadyPacked} << "already packed" << true;
        QTest::newRow("back and not packed")
            << Kind::CheckIn << QList<Verdict>{Verdict::Back, Verdict::Back, Verdict::WasNotPacked}
            << "2 items back, 1 was not packed" << true;
        QTest::newRow("none packed")
            << Kind::CheckIn << QList<Verdict>{Verdict::WasNotPacked, Verdict::WasNotPacked}
            << "2 items were not packed" << true;
        QTest::newRow("back") << Kind::CheckIn
                              << QList<Verdict>{Verdict::Back, Verdict::AlreadyScanned}
                              << "1 item back" << false;
    }
    void caseAnswers() {
        QFETCH(Kind, kind);
        QFETCH(QList<Verdict>, items);
        QFETCH(QString, text);
        QFETCH(bool, problem);
        QList<QPair<qint64, Answer>> answers;
        for (const Verdict v : items) {
            Answer a;
            a.verdict = v;
            a.testWarning = answers.size() == 1;  // the second item: overdue
            answers.append({answers.size() + 1, a});
        }
        const Answer answer = caseAnswer(kind, answers);
        QCOMPARE(answer.text(), text);
        QCOMPARE(answer.problem(), problem);
    }

    // Packed out, checked in: what did not come back is still out.
    void checkInAgainstTheLastPack() {
        EngineRegister reg(fixture_);
        fill(reg);
        Register opened(reg.location());
        ScanStore store(opened);
        const Session pack = sessionOf(store, Kind::Pack);
        answersOf(store, pack, {"1", "3"});
        const Session in = sessionOf(store, Kind::CheckIn);
        QCOMPARE(answersOf(store, in, {"1", "4", "2", "1"}),
                 (QStringList{"back", "was not packed", "not on this list", "already scanned"}));
        const Summary summary =
            summarise(Kind::CheckIn, *store.records(in.id), *store.expected(in));
        QCOMPARE(summary.missing.size(), 1);
        QCOMPARE(summary.missing[0].code.text(), QStringLiteral("3"));
    }

    // The summary, Move (items in a case stay with it) and Last seen.
    void stocktakeSummaryAndMove() {
        EngineRegister reg(fixture_);
        fill(reg);
        Register opened(reg.location());
        ScanStore store(opened);
        const Session s = sessionOf(store, Kind::Stocktake);
        answersOf(store, s, {"1", "3", "5", "F13", "F12", "1"});
        const Summary summary =
            summarise(Kind::Stocktake, *store.records(s.id), *store.expected(s));
        QCOMPARE(summary.counts,
                 (QList<QPair<QString, int>>{
                     {"here", 2}, {"belongs elsewhere", 3}, {"already scanned", 1}}));
        QStringList missing;
        for (const Expected& e : summary.missing)
            missing << e.code.text();
        QCOMPARE(missing, QStringList{"2"});  // 4 is in the scanned case F12
        QCOMPARE(summary.misplaced.size(), 3);
        QCOMPARE(summary.movable, 2);  // 3 and F13; 5 stays in its case
        QCOMPARE(store.moveMisplaced(s.id, s.location), std::optional<int>(2));
        QCOMPARE(reg.scalar(QStringLiteral(R"(SELECT "warehouseloc" FROM "Items" WHERE "id" = 3)")),
                 QStringLiteral("Bay 1"));
        QCOMPARE(reg.scalar(QStringLiteral(R"(SELECT "FLocation" FROM "Cases" WHERE "id" = 13)")),
                 QStringLiteral("Bay 1"));
        QCOMPARE(*store.lastSeen(3), QStringLiteral("Last seen: 9/12/2026, Bay 1 (stocktake)"));
        QCOMPARE(*store.lastSeen(2), QString());
        // Open until finished; then no longer offered.
        QCOMPARE(store.unfinishedSessions()->size(), 1);
        QVERIFY(store.finishSession(s.id, kNow));
        QVERIFY(store.unfinishedSessions()->isEmpty());
    }

    // Packing a list with dates: an item another holding list books over
    // its days is packed, and answered as a problem kept in the summary.
    // The finished pack sets a confirmed list Out, the finished check in
    // Returned; a Draft list (never confirmed, so never clash-checked) and a
    // list without a plan stay as they were.
    void packingABookedItemAndTheListsState() {
        EngineRegister reg(fixture_);
        fill(reg);
        reg.exec(QStringLiteral(
            R"(INSERT INTO "Lists" ("id", "ListName") VALUES (4, 'Stage left'), (5, 'Spare');
               INSERT INTO "ListData" VALUES (4, 1, 'Amp'), (4, 4, 'Cable'), (5, 3, 'Lamp');
               INSERT INTO "ListPlans" VALUES (3, '2027-05-12', '2027-05-15', 'Draft'),
               (4, '2027-05-15', '2027-05-20', 'Confirmed'), (5, '2027-05-01', NULL, 'Cancelled'))"));
        Register opened(reg.location());
        ScanStore store(opened);
        const Session pack = sessionOf(store, Kind::Pack);
        const QString booked =
            QStringLiteral("packed \u2014 booked on list 4 from 15/5/2027 to 20/5/2027");
        const auto first = store.record(pack, parse("1"), kNow, kWindow);
        QCOMPARE(first->text(), booked);
        QVERIFY(first->problem());
        QCOMPARE(answersOf(store, pack, {"3", "F12"}),
                 (QStringList{"packed \u2014 NEVER TESTED",
                              "1 item packed \u2014 booked elsewhere: 4"}));
        const Summary summary =
            summarise(Kind::Pack, *store.records(pack.id), *store.expected(pack));
        QCOMPARE(summary.booked.size(), 2);
        QVERIFY2(summaryText(Kind::Pack, summary)
                     .contains(QStringLiteral("2 booked elsewhere:\n  1 - ") + booked),
                 qPrintable(summaryText(Kind::Pack, summary)));
        const QString state =
            QStringLiteral(R"(SELECT "state" FROM "ListPlans" WHERE "listid" = 3)");
        QVERIFY(store.finishSession(pack.id, kNow));
        QCOMPARE(reg.scalar(state), QStringLiteral("Draft"));
        reg.exec(
            QStringLiteral(R"(UPDATE "ListPlans" SET "state" = 'Confirmed' WHERE "listid" = 3)"));
        const Session again = sessionOf(store, Kind::Pack);
        QCOMPARE(answersOf(store, again, {"3"}), QStringList{"packed \u2014 NEVER TESTED"});
        QVERIFY(store.finishSession(again.id, kNow));
        QCOMPARE(reg.scalar(state), QStringLiteral("Out"));
        const Session in = sessionOf(store, Kind::CheckIn);
        QCOMPARE(answersOf(store, in, {"3"}), QStringList{"back"});  // counted as packed
        QVERIFY(store.finishSession(in.id, kNow));
        QCOMPARE(reg.scalar(state), QStringLiteral("Returned"));
        // List 3 without its plan: packed as ever, and no plan made for it.
        reg.exec(QStringLiteral(R"(DELETE FROM "ListPlans" WHERE "listid" = 3)"));
        const Session plain = sessionOf(store, Kind::Pack);
        QCOMPARE(answersOf(store, plain, {"1"}), QStringList{"packed"});
        QVERIFY(store.finishSession(plain.id, kNow));
        QCOMPARE(reg.count(QStringLiteral("ListPlans")), 2);
    }

    // A version-2 register gets the scan tables on upgrade; --copy carries them.
    void upgradeAndCopyCarryTheScans() {
        EngineRegister reg(fixture_);
        fill(reg);
        toSecondVersion(reg);
        Register opened(reg.location());
        ScanStore store(opened);
        QVERIFY(opened.upgradeIfOlder());
        QCOMPARE(versionOf(reg), QString::number(Schema::kCurrentVersion));
        const Session s = sessionOf(store, Kind::Stocktake);
        answersOf(store, s, {"1", "3"});
        const QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("copy.mdb"));
        const auto outcome = RegisterTransfer::copy(reg.location(), RegisterLocation::file(copy));
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        Register copyOpened(copy);
        ScanStore copied(copyOpened);
        QCOMPARE(copied.records(s.id)->size(), 2);
        QCOMPARE(copied.session(s.id)->user, QStringLiteral("ann"));
    }
};

QTEST_GUILESS_MAIN(TestScans)
#include "test_scans.moc"
