// ListStore's plans and bookings: the lists' dates and states, the clash
// checks of every write that could book an item twice, and the reads of the
// bookings (ListStore.cpp holds the lists and their lines).
#include <QSet>
#include <algorithm>

#include "data/ListStore.h"
#include "data/Register.h"
#include "data/StoreSql.h"
#include "data/engine/Sql.h"

using Sql::Connection;
using Sql::Statement;
using StoreSql::otherHoldingLists;
using StoreSql::readListPlan;

namespace {

// A plan that holds its items: the words of Bookings::holds.
constexpr const char* kHolds =
    R"(P."state" IN ('Confirmed', 'Out') AND (P."outdate" IS NOT NULL OR P."returndate" IS NOT NULL))";

// The plan in columns `first`.. of a row: out date, return date, state.
ListPlan planOf(const Statement& row, int first) {
    ListPlan plan;
    plan.out = Bookings::dateOfStored(row.shown(first));
    plan.ret = Bookings::dateOfStored(row.shown(first + 1));
    // A state no program wrote holds nothing.
    plan.state = Bookings::stateOfName(row.shown(first + 2)).value_or(ListState::Draft);
    return plan;
}

void bindDate(Statement& statement, const std::optional<QDate>& date) {
    if (date)
        statement.bind(Bookings::storedDate(date));
    else
        statement.bindNull();
}

}  // namespace

std::optional<ListPlan> StoreSql::readListPlan(Connection& db, qint64 listId) {
    Statement select(
        db, R"(SELECT "outdate", "returndate", "state" FROM "ListPlans" WHERE "listid" = ?)");
    select.bind(listId);
    const ListPlan plan = select.step() ? planOf(select, 0) : ListPlan{};
    return select.ok() ? std::optional(plan) : std::nullopt;
}

QString StoreSql::loggedLine(qint64 itemId, const QString& itemDesc) {
    return QStringLiteral("%1 - %2").arg(itemId).arg(itemDesc);
}

namespace {

std::optional<QString> loggedDate(const std::optional<QDate>& date) {
    if (!date)
        return std::nullopt;
    return Bookings::storedDate(date);
}

}  // namespace

void StoreSql::logPlanChange(ChangeLogWriter& log, qint64 listId, const ListPlan& before,
                             const ListPlan& after) {
    using ChangeKind::kPlan;
    log.changed(kPlan, listId, QStringLiteral("outdate"), loggedDate(before.out),
                loggedDate(after.out));
    log.changed(kPlan, listId, QStringLiteral("returndate"), loggedDate(before.ret),
                loggedDate(after.ret));
    log.changed(kPlan, listId, QStringLiteral("state"), Bookings::stateName(before.state),
                Bookings::stateName(after.state));
}

bool StoreSql::logLinesRemoved(Connection& db, ChangeLogWriter& log, qint64 listId, qint64 itemId) {
    Statement lines(db, itemId == 0
                            ? R"(SELECT "itemid", "itemdesc" FROM "ListData" WHERE "listid" = ?)"
                            : R"(SELECT "itemid", "itemdesc" FROM "ListData" WHERE "listid" = ?
                                 AND "itemid" = ?)");
    lines.bind(listId);
    if (itemId != 0)
        lines.bind(itemId);
    while (lines.step()) {
        log.changed(ChangeKind::kLine, listId, QStringLiteral("item"),
                    loggedLine(lines.integer(0), lines.shown(1)), std::nullopt);
    }
    return lines.ok();
}

bool StoreSql::writePlan(Connection& db, ChangeLogWriter& log, qint64 listId,
                         const ListPlan& plan) {
    const auto before = readListPlan(db, listId);
    if (!before)
        return false;
    logPlanChange(log, listId, *before, plan);
    Statement remove(db, R"(DELETE FROM "ListPlans" WHERE "listid" = ?)");
    remove.bind(listId);
    if (!remove.run())
        return false;
    if (!Bookings::hasPlan(plan))
        return true;
    Statement add(
        db,
        R"(INSERT INTO "ListPlans" ("listid", "outdate", "returndate", "state") VALUES (?, ?, ?, ?))");
    add.bind(listId);
    bindDate(add, plan.out);
    bindDate(add, plan.ret);
    add.bind(Bookings::stateName(plan.state));
    return add.run();
}

