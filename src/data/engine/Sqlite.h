#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>

#include "base/TextPool.h"
#include "data/engine/Sql.h"

class QSqlDatabase;

struct sqlite3;
struct sqlite3_stmt;

// The store's own thin layer over SQLite: one connection per operation and
// statements that bind and read text as UTF-8, so what was typed is what is
// stored, byte for byte.
namespace Sqlite {

// How a connection opens its file.
enum class Open {
    Existing,  // reading and writing; a missing file is an error, never created
    ReadOnly,  // reading only
    Create,    // reading and writing, creating the file when it is missing
};

// SQLite's own checks of a whole file: Quick reads every page and row
// once; Full also compares every index with its table, which takes longer.
enum class Check { Quick, Full };

// One state of a database file kept with a rollback journal: which file it
// is and what its header says of its content. SQLite adds one to the change
// counter with every write it commits to such a file, so the file, its
// counter, page count, size and times name one content of it; a copy of the
// file carries the same counter, page count and size.
struct FileState {
    QString file;            // the file's absolute path, links resolved
    qint64 size = 0;         // in bytes
    qint64 modifiedMs = -1;  // last written, ms since 1970
    qint64 bornMs = -1;      // made, ms since 1970; -1 where the file system keeps no such time
    quint32 changeCounter = 0;
    quint32 pageCount = 0;

    bool operator==(const FileState&) const = default;
    // Whether the file at that path still has this size and these times:
    // false once another file was put in its place or it was written.
    bool stillOnDisk() const;
};

// An open connection to one database file, made through Qt's SQLite driver;
// every part of the program that opens a register opens it this way.
// Double-quoted names are identifiers only: a missing column is an error,
// never a string. Foreign keys are enforced. A connection kept waiting by
// another program's lock retries for up to busyTimeoutMs.
class Connection : public Sql::Connection {
public:
    static constexpr int kDefaultBusyWaitMs = 2000;

    // While another program holds the file, a statement waits up to
    // busyWaitMs for it, retrying in short, growing pauses.
    explicit Connection(const QString& path, Open how = Open::Existing,
                        int busyWaitMs = kDefaultBusyWaitMs);
    ~Connection() override;

    bool isOpen() const override { return db_ != nullptr; }
    sqlite3* handle() const { return db_; }

    // Runs a statement without values (BEGIN, COMMIT, ...).
    bool exec(const char* sql) override;
    std::unique_ptr<Sql::Cursor> prepare(std::string_view sql) override;
    void setBusyWait(int milliseconds) override { busyWaitMs_ = milliseconds; }
    // A writer takes the write lock at once, so the busy wait applies to it;
    // a reader sees one consistent state of the file.
    bool begin(Sql::Transaction transaction) override;
    void rollback() override;
    // The memory of AUTOINCREMENT (sqlite_sequence), where the file has it.
    bool raiseToRememberedId(const char* table, std::int64_t& highest) override;
    const char* exactly() const override { return " COLLATE BINARY"; }

    // AUTOINCREMENT: SQLite remembers the ids it gave, deleted rows' too.
    const char* keyType() const override { return "INTEGER PRIMARY KEY AUTOINCREMENT"; }
    const char* rowIdColumnType() const override { return ""; }
    const char* foldedText() const override { return " COLLATE NOCASE"; }
    bool namesKeepCase() const override { return false; }
    std::optional<QStringList> tableKinds(const QString& name) override;
    std::optional<QStringList> columnNames(const QString& table) override;
    // The file's header keeps the version (user_version).
    std::optional<int> recordedVersion() override;
    bool makeVersionRecord() override { return true; }
    bool recordVersion(int version) override;
    // A write holds the whole file already.
    bool lockVersion() override { return true; }

    // Runs the check on the file: true when it finds the file sound, false
    // when it finds damage, nullopt (with the failure kept) when it cannot
    // run. While it runs, `stop` (when given) is asked now and then; true
    // ends the check without a result.
    std::optional<bool> isSound(Check how, const std::function<bool()>& stop = {});

