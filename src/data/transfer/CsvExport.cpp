#include "data/transfer/CsvExport.h"

#include <QDir>
#include <QTimeZone>

#include "base/Progress.h"
#include "data/CaseStore.h"
#include "data/ChangeStore.h"
#include "data/ListStore.h"
#include "data/TransferStore.h"
#include "data/rules/TextRules.h"
#include "data/transfer/CsvWriter.h"

namespace CsvExport {

std::optional<What> parse(const QString& text) {
    if (text.trimmed().compare(QLatin1String("items"), Qt::CaseInsensitive) == 0)
        return What{ExportKind::Items, 0};
    if (text.trimmed().compare(QLatin1String("bookings"), Qt::CaseInsensitive) == 0)
        return What{ExportKind::Bookings, 0};
    if (text.trimmed().compare(QLatin1String("changes"), Qt::CaseInsensitive) == 0)
        return What{ExportKind::Changes, 0};
    const auto wanted = TextRules::parseQuickOpen(text.trimmed());
    if (!wanted || wanted->table == RecordTable::Items)
        return std::nullopt;
    return What{wanted->table == RecordTable::Cases ? ExportKind::CaseItems : ExportKind::ListLines,
                wanted->id};
}

QString defaultFileName(const What& what) {
    switch (what.kind) {
        case ExportKind::CaseItems:
            return QStringLiteral("case-F%1.csv").arg(what.id);
        case ExportKind::ListLines:
            return QStringLiteral("list-%1.csv").arg(what.id);
        case ExportKind::Bookings:
            return QStringLiteral("bookings.csv");
        case ExportKind::Changes:
            return QStringLiteral("changes.csv");
        case ExportKind::Items:
            break;
    }
    return QStringLiteral("items.csv");
}

bool writeRows(const QString& path, const QStringList& header, const RowSource& source,
               QString* error, qint64* rows, Progress* progress, qint64 total) {
    const auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("Quarvel could not write %1: %2")
                         .arg(QDir::toNativeSeparators(path), why);
        return false;
    };
    CsvWriter csv(path);
    if (!csv.open())
        return fail(csv.error());
    csv.record(header);
    qint64 written = 0;
    const bool read = source([&](std::span<const std::string_view> fields) {
        for (std::string_view f : fields) {
            if (isEmptyText(f))
                csv.emptyText();
            else
                csv.field(f);
        }
        csv.endRecord();
        ++written;
        return Progress::step(progress, written, total);
    });
    // The file is written to a temporary one, which is dropped unless committed.
    if (Progress::wasCancelled(progress)) {
        if (error)
            *error = QStringLiteral("You cancelled the export: no file was written.");
        return false;
    }
    if (!read)
        return fail(QStringLiteral("the rows could not be read."));
    if (!csv.commit())
        return fail(csv.error());
    if (rows)
        *rows = written;
    return true;
}

bool write(Register& reg, const What& what, const QString& path, QString* error, qint64* rows,
           Progress* progress) {
    TransferStore store(reg);
    const auto missing = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (what.kind == ExportKind::CaseItems) {
        const auto found = CaseStore(reg).exists(what.id);
        if (!found)
            return missing(QStringLiteral("Quarvel could not read the register."));
        if (!*found)
            return missing(QStringLiteral("Flight case F%1 does not exist.").arg(what.id));
    } else if (what.kind == ExportKind::ListLines) {
        const auto found = ListStore(reg).exists(what.id);
        if (!found)
            return missing(QStringLiteral("Quarvel could not read the register."));
        if (!*found)
            return missing(QStringLiteral("List %1 does not exist.").arg(what.id));
    }
    if (what.kind == ExportKind::Changes) {
        ChangeStore changes(reg);
        std::optional<QDateTime> since;
        if (what.since.isValid())
            since = what.since.startOfDay(QTimeZone::utc());
        return writeRows(
            path, ChangeStore::exportColumns(),
            [&](const RowEmitter& emitRow) { return changes.exportSince(since, emitRow); }, error,
            rows, progress);
    }
    return writeRows(
        path, TransferStore::exportColumns(what.kind),
        [&](const RowEmitter& emitRow) { return store.exportRows(what.kind, what.id, emitRow); },
        error, rows, progress);
}

}  // namespace CsvExport
