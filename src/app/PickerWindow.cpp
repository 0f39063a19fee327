#include "app/PickerWindow.h"

#include <QLabel>
#include <QPushButton>

#include "common/WindowStyle.h"
#include "resources/Pictures.h"

using WindowStyle::place;

PickerWindow::PickerWindow(AppContext& ctx, const Layout& layout, QWidget* parent)
    : QDialog(parent), ctx_(ctx) {
    setObjectName(QLatin1String(layout.objectName));
    WindowStyle::setUpWindow(this, layout.title, layout.widthTwips, layout.heightTwips);

    Label1 = new QLabel(layout.instruction, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    place(Label1, 120, 120, 5295, 375);

    List1 = new RecordList(layout.lines, layout.listName, this);
    List1->setObjectName(QStringLiteral("List1"));
    place(List1, 120, 480, 6975, layout.listHeightTwips);

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(Pictures::largeLogo());
    Picture1->setAccessibleName(QStringLiteral("Quarvel logo"));
    place(Picture1, 120, 6840, 3210, 1065);

    Command2 =
        WindowStyle::addButton(this, "Command2", QStringLiteral("Save"), 4800, 6840, 1095, 975);
    Command3 =
        WindowStyle::addButton(this, "Command3", QStringLiteral("Close"), 6000, 6840, 1095, 975);

    connect(List1, &RecordList::lineClicked, this, &PickerWindow::List1_Click);
    connect(Command2, &QPushButton::clicked, this, &PickerWindow::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &PickerWindow::Command3_Click);
    WindowStyle::makeCancelButton(this, Command3);
}

void PickerWindow::pickOnDoubleClick() {
    connect(List1, &RecordList::lineDoubleClicked, this, &PickerWindow::List1_DblClick);
}

void PickerWindow::List1_Click() {
    lineChosen(List1->selectedText());
}

void PickerWindow::List1_DblClick() {
    List1_Click();
    Command2_Click();
}

void PickerWindow::Command2_Click() {
    handOverChoice();
    accept();
}

void PickerWindow::Command3_Click() {
    handOverNoChoice();
    QDialog::reject();
}

void PickerWindow::reject() {
    Command3_Click();
}
