#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include "TempRegister.h"
#include "cli/TransferCommands.h"
#include "data/IdStore.h"
#include "data/ItemStore.h"
#include "data/Register.h"
#include "data/TestRecordStore.h"
#include "data/TreeStore.h"
#include "data/engine/Sqlite.h"
#include "data/rules/TestsDue.h"
#include "data/rules/TextRules.h"

using namespace TestsDue;

Q_DECLARE_METATYPE(TestsDue::Status)

namespace {

const QDate kToday(2024, 3, 15);

QString dueText(const Due& due) {
    return due.day ? dateText(*due.day) : QString();
}

// `quarvel` with the arguments on the register; the exit code and its messages.
int runCommand(const QStringList& args, const TempRegister& reg, QString* messages) {
    QTextStream stream(messages);
    const QTemporaryDir settings;
    return TransferCommands::run(args, reg.path(), settings.filePath("q.ini"), stream);
}

QString fileText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

}  // namespace

class TestTestsDue : public QObject {
    Q_OBJECT
private slots:
    // interval, last, next, failed -> status and due date, on 15/3/2024 with
    // a window of 30 days.
    void rule_data() {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("next");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<Status>("status");
        QTest::addColumn<QString>("due");

        QTest::newRow("next only, in date") << ""
                                            << ""
                                            << "1/6/2024" << false << Status::InDate << "1/6/2024";
        QTest::newRow("last + interval") << "12"
                                         << "10/2/2023"
                                         << "" << false << Status::Overdue << "10/2/2024";
        QTest::newRow("both: next wins") << "12"
                                         << "10/2/2023"
                                         << "20/3/2024" << false << Status::DueSoon << "20/3/2024";
        QTest::newRow("31/1 + 1 month") << "1 month"
                                        << "31/1/2025"
                                        << "" << false << Status::InDate << "28/2/2025";
        QTest::newRow("31/1 + 1 month, leap year") << "1m"
                                                   << "31/1/2024"
                                                   << "" << false << Status::Overdue << "29/2/2024";
        QTest::newRow("29/2 + 12 months") << "1 Year"
                                          << "29/2/2024"
                                          << "" << false << Status::InDate << "28/2/2025";
        QTest::newRow("units and blanks") << " 18 MO "
                                          << "1/1/2023"
                                          << "" << false << Status::InDate << "1/7/2024";
        QTest::newRow("two years") << "2 years"
                                   << "16/3/2022"
                                   << "" << false << Status::DueSoon << "16/3/2024";
        QTest::newRow("interval 0") << "0"
                                    << "1/1/2024"
                                    << "" << false << Status::Unreadable << "";
        QTest::newRow("interval blank") << ""
                                        << "1/1/2024"
                                        << "" << false << Status::Unreadable << "";
        QTest::newRow("interval twelve") << "twelve"
                                         << "1/1/2024"
                                         << "" << false << Status::Unreadable << "";
        QTest::newRow("interval 12 weeks") << "12 weeks"
                                           << "1/1/2024"
                                           << "" << false << Status::Unreadable << "";
        QTest::newRow("31/2/2024") << ""
                                   << ""
                                   << "31/2/2024" << false << Status::Unreadable << "";
        QTest::newRow("1/13/2024") << ""
                                   << ""
                                   << "1/13/2024" << false << Status::Unreadable << "";
        QTest::newRow("01/02/24") << ""
                                  << ""
                                  << "01/02/24" << false << Status::Unreadable << "";
        QTest::newRow("leading zeros, four-digit year")
            << ""
            << ""
            << "01/02/2024" << false << Status::Overdue << "1/2/2024";
        QTest::newRow("1-2-2024") << ""
                                  << ""
                                  << "1-2-2024" << false << Status::Unreadable << "";
        QTest::newRow("blank inside") << ""
                                      << ""
                                      << "1/ 2/2024" << false << Status::Unreadable << "";
        QTest::newRow("blank after") << ""
                                     << ""
                                     << "1/2/2024 " << false << Status::Unreadable << "";
        QTest::newRow("unreadable next is not passed over")
            << "12"
            << "1/1/2024"
            << "soon" << false << Status::Unreadable << "";
        QTest::newRow("unreadable last") << "12"
                                         << "yesterday"
                                         << "" << false << Status::Unreadable << "";
        QTest::newRow("blanks only: never tested") << "12"
                                                   << "  "
                                                   << " " << false << Status::NeverTested << "";
        QTest::newRow("never tested") << "12"
                                      << ""
                                      << "" << false << Status::NeverTested << "";
        QTest::newRow("due yesterday") << ""
                                       << ""
                                       << "14/3/2024" << false << Status::Overdue << "14/3/2024";
        QTest::newRow("due today is not overdue")
            << ""
            << ""
            << "15/3/2024" << false << Status::DueSoon << "15/3/2024";
        QTest::newRow("today + window") << ""
                                        << ""
                                        << "14/4/2024" << false << Status::DueSoon << "14/4/2024";
        QTest::newRow("a day beyond the window")
            << ""
            << ""
            << "15/4/2024" << false << Status::InDate << "15/4/2024";
        QTest::newRow("failed, though in date")
            << "12"
            << "1/3/2024"
            << "1/3/2025" << true << Status::Failed << "1/3/2025";
        QTest::newRow("failed, never tested") << ""
                                              << ""
                                              << "" << true << Status::Failed << "";
        // Items that need no test are never due, whatever their dates say.
        for (const char* none : {"none", " N/A ", "Not Required", "-", "NONE\t"})
            QTest::newRow(none) << none << "1/1/2000"
                                << "1/1/2001" << false << Status::NoTestNeeded << "";
        QTest::newRow("no test needed, but failed") << "n/a"
                                                    << ""
                                                    << "" << true << Status::Failed << "";
        QTest::newRow("not needed, said otherwise") << "not needed"
                                                    << "1/1/2024"
                                                    << "" << false << Status::Unreadable << "";
    }
    void rule() {
        QFETCH(QString, interval);
        QFETCH(QString, last);
        QFETCH(QString, next);
        QFETCH(bool, failed);
        QFETCH(Status, status);
        QFETCH(QString, due);
        const QByteArray i = interval.toUtf8(), l = last.toUtf8(), n = next.toUtf8();
        const Due result =
            dueOf({i.toStdString(), l.toStdString(), n.toStdString()}, failed, Window{kToday, 30});
        QCOMPARE(statusName(result.status), statusName(status));
        QCOMPARE(dueText(result), due);
    }

