#pragma once

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "base/TextPool.h"
#include "data/rules/Bookings.h"
#include "data/rules/Records.h"

class Register;

// Which items the Availability window lists, and over which days.
struct AvailabilityFilter {
    QDate from, to;                   // the days looked at, both included
    std::optional<QString> category;  // only items of this category; none: every item
    qint64 listId = 0;                // only the items on this list; 0: any item
    bool freeOnly = false;            // only items no holding list books on any of those days
};

// The picking lists, their lines and their plans (dates and state), each
// operation in one transaction on the register.
//
// Bookings: a list that holds its items (Bookings::holds) books each item
// on it over its span. Every write that could make an item booked twice
// over the same days (a plan saved, a line added) first takes its turn as
// the counters do (a server's row lock on Data, a file's write lock), then
// checks and writes in the same transaction: of two desks doing it at once
// the second waits for the first and then sees its booking.
class ListStore {
public:
    explicit ListStore(Register& reg) : reg_(reg) {}

    std::optional<QList<ListRecord>> withId(qint64 id);
    std::optional<bool> exists(qint64 id);
    // The id of the first list of that name; 0 when none has it.
    std::optional<qint64> named(const QString& name);
    std::optional<IdTextRows> lines(qint64 listId);  // itemid, itemdesc by itemid
    std::optional<IdTextRows> all();                 // id, ListName by id
    // Adds the line unless the list is gone or already holds the item. When
    // the list holds its items and another holding list books the item over
    // overlapping days, nothing is written and Booked given, with those
    // bookings in *bookings (by out date), unless acceptBooking: the editor
    // asks (Bookings::addAnywayQuestion, default No) and calls again with it.
    AddLineResult addLine(qint64 listId, qint64 itemId, const QString& itemDesc,
                          bool acceptBooking = false, QList<Booking>* bookings = nullptr);
    bool removeLine(qint64 listId, qint64 itemId);
    std::optional<qint64> insert(const QString& name);
    SaveResult update(qint64 id, const QString& name, const QString& loadedName, bool overwrite);
    // Deletes the list, its lines and its plan in one transaction.
    bool remove(qint64 id);

    // --- Plans: dates and state ------------------------------------------
    // The list's plan; a Draft without dates when it has none stored (also
    // for a list that does not exist).
    std::optional<ListPlan> plan(qint64 listId);
    // The plans of every list that has one, by list id (the main window's
    // lines); a list missing here has no plan.
    std::optional<QHash<qint64, ListPlan>> plans();
    // Stores the list's plan (a Draft without dates removes it). When the
    // new plan books items that other holding lists book over overlapping
    // days, and any of those clashes is new (not already there under the
    // stored plan), nothing is written and Clashes given, with every clash
    // of the new plan in *clashes (by item, then other list), unless
    // acceptClashes: the window asks once (Bookings::clashesQuestion) and
    // calls again with it; the clashes stay and are flagged. Invalid when
    // the return date is before the out date (Bookings::planProblem).
    SetPlanResult setPlan(qint64 listId, const ListPlan& plan, bool acceptClashes,
                          QList<Clash>* clashes = nullptr);

    // --- Bookings --------------------------------------------------------
    // The lines of the list that another holding list books over
    // overlapping days, with where else (one entry per other list), by item
    // then other list; empty unless the list holds its items.
    std::optional<QList<Clash>> clashingLines(qint64 listId);
    // The items of the list due for test while it is out
    // (Bookings::dueWhileOut), by id; empty unless the list holds them.
    std::optional<QList<qint64>> linesDueWhileOut(qint64 listId);
    // The holding lists that book the item from `today` on (not yet back:
    // no return date, or one on or after today), by out date (open first)
    // then list id: the item viewer's "Booked:" line.
    std::optional<QList<Booking>> comingBookings(qint64 itemId, const QDate& today);

    // --- Availability (only what a window shows is read) -----------------
    // How many items the filter lists.
    std::optional<qint64> availabilityCount(const AvailabilityFilter& filter);
    // The items the filter lists, by id: `limit` of them from the
    // `offset`-th on (id and description).
    std::optional<IdTextRows> availabilityPage(const AvailabilityFilter& filter, qint64 offset,
                                               int limit);
    // The holding lists' bookings of those items whose spans share a day
    // with [from, to], by item then out date, each marked when it clashes.
    std::optional<QList<ItemBooking>> bookingsOf(std::span<const qint64> itemIds, const QDate& from,
                                                 const QDate& to);

    // --- Export ----------------------------------------------------------
    // The columns of the bookings export: list, item, out, return, state, clash.
    static QStringList bookingColumns();
    // Every line of every list that has a plan, by list then item: the list
    // id, the item id, the out and return dates ("12/5/2027", none when not
    // set), the state and whether the line clashes ("Yes"/"No"). Reads in
    // one go and hands each row to onRow until it returns false.
    using BookingRowHandler = std::function<bool(std::span<const std::string_view> values)>;
    bool exportBookings(const BookingRowHandler& onRow);

private:
    Register& reg_;
};
