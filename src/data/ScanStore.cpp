#include "data/ScanStore.h"

#include "data/DueReader.h"
#include "data/Register.h"
#include "data/StoreSql.h"
#include "data/engine/Sql.h"

using ScanRules::Answer;
using ScanRules::Code;
using ScanRules::Kind;
using Sql::Connection;
using Sql::Statement;

namespace {

QString timeText(const QDateTime& when) {
    return when.isValid() ? when.toString(Qt::ISODate) : QString();
}

QDateTime timeOf(const QString& text) {
    return text.isEmpty() ? QDateTime() : QDateTime::fromString(text, Qt::ISODate);
}

// Whether the statement, with its values bound, finds a row.
std::optional<bool> findsRow(Statement& statement) {
    const bool found = statement.step();
    return statement.ok() ? std::optional<bool>(found) : std::nullopt;
}

ScanRules::Session sessionOf(const Statement& row) {
    ScanRules::Session s;
    s.id = row.integer(0);
    s.kind = ScanRules::kindOfWord(row.shown(1)).value_or(Kind::Stocktake);
    s.location = row.shown(2);
    s.listId = row.integer(3);
    s.started = timeOf(row.shown(4));
    s.finished = timeOf(row.shown(5));
    s.user = row.shown(6);
    return s;
}

constexpr const char* kSessionColumns =
    R"(SELECT "id", "kind", "location", "listid", "started", "finished", "username"
       FROM "ScanSessions" )";

// Where a case stands; nullopt when there is no such case (or the read failed).
std::optional<QString> caseLocation(Connection& db, qint64 caseId, bool* ok) {
    Statement flightCase(db, R"(SELECT "FLocation" FROM "Cases" WHERE "id" = ?)");
    flightCase.bind(caseId);
    const bool found = flightCase.step();
    *ok = flightCase.ok();
    return found ? std::optional<QString>(flightCase.shown(0)) : std::nullopt;
}

// What is known of an item: where it is, its case, its tests.
bool readItemFacts(Connection& db, qint64 id, const TestsDue::Window& window,
                   ScanRules::Facts& facts) {
    const ItemSelect select({ItemColumn::WarehouseLoc, ItemColumn::CaseId}, DueReader::kDueColumns);
    Statement item(db, select.sql(R"(FROM "Items" WHERE "id" = ?)"));
    item.bind(id);
    facts.exists = item.step();
    if (!facts.exists)
        return item.ok();
    facts.location = item.shown(select.at(ItemColumn::WarehouseLoc));
    const qint64 caseId = item.wholeNumber(select.at(ItemColumn::CaseId)).value_or(0);
    const auto failed = DueReader::lastTestFailed(db, id);
    if (!failed)
        return false;
    facts.tests = DueReader::statusOfRow(item, DueReader::DuePlaces(select), *failed,
                                         TestsDue::dayOf(window.today), window.soonDays);
    if (caseId == 0)
        return true;
    // An item whose case is gone is a loose item.
    bool ok = true;
    if (const auto where = caseLocation(db, caseId, &ok)) {
        facts.caseId = caseId;
        facts.caseLocation = *where;
    }
    return ok;
}

// The case's items that are lines of the list, by id.
std::optional<QList<qint64>> listItemsInCase(Connection& db, qint64 listId, qint64 caseId) {
    Statement items(db, R"(SELECT DISTINCT d."itemid" FROM "ListData" d
        JOIN "Items" i ON i."id" = d."itemid" WHERE d."listid" = ? AND i."caseID" = ?
        ORDER BY d."itemid")");
    items.bind(listId).bind(caseId);
    QList<qint64> ids;
    while (items.step())
        ids.append(items.integer(0));
    return items.ok() ? std::optional(ids) : std::nullopt;
}

// The latest pack session of the list: what a check in is checked against.
constexpr const char* kLastPackOfList =
    R"((SELECT MAX("id") FROM "ScanSessions" WHERE "kind" = 'Pack' AND "listid" = ?))";

// Packing a list with dates: where else the item is booked over its days.
// A list without dates books nothing, and is packed as it always was.
bool readBookedElsewhere(Connection& db, qint64 listId, qint64 itemId, ScanRules::Facts& facts) {
    const auto plan = StoreSql::readListPlan(db, listId);
    if (!plan)
        return false;
    if (!plan->out && !plan->ret)
        return true;
    const auto others = StoreSql::otherHoldingLists(db, listId, itemId);
    if (!others)
        return false;
    QStringList where;
    for (const Clash& c : *others) {
        if (Bookings::holds(c.other.plan) && Bookings::overlap(*plan, c.other.plan))
            where << Bookings::bookedText(c.other);
    }
    facts.booked = where.join(QStringLiteral(" and "));
    return true;
}

