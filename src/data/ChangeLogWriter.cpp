// The change log of one write transaction, written before its COMMIT.

#include "data/ChangeLogWriter.h"

#include <algorithm>

#include "data/Register.h"
#include "data/StoreSql.h"
#include "data/engine/CopyText.h"
#include "data/engine/Sql.h"

using Sql::Connection;
using Sql::Statement;

namespace {

// The turn writers of the log take ("Quarvel" in ASCII).
constexpr std::int64_t kLogTurn = 0x5175617276656C;

constexpr char kInsertRowsSql[] =
    R"(INSERT INTO "ChangeLog" ("batch", "at", "username", "desk", "kind", "recordid", "field",
       "oldvalue", "newvalue") VALUES )";
// "created" rows for the ids from the first value to the second, in order.
constexpr char kInsertCreatedRunSql[] =
    R"(WITH RECURSIVE ids(id) AS (SELECT ? UNION ALL SELECT id + 1 FROM ids WHERE id < ?)
       INSERT INTO "ChangeLog" ("batch", "at", "username", "desk", "kind", "recordid", "field",
       "oldvalue", "newvalue") SELECT ?, ?, ?, ?, ?, id, ?, NULL, ? FROM ids ORDER BY id)";
constexpr char kCopyRowsSql[] =
    R"(COPY "ChangeLog" ("batch", "at", "username", "desk", "kind", "recordid", "field",
       "oldvalue", "newvalue") FROM STDIN)";

const QString& wholeRecord() {
    static const QString star = QString::fromLatin1(kWholeRecord);
    return star;
}

void appendText(QByteArray& out, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    Sql::appendCopyText(out, std::string_view(utf8.constData(), std::size_t(utf8.size())));
}

void appendValue(QByteArray& out, const std::optional<QString>& value) {
    if (value)
        appendText(out, *value);
    else
        out += "\\N";
}

bool holdsValue(const std::optional<QString>& value) {
    return value && !value->isEmpty();
}

}  // namespace

ChangeLogWriter::ChangeLogWriter(const Author& author, QDateTime at, QString operation)
    : user_(author.user),
      desk_(author.desk),
      at_(std::move(at)),
      operation_(std::move(operation)) {}

void ChangeLogWriter::changed(const char* kind, qint64 recordId, const QString& field,
                              const std::optional<QString>& oldValue,
                              const std::optional<QString>& newValue) {
    // No value and an empty text look the same everywhere: no change.
    if (oldValue.value_or(QString()) == newValue.value_or(QString()))
        return;
    rows_.push_back({kind, recordId, field, oldValue, newValue});
}

void ChangeLogWriter::created(const char* kind, qint64 recordId,
                              std::span<const LoggedField> fields) {
    createdInBulk(kind, recordId);
    for (const LoggedField& f : fields) {
        if (holdsValue(f.value))
            rows_.push_back({kind, recordId, f.field, std::nullopt, f.value});
    }
}

void ChangeLogWriter::createdInBulk(const char* kind, qint64 recordId) {
    static const QString created = QString::fromLatin1(kCreated);
    rows_.push_back({kind, recordId, wholeRecord(), std::nullopt, created});
}

void ChangeLogWriter::deleted(const char* kind, qint64 recordId,
                              std::span<const LoggedField> fields) {
    static const QString deleted = QString::fromLatin1(kDeleted);
    for (const LoggedField& f : fields) {
        if (holdsValue(f.value))
            rows_.push_back({kind, recordId, f.field, f.value, std::nullopt});
    }
    rows_.push_back({kind, recordId, wholeRecord(), std::nullopt, deleted});
}

bool ChangeLogWriter::flush(Connection& db) {
    if (rows_.empty())
        return true;

    // Held to COMMIT: another desk's rows wait, so ids ascend as rows commit
    // and a desk reading "after id N" misses none.
    if (!db.takeTurn(kLogTurn))
        return false;
    const QByteArray at = at_.toUTC().toString(Qt::ISODateWithMs).toUtf8();
    Statement batch(db, R"(INSERT INTO "ChangeBatches" ("at", "username", "desk", "what")
                           VALUES (?, ?, ?, ?) RETURNING "id")");
    batch.bind(QString::fromUtf8(at)).bind(user_).bind(desk_).bind(operation_);
    if (!batch.step())
        return false;
    batch_ = batch.integer(0);
    const bool written = db.takesRowsInBulk() ? copyRows(db, at) : writeRows(db, at);
    if (!written)
        return false;
    Statement highest(db, R"(SELECT MAX("id") FROM "ChangeLog")");
    if (!highest.step())
        return false;
    lastId_ = highest.integer(0);
    rows_.clear();  // written: a second flush writes nothing more
    return db.announce(kChangeChannel, QByteArray::number(lastId_));
}

