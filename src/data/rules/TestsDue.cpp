#include "data/rules/TestsDue.h"

#include <QStringList>
#include <algorithm>

#include "data/rules/TextRules.h"

namespace TestsDue {

namespace {

// The Julian day of 1/1/1970, where the civil day count below starts.
constexpr Day kJulianDayOf1970 = 2440588;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isLeapYear(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(std::int64_t year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1/1/1970 to a date of the proleptic Gregorian calendar, and
// back (H. Hinnant's civil day algorithms): plain arithmetic, no date
// parser, so a million rows are read quickly.
Day civilDays(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

struct Civil {
    std::int64_t year;
    int month;
    int day;
};

Civil civilOf(Day days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

Day julianDay(std::int64_t year, int month, int day) {
    return civilDays(year, month, day) + kJulianDayOf1970;
}

// Reads `min` to `max` digits at `at`; false when there are fewer or more.
bool readDigits(std::string_view s, std::size_t& at, std::size_t min, std::size_t max,
                std::int64_t& value) {
    const std::size_t start = at;
    value = 0;
    while (at < s.size() && isDigit(s[at])) {
        if (at - start == max)
            return false;
        value = value * 10 + (s[at] - '0');
        ++at;
    }
    return at - start >= min;
}

bool readSlash(std::string_view s, std::size_t& at) {
    if (at >= s.size() || s[at] != '/')
        return false;
    ++at;
    return true;
}

bool isBlankText(std::string_view s) {
    for (const char c : s) {
        if (!isBlank(c))
            return false;
    }
    return true;
}

// The units an interval may carry, as read (lower case, no blanks).
constexpr std::string_view kMonthUnits[] = {"",     "m",   "mo",   "mos",   "mon",
                                            "mons", "mth", "mths", "month", "months"};
constexpr std::string_view kYearUnits[] = {"y", "yr", "yrs", "year", "years"};

template <std::size_t N>
bool isOneOf(std::string_view unit, const std::string_view (&units)[N]) {
    for (const std::string_view u : units) {
        if (unit == u)
            return true;
    }
    return false;
}

// Texts of a plain item record for dueFrom.
struct PlainTexts {
    const TestTexts& texts;
    std::string_view next() const { return texts.next; }
    std::string_view last() const { return texts.last; }
    std::string_view interval() const { return texts.interval; }
};

// The value of a digit; above 9 for any other character.
unsigned digitValue(char c) {
    return static_cast<unsigned>(static_cast<unsigned char>(c)) - unsigned('0');
}

// The date picker's form, d/m/yyyy, read in one go; nullopt for any other
// text, which the general reading then sees to. The year is the last four
// characters after a "/"; before it stand the day and month, one or two
// digits each, a "/" between them.
std::optional<DateReading> readPickerDate(std::string_view s) {
    const std::size_t n = s.size();
    if (n < 8 || n > 10)
        return std::nullopt;
    const char* p = s.data();
    const std::size_t daySlash = p[1] == '/' ? 1 : p[2] == '/' ? 2 : 0;
    const std::size_t yearSlash = n - 5;
    const std::size_t monthDigits = yearSlash - daySlash - 1;
    if (daySlash == 0 || p[yearSlash] != '/' || monthDigits < 1 || monthDigits > 2)
        return std::nullopt;
    const unsigned d0 = digitValue(p[0]), d1 = daySlash == 2 ? digitValue(p[1]) : 0;
    const unsigned m0 = digitValue(p[daySlash + 1]),
                   m1 = monthDigits == 2 ? digitValue(p[daySlash + 2]) : 0;
    const unsigned y0 = digitValue(p[n - 4]), y1 = digitValue(p[n - 3]), y2 = digitValue(p[n - 2]),
                   y3 = digitValue(p[n - 1]);
    if (d0 > 9 || d1 > 9 || m0 > 9 || m1 > 9 || y0 > 9 || y1 > 9 || y2 > 9 || y3 > 9)
        return std::nullopt;
    const int day = static_cast<int>(daySlash == 2 ? d0 * 10 + d1 : d0);
    const int month = static_cast<int>(monthDigits == 2 ? m0 * 10 + m1 : m0);
    const int year = static_cast<int>(((y0 * 10 + y1) * 10 + y2) * 10 + y3);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return DateReading{Reading::Unreadable, 0};
    // Days before each month of a common year.
    static constexpr int kBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const unsigned y = static_cast<unsigned>(year) - 1;
    const Day leapDay = month > 2 && isLeapYear(year) ? 1 : 0;
    // 1721425: the Julian day before 1/1/0001.
    return DateReading{Reading::Read, Day(1721425) + 365 * y + y / 4 - y / 100 + y / 400 +
                                          kBefore[month - 1] + leapDay + day};
}

}  // namespace

DateReading readDate(std::string_view s) {
    if (const std::optional<DateReading> picked = readPickerDate(s))
        return *picked;
    constexpr DateReading unreadable{Reading::Unreadable, 0};
    // A date starts with a digit; only a text that does not may be blank.
    if (s.empty() || !isDigit(s.front()))
        return isBlankText(s) ? DateReading{} : unreadable;
    std::size_t at = 0;
    std::int64_t day = 0;
    std::int64_t month = 0;
    std::int64_t year = 0;
    if (!readDigits(s, at, 1, 2, day) || !readSlash(s, at) || !readDigits(s, at, 1, 2, month) ||
        !readSlash(s, at) || !readDigits(s, at, 4, 4, year) || at != s.size())
        return unreadable;
    if (year < 1 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, static_cast<int>(month)))
        return unreadable;
    return {Reading::Read, julianDay(year, static_cast<int>(month), static_cast<int>(day))};
}

IntervalReading readInterval(std::string_view s) {
    // At most "1200 months" and some blanks matter; a longer text is not
    // an interval this rule reads.
    char compact[16];
    std::size_t length = 0;
    for (const char c : s) {
        if (isBlank(c))
            continue;
        if (length == sizeof compact)
            return {Reading::Unreadable, 0};
        compact[length++] = c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
    }
    if (length == 0)
        return {};
    const std::string_view text(compact, length);
    constexpr IntervalReading unreadable{Reading::Unreadable, 0};
    std::size_t at = 0;
    std::int64_t number = 0;
    if (!readDigits(text, at, 1, 4, number) || number == 0)
        return unreadable;
    const std::string_view unit = text.substr(at);
    std::int64_t months = 0;
    if (isOneOf(unit, kMonthUnits))
        months = number;
    else if (isOneOf(unit, kYearUnits))
        months = number * 12;
    else
        return unreadable;
    if (months > kLongestIntervalMonths)
        return unreadable;
    return {Reading::Read, static_cast<int>(months)};
}

bool needsNoTest(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    static constexpr std::string_view kNoTestWords[] = {"none", "n/a", "not required", "-"};
    for (const std::string_view words : kNoTestWords) {
        if (s.size() == words.size() &&
            std::equal(s.begin(), s.end(), words.begin(), [](char a, char b) {
                return (a >= 'A' && a <= 'Z' ? static_cast<char>(a | 0x20) : a) == b;
            }))
            return true;
    }
    return false;
}

IntervalClass classifyInterval(std::string_view s) {
    IntervalClass kind;
    kind.noTest = needsNoTest(s);
    if (!kind.noTest)
        kind.reading = readInterval(s);
    return kind;
}

IntervalClass IntervalMemo::of(std::string_view s) {
    // A handful of short texts: compared byte by byte, without a call.
    for (std::size_t i = 0; i < count_; ++i) {
        const Entry& e = entries_[i];
        if (e.size != s.size())
            continue;
        std::size_t at = 0;
        while (at < s.size() && s[at] == e.text[at])
            ++at;
        if (at == s.size())
            return e.kind;
    }
    const IntervalClass kind = classifyInterval(s);
    if (count_ < entries_.size() && s.size() <= kLongest) {
        Entry& e = entries_[count_++];
        std::copy(s.begin(), s.end(), e.text.begin());
        e.size = s.size();
        e.kind = kind;
    }
    return kind;
}

Day addMonths(Day day, int months) {
    const Civil from = civilOf(day - kJulianDayOf1970);
    const std::int64_t monthCount = from.year * 12 + (from.month - 1) + months;
    const std::int64_t year = monthCount >= 0 ? monthCount / 12 : (monthCount - 11) / 12;
    const int month = static_cast<int>(monthCount - year * 12) + 1;
    return julianDay(year, month, std::min(from.day, daysInMonth(year, month)));
}

Day dayOf(const QDate& date) {
    return date.toJulianDay();
}

QDate dateOf(Day day) {
    return QDate::fromJulianDay(day);
}

QString dateText(Day day) {
    return TextRules::dateText(dateOf(day));
}

void appendDateText(std::string& out, Day day) {
    const Civil c = civilOf(day - kJulianDayOf1970);
    out += std::to_string(c.day);
    out += '/';
    out += std::to_string(c.month);
    out += '/';
    out += std::to_string(c.year);
}

Status statusOfDay(std::optional<Day> day, Day today, int soonDays) {
    if (!day)
        return Status::NeverTested;
    if (*day < today)
        return Status::Overdue;
    if (*day - today <= soonDays)
        return Status::DueSoon;
    return Status::InDate;
}

Due dueOf(const TestTexts& texts, bool failed, const Window& window) {
    return dueFrom(PlainTexts{texts}, failed, dayOf(window.today), window.soonDays);
}

std::int64_t Counts::total() const {
    std::int64_t sum = 0;
    for (const std::int64_t n : of)
        sum += n;
    return sum;
}

QString statusName(Status status) {
    static const std::array<QString, kStatusCount> names = [] {
        std::array<QString, kStatusCount> made;
        for (std::size_t s = 0; s < made.size(); ++s)
            made[s] = QString::fromLatin1(kStatusNames[s]);
        return made;
    }();
    return names[static_cast<std::size_t>(status)];
}

namespace {
const QString kSeparator = QStringLiteral(" \u00b7 ");

QString countOf(std::int64_t n, Status status) {
    return QStringLiteral("%1 %2").arg(n).arg(statusName(status).toLower());
}
}  // namespace

QString statusLine(const Counts& counts, int soonDays) {
    QStringList parts = {
        QStringLiteral("%1 overdue").arg(counts[Status::Overdue]),
        QStringLiteral("%1 due within %2 days").arg(counts[Status::DueSoon]).arg(soonDays)};
    // Items that need a test as much as overdue ones do: never left unsaid.
    for (const Status s : {Status::Failed, Status::NeverTested, Status::Unreadable}) {
        if (counts[s] > 0)
            parts << countOf(counts[s], s);
    }
    return parts.join(kSeparator);
}

QString goingOutQuestion(std::int64_t itemId, const Due& due) {
    QString state;
    switch (due.status) {
        case Status::NoTestNeeded:
        case Status::InDate:
        case Status::DueSoon:
            return {};
        case Status::Overdue:
            state = QStringLiteral("is overdue for test (due %1)").arg(dateText(*due.day));
            break;
        case Status::Failed:
            state = QStringLiteral("failed its last test");
            break;
        case Status::NeverTested:
            state = QStringLiteral("has never been tested");
            break;
        case Status::Unreadable:
            state = QStringLiteral("has a test date or interval that cannot be read");
            break;
    }
    return QStringLiteral("Item %1 %2. Add it anyway?").arg(itemId).arg(state);
}

QString countsText(const Counts& counts) {
    QStringList parts;
    for (int s = kStatusCount - 1; s >= 0; --s) {
        const auto status = static_cast<Status>(s);
        if (counts[status] > 0)
            parts << countOf(counts[status], status);
    }
    return parts.isEmpty() ? QStringLiteral("nothing") : parts.join(kSeparator);
}

QString caseTestsText(const Counts& counts) {
    for (int s = kStatusCount - 1; s > static_cast<int>(Status::InDate); --s) {
        const auto status = static_cast<Status>(s);
        if (counts[status] > 0)
            return countOf(counts[status], status);
    }
    if (counts[Status::InDate] > 0)
        return QStringLiteral("all in date");
    return counts[Status::NoTestNeeded] > 0 ? QStringLiteral("none needed") : QString();
}

}  // namespace TestsDue
