// The main tree's read and the tests (TreeStore, TestRecordStore).
#include <QTest>
#include <utility>

#include "StoreFixture.h"
#include "data/Register.h"

// Every test runs on a file and on a server register (see StoreFixture);
// what only one engine has is skipped on the other's row.
class TestTreeStore : public QObject {
    Q_OBJECT
    StoreFixture fixture_;

private slots:
    void initTestCase_data() { fixture_.addEngineRows(); }
    void initTestCase() {
        const QString skip = fixture_.startServer();
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
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
};

QTEST_GUILESS_MAIN(TestTreeStore)
#include "test_tree_store.moc"
