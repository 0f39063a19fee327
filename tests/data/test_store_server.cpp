// The store on a register held by a PostgreSQL server: the rules of the
// file hold there too, and several desks work on it at once. One private
// server serves the whole program; every test has a database of its own.
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QThread>
#include <atomic>
#include <set>
#include <thread>

#include "PostgresServer.h"
#include "TempRegister.h"
#include "cli/TransferCommands.h"
#include "data/Store.h"
#include "data/engine/Sql.h"
#include "data/register/RegisterTransfer.h"

namespace {

ItemWrite itemWith(const QString& desc, double caseId = 0, double length = 0) {
    ItemWrite w;
    for (auto& v : w)
        v = QString();
    w[static_cast<int>(ItemColumn::Desc)] = desc;
    w[static_cast<int>(ItemColumn::CaseId)] = caseId;
    w[static_cast<int>(ItemColumn::Length)] = length;
    return w;
}

template <class Values>
QString joined(const Values& values) {
    return QStringList(values.begin(), values.end()).join('|');
}

// Everything the windows can see of a register, as text.
QStringList contentsOf(Store& store) {
    QStringList out;
    const auto tree = store.readTree({QDate(2009, 1, 5)});
    if (!tree)
        return {QStringLiteral("unreadable")};
    for (const qint64 id : tree->itemIds)
        out << QStringLiteral("item ") + joined(store.itemsWithId(id)->first().values);
    for (const qint64 id : tree->caseIds)
        out << QStringLiteral("case ") + joined(store.casesWithId(id)->first().values);
    for (const qint64 id : tree->listIds) {
        out << QStringLiteral("list ") + store.listsWithId(id)->first().name;
        const auto lines = *store.listLines(id);
        for (std::size_t i = 0; i < lines.size(); ++i)
            out << QStringLiteral("line %1 %2").arg(lines.ids[i]).arg(lines.texts.text(i));
    }
    const auto locations = *store.locations();
    for (std::size_t i = 0; i < locations.size(); ++i)
        out << QStringLiteral("location %1").arg(locations.texts.text(i));
    const Counters c = *store.counters();
    out << QStringLiteral("counters %1 %2 %3").arg(c.lastId).arg(c.lastCase).arg(c.lastList);
    return out;
}

QStringList names(const IdTextRows& rows) {
    QStringList out;
    for (std::size_t i = 0; i < rows.size(); ++i)
        out << rows.texts.text(i);
    return out;
}

// A store on a server register that records what it would tell the user.
struct Desk {
    explicit Desk(const QString& connection)
        : store(RegisterLocation::server(connection), [this](const QString& m) { messages << m; }) {
    }
    Store store;
    QStringList messages;
};

bool failHalfWay(Sql::Connection& db) {
    db.fail(QStringLiteral("made to fail"));
    return false;
}
bool addShelves(Sql::Connection& db) {
    return db.exec(R"(CREATE TABLE "Shelves" ("id" INTEGER PRIMARY KEY, "name" TEXT))");
}

}  // namespace

class TestStoreServer : public QObject {
    Q_OBJECT
    PostgresServer server_;
    int databases_ = 0;

    // A new register on the server, made as quarvel-makedb makes one.
    QString newRegister(QString* database = nullptr) {
        const QString name = QStringLiteral("register%1").arg(++databases_);
        const QString connection = server_.newDatabase(name);
        QString error;
        if (!Store::createEmpty(RegisterLocation::server(connection), &error))
            qWarning("%s", qPrintable(error));
        if (database)
            *database = name;
        return connection;
    }

private slots:
    void initTestCase() {
        const QString reason = PostgresServer::unavailableReason();
        if (!reason.isEmpty())
            QSKIP(qPrintable(reason));
        QVERIFY2(server_.start(), qPrintable(server_.error()));
    }

