#include "lists/ListControls.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>

#include "common/WindowStyle.h"
#include "resources/Pictures.h"

using WindowStyle::place;

ListControls ListControls::add(QDialog* window, const char* linesName) {
    ListControls c;
    c.Label1 = new QLabel(QStringLiteral("Name"), window);
    c.Label1->setObjectName(QStringLiteral("Label1"));
    place(c.Label1, 120, 120, 2400, 300);

    c.txtName = new QLineEdit(window);
    c.txtName->setObjectName(QStringLiteral("txtName"));
    c.txtName->setAccessibleName(c.Label1->text());
    c.txtName->setAccessibleDescription(QStringLiteral("The name of the picking list"));
    c.Label1->setBuddy(c.txtName);
    place(c.txtName, 120, 420, 7095, 420);

    c.Label4 = new QLabel(QStringLiteral("Items on List"), window);
    c.Label4->setObjectName(QStringLiteral("Label4"));
    place(c.Label4, 120, 960, 2400, 300);

    c.lines = new RecordList(RecordList::Lines::IdAndText, c.Label4->text(), window);
    c.lines->setObjectName(QLatin1String(linesName));
    c.Label4->setBuddy(c.lines);
    place(c.lines, 120, 1260, 7095, 4800);

    c.Picture1 = new QLabel(window);
    c.Picture1->setObjectName(QStringLiteral("Picture1"));
    c.Picture1->setPixmap(Pictures::largeLogo());
    c.Picture1->setAccessibleName(QStringLiteral("Quarvel logo"));
    place(c.Picture1, 120, 6780, 3210, 1065);
    return c;
}
