// The items, the flight cases and their ids (ItemStore, CaseStore, IdStore):
// new ids and counters, every column kept as written, saves of two desks.
#include <sqlite3.h>

#include <QTemporaryDir>
#include <QTest>

#include "StoreFixture.h"
#include "data/Register.h"
#include "data/register/RegisterTransfer.h"

// Every test runs on a file and on a server register (see StoreFixture);
// what only one engine has is skipped on the other's row.
class TestItemStore : public QObject {
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
};

QTEST_GUILESS_MAIN(TestItemStore)
#include "test_item_store.moc"
