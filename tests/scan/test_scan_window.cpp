// The Scan window driven as a keyboard-wedge scanner drives it: digits and
// Enter as fast as QTest can send them.
#include <QComboBox>
#include <QFile>
#include <QIODevice>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextStream>

#include "ModalDriver.h"
#include "TestApp.h"
#include "WidgetDriver.h"
#include "cli/ScanCommand.h"
#include "items/frmItemView.h"
#include "main/frmMain.h"
#include "scan/frmScan.h"

using namespace WidgetDriver;

namespace {

// Items 1-2 loose in Bay 1, 3 loose in Bay 2, 4 in case 12 (in Bay 1), 5 in
// case 13 (in Bay 2); list 3 "Gig" holds 1, 3 (never tested) and 4.
void fill(const TempRegister& reg) {
    reg.exec(QStringLiteral(
        "INSERT INTO Items (id, \"desc\", warehouseloc, caseID, testinterval, testnext) VALUES "
        "(1, 'Amp', 'Bay 1', 0, '12', '1/1/2027'), (2, 'Desk', 'Bay 1', 0, 'none', ''),"
        "(3, 'Lamp', 'Bay 2', 0, '12', ''), (4, 'Cable', 'Bay 3', 12, 'none', ''),"
        "(5, 'Truss', 'Bay 9', 13, 'none', '');"
        "INSERT INTO Cases (id, FName, FLocation) VALUES (12, 'Rack', 'Bay 1'), (13, 'Box', "
        "'Bay 2');"
        "INSERT INTO Lists (id, ListName) VALUES (3, 'Gig');"
        "INSERT INTO ListData VALUES (3, 1, 'Amp'), (3, 3, 'Lamp'), (3, 4, 'Cable');"
        "INSERT INTO Locations VALUES ('Bay 1'), ('Bay 2');"
        "UPDATE Data SET lastid = 5, lastCase = 13, lastList = 3"));
}

// Each character as its own key, also those beyond ASCII ("é" on a French
// layout), which QTest::keyClicks does not take.
void typeKeys(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key(c.toUpper().unicode()), QString(c),
                                Qt::NoModifier);
    }
}

// Standard output as a reader of the pipe sees it: each line, and how many
// scans the register held when it came out.
class WatchedOutput : public QIODevice {
public:
    explicit WatchedOutput(const TempRegister& reg) : reg_(reg) { open(QIODevice::WriteOnly); }
    QStringList lines;
    QList<qint64> storedThen;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        pending_ += QString::fromUtf8(data, size);
        for (qsizetype end; (end = pending_.indexOf(u'\n')) >= 0; pending_.remove(0, end + 1)) {
            lines << pending_.left(end);
            storedThen << reg_.count(QStringLiteral("ScanRecords"));
        }
        return size;
    }

private:
    const TempRegister& reg_;
    QString pending_;
};

}  // namespace

class TestScanWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> ts;
    std::unique_ptr<frmScan> w;

    void open() {
        w = std::make_unique<frmScan>(ts->ctx());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }
    void start(const QString& kind, const QString& where, bool started = true) {
        w->cboKind->setCurrentText(kind);
        w->cboWhere->setCurrentText(where);
        QTest::mouseClick(w->cmdStart, Qt::LeftButton);
        QCOMPARE(w->session().has_value(), started);
    }
    // Each code as a scanner sends it; the answer line of each.
    QStringList scan(const QStringList& codes) {
        QStringList answers;
        for (const QString& code : codes) {
            typeKeys(w->txtScan, code);
            QTest::keyClick(w->txtScan, Qt::Key_Return);
            answers << w->lblAnswer->text();
            if (!w->txtScan->text().isEmpty() || !w->txtScan->hasFocus())
                answers << QStringLiteral("box not cleared or lost the focus");
        }
        return answers;
    }

