// The splash window: version line, the first-run printer chooser, and the
// hand-over to the main window, driven headless.
#include <QtTest>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>

#include "ModalDriver.h"
#include "TestApp.h"
#include "app/AppContext.h"
#include "common/PictureBox.h"
#include "common/WindowStyle.h"
#include "data/ScanStore.h"
#include "data/Settings.h"
#include "main/TreeModel.h"
#include "main/frmMain.h"
#include "main/frmSplash.h"
#include "printers/frmPrinter.h"

namespace {

// Stands in for the main window: counts how often it was shown.
class MainStandIn : public QWidget {
public:
    int shows = 0;

protected:
    void showEvent(QShowEvent* event) override {
        ++shows;
        QWidget::showEvent(event);
    }
};

// Runs `onShow` when the watched window is about to be shown.
class ShowSpy : public QObject {
public:
    std::function<void()> onShow;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show && onShow)
            onShow();
        return false;
    }
};

struct Start {
    TestApp ts;
    AppContext* ctx = nullptr;
    MainStandIn main;
    std::unique_ptr<frmSplash> splash;

    Start() {
        ts.printers->names = {QStringLiteral("Zebra"), QStringLiteral("Laser")};
        ctx = &ts.ctx();
    }
    void storeAllPrinters(const QString& name) {
        for (const QString& key :
             {SettingsKeys::Printer, SettingsKeys::SPrinter, SettingsKeys::LPrinter})
            ctx->settings().write(key, name);
    }
    // Shows the splash and waits until its load handler has finished.
    bool showSplash() {
        splash = std::make_unique<frmSplash>(*ctx, &main);
        splash->show();
        return QTest::qWaitFor([&] { return splash->Timer1->isActive(); }, 5000);
    }
    bool handedOver() const { return main.isVisible() && !splash->isVisible(); }
};

}  // namespace

class TestSplash : public QObject {
    Q_OBJECT

private slots:
    void windowAndVersion() {
        Start s;
        s.storeAllPrinters(QStringLiteral("Zebra"));
        frmSplash splash(*s.ctx, &s.main);
        QCOMPARE(splash.objectName(), QStringLiteral("frmSplash"));
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(splash.size(), QSize(WindowStyle::pixels(12315), WindowStyle::pixels(5880)));
        QCOMPARE(splash.Image1->pixmap().size(), QSize(818, 273));
        QCOMPARE(splash.Label1->text(), QStringLiteral("Quarvel"));
        QCOMPARE(splash.Label1->font().pointSizeF(), 48.0);
        QVERIFY(splash.Label1->font().bold());
        QCOMPARE(splash.Label2->font().pointSizeF(), 9.75);
        QVERIFY(splash.Label2->font().bold());
        QCOMPARE(splash.Timer1->interval(), 5000);
        QVERIFY(!splash.Timer1->isActive());  // disabled until loaded

        splash.show();
        QTRY_VERIFY(splash.Timer1->isActive());
        QCOMPARE(splash.lblVersion->text(), QStringLiteral("Version: 1.2 - Build 22"));
        QVERIFY(!s.main.isVisible());
    }

    void firstRunOpensTheChooserBeforeTheTimerStarts() {
        Start s;
        bool chooserSeen = false;
        ModalDriver::whenShown(QStringLiteral("frmPrinter"), [&](QWidget* w) {
            chooserSeen = true;
            QVERIFY(!s.splash->Timer1->isActive());
            QVERIFY(s.splash->isVisible());
            QVERIFY(!s.main.isVisible());
            QTest::mouseClick(static_cast<frmPrinter*>(w)->Command1, Qt::LeftButton);
        });
        QVERIFY(s.showSplash());
        QVERIFY(chooserSeen);
        QVERIFY(!s.main.isVisible());
        // Saving stored all three, so the next start goes straight to the timer.
        for (const QString& key :
             {SettingsKeys::Printer, SettingsKeys::SPrinter, SettingsKeys::LPrinter})
            QCOMPARE(s.ctx->settings().read(key, QStringLiteral("NONE")), QStringLiteral("Zebra"));

        s.splash.reset();
        QVERIFY(s.showSplash());
        QVERIFY(!QApplication::activeModalWidget());
    }

