#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "TempRegister.h"

namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

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
        QTest::newRow("bookings without FILE") << quarvel << QStringList{"--export", "bookings"}
                                               << 2 << "--export needs WHAT and FILE";
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
        QTest::newRow("tool: --log-grants without ROLE")
            << makedb << QStringList{"--log-grants"} << 2 << "--log-grants takes one ROLE";
        QTest::newRow("--since without --export")
            << quarvel << QStringList{"--since", "2026-12-09"} << 2 << "--since goes with --export";
        QTest::newRow("--since not a date")
            << quarvel << QStringList{"--export", "changes", "NEW", "--since", "9/12/2026"} << 2
            << "--since needs a date such as 2026-12-09";
        QTest::newRow("tool: --is-empty with two")
            << makedb << QStringList{"--is-empty", "NEW", "NEW"} << 2 << "--is-empty takes";
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

    // The change log from a day on, as quarvel --export changes writes it;
    // the tool prints the statements that keep the log from being changed.
    void theChangesAreExportedAndTheLogGrantsPrinted() {
        const TempRegister reg;
        reg.exec(QStringLiteral(
            R"(INSERT INTO ChangeBatches VALUES (1, '2026-12-08T09:00:00.000Z', 'ann', 'A', 'Save'),
                                               (2, '2026-12-09T10:00:00.000Z', 'bob', 'B', 'Move');
               INSERT INTO ChangeLog VALUES
                 (1, 1, '2026-12-08T09:00:00.000Z', 'ann', 'A', 'item', 4, 'desc', 'Amp', 'Lamp'),
                 (2, 2, '2026-12-09T10:00:00.000Z', 'bob', 'B', 'item', 4, 'warehouseloc', '',
                  NULL))"));
        const QString file = reg.folder() + QStringLiteral("/changes.csv");
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), reg.folder());
        run.setProcessEnvironment(env);
        run.start(
            QStringLiteral(QUARVEL_PROGRAM),
            {QStringLiteral("--export"), QStringLiteral("changes"), file, QStringLiteral("--since"),
             QStringLiteral("2026-12-09"), QStringLiteral("--register"), reg.path()});
        QVERIFY(run.waitForFinished(10000));
        QVERIFY2(run.exitCode() == 0, run.readAllStandardError().constData());
        QCOMPARE(
            contentOf(file),
            QByteArray("\xEF\xBB\xBFid,batch,at,user,desk,operation,kind,record,field,old,new\r\n"
                       "2,2,2026-12-09T10:00:00.000Z,bob,B,Move,item,4,warehouseloc,\"\",\r\n"));

        QProcess grants;
        grants.start(QStringLiteral(QUARVEL_MAKEDB),
                     {QStringLiteral("--log-grants"), QStringLiteral("quar\"vel")});
        QVERIFY(grants.waitForFinished(10000));
        QCOMPARE(grants.exitCode(), 0);
        const QByteArray printed = grants.readAllStandardOutput();
        QVERIFY2(printed.contains("REVOKE UPDATE, DELETE, TRUNCATE ON \"ChangeLog\", "
                                  "\"ChangeBatches\" FROM \"quar\"\"vel\";\n"
                                  "GRANT SELECT, INSERT ON \"ChangeLog\", \"ChangeBatches\" TO "
                                  "\"quar\"\"vel\";"),
                 printed.constData());
    }

    // The tool's --is-empty: 0 for a register as it makes one, 1 once it
    // holds a record, 2 when it cannot tell. It only reads, and looks at the
    // file alone: not through a link, nor while a journal lies beside it.
    void theToolTellsAnEmptyRegister_data() {
        QTest::addColumn<QString>("given");  // the register as made, or what was done to it
        QTest::addColumn<int>("exitCode");
        QTest::newRow("as made") << "" << 0;
        QTest::newRow("an item") << "item" << 1;
        QTest::newRow("a link to it") << "link" << 2;
        QTest::newRow("a journal beside it") << "journal" << 2;
        QTest::newRow("no register") << "text" << 2;
    }
    void theToolTellsAnEmptyRegister() {
        QFETCH(QString, given);
        QFETCH(int, exitCode);
        const TempRegister reg;
        QString asked = reg.path();
        if (given == QLatin1String("item"))
            reg.exec(QStringLiteral("INSERT INTO Items (desc) VALUES ('Lamp')"));
        if (given == QLatin1String("journal"))
            QVERIFY(QFile(reg.path() + QStringLiteral("-journal")).open(QIODevice::WriteOnly));
        if (given == QLatin1String("link")) {
            asked = reg.folder() + QStringLiteral("/link.mdb");
            QVERIFY(QFile::link(reg.path(), asked));
        }
        if (given == QLatin1String("text")) {
            asked = reg.folder() + QStringLiteral("/notes.txt");
            QFile notes(asked);
            QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("Bay 1\n") > 0);
        }
        const QByteArray before = contentOf(reg.path());
        QProcess run;
        run.start(QStringLiteral(QUARVEL_MAKEDB), {QStringLiteral("--is-empty"), asked});
        QVERIFY(run.waitForFinished(10000));
        QVERIFY2(run.exitCode() == exitCode, run.readAllStandardError().constData());
        QCOMPARE(contentOf(reg.path()), before);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
