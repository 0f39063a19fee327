#include "BenchSupport.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "PostgresServer.h"
#include "common/Clock.h"
#include "data/Register.h"
#include "data/engine/RegisterLocation.h"
#include "data/register/RegisterTransfer.h"
#include "printing/PrinterCatalog.h"

namespace Bench {

namespace {

constexpr int kPaintTimeoutMs = 60000;

class NoPrinters : public PrinterCatalog {
public:
    QStringList deviceNames() const override { return {}; }
    QString defaultDeviceName() const override { return {}; }
};

}  // namespace

double msSince(Steady::time_point start) {
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

double minimum(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

double maximum(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

double procStatusMiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1.0;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1.0;
}

// --- Plain SQLite reads ------------------------------------------------------------------

ReadOnlyDb::ReadOnlyDb(const QString& path) {
    const QByteArray file = path.toUtf8();
    if (sqlite3_open_v2(file.constData(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "cannot open %s\n", file.constData());
        std::exit(2);
    }
}

ReadOnlyDb::~ReadOnlyDb() {
    sqlite3_close(db_);
}

std::int64_t ReadOnlyDb::readAll(const char* sql, std::uint64_t& checksum,
                                 std::initializer_list<std::int64_t> values) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK)
        fail(sql);
    int parameter = 1;
    for (const std::int64_t value : values)
        sqlite3_bind_int64(stmt, parameter++, value);
    return stepAll(stmt, sql, checksum);
}

std::int64_t ReadOnlyDb::readAll(const char* sql, std::uint64_t& checksum, const QByteArray& text) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK)
        fail(sql);
    sqlite3_bind_text(stmt, 1, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return stepAll(stmt, sql, checksum);
}

std::int64_t ReadOnlyDb::stepAll(void* statement, const char* sql, std::uint64_t& checksum) {
    auto* stmt = static_cast<sqlite3_stmt*>(statement);
    const int columns = sqlite3_column_count(stmt);
    std::int64_t rows = 0;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        ++rows;
        for (int c = 0; c < columns; ++c) {
            if (sqlite3_column_type(stmt, c) == SQLITE_TEXT) {
                const unsigned char* text = sqlite3_column_text(stmt, c);
                checksum += static_cast<std::uint64_t>(sqlite3_column_bytes(stmt, c)) +
                            (text ? text[0] : 0u);
            } else {
                checksum += static_cast<std::uint64_t>(sqlite3_column_int64(stmt, c));
            }
        }
    }
    if (rc != SQLITE_DONE)
        fail(sql);
    sqlite3_finalize(stmt);
    return rows;
}

std::int64_t ReadOnlyDb::count(const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK ||
        sqlite3_step(stmt) != SQLITE_ROW)
        fail(sql);
    const std::int64_t n = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return n;
}

void ReadOnlyDb::fail(const char* sql) {
    std::fprintf(stderr, "%s: %s\n", sql, sqlite3_errmsg(db_));
    std::exit(2);
}

TreeFloor readTreeFloor(const QString& path, std::uint64_t& checksum) {
    ReadOnlyDb db(path);
    TreeFloor n;
    n.items = db.readAll("SELECT id, \"desc\", caseID FROM Items ORDER BY id", checksum);
    n.cases = db.readAll("SELECT id, FName FROM Cases", checksum);
    n.lists = db.readAll("SELECT id, ListName FROM Lists", checksum);
    n.lines = db.readAll("SELECT listid, itemid, itemdesc FROM ListData", checksum);
    return n;
}

// --- The server's floors ---------------------------------------------------------------

CopySession::CopySession(const QString& connection)
    : db_(PQconnectdb(connection.toUtf8().constData())) {
    if (PQstatus(db_) != CONNECTION_OK)
        fail("connect");
}

CopySession::~CopySession() {
    PQfinish(db_);
}

void CopySession::fail(const QByteArray& sql) {
    std::fprintf(stderr, "%s: %s\n", sql.constData(), PQerrorMessage(db_));
    std::exit(2);
}

void CopySession::startCopy(const QByteArray& sql, int expected) {
    PGresult* start = PQexec(db_, sql.constData());
    const bool copying = PQresultStatus(start) == expected;
    PQclear(start);
    if (!copying)
        fail(sql);
}