    // The state of the connection's file, read through SQLite's own handle
    // of it (so no lock of this program on the file is lost) within a
    // transaction begun by the caller: the first read of the transaction
    // takes the file's read lock, which holds it still until the
    // transaction ends. Nullopt outside a transaction, for a file kept with
    // a write-ahead log (whose header does not follow every write) and
    // when the header cannot be read or names no page count.
    std::optional<FileState> fileState();
    // The file's bytes, read as fileState() reads them: through SQLite's own
    // handle, within the caller's read transaction, a piece at a time to
    // `write` (false stops the copy). Opening the file a second time would
    // not do: closing that handle drops every lock this process holds on
    // the file, the read lock that keeps writers out among them.
    bool readFileBytes(const std::function<bool(const char* bytes, qint64 size)>& write);

    // For a file that may have been made by anyone (a damaged register
    // being mended): SQLite's defensive mode, so no statement rewrites the
    // file's structure behind its back, and a schema that is not trusted,
    // so its views, triggers and defaults call no function with side effects.
    bool distrustSchema();
    // While set, `carryOn` is asked every few thousand steps of SQLite's
    // machine; false interrupts the statement running, which then fails.
    // Empty: nothing is asked.
    void askWhileRunning(std::function<bool()> carryOn);

    // How copyPagesInto copies: pagesPerStep pages at a time (-1: all in
    // one step); while another program writes, up to busyRetries pauses of
    // busyPauseMs; carryOn, when given, is asked after every step, and
    // false stops the copy.
    struct PageCopy {
        int pagesPerStep = -1;
        int busyRetries = 0;
        int busyPauseMs = 0;
        std::function<bool()> carryOn;
    };
    enum class PageCopyEnd { Done, Stopped, Failed };
    // Copies every page of this database into `target` with SQLite's online
    // backup, one consistent state even while others use it. Failed keeps
    // SQLite's result on `target`.
    PageCopyEnd copyPagesInto(Connection& target, const PageCopy& how);

    // Keeps an SQLite result code and its text as the operation's failure.
    void fail(int code, const QString& text, int extendedCode = 0);
    using Sql::Connection::fail;
    void failFromHandle();

private:
    static int waitWhileBusy(void* connection, int attempt);
    void installCarryOn();

    int busyWaitMs_;
    QElapsedTimer busySince_;
    QString connectionName_;
    std::unique_ptr<QSqlDatabase> qtDb_;
    sqlite3* db_ = nullptr;
    std::function<bool()> carryOn_;
};

// One prepared statement. Values are bound in order with bind(); rows are
// read with step() and the column accessors. The first error is recorded on
// the connection.
class Statement : public Sql::Cursor {
public:
    Statement(Connection& connection, std::string_view sql);
    ~Statement() override;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const override { return ok_; }

    template <class Int>
    requires std::is_integral_v<Int> Statement& bind(Int value) {
        bindInteger(static_cast<std::int64_t>(value));
        return *this;
    }
    Statement& bind(double value);
    Statement& bind(const QString& text);  // as UTF-8; a null QString binds ''
    Statement& bind(const QVariant& value);
    void bindNull() override;
    // Bound straight from the bytes, with no copy of them kept by the caller.
    void bindUtf8(std::string_view utf8) override;
    // Ready to run again: the values are bound anew from the first one.
    bool reset() override;
    // The text after the first statement of the text it was made from.
    std::string_view rest() const { return rest_; }
    // Whether the text held a statement at all (not only blanks or a comment).
    bool holdsStatement() const { return stmt_ != nullptr; }
    int columnCount() const;

    // True while there is a row; false at the end or on an error.
    bool step() override;
    // Runs a statement that returns no rows; false on an error.
    bool run();
    // Rows changed by the last run.
    int changes() const override;

    bool isNull(int col) const override;
    std::int64_t integer(int col) const override;
    // The column as a whole number when it holds one within the 64-bit
    // range (3 and 3.0 alike).
    std::optional<std::int64_t> wholeNumber(int col) const override;
    std::string_view utf8(int col) const override;
    // The column as the windows show it: null as empty text, whole numbers
    // without a decimal point.
    QString shown(int col) const override;

    void bindInteger(std::int64_t value) override;
    void bindDouble(double value) override;
    void bindText(const QByteArray& utf8) override;

private:
    Connection& connection_;
    sqlite3_stmt* stmt_ = nullptr;
    std::string_view rest_;
    int nextParameter_ = 1;
    bool ok_ = false;
};

}  // namespace Sqlite
