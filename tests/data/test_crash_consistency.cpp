// A program killed in the middle of its saves leaves a sound register: a
// child saves through the store in a loop and is killed at random moments;
// after each kill the file is checked.
#include <QtTest>

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>

#include "TempRegister.h"

namespace {

constexpr int kKills = 50;

qint64 number(const TempRegister& reg, const QString& sql) {
    return reg.scalar(sql).toLongLong();
}

void checkConsistent(const TempRegister& reg) {
    QCOMPARE(reg.scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    // No id is ever given twice: every counter is at least its table's highest id.
    QVERIFY(number(reg, "SELECT lastid FROM Data") >=
            number(reg, "SELECT COALESCE(MAX(id), 0) FROM Items"));
    QVERIFY(number(reg, "SELECT lastCase FROM Data") >=
            number(reg, "SELECT COALESCE(MAX(id), 0) FROM Cases"));
    QVERIFY(number(reg, "SELECT lastList FROM Data") >=
            number(reg, "SELECT COALESCE(MAX(id), 0) FROM Lists"));
    QCOMPARE(
        number(reg, "SELECT COUNT(*) FROM ListData WHERE listid NOT IN (SELECT id FROM Lists)"),
        qint64(0));
}

}  // namespace

class TestCrashConsistency : public QObject {
    Q_OBJECT

private slots:
    void killedWhileSaving() {
        TempRegister reg;
        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("seed %u", seed);
        QRandomGenerator random(seed);
        int killedInTransaction = 0;
        for (int kill = 0; kill < kKills; ++kill) {
            QProcess child;
            child.start(QStringLiteral(QUARVEL_SAVE_LOOP),
                        {reg.path(), QString::number(seed + kill)});
            QVERIFY2(child.waitForReadyRead(10000), qPrintable(child.readAllStandardError()));
            QTest::qWait(random.bounded(5, 61));
            child.kill();
            QVERIFY(child.waitForFinished(10000));
            const QByteArray failure = child.readAllStandardError();
            QVERIFY2(failure.isEmpty(), failure.constData());
            if (QFile::exists(reg.path() + QStringLiteral("-journal")))
                ++killedInTransaction;
            checkConsistent(reg);
        }
        qInfo("%d of %d kills inside a transaction, %lld items, %lld lists", killedInTransaction,
              kKills, reg.count(QStringLiteral("Items")), reg.count(QStringLiteral("Lists")));
        QVERIFY(reg.count(QStringLiteral("Items")) > 0);
        QVERIFY(killedInTransaction > 0);
    }
};

QTEST_MAIN(TestCrashConsistency)
#include "test_crash_consistency.moc"
