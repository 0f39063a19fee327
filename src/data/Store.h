#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "data/DueReader.h"
#include "data/Register.h"
#include "data/TextPool.h"
#include "data/TreeData.h"
#include "data/rules/Records.h"
#include "data/rules/ScanRules.h"
#include "data/transfer/TransferRecords.h"

namespace Sql {
class Connection;
class Statement;
}  // namespace Sql
class Progress;
struct RecordTableSql;

// The statements of the register's records, scans, tests and transfers,
// each run on the Register in one transaction (see Register).
class Store {
public:
    template <class T>
    using Rows = std::optional<QList<T>>;

    explicit Store(Register& reg) : reg_(reg) {}

    // --- CSV import and export -------------------------------------------
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

    // --- Scan sessions (StoreScans.cpp) ----------------------------------
    // Stores a new open session (its id is taken here); gives its id.
    std::optional<qint64> startScanSession(const ScanRules::Session& session);
    // Sessions never finished (the program ended in the middle), oldest first.
    std::optional<QList<ScanRules::Session>> unfinishedScanSessions();
    std::optional<ScanRules::Session> scanSession(qint64 id);
    bool finishScanSession(qint64 id, const QDateTime& when);
    // Reads what the register knows of the code, answers the scan and stores
    // it, in one short transaction. A refused code is answered, not stored;
    // so is a bare number to be asked about (ScanRules::Reading::Ask). A
    // case packed or checked in stores a scan of each of its items on the
    // list. `answered` gets the answer before it is committed, so that what
    // is stored has always been told.
    using ScanAnswered = std::function<void(const ScanRules::Answer&)>;
    std::optional<ScanRules::Answer> recordScan(const ScanRules::Session& session,
                                                const ScanRules::Code& code, const QDateTime& when,
                                                const TestsDue::Window& window,
                                                const ScanAnswered& answered = {});
    // The session's scans in the order they were stored, from every desk;
    // with afterId, only those stored after that scan.
    std::optional<QList<ScanRules::Record>> scanRecords(qint64 sessionId, qint64 afterId = 0);
    // What the session expects to see: at its location, on its list, or
    // packed in the list's last pack session.
    std::optional<QList<ScanRules::Expected>> scanExpected(const ScanRules::Session& session);
    // Sets the location of every item and case the session found misplaced;
    // items in a case stay with their case. Gives how many moved.
    std::optional<int> moveMisplaced(qint64 sessionId, const QString& location);
    // "Last seen: 9/12/2026, Bay 1 (stocktake)", or empty when never scanned.
    std::optional<QString> lastSeen(qint64 itemId);

private:
    using Mode = Register::Mode;
    using RowReader = std::function<void(const Sql::Statement& row)>;

    bool run(const QString& what, Mode mode, const Register::Body& body) {
        return reg_.run(what, mode, body);
    }
    bool readRows(const QString& what, const char* sql, const QVariantList& values,
                  const RowReader& readRow);
    std::optional<IdTextRows> idTexts(const QString& what, const char* countSql, const char* sql,
                                      const QVariantList& values = {});
    std::optional<bool> exists(const QString& what, const char* sql, const QVariantList& values);
    std::optional<qint64> insertWithNewId(const QString& what, RecordTable table, const char* sql,
                                          const QVariantList& values);
    SaveResult updateColumns(const QString& what, const RecordTableSql& table, qint64 id,
                             const QList<ColumnChange>& changes, bool overwrite);
    QString storable(const QString& text) const { return reg_.storable(text); }

    Register& reg_;
};
