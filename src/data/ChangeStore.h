#pragma once

#include <QDateTime>
#include <QList>
#include <QStringList>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "data/rules/Changes.h"

class Register;

// The change log: what every store wrote (ChangeLogWriter), read for a
// record's History, for the Change Log window a page at a time, for the
// export and for the live desks; and Put back, which undoes a change by
// writing a new one. Nothing here updates or deletes a log row. Each
// operation is one transaction on the register (which tells any failure).
class ChangeStore {
public:
    explicit ChangeStore(Register& reg) : reg_(reg) {}

    // The record's changes, newest first, at most `limit`: an item's, a
    // case's or a location's own rows; a list's also those of its lines and
    // its plan (kinds "line" and "plan" under the list's id). The tests of
    // an item are the test history's (TestRecordStore::history, which says
    // who recorded each, from the log's "test" rows).
    std::optional<QList<ChangeRow>> history(const QString& kind, qint64 recordId, int limit = 1000);

    // The Change Log window: the rows the filter lets through, newest first,
    // `limit` of them below log id `beforeId` (0: from the newest). Each page
    // reads only its rows, along an index, at any size of the log.
    std::optional<ChangePage> page(const ChangeFilter& filter, qint64 beforeId, int limit);
    // How many rows the filter lets through, counted up to `cap` (a count
    // that reaches it means "cap or more"), so that it stays quick.
    std::optional<qint64> count(const ChangeFilter& filter, qint64 cap);

    // The live desks: the rows after log id `afterId`, oldest first, at most
    // `limit` (read again from the last one given for more).
    std::optional<QList<ChangeRow>> after(qint64 afterId, int limit = 10000);
    // The highest log id (0 for an empty log): where a desk starts watching.
    std::optional<qint64> lastId();
    // The rows of one batch, in the order written.
    std::optional<QList<ChangeRow>> batch(qint64 batchId);

    // --- Export (quarvel --export changes FILE [--since DATE]) ------------
    // The names of the export's columns, in order (its header): id, batch,
    // at, user, desk, operation, kind, record, field, old, new.
    static QStringList exportColumns();
    // Hands each row at or after `since` (UTC; none: every row) to onRow,
    // oldest first, as the export writes them (no value: an empty view;
    // an empty text: kEmptyText), until onRow returns false. Reads in one
    // go, keeping no row.
    using RowHandler = std::function<bool(std::span<const std::string_view> values)>;
    bool exportSince(const std::optional<QDateTime>& since, const RowHandler& onRow);

    // --- Put back --------------------------------------------------------
    // Writes the change's old value back as a new batch "Put back" (with
    // its own log rows), in one transaction, after taking turns with the
    // other writers. Refused, writing nothing, when the record's value is no
    // longer the change's new value (it changed since). Putting back a
    // "created" deletes the record, only while every field is still as
    // created; putting back a "deleted" makes it again under its id, only
    // while no record has that id. A recorded test is kept: refused. Asking
    // the user first is the window's.
    PutBackResult putBack(qint64 changeId);
    // The same for every change of a batch at once: all or nothing.
    PutBackResult putBackBatch(qint64 batchId);

private:
    Register& reg_;
};
