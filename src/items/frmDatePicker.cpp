#include "items/frmDatePicker.h"

#include <QCalendarWidget>
#include <QPushButton>

#include "common/Clock.h"
#include "common/WindowStyle.h"
#include "data/TextRules.h"

using WindowStyle::place;

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
    // activated comes on a double-click and on Enter, always for the date
    // under the pointer or the cursor, which the calendar has selected first.
    connect(MonthView1, &QCalendarWidget::activated, this, &frmDatePicker::MonthView1_DblClick);
    place(MonthView1, 120, 120, 3540, 3270);

    cmdSave = new QPushButton(QStringLiteral("Save"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdSave->setFont(WindowStyle::tahoma(12, true));
    cmdSave->setAutoDefault(false);
    connect(cmdSave, &QPushButton::clicked, this, &frmDatePicker::cmdSave_Click);
    place(cmdSave, 120, 3480, 3495, 495);

    setTabOrder(MonthView1, cmdSave);
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