    // A database of the server takes the tables once; the counters, ids,
    // texts, numbers, lists, locations and the tree behave as in a file.
    void aServerRegisterKeepsTheRulesOfTheFile() {
        QString db;
        const QString connection = newRegister(&db);
        QString error;
        QVERIFY(!Store::createEmpty(RegisterLocation::server(connection), &error));
        QVERIFY2(error.contains(QStringLiteral("already holds a register")), qPrintable(error));

        Desk d(connection);
        QCOMPARE(d.store.counters()->lastId, 0);
        QCOMPARE(d.store.predictedId(RecordTable::Items), std::optional<qint64>(1));
        QCOMPARE(*d.store.insertItem(itemWith(QStringLiteral("Mixer"))), qint64(1));
        QCOMPARE(*d.store.insertItem(itemWith(QStringLiteral("Amp"), 1, 12.5)), qint64(2));
        QCOMPARE(*d.store.insertCase({{}, {QStringLiteral("Rack"), {}, {}, {}, "No"}}), qint64(1));
        QCOMPARE(*d.store.insertList(QStringLiteral("Stage")), qint64(1));
        QVERIFY(d.store.deleteItem(2));
        QVERIFY(d.store.deleteItem(99));
        // The deleted highest id is never given again; a counter behind a
        // row is passed.
        server_.exec(db, QStringLiteral("INSERT INTO \"Items\" (id) VALUES (40)"));
        QCOMPARE(*d.store.insertItem(itemWith(QStringLiteral("Desk"))), qint64(41));
        QCOMPARE(d.store.counters()->lastId, qint64(41));

        const QString text = QStringLiteral("  O'Brien \"rack\"; DROP TABLE Items; \U0001F39B ");
        const qint64 id = *d.store.insertItem(itemWith(text, 1, 12.5));
        const ItemRecord item = d.store.itemsWithId(id)->first();
        QCOMPARE(item[ItemColumn::Desc], text);
        QCOMPARE(item[ItemColumn::CaseId], QStringLiteral("1"));
        QCOMPARE(item[ItemColumn::Length], QStringLiteral("12.5"));
        // The server's text holds no U+0000: it is stored as U+FFFD.
        const qint64 nul = *d.store.insertItem(itemWith(QStringLiteral("a") + QChar(0) + "b"));
        QCOMPARE(d.store.itemsWithId(nul)->first()[ItemColumn::Desc], QStringLiteral("a\uFFFDb"));
        // Null columns read as empty text.
        server_.exec(db, QStringLiteral("INSERT INTO \"Items\" (id) VALUES (50)"));
        const ItemRecord empty = d.store.itemsWithId(50)->first();
        for (const QString& v : empty.values)
            QVERIFY(v.isEmpty());
        QCOMPARE(d.store.itemsInCase(1)->size(), std::size_t(1));

        QCOMPARE(d.store.addListLine(1, 9, QStringLiteral("Lamp")), AddLineResult::Added);
        QCOMPARE(d.store.addListLine(1, 3, QStringLiteral("Cable")), AddLineResult::Added);
        QCOMPARE(d.store.addListLine(1, 9, QStringLiteral("Lamp")), AddLineResult::AlreadyOnList);
        QCOMPARE(d.store.addListLine(2, 9, QStringLiteral("Lamp")), AddLineResult::ListGone);
        QCOMPARE(d.store.listLines(1)->ids, (std::vector<std::int64_t>{3, 9}));
        QVERIFY(d.store.removeListLine(1, 9));

        QCOMPARE(d.store.addLocation(QStringLiteral("Caf\u00e9 'bay'")), AddLocationResult::Added);
        QCOMPARE(d.store.addLocation(QStringLiteral("CAF\u00c9 'BAY'")),
                 AddLocationResult::AlreadyThere);
        qint64 rowId = 0;
        QCOMPARE(d.store.addLocation(QStringLiteral("Bay 2"), &rowId), AddLocationResult::Added);
        QCOMPARE(names(*d.store.locations()),
                 (QStringList{QStringLiteral("Caf\u00e9 'bay'"), QStringLiteral("Bay 2")}));
        QVERIFY(d.store.deleteLocation(rowId, QStringLiteral("BAY 2")));  // not that name
        QVERIFY(d.store.deleteLocation(rowId, QStringLiteral("Bay 2")));
        QCOMPARE(d.store.locations()->size(), std::size_t(1));

        const auto tree = d.store.readTree({QDate(2009, 1, 5)});
        QVERIFY(tree);
        QCOMPARE(tree->itemIds, (std::vector<std::int64_t>{1, 40, 41, id, nul, 50}));
        QCOMPARE(tree->caseItems.size(), std::size_t(1));
        QCOMPARE(tree->lineItemIds, (std::vector<std::int64_t>{3}));
        QVERIFY2(d.messages.isEmpty(), qPrintable(d.messages.join('\n')));
    }

