#include <libpq-fe.h>
#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QThread>
#include <atomic>
#include <cstring>
#include <set>
#include <thread>
#include <utility>

#include "StoreFixture.h"
#include "cli/TransferCommands.h"
#include "data/Progress.h"
#include "data/Register.h"
#include "data/TransferStore.h"
#include "data/engine/Postgres.h"
#include "data/engine/Sql.h"
#include "data/engine/Sqlite.h"
#include "data/register/RegisterAccess.h"
#include "data/register/RegisterTransfer.h"

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

// A user who presses Cancel at the job's first report.
struct CancelAtOnce : Progress {
    int reports = 0;
    bool report(std::int64_t, std::int64_t) override { return ++reports == 0; }
    bool cancelled() const override { return reports > 0; }
};

QByteArray hashOf(const QString& file) {
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Items in cases, enough for the tables and indexes to span many pages, and
// a deleted highest id that the counters and SQLite's sequence remember.
void fillForDamage(const TempRegister& reg) {
    reg.exec(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
        "INSERT INTO Items (\"desc\", caseID, notes) SELECT 'Item ' || i, i % 40, "
        "hex(randomblob(30)) FROM n; INSERT INTO Cases (FName) VALUES ('Rack');"
        "INSERT INTO Locations VALUES ('Bay 1'); DELETE FROM Items WHERE id = 3000;"
        "UPDATE Data SET lastid = 3000, lastCase = 1"));
}

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
            for (const char* table :
                 {"Items", "Cases", "Lists", "ListData", "Locations", "Data", "TestHistory",
                  "ScanSessions", "ScanRecords", "RegisterVersion"})
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
                  COALESCE((SELECT "finished" FROM "ScanSessions" WHERE "id" = 1), '') || ' ' ||
                  COALESCE((SELECT "warehouseloc" FROM "Items" WHERE "id" = 1), ''))"))
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

}  // namespace

// Every test runs on a file and on a server register (see StoreFixture);
// what only one engine has is skipped on the other's row.
class TestStore : public QObject {
    Q_OBJECT
    StoreFixture fixture_;

private slots:
    void initTestCase_data() { fixture_.addEngineRows(); }
    void initTestCase() {
        const QString skip = fixture_.startServer();
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
    }

    void firstIdsAreOneAndCountersFollow() {
        EngineRegister reg(fixture_);
        QString error;
        QVERIFY(
            !Register::createEmpty(reg.location(), &error));  // a register takes its tables once
        if (reg.onServer())
            QVERIFY2(error.contains(QStringLiteral("already holds a register")), qPrintable(error));
        Probe p(reg.location());
        QCOMPARE(p.ids.counters()->lastId, 0);
        QCOMPARE(p.ids.predicted(RecordTable::Items), std::optional<qint64>(1));
        QCOMPARE(*p.items.insert(itemWith(QStringLiteral("Mixer"))), qint64(1));
        QCOMPARE(*p.cases.insert({{}, {QStringLiteral("Rack"), {}, {}, {}, QStringLiteral("No")}}),
                 qint64(1));
        QCOMPARE(*p.lists.insert(QStringLiteral("Stage left")), qint64(1));
        const Counters c = *p.ids.counters();
        QCOMPARE(c.lastId, qint64(1));
        QCOMPARE(c.lastCase, qint64(1));
        QCOMPARE(c.lastList, qint64(1));
        QVERIFY(p.messages.isEmpty());
    }

    void deletedHighestIdIsNeverReused() {
        EngineRegister reg(fixture_);
        Probe p(reg.location());
        p.items.insert(itemWith(QStringLiteral("A")));
        QCOMPARE(*p.items.insert(itemWith(QStringLiteral("B"), 1, 12.5)), qint64(2));
        QVERIFY(p.items.remove(2));
        QCOMPARE(p.ids.counters()->lastId, qint64(2));  // deleting changes no counter
        QCOMPARE(*p.items.insert(itemWith(QStringLiteral("C"))), qint64(3));
        QCOMPARE(p.ids.counters()->lastId, qint64(3));
        QVERIFY(p.items.remove(99));  // matches no row: silently fine
        QVERIFY(p.messages.isEmpty());
    }

    void newIdIsTheRaisedCounterEvenWhenCounterAndRowsDisagree() {
        EngineRegister reg(fixture_);
        Probe p(reg.location());
        reg.exec(QStringLiteral(R"(UPDATE "Data" SET "lastid" = 44, "lastList" = 2)"));
        QCOMPARE(*p.items.insert(itemWith(QStringLiteral("A"))), qint64(45));
        QCOMPARE(p.ids.counters()->lastId, qint64(45));
        // A row above the counter: the new id passes it and the counter
        // follows; in a file also once the row is deleted, as SQLite
        // remembers the ids it gave (a server keeps no such memory).
        reg.exec(QStringLiteral(R"(INSERT INTO "Items" (id) VALUES (60))"));
        if (!reg.onServer())
            reg.exec(QStringLiteral(R"(DELETE FROM "Items" WHERE id = 60)"));
        // A copy gives none of the remembered ids again either.
        QTemporaryDir copies;
        const auto copy = RegisterLocation::file(copies.filePath(QStringLiteral("copy.mdb")));
        QVERIFY(RegisterTransfer::copy(reg.location(), copy).ok);
        QCOMPARE(*Probe(copy).items.insert(itemWith(QStringLiteral("B"))), qint64(61));
        QCOMPARE(*p.items.insert(itemWith(QStringLiteral("B"))), qint64(61));
        QCOMPARE(p.ids.counters()->lastId, qint64(61));
        QCOMPARE(*p.lists.insert(QStringLiteral("L")), qint64(3));
        QVERIFY(p.messages.isEmpty());
    }

