#include "data/engine/Postgres.h"

#include <libpq-fe.h>

#include <QElapsedTimer>
#include <QRegularExpression>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/TextPool.h"
#include "data/engine/SocketWait.h"
#include "data/rules/TextRules.h"

namespace Postgres {

namespace {

// The server's numbers for its number types (its catalogue pg_type, the
// same on every server).
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kOid = 26;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;
constexpr Oid kNumeric = 1700;

bool isNumberType(Oid type) {
    switch (type) {
        case kInt8:
        case kInt2:
        case kInt4:
        case kOid:
        case kFloat4:
        case kFloat8:
        case kNumeric:
            return true;
        default:
            return false;
    }
}

QString trimmed(const char* text) {
    return QString::fromUtf8(text ? text : "").trimmed();
}

// Connecting failed. A server that answered but let no one in gave its
// reason's SQLSTATE, which libpq shows only in a verbose message ("FATAL:
// 28000: role ..."): the state is taken out of the text, the rest kept as
// libpq words it. A password the server asked for and libpq did not have
// is a sign-in refused too.
Sql::Failure connectionFailure(PGconn* conn) {
    static const QRegularExpression stateInText(QStringLiteral(":  ([0-9A-Z]{5}): "));
    Sql::Failure failure = Sql::Failure::of(Sql::Problem::Unreachable, {});
    QStringList lines = trimmed(PQerrorMessage(conn)).split(QLatin1Char('\n'));
    lines.removeIf([](const QString& line) { return line.startsWith(QLatin1String("LOCATION:")); });
    QString text = lines.join(QLatin1Char('\n'));
    if (const QRegularExpressionMatch found = stateInText.match(text); found.hasMatch()) {
        failure.state = found.captured(1);
        text.remove(found.capturedStart(1), found.capturedLength(1) + 2);
    } else if (PQconnectionNeedsPassword(conn)) {
        failure.state = QStringLiteral("28P01");  // invalid_password
    }
    failure.text = text;
    return failure;
}

// The server's classes of failure (SQLSTATE) sorted into the store's.
Sql::Problem problemOfState(const QString& state) {
    const QString group = state.left(2);
    if (group == QLatin1String("08") || state == QLatin1String("57P01") ||
        state == QLatin1String("57P02") || state == QLatin1String("57P03"))
        return Sql::Problem::ConnectionLost;
    // lock_not_available (lock_timeout), query_canceled, deadlock_detected,
    // serialization_failure: another desk held what was needed.
    if (state == QLatin1String("55P03") || state == QLatin1String("57014") ||
        state == QLatin1String("40P01") || state == QLatin1String("40001"))
        return Sql::Problem::Busy;
    if (state == QLatin1String("42501") || state == QLatin1String("25006"))
        return Sql::Problem::ReadOnly;
    if (group == QLatin1String("53"))
        return Sql::Problem::Full;
    if (group == QLatin1String("58"))
        return Sql::Problem::Io;
    if (state == QLatin1String("XX001") || state == QLatin1String("XX002"))
        return Sql::Problem::Damaged;
    if (group == QLatin1String("42"))
        return Sql::Problem::Statement;
    return Sql::Problem::Other;
}

std::optional<std::int64_t> exactInteger(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> realNumber(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Whole numbers as their digits, others as the windows show a real number
// (as SQLite's file keeps numbers that are not whole, or too large).
QString shownNumber(std::string_view text) {
    if (exactInteger(text))
        return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    if (const auto d = realNumber(text))
        return TextRules::numberText(*d);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void ignoreNotice(void*, const char*) {}

// The server's usual port, left out where the server is named.
constexpr const char* kUsualPort = "5432";

// How long connecting may take, in ms, as libpq reads connect_timeout
// (which it leaves to the caller when connecting without blocking): none
// for 0 or less, at least 2 s.
int connectTimeoutMs(const PGconn* conn) {
    int seconds = Connection::kConnectTimeoutSeconds;
    PQconninfoOption* options = PQconninfo(const_cast<PGconn*>(conn));
    for (PQconninfoOption* o = options; o && o->keyword; ++o) {
        if (!std::strcmp(o->keyword, "connect_timeout") && o->val) {
            bool ok = false;
            const int given = QByteArray(o->val).trimmed().toInt(&ok);
            if (ok)
                seconds = given;
        }
    }
    PQconninfoFree(options);
    if (seconds <= 0)
        return 0;
    return std::max(seconds, 2) * 1000;
}

}  // namespace

// One wait for the server, made for each statement (and for connecting):
// the socket is looked at a slice at a time. Once nothing has come for the
// seam's time, the seam shows the wait and is asked after every slice
// whether to go on; it goes when the wait does. An answer that comes within
// the first slice costs nothing beyond the one look at the socket.
class Connection::Wait {
public:
    enum class Outcome { Ready, Quiet, Stopped };

    explicit Wait(Connection& connection) : connection_(connection) {}

    Outcome slice(bool read, bool write, int sliceMs = kWaitSliceMs) {
        // No socket (the connection broke): libpq's next step tells so.
        const int socket = PQsocket(connection_.conn_);
        if (socket < 0 ||
            SocketWait::wait(socket, read, write, sliceMs) == SocketWait::Outcome::Ready) {
            quiet_.invalidate();
            return Outcome::Ready;
        }
        if (!quiet_.isValid()) {
            quiet_.start();
            quietBefore_ = sliceMs;
        }
        const Sql::WaitingSeam& seam = connection_.waiting_;
        if (!told_ && seam.show && quiet_.elapsed() + quietBefore_ >= seam.afterMs) {
            told_ = true;
            shown_ = seam.show(connection_.serverName());
        }
        if (shown_ && !shown_->goOn())
            return Outcome::Stopped;
        return Outcome::Quiet;
    }

private:
    Connection& connection_;
    QElapsedTimer quiet_;  // since the last slice that found the socket ready
    qint64 quietBefore_ = 0;
    bool told_ = false;
    std::unique_ptr<Sql::Waiting> shown_;  // none where the seam shows nothing
};

ConnectionInfo parse(const QString& connection) {
    ConnectionInfo info;
    char* error = nullptr;
    const QByteArray utf8 = connection.toUtf8();
    PQconninfoOption* options = PQconninfoParse(utf8.constData(), &error);
    if (!options) {
        info.error = error ? trimmed(error) : QStringLiteral("libpq cannot read it");
        PQfreemem(error);
        return info;
    }
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (!o->val)
            continue;
        const QString value = QString::fromUtf8(o->val);
        if (!std::strcmp(o->keyword, "host") ||
            (!std::strcmp(o->keyword, "hostaddr") && info.host.isEmpty()))
            info.host = value;
        else if (!std::strcmp(o->keyword, "port"))
            info.port = value;
        else if (!std::strcmp(o->keyword, "dbname"))
            info.database = value;
        else if (!std::strcmp(o->keyword, "user"))
            info.user = value;
        // libpq marks the keywords that hold secrets ("password",
        // "sslpassword", and any it adds later) with "*", whether they were
        // written as keywords or in a URI.
        if (o->dispchar && *o->dispchar == '*')
            info.hasPassword = true;
    }
    PQconninfoFree(options);
    return info;
}

QString storable(const QString& text) {
    QString stored = TextRules::storable(text);
    stored.replace(QChar(u'\0'), QChar(QChar::ReplacementCharacter));
    return stored;
}

// --- Connection ---------------------------------------------------------------

Connection::Connection(const QString& connection, int busyWaitMs, Sql::WaitingSeam waiting)
    : waiting_(std::move(waiting)), busyWaitMs_(busyWaitMs) {
    const QByteArray timeout = QByteArray::number(kConnectTimeoutSeconds);
    const QByteArray idle = QByteArray::number(kKeepaliveIdleSeconds);
    const QByteArray interval = QByteArray::number(kKeepaliveIntervalSeconds);
    const QByteArray count = QByteArray::number(kKeepaliveCount);
    const QByteArray unacknowledged = QByteArray::number(kUnacknowledgedMs);
    const QByteArray target = connection.toUtf8();
    // The connection string's own settings win over the defaults before it;
    // the encoding after it is the program's.
    const char* keys[] = {"connect_timeout",  "keepalives",
                          "keepalives_idle",  "keepalives_interval",
                          "keepalives_count", "tcp_user_timeout",
                          "application_name", "dbname",
                          "client_encoding",  nullptr};
    const char* values[] = {timeout.constData(),
                            "1",
                            idle.constData(),
                            interval.constData(),
                            count.constData(),
                            unacknowledged.constData(),
                            "Quarvel",
                            target.constData(),
                            "UTF8",
                            nullptr};
    conn_ = PQconnectStartParams(keys, values, 1);
    if (!conn_) {
        fail(Sql::Failure::of(Sql::Problem::Unreachable, QStringLiteral("out of memory")));
        return;
    }
    PQsetNoticeProcessor(conn_, ignoreNotice, nullptr);
    // Until signed in: a refusal's message then carries its SQLSTATE.
    PQsetErrorVerbosity(conn_, PQERRORS_VERBOSE);
    connect();
    if (conn_)
        PQsetErrorVerbosity(conn_, PQERRORS_DEFAULT);
}

// libpq's steps of connecting, each waited for as a statement is. The
// time allowed starts again for each host the connection string names, as
// libpq's own connecting does.
void Connection::connect() {
    const int timeoutMs = connectTimeoutMs(conn_);
    Wait wait(*this);
    QElapsedTimer attempt;
    attempt.start();
    QByteArray host = PQhost(conn_);
    PostgresPollingStatusType polling =
        PQstatus(conn_) == CONNECTION_BAD ? PGRES_POLLING_FAILED : PGRES_POLLING_WRITING;
    while (polling == PGRES_POLLING_READING || polling == PGRES_POLLING_WRITING) {
        int sliceMs = kWaitSliceMs;
        if (timeoutMs > 0) {
            const qint64 left = timeoutMs - attempt.elapsed();
            if (left <= 0) {
                fail(
                    Sql::Failure::of(Sql::Problem::Unreachable, QStringLiteral("timeout expired")));
                PQfinish(conn_);
                conn_ = nullptr;
                return;
            }
            sliceMs = static_cast<int>(std::min<qint64>(sliceMs, left));
        }
        const Wait::Outcome waited =
            wait.slice(polling == PGRES_POLLING_READING, polling == PGRES_POLLING_WRITING, sliceMs);
        if (waited == Wait::Outcome::Stopped) {
            abandon();
            return;
        }
        if (waited == Wait::Outcome::Quiet)
            continue;
        polling = PQconnectPoll(conn_);
        if (const QByteArray now = PQhost(conn_); now != host) {
            host = now;
            attempt.restart();
        }
    }
    if (PQstatus(conn_) != CONNECTION_OK) {
        fail(connectionFailure(conn_));
        return;
    }
    // Statements are sent without blocking too: a COPY's rows may be more
    // than the socket takes while the server does not read.
    if (PQsetnonblocking(conn_, 1) != 0)
        fail(Sql::Failure::of(Sql::Problem::Unreachable, trimmed(PQerrorMessage(conn_))));
}

Connection::~Connection() {
    PQfinish(conn_);
}

QString Connection::serverName() const {
    const QString host = QString::fromUtf8(PQhost(conn_));
    const char* port = PQport(conn_);
    if (!port || !*port || !std::strcmp(port, kUsualPort))
        return host;
    return host + QLatin1Char(':') + QString::fromUtf8(port);
}

void Connection::abandon() {
    fail(
        Sql::Failure::of(committing_ ? Sql::Problem::CommitUnknown : Sql::Problem::NoAnswer,
                         QStringLiteral("the server did not answer; the wait for it was stopped")));
    PQfinish(conn_);
    conn_ = nullptr;
}

bool Connection::await(Wait& wait, bool read, bool write) {
    for (;;) {
        switch (wait.slice(read, write)) {
            case Wait::Outcome::Ready:
                return true;
            case Wait::Outcome::Quiet:
                break;
            case Wait::Outcome::Stopped:
                abandon();
                return false;
        }
    }
}

// What libpq holds of a statement (or a COPY's rows) goes out as the server
// takes it; what the server says meanwhile is read, so neither side waits
// for the other.
bool Connection::flush(Wait& wait) {
    for (;;) {
        const int left = PQflush(conn_);
        if (left == 0)
            return true;
        if (left < 0 || !await(wait, true, true))
            return false;
        if (!PQconsumeInput(conn_))
            return false;
    }
}

PGresult* Connection::answer(int sent) {
    if (!sent)
        return nullptr;
    Wait wait(*this);
    return collect(wait);
}

PGresult* Connection::collect(Wait& wait) {
    if (!flush(wait))
        return nullptr;
    PGresult* kept = nullptr;
    for (;;) {
        // A broken connection is not waited for: PQgetResult tells at once.
        // Over SSL, part of a record may wait already decrypted in the
        // library, where a look at the socket does not see it: it is taken
        // before each look.
        const bool ssl = PQsslInUse(conn_) != 0;
        while (PQisBusy(conn_) && PQstatus(conn_) == CONNECTION_OK) {
            if (ssl && (!PQconsumeInput(conn_) || !PQisBusy(conn_)))
                break;
            if (!await(wait, true, false)) {
                PQclear(kept);
                return nullptr;
            }
            if (!PQconsumeInput(conn_))
                break;
        }
        PGresult* result = PQgetResult(conn_);
        if (!result)
            break;
        const ExecStatusType status = PQresultStatus(result);
        if (kept && PQresultStatus(kept) == PGRES_FATAL_ERROR) {
            PQclear(result);  // the first failure is the one told
        } else {
            PQclear(kept);
            kept = result;
        }
        if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH ||
            PQstatus(conn_) != CONNECTION_OK)
            break;
    }
    return kept;
}

PGresult* Connection::execute(const char* sql) {
    settleFetchAhead();
    return answer(PQsendQuery(conn_, sql));
}

PGresult* Connection::executeParams(const char* sql, int count, const char* const* values) {
    settleFetchAhead();
    return answer(PQsendQueryParams(conn_, sql, count, nullptr, values, nullptr, nullptr, 0));
}

PGresult* Connection::executePrepared(const char* name, int count, const char* const* values) {
    settleFetchAhead();
    return answer(PQsendQueryPrepared(conn_, name, count, values, nullptr, nullptr, 0));
}

PGresult* Connection::makePrepared(const char* name, const char* sql, int count) {
    settleFetchAhead();
    return answer(PQsendPrepare(conn_, name, sql, count, nullptr));
}

bool Connection::fetchAhead(Statement& statement, const char* sql) {
    if (fetchingAhead_ || !isOpen() || !PQsendQuery(conn_, sql))
        return false;
    fetchingAhead_ = &statement;
    return true;
}

PGresult* Connection::fetchedAhead() {
    fetchingAhead_ = nullptr;
    if (!conn_)
        return nullptr;  // the session was left
    Wait wait(*this);
    return collect(wait);
}

void Connection::readAhead() {
    if (fetchingAhead_ && conn_)
        PQconsumeInput(conn_);
}

void Connection::settleFetchAhead() {
    if (fetchingAhead_)
        fetchingAhead_->takeFetchedAhead(fetchedAhead());
}

bool Connection::isOpen() const {
    return conn_ && PQstatus(conn_) == CONNECTION_OK;
}

void Connection::failFrom(const pg_result* result) {
    Sql::Failure failure;
    if (result) {
        failure.state = trimmed(PQresultErrorField(result, PG_DIAG_SQLSTATE));
        failure.text = trimmed(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY));
    }
    if (failure.text.isEmpty())
        failure.text = trimmed(PQerrorMessage(conn_));
    failure.problem = problemOfState(failure.state);
    if (PQstatus(conn_) != CONNECTION_OK || failure.problem == Sql::Problem::ConnectionLost)
        failure.problem = committing_ ? Sql::Problem::CommitUnknown : Sql::Problem::ConnectionLost;
    fail(std::move(failure));
}

bool Connection::exec(const char* sql) {
    if (!isOpen()) {
        if (conn_)
            failFrom(nullptr);
        return false;
    }
    PGresult* result = execute(sql);
    const ExecStatusType status = PQresultStatus(result);
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok)
        failFrom(result);
    PQclear(result);
    return ok;
}