    // Two desks edit one item: each writes only what it changed; the same
    // column changed at both is asked about, and overwritten only when told.
    void twoDesksEditingOneItem() {
        const QString connection = newRegister();
        Desk a(connection), b(connection);
        ItemWrite w = itemWith(QStringLiteral("Amp"));
        w[static_cast<int>(ItemColumn::Notes)] = QStringLiteral("old note");
        const qint64 id = *a.store.insertItem(w);
        const int desc = int(ItemColumn::Desc), notes = int(ItemColumn::Notes);
        QCOMPARE(a.store.updateItem(id, {{notes, "a's note", "old note"}}, false),
                 SaveResult::Saved);
        QCOMPARE(b.store.updateItem(id, {{desc, "B's amp", "Amp"}}, false), SaveResult::Saved);
        QCOMPARE(b.store.updateItem(id, {{notes, "b's note", "old note"}}, false),
                 SaveResult::ChangedElsewhere);
        ItemRecord now = a.store.itemsWithId(id)->first();
        QCOMPARE(now[ItemColumn::Desc], QStringLiteral("B's amp"));
        QCOMPARE(now[ItemColumn::Notes], QStringLiteral("a's note"));
        QCOMPARE(b.store.updateItem(id, {{notes, "b's note", "old note"}}, true),
                 SaveResult::Saved);
        QCOMPARE(a.store.itemsWithId(id)->first()[ItemColumn::Notes], QStringLiteral("b's note"));
        QVERIFY(a.store.deleteItem(id));
        QCOMPARE(b.store.updateItem(id, {{desc, "x", "B's amp"}}, false), SaveResult::Gone);
        QVERIFY(a.messages.isEmpty());
    }

    // Eight desks add items and record their tests at once: every save goes
    // through, and every desk is told the id its item really got.
    void eightWritersAddingAtOnce() {
        const QString connection = newRegister();
        constexpr int kWriters = 8, kEach = 12;
        std::vector<std::vector<qint64>> given(kWriters);
        std::vector<QStringList> messages(kWriters);
        std::atomic<int> ready = 0;
        const auto writer = [&](int w) {
            Store store(RegisterLocation::server(connection),
                        [&messages, w](const QString& m) { messages[w] << m; });
            ++ready;
            while (ready < kWriters)
                QThread::yieldCurrentThread();
            for (int i = 0; i < kEach; ++i) {
                const QString desc = QStringLiteral("w%1 #%2").arg(w).arg(i);
                if (const auto id = store.insertItem(itemWith(desc))) {
                    given[w].push_back(*id);
                    if (store.itemsWithId(*id)->first()[ItemColumn::Desc] != desc)
                        messages[w] << QStringLiteral("item %1 is not mine").arg(*id);
                    // ...and records its first test: history ids never collide.
                    if (store.recordTest(*id,
                                         {QDate(2026, 12, 1), QStringLiteral("PAT"), true, {}}) !=
                        RecordTestResult::Recorded)
                        messages[w] << QStringLiteral("item %1's test not recorded").arg(*id);
                }
            }
        };
        std::vector<std::thread> threads;
        for (int w = 0; w < kWriters; ++w)
            threads.emplace_back(writer, w);
        for (auto& t : threads)
            t.join();
        std::set<qint64> ids;
        for (int w = 0; w < kWriters; ++w) {
            QVERIFY2(messages[w].isEmpty(), qPrintable(messages[w].join('\n')));
            ids.insert(given[w].begin(), given[w].end());
        }
        QCOMPARE(ids.size(), std::size_t(kWriters * kEach));
        QCOMPARE(*ids.rbegin(), qint64(kWriters * kEach));
        Desk d(connection);
        QCOMPARE(d.store.counters()->lastId, qint64(kWriters * kEach));
        QCOMPARE(d.store.allItems()->size(), std::size_t(kWriters * kEach));
    }

