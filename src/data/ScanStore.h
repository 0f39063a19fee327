#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

#include "data/rules/ScanRules.h"
#include "data/rules/TestsDue.h"

class Register;

// The scan sessions: a stocktake of a location, packing a picking list and
// checking it back in. Every scan is answered and stored in one short
// transaction, so two desks scanning into one session each see the other's
// scans at their next one.
class ScanStore {
public:
    explicit ScanStore(Register& reg) : reg_(reg) {}

    // Stores a new open session (its id is taken here); gives its id.
    std::optional<qint64> startSession(const ScanRules::Session& session);
    // Sessions never finished (the program ended in the middle), oldest first.
    std::optional<QList<ScanRules::Session>> unfinishedSessions();
    std::optional<ScanRules::Session> session(qint64 id);
    bool finishSession(qint64 id, const QDateTime& when);
    // Reads what the register knows of the code, answers the scan and stores
    // it, in one short transaction. A refused code is answered, not stored;
    // so is a bare number to be asked about (ScanRules::Reading::Ask). A
    // case packed or checked in stores a scan of each of its items on the
    // list. `answered` gets the answer before it is committed, so that what
    // is stored has always been told.
    using Answered = std::function<void(const ScanRules::Answer&)>;
    std::optional<ScanRules::Answer> record(const ScanRules::Session& session,
                                            const ScanRules::Code& code, const QDateTime& when,
                                            const TestsDue::Window& window,
                                            const Answered& answered = {});
    // The session's scans in the order they were stored, from every desk;
    // with afterId, only those stored after that scan.
    std::optional<QList<ScanRules::Record>> records(qint64 sessionId, qint64 afterId = 0);
    // What the session expects to see: at its location, on its list, or
    // packed in the list's last pack session.
    std::optional<QList<ScanRules::Expected>> expected(const ScanRules::Session& session);
    // Sets the location of every item and case the session found misplaced;
    // items in a case stay with their case. Gives how many moved.
    std::optional<int> moveMisplaced(qint64 sessionId, const QString& location);
    // "Last seen: 9/12/2026, Bay 1 (stocktake)", or empty when never scanned.
    std::optional<QString> lastSeen(qint64 itemId);

private:
    Register& reg_;
};