std::int64_t CopySession::copyOut(const QByteArray& select, std::uint64_t& checksum) {
    return receive("COPY (" + select + ") TO STDOUT", [&checksum](const char* line, int length) {
        checksum += static_cast<std::uint64_t>(length) + static_cast<unsigned char>(line[0]);
    });
}

std::int64_t CopySession::copyOutToFile(const QByteArray& copy, const QString& file) {
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail("open " + file.toUtf8());
    std::int64_t bytes = 0;
    receive(copy, [&](const char* line, int length) {
        bytes += length;
        out.write(line, length);
    });
    if (!out.flush())
        fail("write " + file.toUtf8());
    return bytes;
}

std::int64_t CopySession::receive(const QByteArray& copy,
                                  const std::function<void(const char*, int)>& take) {
    startCopy(copy, PGRES_COPY_OUT);
    std::int64_t lines = 0;
    char* line = nullptr;
    int length;
    while ((length = PQgetCopyData(db_, &line, 0)) > 0) {
        ++lines;
        take(line, length);
        PQfreemem(line);
    }
    PGresult* end = PQgetResult(db_);
    const bool ok = length == -1 && PQresultStatus(end) == PGRES_COMMAND_OK;
    PQclear(end);
    while ((end = PQgetResult(db_)))
        PQclear(end);
    if (!ok)
        fail(copy);
    return lines;
}

std::int64_t CopySession::copyInFromFile(const QByteArray& copy, const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        fail("open " + file.toUtf8());
    startCopy(copy, PGRES_COPY_IN);
    QByteArray chunk;
    while (!(chunk = in.read(1 << 16)).isEmpty()) {
        if (PQputCopyData(db_, chunk.constData(), static_cast<int>(chunk.size())) != 1)
            fail(copy);
    }
    if (PQputCopyEnd(db_, nullptr) != 1)
        fail(copy);
    PGresult* end = PQgetResult(db_);
    const bool ok = PQresultStatus(end) == PGRES_COMMAND_OK;
    const std::int64_t rows = ok ? QByteArray(PQcmdTuples(end)).toLongLong() : 0;
    PQclear(end);
    while ((end = PQgetResult(db_)))
        PQclear(end);
    if (!ok)
        fail(copy);
    return rows;
}

TreeFloor copyTreeFloor(CopySession& session, std::uint64_t& checksum) {
    TreeFloor n;
    n.items =
        session.copyOut(R"(SELECT "id", "desc", "caseID" FROM "Items" ORDER BY "id")", checksum);
    n.cases = session.copyOut(R"(SELECT "id", "FName" FROM "Cases")", checksum);
    n.lists = session.copyOut(R"(SELECT "id", "ListName" FROM "Lists")", checksum);
    n.lines = session.copyOut(R"(SELECT "listid", "itemid", "itemdesc" FROM "ListData")", checksum);
    return n;
}

bool isServer(const QString& location) {
    return RegisterLocation::namesServer(location);
}

TreeFloor treeFloor(const QString& location, std::uint64_t& checksum) {
    if (!isServer(location))
        return readTreeFloor(location, checksum);
    CopySession session(location);
    return copyTreeFloor(session, checksum);
}

// --- A private PostgreSQL server -------------------------------------------------------

BenchServer::BenchServer() : server_(std::make_unique<PostgresServer>()) {}

BenchServer::~BenchServer() = default;

bool BenchServer::start(QTextStream& out) {
    if (const QString why = PostgresServer::unavailableReason(); !why.isEmpty()) {
        out << "no server: " << why << "\n";
        return false;
    }
    if (!server_->start()) {
        out << "no server: " << server_->error() << "\n";
        return false;
    }
    return true;
}

QString BenchServer::registerFor(const QDir& dir, const RegisterShape& shape, QTextStream& out) {
    const QString file = Bench::registerFor(dir, shape, out);
    if (file.isEmpty())
        return {};
    const auto start = Steady::now();
    const QString name = QStringLiteral("bench%1_%2").arg(++databases_).arg(shape.name.toLower());
    const QString connection = server_->newDatabase(name);
    const auto copied =
        RegisterTransfer::copy(RegisterLocation::file(file), RegisterLocation::server(connection));
    if (!copied.ok) {
        out << "  " << shape.name << ": cannot fill the server: " << copied.error << "\n";
        return {};
    }
    // Statistics and the visibility map, as the server's autovacuum makes
    // them soon after a large write; the figures do not wait on its timing.
    server_->exec(name, QStringLiteral("VACUUM ANALYZE"));
    out << "  " << shape.name << ": copied to the server in "
        << QString::number(msSince(start) / 1000.0, 'f', 1) << " s\n";
    return connection;
}