// Every other holding list that carries an item of the list (or the one
// item, when itemId is given), with the item as the list's line stores it:
// the candidates of a clash, which the rule then decides on.
std::optional<QList<Clash>> StoreSql::otherHoldingLists(Connection& db, qint64 listId,
                                                        qint64 itemId) {
    const QByteArray lines =
        itemId != 0
            ? QByteArray(R"(SELECT O."itemid", O."itemdesc", P."listid", L."ListName", P."outdate",
                          P."returndate", P."state" FROM "ListData" O
                          JOIN "ListPlans" P ON P."listid" = O."listid"
                          LEFT JOIN "Lists" L ON L."id" = P."listid"
                          WHERE O."itemid" = ? AND O."listid" <> ? AND )")
            : QByteArray(R"(SELECT D."itemid", D."itemdesc", P."listid", L."ListName", P."outdate",
                          P."returndate", P."state" FROM "ListData" D
                          JOIN "ListData" O ON O."itemid" = D."itemid"
                          JOIN "ListPlans" P ON P."listid" = O."listid"
                          LEFT JOIN "Lists" L ON L."id" = P."listid"
                          WHERE D."listid" = ? AND O."listid" <> ? AND )");
    const QByteArray sql = lines + kHolds + R"( ORDER BY 1, 3)";
    Statement select(db, sql.constData());
    select.bind(itemId != 0 ? itemId : listId).bind(listId);
    QList<Clash> found;
    while (select.step()) {
        found.append({select.wholeNumber(0).value_or(0), select.shown(1),
                      Booking{select.integer(2), select.shown(3), planOf(select, 4)}});
    }
    return select.ok() ? std::optional(found) : std::nullopt;
}

namespace {

// The candidates the list's plan clashes with.
QList<Clash> clashesOf(qint64 listId, const ListPlan& plan, const QList<Clash>& candidates) {
    QList<Clash> clashes;
    for (const Clash& c : candidates) {
        if (Bookings::clash(listId, plan, c.other.listId, c.other.plan))
            clashes.append(c);
    }
    return clashes;
}

// Whether a clash of `now` was not there `before`.
bool anyNew(const QList<Clash>& now, const QList<Clash>& before) {
    QSet<QPair<qint64, qint64>> known;
    for (const Clash& c : before)
        known.insert({c.itemId, c.other.listId});
    return std::any_of(now.cbegin(), now.cend(), [&known](const Clash& c) {
        return !known.contains({c.itemId, c.other.listId});
    });
}

// Earliest out date first (an open one before any), then by list.
bool comesFirst(const Booking& a, const Booking& b) {
    const QDate outA = a.plan.out.value_or(QDate()), outB = b.plan.out.value_or(QDate());
    if (outA != outB)
        return !outA.isValid() || (outB.isValid() && outA < outB);
    return a.listId < b.listId;
}

void sortByOutDate(QList<Booking>& bookings) {
    std::stable_sort(bookings.begin(), bookings.end(), comesFirst);
}

// The filter's items as SQL after "FROM": the items of the category or the
// list, without those booked over the range when only free ones are asked
// for. Values in the order the text takes them.
struct FilterSql {
    QByteArray from;
    QVariantList values;
    QByteArray order;
};

// The items some holding list books on a day of [from, to].
constexpr const char* kBookedOverRange =
    R"(SELECT O."itemid" FROM "ListPlans" P JOIN "ListData" O ON O."listid" = P."listid"
       WHERE P."state" IN ('Confirmed', 'Out')
         AND (P."outdate" IS NOT NULL OR P."returndate" IS NOT NULL)
         AND (P."outdate" IS NULL OR P."outdate" <= ?)
         AND (P."returndate" IS NULL OR P."returndate" >= ?)
         AND O."itemid" IS NOT NULL)";

