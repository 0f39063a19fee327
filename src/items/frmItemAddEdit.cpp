#include "items/frmItemAddEdit.h"

#include <QLabel>
#include <QPushButton>

#include "cases/frmFlightPicker.h"
#include "common/DetailList.h"
#include "common/Dialogs.h"
#include "common/LabelPanel.h"
#include "common/OptionCheckBox.h"
#include "common/WindowStyle.h"
#include "data/ItemStore.h"
#include "data/rules/DetailLines.h"
#include "data/rules/TextRules.h"
#include "items/frmDatePicker.h"
#include "locations/frmLocationPicker.h"

using WindowStyle::place;

namespace {

const QList<DetailLines::Field>& fields() {
    return DetailLines::itemEditorFields();
}

bool isNumberColumn(ItemColumn column) {
    return kItemColumns[static_cast<int>(column)].type == ColumnType::Number;
}

}  // namespace

const RecordEditor::Kind frmItemAddEdit::kKind{
    .table = RecordTable::Items,
    .toOpen = &SharedFields::ItemToOpen,
    .name = "Item %1",
    .noun = "item",
    .gone = "Item %1 is not in the register any more.",
    .hasLabels = true,
};

frmItemAddEdit::frmItemAddEdit(AppContext& ctx, QWidget* parent)
    : RecordEditor(ctx, kKind, parent) {
    setObjectName(QStringLiteral("frmItemAddEdit"));
    WindowStyle::setUpWindow(this, QStringLiteral("Quarvel - Add/Edit Item"), 8535, 10155);
    buildControls();
    Form_Load();
}

