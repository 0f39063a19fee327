#include "PostgresServer.h"

#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QVersionNumber>
#include <algorithm>
#include <memory>

namespace {

const QString kSuperuser = QStringLiteral("quarvel");
// The socket's name only: the server listens on no TCP port.
const QString kPort = QStringLiteral("5432");

// The folder of initdb, pg_ctl and postgres: Debian keeps them out of PATH,
// one folder per major version; the newest is taken.
QString serverPrograms() {
    QDir versions(QStringLiteral("/usr/lib/postgresql"));
    QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(found.begin(), found.end(), [](const QString& a, const QString& b) {
        return QVersionNumber::fromString(a) > QVersionNumber::fromString(b);
    });
    for (const QString& version : found) {
        const QString bin = versions.filePath(version + QStringLiteral("/bin"));
        if (QFileInfo::exists(bin + QStringLiteral("/pg_ctl")))
            return bin;
    }
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("pg_ctl"));
    return onPath.isEmpty() ? QString() : QFileInfo(onPath).absolutePath();
}

bool runningAsRoot() {
    return geteuid() == 0;
}

using Result = std::unique_ptr<PGresult, void (*)(PGresult*)>;
using Session = std::unique_ptr<PGconn, void (*)(PGconn*)>;

}  // namespace

PostgresServer::PostgresServer()
    : dir_(QDir::tempPath() + QStringLiteral("/quarvel-pg-XXXXXX")), bin_(serverPrograms()) {}

PostgresServer::~PostgresServer() {
    stop();
}

QString PostgresServer::unavailableReason() {
    if (serverPrograms().isEmpty())
        return QStringLiteral("PostgreSQL's server programs are missing (package postgresql)");
    if (runningAsRoot() && !getpwnam("nobody"))
        return QStringLiteral("run as root, the server needs the user nobody");
    return {};
}

QString PostgresServer::dataFolder() const {
    return dir_.filePath(QStringLiteral("data"));
}

// As root, the program runs as nobody (runuser), who owns the folder.
bool PostgresServer::run(const QString& program, const QStringList& arguments, int timeoutMs) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    const QString path = bin_ + QLatin1Char('/') + program;
    if (runningAsRoot())
        process.start(QStringLiteral("runuser"),
                      QStringList{QStringLiteral("-u"), QStringLiteral("nobody"),
                                  QStringLiteral("--"), path} +
                          arguments);
    else
        process.start(path, arguments);
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        error_ = QStringLiteral("%1 failed: %2")
                     .arg(program, QString::fromLocal8Bit(process.readAll()).trimmed());
        return false;
    }
    return true;
}

bool PostgresServer::start() {
    if (running_)
        return true;
    if (!dir_.isValid() || bin_.isEmpty()) {
        error_ = QStringLiteral("no temporary folder or no server programs");
        return false;
    }
    if (runningAsRoot()) {
        const passwd* nobody = getpwnam("nobody");
        if (!nobody ||
            chown(dir_.path().toLocal8Bit().constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
            error_ = QStringLiteral("cannot hand the folder to nobody");
            return false;
        }
    }
    // No locale of the machine's: the same server everywhere; no syncing to
    // disk, the data lives only as long as the test.
    if (!initialised_ &&
        !run(QStringLiteral("initdb"),
             {QStringLiteral("-D"), dataFolder(), QStringLiteral("-U"), kSuperuser,
              QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"),
              QStringLiteral("UTF8"), QStringLiteral("--no-locale"), QStringLiteral("--no-sync")},
             60000))
        return false;
    initialised_ = true;
    const QString options = QStringLiteral(
                                "-c listen_addresses='' -c unix_socket_directories='%1' -p %2 "
                                "-c fsync=off -c synchronous_commit=off -c full_page_writes=off")
                                .arg(dir_.path(), kPort);
    if (!run(QStringLiteral("pg_ctl"),
             {QStringLiteral("-D"), dataFolder(), QStringLiteral("-o"), options,
              QStringLiteral("-l"), dir_.filePath(QStringLiteral("server.log")),
              QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"),
              QStringLiteral("start")},
             70000))
        return false;
    running_ = true;
    return true;
}

void PostgresServer::stop(bool immediately) {
    if (!running_)
        return;
    running_ = false;
    run(QStringLiteral("pg_ctl"),
        {QStringLiteral("-D"), dataFolder(), QStringLiteral("-m"),
         immediately ? QStringLiteral("immediate") : QStringLiteral("fast"), QStringLiteral("-w"),
         QStringLiteral("stop")},
        60000);
}

QString PostgresServer::connectionString(const QString& database) const {
    return QStringLiteral("host=%1 port=%2 user=%3 dbname=%4")
        .arg(dir_.path(), kPort, kSuperuser, database);
}

QString PostgresServer::newDatabase(const QString& name) {
    exec(QStringLiteral("postgres"),
         QStringLiteral("CREATE DATABASE \"%1\" TEMPLATE template0").arg(name));
    return connectionString(name);
}

void PostgresServer::exec(const QString& database, const QString& sql) const {
    const Session db(PQconnectdb(connectionString(database).toUtf8().constData()), PQfinish);
    if (PQstatus(db.get()) != CONNECTION_OK)
        QFAIL(qPrintable(QString::fromUtf8(PQerrorMessage(db.get()))));
    const Result result(PQexec(db.get(), sql.toUtf8().constData()), PQclear);
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        QFAIL(qPrintable(QStringLiteral("%1: %2").arg(
            sql, QString::fromUtf8(PQresultErrorMessage(result.get())))));
}

QString PostgresServer::scalar(const QString& database, const QString& sql) const {
    const Session db(PQconnectdb(connectionString(database).toUtf8().constData()), PQfinish);
    const Result result(PQexec(db.get(), sql.toUtf8().constData()), PQclear);
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK || PQntuples(result.get()) == 0)
        return {};
    return QString::fromUtf8(PQgetvalue(result.get(), 0, 0));
}

PostgresServer::Holder::Holder(const QString& connection, const char* sql)
    : session_(PQconnectdb(connection.toUtf8().constData())) {
    PQclear(PQexec(session_, "BEGIN"));
    const Result result(PQexec(session_, sql), PQclear);
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK &&
        PQresultStatus(result.get()) != PGRES_COMMAND_OK)
        qWarning("holder: %s", PQresultErrorMessage(result.get()));
}

PostgresServer::Holder::~Holder() {
    PQclear(PQexec(session_, "ROLLBACK"));
    PQfinish(session_);
}
