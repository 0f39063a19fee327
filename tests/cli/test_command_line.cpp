#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// What the programs do not understand ends them with exit 2 and one line
// that names it, before any window (or display) is needed; Qt's own options
// pass to Qt.
class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void whatIsNotUnderstoodIsRefused_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");  // in the one line on the error output
        const QString quarvel = QStringLiteral(QUARVEL_PROGRAM);
        const QString makedb = QStringLiteral(QUARVEL_MAKEDB);
        QTest::newRow("unknown option") << quarvel << QStringList{"--bogus"} << 2 << "--bogus";
        QTest::newRow("one dash") << quarvel << QStringList{"-bogus"} << 2 << "-bogus";
        QTest::newRow("stray argument")
            << quarvel << QStringList{"stray-word"} << 2 << "stray-word";
        QTest::newRow("after the export's file")
            << quarvel << QStringList{"--export", "items", "NEW", "extra"} << 2 << "extra";
        QTest::newRow("with --version")
            << quarvel << QStringList{"--version", "--bogus"} << 2 << "--bogus";
        QTest::newRow("after Qt's options")
            << quarvel << QStringList{"-platform", "offscreen", "-style=fusion", "--bogus"} << 2
            << "--bogus";
        QTest::newRow("Qt's options pass")
            << quarvel
            << QStringList{"-platform", "offscreen", "--style", "fusion", "-reverse", "--version"}
            << 0 << "";
        QTest::newRow("import's option alone")
            << quarvel << QStringList{"--good-lines"} << 2 << "--good-lines goes with --import";
        QTest::newRow("scan's option alone") << quarvel << QStringList{"--stocktake", "Bay 1"} << 2
                                             << "--stocktake goes with --scan";
        QTest::newRow("import's option with the export")
            << quarvel << QStringList{"--export", "items", "NEW", "--ignore-column", "Colour"} << 2
            << "--ignore-column goes with --import";
        QTest::newRow("tool: unknown option")
            << makedb << QStringList{"--bogus", "NEW"} << 2 << "--bogus";
        QTest::newRow("tool: stray argument")
            << makedb << QStringList{"NEW", "stray"} << 2 << "stray";
        QTest::newRow("tool: --copy short")
            << makedb << QStringList{"--copy", "NEW"} << 2 << "--copy";
    }
    void whatIsNotUnderstoodIsRefused() {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        const QTemporaryDir dir;
        const QString made = dir.filePath(QStringLiteral("new.mdb"));
        arguments.replaceInStrings(QStringLiteral("NEW"), made);

        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        run.setProcessEnvironment(env);
        run.start(program, arguments);
        QVERIFY(run.waitForFinished(10000));
        const QString err = QString::fromLocal8Bit(run.readAllStandardError());
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QVERIFY2(run.exitCode() == exitCode, qPrintable(err));
        if (exitCode == 0)
            return;
        QCOMPARE(err.count(QLatin1Char('\n')), 1);
        QVERIFY2(err.contains(said), qPrintable(err));
        QVERIFY(run.readAllStandardOutput().isEmpty());
        QVERIFY(!QFileInfo::exists(made));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
