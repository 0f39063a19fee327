#include "data/rules/Bookings.h"

#include <QStringList>

namespace Bookings {

namespace {

constexpr std::array<const char*, kStates.size()> kStateNames = {"Draft", "Confirmed", "Out",
                                                                 "Returned", "Cancelled"};

// The first and last day of a span; an open end reaches as far as any date can.
QDate firstDay(const ListPlan& plan) {
    return plan.out.value_or(QDate(1, 1, 1));
}
QDate lastDay(const ListPlan& plan) {
    return plan.ret.value_or(QDate(9999, 12, 31));
}

// "list 3 Stage left from 12/5/2027 to 15/5/2027"
QString onListText(const Booking& booking) {
    QStringList parts = {QStringLiteral("list %1").arg(booking.listId), booking.listName,
                         spanText(booking.plan)};
    parts.removeAll(QString());
    return parts.join(QLatin1Char(' '));
}

}  // namespace

QString stateName(ListState state) {
    return QLatin1String(kStateNames[static_cast<std::size_t>(state)]);
}

std::optional<ListState> stateOfName(const QString& name) {
    for (const ListState state : kStates) {
        if (name == stateName(state))
            return state;
    }
    return std::nullopt;
}

bool hasPlan(const ListPlan& plan) {
    return plan.out || plan.ret || plan.state != ListState::Draft;
}

bool holds(const ListPlan& plan) {
    return (plan.state == ListState::Confirmed || plan.state == ListState::Out) &&
           (plan.out || plan.ret);
}

bool overlap(const ListPlan& a, const ListPlan& b) {
    return firstDay(a) <= lastDay(b) && firstDay(b) <= lastDay(a);
}

bool clash(qint64 listA, const ListPlan& a, qint64 listB, const ListPlan& b) {
    return listA != listB && holds(a) && holds(b) && overlap(a, b);
}

QString planProblem(const ListPlan& plan) {
    if (plan.out && plan.ret && *plan.ret < *plan.out)
        return QStringLiteral("The return date %1 is before the out date %2.")
            .arg(dateText(*plan.ret), dateText(*plan.out));
    return {};
}

bool dueWhileOut(const ListPlan& plan, std::optional<TestsDue::Day> dueDay) {
    if (!holds(plan) || !dueDay)
        return false;
    return !plan.ret || *dueDay < TestsDue::dayOf(*plan.ret);
}

QString dateText(const QDate& date) {
    return QStringLiteral("%1/%2/%3").arg(date.day()).arg(date.month()).arg(date.year());
}

QString spanText(const ListPlan& plan) {
    if (plan.out && plan.ret)
        return QStringLiteral("from %1 to %2").arg(dateText(*plan.out), dateText(*plan.ret));
    if (plan.out)
        return QStringLiteral("from %1 (no return date)").arg(dateText(*plan.out));
    if (plan.ret)
        return QStringLiteral("until %1").arg(dateText(*plan.ret));
    return {};
}

QString planText(const ListPlan& plan) {
    const QString span = spanText(plan);
    return span.isEmpty() ? stateName(plan.state)
                          : QStringLiteral("%1, %2").arg(stateName(plan.state), span);
}

QString bookedText(const Booking& booking) {
    Booking unnamed = booking;
    unnamed.listName.clear();
    return QStringLiteral("booked on ") + onListText(unnamed);
}

QString bookedWithNameText(const Booking& booking) {
    return QStringLiteral("booked on ") + onListText(booking);
}

QString addAnywayQuestion(qint64 itemId, const QString& itemDesc, const QList<Booking>& bookings) {
    QStringList where;
    for (const Booking& b : bookings)
        where << onListText(b);
    return QStringLiteral("Item %1 %2 is booked on %3. Add it anyway?")
        .arg(itemId)
        .arg(itemDesc, where.join(QStringLiteral(" and on ")));
}

QString clashesQuestion(const QList<Clash>& clashes) {
    QStringList lines = {QStringLiteral("This list books items that are booked elsewhere:")};
    for (const Clash& c : clashes)
        lines << QStringLiteral("Item %1 %2: %3")
                     .arg(c.itemId)
                     .arg(c.itemDesc, bookedWithNameText(c.other));
    lines << QStringLiteral("Save it anyway?");
    return lines.join(QLatin1Char('\n'));
}

QString storedDate(const std::optional<QDate>& date) {
    return date && date->isValid() ? date->toString(Qt::ISODate) : QString();
}

std::optional<QDate> dateOfStored(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    const QDate date = QDate::fromString(text, Qt::ISODate);
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

}  // namespace Bookings
