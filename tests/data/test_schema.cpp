// The register's layout: the column model, versions and upgrades, backups.
#include <QDir>
#include <QFile>
#include <QTest>

#include "StoreFixture.h"
#include "TempRegister.h"
#include "base/Progress.h"
#include "data/engine/Schema.h"
#include "data/engine/Sqlite.h"
#include "data/register/Backups.h"
#include "data/register/RegisterFolder.h"
#include "data/rules/DetailLines.h"

namespace {

// A register, and the stores over it, that records what it would tell the
// user, with a clock of the test's own.
// The fixture's probe, with a backup clock and limit the tests set.
struct ClockedProbe : Probe {
    explicit ClockedProbe(const QString& path) : Probe(path) {
        reg.setBackupPolicy({[this] { return now; },
                             [this] { return keep; },
                             [this](const QString& m) { warnings << m; },
                             {}});
    }
    QDateTime now = QDateTime(QDate(2026, 12, 9), QTime(8, 0));
    int keep = 10;
    QStringList warnings;
};

QString valueFor(const ColumnSpec& column, int n) {
    return column.type == ColumnType::Number ? QString::number(n + 1)
                                             : QStringLiteral("%1 text").arg(column.name);
}

QStringList backupsIn(const TempRegister& reg) {
    return QDir(RegisterFolder::backupFolder(reg.path()))
        .entryList({QStringLiteral("*.mdb")}, QDir::Files, QDir::Name);
}

// Steps of a made-up later layout, to upgrade a register of today's.
bool addShelves(Sql::Connection& db) {
    return db.exec(R"(CREATE TABLE "Shelves" ("id" INTEGER PRIMARY KEY, "name" TEXT))");
}
bool failHalfWay(Sql::Connection& db) {
    db.fail(QStringLiteral("made to fail"));
    return false;
}
const Schema::Step kLaterLayout[] = {{Schema::kCurrentVersion + 1, addShelves}};
const Schema::Step kFailingLayout[] = {{Schema::kCurrentVersion + 1, addShelves},
                                       {Schema::kCurrentVersion + 2, failHalfWay}};

}  // namespace

class TestSchema : public QObject {
    Q_OBJECT
private slots:
    // A column forgotten in any of the places that follow the model fails here.
    void everyModelColumnIsWrittenReadAndShown() {
        TempRegister reg;
        ClockedProbe p(reg.path());
        ItemWrite item;
        for (int c = 0; c < kItemDataColumnCount; ++c)
            item[c] = valueFor(kItemColumns[c], c);
        const auto id = p.items.insert(item);
        QVERIFY(id);
        const ItemRecord stored = p.items.withId(*id)->first();
        QStringList changedTexts;
        QList<ColumnChange> changes;
        for (int c = 0; c < kItemDataColumnCount; ++c) {
            QCOMPARE(stored.values[c], item[c].toString());
            const QString changed = kItemColumns[c].type == ColumnType::Number
                                        ? QString::number(100 + c)
                                        : QStringLiteral("changed %1").arg(c);
            changes.append({c, changed, stored.values[c]});
            changedTexts << changed;
        }
        QCOMPARE(p.items.update(*id, changes, false), SaveResult::Saved);
        const ItemRecord updated = p.items.withId(*id)->first();
        for (int c = 0; c < kItemDataColumnCount; ++c)
            QCOMPARE(updated.values[c], changedTexts[c]);

        // Each column has captions of its own and a line in the main window
        // and the editor.
        const QStringList mainLines = DetailLines::lines(DetailLines::mainWindowFields(), updated);
        const QStringList editorLines =
            DetailLines::lines(DetailLines::itemEditorFields(), updated);
        QCOMPARE(editorLines.size(), kItemDataColumnCount);
        for (int c = 0; c < kItemDataColumnCount; ++c) {
            const DetailLines::ItemField& field = DetailLines::itemFields().at(c);
            QVERIFY2(
                field.viewerCaption != QLatin1String(kItemColumns[c].name) + QStringLiteral(": "),
                kItemColumns[c].name);
            QVERIFY(mainLines.contains(field.viewerCaption + changedTexts[c]));
            QVERIFY(editorLines.contains(field.editorCaption + changedTexts[c]));
        }

        CaseRecord flightCase;
        for (int c = 0; c < kCaseDataColumnCount; ++c)
            flightCase.values[c] = QStringLiteral("case value %1").arg(c);
        const auto caseId = p.cases.insert(flightCase);
        QVERIFY(caseId);
        const CaseRecord storedCase = p.cases.withId(*caseId)->first();
        QCOMPARE(storedCase.values, flightCase.values);
        const QStringList caseLines = DetailLines::caseLines(storedCase);
        for (int c = 0; c < kCaseDataColumnCount; ++c)
            QVERIFY(caseLines.at(c).endsWith(flightCase.values[c]));
        QVERIFY(p.messages.isEmpty());
    }

