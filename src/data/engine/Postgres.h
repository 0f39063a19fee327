#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "data/engine/Sql.h"

struct pg_conn;
struct pg_result;

// A register on a PostgreSQL server, reached through libpq: the only place
// that calls it. Text travels as UTF-8 both ways; every value is bound as a
// parameter, never written into a statement.
namespace Postgres {

// What libpq reads from a connection string (a URI such as
// postgresql://stores-pc/quarvel or keywords such as "host=stores-pc
// dbname=quarvel").
struct ConnectionInfo {
    QString error;  // why libpq cannot read it; empty when it can
    QString host;   // as given: a name, an address, a socket folder, or empty
    QString port;
    QString database;
    QString user;
    bool hasPassword = false;  // a password or another secret of libpq's (sslpassword)
};
ConnectionInfo parse(const QString& connection);

// The text as the server stores it: what TextRules::storable makes of it,
// and each U+0000, which the server's text cannot hold, as U+FFFD.
QString storable(const QString& text);

// One session with the server. Connecting happens at once; one that fails
// keeps the failure (Unreachable) and is not open.
class Connection : public Sql::Connection {
public:
    // How long connecting may take unless the connection string says.
    static constexpr int kConnectTimeoutSeconds = 10;

    Connection(const QString& connection, int busyWaitMs);
    ~Connection() override;

    Sql::Engine engine() const override { return Sql::Engine::Postgres; }
    // Connected, and the connection has not broken since.
    bool isOpen() const override;
    bool exec(const char* sql) override;
    std::unique_ptr<Sql::Cursor> prepare(std::string_view sql) override;
    void setBusyWait(int milliseconds) override { busyWaitMs_ = milliseconds; }
    // Reads see one state of the register (repeatable read); writes lock
    // the rows they need and wait for them at most the busy wait.
    bool begin(Sql::Transaction transaction) override;
    // A connection that breaks during the commit cannot tell whether the
    // server stored it: that is a failure of its own (CommitUnknown).
    bool commit() override;
    void rollback() override;
    const char* forUpdate() const override { return " FOR UPDATE"; }
    const char* forShare() const override { return " FOR SHARE"; }
    bool lockAgainstAdding(const char* table) override;

    bool takesRowsInBulk() const override { return true; }
    bool copyIn(const char* copySql, const QByteArray& rows) override;
    bool continueNumbering(const char* table, const char* column) override;

    pg_conn* handle() const { return conn_; }
    // Keeps the failure that a statement's result (or, without one, the
    // connection) reports.
    void failFrom(const pg_result* result);

private:
    pg_conn* conn_ = nullptr;
    int busyWaitMs_;
    bool committing_ = false;
};

// One statement. It runs at its first step(), with the values bound by
// then, and the server's whole answer is read at once; "?" in its text
// stands for the next value.
class Statement : public Sql::Cursor {
public:
    Statement(Connection& connection, std::string_view sql);
    ~Statement() override;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const override { return ok_; }
    void bindInteger(std::int64_t value) override;
    void bindDouble(double value) override;
    void bindText(const QByteArray& utf8) override;
    void bindNull() override;
    bool step() override;
    int changes() const override;
    std::optional<std::size_t> rowCount() const override;
    bool isNull(int col) const override;
    std::int64_t integer(int col) const override;
    std::optional<std::int64_t> wholeNumber(int col) const override;
    std::string_view utf8(int col) const override;
    QString shown(int col) const override;

private:
    bool execute();
    bool isNumber(int col) const;

    Connection& connection_;
    std::string sql_;
    std::vector<std::optional<QByteArray>> values_;
    pg_result* result_ = nullptr;
    std::vector<bool> numberColumns_;
    int row_ = -1;
    int rows_ = 0;
    bool ok_ = true;
};

// The statement with each "?" outside quotes made "$1", "$2" ... as the
// server numbers its parameters.
std::string numberedParameters(std::string_view sql);

}  // namespace Postgres