std::unique_ptr<Sql::Cursor> Connection::prepare(std::string_view sql) {
    return std::make_unique<Statement>(*this, sql);
}

std::string Connection::nextCursorName() {
    if (!reading_ || PQtransactionStatus(conn_) != PQTRANS_INTRANS)
        return {};
    return "quarvel_rows_" + std::to_string(++cursors_);
}

bool Connection::begin(Sql::Transaction transaction) {
    reading_ = false;
    // A lock_timeout of 0 would wait for ever.
    const int wait = std::max(busyWaitMs_, 1);
    const QByteArray sql =
        (transaction == Sql::Transaction::Write
             ? QByteArray("BEGIN; ")
             : QByteArray("BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY; ")) +
        "SET LOCAL lock_timeout = " + QByteArray::number(wait);
    const bool begun = exec(sql.constData());
    reading_ = begun && transaction == Sql::Transaction::Read;
    return begun;
}

bool Connection::commit() {
    if (!isOpen()) {
        failFrom(nullptr);
        return false;
    }
    committing_ = true;
    reading_ = false;
    PGresult* result = execute("COMMIT");
    const bool sent = PQresultStatus(result) == PGRES_COMMAND_OK;
    if (!sent)
        failFrom(result);
    committing_ = false;
    // A transaction that failed part-way ends in a rollback, not a commit.
    const bool committed = sent && std::strcmp(PQcmdStatus(result), "COMMIT") == 0;
    if (sent && !committed)
        fail(QStringLiteral("The server rolled the operation back."));
    PQclear(result);
    return committed;
}

