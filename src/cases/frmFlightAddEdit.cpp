#include "cases/frmFlightAddEdit.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/Dialogs.h"
#include "common/LabelPanel.h"
#include "common/OptionCheckBox.h"
#include "common/RecordList.h"
#include "common/WindowStyle.h"
#include "data/CaseStore.h"
#include "data/ItemStore.h"
#include "data/rules/TextRules.h"
#include "items/frmItemPicker.h"
#include "items/frmItemView.h"
#include "locations/frmLocationPicker.h"

using WindowStyle::place;

namespace {

QString itemGoneText(qint64 itemId) {
    return QStringLiteral("Item %1 is not in the register any more.").arg(itemId);
}

}  // namespace

const RecordEditor::Kind frmFlightAddEdit::kKind{
    .table = RecordTable::Cases,
    .toOpen = &SharedFields::CaseToOpen,
    .name = "Flight case F%1",
    .noun = "case",
    .gone = "Flight case F%1 no longer exists.",
    .hasLabels = true,
};

frmFlightAddEdit::frmFlightAddEdit(AppContext& ctx, QWidget* parent)
    : RecordEditor(ctx, kKind, parent) {
    setObjectName(QStringLiteral("frmFlightAddEdit"));
    WindowStyle::setUpWindow(this, QStringLiteral("Add/Edit Flight Case"), 9150, 11145);
    buildControls();
    Form_Load();
}

// A text box with its caption to the left.
QLineEdit* frmFlightAddEdit::addTextBox(const char* name, const char* labelName,
                                        const QString& caption, int labelTop, int top, int width) {
    auto* label = new QLabel(caption, this);
    label->setObjectName(QLatin1String(labelName));
    place(label, 120, labelTop, 1095, 375);
    auto* box = new QLineEdit(this);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(caption);
    label->setBuddy(box);
    place(box, 1200, top, width, 495);
    return box;
}

void frmFlightAddEdit::buildControls() {
    Text1 = addTextBox("Text1", "Label1", QStringLiteral("Name"), 240, 120, 7815);
    Text2 = addTextBox("Text2", "Label2", QStringLiteral("Location"), 840, 720, 6615);
    Command5 =
        WindowStyle::addButton(this, "Command5", QStringLiteral("Pick!"), 7920, 720, 1095, 495);
    Command5->setAccessibleDescription(QStringLiteral("Pick a location"));
    Text3 = addTextBox("Text3", "Label3", QStringLiteral("Bought"), 1320, 1320, 7815);
    Text4 = addTextBox("Text4", "Label5", QStringLiteral("Notes"), 1920, 1920, 7815);

    Check2 = new QCheckBox(QStringLiteral("Has Wheels?"), this);
    Check2->setObjectName(QStringLiteral("Check2"));
    place(Check2, 120, 2520, 8895, 495);

    auto* Label4 = new QLabel(QStringLiteral("Items in Case"), this);
    Label4->setObjectName(QStringLiteral("Label4"));
    place(Label4, 120, 3120, 2415, 495);
    List1 = new RecordList(RecordList::Lines::IdAndText, Label4->text(), this);
    List1->setObjectName(QStringLiteral("List1"));
    Label4->setBuddy(List1);
    place(List1, 120, 3480, 8895, 6045 - LabelPanel::kCheck4Above);
    connect(List1, &RecordList::lineClicked, this, &frmFlightAddEdit::List1_Click);
    connect(List1, &RecordList::lineDoubleClicked, this, &frmFlightAddEdit::List1_DblClick);

    labels_ = new LabelPanel(this, ctx_.settings(), ctx_.printing(), LabelKind::Case,
                             [this] { return currentItem; },
                             {.checksTop = 9600, .check3Left = 4080, .pictureTop = 9960});
    labels_->addButtons(3360, 9960, 855);
    cmdAdd = WindowStyle::addButton(this, "cmdAdd", QStringLiteral("Add"), 5280, 9960, 855, 975);
    cmdAdd->setAccessibleDescription(QStringLiteral("Add an item to the case"));
    cmdDel = WindowStyle::addButton(this, "cmdDel", QStringLiteral("Delete"), 6240, 9960, 855, 975);
    cmdDel->setAccessibleDescription(QStringLiteral("Remove the selected item from the case"));
    Command2 =
        WindowStyle::addButton(this, "Command2", QStringLiteral("Save"), 7200, 9960, 855, 975);
    Command3 =
        WindowStyle::addButton(this, "Command3", QStringLiteral("Close"), 8160, 9960, 855, 975);
    connect(Command5, &QPushButton::clicked, this, &frmFlightAddEdit::Command5_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmFlightAddEdit::cmdAdd_Click);
    connect(cmdDel, &QPushButton::clicked, this, &frmFlightAddEdit::cmdDel_Click);
    connect(Command2, &QPushButton::clicked, this, &frmFlightAddEdit::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmFlightAddEdit::Command3_Click);
    WindowStyle::makeCancelButton(this, Command3);
    WindowStyle::setTabOrder({Text1, Text2, Command5, Text3, Text4, Check2, List1, labels_->Check4,
                              labels_->Check1, labels_->Check3, labels_->Command4,
                              labels_->Command1, cmdAdd, cmdDel, Command2, Command3});
}

void frmFlightAddEdit::Form_Load() {
    const bool loaded = loadRecord();
    // The items of a case not yet stored cannot be changed.
    cmdAdd->setEnabled(loaded && !newItem);
    cmdDel->setEnabled(false);
    Text1->setFocus();
}

