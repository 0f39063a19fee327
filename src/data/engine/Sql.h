#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>

// What the store, the schema and the tree reader need of a register's
// database, whichever engine holds it: the SQLite file (Sqlite.h) or a
// PostgreSQL server (Postgres.h). A connection runs statements in one
// transaction at a time and keeps the first failure of an operation;
// statements bind their values in order ("?" in the text) and read rows.
namespace Sql {

// What went wrong, in the terms the store acts on; each engine sorts its own
// codes into these and keeps its own words in the text.
enum class Problem {
    Own,             // the program's own failure; the text says what
    Busy,            // another program or desk held what was needed longer than the wait
    Damaged,         // the engine finds the stored data damaged
    NotADatabase,    // the file is no database
    ReadOnly,        // may not be written (file access, a read-only server, no privilege)
    Full,            // no room left
    CannotOpen,      // the file could not be opened
    Io,              // the disk reported an error
    Statement,       // a statement failed: a missing table or column, or another SQL error
    Unreachable,     // the server could not be reached, or refused the connection
    ConnectionLost,  // the connection broke before the commit: nothing was stored
    CommitUnknown,   // the connection broke during the commit: it may have been stored
    NoAnswer,        // the server kept the answer back and the user stopped waiting:
                     // the connection was closed, nothing was stored
    Other,
};

struct Failure {
    Problem problem = Problem::Own;
    QString text;          // the engine's own words, or the program's
    int code = 0;          // SQLite's primary result code; 0 elsewhere
    int extendedCode = 0;  // SQLite's extended result code
    QString state;         // PostgreSQL's SQLSTATE; empty elsewhere

    // A failure known by its kind and words only.
    static Failure of(Problem problem, QString text) {
        Failure failure;
        failure.problem = problem;
        failure.text = std::move(text);
        return failure;
    }
};

// Someone told that the server keeps a statement waiting (a window with a
// Cancel button): made once the answer has been awaited for a while, asked
// again several times a second while the wait goes on, and gone when the
// answer has come.
class Waiting {
public:
    virtual ~Waiting() = default;
    // False once the user wants to stop waiting.
    virtual bool goOn() = 0;
};

// How a server connection tells that it waits: `show` is given the server
// as the connection names it ("stores-pc", "stores-pc:5433", a socket
// folder) once an answer has been awaited afterMs. No `show`: it waits on
// without a word until the answer comes or the connection breaks.
struct WaitingSeam {
    static constexpr int kShownAfterMs = 3000;
    std::function<std::unique_ptr<Waiting>(const QString& server)> show;
    int afterMs = kShownAfterMs;
};

// A read sees one consistent state of the register; a write takes what it
// changes for itself until it commits.
enum class Transaction { Read, Write };

// One statement of an engine; used through Statement.
class Cursor {
public:
    virtual ~Cursor() = default;
    virtual bool ok() const = 0;
    virtual void bindInteger(std::int64_t value) = 0;
    virtual void bindDouble(double value) = 0;
    virtual void bindText(const QByteArray& utf8) = 0;
    virtual void bindNull() = 0;
    // UTF-8 bytes, valid UTF-8 being the caller's to ensure.
    virtual void bindUtf8(std::string_view utf8) {
        bindText(QByteArray(utf8.data(), static_cast<qsizetype>(utf8.size())));
    }
    // Makes the statement ready to run again with new values; false where
    // the engine cannot, and the statement is prepared anew instead.
    virtual bool reset() { return false; }
    virtual bool step() = 0;
    virtual int changes() const = 0;
    // The rows the statement gives, once it has run, where the engine knows.
    virtual std::optional<std::size_t> rowCount() const { return std::nullopt; }
    virtual bool isNull(int col) const = 0;
    virtual std::int64_t integer(int col) const = 0;
    virtual std::optional<std::int64_t> wholeNumber(int col) const = 0;
    virtual std::string_view utf8(int col) const = 0;
    virtual QString shown(int col) const = 0;
};

class Connection {
public:
    virtual ~Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    virtual bool isOpen() const = 0;
    // Runs statements without values (BEGIN, CREATE TABLE, ...).
    virtual bool exec(const char* sql) = 0;
    virtual std::unique_ptr<Cursor> prepare(std::string_view sql) = 0;

    // How long a write waits for another program or desk holding what it
    // needs before it fails as Busy.
    virtual void setBusyWait(int milliseconds) = 0;
    virtual bool begin(Transaction transaction) = 0;
    virtual bool commit() { return exec("COMMIT"); }
    // Undoes the open transaction; the failure already kept stays.
    virtual void rollback() = 0;

    // The first failure of the operation, kept until forgetFailure().
    const std::optional<Failure>& failure() const { return failure_; }
    void fail(Failure failure) {
        if (!failure_)
            failure_ = std::move(failure);
    }
    // A failure of the program's own, in its words.
    void fail(const QString& text) { fail(Failure::of(Problem::Own, text)); }
    void forgetFailure() { failure_.reset(); }

