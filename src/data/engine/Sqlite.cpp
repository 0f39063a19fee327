#include "data/engine/Sqlite.h"

#include <sqlite3.h>

#include <QAtomicInteger>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <vector>

#include "data/rules/TextRules.h"

namespace Sqlite {

namespace {

sqlite3* handleOf(const QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

QString uriMode(Open how) {
    switch (how) {
        case Open::ReadOnly:
            return QStringLiteral("?mode=ro");
        case Open::Create:
            return QStringLiteral("?mode=rwc");
        case Open::Existing:
            break;
    }
    return QStringLiteral("?mode=rw");
}

QString nextConnectionName() {
    static QAtomicInteger<quint64> serial;
    return QStringLiteral("quarvel-%1").arg(serial.fetchAndAddRelaxed(1));
}

// The longest single pause while another program holds the register.
constexpr int kLongestPauseMs = 32;

}  // namespace

// SQLite's own wait sleeps up to 100 ms at a time, and a program that saves
// again and again takes the lock back within such a pause. Short pauses that
// grow (1, 2, 4 ... 32 ms), each of a random length up to that, catch the
// moments the lock is free, and two waiting programs do not keep meeting.
int Connection::waitWhileBusy(void* connection, int attempt) {
    auto* self = static_cast<Connection*>(connection);
    if (attempt == 0)
        self->busySince_.start();
    if (self->busySince_.elapsed() >= self->busyWaitMs_)
        return 0;
    const int longest = std::min(1 << std::min(attempt, 5), kLongestPauseMs);
    sqlite3_sleep(1 + static_cast<int>(QRandomGenerator::global()->bounded(longest)));
    return 1;
}

Connection::Connection(const QString& path, Open how, int busyWaitMs)
    : busyWaitMs_(busyWaitMs),
      connectionName_(nextConnectionName()),
      qtDb_(std::make_unique<QSqlDatabase>(
          QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_))) {
    qtDb_->setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) + uriMode(how));
    qtDb_->setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
    if (!qtDb_->open()) {
        const QSqlError error = qtDb_->lastError();
        fail(SQLITE_CANTOPEN,
             error.databaseText().isEmpty() ? error.text().trimmed() : error.databaseText());
        return;
    }
    db_ = handleOf(*qtDb_);
    if (!db_) {
        fail(0, QStringLiteral("The database driver gave no SQLite handle."));
        return;
    }
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_busy_handler(db_, &Connection::waitWhileBusy, this);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_FKEY, 1, nullptr);
}

Connection::~Connection() {
    if (qtDb_->isOpen())
        qtDb_->close();
    qtDb_.reset();
    QSqlDatabase::removeDatabase(connectionName_);
}

bool Connection::exec(const char* sql) {
    if (!db_)
        return false;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    failFromHandle();
    return false;
}

std::optional<bool> Connection::isSound(Check how, const std::function<bool()>& stop) {
    if (!db_)
        return std::nullopt;
    // Asked every few thousand steps of SQLite's machine.
    constexpr int kStepsBetweenQuestions = 10000;
    if (stop)
        sqlite3_progress_handler(
            db_, kStepsBetweenQuestions,
            [](void* ask) { return (*static_cast<const std::function<bool()>*>(ask))() ? 1 : 0; },
            const_cast<std::function<bool()>*>(&stop));
    std::optional<bool> sound;
    {
        Statement check(
            *this, how == Check::Quick ? "PRAGMA quick_check(1)" : "PRAGMA integrity_check(1)");
        if (check.step())
            sound = check.utf8(0) == "ok";
        else if (sqlite3_errcode(db_) == SQLITE_CORRUPT)
            sound = false;
    }
    if (stop)
        installCarryOn();
    return sound;
}

namespace {

quint32 bigEndian32(const unsigned char* bytes) {
    return quint32(bytes[0]) << 24 | quint32(bytes[1]) << 16 | quint32(bytes[2]) << 8 | bytes[3];
}

qint64 msOf(const QDateTime& time) {
    return time.isValid() ? time.toMSecsSinceEpoch() : -1;
}

}  // namespace

