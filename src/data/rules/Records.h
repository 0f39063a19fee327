#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>
#include <array>
#include <optional>

#include "data/rules/Columns.h"

// The rows the program reads and writes, as plain values. Every column is
// carried as the text it shows (null reads as empty text); only writes carry
// numbers for the numeric columns.

// A row of a record table: its id and every data column, indexed by the
// column's enumerator (Columns.h).
template <class Column, int ColumnCount>
struct RecordRow {
    QString id;
    std::array<QString, ColumnCount> values;

    const QString& operator[](Column c) const { return values[static_cast<std::size_t>(c)]; }
    QString& operator[](Column c) { return values[static_cast<std::size_t>(c)]; }
};

using ItemRecord = RecordRow<ItemColumn, kItemDataColumnCount>;
using CaseRecord = RecordRow<CaseColumn, kCaseDataColumnCount>;

// What an editor stores for an item: text for the text columns, a number for
// the number columns. Indexed like ItemRecord::values.
using ItemWrite = std::array<QVariant, kItemDataColumnCount>;

struct ListRecord {
    QString id;
    QString name;  // ListName
};

struct Counters {
    qint64 lastId = 0;
    qint64 lastCase = 0;
    qint64 lastList = 0;
};

// The three kinds of record that get their ids from a counter of table Data.
enum class RecordTable { Items, Cases, Lists };

// What a label is printed for; an item and a case of the same id carry the
// same barcode.
enum class LabelKind { Item, Case };

// One column an editor changed: the value it stores and the text the column
// showed when the editor loaded the record, to notice a change made
// elsewhere in the meantime. `column` is the column's position in its table.
struct ColumnChange {
    int column = 0;
    QVariant value;
    QString loadedText;
};

enum class SaveResult {
    Saved,
    ChangedElsewhere,  // nothing written: a changed column was changed elsewhere too
    Gone,              // nothing written: the record no longer exists (the user was told)
    Failed,            // nothing written (the user was told)
};

enum class AddLineResult {
    Added,
    AlreadyOnList,
    ListGone,
    Failed,
    Booked,  // nothing written: another holding list books the item over the same days
};
// Saving a list's dates and state.
enum class SetPlanResult {
    Saved,
    Clashes,   // nothing written: the plan would book items booked elsewhere (not accepted)
    Invalid,   // nothing written: the return date is before the out date
    ListGone,  // nothing written: the list no longer exists
    Failed,    // nothing written (the user was told)
};
enum class AddLocationResult { Added, AlreadyThere, Failed };
enum class PutInCaseResult { Done, ItemGone, CaseGone, Failed };

// One safety test done on an item, as recorded in its test history.
struct TestRecord {
    QDate date;
    QString kind;  // "PAT", "Pressure", "Visual", "LOLER", "Calibration", "Other"
    bool passed = true;
    QString note;
    // Who recorded it and where (the change log's row of its recording);
    // empty for tests recorded before the register kept a log. Read back,
    // not taken when recording.
    QString username{};
    QString desk{};
};

enum class RecordTestResult { Recorded, ItemGone, Failed };
