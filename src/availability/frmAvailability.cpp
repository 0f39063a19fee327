#include "availability/frmAvailability.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>

#include "availability/BookingTimeline.h"
#include "common/Clock.h"
#include "common/Dialogs.h"
#include "common/WindowStyle.h"
#include "data/ItemStore.h"
#include "data/TestRecordStore.h"
#include "lists/frmListView.h"

using WindowStyle::place;

namespace {

constexpr int kDaysShownAtFirst = 28;

QDateEdit* addDate(QWidget* parent, const char* name, const QString& caption) {
    auto* date = new QDateEdit(parent);
    date->setObjectName(QLatin1String(name));
    date->setAccessibleName(caption);
    date->setDisplayFormat(QStringLiteral("d/M/yyyy"));
    date->setCalendarPopup(true);
    // The text inside is what a screen reader lands on.
    if (auto* text = date->findChild<QLineEdit*>())
        text->setAccessibleName(caption);
    return date;
}

QLabel* addCaption(QWidget* parent, const char* name, const QString& caption, QWidget* buddy) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setBuddy(buddy);
    return label;
}

// "3", "L3" or "l3": the list number typed; 0 for anything else.
qint64 listNumberOf(const QString& typed) {
    static const QRegularExpression number(QStringLiteral("^\\s*[Ll]?\\s*(\\d{1,15})\\s*$"));
    const QRegularExpressionMatch m = number.match(typed);
    return m.hasMatch() ? m.captured(1).toLongLong() : 0;
}

QString itemsText(qint64 n) {
    return n == 1 ? QStringLiteral("1 item") : QStringLiteral("%L1 items").arg(n);
}

}  // namespace

frmAvailability::frmAvailability(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmAvailability"));
    WindowStyle::setUpWindow(this, QStringLiteral("Availability"), 13200, 8955);
    buildControls();
    Form_Load();
}

void frmAvailability::buildControls() {
    dtpFrom = addDate(this, "dtpFrom", QStringLiteral("From"));
    dtpTo = addDate(this, "dtpTo", QStringLiteral("To"));
    lblFrom = addCaption(this, "lblFrom", QStringLiteral("&From"), dtpFrom);
    lblTo = addCaption(this, "lblTo", QStringLiteral("&To"), dtpTo);
    place(lblFrom, 120, 120, 720, 405);
    place(dtpFrom, 840, 120, 1800, 405);
    place(lblTo, 2760, 120, 480, 405);
    place(dtpTo, 3240, 120, 1800, 405);

    cboCategory = new QComboBox(this);
    cboCategory->setObjectName(QStringLiteral("cboCategory"));
    cboCategory->setAccessibleName(QStringLiteral("Category"));
    place(cboCategory, 5160, 120, 2640, 405);
    cboList = new QComboBox(this);
    cboList->setObjectName(QStringLiteral("cboList"));
    cboList->setAccessibleName(QStringLiteral("List"));
    place(cboList, 7920, 120, 3240, 405);
    chkFreeOnly = new QCheckBox(QStringLiteral("Free &only"), this);
    chkFreeOnly->setObjectName(QStringLiteral("chkFreeOnly"));
    chkFreeOnly->setAccessibleName(QStringLiteral("Free only"));
    chkFreeOnly->setAccessibleDescription(
        QStringLiteral("Only the items no confirmed or out list books on any of these days"));
    place(chkFreeOnly, 11280, 120, 1800, 405);

    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    place(lblCount, 120, 645, 12960, 345);

    Timeline1 = new BookingTimeline(ctx_, this);
    Timeline1->setObjectName(QStringLiteral("Timeline1"));
    Timeline1->setFont(WindowStyle::tahoma(8));
    place(Timeline1, 120, 1080, 12960, 6600);
    connect(Timeline1, &BookingTimeline::barActivated, this, &frmAvailability::Timeline1_BarClick);

    cmdAddToList = WindowStyle::addButton(this, "cmdAddToList", QStringLiteral("Add to List"), 120,
                                          7860, 1800, 975);
    cmdAddToList->setAccessibleDescription(QStringLiteral("Put the free items shown on a list"));
    cmdClose =
        WindowStyle::addButton(this, "cmdClose", QStringLiteral("Close"), 11985, 7860, 1095, 975);
    connect(cmdAddToList, &QPushButton::clicked, this, &frmAvailability::cmdAddToList_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmAvailability::cmdClose_Click);
    WindowStyle::makeCancelButton(this, cmdClose);
    WindowStyle::setTabOrder(
        {dtpFrom, dtpTo, cboCategory, cboList, chkFreeOnly, Timeline1, cmdAddToList, cmdClose});
}

