#include "about/frmAbout.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>

#include "base/Version.h"
#include "common/LinkLabel.h"
#include "common/WindowStyle.h"
#include "resources/Pictures.h"

using WindowStyle::place;

namespace {

// The maker's web site: a build setting (QUARVEL_MAKER_URL).
const QString kMakerAddress = QStringLiteral(QUARVEL_MAKER_URL);
const char* const kTagProperty = "tag";

const QString kWarning = QStringLiteral(
    "Warning: this computer program is protected by copyright law and\n"
    "international treaties. Unauthorised reproduction or distribution of\n"
    "this program, or of any part of it, may result in severe civil and\n"
    "criminal penalties, and will be prosecuted to the maximum extent\n"
    "possible under the law. Quarvel is licensed to its users, not sold;\n"
    "the licence sets out what each copy may be used for.");

}  // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    WindowStyle::setUpWindow(this, QStringLiteral("About Quarvel"), 8415, 5535);
    buildControls();
    Form_Load();
}

QLabel* frmAbout::addLabel(const char* name, const QString& text, int left, int top, int width,
                           int height) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QLatin1String(name));
    place(label, left, top, width, height);
    return label;
}

LinkLabel* frmAbout::addLink(const char* name, const QString& text, const QString& address,
                             int top) {
    auto* link = new LinkLabel(text, address, this);
    link->setObjectName(QLatin1String(name));
    link->setProperty(kTagProperty, address);
    place(link, 2400, top, 5775, 300);
    return link;
}

void frmAbout::buildControls() {
    Label1 = addLabel("Label1", QString(), 0, 0, 2160, 5535);
    Label1->setStyleSheet(QStringLiteral("background: #f08a24;"));
    lblDescription = addLabel("lblDescription", QString(), 2160, 0, 6255, 1320);
    lblDescription->setStyleSheet(QStringLiteral("background: #fff6cc;"));
    imgIcon = addLabel("imgIcon", QString(), 360, 360, 1440, 1440);
    imgIcon->setPixmap(Pictures::toolbarIcon(QStringLiteral("About")).scaled(64, 64));
    imgIcon->setAccessibleName(QStringLiteral("Quarvel"));

    lblTitle = addLabel("lblTitle", QStringLiteral("Brackenlow"), 2400, 120, 5775, 615);
    lblTitle->setFont(WindowStyle::tahoma(24, true));
    lblInfo = addLabel("lblInfo", QStringLiteral("Quarvel"), 2400, 760, 5775, 420);
    lblInfo->setFont(WindowStyle::tahoma(14, true));
    lblVersion = addLabel("lblVersion", QString(), 2400, 1440, 5775, 300);

    lblURL = addLink("lblURL", kMakerAddress, kMakerAddress, 1800);
    connect(lblURL, &QLabel::linkActivated, this, &frmAbout::lblURL_Click);
    lblCopyright = addLink("lblCopyright", QStringLiteral("Copyright Brackenlow 2006-2026"),
                           kMakerAddress, 2160);
    connect(lblCopyright, &QLabel::linkActivated, this, &frmAbout::lblCopyright_Click);
    lblDotLine = addLabel("lblDotLine", QString(), 2400, 2580, 5775, 15);
    lblDotLine->setFrameShape(QFrame::HLine);
    lblDotLine->setFrameShadow(QFrame::Plain);

    txtSpecialCopyright = new QPlainTextEdit(kWarning, this);
    txtSpecialCopyright->setObjectName(QStringLiteral("txtSpecialCopyright"));
    txtSpecialCopyright->setAccessibleName(QStringLiteral("Legal warning"));
    txtSpecialCopyright->setReadOnly(true);
    txtSpecialCopyright->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtSpecialCopyright->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtSpecialCopyright->setFont(WindowStyle::tahoma(8));
    place(txtSpecialCopyright, 2400, 2760, 5775, 1440);

    Label2 = addLabel(
        "Label2", QStringLiteral("Made for the people who pack the trucks at four in the morning."),
        2400, 4320, 5775, 300);
    Label2->setFont(WindowStyle::tahoma(8));

    cmdOK = WindowStyle::addButton(this, "cmdOK", QStringLiteral("OK"), 6840, 4800, 1335, 495);
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    WindowStyle::makeCancelButton(this, cmdOK);
    WindowStyle::setTabOrder({cmdOK, lblURL, lblCopyright, txtSpecialCopyright});
}

void frmAbout::Form_Load() {
    lblVersion->setText(Version::line());
    cmdOK->setFocus();
}

// A web address that cannot be opened fails quietly, as the shell's open does.
void frmAbout::lblURL_Click() {
    QDesktopServices::openUrl(QUrl(lblURL->property(kTagProperty).toString()));
}

void frmAbout::lblCopyright_Click() {
    QDesktopServices::openUrl(QUrl(lblCopyright->property(kTagProperty).toString()));
}

void frmAbout::cmdOK_Click() {
    accept();
}