bool readFacts(Connection& db, const ScanRules::Session& session, const Code& code,
               const TestsDue::Window& window, ScanRules::Facts& facts) {
    if (code.type == Code::Type::Item) {
        if (!readItemFacts(db, code.id, window, facts))
            return false;
    } else {
        bool ok = true;
        const auto where = caseLocation(db, code.id, &ok);
        if (!ok)
            return false;
        facts.exists = where.has_value();
        facts.location = where.value_or(QString());
    }
    if (!facts.exists)
        return true;
    // An item's scans, also those made by scanning its case; a case's own.
    Statement before(db, R"(SELECT 1 FROM "ScanRecords" WHERE "sessionid" = ?
                            AND "itemid" = ? AND ("itemid" <> 0 OR "caseid" = ?)
                            AND "answer" NOT IN ('no such item', 'not on this list'))");
    before.bind(session.id)
        .bind(code.type == Code::Type::Item ? code.id : 0)
        .bind(code.type == Code::Type::Case ? code.id : 0);
    const auto scanned = findsRow(before);
    if (!scanned)
        return false;
    facts.scannedBefore = *scanned;
    if (session.kind == Kind::Stocktake)
        return true;
    if (code.type == Code::Type::Case) {
        // A case is on a list through its items.
        const auto items = listItemsInCase(db, session.listId, code.id);
        facts.onList = items && !items->isEmpty();
        return items.has_value();
    }
    Statement line(db, R"(SELECT 1 FROM "ListData" WHERE "listid" = ? AND "itemid" = ?)");
    line.bind(session.listId).bind(code.id);
    const auto onList = findsRow(line);
    if (!onList)
        return false;
    facts.onList = *onList;
    if (session.kind == Kind::Pack)
        return !facts.onList || readBookedElsewhere(db, session.listId, code.id, facts);
    if (session.kind != Kind::CheckIn)
        return true;
    const QByteArray packedSql = QByteArray(R"(SELECT 1 FROM "ScanRecords" WHERE "sessionid" = )") +
                                 kLastPackOfList +
                                 R"( AND "itemid" = ? AND substr("answer", 1, 6) = 'packed')";
    Statement packed(db, packedSql.constData());
    packed.bind(session.listId).bind(code.id);
    const auto wasPacked = findsRow(packed);
    facts.packed = wasPacked.value_or(false);
    return wasPacked.has_value();
}

bool addRecord(Connection& db, qint64 sessionId, qint64 itemId, qint64 caseId,
               const QDateTime& when, const QString& answer) {
    Statement add(db, R"(INSERT INTO "ScanRecords"
        ("id", "sessionid", "itemid", "caseid", "scanned", "answer")
        VALUES ((SELECT COALESCE(MAX("id"), 0) + 1 FROM "ScanRecords"), ?, ?, ?, ?, ?))");
    add.bind(sessionId).bind(itemId).bind(caseId);
    add.bind(timeText(when)).bind(answer);
    return add.run();
}

// A case packed or checked in: each of its items on the list is answered as
// if it had been scanned, and stored with the case's id beside its own;
// when each was scanned before, the case's own scan is stored.
std::optional<Answer> scanCaseItems(Connection& db, const ScanRules::Session& session,
                                    qint64 caseId, const TestsDue::Window& window,
                                    const QDateTime& when) {
    const auto items = listItemsInCase(db, session.listId, caseId);
    if (!items)
        return std::nullopt;
    QList<QPair<qint64, Answer>> answers;
    for (const qint64 id : *items) {
        const Code item{Code::Type::Item, id};
        ScanRules::Facts facts;
        if (!readFacts(db, session, item, window, facts))
            return std::nullopt;
        answers.append({id, ScanRules::answer(session.kind, item, facts, session.location)});
    }
    const Answer answer = ScanRules::caseAnswer(session.kind, answers);
    if (answer.items == 0)
        return addRecord(db, session.id, 0, caseId, when, answer.text()) ? std::optional(answer)
                                                                         : std::nullopt;
    for (const auto& [id, itemAnswer] : answers) {
        if (!ScanRules::isRepeat(itemAnswer.verdict) &&
            !addRecord(db, session.id, id, caseId, when, itemAnswer.text()))
            return std::nullopt;
    }
    return answer;
}

