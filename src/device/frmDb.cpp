#include "device/frmDb.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "about/frmFunny.h"
#include "common/Dialogs.h"
#include "common/WindowStyle.h"

using WindowStyle::place;

namespace {
const QString kDeviceDatabase = QStringLiteral("\\My Documents\\data.cdb");
constexpr qint32 kSynchronise = 0;
constexpr qint32 kOverwrite = -1;  // true
}  // namespace

frmDb::frmDb(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmDb"));
    WindowStyle::setUpWindow(this, QStringLiteral("Database Download"), 6165, 1875);
    buildControls();
    Form_Load();
}

// The path boxes start further right than the design's 1800 twips, so the
// captions before them are not cut.
void frmDb::buildControls() {
    Label1 = new QLabel(QStringLiteral("Local Database:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    place(Label1, 120, 240, 1920, 375);
    txtDesktopDB = new QLineEdit(this);
    txtDesktopDB->setObjectName(QStringLiteral("txtDesktopDB"));
    txtDesktopDB->setAccessibleName(QStringLiteral("Local Database"));
    Label1->setBuddy(txtDesktopDB);
    place(txtDesktopDB, 2040, 240, 3495, 375);
    Command3 = WindowStyle::addButton(this, "Command3", QStringLiteral("..."), 5640, 240, 375, 375);
    Command3->setAccessibleName(QStringLiteral("Choose the local database"));
    connect(Command3, &QPushButton::clicked, this, &frmDb::Command3_Click);

    Label2 = new QLabel(QStringLiteral("Remote Database:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    place(Label2, 0, 720, 2040, 375);
    txtPPCDB = new QLineEdit(kDeviceDatabase, this);
    txtPPCDB->setObjectName(QStringLiteral("txtPPCDB"));
    txtPPCDB->setAccessibleName(QStringLiteral("Remote Database"));
    txtPPCDB->setEnabled(false);
    place(txtPPCDB, 2040, 720, 3975, 375);

    Command1 = WindowStyle::addButton(this, "Command1", QStringLiteral("Download to Device"), 120,
                                      1200, 4335, 495);
    connect(Command1, &QPushButton::clicked, this, &frmDb::Command1_Click);
    Command2 =
        WindowStyle::addButton(this, "Command2", QStringLiteral("Close"), 4560, 1200, 1455, 495);
    connect(Command2, &QPushButton::clicked, this, &frmDb::Command2_Click);
    WindowStyle::makeCancelButton(this, Command2);
    WindowStyle::setTabOrder({txtDesktopDB, Command3, Command1, Command2});
}

void frmDb::Form_Load() {
    txtDesktopDB->setText(QDir::toNativeSeparators(ctx_.databasePath()));
    // The last step of the hidden sequence: the picture comes first.
    if (ctx_.fields().Funny.toString() == QLatin1String("Db")) {
        frmFunny funny(ctx_, this);
        funny.exec();
    }
}

void frmDb::Command3_Click() {
    const QString chosen = ctx_.dialogs().openFileName(this, txtDesktopDB->text());
    if (!chosen.isEmpty())
        txtDesktopDB->setText(QDir::toNativeSeparators(chosen));
}

void frmDb::Command1_Click() {
    setBusy(true);
    const DeviceService::Call call =
        ctx_.device().desktopToDevice(txtDesktopDB->text().toLocal8Bit(), QByteArray(),
                                      kSynchronise, kOverwrite, txtPPCDB->text().toLocal8Bit());
    setBusy(false);
    report(call);
}

// The service's result is read as a 16-bit number, as its callers always
// have; one that does not fit is a failure of its own.
void frmDb::report(const DeviceService::Call& call) {
    const bool fits = call.result >= -32768 && call.result <= 32767;
    if (!call.returned || !fits) {
        const QString why = call.returned ? QStringLiteral(
                                                "Overflow: the device service returned a number "
                                                "outside the range of its results.")
                                          : call.failure;
        ctx_.dialogs().inform(this, QStringLiteral("%1 %2").arg(call.result).arg(why),
                              Dialogs::Icon::Critical);
        return;
    }
    const auto result = static_cast<qint16>(call.result);
    if (result != 0) {
        ctx_.dialogs().inform(this, QStringLiteral("Error %1 Occurred.").arg(result),
                              Dialogs::Icon::None);
        return;
    }
    ctx_.dialogs().inform(this, QStringLiteral("Download Successful"), Dialogs::Icon::None);
    accept();
}

void frmDb::setBusy(bool busy) {
    busy_ = busy;
    for (QWidget* control : {static_cast<QWidget*>(txtDesktopDB), static_cast<QWidget*>(Command3),
                             static_cast<QWidget*>(Command1), static_cast<QWidget*>(Command2)})
        control->setEnabled(!busy);
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void frmDb::Command2_Click() {
    reject();
}

void frmDb::reject() {
    if (!busy_)
        QDialog::reject();
}