FilterSql filterSql(const AvailabilityFilter& f) {
    FilterSql sql;
    sql.from = R"("Items" I WHERE 1 = 1)";
    if (f.category) {
        sql.from += R"( AND I."category" = ?)";
        sql.values << *f.category;
    }
    if (f.listId != 0) {
        sql.from += R"( AND I."id" IN (SELECT "itemid" FROM "ListData" WHERE "listid" = ?))";
        sql.values << f.listId;
    }
    if (f.freeOnly) {
        sql.from += QByteArray(R"( AND I."id" NOT IN ()") + kBookedOverRange + ")";
        sql.values << Bookings::storedDate(f.to) << Bookings::storedDate(f.from);
    }
    // Along the category index, so a page far down is found without
    // reading the items before it.
    sql.order = R"( ORDER BY I."category", I."id")";
    return sql;
}

// The bookings of the plan span [from, to] overlap: the holding lists'
// spans, open ends reaching as far as they go.
constexpr const char* kOverlapsRange =
    R"((P."outdate" IS NULL OR P."outdate" <= ?) AND (P."returndate" IS NULL OR P."returndate" >= ?))";

// The first step of a write that may book an item: desks that book take
// turns as the counters do (of two confirming at once, the second waits
// here and then sees the first's booking), and the list's row is held.
// False when the list is gone; none on a failed statement.
std::optional<bool> takeTurnOnList(Connection& db, qint64 listId) {
    if (!StoreSql::takeTurnOnCounters(db))
        return std::nullopt;
    const QByteArray sql = QByteArray(R"(SELECT 1 FROM "Lists" WHERE "id" = ?)") + db.forUpdate();
    return StoreSql::findsRow(db, sql.constData(), {listId});
}

}  // namespace

AddLineResult ListStore::addLine(qint64 listId, qint64 itemId, const QString& itemDesc,
                                 bool acceptBooking, QList<Booking>* bookings) {
    AddLineResult result = AddLineResult::Added;
    const bool ok = reg_.write(
        QStringLiteral("add item %1 to list %2").arg(itemId).arg(listId), QStringLiteral("Save"),
        [&](Connection& db, ChangeLogWriter& log) {
            // Two desks adding the same line one after the other: the
            // second finds the first's.
            const auto list = takeTurnOnList(db, listId);
            if (!list)
                return false;
            if (!*list) {
                result = AddLineResult::ListGone;
                return true;
            }
            const auto line = StoreSql::findsRow(
                db, R"(SELECT 1 FROM "ListData" WHERE "listid" = ? AND "itemid" = ?)",
                {listId, itemId});
            if (!line)
                return false;
            if (*line) {
                result = AddLineResult::AlreadyOnList;
                return true;
            }
            const auto plan = readListPlan(db, listId);
            if (!plan)
                return false;
            if (Bookings::holds(*plan)) {
                const auto others = otherHoldingLists(db, listId, itemId);
                if (!others)
                    return false;
                QList<Booking> booked;
                for (const Clash& c : clashesOf(listId, *plan, *others))
                    booked.append(c.other);
                sortByOutDate(booked);
                if (bookings)
                    *bookings = booked;
                if (!booked.isEmpty() && !acceptBooking) {
                    result = AddLineResult::Booked;
                    return true;
                }
            }
            Statement insert(
                db, R"(INSERT INTO "ListData" ("listid", "itemid", "itemdesc") VALUES (?, ?, ?))");
            insert.bind(listId).bind(itemId).bind(itemDesc);
            log.changed(ChangeKind::kLine, listId, QStringLiteral("item"), std::nullopt,
                        StoreSql::loggedLine(itemId, itemDesc));
            return insert.run();
        });
    return ok ? result : AddLineResult::Failed;
}