bool FileState::stillOnDisk() const {
    const QFileInfo info(file);
    return info.exists() && info.size() == size && msOf(info.lastModified()) == modifiedMs &&
           msOf(info.birthTime()) == bornMs;
}

std::optional<FileState> Connection::fileState() {
    // Where SQLite's file header keeps what names the content.
    constexpr int kHeaderSize = 100, kWriteVersionAt = 18, kReadVersionAt = 19,
                  kChangeCounterAt = 24, kPageCountAt = 28, kCountValidForAt = 92;
    constexpr unsigned char kRollbackJournal = 1;
    if (!db_ || sqlite3_get_autocommit(db_))
        return std::nullopt;
    {
        Statement lock(*this, "PRAGMA schema_version");
        if (!lock.step())
            return std::nullopt;
    }
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods)
        return std::nullopt;
    unsigned char header[kHeaderSize] = {};
    sqlite3_int64 size = 0;
    if (file->pMethods->xRead(file, header, kHeaderSize, 0) != SQLITE_OK ||
        file->pMethods->xFileSize(file, &size) != SQLITE_OK)
        return std::nullopt;
    // The page count counts only when written by the same write as the
    // counter (writers of old left it stale).
    if (header[kWriteVersionAt] != kRollbackJournal || header[kReadVersionAt] != kRollbackJournal ||
        bigEndian32(header + kCountValidForAt) != bigEndian32(header + kChangeCounterAt))
        return std::nullopt;
    const QFileInfo info(QString::fromUtf8(sqlite3_db_filename(db_, "main")));
    FileState state;
    state.file = info.canonicalFilePath();
    state.size = size;
    state.modifiedMs = msOf(info.lastModified());
    state.bornMs = msOf(info.birthTime());
    state.changeCounter = bigEndian32(header + kChangeCounterAt);
    state.pageCount = bigEndian32(header + kPageCountAt);
    if (state.file.isEmpty())
        return std::nullopt;
    return state;
}

bool Connection::readFileBytes(const std::function<bool(const char*, qint64)>& write) {
    constexpr sqlite3_int64 kPiece = 1 << 20;
    sqlite3_file* file = nullptr;
    if (!db_ || sqlite3_get_autocommit(db_) ||
        sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods)
        return false;
    sqlite3_int64 size = 0;
    if (file->pMethods->xFileSize(file, &size) != SQLITE_OK)
        return false;
    std::vector<char> piece(static_cast<std::size_t>(std::min(size, kPiece)));
    for (sqlite3_int64 at = 0; at < size; at += kPiece) {
        const int length = static_cast<int>(std::min(kPiece, size - at));
        if (file->pMethods->xRead(file, piece.data(), length, at) != SQLITE_OK ||
            !write(piece.data(), length))
            return false;
    }
    return true;
}

// Asked every few thousand steps of SQLite's machine, as the check's stop is.
void Connection::askWhileRunning(std::function<bool()> carryOn) {
    carryOn_ = std::move(carryOn);
    installCarryOn();
}

void Connection::installCarryOn() {
    if (!db_)
        return;
    constexpr int kStepsBetweenQuestions = 10000;
    if (!carryOn_) {
        sqlite3_progress_handler(db_, 0, nullptr, nullptr);
        return;
    }
    sqlite3_progress_handler(
        db_, kStepsBetweenQuestions,
        [](void* ask) { return (*static_cast<const std::function<bool()>*>(ask))() ? 0 : 1; },
        &carryOn_);
}

bool Connection::distrustSchema() {
    if (!db_)
        return false;
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    return exec("PRAGMA trusted_schema = OFF");
}

