#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "data/transfer/TransferRecords.h"

class Progress;
class Register;

// Taking a list out of the register into a CSV file that a spreadsheet
// opens: UTF-8 with a byte-order mark, a header line, every field, dates
// as stored. The windows and `quarvel --export` share it.
namespace CsvExport {

// What to export: every item, the items in a flight case, a picking list.
struct What {
    ExportKind kind = ExportKind::Items;
    qint64 id = 0;  // the case or the list
    QDate since{};  // the change log from that day on (UTC); null: all of it
};

// "items", "bookings" (the lists' bookings), "changes" (the change log), "F12" (a flight case) or
// "L3" (a picking list), letters in either case; none for any other text.
std::optional<What> parse(const QString& text);
// "items.csv", "case-F12.csv", "list-3.csv", "bookings.csv", "changes.csv".
QString defaultFileName(const What& what);

// Hands each row to `emitRow` (every field in UTF-8; kEmptyText for an empty
// text, written "", apart from an empty field, which holds no value) until
// there are no more or emitRow returns false; false when reading the rows
// failed.
using RowEmitter = std::function<bool(std::span<const std::string_view> fields)>;
using RowSource = std::function<bool(const RowEmitter& emitRow)>;

// The routine every export goes through: the header, then the rows as the
// source hands them over, streamed to the file, which appears only when
// whole. False, with *error, when the rows or the file fail; *rows counts
// the rows written. A cancel through `progress` (which counts rows of
// `total`, 0 when not known) leaves no file and no half of one.
bool writeRows(const QString& path, const QStringList& header, const RowSource& source,
               QString* error, qint64* rows = nullptr, Progress* progress = nullptr,
               qint64 total = 0);

// Writes the export to the file. False, with *error, when the case or the
// list does not exist, the register cannot be read or the file written, or
// when cancelled through `progress`.
bool write(Register& reg, const What& what, const QString& path, QString* error,
           qint64* rows = nullptr, Progress* progress = nullptr);

}  // namespace CsvExport