std::optional<ListPlan> ListStore::plan(qint64 listId) {
    std::optional<ListPlan> plan;
    const bool ok = reg_.run(QStringLiteral("read the dates of list %1").arg(listId),
                             Register::Mode::Read, [&](Connection& db) {
                                 plan = readListPlan(db, listId);
                                 return plan.has_value();
                             });
    return ok ? plan : std::nullopt;
}

std::optional<QHash<qint64, ListPlan>> ListStore::plans() {
    QHash<qint64, ListPlan> plans;
    const bool ok = StoreSql::readRows(
        reg_, QStringLiteral("read the dates of the lists"),
        R"(SELECT "listid", "outdate", "returndate", "state" FROM "ListPlans")", {},
        [&](const Statement& row) { plans.insert(row.integer(0), planOf(row, 1)); });
    return ok ? std::optional(plans) : std::nullopt;
}

SetPlanResult ListStore::setPlan(qint64 listId, const ListPlan& plan, bool acceptClashes,
                                 QList<Clash>* clashes) {
    if (!Bookings::planProblem(plan).isEmpty())
        return SetPlanResult::Invalid;
    SetPlanResult result = SetPlanResult::Saved;
    const bool ok = reg_.write(
        QStringLiteral("save the dates of list %1").arg(listId), QStringLiteral("Save"),
        [&](Connection& db, ChangeLogWriter& log) {
            const auto list = takeTurnOnList(db, listId);
            if (!list)
                return false;
            if (!*list) {
                result = SetPlanResult::ListGone;
                return true;
            }
            const auto stored = readListPlan(db, listId);
            if (!stored)
                return false;
            if (Bookings::holds(plan)) {
                const auto candidates = otherHoldingLists(db, listId);
                if (!candidates)
                    return false;
                const QList<Clash> now = clashesOf(listId, plan, *candidates);
                if (clashes)
                    *clashes = now;
                if (!acceptClashes && anyNew(now, clashesOf(listId, *stored, *candidates))) {
                    result = SetPlanResult::Clashes;
                    return true;
                }
            }
            return StoreSql::writePlan(db, log, listId, plan);
        });
    return ok ? result : SetPlanResult::Failed;
}

std::optional<QList<Clash>> ListStore::clashingLines(qint64 listId) {
    std::optional<QList<Clash>> clashes;
    const bool ok = reg_.run(QStringLiteral("read the bookings of list %1").arg(listId),
                             Register::Mode::Read, [&](Connection& db) {
                                 const auto plan = readListPlan(db, listId);
                                 if (!plan)
                                     return false;
                                 if (!Bookings::holds(*plan)) {
                                     clashes.emplace();
                                     return true;
                                 }
                                 const auto candidates = otherHoldingLists(db, listId);
                                 if (candidates)
                                     clashes = clashesOf(listId, *plan, *candidates);
                                 return candidates.has_value();
                             });
    return ok ? clashes : std::nullopt;
}

std::optional<QList<qint64>> ListStore::linesDueWhileOut(qint64 listId) {
    QList<qint64> due;
    const bool ok = reg_.run(
        QStringLiteral("read the tests due on list %1").arg(listId), Register::Mode::Read,
        [&](Connection& db) {
            const auto plan = readListPlan(db, listId);
            if (!plan)
                return false;
            if (!Bookings::holds(*plan))
                return true;
            Statement items(db, R"(SELECT D."itemid", I."testinterval", I."testlast", I."testnext"
                FROM "ListData" D JOIN "Items" I ON I."id" = D."itemid"
                WHERE D."listid" = ? ORDER BY D."itemid")");
            items.bind(listId);
            while (items.step()) {
                // The due day does not depend on today, nor on a failed test.
                const TestsDue::Due itemDue = TestsDue::dueOf(
                    {items.utf8(1), items.utf8(2), items.utf8(3)}, false, {QDate(2000, 1, 1)});
                if (Bookings::dueWhileOut(*plan, itemDue.day))
                    due.append(items.integer(0));
            }
            return items.ok();
        });
    return ok ? std::optional(due) : std::nullopt;
}