Connection::PageCopyEnd Connection::copyPagesInto(Connection& target, const PageCopy& how) {
    if (!db_ || !target.db_)
        return PageCopyEnd::Failed;
    sqlite3_backup* backup = sqlite3_backup_init(target.db_, "main", db_, "main");
    if (!backup) {
        target.failFromHandle();
        return PageCopyEnd::Failed;
    }
    int rc = SQLITE_OK;
    bool stopped = false;
    for (int waits = 0;;) {
        rc = sqlite3_backup_step(backup, how.pagesPerStep);
        if ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && ++waits <= how.busyRetries) {
            sqlite3_sleep(how.busyPauseMs);
            continue;
        }
        if ((rc == SQLITE_OK || rc == SQLITE_DONE) && how.carryOn && !how.carryOn()) {
            stopped = true;
            break;
        }
        if (rc != SQLITE_OK)
            break;
    }
    const int finished = sqlite3_backup_finish(backup);
    if (stopped)
        return PageCopyEnd::Stopped;
    const int result = rc == SQLITE_DONE ? finished : rc;
    if (result == SQLITE_OK || result == SQLITE_DONE)
        return PageCopyEnd::Done;
    target.fail(result & 0xff, QString::fromUtf8(sqlite3_errstr(result)), result);
    return PageCopyEnd::Failed;
}

std::unique_ptr<Sql::Cursor> Connection::prepare(std::string_view sql) {
    return std::make_unique<Statement>(*this, sql);
}

bool Connection::begin(Sql::Transaction transaction) {
    return exec(transaction == Sql::Transaction::Write ? "BEGIN IMMEDIATE" : "BEGIN");
}

bool Connection::raiseToRememberedId(const char* table, std::int64_t& highest) {
    // A register made without AUTOINCREMENT has no sqlite_sequence; it still works.
    if (!db_ || sqlite3_table_column_metadata(db_, nullptr, "sqlite_sequence", "seq", nullptr,
                                              nullptr, nullptr, nullptr, nullptr) != SQLITE_OK)
        return db_ != nullptr;
    Statement sequence(*this, R"(SELECT "seq" FROM "sqlite_sequence" WHERE "name" = ?)");
    sequence.bind(QString::fromLatin1(table));
    if (sequence.step()) {
        if (const auto seq = sequence.wholeNumber(0))
            highest = std::max<std::int64_t>(highest, *seq);
        return true;
    }
    return sequence.ok();
}

std::optional<QStringList> Connection::tableKinds(const QString& name) {
    return Sql::firstColumn(*this,
                            "SELECT type FROM sqlite_master WHERE name = ? COLLATE NOCASE "
                            "AND type IN ('table', 'view')",
                            name);
}

std::optional<QStringList> Connection::columnNames(const QString& table) {
    return Sql::firstColumn(*this, "SELECT name FROM pragma_table_info(?)", table);
}

std::optional<int> Connection::recordedVersion() {
    Statement version(*this, "PRAGMA user_version");
    if (!version.step())
        return std::nullopt;
    return static_cast<int>(version.integer(0));
}

bool Connection::recordVersion(int version) {
    // PRAGMA takes no bound values; the version is the program's own number.
    const QByteArray sql = "PRAGMA user_version = " + QByteArray::number(version);
    return exec(sql.constData());
}