    // Another desk holds the counters: the save waits for it, and goes on.
    // Held longer than the wait, the save is refused in plain words.
    void aSaveWaitsForAnotherDesk() {
        QString db;
        const QString connection = newRegister(&db);
        Desk d(connection);
        for (const int holdMs : {600, 3000}) {
            QSemaphore locked;
            std::thread other([&] {
                PostgresServer::Holder hold(server_.connectionString(db),
                                            R"(SELECT * FROM "Data" FOR UPDATE)");
                locked.release();
                QThread::msleep(holdMs);
            });
            locked.acquire();
            d.store.setBusyWait([] { return 1500; });
            const auto id = d.store.insertItem(itemWith(QStringLiteral("x")));
            other.join();
            if (holdMs < 1500) {
                QCOMPARE(id, std::optional<qint64>(1));
                QVERIFY(d.messages.isEmpty());
            } else {
                QVERIFY(!id);
                QVERIFY2(d.messages.value(0).contains(QStringLiteral("Another desk")),
                         qPrintable(d.messages.value(0)));
            }
        }
        QCOMPARE(server_.scalar(db, QStringLiteral("SELECT count(*) FROM \"Items\"")),
                 QStringLiteral("1"));
    }

    // The server stops in the middle of a save: the user is told in words
    // that name the server, nothing is half-written, and once the server is
    // back the next save connects again and goes through.
    void theServerStopsInTheMiddleOfASave() {
        QString db;
        const QString connection = newRegister(&db);
        Desk d(connection);
        QVERIFY(d.store.insertItem(itemWith(QStringLiteral("before"))));
        d.store.setBusyWait([] { return 20000; });
        QSemaphore locked;
        std::thread other([&] {
            PostgresServer::Holder hold(server_.connectionString(db),
                                        R"(SELECT * FROM "Data" FOR UPDATE)");
            locked.release();
            QThread::msleep(500);  // the save below now waits for the counters
            // Ended "fast", the holder's session could let go of the counters
            // before the waiting save's session is ended, and the save commit.
            server_.stop(true);
        });
        locked.acquire();
        const auto cutOff = d.store.insertItem(itemWith(QStringLiteral("cut off")));
        other.join();
        QVERIFY(!cutOff);
        QCOMPARE(d.messages.size(), 1);
        QVERIFY2(d.messages[0].contains(QStringLiteral("connection to the register")) &&
                     d.messages[0].contains(QStringLiteral("database %1 on the server on this "
                                                           "computer")
                                                .arg(db)),
                 qPrintable(d.messages[0]));
        // Not reachable: said so, and nothing else happens.
        QVERIFY(!d.store.allItems());
        QVERIFY2(d.messages.value(1).contains(QStringLiteral("could not connect")),
                 qPrintable(d.messages.value(1)));

        QVERIFY2(server_.start(), qPrintable(server_.error()));
        QCOMPARE(d.store.insertItem(itemWith(QStringLiteral("after"))), std::optional<qint64>(2));
        QCOMPARE(names(*d.store.allItems()),
                 (QStringList{QStringLiteral("before"), QStringLiteral("after")}));
        QCOMPARE(d.store.counters()->lastId, qint64(2));
        QCOMPARE(d.messages.size(), 2);
    }

    // The layout versions: an upgrade runs its steps on the server in one
    // transaction; a failed one changes nothing; a newer register is only read.
    void versionsAndUpgradesOnTheServer() {
        QString db;
        const QString connection = newRegister(&db);
        const QString version = QStringLiteral("SELECT version FROM \"RegisterVersion\"");
        QCOMPARE(server_.scalar(db, version), QString::number(Schema::kCurrentVersion));
        const Schema::Step failing[] = {{Schema::kCurrentVersion + 1, addShelves},
                                        {Schema::kCurrentVersion + 2, failHalfWay}};
        Desk d(connection);
        QVERIFY(!d.store.upgradeIfOlder(failing));
        QCOMPARE(server_.scalar(db, version), QString::number(Schema::kCurrentVersion));
        QCOMPARE(server_.scalar(db, QStringLiteral("SELECT to_regclass('\"Shelves\"')")),
                 QString());
        const Schema::Step later[] = {{Schema::kCurrentVersion + 1, addShelves}};
        QVERIFY(d.store.upgradeIfOlder(later));
        QCOMPARE(server_.scalar(db, version), QString::number(Schema::kCurrentVersion + 1));
        QVERIFY(d.store.insertItem(itemWith(QStringLiteral("x"))));

        server_.exec(db, QStringLiteral("UPDATE \"RegisterVersion\" SET version = 9"));
        Desk newer(connection);
        QVERIFY(!newer.store.upgradeIfOlder());
        QVERIFY(newer.store.readOnly());
        QVERIFY(newer.store.allItems());
        QVERIFY(!newer.store.insertList(QStringLiteral("refused")));
        QCOMPARE(server_.scalar(db, QStringLiteral("SELECT count(*) FROM \"Lists\"")),
                 QStringLiteral("0"));
    }

