#include "availability/BookingTimeline.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "app/AppContext.h"
#include "data/TestRecordStore.h"

const QColor BookingTimeline::kBooked(46, 104, 178);
const QColor BookingTimeline::kClash(214, 0, 0);
const QColor BookingTimeline::kOutOfTest(230, 138, 0);
const QColor BookingTimeline::kFailed(128, 40, 160);

namespace {

// Screens read beyond the one in view, above and below, so a scroll by a
// line or a page mostly finds its rows read.
constexpr int kScreensAround = 1;

BookingTimeline::TestMark markOfStatus(TestsDue::Status status) {
    switch (status) {
        case TestsDue::Status::Failed:
            return BookingTimeline::TestMark::Failed;
        case TestsDue::Status::Overdue:
        case TestsDue::Status::NeverTested:
        case TestsDue::Status::Unreadable:
            return BookingTimeline::TestMark::OutOfTest;
        case TestsDue::Status::NoTestNeeded:
        case TestsDue::Status::InDate:
        case TestsDue::Status::DueSoon:
            break;
    }
    return BookingTimeline::TestMark::None;
}

QColor colourOfMark(BookingTimeline::TestMark mark) {
    switch (mark) {
        case BookingTimeline::TestMark::Failed:
            return BookingTimeline::kFailed;
        case BookingTimeline::TestMark::OutOfTest:
            return BookingTimeline::kOutOfTest;
        case BookingTimeline::TestMark::None:
            break;
    }
    return BookingTimeline::kBooked;
}

QString markText(BookingTimeline::TestMark mark) {
    switch (mark) {
        case BookingTimeline::TestMark::Failed:
            return QStringLiteral(", failed its last test");
        case BookingTimeline::TestMark::OutOfTest:
            return QStringLiteral(", out of test");
        case BookingTimeline::TestMark::None:
            break;
    }
    return {};
}

}  // namespace

BookingTimeline::BookingTimeline(AppContext& ctx, QWidget* parent)
    : QAbstractScrollArea(parent), ctx_(ctx) {
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    setAccessibleName(QStringLiteral("Bookings"));
}

bool BookingTimeline::setFilter(const AvailabilityFilter& filter) {
    filter_ = filter;
    rows_.clear();
    firstRead_ = 0;
    currentRow_ = 0;
    currentBar_ = -1;
    const std::optional<qint64> count = filter.from <= filter.to
                                            ? ctx_.lists().availabilityCount(filter)
                                            : std::optional<qint64>(0);
    count_ = count.value_or(0);
    updateScrollRange();
    verticalScrollBar()->setValue(0);
    loadVisibleRows();
    describeCurrent();
    viewport()->update();
    return count.has_value();
}

qint64 BookingTimeline::firstVisibleRow() const {
    return verticalScrollBar()->value();
}

int BookingTimeline::visibleRows() const {
    const int height = viewport()->height() - kHeaderHeight;
    return std::max(1, (height + kRowHeight - 1) / kRowHeight);
}

void BookingTimeline::updateScrollRange() {
    const int whole = std::max(1, (viewport()->height() - kHeaderHeight) / kRowHeight);
    // Row numbers beyond an int's range cannot arise: a register has fewer items.
    const qint64 last = std::max<qint64>(0, count_ - whole);
    verticalScrollBar()->setRange(0, static_cast<int>(std::min<qint64>(last, INT_MAX)));
    verticalScrollBar()->setPageStep(whole);
    verticalScrollBar()->setSingleStep(1);
}

void BookingTimeline::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void BookingTimeline::scrollContentsBy(int, int) {
    viewport()->update();
}

void BookingTimeline::loadVisibleRows() {
    ensureRows(firstVisibleRow(), visibleRows());
}

void BookingTimeline::ensureRows(qint64 first, int n) {
    const qint64 end = std::min(count_, first + n);
    if (first >= end)
        return;
    if (first >= firstRead_ && end <= firstRead_ + qint64(rows_.size()))
        return;
    const qint64 from = std::max<qint64>(0, first - qint64(n) * kScreensAround);
    const int limit =
        static_cast<int>(std::min<qint64>(count_ - from, qint64(n) * (2 * kScreensAround + 1)));
    rows_.clear();
    firstRead_ = from;
    // On a failed read the store has told the user; the rows stay empty.
    const std::optional<IdTextRows> page = ctx_.lists().availabilityPage(filter_, from, limit);
    if (!page)
        return;
    itemsRead_ += qint64(page->size());
    const std::vector<qint64> ids(page->ids.begin(), page->ids.end());
    const std::optional<QList<ItemBooking>> bookings =
        ctx_.lists().bookingsOf(ids, filter_.from, filter_.to);
    rows_.reserve(page->size());
    for (std::size_t i = 0; i < page->size(); ++i) {
        rows_.push_back({page->ids[i],
                         QStringLiteral("%1 - %2").arg(page->ids[i]).arg(page->texts.text(i)),
                         {}});
    }
    if (!bookings)
        return;
    // Both come by item id within the page's ids; a page is a few dozen rows.
    for (const ItemBooking& b : *bookings) {
        for (Row& row : rows_) {
            if (row.id == b.itemId)
                row.bookings.append(b);
        }
    }
}

