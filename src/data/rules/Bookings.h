#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <array>
#include <optional>

#include "data/rules/TestsDue.h"

// Picking lists as jobs with dates: when a list holds its items, when two
// lists clash over an item, and how a booking is said. Pure rules over
// values; the store reads the plans and hands them in.

// Where a list stands. The names shown to the user and stored in
// ListPlans.state are the same words ("Draft", "Confirmed", ...).
enum class ListState { Draft, Confirmed, Out, Returned, Cancelled };

// A list's dates and state. A list without a stored plan is a Draft
// without dates: it holds nothing and behaves as a plain picking list.
struct ListPlan {
    std::optional<QDate> out;  // the day it leaves
    std::optional<QDate> ret;  // the day it is back
    ListState state = ListState::Draft;

    friend bool operator==(const ListPlan&, const ListPlan&) = default;
};

// One list's hold on an item: the list, its name and its plan.
struct Booking {
    qint64 listId = 0;
    QString listName;
    ListPlan plan;

    friend bool operator==(const Booking&, const Booking&) = default;
};

// An item of one list that another holding list books over overlapping days.
struct Clash {
    qint64 itemId = 0;
    QString itemDesc;  // as the line stores it
    Booking other;     // where else the item is booked
};

// A booking of an item as the Availability window draws it: `clash` when
// another holding list books the item over overlapping days (anywhere in
// time, not only in the range asked for).
struct ItemBooking {
    qint64 itemId = 0;
    Booking booking;
    bool clash = false;
};

namespace Bookings {

// The five states in the order a choice offers them.
inline constexpr std::array<ListState, 5> kStates = {ListState::Draft, ListState::Confirmed,
                                                     ListState::Out, ListState::Returned,
                                                     ListState::Cancelled};

// "Draft", "Confirmed", "Out", "Returned", "Cancelled".
QString stateName(ListState state);
// The state of a stored or chosen name (exact words); none for any other text.
std::optional<ListState> stateOfName(const QString& name);

// Whether the list has a plan at all: a date, or a state other than Draft.
// A list without one is handled exactly as a plain picking list.
bool hasPlan(const ListPlan& plan);

// Whether the list holds its items: Confirmed or Out, with at least one
// date. Draft, Returned and Cancelled hold nothing.
bool holds(const ListPlan& plan);

// Whether the two spans share a day. A span is [out, ret], both days
// included; a missing out date is open to the past, a missing return date
// open to the future. Touching days overlap (back on 15/5, out on 15/5).
// The states are not looked at.
bool overlap(const ListPlan& a, const ListPlan& b);

// Whether list a and list b clash over an item both carry: both hold and
// their spans overlap. A list never clashes with itself.
bool clash(qint64 listA, const ListPlan& a, qint64 listB, const ListPlan& b);

// Whether the plan's return date comes before its out date: such a plan is
// refused ("The return date 10/5/2027 is before the out date 12/5/2027.");
// empty when the plan is sound.
QString planProblem(const ListPlan& plan);

// "Due for test while out": the item is on a holding list and its next test
// falls before the list's return date (any known due day when the list has
// no return date). `dueDay` is the day the tests-due rule gives
// (TestsDue::Due::day); none when it cannot be known.
bool dueWhileOut(const ListPlan& plan, std::optional<TestsDue::Day> dueDay);

// A date as the program shows it: "12/5/2027".
QString dateText(const QDate& date);
// The span in words: "from 12/5/2027 to 15/5/2027", "from 12/5/2027 (no
// return date)", "until 15/5/2027"; empty without dates.
QString spanText(const ListPlan& plan);
// The plan in one line, as the windows show it: "Confirmed, from 12/5/2027
// to 15/5/2027"; the state alone without dates.
QString planText(const ListPlan& plan);

// "booked on list 3 from 12/5/2027 to 15/5/2027" (the scan answer's words).
QString bookedText(const Booking& booking);
// "booked on list 3 Stage left from 12/5/2027 to 15/5/2027": with the name.
QString bookedWithNameText(const Booking& booking);
// The list editor's question before an item booked elsewhere is added:
// "Item 45 Strobe is booked on list 3 Stage left from 12/5/2027 to
// 15/5/2027. Add it anyway?"; several bookings are joined with "and on".
QString addAnywayQuestion(qint64 itemId, const QString& itemDesc, const QList<Booking>& bookings);
// The question before a plan that makes clashes is saved, every clash a
// line: "Confirming this list books items that are booked elsewhere:\n
// Item 45 Strobe: booked on list 3 Stage left from ... \nSave it anyway?"
QString clashesQuestion(const QList<Clash>& clashes);

// Dates as ListPlans stores them: ISO "yyyy-MM-dd" (so ranges compare as
// text), empty for none; and back (none for empty or unreadable text).
QString storedDate(const std::optional<QDate>& date);
std::optional<QDate> dateOfStored(const QString& text);

}  // namespace Bookings