void frmItemAddEdit::buildControls() {
    Label1 = new QLabel(QStringLiteral("Equipment ID:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    place(Label1, 120, 120, 8295, 375);

    List1 = new DetailList(QStringLiteral("Item details"), this);
    List1->setObjectName(QStringLiteral("List1"));
    connect(List1, &DetailList::lineDoubleClicked, this, &frmItemAddEdit::List1_DblClick);
    place(List1, 120, 600, 8295, 8040);

    labels_ = new LabelPanel(this, ctx_.settings(), ctx_.printing(), LabelKind::Item,
                             [this] { return currentItem; },
                             {.checksTop = 8640, .check3Left = 4080, .pictureTop = 9000});
    labels_->addButtons(3720, 9120, 1095);
    Command2 =
        WindowStyle::addButton(this, "Command2", QStringLiteral("Save"), 6120, 9120, 1095, 975);
    Command3 =
        WindowStyle::addButton(this, "Command3", QStringLiteral("Close"), 7320, 9120, 1095, 975);
    connect(Command2, &QPushButton::clicked, this, &frmItemAddEdit::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmItemAddEdit::Command3_Click);
    WindowStyle::makeCancelButton(this, Command3);
    WindowStyle::setTabOrder({List1, labels_->Check1, labels_->Check3, labels_->Command4,
                              labels_->Command1, Command2, Command3});
}

void frmItemAddEdit::Form_Load() {
    loadRecord();
    List1->setFocus();
}

bool frmItemAddEdit::loadStored(qint64 id) {
    const auto item = storedRow(ctx_.items().withId(id), id);
    if (!item)
        return false;
    loaded_ = *item;
    currentItem = item->id.toLongLong();
    Label1->setText(QStringLiteral("Equipment ID: ") + item->id);
    List1->addItems(DetailLines::lines(fields(), *item));
    return true;
}

void frmItemAddEdit::showNew() {
    Label1->setText(QStringLiteral("Equipment ID: %1").arg(currentItem));
    ItemRecord blank;
    blank[ItemColumn::CaseId] = QStringLiteral("0");
    List1->addItems(DetailLines::lines(fields(), blank));
}

void frmItemAddEdit::List1_DblClick() {
    if (!List1->currentItem())
        return;
    selItem = List1->currentItem()->text();
    EditSelectedField();
}

void frmItemAddEdit::EditSelectedField() {
    // The lines never move, so the selected line names its field.
    const int line = List1->currentRow();
    if (line < 0 || !selItem.startsWith(fields().at(line).caption))
        return;
    const DetailLines::ItemField& field = DetailLines::itemEditorField(line);
    // The kind of value the field holds says how it is asked for.
    switch (field.kind()) {
        case ColumnKind::Text:
        case ColumnKind::Number:
            editByInputBox(line, field.prompt());
            break;
        case ColumnKind::Date:
            editByDatePicker(line);
            break;
        case ColumnKind::File:
            editByFileDialog(line);
            break;
        case ColumnKind::Case:
            editFlightCase(line);
            break;
        case ColumnKind::Location:
            editLocation(line);
            break;
    }
}

QString frmItemAddEdit::currentValue(int line) const {
    return List1->item(line)->text().mid(fields().at(line).caption.size());
}

void frmItemAddEdit::rewriteLine(int line, const QString& value) {
    List1->item(line)->setText(fields().at(line).caption + value);
}

void frmItemAddEdit::editByInputBox(int line, const QString& prompt) {
    const QString current = currentValue(line);
    const QString answer = ctx_.dialogs().inputBox(this, prompt, current);
    if (!answer.isEmpty() && answer != current)
        rewriteLine(line, answer);
}

void frmItemAddEdit::editByFileDialog(int line) {
    // The dialog starts on the last file chosen in this window. Cancel
    // changes nothing.
    const QString chosen = ctx_.dialogs().openFileName(this, lastChosenFile_);
    if (chosen.isEmpty())
        return;
    lastChosenFile_ = chosen;
    if (chosen != currentValue(line))
        rewriteLine(line, chosen);
}

void frmItemAddEdit::editByDatePicker(int line) {
    // A picker closed without Save keeps the date the line already had.
    frmDatePicker picker(ctx_, this);
    if (picker.exec() != QDialog::Accepted)
        return;
    rewriteLine(line, ctx_.fields().DateToPick.toString());
}

void frmItemAddEdit::editFlightCase(int line) {
    ctx_.fields().CaseToPick = currentValue(line);
    frmFlightPicker picker(ctx_, this);
    picker.exec();
    rewriteLine(line, ctx_.fields().CaseToPick.toString());
}

void frmItemAddEdit::editLocation(int line) {
    frmLocationPicker picker(ctx_, this);
    picker.exec();
    const QString picked = ctx_.fields().LocationToPick.toString();
    if (picked != kNoLocationChosen)
        rewriteLine(line, picked);
}

QVariant frmItemAddEdit::valueOfLine(int line) const {
    const QString text = currentValue(line);
    return isNumberColumn(*fields().at(line).column) ? QVariant(TextRules::numericValue(text))
                                                     : QVariant(text);
}

ItemWrite frmItemAddEdit::valuesFromLines() const {
    ItemWrite values;
    for (int line = 0; line < fields().size(); ++line)
        values[static_cast<std::size_t>(*fields().at(line).column)] = valueOfLine(line);
    return values;
}

// The lines whose value differs from the record as loaded.
QList<ColumnChange> frmItemAddEdit::changedColumns() const {
    QList<ColumnChange> changes;
    for (int line = 0; line < fields().size(); ++line) {
        const ItemColumn column = *fields().at(line).column;
        if (currentValue(line) != loaded_[column])
            changes.append({static_cast<int>(column), valueOfLine(line), loaded_[column]});
    }
    return changes;
}

void frmItemAddEdit::Command2_Click() {
    saveAndClose();
}

std::optional<qint64> frmItemAddEdit::insertRecord() {
    return ctx_.items().insert(valuesFromLines());
}

SaveResult frmItemAddEdit::writeChanges(bool overwrite) {
    return ctx_.items().update(currentItem, changedColumns(), overwrite);
}

void frmItemAddEdit::Command3_Click() {
    reject();
}
