#include "cases/frmFlightPicker.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "common/WindowStyle.h"
#include "data/Store.h"
#include "data/TextRules.h"
#include "resources/Pictures.h"

using WindowStyle::place;

frmFlightPicker::frmFlightPicker(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmFlightPicker"));
    WindowStyle::setUpWindow(this, QStringLiteral("Flight Case Picker"), 7230, 7965);
    buildControls();
    Form_Load();
}

void frmFlightPicker::buildControls() {
    Label1 = new QLabel(QStringLiteral("Please Select the Flight Case from the List Below."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    place(Label1, 120, 120, 5295, 375);

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("Flight cases"));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setSortingEnabled(false);
    connect(List1, &QListWidget::itemClicked, this, &frmFlightPicker::List1_Click);
    connect(List1, &QListWidget::currentRowChanged, this, &frmFlightPicker::List1_Click);
    connect(List1, &QListWidget::itemSelectionChanged, this, &frmFlightPicker::List1_Click);
    connect(List1, &QListWidget::itemDoubleClicked, this, &frmFlightPicker::List1_DblClick);
    place(List1, 120, 480, 6975, 6330);

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(Pictures::largeLogo());
    place(Picture1, 120, 6840, 3210, 1065);

    Command2 = new QPushButton(QStringLiteral("Save"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setAutoDefault(false);
    connect(Command2, &QPushButton::clicked, this, &frmFlightPicker::Command2_Click);
    place(Command2, 4800, 6840, 1095, 975);

    Command3 = new QPushButton(QStringLiteral("Close"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setAutoDefault(false);
    connect(Command3, &QPushButton::clicked, this, &frmFlightPicker::Command3_Click);
    place(Command3, 6000, 6840, 1095, 975);
    WindowStyle::makeCancelButton(this, Command3);

    setTabOrder(List1, Command2);
    setTabOrder(Command2, Command3);
}

void frmFlightPicker::Form_Load() {
    ThisCase = 0;
    List1->addItem(QStringLiteral("0 - No Flight Case (Default)"));
    // On a failed read the store has told the user; "no case" stays choosable.
    const auto cases = ctx_.store().allCases();
    if (!cases)
        return;
    for (const IdText& flightCase : *cases)
        List1->addItem(TextRules::listLine(flightCase.id, flightCase.text));
}

void frmFlightPicker::List1_Click() {
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    if (!selected.isEmpty())
        ThisCase = TextRules::IdFromListLine(selected.first()->text());
}

void frmFlightPicker::List1_DblClick() {
    List1_Click();
    Command2_Click();
}

void frmFlightPicker::Command2_Click() {
    ctx_.fields().CaseToPick = ThisCase;
    accept();
}

// Close, Esc and the title bar's close box all leave CaseToPick alone.
void frmFlightPicker::Command3_Click() {
    reject();
}
