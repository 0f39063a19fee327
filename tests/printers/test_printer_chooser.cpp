// The printer chooser window, driven headless.
#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "ModalDriver.h"
#include "TestApp.h"
#include "app/AppContext.h"
#include "common/WindowStyle.h"
#include "data/Settings.h"
#include "main/frmMain.h"
#include "printers/frmPrinter.h"
#include "printing/PrintService.h"

namespace {

const QString kZebra = QStringLiteral("Zebra GK420d");
const QString kLaser = QStringLiteral("Office Laser");
const QString kBrother = QStringLiteral("Brother QL-700");

QStringList entries(const QComboBox* box) {
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list.append(box->itemText(i));
    return list;
}

// The next control that Tab moves to.
QWidget* nextTabStop(QWidget* w) {
    QWidget* next = w->nextInFocusChain();
    while (next != w && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}

struct Chooser {
    TestApp ts;
    AppContext* ctx = nullptr;

    explicit Chooser(const QStringList& printers = {kZebra, kLaser, kBrother}) {
        ts.printers->names = printers;
        ts.printers->defaultName = printers.value(1);
        ctx = &ts.ctx();
    }
    void set(const QString& key, const QString& value) { ctx->settings().write(key, value); }
    QString stored(const QString& key) const {
        return ctx->settings().read(key, QStringLiteral("<not stored>"));
    }
    // Shows the chooser modally, lets `act` work on it, and returns when it closed.
    int run(std::function<void(frmPrinter*)> act) {
        ModalDriver::whenShown(QStringLiteral("frmPrinter"),
                               [act](QWidget* w) { act(static_cast<frmPrinter*>(w)); });
        frmPrinter dlg(*ctx);
        return dlg.exec();
    }
};

void save(frmPrinter* w) {
    QTest::mouseClick(w->Command1, Qt::LeftButton);
}

}  // namespace

class TestPrinterChooser : public QObject {
    Q_OBJECT

private slots:
    void windowAndControls() {
        Chooser c;
        frmPrinter w(*c.ctx);
        QCOMPARE(w.objectName(), QStringLiteral("frmPrinter"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Printer Chooser"));
        QCOMPARE(w.Label1->text(), QStringLiteral("Please Choose  A Printer from the List Below"));
        QVERIFY(w.Label1->font().bold());
        QCOMPARE(w.Label3->text(), QStringLiteral("Large Label Printer"));
        QCOMPARE(w.Label2->text(), QStringLiteral("Small Label Printer"));
        QCOMPARE(w.Label4->text(), QStringLiteral("List Printer"));
        QCOMPARE(w.Command1->text(), QStringLiteral("Save"));
        for (QComboBox* box : {w.Combo1, w.Combo2, w.Combo3}) {
            QVERIFY(!box->isEditable());
            QVERIFY(!box->accessibleName().isEmpty());
        }
        QCOMPARE(w.Combo1->accessibleName(), QStringLiteral("Large Label Printer"));
        QCOMPARE(nextTabStop(w.Combo1), w.Combo2);
        QCOMPARE(nextTabStop(w.Combo2), w.Combo3);
        QCOMPARE(nextTabStop(w.Combo3), w.Command1);
    }

    void firstRunListsAllAndSaveStoresTheFirst() {
        Chooser c;
        const int result = c.run([](frmPrinter* w) {
            for (QComboBox* box : {w->Combo1, w->Combo2, w->Combo3}) {
                QCOMPARE(entries(box), QStringList({kZebra, kLaser, kBrother}));
                QCOMPARE(box->currentIndex(), 0);
            }
            save(w);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(c.stored(SettingsKeys::Printer), kZebra);
        QCOMPARE(c.stored(SettingsKeys::SPrinter), kZebra);
        QCOMPARE(c.stored(SettingsKeys::LPrinter), kZebra);
    }

    void storedPrinterStandsFirstOnce() {
        Chooser c;
        c.set(SettingsKeys::SPrinter, kLaser);
        c.run([](frmPrinter* w) {
            QCOMPARE(entries(w->Combo2), QStringList({kLaser, kZebra, kBrother}));
            QCOMPARE(w->Combo2->currentText(), kLaser);
            QCOMPARE(entries(w->Combo1), QStringList({kZebra, kLaser, kBrother}));
            QCOMPARE(entries(w->Combo3), QStringList({kZebra, kLaser, kBrother}));
            w->Combo3->setCurrentIndex(2);
            save(w);
        });
        QCOMPARE(c.stored(SettingsKeys::Printer), kZebra);
        QCOMPARE(c.stored(SettingsKeys::SPrinter), kLaser);
        QCOMPARE(c.stored(SettingsKeys::LPrinter), kBrother);
    }

    void nameInOtherLetterCaseIsListedTwice() {
        Chooser c;
        c.set(SettingsKeys::Printer, QStringLiteral("office laser"));
        c.run([](frmPrinter* w) {
            QCOMPARE(entries(w->Combo1), QStringList({"office laser", kZebra, kLaser, kBrother}));
            w->reject();
        });
    }

    void printerNoLongerInstalledIsStillOfferedAndStoredAgain() {
        Chooser c;
        c.set(SettingsKeys::Printer, kZebra);
        c.set(SettingsKeys::SPrinter, kBrother);
        c.set(SettingsKeys::LPrinter, QStringLiteral("Old HP"));
        c.run([](frmPrinter* w) {
            QCOMPARE(entries(w->Combo3), QStringList({"Old HP", kZebra, kLaser, kBrother}));
            save(w);
        });
        QCOMPARE(c.stored(SettingsKeys::Printer), kZebra);
        QCOMPARE(c.stored(SettingsKeys::SPrinter), kBrother);
        QCOMPARE(c.stored(SettingsKeys::LPrinter), QStringLiteral("Old HP"));
    }

    void storedNoneMeansNothingStored() {
        Chooser c;
        c.set(SettingsKeys::Printer, QStringLiteral("None"));
        c.set(SettingsKeys::SPrinter, QStringLiteral("NONE"));  // only "None" is special here
        c.run([](frmPrinter* w) {
            QCOMPARE(entries(w->Combo1), QStringList({kZebra, kLaser, kBrother}));
            QCOMPARE(entries(w->Combo2), QStringList({"NONE", kZebra, kLaser, kBrother}));
            w->reject();
        });
    }

    void leavingWithoutSaveStoresNothing() {
        Chooser c;
        c.set(SettingsKeys::Printer, kBrother);
        const int result = c.run([](frmPrinter* w) {
            w->Combo1->setCurrentIndex(1);
            QTest::keyClick(w, Qt::Key_Escape);
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(c.stored(SettingsKeys::Printer), kBrother);
        QCOMPARE(c.stored(SettingsKeys::SPrinter), QStringLiteral("<not stored>"));
        QCOMPARE(c.stored(SettingsKeys::LPrinter), QStringLiteral("<not stored>"));
    }

    void noPrinterInstalledSaysSoAboveTheBoxes() {
        Chooser c{QStringList()};
        const int result = c.run([](frmPrinter* w) {
            QVERIFY(w->noPrinterInstalled());
            QVERIFY(w->lblNoPrinter->isVisible());
            QCOMPARE(w->lblNoPrinter->text(),
                     QStringLiteral("No printer is installed. Add one in the system's printer "
                                    "settings, then choose it here."));
            // Under the instruction, above the boxes, and nothing cut off.
            QVERIFY(w->lblNoPrinter->geometry().top() >= w->Label1->geometry().bottom());
            QVERIFY(w->lblNoPrinter->geometry().bottom() < w->Label3->geometry().top());
            const int needed = w->lblNoPrinter->heightForWidth(w->lblNoPrinter->width());
            QVERIFY2(
                needed <= w->lblNoPrinter->height(),
                qPrintable(QStringLiteral("%1 > %2").arg(needed).arg(w->lblNoPrinter->height())));
            QVERIFY(w->Command1->geometry().bottom() < w->height());
            for (QComboBox* box : {w->Combo1, w->Combo2, w->Combo3})
                QCOMPARE(box->count(), 0);
            save(w);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        for (const QString& key :
             {SettingsKeys::Printer, SettingsKeys::SPrinter, SettingsKeys::LPrinter})
            QCOMPARE(c.stored(key), QStringLiteral("<not stored>"));
        QVERIFY(c.ts.dialogs->messages.isEmpty());

        // Printers installed: no note, the window as designed.
        Chooser installed;
        frmPrinter w(*installed.ctx);
        QVERIFY(!w.noPrinterInstalled());
        QVERIFY(w.lblNoPrinter->isHidden());
        QCOMPARE(w.height(), WindowStyle::pixels(3960));
    }

    void noPrinterInstalledButOneStored() {
        Chooser c{QStringList()};
        c.set(SettingsKeys::SPrinter, kZebra);
        c.run([](frmPrinter* w) {
            QCOMPARE(entries(w->Combo2), QStringList{kZebra});
            QVERIFY(w->lblNoPrinter->isVisible());
            save(w);
        });
        QCOMPARE(c.stored(SettingsKeys::SPrinter), kZebra);
        QCOMPARE(c.stored(SettingsKeys::Printer), QStringLiteral("<not stored>"));
    }

    void emptyNameIsNeverOfferedNorStored() {
        Chooser c{{QString(), kZebra}};
        c.set(SettingsKeys::Printer, QString());
        c.set(SettingsKeys::SPrinter, QString());
        c.run([](frmPrinter* w) {
            for (QComboBox* box : {w->Combo1, w->Combo2, w->Combo3})
                QCOMPARE(entries(box), QStringList{kZebra});
            save(w);
        });
        for (const QString& key :
             {SettingsKeys::Printer, SettingsKeys::SPrinter, SettingsKeys::LPrinter})
            QCOMPARE(c.stored(key), kZebra);

        Chooser none{QStringList{QString()}};
        none.set(SettingsKeys::Printer, QString());
        none.run([](frmPrinter* w) {
            QCOMPARE(w->Combo1->count(), 0);
            QVERIFY(w->noPrinterInstalled());  // a nameless entry is no printer
            save(w);
        });
        QCOMPARE(none.stored(SettingsKeys::SPrinter), QStringLiteral("<not stored>"));
    }

    void choosingNeverChangesTheCurrentPrinter() {
        Chooser c;
        c.run([](frmPrinter* w) {
            w->Combo1->setCurrentIndex(2);
            save(w);
        });
        QCOMPARE(c.ctx->printing().currentPrinter(), kLaser);  // the system default
    }

    void mainWindowPrintersButtonOpensTheChooser() {
        TestApp ts;
        ts.printers->names = {kZebra, kLaser};
        frmMain main(ts.ctx());
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        bool opened = false;
        ModalDriver::whenShown(QStringLiteral("frmPrinter"), [&](QWidget* w) {
            opened = true;
            save(static_cast<frmPrinter*>(w));
        });
        auto* printers = main.findChild<QAction*>(QStringLiteral("Printers"));
        QVERIFY(printers);
        printers->trigger();
        QVERIFY(opened);
        QCOMPARE(main.context().settings().read(SettingsKeys::LPrinter, QString()), kZebra);
    }
};

QTEST_MAIN(TestPrinterChooser)
#include "test_printer_chooser.moc"
