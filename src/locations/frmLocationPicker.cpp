#include "locations/frmLocationPicker.h"

#include <QPushButton>

#include "app/SharedFields.h"
#include "common/Dialogs.h"
#include "common/WindowStyle.h"
#include "data/LocationStore.h"
#include "data/Register.h"

frmLocationPicker::frmLocationPicker(AppContext& ctx, QWidget* parent)
    : PickerWindow(ctx,
                   {"frmLocationPicker", QStringLiteral("Please Select A Location"), 7200, 7935,
                    QStringLiteral("Please Select the Location from the List Below."),
                    RecordList::Lines::TextOnly, QStringLiteral("Locations"), 5730},
                   parent) {
    cmdAdd = WindowStyle::addButton(this, "cmdAdd", QStringLiteral("Add"), 120, 6300, 1215, 435);
    connect(cmdAdd, &QPushButton::clicked, this, &frmLocationPicker::cmdAdd_Click);
    cmdDel =
        WindowStyle::addButton(this, "cmdDel", QStringLiteral("Delete"), 1440, 6300, 1215, 435);
    cmdDel->setEnabled(false);
    connect(cmdDel, &QPushButton::clicked, this, &frmLocationPicker::cmdDel_Click);
    WindowStyle::setTabOrder({List1, cmdAdd, cmdDel, Command2, Command3});
    Form_Load();
}

void frmLocationPicker::Form_Load() {
    ThisLocation = kNoLocationChosen;
    // On a failed read the store has told the user; the list stays empty.
    if (auto names = ctx_.locations().all())
        List1->setRows(std::move(*names));
}

// Clearing the selection (a click on empty space, Ctrl+click) leaves nothing
// chosen and nothing to delete.
void frmLocationPicker::lineChosen(const std::optional<QString>& selected) {
    cmdDel->setEnabled(selected.has_value());
    ThisLocation = selected.value_or(kNoLocationChosen);
}

void frmLocationPicker::cmdAdd_Click() {
    const QString name =
        ctx_.dialogs().inputBox(this, QStringLiteral("Please enter a location"), QString());
    if (name.isEmpty())
        return;
    qint64 rowId = 0;
    switch (ctx_.locations().add(name, &rowId)) {
        case AddLocationResult::Added:
            List1->appendRow(rowId, ctx_.theRegister().storable(name));  // as stored
            break;
        case AddLocationResult::AlreadyThere:
            ctx_.dialogs().inform(this,
                                  QStringLiteral("This item already exists in the locations list!"),
                                  Dialogs::Icon::Information);
            break;
        case AddLocationResult::Failed:
            break;  // the store has told the user
    }
}

// Deletes the selected entry, that row and no other. The deleted name stays
// the answer of Save until another entry is selected.
void frmLocationPicker::cmdDel_Click() {
    const std::optional<std::int64_t> rowId = List1->selectedId();
    if (!rowId)
        return;
    const QString name = *List1->selectedText();
    const QString question = QStringLiteral("Are you sure you want to delete ") + name +
                             QStringLiteral(" from the list?");
    if (!ctx_.dialogs().askYesNoDefaultNo(this, question, Dialogs::Icon::Question))
        return;
    if (!ctx_.locations().remove(*rowId, name))
        return;  // the store has told the user; the entry stays
    List1->removeSelectedLine();
    ThisLocation = name;
    cmdDel->setEnabled(false);
}

void frmLocationPicker::handOverChoice() {
    ctx_.fields().LocationToPick = ThisLocation;
}

void frmLocationPicker::handOverNoChoice() {
    ctx_.fields().LocationToPick = kNoLocationChosen;
}
