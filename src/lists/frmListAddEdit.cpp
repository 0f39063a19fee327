#include "lists/frmListAddEdit.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "common/Dialogs.h"
#include "common/RecordList.h"
#include "common/WindowStyle.h"
#include "data/ListStore.h"
#include "data/TestRecordStore.h"
#include "data/rules/TextRules.h"
#include "items/frmItemPicker.h"
#include "items/frmItemView.h"
#include "lists/ListControls.h"
#include "printing/PrintService.h"

namespace {

constexpr int kReloadDelayMs = 1000;

}  // namespace

const RecordEditor::Kind frmListAddEdit::kKind{
    .table = RecordTable::Lists,
    .toOpen = &SharedFields::ListToOpen,
    .name = "List %1",
    .noun = "list",
    .gone = "List %1 no longer exists.",
    .hasLabels = false,
};

frmListAddEdit::frmListAddEdit(AppContext& ctx, QWidget* parent)
    : RecordEditor(ctx, kKind, parent) {
    setObjectName(QStringLiteral("frmListAddEdit"));
    WindowStyle::setUpWindow(this, QStringLiteral("Add/Edit Picking List"),
                             ListControls::kWindowWidth, ListControls::kWindowHeight);
    buildControls();
    Form_Load();
}

void frmListAddEdit::buildControls() {
    const ListControls controls = ListControls::add(this, "List1");
    Label1 = controls.Label1;
    txtName = controls.txtName;
    Label4 = controls.Label4;
    List1 = controls.lines;
    Picture1 = controls.Picture1;
    connect(List1, &RecordList::lineClicked, this, &frmListAddEdit::List1_Click);
    connect(List1, &RecordList::lineDoubleClicked, this, &frmListAddEdit::List1_DblClick);

    const auto button = [this](const char* name, const QString& caption, int slot) {
        return WindowStyle::addButton(this, name, caption, ListControls::buttonLeft(slot),
                                      ListControls::kButtonsTop, ListControls::kButtonWidth,
                                      ListControls::kButtonHeight);
    };
    cmdAdd = button("cmdAdd", QStringLiteral("Add"), 0);
    cmdDel = button("cmdDel", QStringLiteral("Delete"), 1);
    cmdSave = button("cmdSave", QStringLiteral("Save"), 2);
    cmdPrint = button("cmdPrint", QStringLiteral("Print"), 3);
    cmdClose = button("cmdClose", QStringLiteral("Close"), 4);
    cmdAdd->setEnabled(false);
    cmdDel->setEnabled(false);
    connect(cmdAdd, &QPushButton::clicked, this, &frmListAddEdit::cmdAdd_Click);
    connect(cmdDel, &QPushButton::clicked, this, &frmListAddEdit::cmdDel_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmListAddEdit::cmdSave_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &frmListAddEdit::cmdPrint_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmListAddEdit::cmdClose_Click);
    WindowStyle::makeCancelButton(this, cmdClose);
    WindowStyle::setTabOrder({txtName, List1, cmdAdd, cmdDel, cmdSave, cmdPrint, cmdClose});

    // Restarting a running single shot folds repeated arming into one reload.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(kReloadDelayMs);
    connect(Timer1, &QTimer::timeout, this, &frmListAddEdit::Timer1_Timer);
    connect(this, &QDialog::finished, Timer1, &QTimer::stop);
}

void frmListAddEdit::Form_Load() {
    loadRecord();
    txtName->setFocus();
}

bool frmListAddEdit::loadStored(qint64 id) {
    currentItem = id;
    return showStoredList(id);
}

bool frmListAddEdit::showStoredList(qint64 id) {
    const auto rows = ctx_.lists().withId(id);
    if (!rows)
        return false;  // the store has told the user
    if (rows->isEmpty()) {
        tellGone(id);
        cmdAdd->setEnabled(false);
        return false;
    }
    loadedName_ = rows->first().name;
    txtName->setText(loadedName_);
    cmdAdd->setEnabled(true);
    if (auto lines = ctx_.lists().lines(id))
        List1->setRows(std::move(*lines));
    return true;
}