    // --- Where the engines' statements differ ---------------------------
    // What a write adds to the SELECT of rows it checks before it changes
    // things, so that no other desk changes or deletes them in between: a
    // server locks them, while a file's write lock holds the whole file.
    virtual const char* forUpdate() const { return ""; }
    // The same for rows that must only stay (the case an item goes into).
    virtual const char* forShare() const { return ""; }
    // Keeps other desks from adding rows to the table until the transaction
    // ends; false with the failure kept.
    virtual bool lockAgainstAdding(const char* table) {
        (void)table;
        return true;
    }
    // Raises `highest` to the highest id the engine remembers giving in the
    // table, deleted rows' too; false with the failure kept.
    virtual bool raiseToRememberedId(const char* table, std::int64_t& highest) {
        (void)table;
        (void)highest;
        return true;
    }
    // What follows a text comparison to make it exact, letter case and all,
    // where a column compares otherwise (a file's Locations).
    virtual const char* exactly() const { return ""; }
    // Whether rows are best added in bulk (copyIn) rather than one INSERT
    // at a time: a server, where each statement is a round trip.
    virtual bool takesRowsInBulk() const { return false; }
    // Sends rows into `COPY table (columns) FROM STDIN` (text format, each
    // row ending in a newline); false with a failure kept.
    virtual bool copyIn(const char* copySql, const QByteArray& rows) {
        (void)copySql;
        (void)rows;
        fail(QStringLiteral("This register takes no rows in bulk."));
        return false;
    }
    // Waits until no other transaction holds the turn named `key`, then
    // holds it until this one ends; needs no privilege on any table (a
    // file's write lock already holds the whole file).
    virtual bool takeTurn(std::int64_t key) {
        (void)key;
        return true;
    }
    // Tells the desks listening on `channel` that this transaction changed
    // the register, with `payload`; the notice goes out only when it
    // commits. Nothing where no desk listens (a file, which desks watch).
    virtual bool announce(const char* channel, const QByteArray& payload) {
        (void)channel;
        (void)payload;
        return true;
    }
    // After rows were added with their own numbers in a column the engine
    // numbers itself, new rows carry on above them.
    virtual bool continueNumbering(const char* table, const char* column) {
        (void)table;
        (void)column;
        return true;
    }

    // --- How each engine keeps the register's tables (see Schema) --------
    // The type of a record table's "id": a key the engine never gives again.
    virtual const char* keyType() const = 0;
    // The type of the "rowid" column a table without a key of its own
    // (Locations) needs, numbered by the engine; empty where the engine
    // keeps a row id of its own.
    virtual const char* rowIdColumnType() const = 0;
    // What follows a text column's type so that it compares without regard
    // to letter case where the engine can (a file's location names).
    virtual const char* foldedText() const = 0;
    // Whether table and column names are told apart by letter case.
    virtual bool namesKeepCase() const = 0;
    // "table" or "view" for each table of that name; empty when none has it.
    // Nullopt with the failure kept when the engine's catalog cannot be read.
    virtual std::optional<QStringList> tableKinds(const QString& name) = 0;
    virtual std::optional<QStringList> columnNames(const QString& table) = 0;
    // The layout version the register records, 0 when it records none.
    virtual std::optional<int> recordedVersion() = 0;
    // Makes the place the version is kept, where that is a table of its own.
    virtual bool makeVersionRecord() = 0;
    virtual bool recordVersion(int version) = 0;
    // Keeps another desk from upgrading the layout until this one commits.
    virtual bool lockVersion() = 0;

protected:
    Connection() = default;

private:
    std::optional<Failure> failure_;
};

// One statement on a connection. Values are bound in order with bind(); rows
// are read with step() and the column accessors. A failure is kept on the
// connection.
class Statement {
public:
    Statement(Connection& db, std::string_view sql) : cursor_(db.prepare(sql)) {}

    bool ok() const { return cursor_->ok(); }

    template <class Int>
    requires std::is_integral_v<Int> Statement& bind(Int value) {
        cursor_->bindInteger(static_cast<std::int64_t>(value));
        return *this;
    }
    Statement& bind(double value) {
        cursor_->bindDouble(value);
        return *this;
    }
    // As UTF-8; a null QString binds ''. Text that UTF-8 cannot hold (a lone
    // surrogate) is stored as U+FFFD.
    Statement& bind(const QString& text);
    Statement& bind(const QVariant& value);
    Statement& bindNull() {
        cursor_->bindNull();
        return *this;
    }
    Statement& bindUtf8(std::string_view utf8) {
        cursor_->bindUtf8(utf8);
        return *this;
    }
    // Ready to run again, the values bound anew from the first; false where
    // the engine cannot (prepare the statement again instead).
    bool reset() { return cursor_->reset(); }

    // True while there is a row; false at the end or on an error.
    bool step() { return cursor_->step(); }
    // Runs a statement that returns no rows; false on an error.
    bool run() {
        step();
        return ok();
    }
    // Rows changed by the last run.
    int changes() const { return cursor_->changes(); }
    std::optional<std::size_t> rowCount() const { return cursor_->rowCount(); }

    bool isNull(int col) const { return cursor_->isNull(col); }
    std::int64_t integer(int col) const { return cursor_->integer(col); }
    // The column as a whole number when it holds one within the 64-bit
    // range (3 and 3.0 alike); nothing for text.
    std::optional<std::int64_t> wholeNumber(int col) const { return cursor_->wholeNumber(col); }
    std::string_view utf8(int col) const { return cursor_->utf8(col); }
    // The column as the windows show it: null as empty text, whole numbers
    // without a decimal point.
    QString shown(int col) const { return cursor_->shown(col); }

private:
    std::unique_ptr<Cursor> cursor_;
};

// The first column of every row of sql, which takes `value` as its one
// value; nullopt when the statement fails.
std::optional<QStringList> firstColumn(Connection& db, const char* sql, const QString& value);

}  // namespace Sql
