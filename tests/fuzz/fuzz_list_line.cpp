// IdFromListLine: any line gives a whole number without overflow, 0 when no
// "-" stands in its first ten characters; a line written by listLine gives
// back its id for ids of up to eight digits, whatever the text.
#include "FuzzText.h"
#include "data/rules/TextRules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString line = fuzzText(data, size);
    const qint64 any = TextRules::IdFromListLine(line);
    if (!line.left(10).contains(QLatin1Char('-')))
        FUZZ_CHECK(any == 0);

    FuzzedDataProvider in(data, size);
    const qint64 id = in.ConsumeIntegralInRange<qint64>(0, 99999999);
    const QString text = fuzzText(in);
    FUZZ_CHECK(TextRules::IdFromListLine(TextRules::listLine(id, text)) == id);
    return 0;
}