    // A register moved from a file to a server and back keeps every row,
    // id and counter; a target that holds a register is refused, and a
    // failed copy leaves nothing behind.
    void copyBetweenFileAndServerKeepsEveryRow() {
        TempRegister file;
        file.exec(QStringLiteral(
            "INSERT INTO Items (id, \"desc\", caseID, length, notes, serial) VALUES "
            "(3, 'Amp ''A''', 2, 1.5, 'tab' || char(9) || 'line' || char(10) || 'back\\slash', "
            "'0042'), (9, NULL, 0, 1e30, NULL, '');"
            "INSERT INTO Cases (id, FName, FWheeled) VALUES (2, 'Rack \U0001F39B', 'Yes');"
            "INSERT INTO Lists (id, ListName) VALUES (4, 'Stage');"
            "INSERT INTO ListData VALUES (4, 9, 'Lamp'), (4, 3, NULL);"
            "INSERT INTO Locations VALUES ('Bay 1'), ('Caf\u00e9');"
            "UPDATE Data SET lastid = 12, lastCase = 2, lastList = 5"));
        Store fileStore(file.path());
        const QStringList before = contentsOf(fileStore);
        QCOMPARE(before.size(), 9);

        const QString connection = server_.newDatabase(QStringLiteral("copied"));
        const auto toServer = RegisterTransfer::copy(RegisterLocation::file(file.path()),
                                                     RegisterLocation::server(connection));
        QVERIFY2(toServer.ok, qPrintable(toServer.error));
        QCOMPARE(toServer.rows, qint64(9));
        Desk d(connection);
        QCOMPARE(contentsOf(d.store), before);
        // New records carry on above the copied ones.
        QCOMPARE(d.store.insertItem(itemWith(QStringLiteral("new"))), std::optional<qint64>(13));
        QCOMPARE(d.store.addLocation(QStringLiteral("Bay 3")), AddLocationResult::Added);
        QVERIFY2(d.messages.isEmpty(), qPrintable(d.messages.join('\n')));

        const auto again = RegisterTransfer::copy(RegisterLocation::file(file.path()),
                                                  RegisterLocation::server(connection));
        QVERIFY(!again.ok);
        QVERIFY2(again.error.contains(QStringLiteral("already holds a register")),
                 qPrintable(again.error));

        QTemporaryDir folder;
        const QString back = folder.filePath(QStringLiteral("data.mdb"));
        const auto toFile = RegisterTransfer::copy(RegisterLocation::server(connection),
                                                   RegisterLocation::file(back));
        QVERIFY2(toFile.ok, qPrintable(toFile.error));
        Store backStore(back);
        QCOMPARE(contentsOf(backStore), contentsOf(d.store));
        QVERIFY(!RegisterTransfer::copy(RegisterLocation::server(connection),
                                        RegisterLocation::file(back))
                     .ok);

        // A text a number column cannot hold stops the copy: nothing is left.
        file.exec(QStringLiteral("UPDATE Items SET length = 'long' WHERE id = 9"));
        const QString empty = server_.newDatabase(QStringLiteral("failed"));
        const auto failed = RegisterTransfer::copy(RegisterLocation::file(file.path()),
                                                   RegisterLocation::server(empty));
        QVERIFY(!failed.ok);
        QVERIFY2(failed.error.contains(QStringLiteral("Items")), qPrintable(failed.error));
        QCOMPARE(server_.scalar(QStringLiteral("failed"),
                                QStringLiteral("SELECT count(*) FROM pg_tables WHERE "
                                               "schemaname = 'public'")),
                 QStringLiteral("0"));
    }