const BookingTimeline::Row* BookingTimeline::rowAt(qint64 row) const {
    const qint64 at = row - firstRead_;
    return at >= 0 && at < qint64(rows_.size()) ? &rows_[static_cast<std::size_t>(at)] : nullptr;
}

// Read once an item comes into view, through the tests-due rule's read.
BookingTimeline::TestMark BookingTimeline::markOf(qint64 itemId) {
    const auto known = marks_.constFind(itemId);
    if (known != marks_.constEnd())
        return *known;
    const std::optional<TestsDue::Due> due = ctx_.tests().itemDue(itemId, ctx_.testWindow());
    const TestMark mark = due ? markOfStatus(due->status) : TestMark::None;
    marks_.insert(itemId, mark);
    return mark;
}

int BookingTimeline::days() const {
    return std::max<int>(1, static_cast<int>(filter_.from.daysTo(filter_.to)) + 1);
}

double BookingTimeline::dayWidth() const {
    return double(std::max(1, viewport()->width() - kNameWidth)) / days();
}

int BookingTimeline::xOfDay(const QDate& day) const {
    return kNameWidth +
           static_cast<int>(std::lround(double(filter_.from.daysTo(day)) * dayWidth()));
}

// From the start of its first day in range to the end of its last.
QRect BookingTimeline::barRectOf(const Row& row, int i, int y) const {
    const ListPlan& plan = row.bookings[i].booking.plan;
    const QDate first = std::max(plan.out.value_or(filter_.from), filter_.from);
    const QDate last = std::min(plan.ret.value_or(filter_.to), filter_.to);
    const int left = xOfDay(first), right = xOfDay(last.addDays(1));
    const int width = std::max(2, right - left);
    if (row.bookings.size() == 1)
        return QRect(left, y + 4, width, kRowHeight - 8);
    constexpr int lane = (kRowHeight - 6) / 2;
    return QRect(left, y + 3 + (i % 2) * lane, width, lane);
}

QRect BookingTimeline::barRect(qint64 itemId, qint64 listId) const {
    const qint64 first = firstVisibleRow();
    for (qint64 r = first; r < first + visibleRows(); ++r) {
        const Row* row = rowAt(r);
        if (!row || row->id != itemId)
            continue;
        for (int i = 0; i < row->bookings.size(); ++i) {
            if (row->bookings[i].booking.listId == listId)
                return barRectOf(*row, i, kHeaderHeight + int(r - first) * kRowHeight);
        }
    }
    return {};
}

std::vector<qint64> BookingTimeline::shownItems() const {
    std::vector<qint64> ids;
    const qint64 first = firstVisibleRow();
    for (qint64 r = first; r < std::min(count_, first + visibleRows()); ++r) {
        if (const Row* row = rowAt(r))
            ids.push_back(row->id);
    }
    return ids;
}

void BookingTimeline::paintEvent(QPaintEvent*) {
    loadVisibleRows();
    QPainter p(viewport());
    p.setFont(font());
    paintHeader(p);
    const qint64 first = firstVisibleRow();
    const int n = visibleRows();
    p.setClipRect(0, kHeaderHeight, viewport()->width(), viewport()->height() - kHeaderHeight);
    for (qint64 r = first; r < std::min(count_, first + n); ++r) {
        if (const Row* row = rowAt(r))
            paintRow(p, *row, r, kHeaderHeight + int(r - first) * kRowHeight);
    }
}

// The days of the range along the top: a tick each day while they are
// wide enough, a date as often as one fits.
void BookingTimeline::paintHeader(QPainter& p) const {
    const QPalette& pal = palette();
    p.fillRect(0, 0, viewport()->width(), kHeaderHeight, pal.window());
    p.setPen(pal.color(QPalette::WindowText));
    const QString caption =
        count_ == 1 ? QStringLiteral("1 item") : QStringLiteral("%L1 items").arg(count_);
    p.drawText(QRect(4, 0, kNameWidth - 8, kHeaderHeight), Qt::AlignVCenter | Qt::AlignLeft,
               caption);
    if (!filter_.from.isValid() || filter_.from > filter_.to)
        return;
    const double w = dayWidth();
    const int labelEvery = std::max(1, static_cast<int>(std::ceil(70.0 / w)));
    for (int d = 0; d < days(); ++d) {
        const QDate day = filter_.from.addDays(d);
        const int x = xOfDay(day);
        if (w >= 4 || d % labelEvery == 0)
            p.drawLine(x, kHeaderHeight - (d % labelEvery == 0 ? 8 : 4), x, kHeaderHeight - 1);
        if (d % labelEvery == 0)
            p.drawText(QRect(x + 2, 0, int(w * labelEvery) - 2, kHeaderHeight - 6),
                       Qt::AlignBottom | Qt::AlignLeft, day.toString(QStringLiteral("d/M")));
    }
    p.drawLine(0, kHeaderHeight - 1, viewport()->width(), kHeaderHeight - 1);
}

