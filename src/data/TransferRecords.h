#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "data/Columns.h"

// The rows that CSV import and export hand to the store and take from it.

// One item to add, as the store writes it. Indexed like kItemColumns: text
// columns take their UTF-8 text, number columns their number.
struct ImportedItem {
    qint64 id = 0;  // 0: the item takes a new id
    std::array<std::string, kItemDataColumnCount> texts;
    std::array<double, kItemDataColumnCount> numbers{};
};

enum class ImportStep {
    Item,    // the item is filled in: add it
    End,     // no more items
    Failed,  // stop and add nothing (the reason is given)
};

// What one import adds, in one transaction.
struct ItemImportPlan {
    std::vector<qint64> casesToCreate;  // ids of flight cases that do not exist yet
    QStringList locationsToAdd;         // names the location list may not hold yet
    qint64 highestFileId = 0;           // new ids are given above it
    // Fills in the next item, in file order. On Failed, *why says what went wrong.
    std::function<ImportStep(ImportedItem& item, QString* why)> next;
};

struct ImportCounts {
    qint64 items = 0;
    qint64 newIds = 0;  // items that took a new id
    qint64 casesCreated = 0;
    qint64 locationsAdded = 0;
};

// The lists a CSV export can hold.
enum class ExportKind {
    Items,      // every item
    CaseItems,  // the items in one flight case
    ListLines,  // the lines of one picking list with their items' fields
};