    void noTestNeededIsNeverAsked() {
        const Due due = dueOf({"none", "", ""}, false, Window{kToday, 30});
        QVERIFY(goingOutQuestion(7, due).isEmpty());
        Counts counts;
        counts.add(due.status);
        QCOMPARE(statusLine(counts, 30), QStringLiteral("0 overdue \u00b7 0 due within 30 days"));
        QCOMPARE(caseTestsText(counts), QStringLiteral("none needed"));
        counts.add(Status::Overdue);
        counts.add(Status::Overdue);
        counts.add(Status::DueSoon);
        QCOMPARE(caseTestsText(counts), QStringLiteral("2 overdue"));
    }

    // "Due by" reaches every item due by then, in date today or not; an
    // item that needs no test never comes.
    void dueByReadsEveryItemDueByThen() {
        TempRegister reg;
        reg.exec(QStringLiteral(
            "INSERT INTO Items (id, \"desc\", testinterval, testnext) VALUES"
            " (1, 'Soon', '', '1/4/2024'), (2, 'In 200 days', '', '1/10/2024'),"
            " (3, 'In 10 months', '', '15/1/2025'), (4, 'Next year', '', '1/6/2025'),"
            " (5, 'Rope', 'none', '')"));
        Register opened(reg.path());
        TestRecordStore tests(opened);
        const auto ids = [&](std::optional<Day> dueBy) {
            const auto due = tests.due(Window{kToday, 30}, dueBy);
            return QList<qint64>(due->ids.begin(), due->ids.end());
        };
        QCOMPARE(ids(std::nullopt), QList<qint64>{1});
        QCOMPARE(ids(dayOf(QDate(2025, 3, 15))), (QList<qint64>{1, 2, 3}));
        QCOMPARE(tests.due(Window{kToday, 30})->counts[Status::NoTestNeeded], 1);
    }

