#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <optional>

#include "data/rules/Records.h"

// Small rules about texts that several windows share: how a number is read
// back from displayed text, how a list line is taken apart, how a date is
// written.
namespace TextRules {

// The number formed by the leading characters of a text. Blanks are skipped
// everywhere (also between digits); an optional sign, digits with at most one
// "." and an optional exponent follow. The decimal point is always ".".
// A text that does not start with a number gives 0.
double numericValue(const QString& text);

// The numeric value of an untyped field: numbers as they are, texts by
// numericValue, empty as 0.
double numericValue(const QVariant& value);

// A number as a whole number of the 64-bit range: the fraction dropped,
// numbers beyond the range clamped to its ends, a value that is not a
// number (NaN) read as 0.
qint64 wholeNumber(double value);

// A number as the program writes it: whole numbers without a decimal point,
// other numbers in their shortest exact form.
QString numberText(double value);

// The id at the start of a list line "12 - Cable drum". Looks for the last "-"
// among the first ten characters and reads the number before it; ids of up to
// eight digits are found, a line without such a "-" gives 0.
qint64 IdFromListLine(const QString& line);

// "id - text", the line format of every list box that lists records.
QString listLine(qint64 id, const QString& text);
QString listLine(const QString& id, const QString& text);

// The text as the register stores it: each lone surrogate (half of a pair,
// which UTF-8 cannot hold) becomes U+FFFD, the replacement character, so
// that what is compared is what is stored; every other character stays.
QString storable(const QString& text);

// Day/month/year without leading zeros: 7/3/2008.
QString dateText(const QDate& date);

// True when the text is a whole number of digits, blanks around it allowed.
// Sets *value to the number.
bool parseWholeNumber(const QString& text, qint64* value);

// A code as a keyboard-wedge scanner types it on a French (AZERTY) keyboard
// layout, where the digit row unshifted gives "&é\"'(-è_çà" for 1234567890:
// when the text, blanks around it aside, is made of those characters alone,
// after an "F" or "L" (either case) kept as it is, the same code in digits
// ("F&é" gives "F12"). Any other text comes back as it is: one that only
// looks alike, or mixes them with digits, is never guessed at.
QString fromAzertyDigitRow(const QString& text);

// What the main window's quick-open box asks for: "F12" the case 12, "L3" the
// list 3, "45" the item 45 (letters in either case, blanks around the number
// allowed; the digit row of an AZERTY layout read as digits).
struct QuickOpen {
    RecordTable table = RecordTable::Items;
    qint64 id = 0;
};
// Nothing for any other text: only a whole number is looked up.
std::optional<QuickOpen> parseQuickOpen(const QString& text);

}  // namespace TextRules
