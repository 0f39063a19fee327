#pragma once

#include <QDateTime>
#include <QString>
#include <optional>
#include <span>
#include <vector>

#include "data/rules/Changes.h"

namespace Sql {
class Connection;
}
struct Author;

// One field of a record as the log keeps it: its column name and its value
// as text (none: no value).
struct LoggedField {
    QString field;
    std::optional<QString> value;
};

// Writes the change log of one write transaction (Register::write makes it
// and flushes it before COMMIT, so the log is committed or rolled back with
// the change). The stores only say what changed; rows are kept until flush,
// which writes the batch row and every change row in one go. A transaction
// that changed nothing writes no batch. Only the data layer uses it.
class ChangeLogWriter {
public:
    ChangeLogWriter(const Author& author, QDateTime at, QString operation);

    // A field changed: one row old -> new; nothing when both are the same
    // (no value and an empty text count as the same).
    void changed(const char* kind, qint64 recordId, const QString& field,
                 const std::optional<QString>& oldValue, const std::optional<QString>& newValue);
    // A record created: the "*" row "created", then one row per field that
    // holds a value (empty text counts as none).
    void created(const char* kind, qint64 recordId, std::span<const LoggedField> fields);
    // A record created by a bulk import: the "*" row only.
    void createdInBulk(const char* kind, qint64 recordId);
    // A record deleted: one row per field with its old value (new none),
    // then the "*" row "deleted", so that it can be put back.
    void deleted(const char* kind, qint64 recordId, std::span<const LoggedField> fields);

    bool empty() const { return rows_.empty(); }
    // Writes the batch and its rows. Rows of several desks are numbered in
    // the order they commit: the writer takes the log's turn first (a
    // server's advisory lock, held to COMMIT; a file is held whole). On a
    // server it then sends pg_notify('quarvel_changes', highest log id).
    // False with the failure kept on the connection; nothing when empty
    // (also after a flush: a body may flush itself to learn its batch id).
    bool flush(Sql::Connection& db);
    // The batch written by flush (0 before, or when empty).
    qint64 batchId() const { return batch_; }
    qint64 lastLogId() const { return lastId_; }

private:
    struct Row {
        const char* kind;
        qint64 recordId;
        QString field;
        std::optional<QString> oldValue;
        std::optional<QString> newValue;
    };
    bool writeRows(Sql::Connection& db, const QByteArray& at);
    bool copyRows(Sql::Connection& db, const QByteArray& at);

    QString user_;
    QString desk_;
    QDateTime at_;
    QString operation_;
    std::vector<Row> rows_;
    qint64 batch_ = 0;
    qint64 lastId_ = 0;
};
