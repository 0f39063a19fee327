// The register as the stores work with it (Register): what cannot be opened,
// failures said in plain words, a failed COMMIT, waiting for another writer
// or desk, a server gone or silent, layout versions, copies between a file
// and a server.
#include <libpq-fe.h>
#include <sqlite3.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <cstring>
#include <set>
#include <thread>
#include <utility>

#include "StoreFixture.h"
#include "data/ChangeStore.h"
#include "data/ChangeWatcher.h"
#include "data/Register.h"
#include "data/engine/Postgres.h"
#include "data/engine/Sql.h"
#include "data/register/RegisterAccess.h"
#include "data/register/RegisterTransfer.h"

Q_DECLARE_METATYPE(ChangeFilter)

namespace {

// Holds an exclusive lock on a database file until destroyed, as another
// program writing to the register would.
class ExclusiveLock {
public:
    explicit ExclusiveLock(const QString& path) {
        sqlite3_open(path.toUtf8().constData(), &db_);
        sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    }
    ~ExclusiveLock() {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db_);
    }

private:
    sqlite3* db_ = nullptr;
};

template <class Values>
QString joined(const Values& values) {
    return QStringList(values.begin(), values.end()).join('|');
}

// Everything the windows can see of a register, as text.
QStringList contentsOf(Register& reg) {
    QStringList out;
    const auto tree = TreeStore(reg).read({QDate(2009, 1, 5)});
    if (!tree)
        return {QStringLiteral("unreadable")};
    for (const qint64 id : tree->itemIds)
        out << QStringLiteral("item ") + joined(ItemStore(reg).withId(id)->first().values);
    for (const qint64 id : tree->caseIds)
        out << QStringLiteral("case ") + joined(CaseStore(reg).withId(id)->first().values);
    for (const qint64 id : tree->listIds) {
        out << QStringLiteral("list ") + ListStore(reg).withId(id)->first().name;
        const auto lines = *ListStore(reg).lines(id);
        for (std::size_t i = 0; i < lines.size(); ++i)
            out << QStringLiteral("line %1 %2").arg(lines.ids[i]).arg(lines.texts.text(i));
    }
    const auto locations = *LocationStore(reg).all();
    for (std::size_t i = 0; i < locations.size(); ++i)
        out << QStringLiteral("location %1").arg(locations.texts.text(i));
    const Counters c = *IdStore(reg).counters();
    out << QStringLiteral("counters %1 %2 %3").arg(c.lastId).arg(c.lastCase).arg(c.lastList);
    return out;
}

