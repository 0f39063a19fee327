#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "WidgetDriver.h"
#include "about/frmAbout.h"

using namespace WidgetDriver;

// Takes the addresses the window asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class TestAboutWindow : public QObject {
    Q_OBJECT
    UrlCatcher catcher;

private slots:
    void initTestCase() {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }

    void showsTheVersionAndOpensTheMakersAddress() {
        frmAbout about;
        about.show();
        about.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&about));
        QCOMPARE(child<QLabel>(&about, "lblVersion")->text(),
                 QStringLiteral("Version: %1.%2 - Build %3")
                     .arg(QUARVEL_VERSION_MAJOR)
                     .arg(QUARVEL_VERSION_MINOR)
                     .arg(QUARVEL_VERSION_PATCH));
        for (const char* name : {"lblURL", "lblCopyright"}) {
            auto* link = child<QLabel>(&about, name);
            QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
        }
        QCOMPARE(catcher.opened.size(), 2);
        QCOMPARE(catcher.opened[0], QUrl(QStringLiteral(QUARVEL_MAKER_URL)));
        QCOMPARE(catcher.opened[1], QUrl(QStringLiteral(QUARVEL_MAKER_URL)));
        // The links can be reached and followed from the keyboard too.
        child<QPushButton>(&about, "cmdOK")->setFocus();
        QTest::keyClick(&about, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), child<QLabel>(&about, "lblURL"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(catcher.opened.size(), 3);
        click(&about, "cmdOK");
        QVERIFY(!about.isVisible());
    }
};

QTEST_MAIN(TestAboutWindow)
#include "test_about_window.moc"