    void versionsAreRecordedAndOldFilesRecognised() {
        TempRegister reg;
        QCOMPARE(reg.scalar(QStringLiteral("PRAGMA user_version")).toInt(),
                 Schema::kCurrentVersion);
        // A register of the first program records no version.
        reg.exec(QStringLiteral("PRAGMA user_version = 0"));
        Sqlite::Connection db(reg.path());
        QCOMPARE(Schema::versionOf(db), std::optional<int>(1));
        TempRegister other;
        QFile::remove(other.path());
        Sqlite::Connection empty(other.path(), Sqlite::Open::Create);
        QCOMPARE(Schema::versionOf(empty), std::optional<int>(0));
    }

    void anOlderRegisterIsBackedUpThenUpgradedKeepingEveryRow() {
        for (const bool recordsNoVersion : {false, true}) {
            TempRegister reg;
            reg.exec(QStringLiteral(
                "INSERT INTO Items (id, \"desc\", caseID, length) VALUES (7, 'Amp', 2, 1.5);"
                "INSERT INTO Cases (id, FName) VALUES (2, 'Rack');"
                "INSERT INTO Locations VALUES ('Bay 1');"
                "UPDATE Data SET lastid = 7, lastCase = 2"));
            if (recordsNoVersion)
                reg.exec(QStringLiteral("PRAGMA user_version = 0"));
            ClockedProbe p(reg.path());
            QVERIFY(p.reg.upgradeIfOlder(kLaterLayout));
            QCOMPARE(reg.scalar(QStringLiteral("PRAGMA user_version")).toInt(),
                     Schema::kCurrentVersion + 1);
            QCOMPARE(reg.count(QStringLiteral("Shelves")), 0);
            QCOMPARE(p.items.withId(7)->first()[ItemColumn::Length], QStringLiteral("1.5"));
            QCOMPARE(p.ids.counters()->lastCase, 2);

            // The backup is a sound register as it was before the upgrade.
            const QStringList backups = backupsIn(reg);
            QCOMPARE(backups, QStringList{QStringLiteral("data-20261209-080000.mdb")});
            Sqlite::Connection backup(
                QDir(RegisterFolder::backupFolder(reg.path())).filePath(backups.first()),
                Sqlite::Open::ReadOnly);
            Sqlite::Statement check(backup, "PRAGMA integrity_check");
            QVERIFY(check.step());
            QCOMPARE(check.shown(0), QStringLiteral("ok"));
            QCOMPARE(Schema::versionOf(backup),
                     std::optional<int>(recordsNoVersion ? 1 : Schema::kCurrentVersion));
            QVERIFY(Schema::missingPart(backup).isEmpty());

            // Upgraded once: the next start changes nothing.
            QVERIFY(p.reg.upgradeIfOlder(kLaterLayout));
            QCOMPARE(backupsIn(reg).size(), 1);
            QVERIFY(p.messages.isEmpty());
        }
    }

    // The damage check comes before the backup and every step: a damaged
    // register keeps its version and pushes out no sound backup.
    void aDamagedRegisterIsNeverUpgraded_data() {
        QTest::addColumn<QString>("damage");
        QTest::newRow("unused page") << "page";
        QTest::newRow("index only") << "index";
    }
    void aDamagedRegisterIsNeverUpgraded() {
        QFETCH(QString, damage);
        TempRegister reg;
        reg.toFirstVersion();
        reg.exec(
            QStringLiteral("INSERT INTO Items (\"desc\", caseID) VALUES ('Amp', 1), ('Rack', 2)"));
        if (damage == QLatin1String("page"))
            reg.addUnusedPage();
        else
            reg.spoilIndexOnly();
        ClockedProbe p(reg.path());
        QVERIFY(!p.reg.upgradeIfOlder());
        QCOMPARE(reg.scalar(QStringLiteral("PRAGMA user_version")).toInt(), 1);
        QVERIFY(p.reg.readOnly());
        QVERIFY(p.messages.value(0).contains(QStringLiteral("The register is damaged")));
        QVERIFY(backupsIn(reg).isEmpty());
    }