// Reads, answers and stores one scan. A bare number is the item or the case
// that the session expects; when that is not clear, nothing is stored and
// the answer asks which.
std::optional<Answer> answerAndStore(Connection& db, const ScanRules::Session& session,
                                     const Code& code, const TestsDue::Window& window,
                                     const QDateTime& when) {
    Code taken = code;
    ScanRules::Facts facts;
    if (!readFacts(db, session, code, window, facts))
        return std::nullopt;
    bool caseLabel = false;
    if (code.bare) {
        const Code asCase{Code::Type::Case, code.id};
        ScanRules::Facts caseFacts;
        if (!readFacts(db, session, asCase, window, caseFacts))
            return std::nullopt;
        switch (ScanRules::readingOfNumber(session.kind, facts, caseFacts, session.location)) {
            case ScanRules::Reading::Ask:
                return ScanRules::itemOrCase(code.id);
            case ScanRules::Reading::Case:
                taken = asCase;
                facts = caseFacts;
                caseLabel = true;
                break;
            case ScanRules::Reading::Item:
                break;
        }
    }
    std::optional<Answer> answer;
    if (taken.type == Code::Type::Case && session.kind != Kind::Stocktake && facts.onList) {
        answer = scanCaseItems(db, session, taken.id, window, when);
    } else {
        answer = ScanRules::answer(session.kind, taken, facts, session.location);
        const bool item = taken.type == Code::Type::Item;
        if (!addRecord(db, session.id, item ? taken.id : 0, item ? 0 : taken.id, when,
                       answer->text()))
            return std::nullopt;
    }
    if (answer)
        answer->caseLabel = caseLabel;
    return answer;
}

// A finished pack sets a confirmed list Out, a finished check in sets a list
// that is out (or confirmed) Returned. A list nobody confirmed is left as it
// is: making it hold its items here would book them without the clash
// question the list editor asks. A list without a plan stays a plain
// picking list.
bool markListGoneOrBack(Connection& db, ChangeLogWriter& log, qint64 sessionId) {
    Statement session(db, R"(SELECT "kind", "listid" FROM "ScanSessions" WHERE "id" = ?)");
    session.bind(sessionId);
    if (!session.step())
        return session.ok();
    const auto kind = ScanRules::kindOfWord(session.shown(0));
    const qint64 listId = session.integer(1);
    if (kind != Kind::Pack && kind != Kind::CheckIn)
        return true;
    const auto plan = StoreSql::readListPlan(db, listId);
    if (!plan)
        return false;
    const bool holding = plan->state == ListState::Confirmed || plan->state == ListState::Out;
    if (!holding || (kind == Kind::Pack && plan->state == ListState::Out))
        return true;
    ListPlan marked = *plan;
    marked.state = kind == Kind::Pack ? ListState::Out : ListState::Returned;
    StoreSql::logPlanChange(log, listId, *plan, marked);
    Statement mark(db, R"(UPDATE "ListPlans" SET "state" = ? WHERE "listid" = ?)");
    mark.bind(Bookings::stateName(marked.state)).bind(listId);
    return mark.run();
}

}  // namespace

std::optional<qint64> ScanStore::startSession(const ScanRules::Session& session) {
    std::optional<qint64> id;
    const bool ok = reg_.run(
        QStringLiteral("start the scan session"), Register::Mode::Write, [&](Connection& db) {
            if (!StoreSql::takeTurnOnCounters(db))
                return false;
            Statement next(db, R"(SELECT COALESCE(MAX("id"), 0) + 1 FROM "ScanSessions")");
            if (!next.step())
                return false;
            id = next.integer(0);
            Statement add(db, R"(INSERT INTO "ScanSessions"
            ("id", "kind", "location", "listid", "started", "finished", "username")
            VALUES (?, ?, ?, ?, ?, '', ?))");
            add.bind(*id).bind(ScanRules::kindWord(session.kind)).bind(session.location);
            add.bind(session.listId).bind(timeText(session.started)).bind(session.user);
            return add.run();
        });
    return ok ? id : std::nullopt;
}

