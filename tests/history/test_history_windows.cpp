// The History and the Change Log windows, driven headless against a real
// register: what they show, Put back and its refusal, the filters and the
// pages, and the export read back.
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ModalDriver.h"
#include "TestApp.h"
#include "data/ItemStore.h"
#include "data/rules/Columns.h"
#include "history/ChangeTable.h"
#include "history/frmChangeLog.h"
#include "history/frmHistory.h"
#include "items/frmItemView.h"

class TestHistoryWindows : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> ts;

    void saveDesc(const QString& from, const QString& to) {
        QCOMPARE(ts->ctx().items().update(45, {{int(ItemColumn::Desc), to, from}}, false),
                 SaveResult::Saved);
    }
    QString storedDesc() const {
        return ts->reg.scalar(QStringLiteral("SELECT \"desc\" FROM Items WHERE id = 45"))
            .toString();
    }
    // Operation, record, field, before and after of each line, top first.
    static QStringList linesOf(const ChangeTable* table) {
        QStringList lines;
        for (int i = 0; i < table->topLevelItemCount(); ++i) {
            QStringList columns;
            for (int c = 3; c < table->columnCount(); ++c)
                columns << table->topLevelItem(i)->text(c);
            lines << columns.join(QLatin1Char('|'));
        }
        return lines;
    }
    // 450 changes: even ids of cases, the rest items; every fifth by ann,
    // the others by bob; 150 a day on 1/5, 2/5 and 3/5/2027.
    void seedLog() {
        ts->reg.exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 450)"
            " INSERT INTO ChangeLog (id, batch, at, username, desk, kind, recordid, field,"
            " oldvalue, newvalue) SELECT i, i, printf('2027-05-%02dT10:00:00.000Z', 1 + (i - 1) / "
            "150),"
            " CASE WHEN i % 5 = 0 THEN 'ann' ELSE 'bob' END, 'DESK-B',"
            " CASE WHEN i % 2 = 0 THEN 'case' ELSE 'item' END, i, 'desc', 'a' || i, 'b' || i"
            " FROM n;"
            "INSERT INTO ChangeBatches (id, at, username, desk, what)"
            " SELECT id, at, username, desk, 'Save' FROM ChangeLog"));
    }