std::optional<QList<Booking>> ListStore::comingBookings(qint64 itemId, const QDate& today) {
    QList<Booking> coming;
    const bool ok = reg_.run(QStringLiteral("read the bookings of item %1").arg(itemId),
                             Register::Mode::Read, [&](Connection& db) {
                                 const auto lists = otherHoldingLists(db, 0, itemId);
                                 if (!lists)
                                     return false;
                                 for (const Clash& c : *lists) {
                                     if (Bookings::holds(c.other.plan) &&
                                         (!c.other.plan.ret || *c.other.plan.ret >= today))
                                         coming.append(c.other);
                                 }
                                 return true;
                             });
    sortByOutDate(coming);
    return ok ? std::optional(coming) : std::nullopt;
}

std::optional<qint64> ListStore::availabilityCount(const AvailabilityFilter& filter) {
    // The free items are counted as all the filter's items less the booked
    // ones among them: the few booked items are looked up, instead of each
    // of a million items in the booked ones.
    AvailabilityFilter all = filter;
    all.freeOnly = false;
    const FilterSql f = filterSql(all);
    QByteArray sql = R"(SELECT COUNT(*) FROM )" + f.from;
    QVariantList values = f.values;
    if (filter.freeOnly) {
        sql = "SELECT (" + sql + ") - (SELECT COUNT(*) FROM " + f.from + R"( AND I."id" IN ()" +
              kBookedOverRange + "))";
        values += f.values;
        values << Bookings::storedDate(filter.to) << Bookings::storedDate(filter.from);
    }
    qint64 count = 0;
    const bool ok =
        StoreSql::readRows(reg_, QStringLiteral("count the items"), sql.constData(), values,
                           [&count](const Statement& row) { count = row.integer(0); });
    return ok ? std::optional(count) : std::nullopt;
}

std::optional<IdTextRows> ListStore::availabilityPage(const AvailabilityFilter& filter,
                                                      qint64 offset, int limit) {
    const FilterSql f = filterSql(filter);
    IdTextRows rows;
    const QByteArray sql =
        R"(SELECT I."id", I."desc" FROM )" + f.from + f.order + " LIMIT ? OFFSET ?";
    QVariantList values = f.values;
    values << qint64(std::max(limit, 0)) << std::max<qint64>(offset, 0);
    const bool ok = StoreSql::readRows(
        reg_, QStringLiteral("read the items"), sql.constData(), values,
        [&rows](const Statement& row) { rows.append(row.integer(0), row.utf8(1)); });
    return ok ? std::optional(std::move(rows)) : std::nullopt;
}