void Connection::rollback() {
    reading_ = false;
    if (isOpen())
        PQclear(execute("ROLLBACK"));
}

bool Connection::lockAgainstAdding(const char* table) {
    const QByteArray sql = QByteArray("LOCK TABLE \"") + table + "\" IN SHARE ROW EXCLUSIVE MODE";
    return exec(sql.constData());
}

// Names are told apart by letter case, as the server's statements do.
std::optional<QStringList> Connection::tableKinds(const QString& name) {
    return Sql::firstColumn(*this,
                            "SELECT CASE table_type WHEN 'BASE TABLE' THEN 'table' ELSE 'view' END "
                            "FROM information_schema.tables WHERE table_schema = current_schema() "
                            "AND table_name = ?",
                            name);
}

std::optional<QStringList> Connection::columnNames(const QString& table) {
    return Sql::firstColumn(*this,
                            "SELECT column_name FROM information_schema.columns "
                            "WHERE table_schema = current_schema() AND table_name = ?",
                            table);
}

std::optional<int> Connection::recordedVersion() {
    const auto layout = tableKinds(QStringLiteral("RegisterVersion"));
    if (!layout)
        return std::nullopt;
    if (layout->isEmpty())
        return 0;
    Sql::Statement version(*this, R"(SELECT "version" FROM "RegisterVersion")");
    if (!version.step())
        return version.ok() ? std::optional<int>(1) : std::nullopt;
    return static_cast<int>(version.integer(0));
}

