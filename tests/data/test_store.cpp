#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <thread>

#include "TempRegister.h"
#include "data/Store.h"
#include "data/engine/Sqlite.h"
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

QStringList names(const IdTextRows& rows) {
    QStringList out;
    for (std::size_t i = 0; i < rows.size(); ++i)
        out << rows.texts.text(i);
    return out;
}

// A store on the register that records what it would tell the user.
struct Probe {
    explicit Probe(const QString& path)
        : store(path, [this](const QString& m) { messages << m; }) {}
    Store store;
    QStringList messages;
};

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

}  // namespace

class TestStore : public QObject {
    Q_OBJECT
private slots:
    void firstIdsAreOneAndCountersFollow() {
        TempRegister reg;
        Probe p(reg.path());
        QCOMPARE(p.store.counters()->lastId, 0);
        QCOMPARE(*p.store.insertItem(itemWith(QStringLiteral("Mixer"))), qint64(1));
        QCOMPARE(
            *p.store.insertCase({{}, {QStringLiteral("Rack"), {}, {}, {}, QStringLiteral("No")}}),
            qint64(1));
        QCOMPARE(*p.store.insertList(QStringLiteral("Stage left")), qint64(1));
        const Counters c = *p.store.counters();
        QCOMPARE(c.lastId, qint64(1));
        QCOMPARE(c.lastCase, qint64(1));
        QCOMPARE(c.lastList, qint64(1));
        QVERIFY(p.messages.isEmpty());
    }

    void deletedHighestIdIsNeverReused() {
        TempRegister reg;
        Probe p(reg.path());
        p.store.insertItem(itemWith(QStringLiteral("A")));
        p.store.insertItem(itemWith(QStringLiteral("B")));
        QVERIFY(p.store.deleteItem(2));
        QCOMPARE(p.store.counters()->lastId, qint64(2));  // deleting changes no counter
        QCOMPARE(*p.store.insertItem(itemWith(QStringLiteral("C"))), qint64(3));
        QCOMPARE(p.store.counters()->lastId, qint64(3));
        QVERIFY(p.store.deleteItem(99));  // matches no row: silently fine
        QVERIFY(p.messages.isEmpty());
    }

    void newIdIsTheRaisedCounterEvenWhenCounterAndRowsDisagree() {
        TempRegister reg;
        Probe p(reg.path());
        reg.exec(QStringLiteral("UPDATE Data SET lastid = 44, lastList = 2"));
        QCOMPARE(*p.store.insertItem(itemWith(QStringLiteral("A"))), qint64(45));
        QCOMPARE(p.store.counters()->lastId, qint64(45));
        // A row above the counter: the new id passes it and the counter follows.
        reg.exec(
            QStringLiteral("INSERT INTO Items (id) VALUES (60); DELETE FROM Items WHERE id = 60"));
        QCOMPARE(*p.store.insertItem(itemWith(QStringLiteral("B"))), qint64(61));
        QCOMPARE(p.store.counters()->lastId, qint64(61));
        QCOMPARE(*p.store.insertList(QStringLiteral("L")), qint64(3));
        QVERIFY(p.messages.isEmpty());
    }

