// A damaged register (Register): opened for reading only, repaired into a
// new file that keeps the old one, never copied; a register beyond repair
// stays as it was.
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include "StoreFixture.h"
#include "base/Progress.h"
#include "data/Register.h"
#include "data/engine/Sqlite.h"
#include "data/register/RegisterTransfer.h"

namespace {

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

}  // namespace

// Every test runs on a file and on a server register (see StoreFixture);
// what only one engine has is skipped on the other's row.
class TestRegisterDamage : public QObject {
    Q_OBJECT
    StoreFixture fixture_;

private slots:
    void initTestCase_data() { fixture_.addEngineRows(); }
    void initTestCase() {
        const QString skip = fixture_.startServer();
        if (!skip.isEmpty())
            QSKIP(qPrintable(skip));
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
};

QTEST_GUILESS_MAIN(TestRegisterDamage)
#include "test_register_damage.moc"