std::optional<QList<ItemBooking>> ListStore::bookingsOf(std::span<const qint64> itemIds,
                                                        const QDate& from, const QDate& to) {
    QList<ItemBooking> bookings;
    // A handful of statements for a page, each with a bounded number of values.
    constexpr std::size_t kChunk = 200;
    const bool ok =
        reg_.run(QStringLiteral("read the bookings"), Register::Mode::Read, [&](Connection& db) {
            for (std::size_t at = 0; at < itemIds.size(); at += kChunk) {
                const auto chunk = itemIds.subspan(at, std::min(kChunk, itemIds.size() - at));
                QByteArray marks = "?";
                for (std::size_t i = 1; i < chunk.size(); ++i)
                    marks += ", ?";
                const QByteArray sql =
                    R"(SELECT O."itemid", P."listid", L."ListName", P."outdate", P."returndate",
                              P."state"
                       FROM "ListData" O JOIN "ListPlans" P ON P."listid" = O."listid"
                       LEFT JOIN "Lists" L ON L."id" = P."listid"
                       WHERE O."itemid" IN ()" +
                    marks + ") AND " + kHolds + " AND " + kOverlapsRange +
                    R"( ORDER BY O."itemid", P."listid")";
                Statement select(db, sql.constData());
                for (const qint64 id : chunk)
                    select.bind(id);
                select.bind(Bookings::storedDate(to)).bind(Bookings::storedDate(from));
                QList<ItemBooking> read;
                while (select.step())
                    read.append({select.wholeNumber(0).value_or(0),
                                 Booking{select.integer(1), select.shown(2), planOf(select, 3)},
                                 false});
                if (!select.ok())
                    return false;
                // A clash may lie outside the range: each item's lists are
                // asked in full.
                qint64 item = 0;
                QList<Clash> lists;
                for (ItemBooking& b : read) {
                    if (b.itemId != item) {
                        item = b.itemId;
                        const auto all = otherHoldingLists(db, 0, item);
                        if (!all)
                            return false;
                        lists = *all;
                    }
                    b.clash = std::any_of(lists.cbegin(), lists.cend(), [&b](const Clash& c) {
                        return Bookings::clash(b.booking.listId, b.booking.plan, c.other.listId,
                                               c.other.plan);
                    });
                }
                bookings += read;
            }
            return true;
        });
    // By item, then out date (an open one first), then list.
    std::stable_sort(bookings.begin(), bookings.end(),
                     [](const ItemBooking& a, const ItemBooking& b) {
                         if (a.itemId != b.itemId)
                             return a.itemId < b.itemId;
                         return comesFirst(a.booking, b.booking);
                     });
    return ok ? std::optional(bookings) : std::nullopt;
}

QStringList ListStore::bookingColumns() {
    return {QStringLiteral("list"),   QStringLiteral("item"),  QStringLiteral("out"),
            QStringLiteral("return"), QStringLiteral("state"), QStringLiteral("clash")};
}

bool ListStore::exportBookings(const BookingRowHandler& onRow) {
    return reg_.run(
        QStringLiteral("export the bookings"), Register::Mode::Read, [&](Connection& db) {
            // The holding lists of every item first (a few per item at most),
            // then every planned line, told whether it clashes.
            QHash<qint64, QList<QPair<qint64, ListPlan>>> holding;
            const QByteArray holdingSql =
                QByteArray(R"(SELECT O."itemid", P."listid", P."outdate", P."returndate", P."state"
                          FROM "ListPlans" P JOIN "ListData" O ON O."listid" = P."listid" WHERE )") +
                kHolds;
            Statement held(db, holdingSql.constData());
            while (held.step())
                holding[held.integer(0)].append({held.integer(1), planOf(held, 2)});
            if (!held.ok())
                return false;
            Statement lines(db,
                            R"(SELECT P."listid", O."itemid", P."outdate", P."returndate", P."state"
                               FROM "ListPlans" P JOIN "ListData" O ON O."listid" = P."listid"
                               ORDER BY P."listid", O."itemid")");
            std::array<std::string, 6> texts;
            std::array<std::string_view, 6> values;
            while (lines.step()) {
                const qint64 listId = lines.integer(0), itemId = lines.integer(1);
                const ListPlan plan = planOf(lines, 2);
                const auto& others = holding.value(itemId);
                const bool clash = std::any_of(others.cbegin(), others.cend(), [&](const auto& o) {
                    return Bookings::clash(listId, plan, o.first, o.second);
                });
                texts = {std::to_string(listId),
                         std::to_string(itemId),
                         plan.out ? Bookings::dateText(*plan.out).toStdString() : std::string(),
                         plan.ret ? Bookings::dateText(*plan.ret).toStdString() : std::string(),
                         Bookings::stateName(plan.state).toStdString(),
                         clash ? "Yes" : "No"};
                for (std::size_t i = 0; i < texts.size(); ++i)
                    values[i] = texts[i];
                if (!onRow(values))
                    return true;
            }
            return lines.ok();
        });
}