bool Connection::makeVersionRecord() {
    return exec(R"(CREATE TABLE "RegisterVersion" ("version" INTEGER NOT NULL))") &&
           exec(R"(INSERT INTO "RegisterVersion" ("version") VALUES (1))");
}

bool Connection::recordVersion(int version) {
    Sql::Statement update(*this, R"(UPDATE "RegisterVersion" SET "version" = ?)");
    update.bind(version);
    return update.run();
}

bool Connection::lockVersion() {
    const auto layout = tableKinds(QStringLiteral("RegisterVersion"));
    if (!layout)
        return false;
    return layout->isEmpty() || exec(R"(LOCK TABLE "RegisterVersion" IN EXCLUSIVE MODE)");
}

bool Connection::continueNumbering(const char* table, const char* column) {
    const QByteArray quotedTable = QByteArray("\"") + table + "\"";
    const QByteArray quotedColumn = QByteArray("\"") + column + "\"";
    const QByteArray sql = "SELECT setval(pg_get_serial_sequence('" + quotedTable + "', '" +
                           column + "'), COALESCE(MAX(" + quotedColumn + "), 1), MAX(" +
                           quotedColumn + ") IS NOT NULL) FROM " + quotedTable;
    return exec(sql.constData());
}

// An advisory lock: a role that may only insert into a table may not lock it.
bool Connection::takeTurn(std::int64_t key) {
    Sql::Statement turn(*this, "SELECT pg_advisory_xact_lock(?)");
    turn.bind(key);
    turn.step();
    return turn.ok();
}