std::optional<QList<ScanRules::Session>> ScanStore::unfinishedSessions() {
    QList<ScanRules::Session> sessions;
    const QByteArray sql = QByteArray(kSessionColumns) + R"(WHERE "finished" = '' ORDER BY "id")";
    const bool ok =
        StoreSql::readRows(reg_, QStringLiteral("read the open scan sessions"), sql.constData(), {},
                           [&](const Statement& row) { sessions.append(sessionOf(row)); });
    return ok ? std::optional<QList<ScanRules::Session>>(sessions) : std::nullopt;
}

std::optional<ScanRules::Session> ScanStore::session(qint64 id) {
    std::optional<ScanRules::Session> session;
    const QByteArray sql = QByteArray(kSessionColumns) + R"(WHERE "id" = ?)";
    const bool ok =
        StoreSql::readRows(reg_, QStringLiteral("read scan session %1").arg(id), sql.constData(),
                           {id}, [&](const Statement& row) { session = sessionOf(row); });
    return ok ? session : std::nullopt;
}

bool ScanStore::finishSession(qint64 id, const QDateTime& when) {
    return reg_.write(QStringLiteral("finish the scan session"), QStringLiteral("Scan"),
                      [&](Connection& db, ChangeLogWriter& log) {
                          Statement finish(
                              db, R"(UPDATE "ScanSessions" SET "finished" = ? WHERE "id" = ?)");
                          finish.bind(timeText(when)).bind(id);
                          return finish.run() && markListGoneOrBack(db, log, id);
                      });
}

std::optional<ScanRules::Answer> ScanStore::record(const ScanRules::Session& session,
                                                   const Code& code, const QDateTime& when,
                                                   const TestsDue::Window& window,
                                                   const Answered& answered) {
    if (code.type != Code::Type::Item && code.type != Code::Type::Case) {
        const Answer refused;
        if (answered)
            answered(refused);
        return refused;
    }
    std::optional<Answer> answer;
    const bool ok = reg_.run(QStringLiteral("store the scan of %1").arg(code.text()),
                             Register::Mode::Write, [&](Connection& db) {
                                 if (!StoreSql::takeTurnOnCounters(db))
                                     return false;
                                 answer = answerAndStore(db, session, code, window, when);
                                 if (!answer)
                                     return false;
                                 if (answered)
                                     answered(*answer);
                                 return true;
                             });
    return ok ? answer : std::nullopt;
}

std::optional<QList<ScanRules::Record>> ScanStore::records(qint64 sessionId, qint64 afterId) {
    QList<ScanRules::Record> records;
    const bool ok = StoreSql::readRows(
        reg_, QStringLiteral("read the scans of the session"),
        R"(SELECT "itemid", "caseid", "scanned", "answer", "id" FROM "ScanRecords"
                                WHERE "sessionid" = ? AND "id" > ? ORDER BY "id")",
        {sessionId, afterId}, [&](const Statement& row) {
            records.append({row.integer(0), row.integer(1), timeOf(row.shown(2)), row.shown(3),
                            row.integer(4)});
        });
    return ok ? std::optional<QList<ScanRules::Record>>(records) : std::nullopt;
}

std::optional<QList<ScanRules::Expected>> ScanStore::expected(const ScanRules::Session& session) {
    QList<ScanRules::Expected> expected;
    const auto addItem = [&](const Statement& row) {
        expected.append({{Code::Type::Item, row.integer(0)}, row.shown(1), row.integer(2)});
    };
    const QString what = QStringLiteral("read what the session expects");
    switch (session.kind) {
        case Kind::Pack:
            if (!StoreSql::readRows(reg_, what, R"(SELECT "itemid", "itemdesc", 0 FROM "ListData"
                                   WHERE "listid" = ? ORDER BY "itemid")",
                                    {session.listId}, addItem))
                return std::nullopt;
            break;
        case Kind::CheckIn: {
            const QByteArray sql =
                QByteArray(R"(SELECT r."itemid", COALESCE(i."desc", ''), 0 FROM "ScanRecords" r
                   LEFT JOIN "Items" i ON i."id" = r."itemid" WHERE r."sessionid" = )") +
                kLastPackOfList + R"( AND substr(r."answer", 1, 6) = 'packed' ORDER BY r."itemid")";
            if (!StoreSql::readRows(reg_, what, sql.constData(), {session.listId}, addItem))
                return std::nullopt;
            break;
        }
        case Kind::Stocktake:
            // Loose items (also those whose case is gone) where they stand,
            // items in a case where their case stands, and the cases there.
            if (!StoreSql::readRows(reg_, what,
                                    R"(SELECT i."id", i."desc", COALESCE(c."id", 0) FROM "Items" i
                    LEFT JOIN "Cases" c ON c."id" = i."caseID"
                    WHERE LOWER(COALESCE(c."FLocation", i."warehouseloc")) = LOWER(?)
                    ORDER BY i."id")",
                                    {session.location}, addItem) ||
                !StoreSql::readRows(
                    reg_, what, R"(SELECT "id", "FName" FROM "Cases"
                                   WHERE LOWER("FLocation") = LOWER(?) ORDER BY "id")",
                    {session.location}, [&](const Statement& row) {
                        expected.append({{Code::Type::Case, row.integer(0)}, row.shown(1), 0});
                    }))
                return std::nullopt;
            break;
    }
    return expected;
}

