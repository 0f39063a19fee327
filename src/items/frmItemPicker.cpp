#include "items/frmItemPicker.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "common/WindowStyle.h"
#include "data/Store.h"
#include "data/TextRules.h"
#include "resources/Pictures.h"

using WindowStyle::place;

frmItemPicker::frmItemPicker(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmItemPicker"));
    WindowStyle::setUpWindow(this, QStringLiteral("Item Picker"), 7200, 7935);
    buildControls();
    Form_Load();
}

void frmItemPicker::buildControls() {
    Label1 = new QLabel(QStringLiteral("Please Select the Item from the List Below."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    place(Label1, 120, 120, 5295, 375);

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("Items"));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setSortingEnabled(false);
    connect(List1, &QListWidget::itemClicked, this, &frmItemPicker::List1_Click);
    connect(List1, &QListWidget::currentRowChanged, this, &frmItemPicker::List1_Click);
    connect(List1, &QListWidget::itemSelectionChanged, this, &frmItemPicker::List1_Click);
    connect(List1, &QListWidget::itemDoubleClicked, this, &frmItemPicker::List1_DblClick);
    place(List1, 120, 480, 6975, 6330);

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(Pictures::largeLogo());
    place(Picture1, 120, 6840, 3210, 1065);

    Command2 = new QPushButton(QStringLiteral("Save"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setAutoDefault(false);
    connect(Command2, &QPushButton::clicked, this, &frmItemPicker::Command2_Click);
    place(Command2, 4800, 6840, 1095, 975);

    Command3 = new QPushButton(QStringLiteral("Close"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setAutoDefault(false);
    connect(Command3, &QPushButton::clicked, this, &frmItemPicker::Command3_Click);
    place(Command3, 6000, 6840, 1095, 975);
    WindowStyle::makeCancelButton(this, Command3);

    setTabOrder(List1, Command2);
    setTabOrder(Command2, Command3);
}

void frmItemPicker::Form_Load() {
    ThisItem = 0;
    // On a failed read the store has told the user; the list stays empty.
    const auto items = ctx_.store().allItems();
    if (!items)
        return;
    for (const IdText& item : *items)
        List1->addItem(TextRules::listLine(item.id, item.text));
}

// "12 - Cable - 5 m": the id is before the first hyphen, the description
// everything after the " - " that follows the id.
void frmItemPicker::List1_Click() {
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    if (selected.isEmpty())
        return;
    const QString line = selected.first()->text();
    const qsizetype hyphen = line.indexOf(u'-');
    if (hyphen < 0)
        return;
    ThisItem = static_cast<qint64>(TextRules::numericValue(line.left(hyphen)));
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
