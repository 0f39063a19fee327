#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>

#include "data/TextPool.h"

class QSqlDatabase;

struct sqlite3;
struct sqlite3_stmt;

// The store's own thin layer over SQLite: one connection per operation and
// statements that bind and read text as UTF-8, so what was typed is what is
// stored, byte for byte.
namespace Sqlite {

// What went wrong in an operation: SQLite's result code and its own text.
struct Failure {
    int code = 0;  // an SQLite result code; 0 when the failure is the program's own
    QString text;
    int extendedCode = 0;  // SQLite's extended result code (SQLITE_IOERR_DELETE)
};

// How a connection opens its file.
enum class Open {
    Existing,  // reading and writing; a missing file is an error, never created
    ReadOnly,  // reading only
    Create,    // reading and writing, creating the file when it is missing
};

// An open connection to one database file, made through Qt's SQLite driver;
// every part of the program that opens a register opens it this way.
// Double-quoted names are identifiers only: a missing column is an error,
// never a string. Foreign keys are enforced. A connection kept waiting by
// another program's lock retries for up to busyTimeoutMs.
class Connection {
public:
    static constexpr int kDefaultBusyWaitMs = 2000;

    // While another program holds the file, a statement waits up to
    // busyWaitMs for it, retrying in short, growing pauses.
    explicit Connection(const QString& path, Open how = Open::Existing,
                        int busyWaitMs = kDefaultBusyWaitMs);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool isOpen() const { return db_ != nullptr; }
    sqlite3* handle() const { return db_; }

    // Runs a statement without values (BEGIN, COMMIT, ...).
    bool exec(const char* sql);

    // The first failure of this connection, kept until the operation ends.
    const std::optional<Failure>& failure() const { return failure_; }
    void fail(int code, const QString& text, int extendedCode = 0);
    void failFromHandle();

private:
    static int waitWhileBusy(void* connection, int attempt);

    int busyWaitMs_;
    QElapsedTimer busySince_;
    QString connectionName_;
    std::unique_ptr<QSqlDatabase> qtDb_;
    sqlite3* db_ = nullptr;
    std::optional<Failure> failure_;
};

// One prepared statement. Values are bound in order with bind(); rows are
// read with step() and the column accessors. The first error is recorded on
// the connection.
class Statement {
public:
    Statement(Connection& connection, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return ok_; }

    template <class Int>
    requires std::is_integral_v<Int> Statement& bind(Int value) {
        return bindInteger(static_cast<std::int64_t>(value));
    }
    Statement& bind(double value);
    Statement& bind(const QString& text);  // as UTF-8; a null QString binds ''
    Statement& bind(const QVariant& value);
    Statement& bindNull();

    // True while there is a row; false at the end or on an error.
    bool step();
    // Runs a statement that returns no rows; false on an error.
    bool run();
    // Rows changed by the last run.
    int changes() const;

    bool isNull(int col) const;
    std::int64_t integer(int col) const;
    // The column as a whole number when it holds one within the 64-bit
    // range (3 and 3.0 alike).
    std::optional<std::int64_t> wholeNumber(int col) const;
    std::string_view utf8(int col) const;
    // The column as the windows show it: null as empty text, whole numbers
    // without a decimal point.
    QString shown(int col) const;

private:
    Statement& bindInteger(std::int64_t value);

    Connection& connection_;
    sqlite3_stmt* stmt_ = nullptr;
    int nextParameter_ = 1;
    bool ok_ = false;
};

}  // namespace Sqlite