    // The lines the Tests Due window shows when it opens, most urgent first.
    void exportCommandWritesTheTestsDue() {
        TempRegister reg;
        const QDate today = QDate::currentDate();
        reg.exec(QStringLiteral("INSERT INTO Cases (id, FName) VALUES (2, 'Rack');"
                                "INSERT INTO Items (id, \"desc\", category, warehouseloc, caseID, "
                                "testinterval, testnext) VALUES"
                                " (1, 'Amp', 'Sound', 'Bay 1', 2, '', '%1'),"
                                " (2, 'Drill', 'Tools', '', 0, '12', ''),"
                                " (3, 'Rope', '', '', 0, 'none', ''),"
                                " (4, 'Lamp', '', '', 0, '', '%2')")
                     .arg(TextRules::dateText(today.addDays(-3)),
                          TextRules::dateText(today.addDays(200))));
        const QString file = reg.folder() + QStringLiteral("/due.csv");
        QString messages;
        QCOMPARE(runCommand({"--export", "Tests", file}, reg, &messages), 0);
        QCOMPARE(fileText(file),
                 QStringLiteral("status,due date,days,id,description,category,location,case\r\n"
                                "Overdue,%1,-3,1,Amp,Sound,Bay 1,F2\r\n"
                                "Never tested,,,2,Drill,Tools,,\r\n")
                     .arg(TextRules::dateText(today.addDays(-3))));
        QVERIFY(messages.contains(QStringLiteral("Exported 2 items")));
    }

    // A deleted item's tests stay, under an id no other item gets.
    void deletedItemsKeepTheirTestsAndTheirId() {
        TempRegister reg;
        reg.exec(QStringLiteral(
            "INSERT INTO Items (id, \"desc\", testinterval) VALUES (1, 'Amp', '12');"
            "INSERT INTO TestHistory VALUES (1, 1, 2460000, '23/2/2023', 'PAT', 'Fail', ''),"
            " (2, 5, 2460000, '23/2/2023', 'PAT', 'Pass', '')"));
        Register opened(reg.path());
        ItemStore items(opened);
        IdStore ids(opened);
        TestRecordStore tests(opened);
        QVERIFY(items.remove(1));
        QCOMPARE(reg.count(QStringLiteral("TestHistory")), 2);
        QCOMPARE(tests.deletedItemsWithTests().value_or(std::vector<qint64>{}),
                 (std::vector<qint64>{1, 5}));
        // The history of item 5 came with the register: 5 is taken too.
        QCOMPARE(ids.predicted(RecordTable::Items).value_or(0), qint64(6));
        QCOMPARE(items.insert({}).value_or(0), qint64(6));

        const QString file = reg.folder() + QStringLiteral("/items.csv");
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("id,desc\n1,New amp\n,Other\n");
        csv.close();
        QString messages;
        QCOMPARE(runCommand({"--import", file}, reg, &messages), 1);
        QVERIFY2(messages.contains(QStringLiteral(
                     "id 1 belonged to a deleted item with test records; leave the id empty "
                     "for a new one")),
                 qPrintable(messages));
        QCOMPARE(reg.count(QStringLiteral("Items")), 1);
        QVERIFY(tests.history(6)->isEmpty());
    }

    void windowIsASetting() {
        const Due due = dueOf({"", "", "1/5/2024"}, false, Window{kToday, 60});
        QCOMPARE(due.status, Status::DueSoon);
        QCOMPARE(dueOf({"", "", "1/5/2024"}, false, Window{kToday, 7}).status, Status::InDate);
    }

