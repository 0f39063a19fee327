#include "main/frmSplash.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <utility>

#include "base/Version.h"
#include "common/PictureBox.h"
#include "common/WindowStyle.h"
#include "data/Settings.h"
#include "main/frmMain.h"
#include "printers/frmPrinter.h"
#include "printing/PrintService.h"
#include "resources/Pictures.h"

using WindowStyle::place;

namespace {
// Only this exact text counts as not chosen ("none" in another letter case
// is a stored choice).
const QString& kNotChosen = PrinterNotStored::forSplash;
constexpr int kHandOverMs = 5000;

}  // namespace

frmSplash::frmSplash(AppContext& ctx, QWidget* mainWindow, QWidget* parent)
    : frmSplash(ctx, MainWindowMaker([mainWindow] { return mainWindow; }), parent) {}

frmSplash::frmSplash(AppContext& ctx, MainWindowMaker makeMainWindow, QWidget* parent)
    : QDialog(parent), ctx_(ctx), makeMainWindow_(std::move(makeMainWindow)) {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    WindowStyle::setUpWindow(this, QStringLiteral("Quarvel"), 12315, 5880);
    buildControls();
}

void frmSplash::buildControls() {
    Image1 = new PictureBox(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(Pictures::splash());
    Image1->setAccessibleName(QStringLiteral("Quarvel"));
    place(Image1, 0, 0, 12315, 4095);
    connect(Image1, &PictureBox::clicked, this, &frmSplash::Image1_Click);

    Label1 = new PictureBox(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setText(QStringLiteral("Quarvel"));
    Label1->setFont(WindowStyle::tahoma(48, true));
    place(Label1, 240, 4200, 6000, 1560);
    connect(Label1, &PictureBox::clicked, this, &frmSplash::Label1_Click);

    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    place(lblVersion, 6480, 4320, 5595, 420);
    // A click on the version line is no hand-over: it must not reach the window.
    lblVersion->installEventFilter(this);

    Label2 = new PictureBox(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setText(QStringLiteral("Equipment register of Brackenlow. Click to continue."));
    Label2->setFont(WindowStyle::tahoma(9.75, true));
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    place(Label2, 6480, 4980, 5595, 420);
    connect(Label2, &PictureBox::clicked, this, &frmSplash::Label2_Click);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kHandOverMs);
    connect(Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);
}

void frmSplash::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (loadStarted_)
        return;
    loadStarted_ = true;
    WindowStyle::centreOnScreen(this);
    // The printer chooser may open from the load handler; it belongs on top
    // of the splash, so the splash is on screen first.
    QTimer::singleShot(0, this, &frmSplash::Form_Load);
}

void frmSplash::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (painted_)
        return;
    painted_ = true;
    // Once this paint is on screen.
    QTimer::singleShot(0, this, &frmSplash::prepareMainWindow);
}

QWidget* frmSplash::mainWindow() {
    if (makeMainWindow_)
        mainWindow_ = std::exchange(makeMainWindow_, nullptr)();
    return mainWindow_;
}

// The five seconds are spent reading the tree: the main window opens the
// register now (a file or a server alike) instead of at the hand-over. Its
// damage checks wait until it is on screen.
void frmSplash::prepareMainWindow() {
    if (handedOver_)
        return;
    if (auto* main = qobject_cast<frmMain*>(mainWindow()))
        main->loadOnce();
}

void frmSplash::Form_Load() {
    lblVersion->setText(Version::line());
    if (anyPrinterNotChosen() && !toldNoPrinterIsInstalled()) {
        frmPrinter chooser(ctx_, this);
        chooser.exec();
        // Told once; without a printer there is nothing to choose at the
        // next start either, and printing says what to do.
        if (chooser.noPrinterInstalled())
            ctx_.settings().writeOn(SettingsKeys::NoPrinterShown, true);
    }
    // The five seconds start only now, after the chooser has closed.
    loaded_ = true;
    Timer1->start();
}

bool frmSplash::anyPrinterNotChosen() const {
    for (const QString& key :
         {SettingsKeys::SPrinter, SettingsKeys::Printer, SettingsKeys::LPrinter}) {
        if (ctx_.settings().read(key, kNotChosen) == kNotChosen)
            return true;
    }
    return false;
}

bool frmSplash::toldNoPrinterIsInstalled() const {
    if (!ctx_.settings().isOn(SettingsKeys::NoPrinterShown))
        return false;
    for (const QString& name : ctx_.printing().installedPrinters()) {
        if (!name.isEmpty())
            return false;
    }
    return true;
}

void frmSplash::mouseReleaseEvent(QMouseEvent* event) {
    QDialog::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Form_Click();
}

bool frmSplash::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblVersion) {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
                return true;
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmSplash::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        // The splash has no Close button: Esc does not end the program here.
        case Qt::Key_Escape:
            event->accept();
            return;
        // The keyboard's click on the window.
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            event->accept();
            Form_Click();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void frmSplash::Form_Click() {
    handOver();
}

void frmSplash::Image1_Click() {
    handOver();
}

void frmSplash::Label1_Click() {
    handOver();
}

void frmSplash::Label2_Click() {
    handOver();
}

void frmSplash::Timer1_Timer() {
    handOver();
}

void frmSplash::handOver() {
    // Once only, and not before the load handler has made sure of the printers.
    if (!loaded_ || handedOver_)
        return;
    handedOver_ = true;
    Timer1->stop();
    if (QWidget* main = mainWindow())
        main->show();
    accept();
}
