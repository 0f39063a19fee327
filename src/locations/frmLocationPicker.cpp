#include "locations/frmLocationPicker.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include "common/Dialogs.h"
#include "common/WindowStyle.h"
#include "data/Store.h"
#include "resources/Pictures.h"

using WindowStyle::place;

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
    Label1 = new QLabel(QStringLiteral("Please Select the Location from the List Below."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    place(Label1, 120, 120, 5295, 375);

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("Locations"));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setSortingEnabled(false);
    // Any change of the selection, by mouse or by a key typed in the list.
    connect(List1, &QListWidget::itemClicked, this, &frmLocationPicker::List1_Click);
    connect(List1, &QListWidget::currentRowChanged, this, &frmLocationPicker::List1_Click);
    connect(List1, &QListWidget::itemSelectionChanged, this, &frmLocationPicker::List1_Click);
    place(List1, 120, 480, 6975, 5730);

    cmdAdd = new QPushButton(QStringLiteral("Add"), this);
    cmdAdd->setObjectName(QStringLiteral("cmdAdd"));
    cmdAdd->setAutoDefault(false);
    connect(cmdAdd, &QPushButton::clicked, this, &frmLocationPicker::cmdAdd_Click);
    place(cmdAdd, 120, 6300, 1215, 435);

    cmdDel = new QPushButton(QStringLiteral("Delete"), this);
    cmdDel->setObjectName(QStringLiteral("cmdDel"));
    cmdDel->setAutoDefault(false);
    cmdDel->setEnabled(false);
    connect(cmdDel, &QPushButton::clicked, this, &frmLocationPicker::cmdDel_Click);
    place(cmdDel, 1440, 6300, 1215, 435);

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(Pictures::largeLogo());
    place(Picture1, 120, 6840, 3210, 1065);

    Command2 = new QPushButton(QStringLiteral("Save"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setAutoDefault(false);
    connect(Command2, &QPushButton::clicked, this, &frmLocationPicker::Command2_Click);
    place(Command2, 4800, 6840, 1095, 975);

    Command3 = new QPushButton(QStringLiteral("Close"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setAutoDefault(false);
    connect(Command3, &QPushButton::clicked, this, &frmLocationPicker::Command3_Click);
    place(Command3, 6000, 6840, 1095, 975);
    WindowStyle::makeCancelButton(this, Command3);

    setTabOrder(List1, cmdAdd);
    setTabOrder(cmdAdd, cmdDel);
    setTabOrder(cmdDel, Command2);
    setTabOrder(Command2, Command3);
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