// Every COMMIT of the register fails while this lives, after the
// operation's statements went through: on a file, another program reads it
// (a writer cannot commit while a reader holds the file); on a server, a
// deferred trigger on every table refuses at COMMIT.
class CommitsRefused {
public:
    explicit CommitsRefused(const EngineRegister& reg) : reg_(reg) {
        if (reg.onServer()) {
            QString sql = QStringLiteral(
                "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                "$$ BEGIN RAISE EXCEPTION 'refused at commit'; END $$;");
            for (const char* table : {"Items", "Cases", "Lists", "ListData", "Locations", "Data",
                                      "TestHistory", "ScanSessions", "ScanRecords", "ListPlans",
                                      "RegisterVersion", "ChangeBatches", "ChangeLog"})
                sql += QStringLiteral(
                           "CREATE CONSTRAINT TRIGGER refuse AFTER INSERT OR UPDATE OR DELETE ON "
                           "\"%1\" DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION "
                           "refuse();")
                           .arg(QLatin1String(table));
            reg.exec(sql);
            return;
        }
        reader_ = std::make_unique<FileHeld>(reg.location().text(), FileHeld::By::Reader);
    }
    ~CommitsRefused() {
        if (reg_.onServer())
            reg_.exec(QStringLiteral("DROP FUNCTION refuse() CASCADE"));
    }
    CommitsRefused(const CommitsRefused&) = delete;
    CommitsRefused& operator=(const CommitsRefused&) = delete;

private:
    const EngineRegister& reg_;
    std::unique_ptr<FileHeld> reader_;
};

// The rows of every table the store writes, and the layout, as text.
QStringList everythingIn(const EngineRegister& reg) {
    Probe p(reg.location());
    QStringList out = contentsOf(p.reg);
    out << reg.scalar(QStringLiteral(
               R"(SELECT (SELECT COUNT(*) FROM "TestHistory") || ' ' ||
                  (SELECT COUNT(*) FROM "ScanSessions") || ' ' ||
                  (SELECT COUNT(*) FROM "ScanRecords") || ' ' ||
                  (SELECT COUNT(*) FROM "ListPlans") || ' ' ||
                  COALESCE((SELECT MIN("state") FROM "ListPlans"), '') || ' ' ||
                  COALESCE((SELECT "finished" FROM "ScanSessions" WHERE "id" = 1), '') || ' ' ||
                  COALESCE((SELECT "warehouseloc" FROM "Items" WHERE "id" = 1), '') || ' ' ||
                  (SELECT COUNT(*) FROM "ChangeLog") || ' ' ||
                  (SELECT COUNT(*) FROM "ChangeBatches"))"))
        << reg.scalar(reg.onServer() ? QStringLiteral(R"(SELECT "version" FROM "RegisterVersion")")
                                     : QStringLiteral("PRAGMA user_version"));
    return out;
}

bool failHalfWay(Sql::Connection& db) {
    db.fail(QStringLiteral("made to fail"));
    return false;
}
bool addShelves(Sql::Connection& db) {
    return db.exec(R"(CREATE TABLE "Shelves" ("id" INTEGER PRIMARY KEY, "name" TEXT))");
}

// The rows every writer of aFailedCommitIsNeverReportedAsStored and
// everyWriterLogsItsChanges works on.
void seedForWriters(const EngineRegister& reg) {
    reg.exec(QStringLiteral(
        R"(INSERT INTO "Items" ("id", "desc", "warehouseloc", "caseID") VALUES
           (1, 'Lamp', 'Bay 1', 0), (2, 'Cable', 'Bay 1', 0);
           INSERT INTO "Cases" ("id", "FName") VALUES (1, 'Rack');
           INSERT INTO "Lists" ("id", "ListName") VALUES (1, 'Stage');
           INSERT INTO "ListData" VALUES (1, 1, 'Lamp');
           INSERT INTO "Lists" ("id", "ListName") VALUES (2, 'Gig');
           INSERT INTO "ListPlans" VALUES (2, '2027-05-12', NULL, 'Out');
           INSERT INTO "Locations" ("desc") VALUES ('Bay 1');
           INSERT INTO "ScanSessions" VALUES (1, 'Stocktake', 'Bay 2', 0, '', '', 'ann');
           INSERT INTO "ScanRecords" VALUES (1, 1, 1, 0, '', 'belongs elsewhere');
           UPDATE "Data" SET "lastid" = 2, "lastCase" = 1, "lastList" = 2;
           INSERT INTO "ChangeBatches" VALUES (1, '2026-12-01T09:00:00.000Z', 'bob', 'B', 'Save');
           INSERT INTO "ChangeLog" VALUES (1, 1, '2026-12-01T09:00:00.000Z', 'bob', 'B', 'item',
                                           1, 'desc', 'Lamp0', 'Lamp'))"));
    if (reg.onServer())
        reg.exec(QStringLiteral(
            R"(SELECT setval(pg_get_serial_sequence('"ChangeLog"', 'id'), 1),
                      setval(pg_get_serial_sequence('"ChangeBatches"', 'id'), 1))"));
}

// The change log after its first row, one line a row: "batch kind id field
// old>new" (no value: -), then each batch as "batch user desk what".
QStringList logAfterSeed(const EngineRegister& reg) {
    Probe p(reg.location());
    QStringList out;
    const auto rows = ChangeStore(p.reg).after(1);
    if (!rows)
        return {QStringLiteral("unreadable")};
    QStringList batches;
    for (const ChangeRow& r : *rows) {
        out << QStringLiteral("%1 %2 %3 %4 %5>%6")
                   .arg(r.batch)
                   .arg(r.kind)
                   .arg(r.recordId)
                   .arg(r.field, r.oldValue.value_or("-"), r.newValue.value_or("-"));
        const QString batch =
            QStringLiteral("%1 %2 %3 %4").arg(r.batch).arg(r.user, r.desk, r.operation);
        if (!batches.contains(batch))
            batches << batch;
    }
    return out + batches;
}

// Every writer of the store, by name: true when it reports the change stored.
QHash<QString, std::function<bool(Register&)>> writers() {
    const QDateTime now(QDate(2026, 12, 9), QTime(10, 0));
    const ScanRules::Session session{
        1, ScanRules::Kind::Stocktake, QStringLiteral("Bay 2"), 0, now, {}, QStringLiteral("ann")};
    const Schema::Step later[] = {{Schema::kCurrentVersion + 1, addShelves}};
    return {
        {"insertItem",
         [](Register& r) { return ItemStore(r).insert(itemWith("New")).has_value(); }},
        {"insertCase",
         [](Register& r) {
             return CaseStore(r).insert({{}, {"Crate", {}, {}, {}, "No"}}).has_value();
         }},
        {"insertList", [](Register& r) { return ListStore(r).insert("New").has_value(); }},
        {"updateItem",
         [](Register& r) {
             return ItemStore(r).update(1, {{int(ItemColumn::Desc), "Spot", "Lamp"}}, false) ==
                    SaveResult::Saved;
         }},
        {"updateCase",
         [](Register& r) {
             return CaseStore(r).update(1, {{int(CaseColumn::Name), "Crate", "Rack"}}, false) ==
                    SaveResult::Saved;
         }},
        {"updateList",
         [](Register& r) {
             return ListStore(r).update(1, "Gig", "Stage", false) == SaveResult::Saved;
         }},
        {"setItemCase",
         [](Register& r) { return ItemStore(r).setCase(1, 1) == PutInCaseResult::Done; }},
        {"deleteItem", [](Register& r) { return ItemStore(r).remove(1); }},
        {"addListLine",
         [](Register& r) { return ListStore(r).addLine(1, 2, "Cable") == AddLineResult::Added; }},
        {"removeListLine", [](Register& r) { return ListStore(r).removeLine(1, 1); }},
        {"addLocation",
         [](Register& r) {
             qint64 row = 0;
             return LocationStore(r).add("Bay 9", &row) == AddLocationResult::Added || row != 0;
         }},
        {"deleteLocation",
         [](Register& r) {
             return LocationStore(r).remove(LocationStore(r).all()->ids.at(0), "Bay 1");
         }},
        {"recordTest",
         [=](Register& r) {
             return TestRecordStore(r).record(1, {now.date(), "PAT", true, {}}) ==
                    RecordTestResult::Recorded;
         }},
        {"importItems",
         [](Register& r) {
             ItemImportPlan plan;
             plan.itemCount = plan.newIdCount = 1;
             plan.next = [handed = false](ImportedItem& item, QString*) mutable {
                 item.values[0].setText("Imported");
                 return std::exchange(handed, true) ? ImportStep::End : ImportStep::Item;
             };
             return TransferStore(r).importItems(plan).has_value();
         }},
        {"startScanSession",
         [=](Register& r) { return ScanStore(r).startSession(session).has_value(); }},
        {"finishScanSession", [=](Register& r) { return ScanStore(r).finishSession(1, now); }},
        {"recordScan",
         [=](Register& r) {
             return ScanStore(r)
                 .record(session, ScanRules::parse("2"), now, {now.date(), 30})
                 .has_value();
         }},
        {"moveMisplaced",
         [](Register& r) { return ScanStore(r).moveMisplaced(1, "Bay 2").has_value(); }},
        {"upgradeIfOlder", [=](Register& r) { return r.upgradeIfOlder(later); }},
        {"setListPlan",
         [](Register& r) {
             return ListStore(r).setPlan(1, {QDate(2027, 5, 12), {}, ListState::Confirmed},
                                         false) == SetPlanResult::Saved;
         }},
        {"addBookedLine",
         [](Register& r) {
             return ListStore(r).addLine(2, 1, "Lamp", true) == AddLineResult::Added;
         }},
        {"deleteList", [](Register& r) { return ListStore(r).remove(1); }},
        {"putBack",
         [](Register& r) {
             return ChangeStore(r).putBack(1).outcome == PutBackResult::Outcome::Done;
         }},
    };
}

}  // namespace

// Every test runs on a file and on a server register (see StoreFixture);
// what only one engine has is skipped on the other's row.
class TestRegister : public QObject {
    Q_OBJECT
    StoreFixture fixture_;

private slots:
    void initTestCase_data() { fixture_.addEngineRows(); }
    void initTestCase() {
        const QString skip = fixture_.startServer();
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
    }

    void missingFileIsReportedAndNotCreated() {
        QUARVEL_ONLY_ON(Engine::File);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.mdb"));
        Probe p(path);
        QVERIFY(!p.tree.read({QDate(2009, 1, 5)}));
        QVERIFY(!p.items.insert(itemWith(QStringLiteral("x"))));
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(p.messages.size(), 2);
        QVERIFY(p.messages[0].contains(QDir::toNativeSeparators(path)));
        QVERIFY(p.messages[0].contains(QStringLiteral("does not exist")));
    }

    // A server that answers but lets this user in no further is told as
    // that, with its own words, never as a server out of reach; and so it
    // is when asked once before any work, and by a copy from it.
    void aServerThatRefusesTheSignInSaysSo_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("told");
        QTest::newRow("unknown user") << "user=no_such_user"
                                      << "does not let you sign in";
        QTest::newRow("no such database") << "dbname=no_such_register"
                                          << "has no such database";
    }

    void aServerThatRefusesTheSignInSaysSo() {
        QUARVEL_ONLY_ON(Engine::Server);
        QFETCH(QString, setting);
        QFETCH(QString, told);
        const EngineRegister reg(fixture_);
        const RegisterLocation refused =
            RegisterLocation::server(reg.location().text() + QLatin1Char(' ') + setting);
        Probe p(refused);
        QVERIFY(!p.tree.read({QDate(2009, 1, 5)}));
        QCOMPARE(p.messages.size(), 1);
        QVERIFY2(p.messages[0].contains(told), qPrintable(p.messages[0]));
        QVERIFY(!p.messages[0].contains(QStringLiteral("could not connect")));
        const RegisterAccess::Finding found = RegisterAccess::ofServer(refused, 5000);
        QCOMPARE(found.may, RegisterAccess::May::Nothing);
        QVERIFY2(found.text().contains(told), qPrintable(found.text()));
        // The copy of such a register (quarvel-makedb --copy) says the same,
        // and so does the look into it (--is-empty).
        QTemporaryDir folder;
        const RegisterLocation copy =
            RegisterLocation::file(folder.filePath(QStringLiteral("data.mdb")));
        QCOMPARE(RegisterTransfer::copy(refused, copy).error, found.line());
        QVERIFY(!QFileInfo::exists(copy.text()));
        QString problem;
        QVERIFY(!Register::holdsNoRecord(refused, &problem));
        QCOMPARE(problem, found.line());
    }

    void notADatabaseIsReported() {
        QUARVEL_ONLY_ON(Engine::File);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.mdb"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        Probe p(path);
        QVERIFY(!p.ids.counters());
        QVERIFY(!p.lists.insert(QStringLiteral("x")));
        QCOMPARE(p.messages.size(), 2);
        QVERIFY(p.messages[0].contains(QStringLiteral("not a database")));
        QVERIFY(p.messages[0].contains(QDir::toNativeSeparators(path)));
        QCOMPARE(QFileInfo(path).size(), qint64(4096));
    }

    void readOnlyFileStoresNothing() {
        QUARVEL_ONLY_ON(Engine::File);
        TempRegister reg;
        QFile::setPermissions(reg.path(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        if (QFileInfo(reg.path()).isWritable())
            QSKIP("this user can write read-only files (root)");
        Probe p(reg.path());
        QVERIFY(!p.items.insert(itemWith(QStringLiteral("x"))));
        QCOMPARE(p.messages.size(), 1);
        QCOMPARE(reg.count(QStringLiteral("Items")), qint64(0));
        QCOMPARE(p.ids.counters()->lastId, qint64(0));
    }

    void lockedFileWaitsThenFailsWithoutPartialRows() {
        QUARVEL_ONLY_ON(Engine::File);
        TempRegister reg;
        Probe p(reg.path());
        p.reg.setBusyWait([] { return 1000; });
        {
            ExclusiveLock lock(reg.path());
            QElapsedTimer waited;
            waited.start();
            QVERIFY(!p.items.insert(itemWith(QStringLiteral("x"))));
            // The wait set, and not much more.
            QVERIFY2(waited.elapsed() >= 1000 && waited.elapsed() < 4000,
                     qPrintable(QString::number(waited.elapsed())));
        }
        QCOMPARE(p.messages.size(), 1);
        QVERIFY(p.messages[0].contains(QStringLiteral("locked")));
        QCOMPARE(reg.count(QStringLiteral("Items")), qint64(0));
        QCOMPARE(p.ids.counters()->lastId, qint64(0));
    }

    // Each write whose COMMIT fails reports a failure, never an id, count
    // or answer, and the register holds nothing of it.
    void aFailedCommitIsNeverReportedAsStored_data() {
        QTest::addColumn<QString>("operation");
        for (const char* operation :
             {"insertItem",    "insertCase",     "insertList",       "updateItem",
              "updateCase",    "updateList",     "setItemCase",      "deleteItem",
              "addListLine",   "removeListLine", "addLocation",      "deleteLocation",
              "recordTest",    "importItems",    "startScanSession", "finishScanSession",
              "recordScan",    "moveMisplaced",  "upgradeIfOlder",   "setListPlan",
              "addBookedLine", "deleteList",     "putBack"})
            QTest::newRow(operation) << QString::fromLatin1(operation);
    }

    void aFailedCommitIsNeverReportedAsStored() {
        QFETCH(QString, operation);
        EngineRegister reg(fixture_);
        seedForWriters(reg);
        const QStringList before = everythingIn(reg);
        const auto stored = writers();
        Probe p(reg.location());
        p.reg.setBusyWait([] { return 200; });
        {
            const CommitsRefused refused(reg);
            QVERIFY2(!stored[operation](p.reg), "reported as stored");
        }
        QVERIFY(!p.messages.isEmpty());
        QVERIFY2(p.messages.last().contains(reg.onServer() ? QStringLiteral("refused at commit")
                                                           : QStringLiteral("locked")),
                 qPrintable(p.messages.last()));
        QCOMPARE(everythingIn(reg), before);
        // The same operation stores once the COMMIT goes through.
        QVERIFY(stored[operation](p.reg));
        QVERIFY(everythingIn(reg) != before);
    }

    // Every writer logs what it changed, in one batch with who, where and
    // what, in the transaction of the change; the data rows list the log
    // after the seed's own row.
    void everyWriterLogsItsChanges_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QStringList>("logged");
        const auto row = [](const char* operation, QStringList logged) {
            QTest::newRow(operation) << QString::fromLatin1(operation) << logged;
        };
        row("insertItem", {"2 item 3 * ->created", "2 item 3 desc ->New", "2 item 3 caseID ->0",
                           "2 item 3 length ->0", "2 ann DESK-A Save"});
        row("insertCase", {"2 case 2 * ->created", "2 case 2 FName ->Crate",
                           "2 case 2 FWheeled ->No", "2 ann DESK-A Save"});
        row("insertList", {"2 list 3 * ->created", "2 list 3 ListName ->New", "2 ann DESK-A Save"});
        row("updateItem", {"2 item 1 desc Lamp>Spot", "2 ann DESK-A Save"});
        row("updateCase", {"2 case 1 FName Rack>Crate", "2 ann DESK-A Save"});
        row("updateList", {"2 list 1 ListName Stage>Gig", "2 ann DESK-A Save"});
        row("setItemCase", {"2 item 1 caseID 0>1", "2 ann DESK-A Save"});
        row("deleteItem",
            {"2 item 1 desc Lamp>-", "2 item 1 caseID 0>-", "2 item 1 warehouseloc Bay 1>-",
             "2 item 1 * ->deleted", "2 ann DESK-A Save"});
        row("addListLine", {"2 line 1 item ->2 - Cable", "2 ann DESK-A Save"});
        row("removeListLine", {"2 line 1 item 1 - Lamp>-", "2 ann DESK-A Save"});
        row("addLocation",
            {"2 location 2 * ->created", "2 location 2 desc ->Bay 9", "2 ann DESK-A Save"});
        row("deleteLocation",
            {"2 location 1 desc Bay 1>-", "2 location 1 * ->deleted", "2 ann DESK-A Save"});
        row("recordTest",
            {"2 test 1 * ->created", "2 test 1 itemid ->1", "2 test 1 testdate ->9/12/2026",
             "2 test 1 kind ->PAT", "2 test 1 result ->Pass", "2 item 1 testlast ->9/12/2026",
             "2 ann DESK-A Record test"});
        row("importItems", {"2 item 3 * ->created", "2 ann DESK-A Import"});
        row("startScanSession", {});
        row("finishScanSession", {});
        row("recordScan", {});
        row("moveMisplaced", {"2 item 1 warehouseloc Bay 1>Bay 2", "2 ann DESK-A Move"});
        row("setListPlan", {"2 plan 1 outdate ->2027-05-12", "2 plan 1 state Draft>Confirmed",
                            "2 ann DESK-A Save"});
        row("addBookedLine", {"2 line 2 item ->1 - Lamp", "2 ann DESK-A Save"});
        row("deleteList", {"2 line 1 item 1 - Lamp>-", "2 list 1 ListName Stage>-",
                           "2 list 1 * ->deleted", "2 ann DESK-A Save"});
        row("putBack", {"2 item 1 desc Lamp>Lamp0", "2 ann DESK-A Put back"});
    }

    void everyWriterLogsItsChanges() {
        QFETCH(QString, operation);
        QFETCH(QStringList, logged);
        EngineRegister reg(fixture_);
        seedForWriters(reg);
        Probe p(reg.location());
        p.reg.setAuthor({QStringLiteral("ann"), QStringLiteral("DESK-A")});
        QVERIFY(writers()[operation](p.reg));
        QCOMPARE(logAfterSeed(reg), logged);
        // The test history says who recorded the test.
        if (operation == QLatin1String("recordTest"))
            QCOMPARE(p.tests.history(1)->value(0).username + p.tests.history(1)->value(0).desk,
                     QStringLiteral("annDESK-A"));
    }

    // The watcher tells another desk's changes (within 1 s on a server, 2 s
    // on a file), each record once, and leaves out this register's own.
    void watcherTellsOtherDesksChanges() {
        EngineRegister reg(fixture_);
        seedForWriters(reg);
        Probe here(reg.location());
        Probe there(reg.location());
        there.reg.setAuthor({QStringLiteral("bob"), QStringLiteral("DESK-B")});
        ChangeWatcher watcher(here.reg);
        QList<ChangeNote> told;
        connect(&watcher, &ChangeWatcher::changed, this,
                [&told](const QList<ChangeNote>& notes) { told += notes; });
        watcher.start();
        QVERIFY(watcher.watching());
        const int within = reg.onServer() ? 1000 : 2000;

        QCOMPARE(here.items.update(1, {{int(ItemColumn::Desc), "Mine", "Lamp"}}, false),
                 SaveResult::Saved);
        QCOMPARE(there.items.update(2,
                                    {{int(ItemColumn::Desc), "Theirs", "Cable"},
                                     {int(ItemColumn::Notes), "new", ""}},
                                    false),
                 SaveResult::Saved);
        QTRY_COMPARE_WITH_TIMEOUT(told.size(), 1, within);
        QCOMPARE(told[0].kind + told[0].desk + told[0].user, QStringLiteral("itemDESK-Bbob"));
        QCOMPARE(told[0].recordId, 2);
        QCOMPARE(ChangeWatcher::summary(told), QStringLiteral("Item 2 changed at DESK-B"));
        // Only what comes after what it was told.
        QVERIFY(there.items.remove(2));
        QTRY_COMPARE_WITH_TIMEOUT(told.size(), 2, within);
        QCOMPARE(told[1].recordId, 2);
        QVERIFY2(here.messages.isEmpty(), qPrintable(here.messages.join('\n')));
    }

    // A server that stops is noticed, tried again, and heard again once back.
    void watcherListensAgainAfterServerRestart() {
        QUARVEL_ONLY_ON(Engine::Server);
        EngineRegister reg(fixture_);
        seedForWriters(reg);
        Probe here(reg.location());
        ChangeWatcher watcher(here.reg);
        int lost = 0;
        int resumed = 0;
        QList<ChangeNote> told;
        connect(&watcher, &ChangeWatcher::lost, this, [&lost] { ++lost; });
        connect(&watcher, &ChangeWatcher::resumed, this, [&resumed] { ++resumed; });
        connect(&watcher, &ChangeWatcher::changed, this,
                [&told](const QList<ChangeNote>& notes) { told += notes; });
        watcher.start();
        fixture_.server().stop();
        QTRY_COMPARE_WITH_TIMEOUT(lost, 1, 2000);
        QVERIFY(!watcher.watching());
        QVERIFY2(fixture_.server().start(), qPrintable(fixture_.server().error()));
        QTRY_COMPARE_WITH_TIMEOUT(resumed, 1, 3000);
        Probe there(reg.location());
        QCOMPARE(there.items.update(2, {{int(ItemColumn::Desc), "Back", "Cable"}}, false),
                 SaveResult::Saved);
        QTRY_COMPARE_WITH_TIMEOUT(told.size(), 1, 1000);
        QCOMPARE(lost, 1);
    }

    // Put back writes the old value as a new change, and refuses, writing
    // nothing, when the record changed since; a batch comes back whole.
    void putBackRestoresOrRefuses() {
        EngineRegister reg(fixture_);
        seedForWriters(reg);
        Probe p(reg.location());
        p.reg.setAuthor({QStringLiteral("ann"), QStringLiteral("DESK-A")});
        const auto change = [&p] { return p.changes.lastId().value_or(0); };
        QCOMPARE(p.items.update(1, {{int(ItemColumn::Desc), "Spot", "Lamp"}}, false),
                 SaveResult::Saved);
        const qint64 spot = change();
        QCOMPARE(p.items.update(1, {{int(ItemColumn::Desc), "Flood", "Spot"}}, false),
                 SaveResult::Saved);
        const qint64 flood = change();
        const PutBackResult refused = p.changes.putBack(spot);
        QCOMPARE(refused.outcome, PutBackResult::Outcome::Refused);
        QCOMPARE(refused.refusal, QStringLiteral("Item 1 has changed since: its desc is now "
                                                 "\"Flood\"."));
        QCOMPARE(change(), flood);
        QVERIFY2(p.messages.isEmpty(), qPrintable(p.messages.join('\n')));

        const PutBackResult back = p.changes.putBack(flood);
        QCOMPARE(back.outcome, PutBackResult::Outcome::Done);
        QCOMPARE(p.items.withId(1)->first()[ItemColumn::Desc], QStringLiteral("Spot"));
        QCOMPARE(p.changes.batch(back.batch)->first().operation, QStringLiteral("Put back"));

        // A deleted item comes back under its id, with its lines' batch.
        QVERIFY(p.items.remove(2));
        const qint64 deletion = p.changes.history(ChangeKind::kItem, 2)->first().batch;
        QCOMPARE(p.changes.putBackBatch(deletion).outcome, PutBackResult::Outcome::Done);
        QCOMPARE(p.items.withId(2)->first()[ItemColumn::WarehouseLoc], QStringLiteral("Bay 1"));
        QCOMPARE(p.changes.putBackBatch(deletion).outcome, PutBackResult::Outcome::Refused);

        // A list made and changed since (a line, even put back) is not
        // unmade; one made and left as it was is.
        const qint64 list = *p.lists.insert(QStringLiteral("Tour"));
        const qint64 made = p.changes.history(ChangeKind::kList, list)->first().batch;
        QCOMPARE(p.lists.addLine(list, 1, QStringLiteral("Spot")), AddLineResult::Added);
        QCOMPARE(p.changes.putBack(change()).outcome, PutBackResult::Outcome::Done);
        QCOMPARE(p.lists.lines(list)->size(), std::size_t(0));
        QCOMPARE(p.changes.putBackBatch(made).outcome, PutBackResult::Outcome::Refused);
        QCOMPARE(p.lists.exists(list), std::optional<bool>(true));
        const qint64 other = *p.lists.insert(QStringLiteral("Gig 2"));
        QCOMPARE(p.changes.putBack(change()).outcome, PutBackResult::Outcome::Done);
        QCOMPARE(p.lists.exists(other), std::optional<bool>(false));
        // A recorded test is kept.
        QCOMPARE(p.tests.record(1, {QDate(2026, 12, 9), "PAT", true, {}}),
                 RecordTestResult::Recorded);
        const qint64 tested = p.changes.after(change() - 1)->first().batch;
        QCOMPARE(p.changes.putBackBatch(tested).outcome, PutBackResult::Outcome::Refused);
    }

    // The Change Log window's pages: newest first, each from below the last
    // row shown, narrowed by every filter given; the count stops at its cap.
    void theChangeLogIsReadAPageAtATime_data() {
        QTest::addColumn<ChangeFilter>("filter");
        QTest::addColumn<QString>("rows");    // the pages' fields, pages apart by |
        QTest::addColumn<qint64>("counted");  // up to 3
        QTest::newRow("all") << ChangeFilter{} << "FName desc|ListName desc" << 3ll;
        QTest::newRow("one user") << ChangeFilter{{}, {}, "bob", {}, {}} << "FName desc|desc"
                                  << 3ll;
        QTest::newRow("one kind") << ChangeFilter{{}, {}, {}, "item", {}} << "desc desc" << 2ll;
        QTest::newRow("text, any case") << ChangeFilter{{}, {}, {}, {}, "RACK"} << "FName" << 1ll;
        QTest::newRow("a % is a %") << ChangeFilter{{}, {}, {}, {}, "%"} << "" << 0ll;
        QTest::newRow("days") << ChangeFilter{QDate(2026, 12, 1), QDate(2026, 12, 1), {}, {}, {}}
                              << "desc" << 1ll;
    }
    void theChangeLogIsReadAPageAtATime() {
        QFETCH(ChangeFilter, filter);
        QFETCH(QString, rows);
        QFETCH(qint64, counted);
        EngineRegister reg(fixture_);
        seedForWriters(reg);
        Probe p(reg.location());
        p.reg.setAuthor({QStringLiteral("ann"), QStringLiteral("A")});
        QCOMPARE(p.lists.update(1, "Gig", "Stage", false), SaveResult::Saved);
        p.reg.setAuthor({QStringLiteral("bob"), QStringLiteral("B")});
        QCOMPARE(p.items.update(2, {{int(ItemColumn::Desc), "Lead", "Cable"}}, false),
                 SaveResult::Saved);
        QCOMPARE(p.cases.update(1, {{int(CaseColumn::Name), "Crate", "Rack"}}, false),
                 SaveResult::Saved);
        QStringList pages;
        qint64 before = 0;
        do {
            const auto page = p.changes.page(filter, before, 2);
            QVERIFY(page);
            QStringList fields;
            for (const ChangeRow& r : page->rows)
                fields << r.field;
            pages << fields.join(' ');
            before = page->nextBeforeId;
        } while (before != 0);
        QCOMPARE(pages.join('|'), rows);
        QCOMPARE(p.changes.count(filter, 3), std::optional<qint64>(counted));
    }

    // An import is one batch: a "created" row for each item it made, in
    // the order made, runs of ids and single ones alike.
    void anImportIsOneBatch() {
        EngineRegister reg(fixture_);
        seedForWriters(reg);
        Probe p(reg.location());
        const QList<qint64> fileIds = {40, 7, 9};  // then 20 new ids (3..22 and 41..)
        ItemImportPlan plan;
        plan.itemCount = 23;
        plan.newIdCount = 20;
        plan.highestFileId = 40;
        plan.next = [n = 0, &fileIds](ImportedItem& item, QString*) mutable {
            if (n == 23)
                return ImportStep::End;
            item = {};
            item.id = n < 3 ? fileIds[n] : 0;
            item.values[0].setText("Imported");
            ++n;
            return ImportStep::Item;
        };
        QVERIFY(p.transfer.importItems(plan));
        const auto rows = p.changes.after(1);
        QCOMPARE(rows->size(), 23);
        QStringList ids;
        for (const ChangeRow& r : *rows) {
            QCOMPARE(r.batch, rows->first().batch);
            QCOMPARE(r.operation + r.field + *r.newValue, QStringLiteral("Import*created"));
            ids << QString::number(r.recordId);
        }
        QCOMPARE(ids.mid(0, 4).join(' '), QStringLiteral("40 7 9 41"));
        QCOMPARE(ids.last(), QStringLiteral("60"));
    }

    // A register of layout 4 gains the log; its tests keep no recorder.
    void anUpgradeFromLayout4AddsTheLog() {
        EngineRegister reg(fixture_);
        reg.exec(QStringLiteral(
            R"(DROP TABLE "ChangeLog"; DROP TABLE "ChangeBatches";
               INSERT INTO "Items" ("id", "desc") VALUES (1, 'Lamp');
               INSERT INTO "TestHistory" VALUES (1, 1, 2461000, '9/12/2026', 'PAT', 'Pass', ''))"));
        reg.exec(reg.onServer() ? QStringLiteral(R"(UPDATE "RegisterVersion" SET "version" = 4)")
                                : QStringLiteral("PRAGMA user_version = 4"));
        Probe p(reg.location());
        QVERIFY(!p.changes.lastId());  // no log yet
        p.messages.clear();
        QVERIFY(p.reg.upgradeIfOlder());
        QCOMPARE(
            reg.scalar(reg.onServer() ? QStringLiteral(R"(SELECT "version" FROM "RegisterVersion")")
                                      : QStringLiteral("PRAGMA user_version")),
            QStringLiteral("5"));
        QCOMPARE(p.tests.history(1)->first().username, QString());
        QCOMPARE(p.items.update(1, {{int(ItemColumn::Desc), "Spot", "Lamp"}}, false),
                 SaveResult::Saved);
        QCOMPARE(p.changes.history(ChangeKind::kItem, 1)->first().newValue,
                 std::optional<QString>(QStringLiteral("Spot")));
        QVERIFY2(p.messages.isEmpty(), qPrintable(p.messages.join('\n')));
    }

    // Double-quoted names are names only: a missing column fails the
    // statement, and the user is told which part is missing.
    void aMissingColumnIsAFailureNeverAText() {
        EngineRegister reg(fixture_);
        reg.exec(QStringLiteral(
            R"(INSERT INTO "Items" (id, "desc") VALUES (1, 'Lamp');)"
            R"(ALTER TABLE "Items" DROP COLUMN "desc"; DROP TABLE "Locations";)"
            R"(CREATE TABLE "Locations" (name TEXT); INSERT INTO "Locations" VALUES ('desc'), ('Bay 1'))"));
        Probe p(reg.location());
        QVERIFY(!p.tree.read({QDate(2009, 1, 5)}));
        QVERIFY(p.messages.value(0).contains(QStringLiteral("table Items has no column desc")));
        QVERIFY(!p.locations.remove(1, QStringLiteral("desc")));
        QCOMPARE(reg.count(QStringLiteral("Locations")), qint64(2));
        EngineRegister noLists(fixture_);
        noLists.exec(QStringLiteral(R"(DROP TABLE "Lists")"));
        Probe q(noLists.location());
        QVERIFY(!q.lists.exists(1));
        QVERIFY(q.messages.value(0).contains(QStringLiteral("it has no table Lists")));
    }

    // A register whose table was replaced by a view: said in plain words,
    // not as SQLite's "cannot modify Lists because it is a view".
    void aViewInPlaceOfATableIsNamed() {
        QUARVEL_ONLY_ON(Engine::File);
        TempRegister reg;
        reg.exec(QStringLiteral(
            "DROP TABLE Lists; CREATE VIEW Lists AS SELECT 1 AS id, 'x' AS ListName"));
        Probe p(reg.path());
        QVERIFY(!p.lists.insert(QStringLiteral("x")));
        QVERIFY2(p.messages.value(0).contains(QStringLiteral("its Lists is a view, not a table")),
                 qPrintable(p.messages.value(0)));
        QVERIFY(p.messages.value(0).contains(QStringLiteral("Restore data.mdb from a backup")));
    }

    // Another program in the middle of a save: this save waits for it
    // instead of being refused.
    void aSaveWaitsForAnotherWriter() {
        QUARVEL_ONLY_ON(Engine::File);
        TempRegister reg;
        Probe p(reg.path());
        QSemaphore locked, release;
        std::thread other([&] {
            sqlite3* db = nullptr;
            sqlite3_open(reg.path().toUtf8().constData(), &db);
            sqlite3_exec(db, "BEGIN IMMEDIATE; UPDATE Data SET lastid = lastid + 1", nullptr,
                         nullptr, nullptr);
            locked.release();
            release.tryAcquire(1, 300);
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        });
        locked.acquire();
        const auto id = p.items.insert(itemWith(QStringLiteral("x")));
        other.join();
        QVERIFY2(p.messages.isEmpty(), qPrintable(p.messages.join('\n')));
        QCOMPARE(id, std::optional<qint64>(2));
    }

    void plainWordsForWhatWentWrong() {
        QUARVEL_ONLY_ON(Engine::File);
        TempRegister reg;
        Probe p(reg.path());
        p.reg.setBusyWait([] { return 100; });
        {
            ExclusiveLock lock(reg.path());
            QVERIFY(!p.items.exists(1));
        }
        QVERIFY(p.messages.last().contains(QStringLiteral("in use by another program")));
        QFile::resize(reg.path(), 0);
        QFile f(reg.path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2048, 'x'));
        f.close();
        QVERIFY(!p.items.exists(1));
        QVERIFY(p.messages.last().contains(QStringLiteral("is not a Quarvel database")));
        QVERIFY(p.messages.last().contains(QStringLiteral("(SQLite: file is not a database)")));
    }

    // Another program holds the register longer than SQLite's own wait of
    // the past: the save waits (10 s unless set) and goes through.
    void aSaveWaitsSecondsForAnotherWriter() {
        QUARVEL_ONLY_ON(Engine::File);
        TempRegister reg;
        Probe p(reg.path());
        QSemaphore locked;
        std::thread other([&] {
            ExclusiveLock lock(reg.path());
            locked.release();
            QThread::msleep(2500);
        });
        locked.acquire();
        const auto id = p.items.insert(itemWith(QStringLiteral("x")));
        other.join();
        QVERIFY2(p.messages.isEmpty(), qPrintable(p.messages.join('\n')));
        QCOMPARE(id, std::optional<qint64>(1));
    }

    // Programs (desks on a server) saving as fast as they can, each item
    // with its first test: none refused, none lost, and every one told the
    // id its item really got (quarvel-bench-writers makes the long run).
    void writersAtOnceRefuseNoSave() {
        EngineRegister reg(fixture_);
        const int writers = reg.onServer() ? 8 : 2, each = reg.onServer() ? 12 : 40;
        std::vector<std::vector<qint64>> given(writers);
        std::vector<QStringList> messages(writers);
        std::atomic<int> ready = 0;
        const auto writer = [&](int w) {
            Register opened(reg.location(), [&messages, w](const QString& m) { messages[w] << m; });
            ItemStore items(opened);
            TestRecordStore tests(opened);
            ++ready;
            while (ready < writers)
                QThread::yieldCurrentThread();
            for (int i = 0; i < each; ++i) {
                const QString desc = QStringLiteral("w%1 #%2").arg(w).arg(i);
                if (const auto id = items.insert(itemWith(desc))) {
                    given[w].push_back(*id);
                    if (items.withId(*id)->first()[ItemColumn::Desc] != desc)
                        messages[w] << QStringLiteral("item %1 is not mine").arg(*id);
                    // ...and records its first test: history ids never collide.
                    if (tests.record(*id, {QDate(2026, 12, 1), QStringLiteral("PAT"), true, {}}) !=
                        RecordTestResult::Recorded)
                        messages[w] << QStringLiteral("item %1's test not recorded").arg(*id);
                }
            }
        };
        std::vector<std::thread> threads;
        for (int w = 0; w < writers; ++w)
            threads.emplace_back(writer, w);
        for (auto& t : threads)
            t.join();
        std::set<qint64> ids;
        for (int w = 0; w < writers; ++w) {
            QVERIFY2(messages[w].isEmpty(), qPrintable(messages[w].join('\n')));
            ids.insert(given[w].begin(), given[w].end());
        }
        const auto total = std::size_t(writers * each);
        QCOMPARE(ids.size(), total);
        QCOMPARE(*ids.rbegin(), qint64(total));
        QCOMPARE(reg.count(QStringLiteral("Items")), qint64(total));
        QCOMPARE(reg.scalar(QStringLiteral(R"(SELECT "lastid" FROM "Data")")),
                 QString::number(total));
        Probe p(reg.location());
        QCOMPARE(p.ids.counters()->lastId, qint64(total));
        QCOMPARE(p.items.all()->size(), total);
    }

    // A save cut off by a crash left its journal, and the folder may not be
    // written, so SQLite cannot undo it: said in words, not as "the disk
    // reported an error".
    void aCutOffSaveInAReadOnlyFolderIsExplained() {
        QUARVEL_ONLY_ON(Engine::File);
        TempRegister reg;
        reg.exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500) "
            "INSERT INTO Items (\"desc\") SELECT hex(randomblob(100)) FROM n"));
        QTemporaryDir crashed;
        const QString path = crashed.filePath(QStringLiteral("data.mdb"));
        reg.copyWithCutOffSave(path);
        Probe p(path);
        {
            UnwritableFolder locked(crashed.path());
            if (!locked.holds())
                QSKIP("this user can write to any folder here");
            QVERIFY(!p.ids.counters());
        }
        QVERIFY2(p.messages.value(0).contains(QStringLiteral("holds a save that was cut off")),
                 qPrintable(p.messages.value(0)));
        QVERIFY(!p.messages.value(0).contains(QStringLiteral("the disk reported an error")));
    }

