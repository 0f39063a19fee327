#include "items/frmItemAddEdit.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "cases/frmFlightPicker.h"
#include "common/Dialogs.h"
#include "common/LabelControls.h"
#include "common/OptionCheckBox.h"
#include "common/PictureBox.h"
#include "common/WindowStyle.h"
#include "data/DetailLines.h"
#include "data/Store.h"
#include "data/TextRules.h"
#include "items/frmDatePicker.h"
#include "locations/frmLocationPicker.h"
#include "printing/PrintService.h"

using WindowStyle::place;

namespace {

enum class EditWay { InputBox, DatePicker, FileDialog, CasePicker, LocationPicker };

struct FieldTest {
    const char* startsWith;
    EditWay way;
    const char* prompt;
};

// Tried in this order; the first whose text starts the line wins.
const FieldTest kFieldTests[] = {
    {"Category", EditWay::InputBox, "Please enter a new Category for this item"},
    {"Description", EditWay::InputBox, "Please enter a new Description for this item"},
    {"Manufacturer", EditWay::InputBox, "Please enter a new Manufacturer for this item"},
    {"Model", EditWay::InputBox, "Please enter a new Model for this item"},
    {"Date of Manufacture", EditWay::DatePicker, nullptr},
    {"Test Interval", EditWay::InputBox, "Please enter a new Test Interval for this item"},
    {"Last Test Date", EditWay::DatePicker, nullptr},
    {"Next Test Date", EditWay::DatePicker, nullptr},
    {"PAT Test", EditWay::FileDialog, nullptr},
    {"Pressure Test", EditWay::FileDialog, nullptr},
    {"Visual Inspection", EditWay::InputBox, "Please enter a new Visual Inspection for this item"},
    {"LOLER Inspection", EditWay::FileDialog, nullptr},
    {"Calibration Certificate", EditWay::FileDialog, nullptr},
    {"Flight Case:", EditWay::CasePicker, nullptr},
    {"Warehouse Location", EditWay::LocationPicker, nullptr},
    {"Notes", EditWay::InputBox, "Please enter a new Note for this item"},
    {"Length", EditWay::InputBox, "Please enter a new Length for this item"},
    {"Serial", EditWay::InputBox, "Please enter a new Serial for this item"},
};

const QList<DetailLines::Field>& fields() {
    return DetailLines::itemEditorFields();
}

}  // namespace

frmItemAddEdit::frmItemAddEdit(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmItemAddEdit"));
    WindowStyle::setUpWindow(this, QStringLiteral("Quarvel - Add/Edit Item"), 8535, 10155);
    buildControls();
    Form_Load();
}