bool frmFlightAddEdit::loadStored(qint64 id) {
    const auto flightCase = storedRow(ctx_.cases().withId(id), id);
    if (!flightCase)
        return false;
    loaded_ = *flightCase;
    currentItem = id;
    Text1->setText(loaded_[CaseColumn::Name]);
    Text2->setText(loaded_[CaseColumn::Location]);
    Text3->setText(loaded_[CaseColumn::Bought]);
    Text4->setText(loaded_[CaseColumn::Notes]);
    Check2->setChecked(loaded_[CaseColumn::Wheeled] == QLatin1String("Yes"));
    RefreshList();
    return true;
}

// The items of the case by category, read afresh after every change.
void frmFlightAddEdit::RefreshList() {
    // On a failed read the store has told the user; the list stays empty.
    auto items = ctx_.items().inCaseByCategory(currentItem);
    List1->setRows(items ? std::move(*items) : IdTextRows{});
    cmdDel->setEnabled(false);
}

void frmFlightAddEdit::List1_Click() {
    const auto line = List1->selectedText();
    cmdDel->setEnabled(line.has_value());
    if (line)
        ctx_.fields().ItemToOpen = TextRules::IdFromListLine(*line);
}

void frmFlightAddEdit::List1_DblClick() {
    frmItemView::showItemOfLine(ctx_, this, List1->selectedText());
}

void frmFlightAddEdit::Command5_Click() {
    frmLocationPicker picker(ctx_, this);
    picker.exec();
    const QString picked = ctx_.fields().LocationToPick.toString();
    if (picked != kNoLocationChosen)
        Text2->setText(picked);
}

void frmFlightAddEdit::cmdAdd_Click() {
    frmItemPicker picker(ctx_, this);
    picker.exec();
    const qint64 itemId = SharedFields::idOf(ctx_.fields().ItemToPick);
    if (itemId <= 0)
        return;
    const auto itsCase = caseOfItem(itemId);
    if (!itsCase)
        return;
    if (*itsCase != 0 && *itsCase != currentItem &&
        !ctx_.dialogs().askYesNo(this,
                                 QStringLiteral("Item %1 is in flight case F%2. Move it to this "
                                                "case?")
                                     .arg(itemId)
                                     .arg(*itsCase),
                                 Dialogs::Icon::Question))
        return;
    putItemInCase(itemId, currentItem);
}

void frmFlightAddEdit::cmdDel_Click() {
    const auto line = List1->selectedText();
    if (!line)
        return;
    const qint64 itemId = TextRules::IdFromListLine(*line);
    if (!ctx_.dialogs().askYesNoDefaultNo(
            this,
            QStringLiteral("Are you sure you wish to remove this item from the case? (ID: %1)")
                .arg(itemId),
            Dialogs::Icon::Critical))
        return;
    // An item moved to another case since the list was read stays there.
    const auto itsCase = caseOfItem(itemId);
    if (itsCase && *itsCase == currentItem)
        putItemInCase(itemId, 0);
    else
        RefreshList();
}

// The case the item is in now (0: none), or nullopt when it cannot be read
// or is gone (the user has been told).
std::optional<qint64> frmFlightAddEdit::caseOfItem(qint64 itemId) {
    const auto rows = ctx_.items().withId(itemId);
    if (!rows)
        return std::nullopt;
    if (rows->isEmpty()) {
        ctx_.dialogs().inform(this, itemGoneText(itemId), Dialogs::Icon::Information);
        return std::nullopt;
    }
    return TextRules::wholeNumber(TextRules::numericValue(rows->first()[ItemColumn::CaseId]));
}

void frmFlightAddEdit::putItemInCase(qint64 itemId, qint64 caseId) {
    switch (ctx_.items().setCase(itemId, caseId)) {
        case PutInCaseResult::ItemGone:
            ctx_.dialogs().inform(this, itemGoneText(itemId), Dialogs::Icon::Information);
            break;
        case PutInCaseResult::CaseGone:
            tellGone(caseId);
            break;
        case PutInCaseResult::Done:
        case PutInCaseResult::Failed:  // the store has told the user
            break;
    }
    RefreshList();
}

QString frmFlightAddEdit::wheeledText() const {
    return Check2->isChecked() ? QStringLiteral("Yes") : QStringLiteral("No");
}

CaseRecord frmFlightAddEdit::valuesFromBoxes() const {
    CaseRecord values;
    values[CaseColumn::Name] = Text1->text();
    values[CaseColumn::Location] = Text2->text();
    values[CaseColumn::Bought] = Text3->text();
    values[CaseColumn::Notes] = Text4->text();
    values[CaseColumn::Wheeled] = wheeledText();
    return values;
}

// The boxes whose value differs from the case as loaded.
QList<ColumnChange> frmFlightAddEdit::changedColumns() const {
    const CaseRecord now = valuesFromBoxes();
    QList<ColumnChange> changes;
    for (int column = 0; column < kCaseDataColumnCount; ++column) {
        if (now.values[column] != loaded_.values[column])
            changes.append({column, now.values[column], loaded_.values[column]});
    }
    return changes;
}

void frmFlightAddEdit::Command2_Click() {
    saveAndClose();
}

std::optional<qint64> frmFlightAddEdit::insertRecord() {
    return ctx_.cases().insert(valuesFromBoxes());
}

SaveResult frmFlightAddEdit::writeChanges(bool overwrite) {
    return ctx_.cases().update(currentItem, changedColumns(), overwrite);
}

void frmFlightAddEdit::Command3_Click() {
    reject();
}
