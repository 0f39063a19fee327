#include "common/PickerControls.h"

#include "resources/Pictures.h"

using WindowStyle::place;

PickerControls PickerControls::add(QDialog* window, const QString& instruction,
                                   RecordList::Lines lines, const QString& listName,
                                   int listHeightTwips) {
    PickerControls c;
    c.Label1 = new QLabel(instruction, window);
    c.Label1->setObjectName(QStringLiteral("Label1"));
    place(c.Label1, 120, 120, 5295, 375);

    c.List1 = new RecordList(lines, listName, window);
    c.List1->setObjectName(QStringLiteral("List1"));
    place(c.List1, 120, 480, 6975, listHeightTwips);

    c.Picture1 = new QLabel(window);
    c.Picture1->setObjectName(QStringLiteral("Picture1"));
    c.Picture1->setPixmap(Pictures::largeLogo());
    c.Picture1->setAccessibleName(QStringLiteral("Quarvel logo"));
    place(c.Picture1, 120, 6840, 3210, 1065);

    c.Command2 =
        WindowStyle::addButton(window, "Command2", QStringLiteral("Save"), 4800, 6840, 1095, 975);
    c.Command3 =
        WindowStyle::addButton(window, "Command3", QStringLiteral("Close"), 6000, 6840, 1095, 975);
    return c;
}
