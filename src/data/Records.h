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

// One record in a list box: an id and its text (item desc, case FName, ...).
struct IdText {
    qint64 id = 0;
    QString text;
};

// One row of ListData.
struct ListLineRecord {
    qint64 itemId = 0;
    QString itemDesc;
};

struct Counters {
    qint64 lastId = 0;
    qint64 lastCase = 0;
    qint64 lastList = 0;
};
