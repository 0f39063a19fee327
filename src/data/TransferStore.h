#pragma once

#include <QStringList>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "data/transfer/TransferRecords.h"

class Progress;
class Register;

// The statements of the CSV import and export, and the item and case ids the
// import checks against, each in one transaction on the register (which
// tells any failure).
class TransferStore {
public:
    explicit TransferStore(Register& reg) : reg_(reg) {}

    // Every id the table holds, in ascending order.
    std::optional<std::vector<qint64>> itemIds();
    std::optional<std::vector<qint64>> caseIds();
    // Adds what the plan holds in one transaction: the flight cases (named
    // "F" and their id) and locations it lacks, then every item the plan
    // hands over, under its own id or a new one above every id given; the
    // counters are raised past the highest id added. All or nothing: when a
    // step fails, nothing is added. A cancel through `progress` adds nothing
    // either, and is the caller's to tell (progress->cancelled()).
    std::optional<ImportCounts> importItems(const ItemImportPlan& plan,
                                            Progress* progress = nullptr);

    // The names of an export's columns, in order (its header).
    static QStringList exportColumns(ExportKind kind);
    // Hands each row of the export to onRow in order (items by id, list
    // lines by item), every column as stored: texts as their bytes, an empty
    // text as kEmptyText, no value (NULL) as an empty view, numbers plain
    // (whole ones exactly, others in the fewest digits that read back the
    // same); `id` names the case or the list. Reads in one go, keeping no row.
    using ExportRowHandler = std::function<bool(std::span<const std::string_view> values)>;
    bool exportRows(ExportKind kind, qint64 id, const ExportRowHandler& onRow);

private:
    Register& reg_;
};