void Connection::rollback() {
    if (db_)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

namespace {

Sql::Problem problemOf(int code) {
    switch (code) {
        case 0:
            return Sql::Problem::Own;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return Sql::Problem::Busy;
        case SQLITE_CORRUPT:
            return Sql::Problem::Damaged;
        case SQLITE_NOTADB:
            return Sql::Problem::NotADatabase;
        case SQLITE_READONLY:
            return Sql::Problem::ReadOnly;
        case SQLITE_FULL:
            return Sql::Problem::Full;
        case SQLITE_CANTOPEN:
            return Sql::Problem::CannotOpen;
        case SQLITE_IOERR:
            return Sql::Problem::Io;
        case SQLITE_ERROR:
            return Sql::Problem::Statement;
        default:
            return Sql::Problem::Other;
    }
}

}  // namespace

void Connection::fail(int code, const QString& text, int extendedCode) {
    Sql::Connection::fail(
        Sql::Failure{problemOf(code), text, code, extendedCode ? extendedCode : code, {}});
}

void Connection::failFromHandle() {
    const int extended = sqlite3_extended_errcode(db_);
    fail(extended & 0xff, QString::fromUtf8(sqlite3_errmsg(db_)), extended);
}

Statement::Statement(Connection& connection, std::string_view sql) : connection_(connection) {
    if (!connection_.isOpen())
        return;
    const char* tail = nullptr;
    ok_ = sqlite3_prepare_v2(connection_.handle(), sql.data(), static_cast<int>(sql.size()), &stmt_,
                             &tail) == SQLITE_OK;
    if (!ok_)
        connection_.failFromHandle();
    else if (tail)
        rest_ = sql.substr(static_cast<std::size_t>(tail - sql.data()));
}

int Statement::columnCount() const {
    return sqlite3_column_count(stmt_);
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

void Statement::bindInteger(std::int64_t value) {
    if (ok_)
        sqlite3_bind_int64(stmt_, nextParameter_, value);
    ++nextParameter_;
}

void Statement::bindDouble(double value) {
    if (ok_)
        sqlite3_bind_double(stmt_, nextParameter_, value);
    ++nextParameter_;
}

void Statement::bindText(const QByteArray& utf8) {
    if (ok_)
        sqlite3_bind_text64(stmt_, nextParameter_, utf8.constData(),
                            static_cast<sqlite3_uint64>(utf8.size()), SQLITE_TRANSIENT,
                            SQLITE_UTF8);
    ++nextParameter_;
}

Statement& Statement::bind(double value) {
    bindDouble(value);
    return *this;
}

Statement& Statement::bind(const QString& text) {
    bindText(TextRules::storable(text).toUtf8());
    return *this;
}

Statement& Statement::bind(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
            bindInteger(value.toLongLong());
            return *this;
        case QMetaType::Double:
            return bind(value.toDouble());
        default:
            return bind(value.toString());
    }
}

void Statement::bindNull() {
    if (ok_)
        sqlite3_bind_null(stmt_, nextParameter_);
    ++nextParameter_;
}

void Statement::bindUtf8(std::string_view utf8) {
    if (ok_)
        sqlite3_bind_text64(stmt_, nextParameter_, utf8.data(), utf8.size(), SQLITE_TRANSIENT,
                            SQLITE_UTF8);
    ++nextParameter_;
}

bool Statement::reset() {
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    nextParameter_ = 1;
    return true;
}

bool Statement::step() {
    if (!ok_)
        return false;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE) {
        ok_ = false;
        connection_.failFromHandle();
    }
    return false;
}

bool Statement::run() {
    step();
    return ok_;
}

int Statement::changes() const {
    return sqlite3_changes(connection_.handle());
}

bool Statement::isNull(int col) const {
    return sqlite3_column_type(stmt_, col) == SQLITE_NULL;
}

std::int64_t Statement::integer(int col) const {
    return sqlite3_column_int64(stmt_, col);
}

std::optional<std::int64_t> Statement::wholeNumber(int col) const {
    switch (sqlite3_column_type(stmt_, col)) {
        case SQLITE_INTEGER:
            return sqlite3_column_int64(stmt_, col);
        case SQLITE_FLOAT: {
            // 2^63: a number at or beyond it names no row.
            constexpr double kTwoTo63 = 9223372036854775808.0;
            const double d = sqlite3_column_double(stmt_, col);
            if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) >= kTwoTo63)
                return std::nullopt;
            return static_cast<std::int64_t>(d);
        }
        default:
            return std::nullopt;
    }
}

// The column's value is found once and its text and length read from it,
// instead of the statement finding the column and checking the connection
// for each (a third of the cost of a text on reads of a million rows).
// SQLite calls such a value unprotected: safe here because it is read at
// once, on the thread stepping the statement, and every connection is
// opened, used and closed by one operation on one thread (which is also why
// Qt's driver opens it without SQLite's own mutex, SQLITE_OPEN_NOMUTEX).
std::string_view Statement::utf8(int col) const {
    sqlite3_value* value = sqlite3_column_value(stmt_, col);
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(value));
    if (!p)
        return {};
    return std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(value)));
}

QString Statement::shown(int col) const {
    switch (sqlite3_column_type(stmt_, col)) {
        case SQLITE_NULL:
            return {};
        case SQLITE_FLOAT:
            return TextRules::numberText(sqlite3_column_double(stmt_, col));
        default: {
            return textFromUtf8(utf8(col));
        }
    }
}

}  // namespace Sqlite
