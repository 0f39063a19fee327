#include <sqlite3.h>

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "ModalDriver.h"
#include "TestApp.h"
#include "WidgetDriver.h"
#include "about/frmFunny.h"
#include "device/frmDb.h"
#include "main/frmMain.h"

using namespace WidgetDriver;

class TestDownloadWindow : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<TestApp> app;
    std::unique_ptr<frmDb> window;

    // The download window on the stand-in service (or on a library that is not there).
    void open(const QString& library = QStringLiteral(STANDIN_PATH)) {
        app = std::make_unique<TestApp>();
        app->deviceLibrary = library;
        window = std::make_unique<frmDb>(app->ctx());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void download(int result) {
        qputenv("QUARVEL_STANDIN_RESULT", QByteArray::number(result));
        click(window.get(), "Command1");
    }
    QStringList arguments() const {
        QFile log(dir_.filePath(QStringLiteral("args")));
        return log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()).split('\n')
                                             : QStringList();
    }

private slots:
    void initTestCase() { qputenv("QUARVEL_STANDIN_LOG", dir_.filePath("args").toLocal8Bit()); }
    void cleanup() {
        window.reset();
        app.reset();
    }

    void successCallsOnceWithTheRegisterAndCloses() {
        open();
        const QString desktop = child<QLineEdit>(window.get(), "txtDesktopDB")->text();
        QCOMPARE(desktop, QDir::toNativeSeparators(app->reg.path()));
        download(0);
        QCOMPARE(arguments().mid(0, 5),
                 QStringList({desktop, "", "0", "-1", "\\My Documents\\data.cdb"}));
        QCOMPARE(app->dialogs->lastMessage(), QStringLiteral("Download Successful"));
        QCOMPARE(app->dialogs->messages.last().icon, Dialogs::Icon::None);
        QVERIFY(!window->isVisible());
    }

    // The real device service, with a folder standing in for the device.
    void theRegisterArrivesOnTheDevice() {
        open(QStringLiteral(ADOFILTR_PATH));
        app->reg.exec(QStringLiteral("INSERT INTO Items (id, \"desc\") VALUES (7, 'Lamp')"));
        QTemporaryDir device;
        qputenv("QUARVEL_DEVICE_ROOT", device.path().toLocal8Bit());
        click(window.get(), "Command1");
        qunsetenv("QUARVEL_DEVICE_ROOT");
        QCOMPARE(app->dialogs->lastMessage(), QStringLiteral("Download Successful"));
        const QString copy = device.filePath(QStringLiteral("My Documents/data.cdb"));
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open_v2(copy.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr),
                 SQLITE_OK);
        sqlite3_stmt* row = nullptr;
        sqlite3_prepare_v2(db, "SELECT \"desc\" FROM Items WHERE id = 7", -1, &row, nullptr);
        QCOMPARE(sqlite3_step(row), SQLITE_ROW);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(row, 0))),
                 QByteArray("Lamp"));
        sqlite3_finalize(row);
        sqlite3_close(db);
    }

    void anErrorNumberKeepsTheWindowOpen() {
        open();
        download(5);
        QVERIFY(app->dialogs->lastMessage().startsWith(QStringLiteral("Error 5 Occurred.\n\n")));
        QVERIFY(window->isVisible());
        download(-2);  // no meaning of its own
        QCOMPARE(app->dialogs->lastMessage(), QStringLiteral("Error -2 Occurred."));
    }

    // Each result says what happened and what to do.
    void anErrorIsExplained_data() {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("words");
        QTest::newRow("full") << 112 << "The device is full";
        QTest::newRow("link out") << 161 << "a link to another place";
        QTest::newRow("gone") << 21 << "went away during the download";
        QTest::newRow("folder gone") << 3 << "went away during the download";
        QTest::newRow("in use") << 32 << "in use";
        QTest::newRow("refused register") << 13 << "a table or column";
        QTest::newRow("damaged") << 1392 << "damaged";
    }
    void anErrorIsExplained() {
        QFETCH(int, result);
        QFETCH(QString, words);
        open();
        download(result);
        const QString message = app->dialogs->lastMessage();
        QVERIFY2(message.startsWith(QStringLiteral("Error %1 Occurred.\n\n").arg(result)) &&
                     message.contains(words),
                 qPrintable(message));
    }

    // The real device service with a link out of the device as My Documents.
    void aLinkOutOfTheDeviceIsRefusedInWords() {
        open(QStringLiteral(ADOFILTR_PATH));
        QTemporaryDir device, outside;
        QVERIFY(QFile::link(outside.path(), device.filePath(QStringLiteral("My Documents"))));
        qputenv("QUARVEL_DEVICE_ROOT", device.path().toLocal8Bit());
        click(window.get(), "Command1");
        qunsetenv("QUARVEL_DEVICE_ROOT");
        QVERIFY(app->dialogs->lastMessage().startsWith(QStringLiteral("Error 161 Occurred.")));
        QVERIFY(
            QDir(outside.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
        QVERIFY(window->isVisible());
    }

    void aResultBeyondSixteenBitsIsAFailure() {
        open();
        download(70000);
        QVERIFY(app->dialogs->lastMessage().startsWith(QStringLiteral("70000 ")));
        QCOMPARE(app->dialogs->messages.last().icon, Dialogs::Icon::Critical);
        QVERIFY(window->isVisible());
    }

    void aMissingLibraryIsReportedWithZero() {
        open(dir_.filePath(QStringLiteral("no-such-library")));
        download(0);
        const QString message = app->dialogs->lastMessage();
        QVERIFY2(message.startsWith(QStringLiteral("0 ")) && message.size() > 2,
                 qPrintable(message));
        QVERIFY(message.contains(QStringLiteral("no-such-library")));
        QCOMPARE(app->dialogs->messages.last().icon, Dialogs::Icon::Critical);
        QVERIFY(window->isVisible());
    }

    void browsingSetsThePathAndCancelKeepsIt() {
        open();
        auto* path = child<QLineEdit>(window.get(), "txtDesktopDB");
        const QString before = path->text();
        click(window.get(), "Command3");  // cancelled
        QCOMPARE(path->text(), before);
        QCOMPARE(app->dialogs->fileStarts.value(0), before);
        app->dialogs->fileAnswers << dir_.filePath(QStringLiteral("other.mdb"));
        click(window.get(), "Command3");
        QCOMPARE(path->text(),
                 QDir::toNativeSeparators(dir_.filePath(QStringLiteral("other.mdb"))));
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(!window->isVisible());
    }

    // The end of the hidden sequence: the picture first, once per sequence.
    void thePictureComesFirstWhenTheSequenceIsAtDb() {
        app = std::make_unique<TestApp>();
        app->deviceLibrary = QStringLiteral(STANDIN_PATH);
        app->fields().Funny = QStringLiteral("Db");
        bool shown = false;
        ModalDriver::whenShown(QStringLiteral("frmFunny"), [&](QWidget* w) {
            auto* funny = static_cast<frmFunny*>(w);
            shown = true;
            QCOMPARE(funny->Timer1->interval(), 20000);
            QVERIFY(funny->Timer1->isActive());
            QCOMPARE(app->fields().Funny.toString(), QString());
            QTest::keyClick(funny, Qt::Key_Escape);
            QVERIFY(funny->isVisible());
            funny->Timer1_Timer();  // twenty seconds later
        });
        window = std::make_unique<frmDb>(app->ctx());
        QVERIFY(shown);
        window.reset();
        // The sequence starts over: a second window opens without the picture.
        bool shownAgain = false;
        QTimer::singleShot(200, [&] {
            if (auto* again = qobject_cast<QDialog*>(ModalDriver::findWindow("frmFunny"))) {
                shownAgain = true;
                again->reject();
            }
        });
        window = std::make_unique<frmDb>(app->ctx());
        QTest::qWait(250);
        QVERIFY(!shownAgain);
    }

    // Main logo, item viewer logo, case viewer logo, then Database: the
    // picture shows before the download window.
    void theHiddenSequenceEndToEnd() {
        app = std::make_unique<TestApp>();
        app->deviceLibrary = QStringLiteral(STANDIN_PATH);
        app->reg.exec(
            QStringLiteral("INSERT INTO Cases (id, FName) VALUES (12, 'Amp rack');"
                           "INSERT INTO Items (id, \"desc\", caseID) VALUES (45, 'Lamp', 12)"));
        frmMain main(app->ctx());
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QTest::mouseDClick(child<QWidget>(&main, "Image1"), Qt::LeftButton);
        ModalDriver::whenShown(QStringLiteral("frmItemView"), [&](QWidget* itemViewer) {
            QTest::mouseDClick(child<QWidget>(itemViewer, "Picture1"), Qt::LeftButton);
            ModalDriver::whenShown(QStringLiteral("frmFlightView"), [&](QWidget* caseViewer) {
                QTest::mouseDClick(child<QWidget>(caseViewer, "Picture1"), Qt::LeftButton);
                click(caseViewer, "Command3");
            });
            doubleClickLine(child<QListWidget>(itemViewer, "List1"), 13);  // "Flight Case: F12"
            click(itemViewer, "Command3");
        });
        child<QLineEdit>(&main, "Text1")->setText(QStringLiteral("45"));
        click(&main, "Command2");
        QCOMPARE(main.fields().Funny.toString(), QStringLiteral("Db"));

        bool pictureFirst = false;
        ModalDriver::whenShown(QStringLiteral("frmFunny"), [&](QWidget* funny) {
            pictureFirst = ModalDriver::findWindow(QStringLiteral("frmDb")) == nullptr;
            static_cast<frmFunny*>(funny)->Timer1_Timer();
            ModalDriver::whenShown(QStringLiteral("frmDb"),
                                   [](QWidget* download) { click(download, "Command2"); });
        });
        QToolBar* toolbar = child<QToolBar>(&main, "Toolbar1");
        QTest::mouseClick(toolbar->widgetForAction(toolbar->findChild<QAction*>("Database")),
                          Qt::LeftButton);
        QVERIFY(pictureFirst);
        QCOMPARE(main.fields().Funny.toString(), QString());
    }
};

QTEST_MAIN(TestDownloadWindow)
#include "test_download_window.moc"
