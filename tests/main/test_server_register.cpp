// The windows on a register held by a PostgreSQL server (one private server
// for the program): the main tree, and the item editor when the server goes
// away or stops answering in the middle of the work.
#include <signal.h>
#include <unistd.h>

#include <functional>

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include "PostgresServer.h"
#include "TestApp.h"
#include "WidgetDriver.h"
#include "data/ChangeWatcher.h"
#include "data/IdStore.h"
#include "data/ItemStore.h"
#include "data/Register.h"
#include "data/StoreSetup.h"
#include "data/engine/Postgres.h"
#include "device/frmDb.h"
#include "items/frmItemAddEdit.h"
#include "main/TreeModel.h"
#include "main/frmMain.h"

using namespace WidgetDriver;

namespace {
constexpr int kDescriptionLine = 1;

// Server processes stopped (SIGSTOP) while it lives, as a server that
// hangs: the sockets stay open and nothing answers. They go on (SIGCONT) on
// every way out of the test.
class ServerStopped {
public:
    explicit ServerStopped(QList<pid_t> processes) : processes_(std::move(processes)) {
        for (const pid_t p : processes_)
            ::kill(p, SIGSTOP);
    }
    ~ServerStopped() {
        for (const pid_t p : processes_)
            ::kill(p, SIGCONT);
    }
    ServerStopped(const ServerStopped&) = delete;
    ServerStopped& operator=(const ServerStopped&) = delete;

private:
    QList<pid_t> processes_;
};
}  // namespace

// The server's first process, which the lock file of its socket names.
pid_t firstServerProcess(const QString& socketFolder) {
    QFile lock(socketFolder + QStringLiteral("/.s.PGSQL.5432.lock"));
    if (!lock.open(QIODevice::ReadOnly))
        return 0;
    return static_cast<pid_t>(lock.readLine().trimmed().toLongLong());
}

// Notes what a probe answers when the watched window first paints.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(std::function<QString()> probe) : probe_(std::move(probe)) {}
    QString seen;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && seen.isNull())
            seen = probe_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<QString()> probe_;
};

class TestServerRegister : public QObject {
    Q_OBJECT
    PostgresServer server_;
    QString connection_;

    // A new item's editor on the server with `description` typed, not yet
    // saved; none when the editor did not show.
    std::unique_ptr<frmItemAddEdit> typeNewItem(TestApp& ts, const QString& description) {
        ts.serverRegister = connection_;
        ts.fields().ItemToOpen = 0;
        auto editor = std::make_unique<frmItemAddEdit>(ts.ctx());
        editor->show();
        if (!QTest::qWaitForWindowExposed(editor.get()))
            return nullptr;
        ts.dialogs->inputAnswers << description;
        doubleClickLine(child<QListWidget>(editor.get(), "List1"), kDescriptionLine);
        return editor;
    }

    // The server's first process (the socket folder's lock file names it),
    // so that no new session answers either, and the sessions of the
    // program's connections; empty when they cannot be told. Each session's
    // process leads a process group of its own, so the first one's group is
    // not all of the server.
    QList<pid_t> serverAndSessions() {
        QList<pid_t> processes{firstServerProcess(Postgres::parse(connection_).host)};
        const QString sessions = server_.scalar(
            QStringLiteral("windows"), QStringLiteral("SELECT string_agg(pid::text, ',') FROM "
                                                      "pg_stat_activity WHERE application_name = "
                                                      "'Quarvel'"));
        for (const QString& pid : sessions.split(QLatin1Char(','), Qt::SkipEmptyParts))
            processes << static_cast<pid_t>(pid.toLongLong());
        if (processes.size() < 2 || processes.contains(0) || processes[0] <= 1 ||
            ::getpgid(processes[1]) == processes[0])
            return {};
        return processes;
    }

private slots:
    void initTestCase() {
        const QString reason = PostgresServer::unavailableReason();
        if (!reason.isEmpty())
            QSKIP(qPrintable(reason));
        QVERIFY2(server_.start(), qPrintable(server_.error()));
        connection_ = server_.newDatabase(QStringLiteral("windows"));
        QString error;
        QVERIFY2(Register::createEmpty(RegisterLocation::server(connection_), &error),
                 qPrintable(error));
        server_.exec(QStringLiteral("windows"),
                     QStringLiteral("INSERT INTO \"Cases\" (id, \"FName\") VALUES (12, 'Amp rack');"
                                    "INSERT INTO \"Items\" (id, \"desc\", \"caseID\") VALUES "
                                    "(45, 'Lamp', 12);"
                                    "UPDATE \"Data\" SET lastid = 45, \"lastCase\" = 12"));
    }

