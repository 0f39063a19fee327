#include "items/frmItemPicker.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "common/WindowStyle.h"
#include "data/ItemStore.h"
#include "data/rules/TextRules.h"

frmItemPicker::frmItemPicker(AppContext& ctx, QWidget* parent)
    : PickerWindow(ctx,
                   {"frmItemPicker", QStringLiteral("Item Picker"), 7200, 7935,
                    QStringLiteral("Please Select the Item from the List Below."),
                    RecordList::Lines::IdAndText, QStringLiteral("Items"), 6330},
                   parent) {
    pickOnDoubleClick();
    addFindBox();
    // The box follows the list, so Tab from Close still lands in the list.
    WindowStyle::setTabOrder({List1, txtFind, Command2, Command3});
    Form_Load();
}

// The box sits above the list, which gives up its top to it; the window
// keeps its size. It has the focus first, so a scanner can type at once.
void frmItemPicker::addFindBox() {
    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setAccessibleName(QStringLiteral("Find"));
    txtFind->setPlaceholderText(QStringLiteral("Find"));
    WindowStyle::place(txtFind, 120, 480, 6975, 405);
    WindowStyle::place(List1, 120, 960, 6975, 5850);
    txtFind->installEventFilter(this);
    connect(txtFind, &QLineEdit::textChanged, this, &frmItemPicker::txtFind_Change);
    txtFind->setFocus();
}

void frmItemPicker::Form_Load() {
    ThisItem = 0;
    // On a failed read the store has told the user; the list stays empty.
    if (auto items = ctx_.items().all())
        List1->setRows(std::move(*items));
}

// "12 - Cable - 5 m": the id is before the first hyphen, the description
// everything after the " - " that follows the id.
void frmItemPicker::lineChosen(const std::optional<QString>& selected) {
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

void frmItemPicker::txtFind_Change() {
    List1->setFilter(txtFind->text());
}

bool frmItemPicker::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtFind && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier)
            return txtFind_KeyDown(key->key());
    }
    return QDialog::eventFilter(watched, event);
}

bool frmItemPicker::txtFind_KeyDown(int key) {
    switch (key) {
        case Qt::Key_Down:
        case Qt::Key_Up:
        case Qt::Key_PageDown:
            moveIntoList(key);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Taken here, so Enter never reaches a button of the window.
            pickFoundLine();
            return true;
        default:
            return false;
    }
}

// The first key selects the first line; once a line is selected the list
// moves on from it as if the key had been pressed there.
void frmItemPicker::moveIntoList(int key) {
    if (List1->count() == 0)
        return;
    List1->setFocus();
    if (List1->selectedLine() < 0) {
        List1->selectLine(0);
        return;
    }
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(List1, &press);
}

// One line left is the answer. A scanner types a whole id and Enter, but the
// id 12 also finds 112 and descriptions holding "12": then the line whose id
// is exactly the typed text is the answer, when there is one.
void frmItemPicker::pickFoundLine() {
    int line = List1->count() == 1 ? 0 : -1;
    if (line < 0) {
        const QString typed = txtFind->text();
        bool isNumber = false;
        const qint64 id = typed.toLongLong(&isNumber);
        if (isNumber && QString::number(id) == typed)
            line = List1->lineOfId(id);
    }
    if (line < 0)
        return;
    List1->selectLine(line);
    List1_DblClick();
}

void frmItemPicker::handOverChoice() {
    ctx_.fields().ItemToPick = ThisItem;
    ctx_.fields().ItemToPickDesc = ThisItemDesc;
}

void frmItemPicker::handOverNoChoice() {
    ctx_.fields().ItemToPick = 0;
}
