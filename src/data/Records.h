#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <array>
#include <optional>

// The rows the program reads and writes, as plain values. Every column is
// carried as the text it shows (null reads as empty text); only writes carry
// numbers for the numeric columns.

// The data columns of table Items in their stored order (id excluded).
enum class ItemColumn {
    Desc,
    Category,
    Manufacturer,
    Model,
    Dom,
    TestInterval,
    TestLast,
    TestNext,
    TestPatResult,
    TestPressureResult,
    VisualInspectionResult,
    LolerInspectionResult,
    CalibrationCert,
    CaseId,
    WarehouseLoc,
    Notes,
    Length,
    Serial,
};
inline constexpr int kItemDataColumnCount = 18;

// Column names of Items, indexed by ItemColumn.
const std::array<const char*, kItemDataColumnCount>& itemColumnNames();

struct ItemRecord {
    QString id;
    std::array<QString, kItemDataColumnCount> values;  // indexed by ItemColumn

    const QString& operator[](ItemColumn c) const { return values[static_cast<int>(c)]; }
    QString& operator[](ItemColumn c) { return values[static_cast<int>(c)]; }
};

// What an editor stores for an item: text for the text columns, a number for
// caseID and length. Indexed by ItemColumn.
using ItemWrite = std::array<QVariant, kItemDataColumnCount>;

// The data columns of table Cases in their stored order (id excluded).
enum class CaseColumn { Name, Location, Bought, Notes, Wheeled };
inline constexpr int kCaseDataColumnCount = 5;

struct CaseRecord {
    QString id;
    QString name;      // FName
    QString location;  // FLocation
    QString bought;    // FBought
    QString notes;     // FNotes
    QString wheeled;   // FWheeled
};

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
// elsewhere in the meantime. `column` is an ItemColumn or CaseColumn.
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

enum class AddLineResult { Added, AlreadyOnList, ListGone, Failed };
enum class AddLocationResult { Added, AlreadyThere, Failed };
enum class PutInCaseResult { Done, ItemGone, CaseGone, Failed };
