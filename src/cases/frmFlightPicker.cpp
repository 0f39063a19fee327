#include "cases/frmFlightPicker.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "common/PickerControls.h"
#include "common/WindowStyle.h"
#include "data/Store.h"
#include "data/TextRules.h"

frmFlightPicker::frmFlightPicker(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmFlightPicker"));
    WindowStyle::setUpWindow(this, QStringLiteral("Flight Case Picker"), 7230, 7965);
    buildControls();
    Form_Load();
}

void frmFlightPicker::buildControls() {
    const PickerControls controls = PickerControls::add(
        this, QStringLiteral("Please Select the Flight Case from the List Below."),
        QStringLiteral("Flight cases"), 6330);
    Label1 = controls.Label1;
    List1 = controls.List1;
    Picture1 = controls.Picture1;
    Command2 = controls.Command2;
    Command3 = controls.Command3;
    controls.connectTo(this);
    connect(List1, &QListWidget::itemDoubleClicked, this, &frmFlightPicker::List1_DblClick);
    WindowStyle::setTabOrder({List1, Command2, Command3});
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
