#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>
#include <vector>

#include "data/ListStore.h"
#include "data/rules/TestsDue.h"

class AppContext;

// The items of a filter as rows over a date axis, each booking a bar from
// its out date to its return date (open ends run to the edge): red where it
// clashes, in the item's test colour where the item has failed or is out of
// test. It reads and draws only the rows in view, so a million items scroll
// as a hundred do. A click on a bar, or Enter on the current bar, names the
// list through barActivated.
class BookingTimeline : public QAbstractScrollArea {
    Q_OBJECT
public:
    // What the item's last test says about sending it out.
    enum class TestMark { None, OutOfTest, Failed };

    static const QColor kBooked;     // an ordinary booking
    static const QColor kClash;      // a booking that clashes with another
    static const QColor kOutOfTest;  // the item is overdue, never tested or unreadable
    static const QColor kFailed;     // the item's last test failed
    static constexpr int kHeaderHeight = 26;
    static constexpr int kRowHeight = 22;
    static constexpr int kNameWidth = 230;

    explicit BookingTimeline(AppContext& ctx, QWidget* parent = nullptr);

    // Shows the filter's items from the first row on. False when the count
    // could not be read (the store has told the user); the timeline is empty.
    bool setFilter(const AvailabilityFilter& filter);
    const AvailabilityFilter& filter() const { return filter_; }
    qint64 rowCount() const { return count_; }

    // Where the bar of the list's booking of the item is drawn now, in the
    // viewport; empty when the row is not in view.
    QRect barRect(qint64 itemId, qint64 listId) const;
    // The items of the rows in view, top to bottom.
    std::vector<qint64> shownItems() const;
    // How many items the store has been asked for so far (rows read).
    qint64 itemsRead() const { return itemsRead_; }
    // The current row and bar, as the keyboard moves them.
    qint64 currentRow() const { return currentRow_; }
    // Draws the rows in view now: reads those not read yet.
    void loadVisibleRows();

signals:
    void barActivated(qint64 listId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Row {
        qint64 id = 0;
        QString text;  // "45 - Strobe"
        QList<ItemBooking> bookings;
    };

    int visibleRows() const;
    qint64 firstVisibleRow() const;
    void updateScrollRange();
    // The rows [first, first + n) are in rows_, read from the store if need be.
    void ensureRows(qint64 first, int n);
    const Row* rowAt(qint64 row) const;
    TestMark markOf(qint64 itemId);
    int days() const;
    double dayWidth() const;
    int xOfDay(const QDate& day) const;
    // The bar of the row's i-th booking: a row of several bookings draws
    // them in two lanes, so bars that share days both show.
    QRect barRectOf(const Row& row, int i, int y) const;
    void paintHeader(QPainter& p) const;
    void paintRow(QPainter& p, const Row& row, qint64 index, int y);
    // Makes the row current (scrolled into view) with the bar given; -1: none.
    void setCurrent(qint64 row, int bar);
    void describeCurrent();

    AppContext& ctx_;
    AvailabilityFilter filter_;
    qint64 count_ = 0;
    qint64 firstRead_ = 0;  // the row index of rows_.front()
    std::vector<Row> rows_;
    QHash<qint64, TestMark> marks_;  // by item, read as rows come into view
    qint64 itemsRead_ = 0;
    qint64 currentRow_ = 0;
    int currentBar_ = -1;
};