    void aFailedUpgradeLeavesTheFileAsItWas() {
        TempRegister reg;
        reg.exec(QStringLiteral("INSERT INTO Items (id, \"desc\") VALUES (1, 'Amp')"));
        QFile file(reg.path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        ClockedProbe p(reg.path());
        QVERIFY(!p.reg.upgradeIfOlder(kFailingLayout));
        QCOMPARE(p.messages.size(), 1);
        QVERIFY(p.messages.first().contains(QStringLiteral("upgrade the register")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }

    void aNewerRegisterIsNotChanged() {
        TempRegister reg;
        reg.exec(QStringLiteral("PRAGMA user_version = 7"));
        ClockedProbe p(reg.path());
        QVERIFY(!p.reg.upgradeIfOlder());
        QVERIFY(!p.messages.isEmpty());
        QVERIFY(p.messages.first().contains(QStringLiteral("register version 7")));
        QVERIFY(
            p.messages.first().contains(QStringLiteral("up to %1").arg(Schema::kCurrentVersion)));
        // It is read, never written.
        QVERIFY(p.reg.readOnly());
        QVERIFY(p.items.all());
        QVERIFY(!p.lists.insert(QStringLiteral("Refused")));
        QCOMPARE(reg.count(QStringLiteral("Lists")), 0);
        QCOMPARE(reg.scalar(QStringLiteral("PRAGMA user_version")).toInt(), 7);
        QVERIFY(backupsIn(reg).isEmpty());
    }

    void backupsAreTakenOnceADayAndTheNewestKept() {
        TempRegister reg;
        ClockedProbe p(reg.path());
        p.keep = 3;
        QVERIFY(p.lists.insert(QStringLiteral("Day 1")));
        p.now = p.now.addSecs(3600);
        QVERIFY(p.lists.insert(QStringLiteral("Day 1, later")));
        QCOMPARE(backupsIn(reg).size(), 1);
        // A program started later that day finds today's backup.
        ClockedProbe later(reg.path());
        later.now = p.now.addSecs(60);
        QVERIFY(later.lists.insert(QStringLiteral("Day 1, again")));
        QCOMPARE(backupsIn(reg).size(), 1);

        for (int day = 1; day <= 4; ++day) {
            p.now = p.now.addDays(1);
            QVERIFY(p.lists.insert(QStringLiteral("Day %1").arg(day + 1)));
        }
        QCOMPARE(backupsIn(reg), (QStringList{QStringLiteral("data-20261211-090000.mdb"),
                                              QStringLiteral("data-20261212-090000.mdb"),
                                              QStringLiteral("data-20261213-090000.mdb")}));
        // The last one holds the register as it was before that day's save.
        Sqlite::Connection last(
            QDir(RegisterFolder::backupFolder(reg.path())).filePath(backupsIn(reg).last()),
            Sqlite::Open::ReadOnly);
        Sqlite::Statement lists(last, "SELECT COUNT(*) FROM \"Lists\"");
        QVERIFY(lists.step());
        QCOMPARE(lists.integer(0), 6);
        QVERIFY(p.warnings.isEmpty());
    }

    // A backup that cannot be made, or that the user cancels: told once,
    // no backup left, and the saves go on.
    void aFailedBackupWarnsOnceAndTheSaveGoesOn_data() {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("told");
        QTest::newRow("no folder") << false << "could not back up";
        QTest::newRow("cancelled") << true << "You cancelled the backup";
    }
    void aFailedBackupWarnsOnceAndTheSaveGoesOn() {
        QFETCH(bool, cancel);
        QFETCH(QString, told);
        struct CancelAtOnce : Progress {
            bool asked = false;
            bool report(std::int64_t, std::int64_t) override { return !(asked = true); }
            bool cancelled() const override { return asked; }
        };
        TempRegister reg;
        // A file where the folder should be: no backup can be made.
        QFile blocker(RegisterFolder::backupFolder(reg.path()));
        QVERIFY(cancel || blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ClockedProbe p(reg.path());
        p.reg.setBackupPolicy({[&p] { return p.now; }, [] { return 10; },
                               [&p](const QString& m) { p.warnings << m; },
                               [] { return std::make_unique<CancelAtOnce>(); }});
        QVERIFY(p.lists.insert(QStringLiteral("First")));
        QVERIFY(p.lists.insert(QStringLiteral("Second")));
        QCOMPARE(p.warnings.size(), 1);
        QVERIFY2(p.warnings.first().contains(told), qPrintable(p.warnings.first()));
        if (cancel)
            QCOMPARE(QDir(RegisterFolder::backupFolder(reg.path())).entryList(QDir::Files),
                     QStringList());
        QCOMPARE(reg.count(QStringLiteral("Lists")), 2);
        QVERIFY(p.messages.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "test_schema.moc"
