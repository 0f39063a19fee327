#include "locations/frmLocationPicker.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include "common/Dialogs.h"
#include "common/PickerControls.h"
#include "common/WindowStyle.h"
#include "data/Store.h"

namespace {
const QString kNoChoice = QStringLiteral("Blank");
}

frmLocationPicker::frmLocationPicker(AppContext& ctx, QWidget* parent)
    : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmLocationPicker"));
    WindowStyle::setUpWindow(this, QStringLiteral("Please Select A Location"), 7200, 7935);
    buildControls();
    Form_Load();
}

void frmLocationPicker::buildControls() {
    const PickerControls controls =
        PickerControls::add(this, QStringLiteral("Please Select the Location from the List Below."),
                            QStringLiteral("Locations"), 5730);
    Label1 = controls.Label1;
    List1 = controls.List1;
    Picture1 = controls.Picture1;
    Command2 = controls.Command2;
    Command3 = controls.Command3;
    controls.connectTo(this);

    cmdAdd = WindowStyle::addButton(this, "cmdAdd", QStringLiteral("Add"), 120, 6300, 1215, 435);
    connect(cmdAdd, &QPushButton::clicked, this, &frmLocationPicker::cmdAdd_Click);
    cmdDel =
        WindowStyle::addButton(this, "cmdDel", QStringLiteral("Delete"), 1440, 6300, 1215, 435);
    cmdDel->setEnabled(false);
    connect(cmdDel, &QPushButton::clicked, this, &frmLocationPicker::cmdDel_Click);
    WindowStyle::setTabOrder({List1, cmdAdd, cmdDel, Command2, Command3});
}

void frmLocationPicker::Form_Load() {
    ThisLocation = kNoChoice;
    // On a failed read the store has told the user; the list stays empty.
    const auto names = ctx_.store().locations();
    if (names)
        List1->addItems(*names);
}

// Only a selected entry counts: the list may hold a current entry that was
// never selected (after a delete, or on tabbing into it).
void frmLocationPicker::List1_Click() {
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    if (selected.isEmpty())
        return;
    ThisLocation = selected.first()->text();
    cmdDel->setEnabled(true);
}

void frmLocationPicker::cmdAdd_Click() {
    const QString name =
        ctx_.dialogs().inputBox(this, QStringLiteral("Please enter a location"), QString());
    if (name.isEmpty())
        return;
    const std::optional<bool> exists = ctx_.store().locationExists(name);
    if (!exists)
        return;  // the store has told the user
    if (*exists) {
        ctx_.dialogs().inform(this,
                              QStringLiteral("This item already exists in the locations list!"),
                              Dialogs::Icon::Information);
        return;
    }
    if (ctx_.store().addLocation(name))
        List1->addItem(name);
}

void frmLocationPicker::cmdDel_Click() {
    const QString question = QStringLiteral("Are you sure you want to delete ") + ThisLocation +
                             QStringLiteral(" from the list?");
    if (!ctx_.dialogs().askYesNo(this, question, Dialogs::Icon::Question))
        return;
    if (!ctx_.store().deleteLocation(ThisLocation))
        return;  // the store has told the user; the entry stays
    removeSelectedEntry();
    cmdDel->setEnabled(false);
}

// Removes the selected entry and leaves nothing selected: the list would
// otherwise move the selection to the next entry and make that the choice.
void frmLocationPicker::removeSelectedEntry() {
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    if (selected.isEmpty())
        return;
    const QSignalBlocker blocker(List1);
    delete List1->takeItem(List1->row(selected.first()));
    List1->clearSelection();
    List1->setCurrentItem(nullptr);
}

void frmLocationPicker::Command2_Click() {
    ctx_.fields().LocationToPick = ThisLocation;
    accept();
}

void frmLocationPicker::Command3_Click() {
    ctx_.fields().LocationToPick = kNoChoice;
    QDialog::reject();
}

void frmLocationPicker::reject() {
    Command3_Click();
}
