// Date text of any valid date: day, month and year as decimal numbers without
// leading zeros, separated by "/", reading back to the same date; the years
// the date picker offers (1000 to 9999) have four digits.
#include <QDate>
#include <QStringList>
#include <optional>

#include "FuzzText.h"
#include "data/rules/TextRules.h"

namespace {

// A decimal field without leading zeros (a minus allowed for the year).
std::optional<int> field(const QString& text, bool signAllowed) {
    const QString digits = signAllowed && text.startsWith(QLatin1Char('-')) ? text.mid(1) : text;
    if (digits.isEmpty() || (digits.size() > 1 && digits[0] == QLatin1Char('0')))
        return std::nullopt;
    for (QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

std::optional<QDate> parseDateText(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('/'));
    if (parts.size() != 3)
        return std::nullopt;
    const auto day = field(parts[0], false);
    const auto month = field(parts[1], false);
    const auto year = field(parts[2], true);
    if (!day || !month || !year)
        return std::nullopt;
    return QDate(*year, *month, *day);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int year = in.ConsumeIntegral<int>();
    const int month = in.ConsumeIntegral<int>();
    const int day = in.ConsumeIntegral<int>();
    const QDate date(year, month, day);
    if (!date.isValid())
        return 0;
    const QString text = TextRules::dateText(date);
    const auto back = parseDateText(text);
    FUZZ_CHECK(back && *back == date);
    if (year >= 1000 && year <= 9999)
        FUZZ_CHECK(text.section(QLatin1Char('/'), 2).size() == 4);
    return 0;
}