namespace {

// The misplaced items a session found, outside a case (items in a case stay
// with their case), and its misplaced cases.
constexpr char kMisplacedItems[] = R"("id" IN
    (SELECT "itemid" FROM "ScanRecords" WHERE "sessionid" = ? AND "itemid" <> 0
     AND substr("answer", 1, 17) = 'belongs elsewhere')
    AND NOT EXISTS (SELECT 1 FROM "Cases" c WHERE c."id" = "Items"."caseID"))";
constexpr char kMisplacedCases[] = R"("id" IN
    (SELECT "caseid" FROM "ScanRecords" WHERE "sessionid" = ? AND "itemid" = 0
     AND substr("answer", 1, 17) = 'belongs elsewhere'))";

// Moves the table's rows that `where` picks to the location, logging each
// row whose location changes; gives how many rows it set.
std::optional<int> moveTo(Connection& db, ChangeLogWriter& log, const char* kind, const char* table,
                          const char* column, const char* where, qint64 sessionId,
                          const QString& location) {
    const QByteArray select = QByteArray(R"(SELECT "id", ")") + column + R"(" FROM ")" + table +
                              R"(" WHERE )" + where + db.forUpdate();
    Statement old(db, select.constData());
    old.bind(sessionId);
    while (old.step()) {
        log.changed(kind, old.integer(0), QLatin1String(column), StoreSql::loggedColumn(old, 1),
                    location);
    }
    if (!old.ok())
        return std::nullopt;
    const QByteArray update =
        QByteArray(R"(UPDATE ")") + table + R"(" SET ")" + column + R"(" = ? WHERE )" + where;
    Statement move(db, update.constData());
    move.bind(location).bind(sessionId);
    if (!move.run())
        return std::nullopt;
    return move.changes();
}

}  // namespace

std::optional<int> ScanStore::moveMisplaced(qint64 sessionId, const QString& location) {
    int moved = 0;
    const bool ok = reg_.write(
        QStringLiteral("move the misplaced items to %1").arg(location), QStringLiteral("Move"),
        [&](Connection& db, ChangeLogWriter& log) {
            const auto items = moveTo(db, log, ChangeKind::kItem, "Items", "warehouseloc",
                                      kMisplacedItems, sessionId, location);
            const auto cases = items ? moveTo(db, log, ChangeKind::kCase, "Cases", "FLocation",
                                              kMisplacedCases, sessionId, location)
                                     : std::nullopt;
            if (!cases)
                return false;
            moved = *items + *cases;
            return true;
        });
    return ok ? std::optional<int>(moved) : std::nullopt;
}

std::optional<QString> ScanStore::lastSeen(qint64 itemId) {
    QString line;
    const bool ok = StoreSql::readRows(
        reg_, QStringLiteral("read where item %1 was last seen").arg(itemId),
        R"(SELECT r."scanned", s."kind", s."location", s."listid" FROM "ScanRecords" r
           JOIN "ScanSessions" s ON s."id" = r."sessionid"
           WHERE r."itemid" = ? AND r."answer" <> 'no such item' ORDER BY r."id" DESC LIMIT 1)",
        {itemId}, [&](const Statement& row) {
            const QDate day = timeOf(row.shown(0)).date();
            const Kind kind = ScanRules::kindOfWord(row.shown(1)).value_or(Kind::Stocktake);
            const QString where = kind == Kind::Stocktake
                                      ? row.shown(2)
                                      : QStringLiteral("list %1").arg(row.integer(3));
            line = QStringLiteral("Last seen: %1/%2/%3, %4 (%5)")
                       .arg(day.day())
                       .arg(day.month())
                       .arg(day.year())
                       .arg(where, ScanRules::kindWord(kind).toLower());
        });
    return ok ? std::optional<QString>(line) : std::nullopt;
}