namespace {

// Whether the row says a record was made (as a bulk import logs it).
bool isCreation(const QString& field, const std::optional<QString>& oldValue,
                const std::optional<QString>& newValue) {
    return !oldValue && field == QLatin1String(kWholeRecord) && newValue == QLatin1String(kCreated);
}

}  // namespace

// A bulk import logs a "created" row for each of its records, mostly under
// ids that follow each other: such a run goes in as one statement that
// counts the ids itself. Other rows go in by the hundred, each statement
// prepared once (one INSERT a row costs several times the rows' own
// writing). The texts every row shares are made UTF-8 once.
bool ChangeLogWriter::writeRows(Connection& db, const QByteArray& at) {
    constexpr std::size_t kRowsPerInsert = 100;
    constexpr std::size_t kShortestRun = 16;
    const QByteArray user = user_.toUtf8();
    const QByteArray desk = desk_.toUtf8();
    const QByteArray star(kWholeRecord);
    const auto view = [](const QByteArray& bytes) {
        return std::string_view(bytes.constData(), std::size_t(bytes.size()));
    };
    const auto bindLogged = [&](Statement& add, const std::optional<QString>& value) {
        if (!value)
            add.bindNull();
        else if (*value == QLatin1String(kCreated))
            add.bindUtf8(kCreated);
        else
            add.bind(*value);
    };
    const auto insertOf = [](std::size_t rows) {
        QByteArray sql = kInsertRowsSql;
        for (std::size_t r = 0; r < rows; ++r)
            sql += r == 0 ? "(?, ?, ?, ?, ?, ?, ?, ?, ?)" : ", (?, ?, ?, ?, ?, ?, ?, ?, ?)";
        return sql;
    };
    const QByteArray fullSql = insertOf(kRowsPerInsert);
    std::optional<Statement> full;
    std::optional<Statement> run;
    // Rows [first, end) one by one, by the hundred.
    const auto insertRows = [&](std::size_t first, std::size_t end) {
        for (; first < end; first += kRowsPerInsert) {
            const std::size_t count = std::min(kRowsPerInsert, end - first);
            std::optional<Statement> rest;
            Statement& add = count == kRowsPerInsert
                                 ? StoreSql::rearmed(full, db, fullSql.constData())
                                 : rest.emplace(db, insertOf(count).constData());
            for (std::size_t r = first; r < first + count; ++r) {
                const Row& row = rows_[r];
                add.bind(batch_).bindUtf8(view(at)).bindUtf8(view(user)).bindUtf8(view(desk));
                add.bindUtf8(row.kind).bind(row.recordId);
                if (row.field == wholeRecord())
                    add.bindUtf8(view(star));
                else
                    add.bind(row.field);
                bindLogged(add, row.oldValue);
                bindLogged(add, row.newValue);
            }
            if (!add.run())
                return false;
        }
        return true;
    };
    std::size_t pending = 0;  // the first row not yet written
    for (std::size_t r = 0; r < rows_.size();) {
        std::size_t end = r + 1;
        if (isCreation(rows_[r].field, rows_[r].oldValue, rows_[r].newValue)) {
            while (end < rows_.size() && rows_[end].kind == rows_[r].kind &&
                   rows_[end].recordId == rows_[end - 1].recordId + 1 &&
                   isCreation(rows_[end].field, rows_[end].oldValue, rows_[end].newValue))
                ++end;
        }
        if (end - r < kShortestRun) {
            r = end;
            continue;
        }
        if (!insertRows(pending, r))
            return false;
        Statement& counted = StoreSql::rearmed(run, db, kInsertCreatedRunSql);
        counted.bind(rows_[r].recordId).bind(rows_[end - 1].recordId).bind(batch_);
        counted.bindUtf8(view(at)).bindUtf8(view(user)).bindUtf8(view(desk));
        counted.bindUtf8(rows_[r].kind).bindUtf8(view(star)).bindUtf8(kCreated);
        if (!counted.run())
            return false;
        pending = r = end;
    }
    return insertRows(pending, rows_.size());
}

// One COPY for the whole batch: on a server each INSERT is a round trip.
bool ChangeLogWriter::copyRows(Connection& db, const QByteArray& at) {
    QByteArray prefix = QByteArray::number(batch_) + '\t' + at + '\t';
    appendText(prefix, user_);
    prefix += '\t';
    appendText(prefix, desk_);
    prefix += '\t';
    QByteArray out;
    out.reserve(static_cast<qsizetype>(rows_.size()) * (prefix.size() + 32));
    for (const Row& row : rows_) {
        out += prefix;
        out += row.kind;
        out += '\t';
        out += QByteArray::number(row.recordId);
        out += '\t';
        appendText(out, row.field);
        out += '\t';
        appendValue(out, row.oldValue);
        out += '\t';
        appendValue(out, row.newValue);
        out += '\n';
    }
    return db.copyIn(kCopyRowsSql, out);
}
