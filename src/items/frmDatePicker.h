#pragma once

#include <QDate>
#include <QDialog>

#include "app/AppContext.h"

class QCalendarWidget;
class QPushButton;

// Picks one calendar date for the item editor. The date comes back in
// DateToPick as day/month/year text; closing the window any other way than
// by Save or a double-click leaves DateToPick as it was.
class frmDatePicker : public QDialog {
    Q_OBJECT
public:
    explicit frmDatePicker(AppContext& ctx, QWidget* parent = nullptr);

    QCalendarWidget* MonthView1 = nullptr;
    QPushButton* cmdSave = nullptr;

public slots:
    void Form_Load();
    void cmdSave_Click();
    void MonthView1_DblClick(const QDate& date);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void describeCalendarParts();
    void pick(const QDate& date);

    AppContext& ctx_;
    // The date the first click of a double-click landed on; invalid when it
    // landed on no date.
    QDate clickedDate_;
};
