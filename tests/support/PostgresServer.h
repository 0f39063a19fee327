#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A PostgreSQL server of the test's own: initdb into a temporary folder, then
// the server listening only on a Unix socket in that folder (no TCP port),
// stopped when the object goes. Run as root (as in CI), the server runs as
// the user "nobody", since PostgreSQL refuses to run as root. Every client
// signs in as the superuser "quarvel" without a password.
class PostgresServer {
public:
    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // Why no server can run here (programs missing), or empty.
    static QString unavailableReason();

    // Makes the cluster at the first start; starts the server. False with
    // error() when it does not come up.
    bool start();
    // Stops the server at once ("fast": sessions are ended, nothing waits);
    // immediately: every session dies where it stands, as in a power cut,
    // so none of them can still commit on the way down.
    void stop(bool immediately = false);
    bool isRunning() const { return running_; }
    QString error() const { return error_; }

    // A new, empty database of that name (unique within the server) and the
    // connection string that reaches it.
    QString newDatabase(const QString& name);
    QString connectionString(const QString& database) const;
    // Runs statements (";"-separated) on a database; fails the test on error.
    void exec(const QString& database, const QString& sql) const;
    // The first column of the first row, as text; empty for null or no row.
    QString scalar(const QString& database, const QString& sql) const;

    // A session of another desk that runs `sql` in a transaction and holds
    // what it locked until the holder goes.
    class Holder {
    public:
        Holder(const QString& connection, const char* sql);
        ~Holder();
        Holder(const Holder&) = delete;
        Holder& operator=(const Holder&) = delete;

    private:
        struct pg_conn* session_;
    };

private:
    bool run(const QString& program, const QStringList& arguments, int timeoutMs);
    QString dataFolder() const;

    QTemporaryDir dir_;
    QString bin_;
    bool initialised_ = false;
    bool running_ = false;
    QString error_;
};