    void intervals_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("months");  // -1: unreadable
        QTest::newRow("plain") << "12" << 12;
        QTest::newRow("months") << "12 months" << 12;
        QTest::newRow("m") << "6 m" << 6;
        QTest::newRow("year") << "1 year" << 12;
        QTest::newRow("YRS") << "3YRS" << 36;
        QTest::newRow("mo") << "18 mo" << 18;
        QTest::newRow("blank inside number is ignored") << "1 2" << 12;
        QTest::newRow("hundred years") << "100 years" << 1200;
        QTest::newRow("beyond a hundred years") << "101 years" << -1;
        QTest::newRow("decimal") << "1.5 years" << -1;
        QTest::newRow("negative") << "-6" << -1;
        QTest::newRow("unit first") << "months 6" << -1;
        QTest::newRow("long text") << "12 months and a bit more" << -1;
    }
    void intervals() {
        QFETCH(QString, text);
        QFETCH(int, months);
        const IntervalReading r = readInterval(text.toStdString());
        QCOMPARE(r.reading == Reading::Read ? r.months : -1, months);
    }

    // One memo over many texts, each asked twice: the same as reading each.
    void intervalMemoReadsAsEachText() {
        const std::string_view texts[] = {
            "12",           "6 m", "none", " N/A ", "12 months and a bit more",
            "1 year",       "-6",  "",     "3YRS",  "18 mo",
            "not required", "1 2", "12 "};
        IntervalMemo memo;
        for (int round = 0; round < 2; ++round) {
            for (const std::string_view text : texts) {
                const IntervalClass read = classifyInterval(text), kept = memo.of(text);
                QCOMPARE(kept.noTest, read.noTest);
                QCOMPARE(kept.reading.reading, read.reading.reading);
                QCOMPARE(kept.reading.months, read.reading.months);
            }
        }
    }

    // Dates in the picker's form, with and without leading zeros, as QDate
    // reads them, across the calendar.
    void datesAsTheCalendarHasThem() {
        for (int year = 1; year <= 9999; year += 7) {
            for (int month = 1; month <= 12; ++month) {
                for (int day = 27; day <= 31; ++day) {
                    const QDate date(year, month, day);
                    for (const char* form : {"%d/%d/%04d", "%02d/%02d/%04d"}) {
                        const std::string text =
                            QString::asprintf(form, day, month, year).toStdString();
                        const DateReading r = readDate(text);
                        QCOMPARE(r.reading, date.isValid() ? Reading::Read : Reading::Unreadable);
                        if (date.isValid())
                            QCOMPARE(r.day, dayOf(date));
                    }
                }
            }
        }
    }

    // Day and month of one or two digits in every mix, and texts that come
    // near the picker's form without being it.
    void datesNearThePickersForm_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");  // invalid: unreadable
        QTest::newRow("d/mm") << "5/12/2009" << QDate(2009, 12, 5);
        QTest::newRow("dd/m") << "15/2/2009" << QDate(2009, 2, 15);
        QTest::newRow("0d/m") << "05/2/2009" << QDate(2009, 2, 5);
        QTest::newRow("two slashes") << "1//2/2009" << QDate();
        QTest::newRow("three-digit day") << "123/1/2009" << QDate();
        QTest::newRow("three-digit month") << "1/123/2009" << QDate();
        QTest::newRow("five-digit year") << "1/1/02009" << QDate();
        QTest::newRow("three-digit year") << "1/1/209" << QDate();
        QTest::newRow("letter in year") << "1/1/20a9" << QDate();
        QTest::newRow("letter for day") << "a/1/2009" << QDate();
        QTest::newRow("dashes") << "1-1-2009" << QDate();
        QTest::newRow("blank before") << " 1/1/2009" << QDate();
        QTest::newRow("blank after") << "1/1/2009 " << QDate();
        QTest::newRow("no such day") << "31/4/2009" << QDate();
        QTest::newRow("month 0") << "1/0/2009" << QDate();
        QTest::newRow("year 0") << "1/1/0000" << QDate();
    }
    void datesNearThePickersForm() {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        const DateReading r = readDate(text.toStdString());
        QCOMPARE(r.reading, date.isValid() ? Reading::Read : Reading::Unreadable);
        if (date.isValid())
            QCOMPARE(r.day, dayOf(date));
    }

    void addMonthsAcrossYears() {
        const Day day = dayOf(QDate(2023, 11, 30));
        QCOMPARE(dateOf(addMonths(day, 3)), QDate(2024, 2, 29));
        QCOMPARE(dateOf(addMonths(day, 1200)), QDate(2123, 11, 30));
        QCOMPARE(dateOf(readDate("31/12/9999").day), QDate(9999, 12, 31));
        QCOMPARE(dateOf(readDate("29/2/2000").day), QDate(2000, 2, 29));
        QCOMPARE(readDate("29/2/1900").reading, Reading::Unreadable);
    }

    void countsAndLines() {
        Counts counts;
        QCOMPARE(statusLine(counts, 30), QStringLiteral("0 overdue \u00b7 0 due within 30 days"));
        QCOMPARE(countsText(counts), QStringLiteral("nothing"));
        for (const Status s : {Status::Overdue, Status::Overdue, Status::DueSoon, Status::Failed,
                               Status::NeverTested, Status::InDate})
            counts.add(s);
        QCOMPARE(counts.total(), 6);
        QCOMPARE(statusLine(counts, 14),
                 QStringLiteral("2 overdue \u00b7 1 due within 14 days \u00b7 1 failed \u00b7 "
                                "1 never tested"));
        QCOMPARE(countsText(counts), QStringLiteral("1 failed \u00b7 2 overdue \u00b7 1 never "
                                                    "tested \u00b7 1 due soon \u00b7 1 in date"));
    }

    // A register of the first layout gets its test history on upgrade.
    void historyComesWithTheUpgrade() {
        TempRegister reg;
        reg.toFirstVersion();
        reg.exec(
            QStringLiteral("INSERT INTO Items (id, \"desc\", testinterval, testnext) "
                           "VALUES (1, 'Amp', '12', '1/1/2024')"));
        Register opened(reg.path());
        TestRecordStore tests(opened);
        TreeStore tree(opened);
        // Before the upgrade nothing has failed; the rule still works.
        QCOMPARE(tests.itemDue(1, Window{kToday, 30})->status, Status::Overdue);
        QVERIFY(opened.upgradeIfOlder());
        QCOMPARE(reg.scalar(QStringLiteral("PRAGMA user_version")).toInt(),
                 Schema::kCurrentVersion);
        QCOMPARE(tests.record(1, {QDate(2024, 3, 1), QStringLiteral("PAT"), false, {}}),
                 RecordTestResult::Recorded);
        QCOMPARE(tests.itemDue(1, Window{kToday, 30})->status, Status::Failed);
        QCOMPARE(tree.read(Window{kToday, 30})->testCounts[Status::Failed], 1);
    }

    void recordingKeepsTheNewestDates() {
        TempRegister reg;
        reg.exec(
            QStringLiteral("INSERT INTO Items (id, \"desc\", testinterval, testlast, "
                           "testnext) VALUES (1, 'Amp', 'monthly', '1/3/2024', '1/4/2024')"));
        Register opened(reg.path());
        TestRecordStore tests(opened);
        const auto record = [&](QDate date, bool passed, const char* note) {
            return tests.record(1, {date, QStringLiteral("Visual"), passed, note});
        };
        // An older test goes into the history but moves no date back.
        QCOMPARE(record(QDate(2024, 2, 1), false, "old"), RecordTestResult::Recorded);
        QCOMPARE(reg.scalar("SELECT testlast || '|' || testnext FROM Items").toString(),
                 QStringLiteral("1/3/2024|1/4/2024"));
        // Only a later recorded pass clears a failure.
        QCOMPARE(tests.itemDue(1, Window{kToday, 30})->status, Status::Failed);
        // No readable interval: the next date is left empty, not guessed.
        QCOMPARE(record(QDate(2024, 3, 14), true, "new"), RecordTestResult::Recorded);
        QCOMPARE(reg.scalar("SELECT testlast || '|' || testnext FROM Items").toString(),
                 QStringLiteral("14/3/2024|"));
        const auto history = tests.history(1);
        QCOMPARE(history->size(), 2);
        QCOMPARE(history->first().note, QStringLiteral("new"));
        QCOMPARE(history->last().date, QDate(2024, 2, 1));
        QVERIFY(!history->last().passed);
        QCOMPARE(tests.record(9, {kToday, QStringLiteral("PAT"), true, {}}),
                 RecordTestResult::ItemGone);
        QCOMPARE(reg.count(QStringLiteral("TestHistory")), 2);
    }
};

QTEST_GUILESS_MAIN(TestTestsDue)
#include "test_tests_due.moc"