    // The CSV import and export run on a server register as on a file.
    void csvImportAndExportOnTheServer() {
        const QString connection = newRegister();
        QTemporaryDir dir;
        const auto command = [&](const QStringList& arguments, QString* messages) {
            QTextStream err(messages);
            const int code = TransferCommands::run(arguments, RegisterLocation::server(connection),
                                                   dir.filePath(QStringLiteral("q.ini")), err);
            err.flush();
            return code;
        };
        QFile in(dir.filePath(QStringLiteral("in.csv")));
        QVERIFY(in.open(QIODevice::WriteOnly));
        in.write("id,desc,caseID,warehouseloc,length\n30,One,4,Bay 9,1.5\n,Two \"quoted\",0,,\n");
        in.close();
        QString messages;
        QCOMPARE(command({"--import", in.fileName(), "--create-cases"}, &messages),
                 int(TransferCommands::Done));
        QVERIFY2(messages.contains(QStringLiteral("Imported 2 items")), qPrintable(messages));
        Desk d(connection);
        QCOMPARE(d.store.itemsWithId(30)->first()[ItemColumn::Length], QStringLiteral("1.5"));
        QCOMPARE(d.store.itemsWithId(31)->first()[ItemColumn::Desc],
                 QStringLiteral("Two \"quoted\""));
        QCOMPARE(d.store.casesWithId(4)->first()[CaseColumn::Name], QStringLiteral("F4"));
        QCOMPARE(names(*d.store.locations()), QStringList{QStringLiteral("Bay 9")});
        const Counters c = *d.store.counters();
        QCOMPARE(c.lastId, qint64(31));
        QCOMPARE(c.lastCase, qint64(4));

        const QString out = dir.filePath(QStringLiteral("case.csv"));
        QCOMPARE(command({"--export", "F4", out}, &messages), int(TransferCommands::Done));
        QFile exported(out);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        const QByteArray text = exported.readAll();
        QVERIFY2(text.contains("30,One,") && !text.contains("Two"), text.constData());
        QVERIFY(d.messages.isEmpty());
    }

    // A location holding a NUL is looked up in the form its engine stores
    // it (U+FFFD on a server), so adding it again finds it there.
    void aLocationWithANulIsStoredOnce_data() {
        QTest::addColumn<bool>("onServer");
        QTest::addColumn<QString>("stored");
        QTest::newRow("file") << false << QStringLiteral("Bay") + QChar(u'\0') + u'X';
        QTest::newRow("server") << true << QStringLiteral("Bay\uFFFDX");
    }
    void aLocationWithANulIsStoredOnce() {
        QFETCH(bool, onServer);
        QFETCH(QString, stored);
        TempRegister file;
        QStringList messages;
        Store store(onServer ? RegisterLocation::server(newRegister())
                             : RegisterLocation::file(file.path()),
                    [&messages](const QString& m) { messages << m; });
        const QString name = QStringLiteral("Bay") + QChar(u'\0') + u'X';
        qint64 rowId = 0;
        QCOMPARE(store.addLocation(name, &rowId), AddLocationResult::Added);
        QCOMPARE(store.addLocation(name), AddLocationResult::AlreadyThere);
        QCOMPARE(names(*store.locations()), QStringList{stored});
        QVERIFY(store.deleteLocation(rowId, name));
        QCOMPARE(store.locations()->size(), std::size_t(0));
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('\n')));
    }

    // A server that cannot be reached, a database without a register, a
    // connection string with a password: each said in words.
    void whatCannotBeUsedIsSaid() {
        Desk nowhere(QStringLiteral("host=/nonexistent/quarvel dbname=quarvel"));
        QVERIFY(!nowhere.store.counters());
        QVERIFY2(nowhere.messages.value(0).contains(QStringLiteral("could not connect")),
                 qPrintable(nowhere.messages.value(0)));
        Desk empty(server_.newDatabase(QStringLiteral("empty")));
        QVERIFY(!empty.store.allItems());
        QVERIFY2(empty.messages.value(0).contains(QStringLiteral("it has no table Items")),
                 qPrintable(empty.messages.value(0)));
        QVERIFY(!RegisterLocation::server(QStringLiteral("host=x dbname=y password=secret"))
                     .problem()
                     .isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestStoreServer)
#include "test_store_server.moc"