void frmItemAddEdit::buildControls() {
    Label1 = new QLabel(QStringLiteral("Equipment ID:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    place(Label1, 120, 120, 8295, 375);

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("Item details"));
    List1->installEventFilter(this);
    connect(List1, &QListWidget::itemDoubleClicked, this, &frmItemAddEdit::List1_DblClick);
    place(List1, 120, 600, 8295, 8040);

    const LabelControls labels =
        LabelControls::add(this, ctx_.settings(), LabelKind::Item, 8640, 3960, 9000);
    Check1 = labels.Check1;
    Check3 = labels.Check3;
    Picture1 = labels.Picture1;
    Picture2 = labels.Picture2;

    Command4 =
        WindowStyle::addButton(this, "Command4", QStringLiteral("Small"), 3720, 9120, 1095, 975);
    Command1 =
        WindowStyle::addButton(this, "Command1", QStringLiteral("Large"), 4920, 9120, 1095, 975);
    Command2 =
        WindowStyle::addButton(this, "Command2", QStringLiteral("Save"), 6120, 9120, 1095, 975);
    Command3 =
        WindowStyle::addButton(this, "Command3", QStringLiteral("Close"), 7320, 9120, 1095, 975);
    connect(Command4, &QPushButton::clicked, this, &frmItemAddEdit::Command4_Click);
    connect(Command1, &QPushButton::clicked, this, &frmItemAddEdit::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmItemAddEdit::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmItemAddEdit::Command3_Click);
    WindowStyle::makeCancelButton(this, Command3);
    WindowStyle::setTabOrder({List1, Check1, Check3, Command4, Command1, Command2, Command3});
}

void frmItemAddEdit::Form_Load() {
    newItem = false;
    const qint64 id = SharedFields::idOf(ctx_.fields().ItemToOpen);
    const bool loaded = id > 0 ? loadStoredItem(id) : loadNewItem();
    if (!loaded)
        closeOnceShown();
    List1->setFocus();
}

bool frmItemAddEdit::loadStoredItem(qint64 id) {
    const auto rows = ctx_.store().itemsWithId(id);
    if (!rows)
        return false;  // the store has told the user
    if (rows->isEmpty()) {
        ctx_.dialogs().inform(this,
                              QStringLiteral("Item %1 is not in the register any more.").arg(id),
                              Dialogs::Icon::Information);
        return false;
    }
    const ItemRecord& item = rows->first();
    currentItem = item.id.toLongLong();
    Label1->setText(QStringLiteral("Equipment ID: ") + item.id);
    List1->addItems(DetailLines::lines(fields(), item));
    return true;
}

bool frmItemAddEdit::loadNewItem() {
    newItem = true;
    const auto counters = ctx_.store().counters();
    if (!counters)
        return false;
    currentItem = counters->lastId + 1;
    Label1->setText(QStringLiteral("Equipment ID: %1").arg(currentItem));
    ItemRecord blank;
    blank[ItemColumn::CaseId] = QStringLiteral("0");
    List1->addItems(DetailLines::lines(fields(), blank));
    return true;
}

void frmItemAddEdit::closeOnceShown() {
    // The window cannot work without its record: it closes as soon as its
    // caller shows it, leaving everything as it was.
    List1->setEnabled(false);
    Command2->setEnabled(false);
    QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
}

bool frmItemAddEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == List1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            List1_DblClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmItemAddEdit::List1_DblClick() {
    if (!List1->currentItem())
        return;
    selItem = List1->currentItem()->text();
    EditSelectedField();
}

void frmItemAddEdit::EditSelectedField() {
    const int line = List1->currentRow();
    for (const FieldTest& test : kFieldTests) {
        if (!selItem.startsWith(QLatin1String(test.startsWith)))
            continue;
        switch (test.way) {
            case EditWay::InputBox:
                editByInputBox(line, QLatin1String(test.prompt));
                break;
            case EditWay::DatePicker:
                editByDatePicker(line);
                break;
            case EditWay::FileDialog:
                editByFileDialog(line);
                break;
            case EditWay::CasePicker:
                editFlightCase(line);
                break;
            case EditWay::LocationPicker:
                editLocation(line);
                break;
        }
        return;
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
    if (picked != QLatin1String("Blank"))
        rewriteLine(line, picked);
}

ItemWrite frmItemAddEdit::valuesFromLines() const {
    ItemWrite values;
    for (int line = 0; line < fields().size(); ++line) {
        const ItemColumn column = *fields().at(line).column;
        const QString text = currentValue(line);
        const bool numeric = column == ItemColumn::CaseId || column == ItemColumn::Length;
        values[static_cast<std::size_t>(column)] =
            numeric ? QVariant(TextRules::numericValue(text)) : QVariant(text);
    }
    return values;
}

void frmItemAddEdit::Command2_Click() {
    const ItemWrite values = valuesFromLines();
    // On a failure the store has told the user; the window stays open so
    // nothing typed is lost.
    const bool saved = newItem ? ctx_.store().insertItem(values).has_value()
                               : ctx_.store().updateItem(currentItem, values);
    if (saved)
        accept();
}

void frmItemAddEdit::Command3_Click() {
    reject();
}

void frmItemAddEdit::Command1_Click() {
    ctx_.printing().PrintLargeLabel(LabelKind::Item, currentItem, Picture1->pixmap());
}

void frmItemAddEdit::Command4_Click() {
    ctx_.printing().PrintSmallLabel(currentItem, Picture2->pixmap());
}