void frmAvailability::Form_Load() {
    const QDate today = ctx_.clock().today();
    {
        const QSignalBlocker blockFrom(dtpFrom), blockTo(dtpTo);
        dtpFrom->setDate(today);
        dtpTo->setDate(today.addDays(kDaysShownAtFirst - 1));
    }
    fillChoices();
    for (QDateEdit* date : {dtpFrom, dtpTo})
        connect(date, &QDateEdit::dateChanged, this, &frmAvailability::Filter_Change);
    for (QComboBox* box : {cboCategory, cboList})
        connect(box, &QComboBox::currentIndexChanged, this, &frmAvailability::Filter_Change);
    connect(chkFreeOnly, &QCheckBox::toggled, this, &frmAvailability::Filter_Change);
    Filter_Change();
    Timeline1->setFocus();
}

// On a failed read the store has told the user; the choice offers the rest.
void frmAvailability::fillChoices() {
    cboCategory->addItem(QStringLiteral("All categories"));
    if (const auto categories = ctx_.items().categories()) {
        for (const QString& category : *categories)
            cboCategory->addItem(category, category);
    }
    cboList->addItem(QStringLiteral("Any list"), qint64(0));
    if (const auto lists = ctx_.lists().all()) {
        for (std::size_t i = 0; i < lists->size(); ++i)
            cboList->addItem(QStringLiteral("%1 - %2").arg(lists->ids[i]).arg(lists->texts.text(i)),
                             qint64(lists->ids[i]));
    }
}

AvailabilityFilter frmAvailability::currentFilter() const {
    AvailabilityFilter filter;
    filter.from = dtpFrom->date();
    filter.to = dtpTo->date();
    if (cboCategory->currentIndex() > 0)
        filter.category = cboCategory->currentData().toString();
    filter.listId = cboList->currentData().toLongLong();
    filter.freeOnly = chkFreeOnly->isChecked();
    return filter;
}

void frmAvailability::Filter_Change() {
    const AvailabilityFilter filter = currentFilter();
    Timeline1->setFilter(filter);
    if (filter.from > filter.to)
        lblCount->setText(QStringLiteral("The To date is before the From date."));
    else
        lblCount->setText(
            QStringLiteral("%1 %2 from %3 to %4")
                .arg(itemsText(Timeline1->rowCount()),
                     filter.freeOnly ? QStringLiteral("free") : QStringLiteral("shown"),
                     Bookings::dateText(filter.from), Bookings::dateText(filter.to)));
    lblCount->setAccessibleName(lblCount->text());
    cmdAddToList->setEnabled(filter.freeOnly && Timeline1->rowCount() > 0);
}

// The list may have been changed from its viewer: the bookings are read again.
void frmAvailability::Timeline1_BarClick(qint64 listId) {
    if (AppContext::isWindowOpen(QStringLiteral("frmListView")))
        return;
    ctx_.fields().ListToOpen = listId;
    frmListView viewer(ctx_, this);
    viewer.exec();
    const qint64 row = Timeline1->verticalScrollBar()->value();
    Timeline1->setFilter(currentFilter());
    Timeline1->verticalScrollBar()->setValue(static_cast<int>(row));
}

void frmAvailability::cmdAddToList_Click() {
    const AvailabilityFilter filter = currentFilter();
    const qint64 shown = Timeline1->rowCount();
    if (!filter.freeOnly || shown == 0)
        return;
    if (shown > kMostToAdd) {
        ctx_.dialogs().inform(this,
                              QStringLiteral("%1 are free. Narrow the choice to at most %L2 items "
                                             "to add them to a list in one step.")
                                  .arg(itemsText(shown))
                                  .arg(kMostToAdd));
        return;
    }
    const qint64 listId = askForList(shown);
    if (listId == 0)
        return;
    const std::optional<IdTextRows> items =
        ctx_.lists().availabilityPage(filter, 0, static_cast<int>(shown));
    if (!items)
        return;  // the store has told the user
    const Added added = addItems(listId, *items);
    if (!added.stopped) {
        QString told =
            QStringLiteral("%1 added to list %2.").arg(itemsText(added.added)).arg(listId);
        if (added.onListAlready > 0)
            told += QStringLiteral(" %1 already on it.").arg(itemsText(added.onListAlready));
        if (added.leftOut > 0)
            told += QStringLiteral(" %1 left out.").arg(itemsText(added.leftOut));
        ctx_.dialogs().inform(this, told);
    }
    Filter_Change();
}