// pg_notify binds both values, and is sent by the server at COMMIT only.
bool Connection::announce(const char* channel, const QByteArray& payload) {
    Sql::Statement notify(*this, "SELECT pg_notify(?, ?)");
    notify.bind(QString::fromLatin1(channel)).bind(QString::fromUtf8(payload));
    notify.step();
    return notify.ok();
}

bool Connection::copyIn(const char* copySql, const QByteArray& rows) {
    if (!isOpen()) {
        if (conn_)
            failFrom(nullptr);
        return false;
    }
    PGresult* start = execute(copySql);
    const bool copying = PQresultStatus(start) == PGRES_COPY_IN;
    if (!copying)
        failFrom(start);
    PQclear(start);
    if (!copying)
        return false;
    // Each step is taken again, once the socket takes more, while libpq's
    // buffer is full (0).
    Wait wait(*this);
    int put = 0;
    while ((put = PQputCopyData(conn_, rows.constData(), static_cast<int>(rows.size()))) == 0)
        if (!await(wait, false, true))
            return false;
    const bool sent = put == 1;
    while ((put = PQputCopyEnd(conn_, sent ? nullptr : "the rows could not be sent")) == 0)
        if (!await(wait, false, true))
            return false;
    if (put != 1) {
        failFrom(nullptr);
        return false;
    }
    PGresult* result = collect(wait);
    const bool ok = sent && PQresultStatus(result) == PGRES_COMMAND_OK;
    if (!ok)
        failFrom(result);
    PQclear(result);
    return ok;
}

