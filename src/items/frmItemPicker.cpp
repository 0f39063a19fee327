#include "items/frmItemPicker.h"

#include <QLabel>
#include <QPushButton>

#include "common/PickerControls.h"
#include "common/WindowStyle.h"
#include "data/Store.h"
#include "data/TextRules.h"

frmItemPicker::frmItemPicker(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmItemPicker"));
    WindowStyle::setUpWindow(this, QStringLiteral("Item Picker"), 7200, 7935);
    buildControls();
    Form_Load();
}

void frmItemPicker::buildControls() {
    const PickerControls controls =
        PickerControls::add(this, QStringLiteral("Please Select the Item from the List Below."),
                            RecordList::Lines::IdAndText, QStringLiteral("Items"), 6330);
    Label1 = controls.Label1;
    List1 = controls.List1;
    Picture1 = controls.Picture1;
    Command2 = controls.Command2;
    Command3 = controls.Command3;
    controls.connectTo(this);
    connect(List1, &RecordList::lineDoubleClicked, this, &frmItemPicker::List1_DblClick);
    WindowStyle::setTabOrder({List1, Command2, Command3});
}

void frmItemPicker::Form_Load() {
    ThisItem = 0;
    // On a failed read the store has told the user; the list stays empty.
    if (auto items = ctx_.store().allItems())
        List1->setRows(std::move(*items));
}

// "12 - Cable - 5 m": the id is before the first hyphen, the description
// everything after the " - " that follows the id. Only a selected line
// counts: a line the user deselected is no choice.
void frmItemPicker::List1_Click() {
    const std::optional<QString> selected = List1->selectedText();
    if (!selected) {
        ThisItem = 0;
        ThisItemDesc.clear();
        return;
    }
    const QString& line = *selected;
    const qsizetype hyphen = line.indexOf(u'-');
    if (hyphen < 0)
        return;
    ThisItem = TextRules::wholeNumber(TextRules::numericValue(line.left(hyphen)));
    ThisItemDesc = line.mid(hyphen + 2);
}

void frmItemPicker::List1_DblClick() {
    List1_Click();
    Command2_Click();
}

void frmItemPicker::Command2_Click() {
    ctx_.fields().ItemToPick = ThisItem;
    ctx_.fields().ItemToPickDesc = ThisItemDesc;
    accept();
}

void frmItemPicker::Command3_Click() {
    ctx_.fields().ItemToPick = 0;
    QDialog::reject();
}

void frmItemPicker::reject() {
    Command3_Click();
}