private slots:
    void init() {
        ts = std::make_unique<TestApp>();
        fill(ts->reg);
    }
    void cleanup() {
        w.reset();
        ts.reset();
    }

    void answersEveryScanAtOnce_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("where");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QStringList>("answers");
        QTest::newRow("stocktake") << "Stocktake"
                                   << "Bay 1" << QStringList{"1", "3", "4", "F12", "1", "99", "x7"}
                                   << QStringList{"1 - here",
                                                  "3 - belongs elsewhere: Bay 2",
                                                  "4 - in case F12",
                                                  "F12 - here",
                                                  "1 - already scanned",
                                                  "99 - no such item",
                                                  "x7 - not an item or case code"};
        QTest::newRow("stocktake, AZERTY scanner")
            << "Stocktake"
            << "Bay 1" << QStringList{"&", "\"", "F&\u00E9", "&e"}
            << QStringList{"1 - here", "3 - belongs elsewhere: Bay 2", "F12 - here",
                           "&e - not an item or case code"};
        QTest::newRow("pack by name") << "Pack"
                                      << "Gig" << QStringList{"1", "3", "2", "1"}
                                      << QStringList{"1 - packed", "3 - packed \u2014 NEVER TESTED",
                                                     "2 - not on this list", "1 - already packed"};
    }
    void answersEveryScanAtOnce() {
        QFETCH(QString, kind);
        QFETCH(QString, where);
        QFETCH(QStringList, codes);
        QFETCH(QStringList, answers);
        open();
        start(kind, where);
        QCOMPARE(scan(codes), answers);
        QCOMPARE(w->lstScans->count(), codes.size() - (kind == QLatin1String("Stocktake")));
        QVERIFY(w->lblAnswer->accessibleName().startsWith(QStringLiteral("Answer: ")));
    }

    // Packed by number, checked in by a scanned list code: what is still out.
    void checkInShowsWhatIsStillOut() {
        open();
        start(QStringLiteral("Pack"), QStringLiteral("3"));
        scan({"1", "3", "2"});
        // Not on the list: added, and packed at once.
        QVERIFY(w->cmdAdd->isEnabled());
        QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
        QCOMPARE(w->lblAnswer->toolTip(), QStringLiteral("2 - packed"));
        QCOMPARE(ts->reg.count(QStringLiteral("ListData")), 4);
        QTest::mouseClick(w->cmdFinish, Qt::LeftButton);
        QVERIFY(
            w->txtSummary->toPlainText().contains(QStringLiteral("1 not packed:\n  4 - Cable")));
        ts->printers->names = {QStringLiteral("Lists")};
        ts->printers->defaultName = QStringLiteral("Lists");
        QTest::mouseClick(w->cmdPrint, Qt::LeftButton);
        QCOMPARE(ts->printers->jobs.size(), 1);
        open();
        // A location the list does not have is refused; a scanned "L3" and
        // Enter chooses list 3.
        start(QStringLiteral("Stocktake"), QStringLiteral("Bay 7"), false);
        w->cboKind->setCurrentText(QStringLiteral("Check in"));
        QTest::keyClicks(w->cboWhere->lineEdit(), QStringLiteral("L3"));
        QTest::keyClick(w->cboWhere->lineEdit(), Qt::Key_Return);
        QCOMPARE(w->session()->listId, 3);
        QCOMPARE(scan({"1", "4", "2", "5"}), (QStringList{"1 - back", "4 - was not packed",
                                                          "2 - back", "5 - not on this list"}));
        QTest::mouseClick(w->cmdFinish, Qt::LeftButton);
        QVERIFY(w->txtSummary->toPlainText().contains(QStringLiteral("1 still out:\n  3 - Lamp")));
        QVERIFY(!w->cmdMove->isEnabled());
    }

    // Adding an item another list books over the packed list's days asks
    // first, as the list editor does; No adds nothing.
    void addingABookedItemAsksFirst() {
        ts->reg.exec(QStringLiteral(
            "INSERT INTO Lists (id, ListName) VALUES (4, 'Stage left');"
            "INSERT INTO ListData VALUES (4, 2, 'Desk');"
            "INSERT INTO ListPlans VALUES (3, '2027-05-12', '2027-05-15', 'Confirmed'),"
            "(4, '2027-05-15', NULL, 'Out')"));
        open();
        start(QStringLiteral("Pack"), QStringLiteral("3"));
        QCOMPARE(scan({"2"}), QStringList{"2 - not on this list"});
        const QString asked = QStringLiteral(
            "Item 2 Desk is booked on list 4 Stage left from 15/5/2027 (no return date). Add it "
            "anyway?");
        for (const auto answer : {Dialogs::Answer::No, Dialogs::Answer::Yes}) {
            ts->dialogs->answers = {answer};
            QTest::mouseClick(w->cmdAdd, Qt::LeftButton);
            QCOMPARE(ts->dialogs->lastMessage(), asked);
        }
        QCOMPARE(ts->dialogs->messages.size(), 2);
        QCOMPARE(
            w->lblAnswer->toolTip(),
            QStringLiteral("2 - packed \u2014 booked on list 4 from 15/5/2027 (no return date)"));
        QCOMPARE(ts->reg.count(QStringLiteral("ListData")), 5);
    }

    // Two desks scanning one session each see the other's scans at their
    // next scan; what is not packed shows as it stands.
    void twoDesksShareASession() {
        open();
        start(QStringLiteral("Pack"), QStringLiteral("Gig"));
        scan({"1"});
        QVERIFY(w->txtSummary->toPlainText().contains(QStringLiteral("2 not packed:")));
        ts->dialogs->answers = {Dialogs::Answer::Yes};
        frmScan other(ts->ctx());  // continues the open session
        QCOMPARE(other.lstScans->count(), 1);
        other.txtScan->setText(QStringLiteral("3"));
        other.txtScan_Enter();
        QCOMPARE(scan({"4"}), QStringList{"4 - packed"});
        QStringList lines;
        for (int i = 0; i < w->lstScans->count(); ++i)
            lines << w->lstScans->item(i)->text();
        QCOMPARE(lines,
                 (QStringList{"1 - packed", "3 - packed \u2014 NEVER TESTED", "4 - packed"}));
        QVERIFY(w->txtSummary->toPlainText().contains(QStringLiteral("0 not packed:")));
    }

    // Finish: the summary, then Move with one confirmation; a CSV of the scans.
    void finishMovesMisplacedAfterOneYes() {
        open();
        start(QStringLiteral("Stocktake"), QStringLiteral("Bay 1"));
        scan({"1", "3", "5", "F13"});
        QTest::mouseClick(w->cmdFinish, Qt::LeftButton);
        QCOMPARE(w->summary().missing.size(), 3);  // 2, 4 and its case F12
        QCOMPARE(w->cmdMove->text(), QStringLiteral("Move 2 items to Bay 1"));
        ts->dialogs->answers = {Dialogs::Answer::No, Dialogs::Answer::Yes};
        for (int click = 0; click < 2; ++click)
            QTest::mouseClick(w->cmdMove, Qt::LeftButton);
        QVERIFY(ts->dialogs->lastMessage().startsWith(QStringLiteral("Move 2 items to Bay 1?")));
        QCOMPARE(ts->reg.scalar(QStringLiteral(
                     "SELECT group_concat(warehouseloc) FROM Items WHERE id IN (3, 5)")),
                 QVariant(QStringLiteral("Bay 1,Bay 9")));  // 5 stays with its case F13
        QCOMPARE(ts->reg.scalar(QStringLiteral("SELECT FLocation FROM Cases WHERE id = 13")),
                 QVariant(QStringLiteral("Bay 1")));
        const QString csv = ts->reg.folder() + QStringLiteral("/scans.csv");
        ts->dialogs->saveAnswers = {csv};
        QTest::mouseClick(w->cmdExport, Qt::LeftButton);
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY2(text.startsWith("\xEF\xBB\xBF"
                                 "code,scanned,answer\r\n") &&
                     text.contains("\n3,2009-01-05T09:30:00,belongs elsewhere: Bay 2") &&
                     text.contains("\n2,,missing"),
                 text);
        // The item viewer says where the item was last seen.
        ts->fields().ItemToOpen = 3;
        frmItemView viewer(ts->ctx());
        auto* lines = child<QListWidget>(&viewer, "List1");
        QCOMPARE(lines->item(lines->count() - 1)->text(),
                 QStringLiteral("Last seen: 5/1/2009, Bay 1 (stocktake)"));
    }

    // Closed without Finish: the next opening offers the session again.
    void anOpenSessionIsContinued() {
        open();
        start(QStringLiteral("Stocktake"), QStringLiteral("Bay 1"));
        scan({"1", "2"});
        w.reset();
        // The next start offers it: the main window opens the Scan window.
        ts->dialogs->answers = {Dialogs::Answer::Yes};
        QVERIFY(ModalDriver::shownDuring(QStringLiteral("frmScan"), [this] {
            frmMain main(ts->ctx());
            main.show();
            QTRY_VERIFY(!ts->dialogs->messages.isEmpty());
        }));
        ts->dialogs->answers = {Dialogs::Answer::Yes};
        open();
        QVERIFY(ts->dialogs->lastMessage().contains(QStringLiteral("by tester, was not finished")));
        QCOMPARE(w->lstScans->count(), 2);
        QCOMPARE(scan({"2"}), QStringList{"2 - already scanned"});
        // Answered No: the session is closed and not offered again.
        w.reset();
        open();
        w.reset();
        const int asked = static_cast<int>(ts->dialogs->messages.size());
        open();
        QCOMPARE(static_cast<int>(ts->dialogs->messages.size()), asked);
        QVERIFY(!w->session());
    }

    // A batch scanner's file: blank lines left out, a bad code refused.
    void loadsScansFromAFile() {
        const QString path = ts->reg.folder() + QStringLiteral("/batch.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("1\r\n\n  \n3\nBAD\nF12\n");
        file.close();
        open();
        start(QStringLiteral("Stocktake"), QStringLiteral("Bay 1"));
        ts->dialogs->fileAnswers = {path};
        QTest::mouseClick(w->cmdLoad, Qt::LeftButton);
        QCOMPARE(w->lstScans->count(), 3);
        QCOMPARE(w->lstScans->item(2)->text(), QStringLiteral("F12 - here"));
        QCOMPARE(ts->reg.count(QStringLiteral("ScanRecords")), 3);

        // The same file without a window: each answer, then the summary.
        const auto runScan = [&](const QStringList& options, QString* printed) {
            QString err;
            QTextStream out(printed), errors(&err);
            return ScanCommand::run(CommandLine(QStringList{"quarvel", "--scan", path} + options),
                                    RegisterLocation::file(ts->reg.path()), ts->settingsFile(),
                                    QStringLiteral("tester"), out, errors);
        };
        QString printed;
        QCOMPARE(runScan({"--pack", "Gig"}, &printed), 0);
        QVERIFY2(printed.startsWith(QStringLiteral(
                     "1 - packed\n3 - packed \u2014 NEVER TESTED\nBAD - not an item or case code\n"
                     "F12 - 1 item packed\n\npacked: 3\n\n0 not packed:\n\n1 refused:\n"
                     "  BAD - not an item or case code\n")),
                 qPrintable(printed));
        QCOMPARE(runScan({"--pack", "3", "--check-in", "3"}, &printed), 2);
        QCOMPARE(runScan({"--check-in", "Nothing"}, &printed), 1);
    }

    // Case labels carry the bare id. Counting Bay 1, where case 12 stands
    // and item 12 does not, "12" is the case; "13" is neither's place, so the
    // window asks, and a batch file gets the question as its answer and
    // counts the scan as not made. Each line is out before its scan is stored.
    void caseLabelsInTheWindowAndInABatch() {
        ts->reg.exec(QStringLiteral(
            "INSERT INTO Items (id, \"desc\", warehouseloc, caseID, testinterval) VALUES "
            "(12, 'Mic', 'Bay 2', 0, 'none'), (13, 'Stand', 'Bay 2', 0, 'none')"));
        open();
        start(QStringLiteral("Stocktake"), QStringLiteral("Bay 1"));
        ts->dialogs->choiceAnswers = {-1, 1};
        QCOMPARE(scan({"12", "13", "13"}),
                 (QStringList{"F12 (case label) - here", "13 - item 13 or case F13?",
                              "F13 - belongs elsewhere: Bay 2"}));
        QCOMPARE(ts->dialogs->choices.size(), 2);
        QCOMPARE(ts->dialogs->choices[0].choices, (QStringList{"&Item 13", "Flight &Case F13"}));
        QCOMPARE(ts->reg.count(QStringLiteral("ScanRecords")), 2);
        QTest::mouseClick(w->cmdFinish, Qt::LeftButton);
        QVERIFY(w->txtSummary->toPlainText().endsWith(
            QStringLiteral("1 refused:\n  13 - item 13 or case F13?")));

        const QString path = ts->reg.folder() + QStringLiteral("/labels.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("13\n12\n&\xC3\xA9\nBAD\n");
        file.close();
        const qint64 before = ts->reg.count(QStringLiteral("ScanRecords"));
        WatchedOutput output(ts->reg);
        QTextStream out(&output);
        QString err;
        QTextStream errors(&err);
        QCOMPARE(ScanCommand::run(
                     CommandLine(QStringList{"quarvel", "--scan", path, "--stocktake", "Bay 1"}),
                     RegisterLocation::file(ts->reg.path()), ts->settingsFile(),
                     QStringLiteral("tester"), out, errors),
                 0);
        QCOMPARE(
            output.lines.mid(0, 4),
            (QStringList{"13 - item 13 or case F13?", "F12 (case label) - here",
                         "F12 (case label) - already scanned", "BAD - not an item or case code"}));
        QCOMPARE(output.storedThen.mid(0, 4),
                 (QList<qint64>{before, before, before + 1, before + 2}));
        QVERIFY(output.lines.join(u'\n').contains(QStringLiteral(
            "\n2 refused:\n  13 - item 13 or case F13?\n  BAD - not an item or case code")));
    }

    // A long answer is wrapped, or cut short with "…", never clipped; the
    // whole line is its tooltip and accessible name.
    void answersAreShownWhole() {
        open();
        start(QStringLiteral("Stocktake"), QStringLiteral("Bay 1"));
        for (const QString& code : {QStringLiteral("x7"), QString(60, u'x')}) {
            scan({code});
            const QString line = code + QStringLiteral(" - not an item or case code");
            const QString shown = w->lblAnswer->text();
            QCOMPARE(w->lblAnswer->toolTip(), line);
            QCOMPARE(w->lblAnswer->accessibleName(), QStringLiteral("Answer: ") + line);
            if (code.size() < 10)
                QCOMPARE(shown, line);
            else
                QVERIFY2(shown.endsWith(u'\u2026') && line.startsWith(shown.chopped(1)),
                         qPrintable(shown));
            const QRect room = w->lblAnswer->contentsRect();
            const QRect needed = w->lblAnswer->fontMetrics().boundingRect(
                QRect(0, 0, room.width(), 10000), Qt::TextWordWrap, shown);
            QVERIFY2(needed.width() <= room.width() && needed.height() <= room.height(),
                     qPrintable(shown));
        }
    }
};

QTEST_MAIN(TestScanWindow)
#include "test_scan_window.moc"
