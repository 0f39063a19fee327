#include "items/frmDatePicker.h"

#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QEvent>
#include <QPushButton>
#include <QToolButton>

#include "common/Clock.h"
#include "common/WindowStyle.h"
#include "data/rules/TextRules.h"

using WindowStyle::place;

namespace {

// The calendar's own parts, found by the names Qt gives them: what screen
// readers call them, and what else they say. The month and year buttons are
// named by the month and year they show.
struct CalendarPart {
    const char* objectName;
    const char* accessibleName;
    const char* description;
};

const CalendarPart kCalendarParts[] = {
    {"qt_calendar_calendarview", "Days of the month", "Enter picks the day"},
    {"qt_calendar_prevmonth", "Previous month", ""},
    {"qt_calendar_nextmonth", "Next month", ""},
    {"qt_calendar_monthbutton", "", "Choose the month"},
    {"qt_calendar_yearbutton", "", "Choose the year"},
    {"qt_calendar_yearedit", "Year", ""},
};

}  // namespace

frmDatePicker::frmDatePicker(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmDatePicker"));
    WindowStyle::setUpWindow(this, QStringLiteral("Please Select The Date"), 3750, 4080);
    buildControls();
    Form_Load();
}

void frmDatePicker::buildControls() {
    MonthView1 = new QCalendarWidget(this);
    MonthView1->setObjectName(QStringLiteral("MonthView1"));
    MonthView1->setAccessibleName(QStringLiteral("Date"));
    MonthView1->setFont(WindowStyle::tahoma(12));
    MonthView1->setSelectionMode(QCalendarWidget::SingleSelection);
    MonthView1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    // Dates travel as text with a four-digit year.
    MonthView1->setDateRange(QDate(1000, 1, 1), QDate(9999, 12, 31));
    // Enter picks the date under the cursor.
    connect(MonthView1, &QCalendarWidget::activated, this, &frmDatePicker::MonthView1_DblClick);
    // A double-click picks the date its first click landed on. The calendar's
    // own double-click misses the days of the months before and after: the
    // first click turns the page, and the second lands on another date.
    connect(MonthView1, &QCalendarWidget::clicked, this,
            [this](const QDate& date) { clickedDate_ = date; });
    if (auto* grid = MonthView1->findChild<QAbstractItemView*>())
        grid->viewport()->installEventFilter(this);
    place(MonthView1, 120, 120, 3540, 3270);
    describeCalendarParts();

    cmdSave = new QPushButton(QStringLiteral("Save"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdSave->setFont(WindowStyle::tahoma(12, true));
    cmdSave->setAutoDefault(false);
    connect(cmdSave, &QPushButton::clicked, this, &frmDatePicker::cmdSave_Click);
    place(cmdSave, 120, 3480, 3495, 495);

    setTabOrder(MonthView1, cmdSave);
}

// Names the calendar's parts and puts its page buttons on the Tab chain:
// Qt leaves them to the mouse.
void frmDatePicker::describeCalendarParts() {
    for (const CalendarPart& part : kCalendarParts) {
        auto* widget = MonthView1->findChild<QWidget*>(QLatin1String(part.objectName));
        if (!widget)
            continue;
        if (*part.accessibleName)
            widget->setAccessibleName(QLatin1String(part.accessibleName));
        if (*part.description)
            widget->setAccessibleDescription(QLatin1String(part.description));
        if (qobject_cast<QToolButton*>(widget))
            widget->setFocusPolicy(Qt::TabFocus);
    }
}

bool frmDatePicker::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        clickedDate_ = QDate();
    } else if (event->type() == QEvent::MouseButtonDblClick) {
        if (clickedDate_.isValid())
            MonthView1_DblClick(clickedDate_);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmDatePicker::Form_Load() {
    MonthView1->setSelectedDate(ctx_.clock().today());
}

void frmDatePicker::cmdSave_Click() {
    pick(MonthView1->selectedDate());
}

void frmDatePicker::MonthView1_DblClick(const QDate& date) {
    pick(date);
}

void frmDatePicker::pick(const QDate& date) {
    ctx_.fields().DateToPick = TextRules::dateText(date);
    accept();
}
