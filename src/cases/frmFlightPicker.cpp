#include "cases/frmFlightPicker.h"

#include <QLabel>
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
        RecordList::Lines::IdAndText, QStringLiteral("Flight cases"), 6330);
    Label1 = controls.Label1;
    List1 = controls.List1;
    Picture1 = controls.Picture1;
    Command2 = controls.Command2;
    Command3 = controls.Command3;
    controls.connectTo(this);
    connect(List1, &RecordList::lineDoubleClicked, this, &frmFlightPicker::List1_DblClick);
    WindowStyle::setTabOrder({List1, Command2, Command3});
}

void frmFlightPicker::Form_Load() {
    ThisCase = 0;
    IdTextRows lines;
    lines.append(0, "No Flight Case (Default)");
    // On a failed read the store has told the user; "no case" stays choosable.
    if (const auto cases = ctx_.store().allCases()) {
        lines.ids.reserve(cases->size() + 1);
        for (std::size_t i = 0; i < cases->size(); ++i)
            lines.append(cases->ids[i], cases->texts.view(i));
    }
    List1->setRows(std::move(lines));
}

// Only a selected line counts: a line the user deselected is no choice.
void frmFlightPicker::List1_Click() {
    const auto line = List1->selectedText();
    ThisCase = line ? TextRules::IdFromListLine(*line) : 0;
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