QString BenchServer::emptyRegister(const QString& name, QTextStream& out) {
    // Made anew each time: a large register left from the last turn goes.
    const QString database = QStringLiteral("bench_%1").arg(name);
    server_->exec(QStringLiteral("postgres"),
                  QStringLiteral("DROP DATABASE IF EXISTS \"%1\"").arg(database));
    const QString connection = server_->newDatabase(database);
    QString error;
    if (!Register::createEmpty(RegisterLocation::server(connection), &error)) {
        out << "cannot make an empty register on the server: " << error << "\n";
        return {};
    }
    return connection;
}

// --- Headless windows ----------------------------------------------------------------

Dialogs::Answer ConsoleDialogs::message(QWidget*, const QString& text, Icon, Buttons buttons) {
    ++messages;
    std::fprintf(stderr, "message box: %s\n", qPrintable(text));
    return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
}

Services benchServices(const QString& path, const QString& settingsFile,
                       std::shared_ptr<Dialogs> dialogs) {
    Services services;
    services.location = RegisterLocation::fromText(path);
    services.settingsFile = settingsFile;
    services.dialogs = std::move(dialogs);
    services.clock = std::make_shared<Clock>();
    services.printers = std::make_shared<NoPrinters>();
    return services;
}

void useOffscreenPlatform() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

PaintCounter::PaintCounter(QWidget* widget) {
    widget->installEventFilter(this);
}

bool PaintCounter::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Paint)
        ++paints;
    return false;
}

void waitForPaint(const PaintCounter& counter, int paintsBefore) {
    QElapsedTimer waited;
    waited.start();
    while (counter.paints == paintsBefore) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (waited.elapsed() > kPaintTimeoutMs) {
            std::fprintf(stderr, "nothing was painted within %d ms\n", kPaintTimeoutMs);
            std::exit(3);
        }
    }
}

// --- Children and tables -------------------------------------------------------------

void printResult(const std::vector<std::pair<const char*, double>>& values) {
    QByteArray line = "RESULT";
    for (const auto& [key, value] : values)
        line += ' ' + QByteArray(key) + '=' + QByteArray::number(value, 'f', 3);
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}

Result parseResult(const QByteArray& output) {
    Result values;
    for (const QByteArray& line : output.split('\n')) {
        if (!line.startsWith("RESULT "))
            continue;
        for (const QByteArray& pair : line.mid(7).split(' ')) {
            const qsizetype eq = pair.indexOf('=');
            if (eq > 0)
                values.insert(QString::fromLatin1(pair.left(eq)), pair.mid(eq + 1).toDouble());
        }
    }
    return values;
}

QProcessEnvironment childEnvironment(const QString& runtimeDir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!env.contains(QStringLiteral("XDG_RUNTIME_DIR")))
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);  // Qt asks for one
    return env;
}

Result measureInChild(const QStringList& arguments, const QString& runtimeDir) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.setProcessEnvironment(childEnvironment(runtimeDir));
    child.start(QCoreApplication::applicationFilePath(), arguments);
    child.waitForFinished(-1);
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return {};
    return parseResult(child.readAllStandardOutput());
}

QString number(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

QString row(const std::vector<std::pair<QString, int>>& cells) {
    QStringList padded;
    for (const auto& [text, width] : cells)
        padded << QStringLiteral("%1").arg(text, width);
    return padded.join(QStringLiteral("  ")).trimmed() + QLatin1Char('\n');
}

QString registerFor(const QDir& dir, const RegisterShape& shape, QTextStream& out) {
    const QString path = dir.filePath(QStringLiteral("bench-%1.mdb").arg(shape.name));
    if (QFileInfo::exists(path)) {
        out << "  " << shape.name << ": reusing " << path << "\n";
        return path;
    }
    const auto start = Steady::now();
    QString error;
    if (!generateRegister(path, shape, nullptr, &error)) {
        out << "  " << shape.name << ": cannot generate " << path << ": " << error << "\n";
        return {};
    }
    out << "  " << shape.name << ": generated in "
        << QString::number(msSince(start) / 1000.0, 'f', 1) << " s, "
        << QString::number(QFileInfo(path).size() / 1048576.0, 'f', 0) << " MiB\n";
    return path;
}

}  // namespace Bench