void BookingTimeline::paintRow(QPainter& p, const Row& row, qint64 index, int y) {
    const QPalette& pal = palette();
    const TestMark mark = markOf(row.id);
    const QRect name(0, y, kNameWidth, kRowHeight);
    if (index % 2 == 1)
        p.fillRect(0, y, viewport()->width(), kRowHeight, pal.alternateBase());
    if (mark != TestMark::None)
        p.fillRect(name, colourOfMark(mark).lighter(170));
    const bool current = index == currentRow_ && hasFocus();
    p.setPen(pal.color(QPalette::Text));
    p.drawText(name.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft,
               p.fontMetrics().elidedText(row.text, Qt::ElideRight, kNameWidth - 8));
    for (int i = 0; i < row.bookings.size(); ++i) {
        const ItemBooking& b = row.bookings[i];
        const QRect bar = barRectOf(row, i, y);
        p.fillRect(bar, b.clash ? kClash : colourOfMark(mark));
        const QString label =
            QStringLiteral("L%1 %2").arg(b.booking.listId).arg(b.booking.listName);
        if (bar.width() > 24 && bar.height() >= p.fontMetrics().height() - 2) {
            p.setPen(Qt::white);
            p.drawText(bar.adjusted(3, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft,
                       p.fontMetrics().elidedText(label, Qt::ElideRight, bar.width() - 5));
        }
        if (current && i == currentBar_) {
            p.setPen(QPen(pal.color(QPalette::Text), 2));
            p.drawRect(bar.adjusted(-2, -2, 1, 1));
        }
    }
    if (current) {
        p.setPen(QPen(pal.color(QPalette::Highlight), 1, Qt::DotLine));
        p.drawRect(QRect(0, y, viewport()->width() - 1, kRowHeight - 1));
    }
}

void BookingTimeline::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || event->position().y() < kHeaderHeight)
        return;
    const QPoint at = event->position().toPoint();
    const qint64 index = firstVisibleRow() + (at.y() - kHeaderHeight) / kRowHeight;
    const Row* row = rowAt(index);
    if (!row)
        return;
    const int y = kHeaderHeight + int(index - firstVisibleRow()) * kRowHeight;
    for (int i = 0; i < row->bookings.size(); ++i) {
        if (barRectOf(*row, i, y).contains(at)) {
            setCurrent(index, i);
            emit barActivated(row->bookings[i].booking.listId);
            return;
        }
    }
    setCurrent(index, -1);
}

void BookingTimeline::keyPressEvent(QKeyEvent* event) {
    const qint64 page = std::max(1, visibleRows() - 1);
    const Row* row = rowAt(currentRow_);
    const int bars = row ? int(row->bookings.size()) : 0;
    switch (event->key()) {
        case Qt::Key_Up:
            setCurrent(currentRow_ - 1, -1);
            break;
        case Qt::Key_Down:
            setCurrent(currentRow_ + 1, -1);
            break;
        case Qt::Key_PageUp:
            setCurrent(currentRow_ - page, -1);
            break;
        case Qt::Key_PageDown:
            setCurrent(currentRow_ + page, -1);
            break;
        case Qt::Key_Home:
            setCurrent(0, -1);
            break;
        case Qt::Key_End:
            setCurrent(count_ - 1, -1);
            break;
        case Qt::Key_Left:
            if (bars > 0)
                setCurrent(currentRow_, std::max(0, currentBar_ - 1));
            break;
        case Qt::Key_Right:
            if (bars > 0)
                setCurrent(currentRow_, std::min(bars - 1, currentBar_ + 1));
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            if (row && currentBar_ >= 0 && currentBar_ < bars)
                emit barActivated(row->bookings[currentBar_].booking.listId);
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    event->accept();
}

void BookingTimeline::setCurrent(qint64 row, int bar) {
    if (count_ == 0)
        return;
    currentRow_ = std::clamp<qint64>(row, 0, count_ - 1);
    currentBar_ = bar;
    const qint64 first = firstVisibleRow();
    const int whole = std::max(1, (viewport()->height() - kHeaderHeight) / kRowHeight);
    if (currentRow_ < first)
        verticalScrollBar()->setValue(int(currentRow_));
    else if (currentRow_ >= first + whole)
        verticalScrollBar()->setValue(int(currentRow_ - whole + 1));
    loadVisibleRows();
    describeCurrent();
    viewport()->update();
}

// What a screen reader says of the current row and bar.
void BookingTimeline::describeCurrent() {
    const Row* row = count_ > 0 ? rowAt(currentRow_) : nullptr;
    if (!row) {
        setAccessibleDescription(count_ == 0 ? QStringLiteral("No items") : QString());
        return;
    }
    QString text = QStringLiteral("Item %1%2").arg(row->text, markText(markOf(row->id)));
    if (row->bookings.isEmpty())
        text += QStringLiteral(", free");
    for (int i = 0; i < row->bookings.size(); ++i) {
        const ItemBooking& b = row->bookings[i];
        if (currentBar_ < 0 || i == currentBar_)
            text += QStringLiteral(", %1%2").arg(Bookings::bookedWithNameText(b.booking),
                                                 b.clash ? QStringLiteral(" (clash)") : QString());
    }
    setAccessibleDescription(text);
}
