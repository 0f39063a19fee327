#include "common/Accessibility.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QCalendarWidget>
#include <QComboBox>
#include <QHash>
#include <QLocale>
#include <QPointer>
#include <QTableView>

#include "common/LinkLabel.h"

namespace {

const QString kShowMenu = QAccessibleActionInterface::showMenuAction();
const QString kPress = QAccessibleActionInterface::pressAction();
const QString kSetFocus = QAccessibleActionInterface::setFocusAction();

// --- Drop-down lists ------------------------------------------------------------

// The entry shown is also the selected line of the list that drops down, so
// a screen reader finds it as that list's selected child. Kept so as the
// entry changes, with the change of text announced.
void followCurrentEntry(QComboBox* box) {
    const auto select = [box] {
        const QModelIndex entry =
            box->model()->index(box->currentIndex(), box->modelColumn(), box->rootModelIndex());
        box->view()->selectionModel()->setCurrentIndex(entry, QItemSelectionModel::ClearAndSelect);
    };
    select();
    if (box->property("quarvelFollowsEntry").toBool())
        return;
    box->setProperty("quarvelFollowsEntry", true);
    QObject::connect(box, &QComboBox::currentTextChanged, box,
                     [box, select, shown = box->currentText()](const QString& now) mutable {
                         select();
                         QAccessibleTextUpdateEvent update(box, 0, shown, now);
                         QAccessible::updateAccessibility(&update);
                         shown = now;
                     });
}

// A drop-down list: its name from accessibleName() or its caption label,
// its value and its text the entry shown, its one child the list that
// drops down. Qt names drop-down lists on Linux by their current entry.
class AccessibleDropDown : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit AccessibleDropDown(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {
        followCurrentEntry(box);
    }

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return shown();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = box()->view()->isVisible();
        return s;
    }

    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && child->object() == box()->view() ? 0 : -1;
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QStringList actionNames() const override { return {kShowMenu, kPress}; }
    void doAction(const QString& action) override {
        if (action == kShowMenu || action == kPress)
            box()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

    // The entry shown, as read-only text.
    QString text(int startOffset, int endOffset) const override {
        return shown().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(shown().size()); }
    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
    QString shown() const { return box()->currentText(); }
};

// --- Links --------------------------------------------------------------------

class AccessibleLink : public QAccessibleWidget {
public:
    explicit AccessibleLink(LinkLabel* link) : QAccessibleWidget(link, QAccessible::Link) {}

    QStringList actionNames() const override { return {kPress, kSetFocus}; }
    void doAction(const QString& action) override {
        if (action == kPress)
            emit link()->linkActivated(link()->address());
        else
            QAccessibleWidget::doAction(action);
    }

private:
    LinkLabel* link() const { return static_cast<LinkLabel*>(widget()); }
};

// --- The days of a month calendar -------------------------------------------------

// The grid of a QCalendarWidget: its model holds the day numbers (and the
// day names in a first row, the week numbers in a first column when shown).
struct CalendarGrid {
    const QCalendarWidget* calendar;
    const QAbstractItemModel* model;

    int firstDayRow() const {
        return calendar->horizontalHeaderFormat() == QCalendarWidget::NoHorizontalHeader ? 0 : 1;
    }
    int firstDayColumn() const {
        return calendar->verticalHeaderFormat() == QCalendarWidget::ISOWeekNumbers ? 1 : 0;
    }

    // What a cell says in full: "8 December 2026", "Monday", "Week 49".
    QString cellName(int row, int column) const {
        const QString shown = model->index(row, column).data().toString();
        const QLocale english = QLocale::c();
        if (row < firstDayRow()) {
            if (column < firstDayColumn())
                return {};
            const int day = (calendar->firstDayOfWeek() - 1 + column - firstDayColumn()) % 7 + 1;
            return english.dayName(day, QLocale::LongFormat);
        }
        if (column < firstDayColumn())
            return QStringLiteral("Week ") + shown;
        const QDate date = dateOf(row - firstDayRow(), shown.toInt());
        return date.isValid() ? english.toString(date, QStringLiteral("d MMMM yyyy")) : shown;
    }

    // The six weeks shown begin with the end of the month before and end
    // with the start of the month after: a high day number in the first
    // week, or a low one in the last two, belongs to one of those.
    QDate dateOf(int week, int day) const {
        const QDate first(calendar->yearShown(), calendar->monthShown(), 1);
        QDate month = first;
        if (week == 0 && day > 7)
            month = first.addMonths(-1);
        else if (week >= 4 && day <= 14)
            month = first.addMonths(1);
        return QDate(month.year(), month.month(), day);
    }
};

class AccessibleCalendarDays;

// One cell of the calendar's grid; the grid owns it.
class AccessibleCalendarCell : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    AccessibleCalendarCell(QTableView* view, CalendarGrid grid, int row, int column)
        : view_(view), grid_(grid), row_(row), column_(column) {}

