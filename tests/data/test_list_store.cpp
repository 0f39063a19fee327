// The picking lists and the locations (ListStore, LocationStore): lines and
// their duplicates, location names in any letter case and any text.
#include <QTest>

#include "StoreFixture.h"
#include "data/Register.h"

// Every test runs on a file and on a server register (see StoreFixture);
// what only one engine has is skipped on the other's row.
class TestListStore : public QObject {
    Q_OBJECT
    StoreFixture fixture_;

private slots:
    void initTestCase_data() { fixture_.addEngineRows(); }
    void initTestCase() {
        const QString skip = fixture_.startServer();
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
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
};

QTEST_GUILESS_MAIN(TestListStore)
#include "test_list_store.moc"