void frmListAddEdit::RefreshList() {
    List1->setRows({});
    showStoredList(currentItem);
}

void frmListAddEdit::Timer1_Timer() {
    Timer1->stop();
    RefreshList();
}

void frmListAddEdit::List1_Click() {
    const std::optional<QString> line = List1->selectedText();
    if (!line)
        return;
    selectedItem_ = TextRules::IdFromListLine(*line);
    ctx_.fields().ItemToOpen = selectedItem_;
    cmdDel->setEnabled(true);
}

void frmListAddEdit::List1_DblClick() {
    frmItemView::showItemOfLine(ctx_, this, List1->selectedText());
}

void frmListAddEdit::cmdAdd_Click() {
    frmItemPicker picker(ctx_, this);
    picker.exec();
    // Closed without a choice, the picker writes nothing; the reload comes all the same.
    const bool picked = SharedFields::idOf(ctx_.fields().ItemToPick) != 0;
    if (picked && !addPickedItem())
        return;  // a list that is gone has nothing to reload
    Timer1->start();
}

// An item that needs a test goes out only when the user says so.
bool frmListAddEdit::mayGoOut(qint64 itemId) {
    const std::optional<TestsDue::Due> due = ctx_.tests().itemDue(itemId, ctx_.testWindow());
    const QString question = due ? TestsDue::goingOutQuestion(itemId, *due) : QString();
    return question.isEmpty() ||
           ctx_.dialogs().askYesNoDefaultNo(this, question, Dialogs::Icon::Warning);
}

// False when the list is gone.
bool frmListAddEdit::addPickedItem() {
    const SharedFields& fields = ctx_.fields();
    if (!mayGoOut(SharedFields::idOf(fields.ItemToPick)))
        return true;
    switch (ctx_.lists().addLine(currentItem, SharedFields::idOf(fields.ItemToPick),
                                 fields.ItemToPickDesc.toString())) {
        case AddLineResult::Added:
        case AddLineResult::Failed:  // the store has told the user
        case AddLineResult::Booked:  // lists hold nothing until the editor sets a plan
            return true;
        case AddLineResult::AlreadyOnList:
            ctx_.dialogs().inform(this,
                                  QStringLiteral("This item already exists in this Picking List"),
                                  Dialogs::Icon::Information);
            return true;
        case AddLineResult::ListGone:
            tellGone(currentItem);
            cmdAdd->setEnabled(false);
            return false;
    }
    return true;
}

void frmListAddEdit::cmdDel_Click() {
    const qint64 item = selectedItem_;
    const QString question =
        QStringLiteral("Are you sure you wish to remove this item? (ID: %1)").arg(item);
    if (!ctx_.dialogs().askYesNoDefaultNo(this, question, Dialogs::Icon::Critical))
        return;
    // A failed removal changed nothing (the store has told the user).
    ctx_.lists().removeLine(currentItem, item);
    Timer1->start();
}

void frmListAddEdit::cmdSave_Click() {
    saveAndClose();
}

std::optional<qint64> frmListAddEdit::insertRecord() {
    return ctx_.lists().insert(txtName->text());
}

SaveResult frmListAddEdit::writeChanges(bool overwrite) {
    const QString name = txtName->text();
    const SaveResult result = ctx_.lists().update(currentItem, name, loadedName_, overwrite);
    // A name left as loaded keeps the one given elsewhere: nothing to ask.
    if (result == SaveResult::ChangedElsewhere && name == loadedName_)
        return SaveResult::Saved;
    return result;
}

void frmListAddEdit::cmdPrint_Click() {
    ctx_.printing().PrintPickingList(txtName->text(), List1->lines());
}

void frmListAddEdit::cmdClose_Click() {
    reject();
}
