#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// The change log as plain values: one row per changed field of a record,
// tied to the batch (one save, import, Move, repair or Put back) that made
// it, with who made it, at which desk and when.

// The kinds of record the log names, as stored in its "kind" column.
namespace ChangeKind {
inline constexpr char kItem[] = "item";
inline constexpr char kCase[] = "case";
inline constexpr char kList[] = "list";
// A line of a picking list: its record id is the list's id, its field
// "item", its value the line as lists show it ("45 - Drill").
inline constexpr char kLine[] = "line";
// A list's dates and state: its record id is the list's id, its fields
// "outdate", "returndate" and "state" as stored.
inline constexpr char kPlan[] = "plan";
// A warehouse location: its record id is the location's row id.
inline constexpr char kLocation[] = "location";
// A test recorded in an item's history: its record id is the test's id.
inline constexpr char kTest[] = "test";
}  // namespace ChangeKind

// The field "*" stands for the record as a whole: its new value "created"
// or "deleted".
inline constexpr char kWholeRecord[] = "*";
inline constexpr char kCreated[] = "created";
inline constexpr char kDeleted[] = "deleted";

// The channel on which a server's writers announce each committed change
// (the payload: the highest log id) and every desk listens.
inline constexpr char kChangeChannel[] = "quarvel_changes";

// One row of the change log.
struct ChangeRow {
    qint64 id = 0;
    qint64 batch = 0;
    QDateTime at;       // UTC
    QString user;       // the computer user's name
    QString desk;       // the computer's name
    QString operation;  // the batch's: "Save", "Import", "Move", "Put back", ...
    QString kind;       // ChangeKind
    qint64 recordId = 0;
    QString field;                    // the column as stored, or "*"
    std::optional<QString> oldValue;  // none: the field had no value (or the record none)
    std::optional<QString> newValue;  // none: the field has no value now (or was deleted)
};

// What the Change Log window shows: every condition set narrows it.
struct ChangeFilter {
    QDate from;  // UTC days, both included; null: no bound
    QDate to;
    QString user;  // exactly this user; empty: anyone
    QString kind;  // ChangeKind; empty: any kind
    QString text;  // within the field's name, old or new value; empty: any
};

// One page of the Change Log window, newest first.
struct ChangePage {
    QList<ChangeRow> rows;
    // Pass as beforeId for the next page; 0 when there is none.
    qint64 nextBeforeId = 0;
};

// What a Put back did.
struct PutBackResult {
    enum class Outcome {
        Done,     // the old values were written back as a new batch "Put back"
        Refused,  // nothing written: `refusal` says which record changed since
        Failed,   // nothing written (the user was told)
    };
    Outcome outcome = Outcome::Failed;
    QString refusal;   // "Item 45 has changed since: its desc is now ...", in words
    qint64 batch = 0;  // the new batch, when Done
};
