// The numeric value of any text: a finite number, blanks anywhere ignored, a
// minus sign in front negating it, and its whole number never out of range.
#include <cmath>

#include "FuzzText.h"
#include "data/rules/TextRules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = fuzzText(data, size);
    const double value = TextRules::numericValue(text);
    FUZZ_CHECK(std::isfinite(value));
    FUZZ_CHECK(TextRules::numericValue(QVariant(text)) == value);
    FUZZ_CHECK(TextRules::numericValue(QStringLiteral(" \t") + text) == value);
    TextRules::wholeNumber(value);

    const QString trimmed = text.trimmed();
    const bool startsWithNumber =
        !trimmed.isEmpty() && (trimmed[0].isDigit() && trimmed[0].unicode() < 128);
    if (startsWithNumber && text.at(0) == trimmed.at(0))
        FUZZ_CHECK(TextRules::numericValue(QLatin1Char('-') + text) == -value);
    return 0;
}