// --- Statement ----------------------------------------------------------------

std::string numberedParameters(std::string_view sql) {
    std::string out;
    out.reserve(sql.size() + 16);
    int next = 1;
    char quote = 0;  // the quote the scanner is inside, if any
    for (const char c : sql) {
        if (quote) {
            if (c == quote)
                quote = 0;
            out += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            out += c;
        } else if (c == '?') {
            out += '$';
            out += std::to_string(next++);
        } else {
            out += c;
        }
    }
    return out;
}

Statement::Statement(Connection& connection, std::string_view sql)
    : connection_(connection), sql_(numberedParameters(sql)) {
    ok_ = connection_.isOpen();
    if (!ok_)
        connection_.failFrom(nullptr);
}

Statement::~Statement() {
    if (askedAhead_)
        takeFetchedAhead(connection_.fetchedAhead());
    PQclear(aheadResult_);
    PQclear(result_);
    // A prepared statement outlives transactions; the session need not keep it.
    if (!preparedName_.empty() && connection_.isOpen())
        PQclear(connection_.execute(("DEALLOCATE " + preparedName_).c_str()));
}

bool Statement::reset() {
    if (!ok_)
        return false;
    if (!cursor_.empty() && connection_.isOpen())
        PQclear(connection_.execute(("CLOSE " + cursor_).c_str()));
    if (askedAhead_)
        takeFetchedAhead(connection_.fetchedAhead());
    PQclear(aheadResult_);
    aheadResult_ = nullptr;
    cursor_.clear();
    lastBatch_ = true;
    rowsBefore_ = 0;
    PQclear(result_);
    result_ = nullptr;
    values_.clear();
    row_ = -1;
    rows_ = 0;
    runAgain_ = true;
    return true;
}

