// Quick open: any text asks for nothing or for one record by a whole id that
// is never negative; the id written back with its letter asks for the same.
#include "FuzzText.h"
#include "data/rules/TextRules.h"

namespace {

QString prefixOf(RecordTable table) {
    switch (table) {
        case RecordTable::Cases:
            return QStringLiteral("F");
        case RecordTable::Lists:
            return QStringLiteral("L");
        case RecordTable::Items:
            break;
    }
    return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = fuzzText(data, size);
    const auto wanted = TextRules::parseQuickOpen(text);
    if (!wanted)
        return 0;
    FUZZ_CHECK(!text.isEmpty());
    FUZZ_CHECK(wanted->id >= 0);
    const auto again =
        TextRules::parseQuickOpen(prefixOf(wanted->table) + QString::number(wanted->id));
    FUZZ_CHECK(again && again->table == wanted->table && again->id == wanted->id);
    return 0;
}
