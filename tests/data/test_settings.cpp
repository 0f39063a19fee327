#include <QTemporaryDir>
#include <QTest>

#include "data/Settings.h"

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void missingKeyReadsTheReadersDefault() {
        QTemporaryDir dir;
        Settings s(dir.filePath(QStringLiteral("s.ini")));
        QCOMPARE(s.read(SettingsKeys::Printer, QStringLiteral("NONE")), QStringLiteral("NONE"));
        QCOMPARE(s.read(SettingsKeys::Printer, QStringLiteral("none")), QStringLiteral("none"));
        QVERIFY(!s.isOn(SettingsKeys::DescOnLarge));
    }

    void onlyExactYesSwitchesAnOptionOn() {
        QTemporaryDir dir;
        Settings s(dir.filePath(QStringLiteral("s.ini")));
        for (const char* text : {"yes", "Yes ", "YES", "No", ""}) {
            s.write(SettingsKeys::DescOnLarge, QLatin1String(text));
            QVERIFY2(!s.isOn(SettingsKeys::DescOnLarge), text);
        }
        s.writeOn(SettingsKeys::DescOnLarge, true);
        QCOMPARE(s.read(SettingsKeys::DescOnLarge, QString()), QStringLiteral("Yes"));
        QVERIFY(s.isOn(SettingsKeys::DescOnLarge));
        s.writeOn(SettingsKeys::DescOnLarge, false);
        QCOMPARE(s.read(SettingsKeys::DescOnLarge, QString()), QStringLiteral("No"));
    }

    void busyWaitIsTenSecondsUnlessSetToSecondsItCanUse() {
        QTemporaryDir dir;
        Settings s(dir.filePath(QStringLiteral("s.ini")));
        QCOMPARE(s.busyWaitMs(), 10000);
        const std::pair<const char*, int> cases[] = {{"3", 3000},   {" 30 ", 30000}, {"0", 0},
                                                     {"-1", 10000}, {"2.5", 10000},  {"ten", 10000},
                                                     {"601", 10000}};
        for (const auto& [text, ms] : cases) {
            s.write(SettingsKeys::BusyWaitSeconds, QLatin1String(text));
            QCOMPARE(s.busyWaitMs(), ms);
        }
    }

    void valuesPersistAcrossInstances() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("s.ini"));
        Settings(file).write(SettingsKeys::SPrinter, QStringLiteral("Zebra LP2844"));
        QCOMPARE(Settings(file).read(SettingsKeys::SPrinter, QStringLiteral("none")),
                 QStringLiteral("Zebra LP2844"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