namespace {

// Rows a cursor hands over at a time.
constexpr int kRowsPerBatch = 10000;

bool isSelect(std::string_view sql) {
    const auto start = sql.find_first_not_of(" \t\r\n(");
    if (start == std::string_view::npos)
        return false;
    const std::string_view word = sql.substr(start, 6);
    return word.size() == 6 &&
           (QByteArray(word.data(), 6).compare("SELECT", Qt::CaseInsensitive) == 0);
}

}  // namespace

// Prepared on the server the first time the statement runs again; a SELECT
// in a read transaction declares its cursor instead.
PGresult* Statement::run(const char* const* values, int count) {
    if (isSelect(sql_))
        cursor_ = connection_.nextCursorName();
    if (!cursor_.empty()) {
        const std::string declare = "DECLARE " + cursor_ + " NO SCROLL CURSOR FOR " + sql_;
        return connection_.executeParams(declare.c_str(), count, values);
    }
    if (runAgain_ && preparedName_.empty()) {
        const std::string name = connection_.nextPreparedName();
        PGresult* prepared = connection_.makePrepared(name.c_str(), sql_.c_str(), count);
        const bool made = PQresultStatus(prepared) == PGRES_COMMAND_OK;
        if (!made)
            return prepared;
        PQclear(prepared);
        preparedName_ = name;
    }
    if (!preparedName_.empty())
        return connection_.executePrepared(preparedName_.c_str(), count, values);
    return connection_.executeParams(sql_.c_str(), count, values);
}

void Statement::bindInteger(std::int64_t value) {
    values_.emplace_back(QByteArray::number(static_cast<qint64>(value)));
}

void Statement::bindDouble(double value) {
    if (std::isnan(value))
        values_.emplace_back(QByteArray("NaN"));
    else if (std::isinf(value))
        values_.emplace_back(QByteArray(value > 0 ? "Infinity" : "-Infinity"));
    else
        values_.emplace_back(QByteArray::number(value, 'g', 17));
}

// The server's text cannot hold the character U+0000; it is stored as
// U+FFFD (storable above), also when it comes as UTF-8 bytes, as the items
// of an import do.
void Statement::bindText(const QByteArray& utf8) {
    if (!utf8.contains('\0')) {
        values_.emplace_back(utf8);
        return;
    }
    QByteArray mended = utf8;
    mended.replace(QByteArray(1, '\0'), QByteArray("\xEF\xBF\xBD"));
    values_.emplace_back(mended);
}

void Statement::bindNull() {
    values_.emplace_back(std::nullopt);
}

bool Statement::execute() {
    std::vector<const char*> values;
    values.reserve(values_.size());
    for (const auto& v : values_)
        values.push_back(v ? v->constData() : nullptr);
    if (!keep(run(values.data(), static_cast<int>(values.size()))))
        return false;
    return cursor_.empty() || fetch();
}

// The next batch of the cursor's rows: the one asked for ahead, else asked
// for now; then the one after it is asked for while these are read.
bool Statement::fetch() {
    rowsBefore_ += static_cast<std::size_t>(rows_);
    if (askedAhead_)
        takeFetchedAhead(connection_.fetchedAhead());
    PGresult* batch = std::exchange(aheadResult_, nullptr);
    if (!batch)
        batch = connection_.execute(nextBatch().c_str());
    if (!keep(batch))
        return false;
    lastBatch_ = rows_ < kRowsPerBatch;
    askAhead();
    return true;
}

void Statement::askAhead() {
    if (lastBatch_ || cursor_.empty())
        return;
    askedAhead_ = connection_.fetchAhead(*this, nextBatch().c_str());
}

std::string Statement::nextBatch() const {
    return "FETCH " + std::to_string(kRowsPerBatch) + " FROM " + cursor_;
}

void Statement::takeFetchedAhead(PGresult* result) {
    askedAhead_ = false;
    PQclear(aheadResult_);
    aheadResult_ = result;
}