    void itemRoundTripKeepsTextsAndNumbers() {
        TempRegister reg;
        Probe p(reg.path());
        ItemWrite w =
            itemWith(QStringLiteral("  007 'quoted' \"desc\"; DROP TABLE Items; "), 12, 12.5);
        w[static_cast<int>(ItemColumn::Serial)] = QStringLiteral("0042");
        const qint64 id = *p.store.insertItem(w);
        const auto rows = *p.store.itemsWithId(id);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0][ItemColumn::Desc],
                 QStringLiteral("  007 'quoted' \"desc\"; DROP TABLE Items; "));
        QCOMPARE(rows[0][ItemColumn::Serial], QStringLiteral("0042"));
        QCOMPARE(rows[0][ItemColumn::CaseId], QStringLiteral("12"));
        QCOMPARE(rows[0][ItemColumn::Length], QStringLiteral("12.5"));
        QCOMPARE(reg.scalar(QStringLiteral("SELECT typeof(caseID) FROM Items")).toString(),
                 QStringLiteral("integer"));
        QCOMPARE(p.store.itemsInCase(12)->size(), std::size_t(1));
        QVERIFY(p.store.itemsWithId(99)->isEmpty());
    }

    void nullColumnsReadAsEmptyText() {
        TempRegister reg;
        reg.exec(
            QStringLiteral("INSERT INTO Items (id) VALUES (5); INSERT INTO Cases (id) VALUES (3);"
                           "INSERT INTO Lists (id) VALUES (4); INSERT INTO ListData (listid, "
                           "itemid) VALUES (4, 5)"));
        Probe p(reg.path());
        const ItemRecord item = p.store.itemsWithId(5)->first();
        QCOMPARE(item.id, QStringLiteral("5"));
        for (const QString& v : item.values)
            QVERIFY(v.isEmpty());
        const CaseRecord c = p.store.casesWithId(3)->first();
        QVERIFY(c[CaseColumn::Name].isEmpty() && c[CaseColumn::Notes].isEmpty() &&
                c[CaseColumn::Wheeled].isEmpty());
        QVERIFY(p.store.listsWithId(4)->first().name.isEmpty());
        QVERIFY(p.store.listLines(4)->texts.text(0).isEmpty());
    }

    void columnNamesInAnyLetterCase() {
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
        const qint64 id = *p.store.insertItem(itemWith(QStringLiteral("Mixer"), 1));
        QCOMPARE(
            p.store.insertCase({{}, {QStringLiteral("Rack"), {}, {}, {}, QStringLiteral("Yes")}}),
            std::optional<qint64>(1));
        QCOMPARE(p.store.updateItem(id, {{int(ItemColumn::Desc), "Desk", "Mixer"}}, false),
                 SaveResult::Saved);
        QCOMPARE(p.store.itemsWithId(id)->first()[ItemColumn::Desc], QStringLiteral("Desk"));
        QCOMPARE(p.store.itemsInCase(1)->size(), std::size_t(1));
        QCOMPARE(p.store.addLocation(QStringLiteral("Bay 1")), AddLocationResult::Added);
        QCOMPARE(p.store.addLocation(QStringLiteral("Bay 1")), AddLocationResult::AlreadyThere);
        const auto tree = p.store.readTree({QDate(2009, 1, 5)});
        QVERIFY(tree);
        QCOMPARE(tree->caseItems.size(), std::size_t(1));
        QVERIFY2(p.messages.isEmpty(), qPrintable(p.messages.join('\n')));
    }

    void locationNamesWithQuotesAndLetterCase() {
        TempRegister reg;
        Probe p(reg.path());
        const QString name = QStringLiteral("O'Brien's bay ' OR '1'='1");
        QCOMPARE(p.store.addLocation(name), AddLocationResult::Added);
        QCOMPARE(p.store.addLocation(QStringLiteral("Bay 4")), AddLocationResult::Added);
        QCOMPARE(p.store.addLocation(name), AddLocationResult::AlreadyThere);
        QCOMPARE(p.store.addLocation(QStringLiteral("bay 4")), AddLocationResult::AlreadyThere);
        QCOMPARE(p.store.addLocation(QStringLiteral("Caf\u00e9")), AddLocationResult::Added);
        QCOMPARE(p.store.addLocation(QStringLiteral("CAF\u00c9")), AddLocationResult::AlreadyThere);
        QCOMPARE(names(*p.store.locations()),
                 QStringList({name, QStringLiteral("Bay 4"), QStringLiteral("Caf\u00e9")}));
        QVERIFY(p.store.deleteLocation(p.store.locations()->ids[0], name));
        QCOMPARE(names(*p.store.locations()),
                 QStringList({QStringLiteral("Bay 4"), QStringLiteral("Caf\u00e9")}));
        // An old register with the same name in two letter cases: delete
        // removes only the row named.
        reg.exec(QStringLiteral("INSERT INTO Locations VALUES ('BAY 4')"));
        QVERIFY(p.store.deleteLocation(p.store.locations()->ids[0], QStringLiteral("Bay 4")));
        QCOMPARE(names(*p.store.locations()),
                 QStringList({QStringLiteral("Caf\u00e9"), QStringLiteral("BAY 4")}));
    }

    void listLinesAndDuplicateCheck() {
        TempRegister reg;
        Probe p(reg.path());
        const qint64 list = *p.store.insertList(QStringLiteral("Stage"));
        QCOMPARE(p.store.addListLine(list, 9, QStringLiteral("Lamp")), AddLineResult::Added);
        QCOMPARE(p.store.addListLine(list, 3, QStringLiteral("Cable")), AddLineResult::Added);
        QCOMPARE(p.store.addListLine(list, 9, QStringLiteral("Lamp")),
                 AddLineResult::AlreadyOnList);
        QCOMPARE(p.store.addListLine(list + 1, 9, QStringLiteral("Lamp")), AddLineResult::ListGone);
        const auto lines = *p.store.listLines(list);
        QCOMPARE(lines.ids, (std::vector<std::int64_t>{3, 9}));
        QVERIFY(p.store.removeListLine(list, 9));
        QCOMPARE(p.store.listLines(list)->size(), std::size_t(1));
        QCOMPARE(reg.count(QStringLiteral("ListData")), qint64(1));
        QVERIFY(p.messages.isEmpty());
    }

    void missingFileIsReportedAndNotCreated() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.mdb"));
        Probe p(path);
        QVERIFY(!p.store.readTree({QDate(2009, 1, 5)}));
        QVERIFY(!p.store.insertItem(itemWith(QStringLiteral("x"))));
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(p.messages.size(), 2);
        QVERIFY(p.messages[0].contains(QDir::toNativeSeparators(path)));
        QVERIFY(p.messages[0].contains(QStringLiteral("does not exist")));
    }

    void notADatabaseIsReported() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.mdb"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        Probe p(path);
        QVERIFY(!p.store.counters());
        QVERIFY(!p.store.insertList(QStringLiteral("x")));
        QCOMPARE(p.messages.size(), 2);
        QVERIFY(p.messages[0].contains(QStringLiteral("not a database")));
        QVERIFY(p.messages[0].contains(QDir::toNativeSeparators(path)));
        QCOMPARE(QFileInfo(path).size(), qint64(4096));
    }

    void readOnlyFileStoresNothing() {
        TempRegister reg;
        QFile::setPermissions(reg.path(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        if (QFileInfo(reg.path()).isWritable())
            QSKIP("this user can write read-only files (root)");
        Probe p(reg.path());
        QVERIFY(!p.store.insertItem(itemWith(QStringLiteral("x"))));
        QCOMPARE(p.messages.size(), 1);
        QCOMPARE(reg.count(QStringLiteral("Items")), qint64(0));
        QCOMPARE(p.store.counters()->lastId, qint64(0));
    }

    void lockedFileWaitsThenFailsWithoutPartialRows() {
        TempRegister reg;
        Probe p(reg.path());
        p.store.setBusyWait([] { return 1000; });
        {
            ExclusiveLock lock(reg.path());
            QElapsedTimer waited;
            waited.start();
            QVERIFY(!p.store.insertItem(itemWith(QStringLiteral("x"))));
            // The wait set, and not much more.
            QVERIFY2(waited.elapsed() >= 1000 && waited.elapsed() < 4000,
                     qPrintable(QString::number(waited.elapsed())));
        }
        QCOMPARE(p.messages.size(), 1);
        QVERIFY(p.messages[0].contains(QStringLiteral("locked")));
        QCOMPARE(reg.count(QStringLiteral("Items")), qint64(0));
        QCOMPARE(p.store.counters()->lastId, qint64(0));
    }

    void failedInsertLeavesTheCounterAlone() {
        TempRegister reg;
        reg.exec(
            QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Items BEGIN SELECT RAISE(ABORT, "
                           "'disk full'); END"));
        Probe p(reg.path());
        QVERIFY(!p.store.insertItem(itemWith(QStringLiteral("x"))));
        QCOMPARE(p.store.counters()->lastId, qint64(0));
        QVERIFY(p.messages.value(0).contains(QStringLiteral("disk full")));
    }

    void missingCounterRowAddsNoRecord() {
        TempRegister reg;
        reg.exec(QStringLiteral("DELETE FROM Data"));
        Probe p(reg.path());
        QVERIFY(!p.store.insertCase({}));
        QVERIFY(!p.store.counters());
        QCOMPARE(reg.count(QStringLiteral("Cases")), qint64(0));
        QCOMPARE(p.messages.size(), 2);
    }

    void updatingAVanishedRecordIsReported() {
        TempRegister reg;
        Probe p(reg.path());
        QCOMPARE(p.store.updateItem(7, {{int(ItemColumn::Desc), "x", ""}}, false),
                 SaveResult::Gone);
        QCOMPARE(p.store.updateList(7, QStringLiteral("x"), QString(), false), SaveResult::Gone);
        QCOMPARE(p.messages.size(), 2);
        QVERIFY(p.messages[0].contains(QStringLiteral("no longer exists")));
    }

    // Double-quoted names are names only: a missing column fails the
    // statement, and the user is told which part is missing.
    void aMissingColumnIsAFailureNeverAText() {
        TempRegister reg;
        reg.exec(
            QStringLiteral("INSERT INTO Items (id, \"desc\") VALUES (1, 'Lamp');"
                           "ALTER TABLE Items DROP COLUMN \"desc\";"
                           "DROP TABLE Locations; CREATE TABLE Locations (name TEXT);"
                           "INSERT INTO Locations VALUES ('desc'), ('Bay 1')"));
        Probe p(reg.path());
        QVERIFY(!p.store.readTree({QDate(2009, 1, 5)}));
        QVERIFY(p.messages.value(0).contains(QStringLiteral("table Items has no column desc")));
        QVERIFY(!p.store.deleteLocation(1, QStringLiteral("desc")));
        QCOMPARE(reg.count(QStringLiteral("Locations")), qint64(2));
        TempRegister noLists;
        noLists.exec(QStringLiteral("DROP TABLE Lists"));
        Probe q(noLists.path());
        QVERIFY(!q.store.listExists(1));
        QVERIFY(q.messages.value(0).contains(QStringLiteral("it has no table Lists")));
    }

    // A register whose table was replaced by a view: said in plain words,
    // not as SQLite's "cannot modify Lists because it is a view".
    void aViewInPlaceOfATableIsNamed() {
        TempRegister reg;
        reg.exec(QStringLiteral(
            "DROP TABLE Lists; CREATE VIEW Lists AS SELECT 1 AS id, 'x' AS ListName"));
        Probe p(reg.path());
        QVERIFY(!p.store.insertList(QStringLiteral("x")));
        QVERIFY2(p.messages.value(0).contains(QStringLiteral("its Lists is a view, not a table")),
                 qPrintable(p.messages.value(0)));
        QVERIFY(p.messages.value(0).contains(QStringLiteral("Restore data.mdb from a backup")));
    }

    // Another program in the middle of a save: this save waits for it
    // instead of being refused.
    void aSaveWaitsForAnotherWriter() {
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
        const auto id = p.store.insertItem(itemWith(QStringLiteral("x")));
        other.join();
        QVERIFY2(p.messages.isEmpty(), qPrintable(p.messages.join('\n')));
        QCOMPARE(id, std::optional<qint64>(2));
    }

    // Two copies of the program edit one item: each writes only what it
    // changed, and a change to the same column is noticed.
    void editsElsewhereAreKeptOrNoticed() {
        TempRegister reg;
        reg.exec(QStringLiteral(
            "INSERT INTO Items (id, category, notes) VALUES (4, 'Audio', 'old note')"));
        Probe p(reg.path());
        const int category = int(ItemColumn::Category), notes = int(ItemColumn::Notes);
        QCOMPARE(p.store.updateItem(4, {{notes, "new note", "old note"}}, false),
                 SaveResult::Saved);
        QCOMPARE(p.store.updateItem(4, {{category, "Lighting", "Audio"}}, false),
                 SaveResult::Saved);
        QCOMPARE(reg.scalar("SELECT notes || '/' || category FROM Items").toString(),
                 QStringLiteral("new note/Lighting"));
        QCOMPARE(p.store.updateItem(4, {{notes, "mine", "old note"}}, false),
                 SaveResult::ChangedElsewhere);
        QCOMPARE(reg.scalar("SELECT notes FROM Items").toString(), QStringLiteral("new note"));
        QCOMPARE(p.store.updateItem(4, {{notes, "mine", "old note"}}, true), SaveResult::Saved);
        QCOMPARE(reg.scalar("SELECT notes FROM Items").toString(), QStringLiteral("mine"));
        // Columns left null turn into empty text, the number columns into 0.
        QCOMPARE(reg.scalar("SELECT typeof(model) || typeof(caseID) FROM Items").toString(),
                 QStringLiteral("textinteger"));
        QVERIFY(p.messages.isEmpty());
    }

    void textsAreStoredByteForByte() {
        TempRegister reg;
        Probe p(reg.path());
        const QString texts[] = {QStringLiteral("\uFEFFleading mark"),
                                 QStringLiteral("amp \U0001F39B rack"),
                                 QString::fromUtf16(u"lone \xD800x"), QStringLiteral("  ")};
        for (const QString& text : texts) {
            const qint64 id = *p.store.insertItem(itemWith(text));
            const QString stored = p.store.itemsWithId(id)->first()[ItemColumn::Desc];
            // A lone surrogate, which UTF-8 cannot hold, is stored as U+FFFD.
            const QString expected = text.isValidUtf16() ? text : QStringLiteral("lone \uFFFDx");
            QCOMPARE(stored, expected);
            QCOMPARE(
                reg.scalar(QStringLiteral("SELECT hex(\"desc\") FROM Items WHERE id = %1").arg(id))
                    .toString(),
                QString::fromLatin1(expected.toUtf8().toHex().toUpper()));
        }
    }

    void numbersBeyondTheRangeAreSafe() {
        TempRegister reg;
        reg.exec(
            QStringLiteral("INSERT INTO Items (id, caseID) VALUES (1, 1e30);"
                           "INSERT INTO Cases (id) VALUES (9223372036854775807)"));
        Probe p(reg.path());
        const qint64 id = *p.store.insertItem(itemWith(QStringLiteral("long"), 0, 1e30));
        QCOMPARE(p.store.itemsWithId(id)->first()[ItemColumn::Length], QStringLiteral("1e+30"));
        QCOMPARE(p.store.readTree({QDate(2009, 1, 5)})->caseItems.size(), std::size_t(0));
        // No case id is left above the highest one: refused, nothing written.
        QVERIFY(!p.store.predictedId(RecordTable::Cases));
        QVERIFY(!p.store.insertCase({}));
        QCOMPARE(reg.count(QStringLiteral("Cases")), qint64(1));
        QVERIFY(p.messages.last().contains(QStringLiteral("no flight case id left")));
        reg.exec(QStringLiteral("UPDATE Data SET lastList = 1e300"));
        QVERIFY(!p.store.insertList(QStringLiteral("x")));
        QCOMPARE(reg.count(QStringLiteral("Lists")), qint64(0));
    }

    void predictionIsTheIdThatSaveGives() {
        TempRegister reg;
        reg.exec(
            QStringLiteral("UPDATE Data SET lastid = 3, lastCase = 7;"
                           "INSERT INTO Items (id) VALUES (10)"));
        Probe p(reg.path());
        QCOMPARE(p.store.predictedId(RecordTable::Items), std::optional<qint64>(11));
        QCOMPARE(p.store.insertItem(itemWith(QStringLiteral("x"))), std::optional<qint64>(11));
        QCOMPARE(p.store.predictedId(RecordTable::Cases), std::optional<qint64>(8));
        QCOMPARE(p.store.predictedId(RecordTable::Lists), std::optional<qint64>(1));
    }

    void plainWordsForWhatWentWrong() {
        TempRegister reg;
        Probe p(reg.path());
        p.store.setBusyWait([] { return 100; });
        {
            ExclusiveLock lock(reg.path());
            QVERIFY(!p.store.itemExists(1));
        }
        QVERIFY(p.messages.last().contains(QStringLiteral("in use by another program")));
        QFile::resize(reg.path(), 0);
        QFile f(reg.path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2048, 'x'));
        f.close();
        QVERIFY(!p.store.itemExists(1));
        QVERIFY(p.messages.last().contains(QStringLiteral("is not a Quarvel database")));
        QVERIFY(p.messages.last().contains(QStringLiteral("(SQLite: file is not a database)")));
    }

    void treeOfASampleRegister() {
        TempRegister reg;
        reg.exec(QStringLiteral(
            "INSERT INTO Items (id, \"desc\", caseID) VALUES (45, 'Lamp', 12), (3, 'Cable', 0),"
            " (50, 'Desk', 12.0), (60, 'Stray', 99), (61, NULL, 7);"
            "INSERT INTO Cases (id, FName) VALUES (12, 'Amp rack'), (7, 'Empty case');"
            "INSERT INTO Lists (id, ListName) VALUES (3, 'Stage left');"
            "INSERT INTO ListData VALUES (3, 45, 'Old lamp name'), (3, 3, 'Cable'), (3, 45, "
            "'again'),"
            " (8, 3, 'orphan line')"));
        Probe p(reg.path());
        const TreeData t = *p.store.readTree({QDate(2009, 1, 5)});
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

    // A register that SQLite's check finds damaged is opened for reading
    // only: told once with what to do, reads go on, every write is refused
    // naming the reason, and the file is not touched.
    void aDamagedRegisterIsOpenedReadOnly() {
        TempRegister reg;
        fillForDamage(reg);
        reg.spoilPageOf(QStringLiteral("ItemsByCase"));
        const QByteArray before = hashOf(reg.path());
        Probe p(reg.path());
        QCOMPARE(p.store.checkForDamage(), Store::Health::Damaged);
        QCOMPARE(p.messages.size(), 1);
        QVERIFY(p.messages[0].contains(QStringLiteral("The register is damaged")));
        QVERIFY(p.messages[0].contains(QStringLiteral("Restore data.mdb from a backup")));
        QVERIFY(p.messages[0].contains(QStringLiteral("try to repair it")));
        QVERIFY(p.store.readOnly());

        QCOMPARE(p.store.itemsWithId(5)->size(), 1);
        QCOMPARE(names(*p.store.locations()), QStringList{"Bay 1"});
        QVERIFY(!p.store.insertItem(itemWith(QStringLiteral("x"))));
        QCOMPARE(p.store.addLocation(QStringLiteral("Bay 2")), AddLocationResult::Failed);
        QCOMPARE(p.messages.size(), 3);
        QVERIFY(p.messages[1].contains(QStringLiteral("save the new item")));
        QVERIFY(p.messages[2].contains(QStringLiteral("damaged")) &&
                p.messages[2].contains(QStringLiteral("reading only")));
        QCOMPARE(p.store.checkForDamage(), Store::Health::Damaged);
        QCOMPARE(p.messages.size(), 3);  // told once
        QCOMPARE(hashOf(reg.path()), before);

        TempRegister sound;
        Probe q(sound.path());
        QCOMPARE(q.store.checkForDamage(), Store::Health::Sound);
        QVERIFY(!q.store.readOnly() && q.messages.isEmpty());
    }

    // A statement that finds damage later does the same.
    void aStatementThatFindsDamageOpensReadOnly() {
        TempRegister reg;
        fillForDamage(reg);
        reg.spoilPageOf(QStringLiteral("ItemsByCase"));
        Probe p(reg.path());
        QVERIFY(!p.store.itemsInCase(3));  // read through the spoilt index
        QCOMPARE(p.messages.size(), 1);
        QVERIFY(p.messages[0].contains(QStringLiteral("The register is damaged")));
        QVERIFY(p.store.readOnly());
        QVERIFY(!p.store.deleteItem(4));
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
        QCOMPARE(p.store.checkForDamage(), Store::Health::Damaged);
        const RegisterRepair::Outcome outcome = p.store.repairDamaged();
        QVERIFY2(outcome.repaired, qPrintable(outcome.failure));
        QCOMPARE(QFile::permissions(reg.path()), access);
        QVERIFY(QFileInfo(outcome.keptAs).fileName().startsWith(QStringLiteral("data-damaged-")));
        QCOMPARE(hashOf(outcome.keptAs), damaged);
        QCOMPARE(QDir(reg.folder()).entryList(QDir::Files).size(), 2);  // nothing else left

        QCOMPARE(reg.scalar(QStringLiteral("PRAGMA integrity_check")).toString(),
                 QStringLiteral("ok"));
        QCOMPARE(reg.scalar(QStringLiteral("PRAGMA user_version")).toLongLong(), qint64(version));
        QCOMPARE(p.store.itemsInCase(3)->size(), std::size_t(75));
        QCOMPARE(p.store.checkForDamage(), Store::Health::Sound);
        QVERIFY(!p.store.readOnly());
        QCOMPARE(p.store.insertItem(itemWith(QStringLiteral("after"))),
                 std::optional<qint64>(3001));
        QCOMPARE(p.messages.size(), 1);
    }

    // The repair runs nothing of a schema entry but one plain CREATE
    // statement: a statement hidden behind it is refused unrun.
    void repairRunsOnlyPlainCreateStatements() {
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
        const RegisterRepair::Outcome outcome = p.store.repairDamaged();
        QVERIFY(!outcome.repaired);
        QVERIFY2(outcome.failure.contains(QStringLiteral("Extra is not one plain CREATE")),
                 qPrintable(outcome.failure));
        QCOMPARE(QDir(reg.folder()).entryList(QDir::Files), QStringList{"data.mdb"});
    }

    // A register is copied to another place as the version it is; a damaged
    // one is not copied at all.
    void aCopyKeepsTheVersionAndRefusesDamage() {
        TempRegister reg;
        reg.toFirstVersion();
        const RegisterLocation copy =
            RegisterLocation::file(reg.folder() + QStringLiteral("/c.mdb"));
        QVERIFY(RegisterTransfer::copy(RegisterLocation::file(reg.path()), copy).ok);
        {
            Sqlite::Connection made(copy.text(), Sqlite::Open::ReadOnly);
            QCOMPARE(Schema::versionOf(made), std::optional<int>(1));
        }
        QVERIFY(QFile::remove(copy.text()));
        reg.addUnusedPage();
        const RegisterTransfer::Outcome refused =
            RegisterTransfer::copy(RegisterLocation::file(reg.path()), copy);
        QVERIFY2(!refused.ok && refused.error.contains(QStringLiteral("is damaged")),
                 qPrintable(refused.error));
        QVERIFY(!QFileInfo::exists(copy.text()));
    }

    // Damage in a table's own pages is beyond repair: nothing changes, the
    // register stays read-only.
    void aRegisterBeyondRepairStaysAsItWas() {
        TempRegister reg;
        fillForDamage(reg);
        reg.spoilPageOf(QStringLiteral("Items"));
        const QByteArray damaged = hashOf(reg.path());
        Probe p(reg.path());
        QCOMPARE(p.store.checkForDamage(), Store::Health::Damaged);
        const RegisterRepair::Outcome outcome = p.store.repairDamaged();
        QVERIFY(!outcome.repaired);
        QVERIFY(!outcome.failure.isEmpty());
        QCOMPARE(hashOf(reg.path()), damaged);
        QCOMPARE(QDir(reg.folder()).entryList(QDir::Files), QStringList{"data.mdb"});
        QVERIFY(p.store.readOnly());
    }

    // A lone surrogate is mended the same way before a name is compared and
    // stored, so the location is there once and can be deleted by the name
    // as typed.
    void aLoneSurrogateLocationIsStoredOnce() {
        TempRegister reg;
        Probe p(reg.path());
        const QString typed = QString::fromUtf16(u"Bay \xD83D 7");
        QCOMPARE(p.store.addLocation(typed), AddLocationResult::Added);
        QCOMPARE(p.store.addLocation(typed), AddLocationResult::AlreadyThere);
        QCOMPARE(p.store.addLocation(QString::fromUtf16(u"bay \xDC00 7")),
                 AddLocationResult::AlreadyThere);
        QCOMPARE(names(*p.store.locations()), QStringList{QStringLiteral("Bay \uFFFD 7")});
        QVERIFY(p.store.deleteLocation(p.store.locations()->ids[0], typed));
        QCOMPARE(reg.count(QStringLiteral("Locations")), qint64(0));
        QCOMPARE(p.store.addLocation(QStringLiteral("Pair \U0001F39B")), AddLocationResult::Added);
        QCOMPARE(names(*p.store.locations()), QStringList{QStringLiteral("Pair \U0001F39B")});
    }

    // Another program holds the register longer than SQLite's own wait of
    // the past: the save waits (10 s unless set) and goes through.
    void aSaveWaitsSecondsForAnotherWriter() {
        TempRegister reg;
        Probe p(reg.path());
        QSemaphore locked;
        std::thread other([&] {
            ExclusiveLock lock(reg.path());
            locked.release();
            QThread::msleep(2500);
        });
        locked.acquire();
        const auto id = p.store.insertItem(itemWith(QStringLiteral("x")));
        other.join();
        QVERIFY2(p.messages.isEmpty(), qPrintable(p.messages.join('\n')));
        QCOMPARE(id, std::optional<qint64>(1));
    }

    // Two programs saving as fast as they can: none refused, none lost
    // (quarvel-bench-writers makes the long run).
    void twoWritersRefuseNoSave() {
        TempRegister reg;
        QStringList messages[2];
        const auto writer = [&](int w) {
            Store store(reg.path(), [&messages, w](const QString& m) { messages[w] << m; });
            for (int i = 0; i < 40; ++i)
                store.insertItem(itemWith(QStringLiteral("x")));
        };
        std::thread a(writer, 0), b(writer, 1);
        a.join();
        b.join();
        QVERIFY2((messages[0] + messages[1]).isEmpty(), qPrintable(messages[0].value(0)));
        QCOMPARE(reg.count(QStringLiteral("Items")), qint64(80));
        QCOMPARE(reg.scalar(QStringLiteral("SELECT lastid FROM Data")).toLongLong(), qint64(80));
    }

    // A save cut off by a crash left its journal, and the folder may not be
    // written, so SQLite cannot undo it: said in words, not as "the disk
    // reported an error".
    void aCutOffSaveInAReadOnlyFolderIsExplained() {
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
            QVERIFY(!p.store.counters());
        }
        QVERIFY2(p.messages.value(0).contains(QStringLiteral("holds a save that was cut off")),
                 qPrintable(p.messages.value(0)));
        QVERIFY(!p.messages.value(0).contains(QStringLiteral("the disk reported an error")));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