private slots:
    void init() {
        ts = std::make_unique<TestApp>();
        ts->reg.exec(QStringLiteral(
            "INSERT INTO Items (id, \"desc\") VALUES (45, 'Drill'); UPDATE Data SET lastid = 45;"
            "INSERT INTO TestHistory (id, itemid, testday, testdate, kind, result, note)"
            " VALUES (1, 45, 2454467, '1/1/2008', 'PAT', 'Pass', '')"));
    }
    void cleanup() { ts.reset(); }

    // Opened from the item viewer: the saves newest first with their old
    // and new values, the item's older test below them with who did it.
    void historyShowsSavesNewestFirstWithTheTests() {
        // The older test was recorded by ann at another desk: its log row says so.
        ts->reg.exec(QStringLiteral(
            "INSERT INTO ChangeBatches (id, at, username, desk, what)"
            " VALUES (1, '2008-01-01T10:00:00.000Z', 'ann', 'DESK-B', 'Record test');"
            "INSERT INTO ChangeLog (id, batch, at, username, desk, kind, recordid, field,"
            " newvalue) VALUES (1, 1, '2008-01-01T10:00:00.000Z', 'ann', 'DESK-B', 'test', 1,"
            " '*', 'created')"));
        saveDesc(QStringLiteral("Drill"), QStringLiteral("Hammer"));
        saveDesc(QStringLiteral("Hammer"), QStringLiteral("Saw"));
        ts->fields().ItemToOpen = 45;
        frmItemView viewer(ts->ctx());
        QStringList shown, tester;
        ModalDriver::whenShown(QStringLiteral("frmHistory"), [&](QWidget* w) {
            auto* history = static_cast<frmHistory*>(w);
            shown = linesOf(history->lstChanges);
            tester << history->lstChanges->topLevelItem(0)->text(1)
                   << history->lstChanges->topLevelItem(2)->text(1);
            history->cmdClose->click();
        });
        viewer.findChild<QPushButton*>(QStringLiteral("cmdHistory"))->click();
        QCOMPARE(shown,
                 QStringList({"Save|Item 45|desc|Hammer|Saw", "Save|Item 45|desc|Drill|Hammer",
                              "Record test|Item 45|test||PAT Pass"}));
        QCOMPARE(tester, QStringList({"tester", "ann"}));
    }

    void putBackAsksAndRestoresOrShowsTheRefusal_data() {
        QTest::addColumn<int>("line");  // 0: the newest change
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("desc");
        QTest::addColumn<QString>("refusal");  // part of the warning; empty: none
        QTest::newRow("No changes nothing") << 0 << false << "Saw"
                                            << "";
        QTest::newRow("Yes restores") << 0 << true << "Hammer"
                                      << "";
        QTest::newRow("refused after a later change") << 1 << true << "Saw"
                                                      << "desc";
    }
    void putBackAsksAndRestoresOrShowsTheRefusal() {
        QFETCH(int, line);
        QFETCH(bool, yes);
        QFETCH(QString, desc);
        QFETCH(QString, refusal);
        saveDesc(QStringLiteral("Drill"), QStringLiteral("Hammer"));
        saveDesc(QStringLiteral("Hammer"), QStringLiteral("Saw"));
        frmHistory history(ts->ctx(), QLatin1String(ChangeKind::kItem), 45);
        QVERIFY(!history.cmdPutBack->isEnabled());
        history.lstChanges->setCurrentItem(history.lstChanges->topLevelItem(line));
        ts->dialogs->answers << (yes ? Dialogs::Answer::Yes : Dialogs::Answer::No);
        history.cmdPutBack->click();

        QCOMPARE(storedDesc(), desc);
        QCOMPARE(ts->dialogs->messages.first().buttons, Dialogs::Buttons::YesNoDefaultNo);
        QCOMPARE(ts->dialogs->messages.size(), refusal.isEmpty() ? 1 : 2);
        if (!refusal.isEmpty()) {
            QCOMPARE(ts->dialogs->messages.last().icon, Dialogs::Icon::Warning);
            QVERIFY2(ts->dialogs->lastMessage().contains(refusal),
                     qPrintable(ts->dialogs->lastMessage()));
        }
        // A change put back is a change of its own, on top.
        QCOMPARE(history.putBackDone(), desc == QLatin1String("Hammer"));
        QCOMPARE(history.lstChanges->topLevelItemCount(), yes && refusal.isEmpty() ? 4 : 3);
    }

    void changeLogFiltersAndPages_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("find");
        QTest::addColumn<QDate>("day");  // from and to; null: any
        QTest::addColumn<int>("count");
        QTest::addColumn<qint64>("newest");
        QTest::newRow("all") << ""
                             << ""
                             << "" << QDate() << 450 << qint64(450);
        QTest::newRow("cases") << "Case"
                               << ""
                               << "" << QDate() << 225 << qint64(450);
        QTest::newRow("ann's cases") << "Case"
                                     << "ann"
                                     << "" << QDate() << 45 << qint64(450);
        QTest::newRow("text") << ""
                              << ""
                              << "b7" << QDate() << 11 << qint64(79);
        QTest::newRow("one day") << "Item"
                                 << "bob"
                                 << "" << QDate(2027, 5, 2) << 60 << qint64(299);
        QTest::newRow("nothing") << ""
                                 << "nobody"
                                 << "" << QDate() << 0 << qint64(0);
    }
    void changeLogFiltersAndPages() {
        QFETCH(QString, kind);
        QFETCH(QString, user);
        QFETCH(QString, find);
        QFETCH(QDate, day);
        QFETCH(int, count);
        QFETCH(qint64, newest);
        seedLog();
        frmChangeLog log(ts->ctx());
        QCOMPARE(log.lstChanges->topLevelItemCount(), frmChangeLog::kPageSize);
        if (!kind.isEmpty())
            log.cboKind->setCurrentText(kind);
        log.cboUser->setCurrentText(user);
        log.txtFind->setText(find);
        if (day.isValid()) {
            log.dtpFrom->setDate(day);
            log.dtpTo->setDate(day);
        }
        log.Filter_Change();

        QCOMPARE(log.lblCount->text(),
                 QStringLiteral("%1 change%2").arg(count).arg(count == 1 ? "" : "s"));
        QCOMPARE(log.lstChanges->topLevelItemCount(), std::min(count, frmChangeLog::kPageSize));
        // More reads the next page until there is none.
        while (log.cmdMore->isEnabled())
            log.cmdMore->click();
        QCOMPARE(log.lstChanges->topLevelItemCount(), count);
        if (count > 0)
            QCOMPARE(log.lstChanges->topLevelItem(0)->text(4),
                     ChangeTable::recordName(newest % 2 ? "item" : "case", newest));
    }

    // The export writes every change the filter lets through, not only the
    // page shown, through the save dialog.
    void exportWritesWhatTheFilterLetsThrough() {
        seedLog();
        frmChangeLog log(ts->ctx());
        log.cboUser->setCurrentText(QStringLiteral("ann"));
        log.Filter_Change();
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("changes.csv"));
        ts->dialogs->saveAnswers << file;
        log.cmdExport->click();
        QCOMPARE(ts->dialogs->messages.size(), 0);
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(csv.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1 + 90);
        QCOMPARE(lines.at(0),
                 QStringLiteral("id,batch,at,user,desk,operation,kind,record,field,old,new"));
        QCOMPARE(lines.at(1),
                 QStringLiteral(
                     "450,450,2027-05-03T10:00:00.000Z,ann,DESK-B,Save,case,450,desc,a450,b450"));
    }
};

QTEST_MAIN(TestHistoryWindows)
#include "test_history_windows.moc"