    void theMainTreeShowsTheServersRecords() {
        TestApp ts;
        ts.serverRegister = connection_;
        frmMain w(ts.ctx());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const TreeModel* model = w.treeModel();
        QStringList texts;
        for (int r = 0; r < model->rowCount({}); ++r) {
            const QModelIndex top = model->index(r, 0, {});
            for (int c = 0; c < model->rowCount(top); ++c)
                texts << model->index(c, 0, top).data().toString();
        }
        QVERIFY2(
            texts.contains(QStringLiteral("Lamp")) && texts.contains(QStringLiteral("Amp rack")),
            qPrintable(texts.join(", ")));
        QVERIFY(ts.dialogs->messages.isEmpty());
    }

    // Another desk's save shows in the tree within 1 s, the selection kept;
    // and again after the server restarted (the tree is then read afresh).
    void anotherDesksSaveShowsAtOnce() {
        TestApp ts;
        ts.serverRegister = connection_;
        frmMain w(ts.ctx());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const TreeModel* model = w.treeModel();
        auto* tree = child<QTreeView>(&w, "TreeView1");
        tree->setCurrentIndex(model->indexOfKey(QStringLiteral("I45")));
        const auto descOf45 = [model] {
            return model->indexOfKey(QStringLiteral("I45")).data().toString();
        };
        Register other(RegisterLocation::server(connection_));
        other.setAuthor({QStringLiteral("bob"), QStringLiteral("DESK-B")});
        const auto rename = [&other](const char* desc) {
            return ItemStore(other).update(45, {{int(ItemColumn::Desc), desc, ""}}, true);
        };
        QCOMPARE(rename("Live one"), SaveResult::Saved);
        QTRY_COMPARE_WITH_TIMEOUT(descOf45(), QStringLiteral("Live one"), 1000);
        QCOMPARE(model->key(tree->currentIndex()), QStringLiteral("I45"));
        QCOMPARE(child<QLabel>(&w, "lblChanges")->text(),
                 QStringLiteral("Item 45 changed at DESK-B"));

        server_.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!ts.ctx().changeWatcher().watching(), 2000);
        QVERIFY2(server_.start(), qPrintable(server_.error()));
        QTRY_VERIFY_WITH_TIMEOUT(ts.ctx().changeWatcher().watching(), 3000);
        QCOMPARE(rename("Live two"), SaveResult::Saved);
        QTRY_COMPARE_WITH_TIMEOUT(descOf45(), QStringLiteral("Live two"), 1000);
        QCOMPARE(model->key(tree->currentIndex()), QStringLiteral("I45"));
        QVERIFY(ts.dialogs->messages.isEmpty());
        QCOMPARE(rename("Lamp"), SaveResult::Saved);  // as the other tests expect it
    }

    // A server that refuses the sign-in is told so once, when the tree is
    // read; the checks that follow the first tree do not say it again.
    void aRefusedSignInIsToldOnce_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("told");
        QTest::newRow("unknown user") << "user=no_such_user"
                                      << "does not let you sign in";
        QTest::newRow("no such database") << "dbname=no_such_register"
                                          << "has no such database";
    }
    void aRefusedSignInIsToldOnce() {
        QFETCH(QString, setting);
        QFETCH(QString, told);
        TestApp ts;
        ts.serverRegister = connection_ + QLatin1Char(' ') + setting;
        frmMain w(ts.ctx());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY(!w.treeReading());
        QTest::qWait(200);  // the checks queued behind the first tree
        QCOMPARE(ts.dialogs->messages.size(), 1);
        QVERIFY2(ts.dialogs->lastMessage().contains(told), qPrintable(ts.dialogs->lastMessage()));
    }

    // Signing in to the server waits until the window has painted. Only
    // client sessions count: the server's autovacuum visits new databases.
    void theWindowPaintsBeforeSigningIn() {
        const QString database = server_.newDatabase(QStringLiteral("painted"));
        QString error;
        QVERIFY2(Register::createEmpty(RegisterLocation::server(database), &error),
                 qPrintable(error));
        const QString sessions = QStringLiteral(
            "SELECT count(*) FROM pg_stat_activity WHERE datname = 'painted' AND pid <> "
            "pg_backend_pid() AND backend_type = 'client backend'");
        QTRY_COMPARE(server_.scalar(QStringLiteral("painted"), sessions), QStringLiteral("0"));
        TestApp ts;
        ts.serverRegister = database;
        frmMain w(ts.ctx());
        // The platform may paint within show(), so the sessions are counted
        // as the window paints for the first time.
        FirstPaint firstPaint([&] { return server_.scalar(QStringLiteral("painted"), sessions); });
        w.installEventFilter(&firstPaint);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY(!firstPaint.seen.isNull());
        QCOMPARE(firstPaint.seen, QStringLiteral("0"));
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY(!w.treeReading());
        QVERIFY(server_.scalar(QStringLiteral("painted"), sessions).toInt() > 0);
    }

    // The device gets a file made from the server's rows.
    void theDeviceDownloadWorksFromTheServer() {
        TestApp ts;
        ts.serverRegister = connection_;
        ts.deviceLibrary = QStringLiteral(ADOFILTR_PATH);
        frmDb window(ts.ctx());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(child<QLineEdit>(&window, "txtDesktopDB")->text(), connection_);
        QTemporaryDir device;
        qputenv("QUARVEL_DEVICE_ROOT", device.path().toLocal8Bit());
        click(&window, "Command1");
        qunsetenv("QUARVEL_DEVICE_ROOT");
        QCOMPARE(ts.dialogs->lastMessage(), QStringLiteral("Download Successful"));
        Register copied(device.filePath(QStringLiteral("My Documents/data.cdb")));
        QCOMPARE(ItemStore(copied).withId(45)->first()[ItemColumn::Desc], QStringLiteral("Lamp"));
        QCOMPARE(IdStore(copied).counters()->lastCase, qint64(12));
    }

    // The server stops while an item is being edited: Save says so and names
    // the server, the editor stays open with what was typed, and once the
    // server is back the same Save stores it.
    void aSaveWhileTheServerIsAwayKeepsTheInput() {
        TestApp ts;
        const auto typed = typeNewItem(ts, QStringLiteral("Mixer"));
        QVERIFY(typed);
        frmItemAddEdit& editor = *typed;
        QCOMPARE(editor.currentItem, qint64(46));
        auto* list = child<QListWidget>(&editor, "List1");

        server_.stop();
        click(&editor, "Command2");
        QVERIFY(editor.isVisible());
        QCOMPARE(ts.dialogs->messages.size(), 1);
        const QString message = ts.dialogs->lastMessage();
        QVERIFY2(message.contains(QStringLiteral("database windows on the server on this "
                                                 "computer")),
                 qPrintable(message));
        QCOMPARE(list->item(kDescriptionLine)->text(), QStringLiteral("Description: Mixer"));

        QVERIFY2(server_.start(), qPrintable(server_.error()));
        click(&editor, "Command2");
        QVERIFY(!editor.isVisible());
        QCOMPARE(ts.dialogs->messages.size(), 1);
        QCOMPARE(server_.scalar(QStringLiteral("windows"),
                                QStringLiteral("SELECT \"desc\" FROM \"Items\" WHERE id = 46")),
                 QStringLiteral("Mixer"));
    }

    // The server refuses the save at its COMMIT (a deferred check fails):
    // the editor stays open with what was typed, and nothing is stored.
    void aSaveRefusedAtCommitKeepsTheInput() {
        server_.exec(QStringLiteral("windows"),
                     QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                                    "$$ BEGIN RAISE EXCEPTION 'refused at commit'; END $$;"
                                    "CREATE CONSTRAINT TRIGGER refuse AFTER INSERT ON \"Items\" "
                                    "DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION "
                                    "refuse()"));
        TestApp ts;
        const auto typed = typeNewItem(ts, QStringLiteral("Refused"));
        QVERIFY(typed);
        click(typed.get(), "Command2");
        server_.exec(QStringLiteral("windows"), QStringLiteral("DROP FUNCTION refuse() CASCADE"));
        QVERIFY(typed->isVisible());
        QVERIFY2(ts.dialogs->lastMessage().contains(QStringLiteral("refused at commit")),
                 qPrintable(ts.dialogs->lastMessage()));
        QCOMPARE(child<QListWidget>(typed.get(), "List1")->item(kDescriptionLine)->text(),
                 QStringLiteral("Description: Refused"));
        QCOMPARE(server_.scalar(QStringLiteral("windows"),
                                QStringLiteral("SELECT count(*) FROM \"Items\" WHERE \"desc\" = "
                                               "'Refused'")),
                 QStringLiteral("0"));
    }

    // The server stops answering before a save: after a few seconds a window
    // names the server waited for; its Cancel stops the save, which fails
    // with words that say so, and the editor keeps what was typed. Nothing of
    // it is stored once the server goes on; the next Save, answered at once,
    // shows no such window and stores it.
    void aServerThatStopsAnsweringCanBeLeft() {
        TestApp ts;
        const auto typed = typeNewItem(ts, QStringLiteral("Stage box"));
        QVERIFY(typed);
        frmItemAddEdit& editor = *typed;
        auto* list = child<QListWidget>(&editor, "List1");

        const QString socketFolder = Postgres::parse(connection_).host;
        const QList<pid_t> processes = serverAndSessions();
        QVERIFY(processes.size() >= 2);
        const QString waiting = StoreSetup::serverWaitingText(socketFolder);
        ts.dialogs->cancelJobs << waiting;
        qint64 waitedMs = 0;
        {
            const ServerStopped stopped(processes);
            QElapsedTimer clock;
            clock.start();
            click(&editor, "Command2");
            waitedMs = clock.elapsed();
        }
        QCOMPARE(ts.dialogs->progresses.size(), 1);
        QCOMPARE(ts.dialogs->progresses[0].what,
                 QStringLiteral("Waiting for the server at ") + socketFolder);
        // Handed to the dialog, which shows after its half second, at 2.5 s.
        QVERIFY2(waitedMs >= Sql::WaitingSeam::kShownAfterMs - 500 && waitedMs < 10000,
                 qPrintable(QString::number(waitedMs)));
        QVERIFY(editor.isVisible());
        QCOMPARE(ts.dialogs->messages.size(), 1);
        const QString message = ts.dialogs->lastMessage();
        QVERIFY2(message.contains(QStringLiteral("did not answer")) &&
                     message.contains(QStringLiteral("nothing of it was saved")) &&
                     message.contains(QStringLiteral("database windows")),
                 qPrintable(message));
        QCOMPARE(list->item(kDescriptionLine)->text(), QStringLiteral("Description: Stage box"));
        const QString stored = QStringLiteral(
            "SELECT count(*) FROM \"Items\" WHERE \"desc\" = "
            "'Stage box'");
        QCOMPARE(server_.scalar(QStringLiteral("windows"), stored), QStringLiteral("0"));

        click(&editor, "Command2");
        QVERIFY(!editor.isVisible());
        QCOMPARE(ts.dialogs->progresses.size(), 1);
        QCOMPARE(ts.dialogs->messages.size(), 1);
        QCOMPARE(server_.scalar(QStringLiteral("windows"), stored), QStringLiteral("1"));
    }

    // A read the server keeps waiting can be left the same way; the words
    // say that nothing was changed, not that something was not saved.
    void aStalledReadThatIsLeftChangedNothing() {
        TestApp ts;
        ts.serverRegister = connection_;
        QVERIFY(ts.ctx().items().all());  // the connection the read will use
        const QList<pid_t> processes = serverAndSessions();
        QVERIFY(processes.size() >= 2);
        ts.dialogs->cancelJobs << StoreSetup::serverWaitingText(Postgres::parse(connection_).host);
        {
            const ServerStopped stopped(processes);
            QVERIFY(!ts.ctx().items().all());
        }
        QCOMPARE(ts.dialogs->progresses.size(), 1);
        const QString message = ts.dialogs->lastMessage();
        QVERIFY2(message.contains(QStringLiteral("did not answer")) &&
                     message.contains(QStringLiteral("nothing was changed")) &&
                     !message.contains(QStringLiteral("saved")),
                 qPrintable(message));
    }

    // The device's copy of a server register waits as the store does: a
    // server that takes no new session is shown while connecting, and Cancel
    // leaves it with nothing copied.
    void aDownloadFromASilentServerCanBeLeft() {
        TestApp ts;
        ts.serverRegister = connection_;
        ts.deviceLibrary = QStringLiteral(ADOFILTR_PATH);
        frmDb window(ts.ctx());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QString socketFolder = Postgres::parse(connection_).host;
        const pid_t server = firstServerProcess(socketFolder);
        QVERIFY(server > 1);
        const QString waiting = StoreSetup::serverWaitingText(socketFolder);
        ts.dialogs->cancelJobs << waiting;
        QTemporaryDir device;
        qputenv("QUARVEL_DEVICE_ROOT", device.path().toLocal8Bit());
        {
            const ServerStopped stopped({server});
            click(&window, "Command1");
        }
        qunsetenv("QUARVEL_DEVICE_ROOT");
        QCOMPARE(ts.dialogs->progresses.last().what, waiting);
        const QString message = ts.dialogs->lastMessage();
        QVERIFY2(message.contains(QStringLiteral("could not read the register from the server")) &&
                     message.contains(QStringLiteral("did not answer")),
                 qPrintable(message));
        QVERIFY(!QFile::exists(device.filePath(QStringLiteral("My Documents/data.cdb"))));
    }
};

QTEST_MAIN(TestServerRegister)
#include "test_server_register.moc"
