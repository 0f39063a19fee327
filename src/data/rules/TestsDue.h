#pragma once

#include <QDate>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// When an item's next safety test is due and how urgent that is, from the
// three texts every item keeps: its test interval and its last and next test
// dates. Pure rules: today comes in from the caller, nothing is read here.
//
// Dates are read strictly as the date picker writes them, d/m/yyyy; an
// interval is a whole number of months ("12", "6 m", "1 year", "18 mo"), or
// "none", "n/a", "not required" or "-" for an item that needs no test.
// The next test date wins when it can be read; otherwise the last test date
// plus the interval, months added the calendar way. A text that cannot be
// read is never guessed at: the item is shown as unreadable.
namespace TestsDue {

// From best to worst, so that the worst of several is the largest.
enum class Status : std::uint8_t {
    NoTestNeeded,  // its interval says it needs none: never due
    InDate,        // due after the warning window
    DueSoon,       // due today or within the warning window
    NeverTested,   // no test date at all: it counts as due
    Unreadable,    // a date or interval that cannot be read, or no interval to go by
    Overdue,       // due before today
    Failed,        // the last test recorded failed, until a later one passes
};
inline constexpr int kStatusCount = 7;

inline constexpr int kDefaultSoonDays = 30;

// A day as a number that counts days: its Julian day (QDate::toJulianDay).
using Day = std::int64_t;

// What the rule compares with: today, and how many days ahead an item
// counts as due soon.
struct Window {
    QDate today;
    int soonDays = kDefaultSoonDays;
};

// How a text reads: empty (or blanks only), not readable, or read.
enum class Reading : std::uint8_t { Blank, Unreadable, Read };

struct DateReading {
    Reading reading = Reading::Blank;
    Day day = 0;
};

struct IntervalReading {
    Reading reading = Reading::Blank;
    int months = 0;
};

// The longest interval read: a hundred years.
inline constexpr int kLongestIntervalMonths = 1200;

// Day and month of one or two digits, a year of four, "/" between them, and
// a real calendar date; nothing before or after, no blanks inside.
DateReading readDate(std::string_view utf8);
// A whole number of months from 1 to kLongestIntervalMonths, alone or with
// a unit: m, mo, mon, mth, month(s); y, yr, year(s) for twelve months.
// Letter case and blanks are ignored.
IntervalReading readInterval(std::string_view utf8);
// Whether the interval says the item needs no test: "none", "n/a", "not
// required" or "-", letter case and blanks around them aside.
bool needsNoTest(std::string_view interval);

// What an interval text says: no test needed, or the months it reads as.
struct IntervalClass {
    bool noTest = false;
    IntervalReading reading;
};
IntervalClass classifyInterval(std::string_view utf8);

// Classifies each distinct interval text once. A register holds a handful
// of them ("12", "6 m", "none"), so a pass over a million items reads only
// those; a text too long to keep, or beyond the first few, is read each time.
class IntervalMemo {
public:
    IntervalClass of(std::string_view utf8);

private:
    static constexpr std::size_t kLongest = 16;
    struct Entry {
        std::array<char, kLongest> text{};
        std::size_t size = 0;
        IntervalClass kind;
    };
    std::array<Entry, 8> entries_{};
    std::size_t count_ = 0;
};

// `months` calendar months after the day; a day beyond the end of the
// month it lands in becomes that month's last day (31/1 + 1 = 28/2).
Day addMonths(Day day, int months);

Day dayOf(const QDate& date);
QDate dateOf(Day day);
// "d/m/yyyy", as the date picker writes it.
QString dateText(Day day);
// The same text added to a UTF-8 buffer, without making a date.
void appendDateText(std::string& out, Day day);

struct Due {
    Status status = Status::NeverTested;
    std::optional<Day> day;  // when the next test is due, when that can be known
};

// The status of a due day (or of none) on the window's today.
Status statusOfDay(std::optional<Day> day, Day today, int soonDays);

// The rule over texts that are fetched only when needed: interval() and
// next() first, and last() only when the next test date cannot decide.
// Each returns the text as UTF-8; intervalOf classifies an interval text.
template <class Texts, class IntervalOf>
Due dueFromWith(const Texts& texts, IntervalOf&& intervalOf, bool failed, Day today, int soonDays) {
    Due due;
    const IntervalClass interval = intervalOf(texts.interval());
    // A failed test still counts: the item was tested and is not safe.
    if (interval.noTest) {
        due.status = failed ? Status::Failed : Status::NoTestNeeded;
        return due;
    }
    const DateReading next = readDate(texts.next());
    if (next.reading == Reading::Read) {
        due.day = next.day;
    } else if (next.reading == Reading::Unreadable) {
        due.status = Status::Unreadable;
    } else {
        const DateReading last = readDate(texts.last());
        if (last.reading == Reading::Unreadable) {
            due.status = Status::Unreadable;
        } else if (last.reading == Reading::Read) {
            if (interval.reading.reading == Reading::Read)
                due.day = addMonths(last.day, interval.reading.months);
            else
                due.status = Status::Unreadable;  // tested, but nothing says when again
        }
        // Neither date given: never tested.
    }
    if (due.day)
        due.status = statusOfDay(due.day, today, soonDays);
    if (failed)
        due.status = Status::Failed;
    return due;
}

template <class Texts>
Due dueFrom(const Texts& texts, bool failed, Day today, int soonDays) {
    return dueFromWith(texts, classifyInterval, failed, today, soonDays);
}

// The same over many rows, each interval text classified once.
template <class Texts>
Due dueFrom(const Texts& texts, IntervalMemo& memo, bool failed, Day today, int soonDays) {
    return dueFromWith(
        texts, [&memo](std::string_view interval) { return memo.of(interval); }, failed, today,
        soonDays);
}

// The three texts of an item as plain values.
struct TestTexts {
    std::string_view interval;
    std::string_view last;
    std::string_view next;
};

// The rule for one item: its texts, whether its last recorded test failed,
// and the window.
Due dueOf(const TestTexts& texts, bool failed, const Window& window);

// How many items have each status.
struct Counts {
    std::array<std::int64_t, kStatusCount> of{};

    void add(Status status) { ++of[static_cast<std::size_t>(status)]; }
    std::int64_t operator[](Status status) const { return of[static_cast<std::size_t>(status)]; }
    std::int64_t total() const;
};

// "Overdue", "Due soon", ... as the windows, worksheets and files show a
// status, by Status; the one place these names are written.
inline constexpr std::array<std::string_view, kStatusCount> kStatusNames = {
    "No test needed", "In date", "Due soon", "Never tested", "Unreadable", "Overdue", "Failed"};
inline std::string_view statusNameUtf8(Status status) {
    return kStatusNames[static_cast<std::size_t>(status)];
}
QString statusName(Status status);

// The main window's line: "N overdue · M due within 30 days", then the
// failed, never tested and unreadable items when there are any.
QString statusLine(const Counts& counts, int soonDays);

// The question asked before an item that needs a test goes out on a picking
// list: "Item 12 is overdue for test (due 17/1/2009). Add it anyway?". Empty
// for an item in date, due soon or needing no test.
QString goingOutQuestion(std::int64_t itemId, const Due& due);

// Every status that has items, worst first: "2 failed · 5 overdue · 1 due soon";
// "nothing" when there are none.
QString countsText(const Counts& counts);

// A flight case's tests in words, by the worst status of its items: "2
// overdue" (how many have it), "all in date", "none needed"; empty for a
// case with no items.
QString caseTestsText(const Counts& counts);

}  // namespace TestsDue
