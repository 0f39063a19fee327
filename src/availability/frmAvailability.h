#pragma once

#include <QDialog>

#include "app/AppContext.h"
#include "data/ListStore.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class BookingTimeline;

// Which items are booked when: the items of a category or a list over a
// range of days, each with its bookings as bars on a timeline. "Free only"
// answers which of them no holding list books on any of those days, and Add
// to List puts that answer on a list in one step. A click on a bar opens
// its list.
class frmAvailability : public QDialog {
    Q_OBJECT
public:
    explicit frmAvailability(AppContext& ctx, QWidget* parent = nullptr);

    // The most items Add to List puts on a list in one step.
    static constexpr qint64 kMostToAdd = 1000;

    QLabel* lblFrom = nullptr;
    QDateEdit* dtpFrom = nullptr;
    QLabel* lblTo = nullptr;
    QDateEdit* dtpTo = nullptr;
    QComboBox* cboCategory = nullptr;
    QComboBox* cboList = nullptr;
    QCheckBox* chkFreeOnly = nullptr;
    QLabel* lblCount = nullptr;
    BookingTimeline* Timeline1 = nullptr;
    QPushButton* cmdAddToList = nullptr;
    QPushButton* cmdClose = nullptr;

public slots:
    void Form_Load();
    void Filter_Change();
    void Timeline1_BarClick(qint64 listId);
    void cmdAddToList_Click();
    void cmdClose_Click();

private:
    void buildControls();
    void fillChoices();
    AvailabilityFilter currentFilter() const;
    // The list the user names for Add to List; 0 when none (told why).
    qint64 askForList(qint64 items);
    struct Added {
        qint64 added = 0, onListAlready = 0, leftOut = 0;
        bool stopped = false;  // the list went, or the store failed (told)
    };
    Added addItems(qint64 listId, const IdTextRows& items);

    AppContext& ctx_;
};