    // Another desk holds the counters: the save waits for it, and goes on.
    // Held longer than the wait, the save is refused in plain words.
    void aSaveWaitsForAnotherDesk() {
        QUARVEL_ONLY_ON(Engine::Server);
        EngineRegister reg(fixture_);
        const QString db = reg.database();
        Probe d(reg.location());
        for (const int holdMs : {600, 3000}) {
            QSemaphore locked;
            std::thread other([&] {
                PostgresServer::Holder hold(fixture_.server().connectionString(db),
                                            R"(SELECT * FROM "Data" FOR UPDATE)");
                locked.release();
                QThread::msleep(holdMs);
            });
            locked.acquire();
            d.reg.setBusyWait([] { return 1500; });
            const auto id = d.items.insert(itemWith(QStringLiteral("x")));
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
        QCOMPARE(reg.scalar(QStringLiteral("SELECT count(*) FROM \"Items\"")), QStringLiteral("1"));
    }

    // The server stops in the middle of a save: the user is told in words
    // that name the server, nothing is half-written, and once the server is
    // back the next save connects again and goes through.
    void theServerStopsInTheMiddleOfASave() {
        QUARVEL_ONLY_ON(Engine::Server);
        EngineRegister reg(fixture_);
        const QString db = reg.database();
        Probe d(reg.location());
        QVERIFY(d.items.insert(itemWith(QStringLiteral("before"))));
        d.reg.setBusyWait([] { return 20000; });
        QSemaphore locked;
        std::thread other([&] {
            PostgresServer::Holder hold(fixture_.server().connectionString(db),
                                        R"(SELECT * FROM "Data" FOR UPDATE)");
            locked.release();
            QThread::msleep(500);  // the save below now waits for the counters
            // Ended "fast", the holder's session could let go of the counters
            // before the waiting save's session is ended, and the save commit.
            fixture_.server().stop(true);
        });
        locked.acquire();
        QElapsedTimer waited;
        waited.start();
        const auto cutOff = d.items.insert(itemWith(QStringLiteral("cut off")));
        other.join();
        QVERIFY(!cutOff);
        QVERIFY2(waited.elapsed() < 5000, qPrintable(QString::number(waited.elapsed())));
        QCOMPARE(d.messages.size(), 1);
        QVERIFY2(d.messages[0].contains(QStringLiteral("connection to the register")) &&
                     d.messages[0].contains(QStringLiteral("database %1 on the server on this "
                                                           "computer")
                                                .arg(db)),
                 qPrintable(d.messages[0]));
        // Not reachable: said so, and nothing else happens.
        QVERIFY(!d.items.all());
        QVERIFY2(d.messages.value(1).contains(QStringLiteral("could not connect")),
                 qPrintable(d.messages.value(1)));

        QVERIFY2(fixture_.server().start(), qPrintable(fixture_.server().error()));
        QCOMPARE(d.items.insert(itemWith(QStringLiteral("after"))), std::optional<qint64>(2));
        QCOMPARE(names(*d.items.all()),
                 (QStringList{QStringLiteral("before"), QStringLiteral("after")}));
        QCOMPARE(d.ids.counters()->lastId, qint64(2));
        QCOMPARE(d.messages.size(), 2);
    }

    // A server that stops answering over the network is noticed within
    // seconds: keepalives are on unless the connection string says otherwise.
    void aSilentServerIsNoticedWithinSeconds() {
        QUARVEL_ONLY_ON(Engine::Server);
        EngineRegister reg(fixture_);
        const QString target = fixture_.server().connectionString(reg.database());
        Postgres::Connection ours(target, 0);
        Postgres::Connection own(target + QStringLiteral(" keepalives_idle=60"), 0);
        QVERIFY(ours.isOpen() && own.isOpen());
        const auto setting = [](const Postgres::Connection& c, const char* keyword) {
            QString value;
            PQconninfoOption* options = PQconninfo(c.handle());
            for (PQconninfoOption* o = options; o && o->keyword; ++o) {
                if (!std::strcmp(o->keyword, keyword) && o->val)
                    value = QString::fromUtf8(o->val);
            }
            PQconninfoFree(options);
            return value;
        };
        const QStringList keywords{"keepalives",       "keepalives_idle",  "keepalives_interval",
                                   "keepalives_count", "tcp_user_timeout", "connect_timeout"};
        QStringList values, ownValues;
        for (const QString& k : keywords) {
            values << setting(ours, k.toUtf8().constData());
            ownValues << setting(own, k.toUtf8().constData());
        }
        QCOMPARE(values, (QStringList{"1", "5", "2", "3", "15000", "10"}));
        QCOMPARE(ownValues.value(1), QStringLiteral("60"));
    }

    // The layout versions: an upgrade runs its steps on the server in one
    // transaction; a failed one changes nothing; a newer register is only read.
    void versionsAndUpgradesOnTheServer() {
        QUARVEL_ONLY_ON(Engine::Server);
        EngineRegister reg(fixture_);
        const QString version = QStringLiteral("SELECT version FROM \"RegisterVersion\"");
        QCOMPARE(reg.scalar(version), QString::number(Schema::kCurrentVersion));
        const Schema::Step failing[] = {{Schema::kCurrentVersion + 1, addShelves},
                                        {Schema::kCurrentVersion + 2, failHalfWay}};
        Probe d(reg.location());
        QVERIFY(!d.reg.upgradeIfOlder(failing));
        QCOMPARE(reg.scalar(version), QString::number(Schema::kCurrentVersion));
        QCOMPARE(reg.scalar(QStringLiteral("SELECT to_regclass('\"Shelves\"')")), QString());
        const Schema::Step later[] = {{Schema::kCurrentVersion + 1, addShelves}};
        QVERIFY(d.reg.upgradeIfOlder(later));
        QCOMPARE(reg.scalar(version), QString::number(Schema::kCurrentVersion + 1));
        QVERIFY(d.items.insert(itemWith(QStringLiteral("x"))));

        reg.exec(QStringLiteral("UPDATE \"RegisterVersion\" SET version = 9"));
        Probe newer(reg.location());
        QVERIFY(!newer.reg.upgradeIfOlder());
        QVERIFY(newer.reg.readOnly());
        QVERIFY(newer.items.all());
        QVERIFY(!newer.lists.insert(QStringLiteral("refused")));
        QCOMPARE(reg.scalar(QStringLiteral("SELECT count(*) FROM \"Lists\"")), QStringLiteral("0"));
    }

    // A register moved from a file to a server and back keeps every row,
    // id and counter; a target that holds a register is refused, and a
    // failed copy leaves nothing behind.
    void copyBetweenFileAndServerKeepsEveryRow() {
        QUARVEL_ONLY_ON(Engine::Server);
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
        Register fileRegister(file.path());
        const QStringList before = contentsOf(fileRegister);
        QCOMPARE(before.size(), 9);

        const QString connection = fixture_.server().newDatabase(QStringLiteral("copied"));
        const auto toServer = RegisterTransfer::copy(RegisterLocation::file(file.path()),
                                                     RegisterLocation::server(connection));
        QVERIFY2(toServer.ok, qPrintable(toServer.error));
        QCOMPARE(toServer.rows, qint64(9));
        Probe d(RegisterLocation::server(connection));
        QCOMPARE(contentsOf(d.reg), before);
        // New records carry on above the copied ones.
        QCOMPARE(d.items.insert(itemWith(QStringLiteral("new"))), std::optional<qint64>(13));
        QCOMPARE(d.locations.add(QStringLiteral("Bay 3")), AddLocationResult::Added);
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
        Register backRegister(back);
        QCOMPARE(contentsOf(backRegister), contentsOf(d.reg));
        QVERIFY(!RegisterTransfer::copy(RegisterLocation::server(connection),
                                        RegisterLocation::file(back))
                     .ok);

        // A text a number column cannot hold stops the copy: nothing is left.
        file.exec(QStringLiteral("UPDATE Items SET length = 'long' WHERE id = 9"));
        const QString empty = fixture_.server().newDatabase(QStringLiteral("failed"));
        const auto failed = RegisterTransfer::copy(RegisterLocation::file(file.path()),
                                                   RegisterLocation::server(empty));
        QVERIFY(!failed.ok);
        QVERIFY2(failed.error.contains(QStringLiteral("Items")), qPrintable(failed.error));
        QCOMPARE(fixture_.server().scalar(QStringLiteral("failed"),
                                          QStringLiteral("SELECT count(*) FROM pg_tables WHERE "
                                                         "schemaname = 'public'")),
                 QStringLiteral("0"));
    }

    // A copy to a server and back carries the change log; new changes are
    // numbered above the copied ones.
    void aCopyCarriesTheLog() {
        QUARVEL_ONLY_ON(Engine::Server);
        TempRegister file;
        Probe f(file.path());
        f.reg.setAuthor({QStringLiteral("ann"), QStringLiteral("DESK-A")});
        QVERIFY(f.items.insert(itemWith(QStringLiteral("Amp"))));
        QVERIFY(f.items.remove(1));
        const auto logOf = [](Probe& p) {
            QStringList rows;
            for (const ChangeRow& r : p.changes.after(0).value_or(QList<ChangeRow>{}))
                rows << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                            .arg(r.id)
                            .arg(r.batch)
                            .arg(r.at.toString(Qt::ISODateWithMs), r.user, r.desk, r.operation,
                                 r.field, r.newValue.value_or("-"));
            return rows;
        };
        const QStringList logged = logOf(f);
        QCOMPARE(logged.size(), 8);
        const QString connection = fixture_.server().newDatabase(QStringLiteral("logcopy"));
        const auto toServer = RegisterTransfer::copy(RegisterLocation::file(file.path()),
                                                     RegisterLocation::server(connection));
        QVERIFY2(toServer.ok, qPrintable(toServer.error));
        Probe d(RegisterLocation::server(connection));
        QCOMPARE(logOf(d), logged);
        QCOMPARE(d.lists.insert(QStringLiteral("Tour")), std::optional<qint64>(1));
        QCOMPARE(d.changes.lastId(), std::optional<qint64>(10));
        QCOMPARE(d.changes.history(ChangeKind::kList, 1)->first().batch, qint64(3));

        QTemporaryDir folder;
        const QString back = folder.filePath(QStringLiteral("data.mdb"));
        QVERIFY(RegisterTransfer::copy(RegisterLocation::server(connection),
                                       RegisterLocation::file(back))
                    .ok);
        Probe b(back);
        QCOMPARE(logOf(b), logOf(d));
        QVERIFY2(d.messages.isEmpty() && b.messages.isEmpty(), qPrintable(d.messages.join('\n')));
    }

    // A server that cannot be reached, a database without a register, a
    // connection string with a password: each said in words.
    void whatCannotBeUsedIsSaid() {
        QUARVEL_ONLY_ON(Engine::Server);
        Probe nowhere(
            RegisterLocation::server(QStringLiteral("host=/nonexistent/quarvel dbname=quarvel")));
        QVERIFY(!nowhere.ids.counters());
        QVERIFY2(nowhere.messages.value(0).contains(QStringLiteral("could not connect")),
                 qPrintable(nowhere.messages.value(0)));
        Probe empty(
            RegisterLocation::server(fixture_.server().newDatabase(QStringLiteral("empty"))));
        QVERIFY(!empty.items.all());
        QVERIFY2(empty.messages.value(0).contains(QStringLiteral("it has no table Items")),
                 qPrintable(empty.messages.value(0)));
        QVERIFY(!RegisterLocation::server(QStringLiteral("host=x dbname=y password=secret"))
                     .problem()
                     .isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRegister)
#include "test_register.moc"
