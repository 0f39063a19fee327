#include <QTemporaryDir>

#include "device/frmDb.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "about/frmFunny.h"
#include "adofiltr/DeviceCodes.h"
#include "base/Progress.h"
#include "common/Dialogs.h"
#include "common/WindowStyle.h"
#include "data/StoreSetup.h"
#include "data/register/RegisterAccess.h"
#include "data/register/RegisterTransfer.h"

using WindowStyle::place;

namespace {
const QString kDeviceDatabase = QStringLiteral("\\My Documents\\data.cdb");
constexpr qint32 kSynchronise = 0;
constexpr qint32 kOverwrite = -1;  // true

const QString kDeviceKept = QStringLiteral(" The file on the device is as it was.");

// What a result of the device service means and what the user can do. The
// numbers are Windows error numbers, so another vendor's library means much
// the same by them; a number not listed gets no words of its own.
QString meaningOf(qint16 result) {
    switch (result) {
        case DEVICE_DESKTOP_MISSING:
            return QStringLiteral(
                "There is no database at the path in Local Database. Choose "
                "the register with the ... button.");
        case DEVICE_FOLDER_UNAVAILABLE:
            return QStringLiteral(
                       "A folder on the way to the database on the device cannot be "
                       "used: a file stands where the folder has to be, or the folder "
                       "went away during the download.") +
                   kDeviceKept;
        case DEVICE_ACCESS_DENIED:
            return QStringLiteral(
                "The device does not let Quarvel write the database: the "
                "device or its folder is read-only, or the device is locked. "
                "Unlock it and try again.");
        case DEVICE_NOT_A_DATABASE:
            return QStringLiteral(
                "The local database is not a Quarvel register: it is not a "
                "database, or a table or column that Quarvel needs is "
                "missing. Choose data.mdb.");
        case DEVICE_NOT_FOUND:
            return QStringLiteral(
                       "No device was found, or it went away during the download. "
                       "Connect the device, unlock it and try again.") +
                   kDeviceKept;
        case DEVICE_FAILED:
            return QStringLiteral("The download failed; try again.") + kDeviceKept;
        case DEVICE_IN_USE:
            return QStringLiteral(
                "The local database or the file on the device is in use: "
                "another program is saving to the register, another "
                "download is writing to the device, or a save that was cut "
                "off cannot be undone because the register's folder may not "
                "be written. Try again in a moment.");
        case DEVICE_TARGET_EXISTS:
            return QStringLiteral(
                "The device already holds the database, and it was not to "
                "be replaced.");
        case DEVICE_UNKNOWN_TABLE:
            return QStringLiteral(
                "The download named a table that the register does not "
                "have.");
        case DEVICE_FULL:
            return QStringLiteral(
                       "The device is full. The new database is written beside the "
                       "old one before it replaces it, so the device needs room for "
                       "both. Free some space on the device and try again.") +
                   kDeviceKept;
        case DEVICE_PATH_OUTSIDE:
            return QStringLiteral(
                "The path on the device leads outside the device (through "
                "\"..\", a drive, or a folder that is a link to another "
                "place). Nothing was written.");
        case DEVICE_MORE_THAN_ONE:
            return QStringLiteral(
                "More than one device is connected. Connect only the "
                "handheld and try again.");
        case DEVICE_DESKTOP_DAMAGED:
            return QStringLiteral(
                       "The local database is damaged: SQLite's check found faults "
                       "in it, so it was not copied. Restore data.mdb from a "
                       "backup.") +
                   kDeviceKept;
        default:
            return {};
    }
}

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
    const RegisterLocation& location = ctx_.registerLocation();
    txtDesktopDB->setText(location.isServer() ? location.text()
                                              : QDir::toNativeSeparators(location.text()));
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
    // A register on a server reaches the device as a file of its rows.
    QTemporaryDir snapshot;
    QString desktopDb = txtDesktopDB->text().trimmed();
    if (RegisterLocation::namesServer(desktopDb)) {
        const QString file = snapshot.filePath(QStringLiteral("data.mdb"));
        const std::unique_ptr<Progress> progress =
            ctx_.dialogs().progress(this, QStringLiteral("Reading the register from the server"));
        // A server that stops answering is shown, and may be left, as the
        // store's operations do it.
        const Sql::WaitingSeam waiting = StoreSetup::serverWaiting(
            [this](const QString& what) { return ctx_.dialogs().progress(this, what); });
        const RegisterTransfer::Outcome copied =
            RegisterTransfer::copy(RegisterLocation::server(desktopDb),
                                   RegisterLocation::file(file), progress.get(), &waiting);
        if (copied.cancelled) {
            setBusy(false);
            ctx_.dialogs().inform(this, QStringLiteral("You cancelled the download: nothing was "
                                                       "copied to the device."));
            return;
        }
        if (!copied.ok) {
            setBusy(false);
            ctx_.dialogs().inform(this,
                                  QStringLiteral("Quarvel could not read the register from the "
                                                 "server, so nothing was copied to the device: "
                                                 "%1.")
                                      .arg(copied.error),
                                  Dialogs::Icon::Critical);
            return;
        }
        desktopDb = file;
    }
    const std::unique_ptr<Progress> progress =
        ctx_.dialogs().progress(this, QStringLiteral("Copying the register to the device"));
    const DeviceService::Call call =
        ctx_.device().desktopToDevice(desktopDb.toLocal8Bit(), QByteArray(), kSynchronise,
                                      kOverwrite, txtPPCDB->text().toLocal8Bit(), progress.get());
    setBusy(false);
    if (call.returned && call.result == DEVICE_CANCELLED) {
        ctx_.dialogs().inform(this, QStringLiteral("You cancelled the download: the device keeps "
                                                   "what it had."));
        return;
    }
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
        QString message = QStringLiteral("Error %1 Occurred.").arg(result);
        QString meaning = meaningOf(result);
        // A file out of this user's reach is told as that, not as missing.
        if (result == DEVICE_DESKTOP_MISSING) {
            const RegisterAccess::Finding found =
                RegisterAccess::ofFile(txtDesktopDB->text().trimmed());
            if (found.may == RegisterAccess::May::Nothing && !found.absent)
                meaning = found.text();
        }
        if (!meaning.isEmpty())
            message += QStringLiteral("\n\n") + meaning;
        ctx_.dialogs().inform(this, message, Dialogs::Icon::None);
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
