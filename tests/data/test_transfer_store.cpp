// The CSV import and export (TransferStore): all or nothing, ids set aside
// first, a server's large answers read in batches.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include "StoreFixture.h"
#include "base/Progress.h"
#include "cli/TransferCommands.h"
#include "data/Register.h"
#include "data/engine/Postgres.h"
#include "data/engine/Sql.h"

// Every test runs on a file and on a server register (see StoreFixture);
// what only one engine has is skipped on the other's row.
class TestTransferStore : public QObject {
    Q_OBJECT
    StoreFixture fixture_;

private slots:
    void initTestCase_data() { fixture_.addEngineRows(); }
    void initTestCase() {
        const QString skip = fixture_.startServer();
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
    }

    // The CSV import and export run on either engine's register.
    void csvImportAndExport() {
        EngineRegister reg(fixture_);
        QTemporaryDir dir;
        const auto command = [&](const QStringList& arguments, QString* messages) {
            QTextStream err(messages);
            const int code = TransferCommands::run(arguments, reg.location(),
                                                   dir.filePath(QStringLiteral("q.ini")), err);
            err.flush();
            return code;
        };
        QFile in(dir.filePath(QStringLiteral("in.csv")));
        QVERIFY(in.open(QIODevice::WriteOnly));
        // On a server the rows go in bulk: text with the bytes that format
        // escapes (a tab, a backslash before N), a case named twice.
        in.write(
            "id,desc,caseID,warehouseloc,length\n30,One,4,Bay 9,1.5\n,Two \"quoted\",0,,\n"
            "40,\"Tab\there\\N\",4,,\n41,Five,0,,2\n");
        in.close();
        QString messages;
        QCOMPARE(command({"--import", in.fileName(), "--create-cases"}, &messages),
                 int(TransferCommands::Done));
        QVERIFY2(messages.contains(QStringLiteral("Imported 4 items")), qPrintable(messages));
        Probe d(reg.location());
        QCOMPARE(d.items.withId(30)->first()[ItemColumn::Length], QStringLiteral("1.5"));
        QCOMPARE(d.items.withId(42)->first()[ItemColumn::Desc], QStringLiteral("Two \"quoted\""));
        QCOMPARE(d.cases.withId(4)->first()[CaseColumn::Name], QStringLiteral("F4"));
        QCOMPARE(d.items.withId(40)->first()[ItemColumn::Desc], QStringLiteral("Tab\there\\N"));
        QCOMPARE(d.items.withId(41)->first()[ItemColumn::Length], QStringLiteral("2"));
        QCOMPARE(names(*d.locations.all()), QStringList{QStringLiteral("Bay 9")});
        const Counters c = *d.ids.counters();
        QCOMPARE(c.lastId, qint64(42));
        QCOMPARE(c.lastCase, qint64(4));

        const QString out = dir.filePath(QStringLiteral("case.csv"));
        QCOMPARE(command({"--export", "F4", out}, &messages), int(TransferCommands::Done));
        QFile exported(out);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        const QByteArray text = exported.readAll();
        QVERIFY2(text.contains("30,One,") && !text.contains("Two"), text.constData());
        QVERIFY(d.messages.isEmpty());
    }

    // An import sets its ids aside in a short transaction of its own: one
    // that fails part-way leaves them a gap, never given again, and on a
    // server another desk saves a new item while the import's rows go in.
    void importSetsItsIdsAsideFirst() {
        EngineRegister reg(fixture_);
        Probe p(reg.location());
        QCOMPARE(*p.items.insert(itemWith(QStringLiteral("Mixer"))), qint64(1));
        struct SecondDesk : Progress {
            ItemStore* items = nullptr;
            std::optional<qint64> saved;
            bool report(std::int64_t, std::int64_t) override {
                if (items && !saved)
                    saved = items->insert(itemWith(QStringLiteral("Desk two")));
                return true;
            }
            bool cancelled() const override { return false; }
        } desk;
        Probe two(reg.location());
        two.reg.setBusyWait([] { return 2000; });
        if (reg.onServer())  // a file's write lock holds every other desk
            desk.items = &two.items;
        ItemImportPlan plan;
        plan.itemCount = plan.newIdCount = 2 * Progress::kEvery;
        qint64 handed = 0;
        plan.next = [&](ImportedItem& item, QString* why) {
            if (++handed == plan.newIdCount) {
                *why = QStringLiteral("The file has changed.");
                return ImportStep::Failed;
            }
            item.id = 0;
            item.values[0].setText("Imported");
            return ImportStep::Item;
        };
        QVERIFY(!p.transfer.importItems(plan, &desk));
        QVERIFY(p.messages.value(0).contains(QStringLiteral("The file has changed.")));
        const qint64 gapEnd = 1 + plan.newIdCount;
        QVERIFY2(two.messages.isEmpty(), qPrintable(two.messages.join(u'\n')));
        if (reg.onServer())
            QCOMPARE(desk.saved.value_or(-1), gapEnd + 1);
        QCOMPARE(reg.count(QStringLiteral("Items")), reg.onServer() ? 2 : 1);
        QCOMPARE(*p.items.insert(itemWith(QStringLiteral("Amp"))),
                 gapEnd + (reg.onServer() ? 2 : 1));
    }

    // A large answer from the server comes through a cursor, a batch at a
    // time, every row once and in order, whatever the batches' edges.
    void theServerHandsLargeAnswersOverInBatches() {
        QUARVEL_ONLY_ON(Engine::Server);
        EngineRegister reg(fixture_);
        constexpr qint64 kRows = 20001;  // two whole batches and one row
        reg.exec(QStringLiteral("INSERT INTO \"Items\" (\"id\", \"desc\") SELECT g, 'x' "
                                "FROM generate_series(1, %1) g")
                     .arg(kRows));
        Probe p(reg.location());
        qint64 rows = 0;
        qint64 inOrder = 0;
        QString reading;
        QVERIFY(p.transfer.exportRows(ExportKind::Items, 0, [&](auto values) {
            inOrder += values[0] == std::to_string(++rows);
            if (rows == kRows / 2)
                reading = fixture_.server().scalar(
                    reg.database(), QStringLiteral("SELECT query FROM pg_stat_activity WHERE "
                                                   "application_name = 'Quarvel'"));
            return true;
        }));
        QCOMPARE(rows, kRows);
        QCOMPARE(inOrder, kRows);
        QVERIFY2(reading.startsWith(QStringLiteral("FETCH")), qPrintable(reading));
        QCOMPARE(p.transfer.itemIds()->size(), std::size_t(kRows));

        // The next batch is asked for ahead; a statement run between two
        // rows of the cursor still gets its own answer, and the cursor its rows.
        Postgres::Connection db(fixture_.server().connectionString(reg.database()), 0);
        QVERIFY(db.begin(Sql::Transaction::Read));
        const auto all = db.prepare(R"(SELECT "id" FROM "Items" ORDER BY "id")");
        qint64 seen = 0, beside = 0;
        while (all->step()) {
            seen += all->integer(0) == seen + 1;
            if (seen % 7000 == 0) {
                const auto one = db.prepare(R"(SELECT "id" FROM "Items" WHERE "id" = ?)");
                one->bindInteger(seen);
                beside += one->step() && one->integer(0) == seen;
            }
        }
        QCOMPARE(seen, kRows);
        QCOMPARE(beside, kRows / 7000);
        db.rollback();
    }
};

QTEST_GUILESS_MAIN(TestTransferStore)
#include "test_transfer_store.moc"