qint64 frmAvailability::askForList(qint64 items) {
    const QString typed = ctx_.dialogs().inputBox(
        this,
        QStringLiteral("Add the %1 shown to which list? Type its number:").arg(itemsText(items)),
        QString());
    if (typed.trimmed().isEmpty())
        return 0;
    const qint64 listId = listNumberOf(typed);
    const std::optional<bool> exists =
        listId > 0 ? ctx_.lists().exists(listId) : std::optional<bool>(false);
    if (!exists)
        return 0;  // the store has told the user
    if (!*exists) {
        ctx_.dialogs().inform(this, QStringLiteral("There is no list %1.").arg(typed.trimmed()),
                              Dialogs::Icon::Warning);
        return 0;
    }
    return listId;
}

// Every item is added or told of: items that need a test and items booked
// elsewhere over the list's days are each asked about once, as a whole,
// and stay off the list unless the answer is Yes.
frmAvailability::Added frmAvailability::addItems(qint64 listId, const IdTextRows& items) {
    Added result;
    QStringList needTest;
    std::vector<std::size_t> goOut, needingTest;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto due = ctx_.tests().itemDue(items.ids[i], ctx_.testWindow());
        const QString question = due ? TestsDue::goingOutQuestion(items.ids[i], *due) : QString();
        if (question.isEmpty()) {
            goOut.push_back(i);
        } else {
            needingTest.push_back(i);
            needTest << question.left(question.lastIndexOf(QStringLiteral(". Add it anyway?")));
        }
    }
    if (!needTest.isEmpty()) {
        const QString question = QStringLiteral("These items need a test:\n%1\nAdd them anyway?")
                                     .arg(needTest.join(QLatin1Char('\n')));
        if (ctx_.dialogs().askYesNoDefaultNo(this, question, Dialogs::Icon::Warning))
            goOut.insert(goOut.end(), needingTest.begin(), needingTest.end());
        else
            result.leftOut += qint64(needingTest.size());
    }

    QStringList bookedText;
    std::vector<std::size_t> booked;
    const auto add = [&](std::size_t i, bool acceptBooking) {
        QList<Booking> bookings;
        const QString desc = items.texts.text(i);
        switch (ctx_.lists().addLine(listId, items.ids[i], desc, acceptBooking, &bookings)) {
            case AddLineResult::Added:
                ++result.added;
                return true;
            case AddLineResult::AlreadyOnList:
                ++result.onListAlready;
                return true;
            case AddLineResult::Booked: {
                booked.push_back(i);
                QStringList where;
                for (const Booking& b : bookings)
                    where << Bookings::bookedWithNameText(b);
                bookedText << QStringLiteral("Item %1 %2: %3")
                                  .arg(items.ids[i])
                                  .arg(desc, where.join(QStringLiteral(" and on ")));
                return true;
            }
            case AddLineResult::ListGone:
                ctx_.dialogs().inform(this,
                                      QStringLiteral("List %1 no longer exists.").arg(listId));
                break;
            case AddLineResult::Failed:  // the store has told the user
                break;
        }
        result.stopped = true;
        return false;
    };
    for (const std::size_t i : goOut) {
        if (!add(i, false))
            return result;
    }
    if (booked.empty())
        return result;
    const QString question = QStringLiteral(
                                 "These items are booked elsewhere over the days of list %1:\n%2\n"
                                 "Add them anyway?")
                                 .arg(listId)
                                 .arg(bookedText.join(QLatin1Char('\n')));
    if (!ctx_.dialogs().askYesNoDefaultNo(this, question, Dialogs::Icon::Warning)) {
        result.leftOut += qint64(booked.size());
        return result;
    }
    for (const std::size_t i : std::vector<std::size_t>(booked)) {
        if (!add(i, true))
            return result;
    }
    return result;
}

void frmAvailability::cmdClose_Click() {
    reject();
}
