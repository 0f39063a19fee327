#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "data/rules/TestsDue.h"

// What a scan means and how it is answered, as pure rules: the store hands
// in what it read about the scanned item or case, the window shows and
// sounds the answer. Nothing is read or written here.
namespace ScanRules {

// A session: stocktake a location, pack a picking list, check it back in.
enum class Kind { Stocktake, Pack, CheckIn };
// The word stored for a kind ("Stocktake", "Pack", "Check in"), and back.
QString kindWord(Kind kind);
std::optional<Kind> kindOfWord(const QString& word);

// A scanned or typed code: plain digits are an item id, "F12" a case, "L3"
// a list (only while a session is chosen); the digit row of an AZERTY layout
// is read as the digits it stands for. Anything else is refused, never
// guessed at.
struct Code {
    enum class Type { Item, Case, List, Refused };
    Type type = Type::Refused;
    qint64 id = 0;
    // Plain digits as scanned: an item's label, or a case's, since case
    // labels may carry the bare id (see readingOfNumber).
    bool bare = false;
    // The code as labels print it: "123", "F12", "L3".
    QString text() const;
};
Code parse(const QString& scanned);

// How a scan is answered.
enum class Verdict {
    Here,            // stocktake: expected at this location
    InCase,          // stocktake: here, in its case
    Elsewhere,       // stocktake: belongs at another location
    AlreadyScanned,  // any kind: counted once
    NoSuchItem,      // any kind: no item or case has that id
    Packed,          // pack: a line of the list
    NotOnList,       // pack, check in
    AlreadyPacked,   // pack
    Back,            // check in: packed and now back
    WasNotPacked,    // check in: on the list, never packed
    Refused,         // not a code at all
    ItemOrCase,      // a bare number that may be either: not taken as a scan
};
// The word stored for a verdict, and back.
QString verdictWord(Verdict verdict);
std::optional<Verdict> verdictOfWord(const QString& word);

// What the store knows of the scanned item or case.
struct Facts {
    bool exists = false;
    QString location;            // its own location (an item's, or a case's)
    qint64 caseId = 0;           // an item's case; 0: loose
    QString caseLocation;        // the location of that case
    bool scannedBefore = false;  // already in this session (check in: already back)
    bool onList = false;         // pack, check in: the item is a line of the list
    bool packed = false;         // check in: packed in the list's last pack session
    TestsDue::Status tests = TestsDue::Status::InDate;
    // pack: where else the item is booked over the list's days ("booked on
    // list 3 from 12/5/2027 to 15/5/2027"); empty when nowhere.
    QString booked;
};

struct Answer {
    Verdict verdict = Verdict::Refused;
    QString where;             // Elsewhere: the location it belongs at
    qint64 caseId = 0;         // InCase, Elsewhere: the case that holds it; ItemOrCase: the id
    bool testWarning = false;  // packed while overdue, failed or never tested
    TestsDue::Status tests = TestsDue::Status::InDate;
    QString booked;  // packed while booked elsewhere over the list's days (Facts::booked)
    // A case packed or checked in with its items on the list: how many were
    // (Packed, Back, WasNotPacked), how many of those were never packed
    // (check in), and which were packed with a test warning.
    int items = 0;
    int itemsNotPacked = 0;
    QList<qint64> warned;
    QList<qint64> bookedItems;  // a case: its items packed while booked elsewhere
    bool caseLabel = false;     // a bare number read as a case's label

    // A problem sounds (beep) and is said as such.
    bool problem() const;
    // The answer line: "here", "belongs elsewhere: Bay 2", "in case F12",
    // "packed — failed its last test", "packed — booked on list 3 from
    // 12/5/2027 to 15/5/2027"...
    QString text() const;
};

// Where an item or case is expected: a loose item at its own location, an
// item in a case where its case is.
QString expectedLocation(const Facts& facts);

Answer answer(Kind kind, const Code& code, const Facts& facts, const QString& sessionLocation);

// Whether the session expects the item or case: in a stocktake, standing at
// the location counted; while packing or checking in, on the list (a case:
// holding items that are).
bool expected(Kind kind, const Facts& facts, const QString& sessionLocation);

// What a bare number means when it may be an item's label or a case's: the
// one of them that exists, or that the session expects while the other is
// not expected; Ask when both or neither are expected.
enum class Reading { Item, Case, Ask };
Reading readingOfNumber(Kind kind, const Facts& item, const Facts& flightCase,
                        const QString& sessionLocation);
// The answer to a number that is to be asked about: "item 12 or case F12?".
Answer itemOrCase(qint64 id);

// A case packed or checked in: its items on the list, each answered as if
// it had been scanned, give the case's answer ("3 items packed", "2 items
// back, 1 was not packed"); when each was scanned before, "already packed"
// or "already scanned".
Answer caseAnswer(Kind kind, const QList<QPair<qint64, Answer>>& itemAnswers);
// An answer that repeats an earlier scan and counts nothing new.
bool isRepeat(Verdict verdict);

// The line shown and printed for a scan: "12 - here", "F12 (case label) -
// here", "x7 - not an item or case code" (a refused code as scanned).
QString answerLine(const QString& scanned, const Code& code, const Answer& answer);

// Whether a packed item's tests call for a warning.
bool testsNeedWarning(TestsDue::Status status);
// The kind of answer a stored answer line gives.
Verdict verdictOfText(const QString& answerText);

// A session as stored.
struct Session {
    qint64 id = 0;
    Kind kind = Kind::Stocktake;
    QString location;   // stocktake
    qint64 listId = 0;  // pack, check in
    QDateTime started;
    QDateTime finished;  // not valid while the session is open
    QString user;        // the computer user's name
};

// One stored scan: an item or a case (the other id 0) and its answer line.
struct Record {
    qint64 itemId = 0;
    qint64 caseId = 0;
    QDateTime scanned;
    QString answer;
    qint64 id = 0;  // the order in which the scans were stored, over every desk
    Code code() const;
};

// An item or case that the session expects to see: at the location, on
// the list, or packed and not yet back.
struct Expected {
    Code code;
    QString text;       // description or case name
    qint64 caseId = 0;  // stocktake: the case an item travels in
};

struct Summary {
    QList<QPair<QString, int>> counts;  // answer word and how often, in order of first scan
    QList<Expected> missing;            // expected and not scanned
    QList<Record> misplaced;            // stocktake: belongs elsewhere
    int movable = 0;                    // misplaced and not held by a case
    QList<Record> booked;               // pack: packed while booked on another list
    QStringList refused;                // answer lines of codes not taken (not stored)
};
// The summary of a session: counts per answer, what was expected and not
// scanned (an item whose case was scanned in a stocktake counts as seen
// with its case), what was misplaced, and the refused codes' lines as given.
Summary summarise(Kind kind, const QList<Record>& records, const QList<Expected>& expected,
                  const QStringList& refused = {});
// What the expected and not scanned are called: "missing", "not packed", "still out".
QString missingWord(Kind kind);
// The summary as the window shows it and the batch run prints it.
QString summaryText(Kind kind, const Summary& summary);

// The codes of a batch scanner's file: one a line, blank lines left out.
QStringList codesInFile(const QString& text);

}  // namespace ScanRules