    void itemRoundTripKeepsTextsAndNumbers() {
        EngineRegister reg(fixture_);
        Probe p(reg.location());
        ItemWrite w =
            itemWith(QStringLiteral("  007 'quoted' \"desc\"; DROP TABLE Items; "), 12, 12.5);
        w[static_cast<int>(ItemColumn::Serial)] = QStringLiteral("0042");
        const qint64 id = *p.items.insert(w);
        const auto rows = *p.items.withId(id);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0][ItemColumn::Desc],
                 QStringLiteral("  007 'quoted' \"desc\"; DROP TABLE Items; "));
        QCOMPARE(rows[0][ItemColumn::Serial], QStringLiteral("0042"));
        QCOMPARE(rows[0][ItemColumn::CaseId], QStringLiteral("12"));
        QCOMPARE(rows[0][ItemColumn::Length], QStringLiteral("12.5"));
        if (!reg.onServer())  // a file's column takes any type: the number is kept as one
            QCOMPARE(reg.scalar(QStringLiteral("SELECT typeof(caseID) FROM Items")),
                     QStringLiteral("integer"));
        QCOMPARE(p.items.inCase(12)->size(), std::size_t(1));
        QVERIFY(p.items.withId(99)->isEmpty());
    }

    void nullColumnsReadAsEmptyText() {
        EngineRegister reg(fixture_);
        reg.exec(QStringLiteral(
            R"(INSERT INTO "Items" (id) VALUES (5); INSERT INTO "Cases" (id) VALUES (3);)"
            R"(INSERT INTO "Lists" (id) VALUES (4); INSERT INTO "ListData" (listid, itemid) VALUES (4, 5))"));
        Probe p(reg.location());
        const ItemRecord item = p.items.withId(5)->first();
        QCOMPARE(item.id, QStringLiteral("5"));
        for (const QString& v : item.values)
            QVERIFY(v.isEmpty());
        const CaseRecord c = p.cases.withId(3)->first();
        QVERIFY(c[CaseColumn::Name].isEmpty() && c[CaseColumn::Notes].isEmpty() &&
                c[CaseColumn::Wheeled].isEmpty());
        QVERIFY(p.lists.withId(4)->first().name.isEmpty());
        QVERIFY(p.lists.lines(4)->texts.text(0).isEmpty());
    }

    void columnNamesInAnyLetterCase() {
        QUARVEL_ONLY_ON(Engine::File);
        // A register whose tables were written with other letter cases.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.mdb"));
        {
            sqlite3* db = nullptr;
            sqlite3_open(path.toUtf8().constData(), &db);
            sqlite3_exec(
                db,
                "CREATE TABLE ITEMS (ID INTEGER PRIMARY KEY AUTOINCREMENT, DESC TEXT, Category "
                "TEXT, "
                "Manufacturer TEXT, Model TEXT, Dom TEXT, TestInterval TEXT, TestLast TEXT, "
                "TestNext TEXT, TestPatResult TEXT, TestPressureResult TEXT, "
                "VisualInspectionResult TEXT, LolerInspectionResult TEXT, CalibrationCert TEXT, "
                "CaseId NUMERIC, WarehouseLoc TEXT, Notes TEXT, Length NUMERIC, Serial TEXT);"
                "CREATE TABLE cases (Id INTEGER PRIMARY KEY AUTOINCREMENT, fname TEXT, flocation "
                "TEXT, "
                "fbought TEXT, fnotes TEXT, fwheeled TEXT);"
                "CREATE TABLE LISTS (ID INTEGER PRIMARY KEY AUTOINCREMENT, LISTNAME TEXT);"
                "CREATE TABLE listdata (ListID NUMERIC, ItemID NUMERIC, ItemDesc TEXT);"
                "CREATE TABLE LOCATIONS (Desc TEXT);"
                "CREATE TABLE DATA (LastID NUMERIC, LASTCASE NUMERIC, lastlist NUMERIC);"
                "INSERT INTO DATA VALUES (0, 0, 0);",
                nullptr, nullptr, nullptr);
            sqlite3_close(db);
        }
        Probe p(path);
        const qint64 id = *p.items.insert(itemWith(QStringLiteral("Mixer"), 1));
        QCOMPARE(p.cases.insert({{}, {QStringLiteral("Rack"), {}, {}, {}, QStringLiteral("Yes")}}),
                 std::optional<qint64>(1));
        QCOMPARE(p.items.update(id, {{int(ItemColumn::Desc), "Desk", "Mixer"}}, false),
                 SaveResult::Saved);
        QCOMPARE(p.items.withId(id)->first()[ItemColumn::Desc], QStringLiteral("Desk"));
        QCOMPARE(p.items.inCase(1)->size(), std::size_t(1));
        QCOMPARE(p.locations.add(QStringLiteral("Bay 1")), AddLocationResult::Added);
        QCOMPARE(p.locations.add(QStringLiteral("Bay 1")), AddLocationResult::AlreadyThere);
        const auto tree = p.tree.read({QDate(2009, 1, 5)});
        QVERIFY(tree);
        QCOMPARE(tree->caseItems.size(), std::size_t(1));
        QVERIFY2(p.messages.isEmpty(), qPrintable(p.messages.join('\n')));
    }

    void locationNamesWithQuotesAndLetterCase() {
        EngineRegister reg(fixture_);
        Probe p(reg.location());
        const QString name = QStringLiteral("O'Brien's bay ' OR '1'='1");
        QCOMPARE(p.locations.add(name), AddLocationResult::Added);
        QCOMPARE(p.locations.add(QStringLiteral("Bay 4")), AddLocationResult::Added);
        QCOMPARE(p.locations.add(name), AddLocationResult::AlreadyThere);
        QCOMPARE(p.locations.add(QStringLiteral("bay 4")), AddLocationResult::AlreadyThere);
        QCOMPARE(p.locations.add(QStringLiteral("Caf\u00e9")), AddLocationResult::Added);
        QCOMPARE(p.locations.add(QStringLiteral("CAF\u00c9")), AddLocationResult::AlreadyThere);
        QCOMPARE(names(*p.locations.all()),
                 QStringList({name, QStringLiteral("Bay 4"), QStringLiteral("Caf\u00e9")}));
        QVERIFY(p.locations.remove(p.locations.all()->ids[0], name));
        QCOMPARE(names(*p.locations.all()),
                 QStringList({QStringLiteral("Bay 4"), QStringLiteral("Caf\u00e9")}));
        // An old register with the same name in two letter cases: delete
        // removes only the row named.
        reg.exec(QStringLiteral(R"(INSERT INTO "Locations" ("desc") VALUES ('BAY 4'))"));
        QVERIFY(p.locations.remove(p.locations.all()->ids[0], QStringLiteral("Bay 4")));
        QCOMPARE(names(*p.locations.all()),
                 QStringList({QStringLiteral("Caf\u00e9"), QStringLiteral("BAY 4")}));
        // The row is deleted by its id only under the name it has.
        qint64 rowId = 0;
        QCOMPARE(p.locations.add(QStringLiteral("Bay 2"), &rowId), AddLocationResult::Added);
        QVERIFY(p.locations.remove(rowId, QStringLiteral("BAY 2")));  // not that name
        QVERIFY(p.locations.remove(rowId, QStringLiteral("Bay 2")));
        QCOMPARE(p.locations.all()->size(), std::size_t(2));
    }

    void listLinesAndDuplicateCheck() {
        EngineRegister reg(fixture_);
        Probe p(reg.location());
        const qint64 list = *p.lists.insert(QStringLiteral("Stage"));
        QCOMPARE(p.lists.addLine(list, 9, QStringLiteral("Lamp")), AddLineResult::Added);
        QCOMPARE(p.lists.addLine(list, 3, QStringLiteral("Cable")), AddLineResult::Added);
        QCOMPARE(p.lists.addLine(list, 9, QStringLiteral("Lamp")), AddLineResult::AlreadyOnList);
        QCOMPARE(p.lists.addLine(list + 1, 9, QStringLiteral("Lamp")), AddLineResult::ListGone);
        const auto lines = *p.lists.lines(list);
        QCOMPARE(lines.ids, (std::vector<std::int64_t>{3, 9}));
        QVERIFY(p.lists.removeLine(list, 9));
        QCOMPARE(p.lists.lines(list)->size(), std::size_t(1));
        QCOMPARE(reg.count(QStringLiteral("ListData")), qint64(1));
        QVERIFY(p.messages.isEmpty());
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

    void failedInsertLeavesTheCounterAlone() {
        EngineRegister reg(fixture_);
        reg.exec(reg.onServer()
                     ? QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql "
                                      "AS $$ BEGIN RAISE EXCEPTION 'disk full'; END $$;"
                                      R"(CREATE TRIGGER refuse BEFORE INSERT ON "Items" )"
                                      "FOR EACH ROW EXECUTE FUNCTION refuse()")
                     : QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Items BEGIN "
                                      "SELECT RAISE(ABORT, 'disk full'); END"));
        Probe p(reg.location());
        QVERIFY(!p.items.insert(itemWith(QStringLiteral("x"))));
        QCOMPARE(p.ids.counters()->lastId, qint64(0));
        QVERIFY(p.messages.value(0).contains(QStringLiteral("disk full")));
    }

    // Each write whose COMMIT fails reports a failure, never an id, count
    // or answer, and the register holds nothing of it.
    void aFailedCommitIsNeverReportedAsStored_data() {
        QTest::addColumn<QString>("operation");
        for (const char* operation :
             {"insertItem", "insertCase", "insertList", "updateItem", "updateCase", "updateList",
              "setItemCase", "deleteItem", "addListLine", "removeListLine", "addLocation",
              "deleteLocation", "recordTest", "importItems", "startScanSession",
              "finishScanSession", "recordScan", "moveMisplaced", "upgradeIfOlder"})
            QTest::newRow(operation) << QString::fromLatin1(operation);
    }
    void aFailedCommitIsNeverReportedAsStored() {
        QFETCH(QString, operation);
        EngineRegister reg(fixture_);
        reg.exec(QStringLiteral(
            R"(INSERT INTO "Items" ("id", "desc", "warehouseloc", "caseID") VALUES
               (1, 'Lamp', 'Bay 1', 0), (2, 'Cable', 'Bay 1', 0);
               INSERT INTO "Cases" ("id", "FName") VALUES (1, 'Rack');
               INSERT INTO "Lists" ("id", "ListName") VALUES (1, 'Stage');
               INSERT INTO "ListData" VALUES (1, 1, 'Lamp');
               INSERT INTO "Locations" ("desc") VALUES ('Bay 1');
               INSERT INTO "ScanSessions" VALUES (1, 'Stocktake', 'Bay 2', 0, '', '', 'ann');
               INSERT INTO "ScanRecords" VALUES (1, 1, 1, 0, '', 'belongs elsewhere');
               UPDATE "Data" SET "lastid" = 2, "lastCase" = 1, "lastList" = 1)"));
        const QStringList before = everythingIn(reg);
        const QDateTime now(QDate(2026, 12, 9), QTime(10, 0));
        const ScanRules::Session session{
            1,  ScanRules::Kind::Stocktake, QStringLiteral("Bay 2"), 0, now,
            {}, QStringLiteral("ann")};
        const Schema::Step later[] = {{Schema::kCurrentVersion + 1, addShelves}};
        const QHash<QString, std::function<bool(Register&)>> stored = {
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
             [](Register& r) {
                 return ListStore(r).addLine(1, 2, "Cable") == AddLineResult::Added;
             }},
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
             [&](Register& r) {
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
             [&](Register& r) { return ScanStore(r).startSession(session).has_value(); }},
            {"finishScanSession", [&](Register& r) { return ScanStore(r).finishSession(1, now); }},
            {"recordScan",
             [&](Register& r) {
                 return ScanStore(r)
                     .record(session, ScanRules::parse("2"), now, {now.date(), 30})
                     .has_value();
             }},
            {"moveMisplaced",
             [](Register& r) { return ScanStore(r).moveMisplaced(1, "Bay 2").has_value(); }},
            {"upgradeIfOlder", [&](Register& r) { return r.upgradeIfOlder(later); }},
        };
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

    void missingCounterRowAddsNoRecord() {
        EngineRegister reg(fixture_);
        reg.exec(QStringLiteral(R"(DELETE FROM "Data")"));
        Probe p(reg.location());
        QVERIFY(!p.cases.insert({}));
        QVERIFY(!p.ids.counters());
        QCOMPARE(reg.count(QStringLiteral("Cases")), qint64(0));
        QCOMPARE(p.messages.size(), 2);
    }

    void updatingAVanishedRecordIsReported() {
        EngineRegister reg(fixture_);
        Probe p(reg.location());
        QCOMPARE(p.items.update(7, {{int(ItemColumn::Desc), "x", ""}}, false), SaveResult::Gone);
        QCOMPARE(p.lists.update(7, QStringLiteral("x"), QString(), false), SaveResult::Gone);
        QCOMPARE(p.messages.size(), 2);
        QVERIFY(p.messages[0].contains(QStringLiteral("no longer exists")));
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

    void textsAreStoredByteForByte() {
        EngineRegister reg(fixture_);
        Probe p(reg.location());
        const QString nul = QStringLiteral("a") + QChar(0) + u'b';
        const QString texts[] = {QStringLiteral("\uFEFFleading mark"),
                                 QStringLiteral("amp \U0001F39B rack"),
                                 QString::fromUtf16(u"lone \xD800x"), QStringLiteral("  "), nul};
        const QString hex = reg.onServer()
                                ? R"(SELECT upper(encode(convert_to("desc", 'UTF8'), 'hex')) )"
                                  R"(FROM "Items" WHERE id = %1)"
                                : R"(SELECT hex("desc") FROM "Items" WHERE id = %1)";
        for (const QString& text : texts) {
            const qint64 id = *p.items.insert(itemWith(text));
            const QString stored = p.items.withId(id)->first()[ItemColumn::Desc];
            // A lone surrogate, which UTF-8 cannot hold, is stored as U+FFFD;
            // so is U+0000 on the server, whose text cannot hold it.
            QString expected = text.isValidUtf16() ? text : QStringLiteral("lone \uFFFDx");
            if (text == nul && reg.onServer())
                expected = QStringLiteral("a\uFFFDb");
            QCOMPARE(stored, expected);
            QCOMPARE(reg.scalar(hex.arg(id)),
                     QString::fromLatin1(expected.toUtf8().toHex().toUpper()));
        }
    }

    void numbersBeyondTheRangeAreSafe() {
        EngineRegister reg(fixture_);
        reg.exec(QStringLiteral(R"(INSERT INTO "Items" (id, "caseID") VALUES (1, 1e30);)"
                                R"(INSERT INTO "Cases" (id) VALUES (9223372036854775807))"));
        Probe p(reg.location());
        const qint64 id = *p.items.insert(itemWith(QStringLiteral("long"), 0, 1e30));
        QCOMPARE(p.items.withId(id)->first()[ItemColumn::Length], QStringLiteral("1e+30"));
        QCOMPARE(p.tree.read({QDate(2009, 1, 5)})->caseItems.size(), std::size_t(0));
        // No case id is left above the highest one: refused, nothing written.
        QVERIFY(!p.ids.predicted(RecordTable::Cases));
        QVERIFY(!p.cases.insert({}));
        QCOMPARE(reg.count(QStringLiteral("Cases")), qint64(1));
        QVERIFY(p.messages.last().contains(QStringLiteral("no flight case id left")));
        reg.exec(QStringLiteral(R"(UPDATE "Data" SET "lastList" = 1e300)"));
        QVERIFY(!p.lists.insert(QStringLiteral("x")));
        QCOMPARE(reg.count(QStringLiteral("Lists")), qint64(0));
    }

    void predictionIsTheIdThatSaveGives() {
        EngineRegister reg(fixture_);
        reg.exec(QStringLiteral(R"(UPDATE "Data" SET "lastid" = 3, "lastCase" = 7;)"
                                R"(INSERT INTO "Items" (id) VALUES (10))"));
        Probe p(reg.location());
        QCOMPARE(p.ids.predicted(RecordTable::Items), std::optional<qint64>(11));
        QCOMPARE(p.items.insert(itemWith(QStringLiteral("x"))), std::optional<qint64>(11));
        QCOMPARE(p.ids.predicted(RecordTable::Cases), std::optional<qint64>(8));
        QCOMPARE(p.ids.predicted(RecordTable::Lists), std::optional<qint64>(1));
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

    void treeOfASampleRegister() {
        EngineRegister reg(fixture_);
        reg.exec(QStringLiteral(
            R"(INSERT INTO "Items" (id, "desc", "caseID") VALUES (45, 'Lamp', 12), (3, 'Cable', 0),)"
            R"( (50, 'Desk', 12.0), (60, 'Stray', 99), (61, NULL, 7);)"
            R"(INSERT INTO "Cases" (id, "FName") VALUES (12, 'Amp rack'), (7, 'Empty case');)"
            R"(INSERT INTO "Lists" (id, "ListName") VALUES (3, 'Stage left');)"
            R"(INSERT INTO "ListData" VALUES (3, 45, 'Old lamp name'), (3, 3, 'Cable'),)"
            R"( (3, 45, 'again'), (8, 3, 'orphan line'))"));
        Probe p(reg.location());
        const TreeData t = *p.tree.read({QDate(2009, 1, 5)});
        QCOMPARE(t.itemIds, (std::vector<std::int64_t>{3, 45, 50, 60, 61}));
        QCOMPARE(t.caseIds, (std::vector<std::int64_t>{7, 12}));
        QCOMPARE(t.caseItemStart, (std::vector<std::int32_t>{0, 1, 3}));
        QCOMPARE(t.itemIds[static_cast<std::size_t>(t.caseItems[0])], 61);
        QCOMPARE(t.itemIds[static_cast<std::size_t>(t.caseItems[1])], 45);
        QCOMPARE(t.itemIds[static_cast<std::size_t>(t.caseItems[2])], 50);
        QCOMPARE(t.lineItemIds, (std::vector<std::int64_t>{3, 45}));
        QCOMPARE(t.lineTexts.text(1), QStringLiteral("Old lamp name"));
        QCOMPARE(t.itemTexts.text(4), QString());
    }

    // A tree read into the room of an old one, larger than the register
    // now is, keeps nothing of it.
    void treeReadIntoAnOldTree() {
        EngineRegister reg(fixture_);
        reg.exec(QStringLiteral(
            R"(INSERT INTO "Items" (id, "desc", "caseID", "testnext") VALUES)"
            R"( (1, 'Lamp', 7, '1/1/2000'), (2, 'Cable', 7, ''), (3, 'Desk', 0, '1/1/2000');)"
            R"(INSERT INTO "Cases" (id, "FName") VALUES (7, 'Amp rack'), (8, 'Spare');)"
            R"(INSERT INTO "Lists" (id, "ListName") VALUES (3, 'Stage left');)"
            R"(INSERT INTO "ListData" VALUES (3, 1, 'Lamp'), (3, 2, 'Cable'))"));
        Probe p(reg.location());
        const TestsDue::Window window{QDate(2009, 1, 5)};
        TreeData old = *p.tree.read(window);
        QCOMPARE(old.testCounts[TestsDue::Status::Overdue], 2);
        reg.exec(
            QStringLiteral(R"(DELETE FROM "Items" WHERE id = 1; DELETE FROM "Cases" WHERE id = 8;)"
                           R"(DELETE FROM "ListData" WHERE "itemid" = 2)"));
        const TreeData fresh = *p.tree.read(window);
        const TreeData reused = *p.tree.read(window, std::move(old));
        QCOMPARE(reused.itemIds, fresh.itemIds);
        QCOMPARE(reused.itemTexts.text(1), QStringLiteral("Desk"));
        QCOMPARE(reused.testCounts.of, fresh.testCounts.of);
        QCOMPARE(reused.caseIds, fresh.caseIds);
        QCOMPARE(reused.caseTexts.size(), std::size_t(1));
        QCOMPARE(reused.caseItemStart, fresh.caseItemStart);
        QCOMPARE(reused.caseItems, fresh.caseItems);
        QCOMPARE(reused.listLineStart, fresh.listLineStart);
        QCOMPARE(reused.lineItemIds, (std::vector<std::int64_t>{1}));
        QCOMPARE(reused.lineTexts.size(), std::size_t(1));
    }

    // A case's tests: each item's last test decides, by test day, then by
    // the order the tests were recorded in; other cases' items do not count.
    // The viewer's read brings the case's own row along.
    void caseTestsTakeEachItemsLastTest() {
        EngineRegister reg(fixture_);
        reg.exec(QStringLiteral(
            R"(INSERT INTO "Items" (id, "caseID", "testinterval", "testnext") VALUES)"
            R"( (1, 7, '12', '1/1/2099'), (2, 7, '12', '1/1/2099'), (3, 7, '12', '1/1/2099'),)"
            R"( (4, 7, '12', '1/1/2099'), (5, 7, '12', '1/1/2000'), (6, 8, '12', '1/1/2099');)"
            R"(INSERT INTO "TestHistory" VALUES (1, 1, 100, '', 'PAT', 'Fail', ''),)"
            R"( (2, 2, 100, '', 'PAT', 'Fail', ''), (3, 2, 200, '', 'PAT', 'Pass', ''),)"
            R"( (4, 3, 200, '', 'PAT', 'Pass', ''), (5, 3, 200, '', 'PAT', 'Fail', ''),)"
            R"( (6, 4, 300, '', 'PAT', 'Fail', ''), (7, 4, 200, '', 'PAT', 'Pass', ''),)"
            R"( (8, 6, 100, '', 'PAT', 'Fail', '');)"
            R"(INSERT INTO "Cases" (id, "FName") VALUES (7, 'Amp rack'), (8, 'Lights'))"));
        Probe p(reg.location());
        const TestsDue::Window window{QDate(2009, 1, 5)};
        const auto read = p.tests.caseItems(7, window);
        QVERIFY(read);
        QCOMPARE(read->cases.size(), 1);  // the case's own row, read with its items
        QCOMPARE(read->cases[0][CaseColumn::Name], QStringLiteral("Amp rack"));
        QCOMPARE(read->items.ids, (std::vector<std::int64_t>{1, 2, 3, 4, 5}));  // each once
        const TestsDue::Counts& counts = read->tests;
        QCOMPARE(counts[TestsDue::Status::Failed], 3);  // items 1, 3 and 4
        QCOMPARE(counts[TestsDue::Status::InDate], 1);  // item 2
        QCOMPARE(counts[TestsDue::Status::Overdue], 1);
        QCOMPARE(counts.total(), 5);
        QCOMPARE(p.tests.caseCounts(7, window)->of, counts.of);
    }

    // A register that SQLite's check finds damaged is opened for reading
    // only: told once with what to do, reads go on, every write is refused
    // naming the reason, and the file is not touched.
    void aDamagedRegisterIsOpenedReadOnly() {
        QUARVEL_ONLY_ON(Engine::File);
        TempRegister reg;
        fillForDamage(reg);
        reg.spoilPageOf(QStringLiteral("ItemsByCase"));
        const QByteArray before = hashOf(reg.path());
        Probe p(reg.path());
        QCOMPARE(p.reg.checkForDamage(), Register::Health::Damaged);
        QCOMPARE(p.messages.size(), 1);
        QVERIFY(p.messages[0].contains(QStringLiteral("The register is damaged")));
        QVERIFY(p.messages[0].contains(QStringLiteral("Restore data.mdb from a backup")));
        QVERIFY(p.messages[0].contains(QStringLiteral("try to repair it")));
        QVERIFY(p.reg.readOnly());

        QCOMPARE(p.items.withId(5)->size(), 1);
        QCOMPARE(names(*p.locations.all()), QStringList{"Bay 1"});
        QVERIFY(!p.items.insert(itemWith(QStringLiteral("x"))));
        QCOMPARE(p.locations.add(QStringLiteral("Bay 2")), AddLocationResult::Failed);
        QCOMPARE(p.messages.size(), 3);
        QVERIFY(p.messages[1].contains(QStringLiteral("save the new item")));
        QVERIFY(p.messages[2].contains(QStringLiteral("damaged")) &&
                p.messages[2].contains(QStringLiteral("reading only")));
        QCOMPARE(p.reg.checkForDamage(), Register::Health::Damaged);
        QCOMPARE(p.messages.size(), 3);  // told once
        QCOMPARE(hashOf(reg.path()), before);

        TempRegister sound;
        Probe q(sound.path());
        QCOMPARE(q.reg.checkForDamage(), Register::Health::Sound);
        QVERIFY(!q.reg.readOnly() && q.messages.isEmpty());
    }

    // A statement that finds damage later does the same.
    void aStatementThatFindsDamageOpensReadOnly() {
        QUARVEL_ONLY_ON(Engine::File);
        TempRegister reg;
        fillForDamage(reg);
        reg.spoilPageOf(QStringLiteral("ItemsByCase"));
        Probe p(reg.path());
        QVERIFY(!p.items.inCase(3));  // read through the spoilt index
        QCOMPARE(p.messages.size(), 1);
        QVERIFY(p.messages[0].contains(QStringLiteral("The register is damaged")));
        QVERIFY(p.reg.readOnly());
        QVERIFY(!p.items.remove(4));
        QCOMPARE(p.messages.size(), 2);
        QVERIFY(p.messages[1].contains(QStringLiteral("reading only")));
        QCOMPARE(reg.scalar(QStringLiteral("SELECT COUNT(*) FROM Items NOT INDEXED")).toLongLong(),
                 qint64(2999));
    }

    // Repaired into a new register that takes the damaged one's place; the
    // damaged file is kept as it was, and saving works again with the ids
    // going on where they were.
    void repairKeepsTheDamagedFile_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("version");
        QTest::newRow("unused page (VACUUM INTO)") << "unused page" << 7;
        QTest::newRow("spoilt index (table by table)") << "index" << 7;
        // The first layout has no TestHistory, and lacks nothing for that.
        QTest::newRow("first version, spoilt index") << "index" << 1;
    }
    void repairKeepsTheDamagedFile() {
        QUARVEL_ONLY_ON(Engine::File);
        QFETCH(QString, damage);
        QFETCH(int, version);
        TempRegister reg;
        fillForDamage(reg);
        if (version == 1)
            reg.toFirstVersion();
        else
            reg.exec(QStringLiteral("PRAGMA user_version = %1").arg(version));
        if (damage == QLatin1String("index"))
            reg.spoilPageOf(QStringLiteral("ItemsByCase"));
        else
            reg.addUnusedPage();
        // Shared with a group: the repaired register keeps the group's access.
        const QFile::Permissions access = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                          QFile::WriteGroup | QFile::ReadUser | QFile::WriteUser;
        QVERIFY(QFile::setPermissions(reg.path(), access));
        const QByteArray damaged = hashOf(reg.path());
        Probe p(reg.path());
        QCOMPARE(p.reg.checkForDamage(), Register::Health::Damaged);
        const RegisterRepair::Outcome outcome = p.reg.repairDamaged();
        QVERIFY2(outcome.repaired, qPrintable(outcome.failure));
        QCOMPARE(QFile::permissions(reg.path()), access);
        QVERIFY(QFileInfo(outcome.keptAs).fileName().startsWith(QStringLiteral("data-damaged-")));
        QCOMPARE(hashOf(outcome.keptAs), damaged);
        QCOMPARE(QDir(reg.folder()).entryList(QDir::Files).size(), 2);  // nothing else left

        QCOMPARE(reg.scalar(QStringLiteral("PRAGMA integrity_check")).toString(),
                 QStringLiteral("ok"));
        QCOMPARE(reg.scalar(QStringLiteral("PRAGMA user_version")).toLongLong(), qint64(version));
        QCOMPARE(p.items.inCase(3)->size(), std::size_t(75));
        QCOMPARE(p.reg.checkForDamage(), Register::Health::Sound);
        QVERIFY(!p.reg.readOnly());
        QCOMPARE(p.items.insert(itemWith(QStringLiteral("after"))), std::optional<qint64>(3001));
        QCOMPARE(p.messages.size(), 1);
    }

    // The repair runs nothing of a schema entry but one plain CREATE
    // statement: a statement hidden behind it is refused unrun.
    void repairRunsOnlyPlainCreateStatements() {
        QUARVEL_ONLY_ON(Engine::File);
        TempRegister reg;
        fillForDamage(reg);
        const QString planted = reg.folder() + QStringLiteral("/planted.db");
        reg.exec(QStringLiteral("CREATE TABLE Extra (x); PRAGMA writable_schema = ON; "
                                "UPDATE sqlite_master SET sql = 'CREATE TABLE Extra (x); ATTACH "
                                "''%1'' AS planted; CREATE TABLE planted.t (y)' "
                                "WHERE name = 'Extra'")
                     .arg(planted));
        reg.spoilPageOf(QStringLiteral("ItemsByCase"));  // VACUUM INTO fails on it
        Probe p(reg.path());
        const RegisterRepair::Outcome outcome = p.reg.repairDamaged();
        QVERIFY(!outcome.repaired);
        QVERIFY2(outcome.failure.contains(QStringLiteral("Extra is not one plain CREATE")),
                 qPrintable(outcome.failure));
        QCOMPARE(QDir(reg.folder()).entryList(QDir::Files), QStringList{"data.mdb"});
    }

    // A register is copied to another place as the version it is; a damaged
    // one is not copied at all, also when only an index is damaged, and the
    // refusal says how to go on.
    void aCopyKeepsTheVersionAndRefusesDamage_data() {
        QTest::addColumn<bool>("indexOnly");
        QTest::newRow("unused page") << false;
        QTest::newRow("index only") << true;
    }
    void aCopyKeepsTheVersionAndRefusesDamage() {
        QUARVEL_ONLY_ON(Engine::File);
        QFETCH(bool, indexOnly);
        TempRegister reg;
        fillForDamage(reg);
        reg.toFirstVersion();
        const RegisterLocation copy =
            RegisterLocation::file(reg.folder() + QStringLiteral("/c.mdb"));
        QVERIFY(RegisterTransfer::copy(RegisterLocation::file(reg.path()), copy).ok);
        {
            Sqlite::Connection made(copy.text(), Sqlite::Open::ReadOnly);
            QCOMPARE(Schema::versionOf(made), std::optional<int>(1));
        }
        QVERIFY(QFile::remove(copy.text()));
        if (indexOnly)
            reg.spoilIndexOnly();
        else
            reg.addUnusedPage();
        const RegisterTransfer::Outcome refused =
            RegisterTransfer::copy(RegisterLocation::file(reg.path()), copy);
        QVERIFY2(!refused.ok && refused.error.contains(QStringLiteral("is damaged")) &&
                     refused.error.contains(QStringLiteral("repair")) &&
                     refused.error.contains(QStringLiteral("quarvel-makedb --copy")),
                 qPrintable(refused.error));
        QVERIFY(!QFileInfo::exists(copy.text()));
    }

    // A copy cancelled through its progress leaves no file, not even a part.
    void aCancelledCopyLeavesNothing() {
        QUARVEL_ONLY_ON(Engine::File);
        CancelAtOnce cancel;
        TempRegister reg;
        reg.exec(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < 3000) INSERT INTO Items (id) SELECT i FROM n"));
        const RegisterLocation copy =
            RegisterLocation::file(reg.folder() + QStringLiteral("/c.mdb"));
        const auto outcome =
            RegisterTransfer::copy(RegisterLocation::file(reg.path()), copy, &cancel);
        QVERIFY(!outcome.ok && outcome.cancelled);
        QCOMPARE(cancel.reports, 1);
        QCOMPARE(QDir(reg.folder()).entryList(QDir::Files), QStringList{"data.mdb"});
    }

    // A register holds no record only as it was made: any one row in any
    // table, or a counter raised, is a record; a register with a table
    // missing cannot be told empty.
    void holdsNoRecordOnlyAsMade_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("empty");  // 1 yes, 0 no, -1 cannot be told
        QTest::newRow("as made") << "" << 1;
        QTest::newRow("item") << R"(INSERT INTO "Items" ("id", "desc") VALUES (1, 'Lamp'))" << 0;
        QTest::newRow("case") << R"(INSERT INTO "Cases" ("id", "FName") VALUES (1, 'Rack'))" << 0;
        QTest::newRow("list") << R"(INSERT INTO "Lists" ("id", "ListName") VALUES (1, 'A'))" << 0;
        QTest::newRow("list line") << R"(INSERT INTO "ListData" VALUES (1, 1, 'Lamp'))" << 0;
        QTest::newRow("location") << R"(INSERT INTO "Locations" ("desc") VALUES ('Bay 1'))" << 0;
        QTest::newRow("test") << R"(INSERT INTO "TestHistory" VALUES (1, 1, 2461019, '9/12/2026',
                                    'PAT', 'Pass', ''))"
                              << 0;
        QTest::newRow("scan session")
            << R"(INSERT INTO "ScanSessions" VALUES (1, 'Stocktake', 'Bay 2', 0, '', '', 'ann'))"
            << 0;
        QTest::newRow("scan") << R"(INSERT INTO "ScanRecords" VALUES (1, 1, 1, 0, '', 'here'))"
                              << 0;
        QTest::newRow("counter") << R"(UPDATE "Data" SET "lastList" = 1)" << 0;
        QTest::newRow("table missing") << R"(DROP TABLE "ScanRecords")" << -1;
    }
    void holdsNoRecordOnlyAsMade() {
        QFETCH(QString, sql);
        QFETCH(int, empty);
        EngineRegister reg(fixture_);
        if (!sql.isEmpty())
            reg.exec(sql);
        QString problem;
        const std::optional<bool> found = Register::holdsNoRecord(reg.location(), &problem);
        QCOMPARE(found ? int(*found) : -1, empty);
        QCOMPARE(problem.isEmpty(), empty != -1);
    }

    // Damage in a table's own pages is beyond repair, and a cancelled
    // repair stops: nothing changes, the register stays read-only.
    void aRegisterBeyondRepairStaysAsItWas_data() {
        QTest::addColumn<QString>("spoilt");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("table pages") << "Items" << false;
        QTest::newRow("cancelled") << "ItemsByCase" << true;
    }
    void aRegisterBeyondRepairStaysAsItWas() {
        QUARVEL_ONLY_ON(Engine::File);
        QFETCH(QString, spoilt);
        QFETCH(bool, cancel);
        TempRegister reg;
        fillForDamage(reg);
        reg.spoilPageOf(spoilt);
        const QByteArray damaged = hashOf(reg.path());
        Probe p(reg.path());
        QCOMPARE(p.reg.checkForDamage(), Register::Health::Damaged);
        CancelAtOnce user;
        const RegisterRepair::Outcome outcome = p.reg.repairDamaged(cancel ? &user : nullptr);
        QCOMPARE(outcome.cancelled, cancel);
        QCOMPARE(user.reports, cancel ? 1 : 0);
        QVERIFY(!outcome.repaired);
        QVERIFY(!outcome.failure.isEmpty());
        QCOMPARE(hashOf(reg.path()), damaged);
        QCOMPARE(QDir(reg.folder()).entryList(QDir::Files), QStringList{"data.mdb"});
        QVERIFY(p.reg.readOnly());
    }

    // A lone surrogate is mended the same way before a name is compared and
    // stored, so the location is there once and can be deleted by the name
    // as typed.
    void aLoneSurrogateLocationIsStoredOnce() {
        EngineRegister reg(fixture_);
        Probe p(reg.location());
        const QString typed = QString::fromUtf16(u"Bay \xD83D 7");
        QCOMPARE(p.locations.add(typed), AddLocationResult::Added);
        QCOMPARE(p.locations.add(typed), AddLocationResult::AlreadyThere);
        QCOMPARE(p.locations.add(QString::fromUtf16(u"bay \xDC00 7")),
                 AddLocationResult::AlreadyThere);
        QCOMPARE(names(*p.locations.all()), QStringList{QStringLiteral("Bay \uFFFD 7")});
        QVERIFY(p.locations.remove(p.locations.all()->ids[0], typed));
        QCOMPARE(reg.count(QStringLiteral("Locations")), qint64(0));
        QCOMPARE(p.locations.add(QStringLiteral("Pair \U0001F39B")), AddLocationResult::Added);
        QCOMPARE(names(*p.locations.all()), QStringList{QStringLiteral("Pair \U0001F39B")});
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

    // Two copies of the program (desks) edit one item: each writes only
    // what it changed; the same column changed at both is asked about, and
    // overwritten only when told.
    void twoDesksEditingOneItem() {
        EngineRegister reg(fixture_);
        reg.exec(QStringLiteral(R"(INSERT INTO "Items" (id, "desc", category, notes) )"
                                R"(VALUES (4, 'Amp', 'Audio', 'old note'))"));
        Probe a(reg.location()), b(reg.location());
        const int desc = int(ItemColumn::Desc), category = int(ItemColumn::Category),
                  notes = int(ItemColumn::Notes);
        QCOMPARE(a.items.update(4, {{notes, "a's note", "old note"}}, false), SaveResult::Saved);
        QCOMPARE(b.items.update(4, {{category, "Lighting", "Audio"}}, false), SaveResult::Saved);
        QCOMPARE(reg.scalar(R"(SELECT notes || '/' || category FROM "Items")"),
                 QStringLiteral("a's note/Lighting"));
        QCOMPARE(b.items.update(4, {{notes, "b's note", "old note"}}, false),
                 SaveResult::ChangedElsewhere);
        QCOMPARE(reg.scalar(R"(SELECT notes FROM "Items")"), QStringLiteral("a's note"));
        QCOMPARE(b.items.update(4, {{notes, "b's note", "old note"}}, true), SaveResult::Saved);
        QCOMPARE(a.items.withId(4)->first()[ItemColumn::Notes], QStringLiteral("b's note"));
        // Columns left null turn into empty text, the number columns into 0.
        if (!reg.onServer())
            QCOMPARE(reg.scalar("SELECT typeof(model) || typeof(caseID) FROM Items"),
                     QStringLiteral("textinteger"));
        QVERIFY(a.items.remove(4));
        QCOMPARE(b.items.update(4, {{desc, "x", "Amp"}}, false), SaveResult::Gone);
        QVERIFY(a.messages.isEmpty());
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

    // A location holding a NUL is looked up in the form its engine stores
    // it (U+FFFD on a server), so adding it again finds it there.
    void aLocationWithANulIsStoredOnce() {
        EngineRegister reg(fixture_);
        Probe p(reg.location());
        const QString name = QStringLiteral("Bay") + QChar(u'\0') + u'X';
        qint64 rowId = 0;
        QCOMPARE(p.locations.add(name, &rowId), AddLocationResult::Added);
        QCOMPARE(p.locations.add(name), AddLocationResult::AlreadyThere);
        QCOMPARE(names(*p.locations.all()),
                 QStringList{reg.onServer() ? QStringLiteral("Bay\uFFFDX") : name});
        QVERIFY(p.locations.remove(rowId, name));
        QCOMPARE(p.locations.all()->size(), std::size_t(0));
        QVERIFY2(p.messages.isEmpty(), qPrintable(p.messages.join('\n')));
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

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