    void chooserClosedWithoutSavingStillStartsTheTimer() {
        Start s;
        ModalDriver::whenShown(QStringLiteral("frmPrinter"),
                               [](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
        QVERIFY(s.showSplash());
        QCOMPARE(s.splash->Timer1->interval(), 5000);
    }

    void noPrinterInstalledIsToldOnceNotAtEveryStart() {
        Start s;
        s.ts.printers->names.clear();
        ModalDriver::whenShown(QStringLiteral("frmPrinter"), [](QWidget* w) {
            auto* chooser = static_cast<frmPrinter*>(w);
            QVERIFY(chooser->lblNoPrinter->isVisible());
            QTest::mouseClick(chooser->Command1, Qt::LeftButton);
        });
        QVERIFY(s.showSplash());
        QVERIFY(!QApplication::activeModalWidget());

        // Still none installed: the next starts go straight to the timer.
        for (int start = 0; start < 2; ++start) {
            s.splash.reset();
            QVERIFY(!ModalDriver::shownDuring(QStringLiteral("frmPrinter"),
                                              [&] { QVERIFY(s.showSplash()); }));
        }

        // Once a printer is installed, the start asks for the printers again.
        s.ts.printers->names = {QStringLiteral("Zebra")};
        s.splash.reset();
        QVERIFY(ModalDriver::shownDuring(QStringLiteral("frmPrinter"),
                                         [&] { QVERIFY(s.showSplash()); }));
    }

    void onlyExactNoneMeansNotChosen_data() {
        QTest::addColumn<QString>("printer");
        QTest::addColumn<QString>("sPrinter");
        QTest::addColumn<QString>("lPrinter");
        QTest::addColumn<bool>("chooserOpens");
        QTest::newRow("all chosen") << "Zebra"
                                    << "Zebra"
                                    << "Laser" << false;
        QTest::newRow("none in lower case") << "none"
                                            << "none"
                                            << "none" << false;
        QTest::newRow("None as the chooser reads it") << "None"
                                                      << "None"
                                                      << "None" << false;
        QTest::newRow("list printer NONE") << "Zebra"
                                           << "Zebra"
                                           << "NONE" << true;
        QTest::newRow("small printer missing") << "Zebra" << QString() << "Laser" << true;
    }
    void onlyExactNoneMeansNotChosen() {
        QFETCH(QString, printer);
        QFETCH(QString, sPrinter);
        QFETCH(QString, lPrinter);
        QFETCH(bool, chooserOpens);
        Start s;
        const QList<std::pair<QString, QString>> values = {{SettingsKeys::Printer, printer},
                                                           {SettingsKeys::SPrinter, sPrinter},
                                                           {SettingsKeys::LPrinter, lPrinter}};
        for (const auto& [key, value] : values) {
            if (!value.isNull())
                s.ctx->settings().write(key, value);
        }
        bool opened = false;
        if (chooserOpens) {
            ModalDriver::whenShown(QStringLiteral("frmPrinter"), [&](QWidget* w) {
                opened = true;
                static_cast<QDialog*>(w)->reject();
            });
        }
        QVERIFY(s.showSplash());
        QCOMPARE(opened, chooserOpens);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void clickHandsOver_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("window") << QString();
        QTest::newRow("Image1") << QStringLiteral("Image1");
        QTest::newRow("Label1") << QStringLiteral("Label1");
        QTest::newRow("Label2") << QStringLiteral("Label2");
    }
    void clickHandsOver() {
        QFETCH(QString, target);
        Start s;
        s.storeAllPrinters(QStringLiteral("Laser"));
        QVERIFY(s.showSplash());
        QWidget* widget = target.isEmpty() ? s.splash.get() : s.splash->findChild<QWidget*>(target);
        QVERIFY(widget);
        // The window's own empty area: below the artwork, between the labels.
        const QPoint where = target.isEmpty()
                                 ? QPoint(WindowStyle::pixels(6360), WindowStyle::pixels(5700))
                                 : widget->rect().center();
        QTest::mouseClick(widget, Qt::LeftButton, {}, where);
        QVERIFY(s.handedOver());
        QCOMPARE(s.main.shows, 1);
        QVERIFY(!s.splash->Timer1->isActive());

        // Handed over once: nothing later shows the main window again.
        s.main.hide();
        s.splash->Form_Click();
        s.splash->Timer1_Timer();
        QVERIFY(!s.main.isVisible());
    }

    void clickOnVersionDoesNothing() {
        Start s;
        s.storeAllPrinters(QStringLiteral("Laser"));
        QVERIFY(s.showSplash());
        QTest::mouseClick(s.splash->lblVersion, Qt::LeftButton);
        QTest::mouseDClick(s.splash->lblVersion, Qt::LeftButton);
        QVERIFY(s.splash->isVisible());
        QVERIFY(!s.main.isVisible());
        QVERIFY(s.splash->Timer1->isActive());
        // Esc does not close the splash either.
        QTest::keyClick(s.splash.get(), Qt::Key_Escape);
        QVERIFY(s.splash->isVisible());
    }

    void timerHandsOverOnce() {
        Start s;
        s.storeAllPrinters(QStringLiteral("Laser"));
        QVERIFY(s.showSplash());
        s.splash->Timer1->setInterval(30);  // instead of five seconds
        QTRY_VERIFY(s.handedOver());
        QTest::qWait(150);
        QCOMPARE(s.main.shows, 1);
        QVERIFY(!s.splash->Timer1->isActive());
    }

    // The tree is read while the splash is on screen, so the main window
    // shows filled at the hand-over; what the checks after it may ask (here
    // a scan session left open) waits until the main window is on screen.
    void mainWindowIsFilledAtTheHandOver_data() {
        QTest::addColumn<bool>("madeBySplash");
        QTest::newRow("main window made first") << false;
        QTest::newRow("made once the splash has painted") << true;
    }
    void mainWindowIsFilledAtTheHandOver() {
        QFETCH(bool, madeBySplash);
        TestApp ts;
        ts.printers->names = {QStringLiteral("Zebra")};
        ts.reg.exec(QStringLiteral("INSERT INTO Items (id, \"desc\") VALUES (1, 'Mixing desk')"));
        ScanRules::Session open;
        open.location = QStringLiteral("Bay 1");
        open.started = ts.clock->now();
        QVERIFY(ts.ctx().scans().startSession(open));
        for (const QString& key :
             {SettingsKeys::Printer, SettingsKeys::SPrinter, SettingsKeys::LPrinter})
            ts.ctx().settings().write(key, QStringLiteral("Zebra"));
        std::unique_ptr<frmMain> main;
        const auto make = [&]() -> QWidget* {
            main = std::make_unique<frmMain>(ts.ctx());
            return main.get();
        };
        std::unique_ptr<frmSplash> splash;
        if (madeBySplash)
            splash = std::make_unique<frmSplash>(ts.ctx(), make);
        else
            splash = std::make_unique<frmSplash>(ts.ctx(), make());
        QCOMPARE(!main, madeBySplash);

        QVERIFY(!ModalDriver::shownDuring(QStringLiteral("frmScan"), [&] {
            splash->show();
            QTRY_VERIFY(main && !main->treeReading());
            QTest::qWait(50);
        }));
        QVERIFY(ts.dialogs->messages.isEmpty());
        QVERIFY(splash->isVisible());
        QVERIFY(!main->isVisible());

        ShowSpy spy;
        QString statusAtShow;
        spy.onShow = [&] { statusAtShow = main->findChild<QLabel*>("lblTestsDue")->text(); };
        main->installEventFilter(&spy);
        QVERIFY(ModalDriver::shownDuring(QStringLiteral("frmScan"), [&] {
            splash->Timer1->setInterval(30);  // instead of five seconds
            QTRY_VERIFY(main->isVisible());
            QTRY_VERIFY(!ts.dialogs->messages.isEmpty());
        }));
        QVERIFY2(!statusAtShow.isEmpty(), "the tree was not in when the main window showed");
    }

    void startsTheRealMainWindow() {
        TestApp ts;
        ts.printers->names = {QStringLiteral("Zebra")};
        ts.reg.exec(QStringLiteral("INSERT INTO Items (id, \"desc\") VALUES (1, 'Mixing desk')"));
        frmMain main(ts.ctx());
        for (const QString& key :
             {SettingsKeys::Printer, SettingsKeys::SPrinter, SettingsKeys::LPrinter})
            main.context().settings().write(key, QStringLiteral("Zebra"));
        frmSplash splash(main.context(), &main);
        splash.show();
        QTRY_VERIFY(splash.Timer1->isActive());
        QTest::mouseClick(splash.Image1, Qt::LeftButton);
        QVERIFY(main.isVisible());
        QVERIFY(!splash.isVisible());
        QVERIFY(main.treeModel()->rowCount() > 0);  // its load handler built the tree
    }
};

QTEST_MAIN(TestSplash)
#include "test_splash.moc"
