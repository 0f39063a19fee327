#include "data/IdStore.h"

#include "data/Register.h"
#include "data/StoreSql.h"
#include "data/rules/TextRules.h"

using Sql::Connection;
using Sql::Statement;
using namespace StoreSql;

std::optional<qint64> IdStore::predicted(RecordTable table) {
    const IdTable t = idTableOf(table);
    std::optional<qint64> next;
    const bool ok = reg_.run(QStringLiteral("find the id of a new %1").arg(QLatin1String(t.noun)),
                             Register::Mode::Read, [&](Connection& db) {
                                 next = nextIdOf(db, t, false);
                                 return next.has_value();
                             });
    return ok ? next : std::nullopt;
}

std::optional<Counters> IdStore::counters() {
    Counters counters;
    bool found = false;
    const bool ok =
        readRows(reg_, QStringLiteral("read the id counters"),
                 R"(SELECT "lastid", "lastCase", "lastList" FROM "Data" LIMIT 1)", {},
                 [&](const Statement& row) {
                     found = true;
                     const auto counter = [&row](int col) {
                         return TextRules::wholeNumber(TextRules::numericValue(row.shown(col)));
                     };
                     counters = {counter(0), counter(1), counter(2)};
                 });
    if (ok && !found) {
        reg_.report(QStringLiteral("read the id counters"),
                    QStringLiteral("Table Data holds no counter row."));
        return std::nullopt;
    }
    return ok ? std::optional<Counters>(counters) : std::nullopt;
}