// The answer in place of the one before; false with the failure kept.
bool Statement::keep(PGresult* result) {
    PQclear(result_);
    result_ = result;
    row_ = -1;
    rows_ = 0;
    const ExecStatusType status = PQresultStatus(result_);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        connection_.failFrom(result_);
        return false;
    }
    rows_ = PQntuples(result_);
    numberColumns_.resize(static_cast<std::size_t>(PQnfields(result_)));
    for (int c = 0; c < PQnfields(result_); ++c)
        numberColumns_[static_cast<std::size_t>(c)] = isNumberType(PQftype(result_, c));
    return true;
}

bool Statement::step() {
    if (!ok_)
        return false;
    if (!result_ && !(ok_ = execute()))
        return false;
    // What has come of the next batch is taken in now and then, so the
    // server is not kept waiting on a full socket while these rows are read.
    if (askedAhead_ && (row_ & 1023) == 1023)
        connection_.readAhead();
    if (++row_ < rows_ || lastBatch_)
        return row_ < rows_;
    if (!(ok_ = fetch()))
        return false;
    row_ = 0;
    return row_ < rows_;
}

int Statement::changes() const {
    if (!result_)
        return 0;
    const char* tuples = PQcmdTuples(result_);
    return tuples && *tuples ? std::atoi(tuples) : 0;
}

std::optional<std::size_t> Statement::rowCount() const {
    if (!result_ || !lastBatch_)
        return std::nullopt;
    return rowsBefore_ + static_cast<std::size_t>(rows_);
}

bool Statement::isNumber(int col) const {
    return static_cast<std::size_t>(col) < numberColumns_.size() &&
           numberColumns_[static_cast<std::size_t>(col)];
}

bool Statement::isNull(int col) const {
    return PQgetisnull(result_, row_, col) != 0;
}

std::int64_t Statement::integer(int col) const {
    const std::string_view text = utf8(col);
    if (const auto value = exactInteger(text))
        return *value;
    const double d = realNumber(text).value_or(0);
    if (!(d > -9.2e18 && d < 9.2e18))
        return d > 0 ? std::numeric_limits<std::int64_t>::max()
                     : std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(d);
}

std::optional<std::int64_t> Statement::wholeNumber(int col) const {
    if (isNull(col) || !isNumber(col))
        return std::nullopt;
    const std::string_view text = utf8(col);
    if (const auto value = exactInteger(text))
        return value;
    // 2^63: a number at or beyond it names no row.
    constexpr double kTwoTo63 = 9223372036854775808.0;
    const auto d = realNumber(text);
    if (!d || !std::isfinite(*d) || *d != std::trunc(*d) || std::fabs(*d) >= kTwoTo63)
        return std::nullopt;
    return static_cast<std::int64_t>(*d);
}

std::string_view Statement::utf8(int col) const {
    return std::string_view(PQgetvalue(result_, row_, col),
                            static_cast<std::size_t>(PQgetlength(result_, row_, col)));
}

QString Statement::shown(int col) const {
    if (isNull(col))
        return {};
    return isNumber(col) ? shownNumber(utf8(col)) : textFromUtf8(utf8(col));
}

// --- Listener ---------------------------------------------------------------

// The channel is the program's own name, never a user's text.
Listener::Listener(const QString& connection, const char* channel)
    : db_(std::make_unique<Connection>(connection, Connection::kConnectTimeoutSeconds * 1000)) {
    const std::string listen = std::string("LISTEN \"") + channel + '"';
    listening_ = db_->isOpen() && db_->exec(listen.c_str());
}

Listener::~Listener() = default;

bool Listener::isOpen() const {
    return listening_ && db_->isOpen() && PQstatus(db_->handle()) == CONNECTION_OK;
}

qintptr Listener::socket() const {
    return isOpen() ? qintptr(PQsocket(db_->handle())) : -1;
}

int Listener::takeNotices() {
    if (!isOpen() || PQconsumeInput(db_->handle()) == 0 ||
        PQstatus(db_->handle()) != CONNECTION_OK) {
        listening_ = false;
        return -1;
    }
    int notices = 0;
    while (PGnotify* notice = PQnotifies(db_->handle())) {
        PQfreemem(notice);
        ++notices;
    }
    return notices;
}

}  // namespace Postgres
