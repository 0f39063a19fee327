#include "lists/ListControls.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>

#include "app/AppContext.h"
#include "common/WindowStyle.h"
#include "data/ListStore.h"
#include "resources/Pictures.h"

using WindowStyle::place;

namespace {

// How many ids the summary under the list box names before "and n more".
constexpr int kIdsNamed = 10;

QString idsText(const QList<qint64>& ids) {
    QStringList named;
    for (int i = 0; i < ids.size() && i < kIdsNamed; ++i)
        named << QString::number(ids[i]);
    QString text = named.join(QStringLiteral(", "));
    if (ids.size() > kIdsNamed)
        text += QStringLiteral(" and %1 more").arg(ids.size() - kIdsNamed);
    return text;
}

}  // namespace

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
    place(c.Label4, 120, 1800, 2400, 300);

    c.lines = new RecordList(RecordList::Lines::IdAndText, c.Label4->text(), window);
    c.lines->setObjectName(QLatin1String(linesName));
    c.Label4->setBuddy(c.lines);
    place(c.lines, 120, 2100, 7095, 4320);

    c.lblMarks = new QLabel(window);
    c.lblMarks->setObjectName(QStringLiteral("lblMarks"));
    c.lblMarks->setWordWrap(true);
    c.lblMarks->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(c.lblMarks, 120, 6450, 7095, 600);

    c.Picture1 = new QLabel(window);
    c.Picture1->setObjectName(QStringLiteral("Picture1"));
    c.Picture1->setPixmap(Pictures::largeLogo());
    c.Picture1->setAccessibleName(QStringLiteral("Quarvel logo"));
    place(c.Picture1, 120, 7680, 3210, 1065);
    return c;
}

void ListControls::showMarks(AppContext& ctx, qint64 listId) const {
    // On a failed read the store has told the user; the lines go unmarked.
    const QList<Clash> clashes = ctx.lists().clashingLines(listId).value_or(QList<Clash>());
    const QList<qint64> due = ctx.lists().linesDueWhileOut(listId).value_or(QList<qint64>());

    QHash<std::int64_t, QString> notes;
    QList<qint64> booked;
    for (const Clash& clash : clashes) {
        QString& note = notes[clash.itemId];
        if (note.isEmpty())
            booked << clash.itemId;
        else
            note += QStringLiteral(" and ");
        note += Bookings::bookedWithNameText(clash.other);
    }
    for (const qint64 id : due) {
        QString& note = notes[id];
        note += note.isEmpty() ? QStringLiteral("due for test while out")
                               : QStringLiteral("; due for test while out");
    }
    lines->setNotes(std::move(notes));

    QStringList summary;
    if (!booked.isEmpty())
        summary << QStringLiteral("! Booked on other lists too: ") + idsText(booked);
    if (!due.isEmpty())
        summary << QStringLiteral("! Due for test while out: ") + idsText(due);
    lblMarks->setText(summary.join(QLatin1Char('\n')));
}