    bool isValid() const override {
        return view_ && row_ < grid_.model->rowCount() && column_ < grid_.model->columnCount();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return view_ ? view_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(view_);
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && isValid() ? grid_.cellName(row_, column_) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid())
            return {};
        const QRect cell = view_->visualRect(index());
        return cell.translated(view_->viewport()->mapToGlobal(QPoint(0, 0)));
    }
    QAccessible::Role role() const override {
        return isDay() ? QAccessible::Cell : QAccessible::ColumnHeader;
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.invisible = !view_->isVisible();
        if (!isDay())
            return s;
        s.selectable = true;
        s.focusable = true;
        s.selected = isSelected();
        s.focused = view_->hasFocus() && view_->currentIndex() == index();
        s.disabled = !(index().flags() & Qt::ItemIsEnabled);
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::TableCellInterface
                   ? static_cast<QAccessibleTableCellInterface*>(this)
                   : nullptr;
    }

    bool isSelected() const override {
        return isValid() && view_->selectionModel()->isSelected(index());
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return column_; }
    int rowIndex() const override { return row_; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    QModelIndex index() const { return grid_.model->index(row_, column_); }
    bool isDay() const { return row_ >= grid_.firstDayRow() && column_ >= grid_.firstDayColumn(); }

    QPointer<QTableView> view_;
    CalendarGrid grid_;
    int row_;
    int column_;
};

// The grid of days: a table whose cells carry the full date. The view's
// headers are hidden, so a cell's index among the children is row times
// columns plus column, as the view counts when it announces the focus.
class AccessibleCalendarDays : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    AccessibleCalendarDays(QTableView* view, const QCalendarWidget* calendar)
        : QAccessibleWidget(view, QAccessible::Table), grid_{calendar, view->model()} {}
    ~AccessibleCalendarDays() override { dropCells(); }

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    int childCount() const override { return rowCount() * columnCount(); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount())
            return nullptr;
        return cellAt(index / columnCount(), index % columnCount());
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (!child || child->parent() != this)
            return -1;
        const QAccessibleTableCellInterface* cell =
            const_cast<QAccessibleInterface*>(child)->tableCellInterface();
        return cell ? cell->rowIndex() * columnCount() + cell->columnIndex() : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QModelIndex index = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
        return index.isValid() ? cellAt(index.row(), index.column()) : nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        const QModelIndex current = view()->currentIndex();
        return view()->hasFocus() && current.isValid() ? cellAt(current.row(), current.column())
                                                       : nullptr;
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override {
        if (row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
            return nullptr;
        const int key = row * columnCount() + column;
        QAccessible::Id id = cells_.value(key);
        if (!id) {
            id = QAccessible::registerAccessibleInterface(
                new AccessibleCalendarCell(view(), grid_, row, column));
            cells_.insert(key, id);
        }
        return QAccessible::accessibleInterface(id);
    }
    int selectedCellCount() const override {
        return static_cast<int>(view()->selectionModel()->selectedIndexes().size());
    }
    QList<QAccessibleInterface*> selectedCells() const override {
        QList<QAccessibleInterface*> cells;
        for (const QModelIndex& index : view()->selectionModel()->selectedIndexes())
            cells << cellAt(index.row(), index.column());
        return cells;
    }
    QString columnDescription(int column) const override { return grid_.cellName(0, column); }
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override { return grid_.model->columnCount(); }
    int rowCount() const override { return grid_.model->rowCount(); }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override { dropCells(); }

private:
    QTableView* view() const { return static_cast<QTableView*>(widget()); }
    void dropCells() {
        for (const QAccessible::Id id : std::as_const(cells_))
            QAccessible::deleteAccessibleInterface(id);
        cells_.clear();
    }

    CalendarGrid grid_;
    mutable QHash<int, QAccessible::Id> cells_;
};

const QCalendarWidget* calendarOf(QObject* view) {
    for (QObject* o = view->parent(); o; o = o->parent()) {
        if (auto* calendar = qobject_cast<const QCalendarWidget*>(o))
            return calendar;
    }
    return nullptr;
}

QAccessibleInterface* programInterfaces(const QString& className, QObject* object) {
    if (className == QLatin1String("QComboBox"))
        return new AccessibleDropDown(static_cast<QComboBox*>(object));
    if (className == QLatin1String("LinkLabel"))
        return new AccessibleLink(static_cast<LinkLabel*>(object));
    // The calendar's own grid, a class of Qt's that is not public.
    if (className == QLatin1String("QCalendarView")) {
        auto* view = qobject_cast<QTableView*>(object);
        if (const QCalendarWidget* calendar = view ? calendarOf(view) : nullptr)
            return new AccessibleCalendarDays(view, calendar);
    }
    return nullptr;
}

}  // namespace

namespace Accessibility {

void install() {
    static const bool installed = [] {
        QAccessible::installFactory(programInterfaces);
        return true;
    }();
    Q_UNUSED(installed);
}

}  // namespace Accessibility
