// The change log of one write transaction, written before its COMMIT.

#include "data/ChangeLogWriter.h"

#include "data/Register.h"
#include "data/StoreSql.h"
#include "data/engine/CopyText.h"
#include "data/engine/Sql.h"

using Sql::Connection;
using Sql::Statement;

namespace {

// The channel the desks listen on for committed changes.
constexpr char kChannel[] = "quarvel_changes";
// The turn writers of the log take ("Quarvel" in ASCII).
constexpr std::int64_t kLogTurn = 0x5175617276656C;

constexpr char kInsertRowSql[] =
    R"(INSERT INTO "ChangeLog" ("batch", "at", "username", "desk", "kind", "recordid", "field",
       "oldvalue", "newvalue") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?))";
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
    return db.announce(kChannel, QByteArray::number(lastId_));
}

// One prepared statement for all rows; the texts every row shares are
// made UTF-8 once (a 100,000-line import logs 100,000 rows).
bool ChangeLogWriter::writeRows(Connection& db, const QByteArray& at) {
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
    std::optional<Statement> insert;
    for (const Row& row : rows_) {
        Statement& add = StoreSql::rearmed(insert, db, kInsertRowSql);
        add.bind(batch_).bindUtf8(view(at)).bindUtf8(view(user)).bindUtf8(view(desk));
        add.bindUtf8(row.kind).bind(row.recordId);
        if (row.field == wholeRecord())
            add.bindUtf8(view(star));
        else
            add.bind(row.field);
        bindLogged(add, row.oldValue);
        bindLogged(add, row.newValue);
        if (!add.run())
            return false;
    }
    return true;
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
