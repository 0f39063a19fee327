#include "printers/frmPrinter.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "common/WindowStyle.h"
#include "data/Settings.h"
#include "printing/PrintService.h"

using WindowStyle::place;

namespace {
const QString& kNothingStored = PrinterNotStored::forChooser;
constexpr int kLeft = 240;
constexpr int kWidth = 5520;
constexpr int kNoteTop = 600;
constexpr int kNoteHeight = 1080;
const QString kNoPrinter = QStringLiteral(
    "No printer is installed. Add one in the system's printer settings, then choose it here.");
}  // namespace

frmPrinter::frmPrinter(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmPrinter"));
    WindowStyle::setUpWindow(this, QStringLiteral("Printer Chooser"), 6000, 3960);
    buildControls();
    Form_Load();
}

void frmPrinter::buildControls() {
    Label1 = new QLabel(QStringLiteral("Please Choose  A Printer from the List Below"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(WindowStyle::tahoma(12, true));
    place(Label1, kLeft, 180, kWidth, 330);

    Combo1 = addPrinterBox(Label3, QStringLiteral("Label3"), QStringLiteral("Large Label Printer"),
                           QStringLiteral("Combo1"), 720);
    Combo2 = addPrinterBox(Label2, QStringLiteral("Label2"), QStringLiteral("Small Label Printer"),
                           QStringLiteral("Combo2"), 1500);
    Combo3 = addPrinterBox(Label4, QStringLiteral("Label4"), QStringLiteral("List Printer"),
                           QStringLiteral("Combo3"), 2280);

    Command1 = new QPushButton(QStringLiteral("Save"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAutoDefault(false);
    connect(Command1, &QPushButton::clicked, this, &frmPrinter::Command1_Click);
    place(Command1, kLeft, 3180, kWidth, 495);

    lblNoPrinter = new QLabel(kNoPrinter, this);
    lblNoPrinter->setObjectName(QStringLiteral("lblNoPrinter"));
    lblNoPrinter->setWordWrap(true);
    place(lblNoPrinter, kLeft, kNoteTop, kWidth, kNoteHeight - 120);
    lblNoPrinter->hide();

    setTabOrder(Combo1, Combo2);
    setTabOrder(Combo2, Combo3);
    setTabOrder(Combo3, Command1);
}

QComboBox* frmPrinter::addPrinterBox(QLabel*& caption, const QString& labelName,
                                     const QString& text, const QString& boxName, int top) {
    caption = new QLabel(text, this);
    caption->setObjectName(labelName);
    place(caption, kLeft, top, kWidth, 300);

    auto* box = new QComboBox(this);  // a choice from the list only
    box->setObjectName(boxName);
    box->setAccessibleName(text);
    caption->setBuddy(box);
    place(box, kLeft, top + 330, kWidth, 390);
    return box;
}

void frmPrinter::Form_Load() {
    struct Box {
        QComboBox* box;
        QString stored;
    };
    const QList<Box> boxes = {
        {Combo1, ctx_.settings().read(SettingsKeys::Printer, kNothingStored)},
        {Combo2, ctx_.settings().read(SettingsKeys::SPrinter, kNothingStored)},
        {Combo3, ctx_.settings().read(SettingsKeys::LPrinter, kNothingStored)},
    };
    // The stored printer first, installed or not; then every other
    // installed printer in the system's order. An empty name names no
    // printer, so it is never offered (and so never stored again).
    for (const Box& b : boxes) {
        if (b.stored != kNothingStored && !b.stored.isEmpty())
            b.box->addItem(b.stored);
    }
    noPrinterInstalled_ = true;
    for (const QString& name : ctx_.printing().installedPrinters()) {
        if (name.isEmpty())
            continue;
        noPrinterInstalled_ = false;
        for (const Box& b : boxes) {
            if (name != b.stored)
                b.box->addItem(name);
        }
    }
    for (const Box& b : boxes) {
        if (b.box->count() > 0)
            b.box->setCurrentIndex(0);
    }
    if (noPrinterInstalled_)
        showNoPrinterNote();
}

void frmPrinter::showNoPrinterNote() {
    // The note stands under the instruction, before the boxes it explains;
    // the window grows to make room for it.
    if (!lblNoPrinter->isHidden())
        return;
    const int room = WindowStyle::pixels(kNoteHeight);
    for (QWidget* w :
         std::initializer_list<QWidget*>{Label3, Combo1, Label2, Combo2, Label4, Combo3, Command1})
        w->move(w->x(), w->y() + room);
    setFixedSize(width(), height() + room);
    lblNoPrinter->show();
    // Screen readers say it as the window opens.
    setAccessibleDescription(kNoPrinter);
}

void frmPrinter::Command1_Click() {
    storeChoice(Combo1, SettingsKeys::Printer);
    storeChoice(Combo2, SettingsKeys::SPrinter);
    storeChoice(Combo3, SettingsKeys::LPrinter);
    accept();
}

void frmPrinter::storeChoice(QComboBox* box, const QString& key) {
    // An empty box (no printer installed, nothing stored) stores nothing.
    if (box->currentIndex() >= 0 && !box->currentText().isEmpty())
        ctx_.settings().write(key, box->currentText());
}
