#include "TempRegister.h"

#include <sqlite3.h>

#include <QFile>
#include <QProcess>
#include <QTest>

#include "data/Register.h"

TempRegister::TempRegister() {
    QString error;
    if (!Register::createEmptyDatabase(path(), &error))
        qFatal("could not create test register: %s", qPrintable(error));
}

TempRegister::~TempRegister() = default;

QString TempRegister::path() const {
    return dir_.filePath(QStringLiteral("data.mdb"));
}

namespace {
sqlite3* openRaw(const QString& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK)
        qFatal("cannot open %s", qPrintable(path));
    sqlite3_busy_timeout(db, 2000);
    return db;
}
}  // namespace

void TempRegister::exec(const QString& sql) const {
    sqlite3* db = openRaw(path());
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error);
    const QString message = error ? QString::fromUtf8(error) : QString();
    sqlite3_free(error);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        qFatal("SQL failed: %s: %s", qPrintable(sql), qPrintable(message));
}

QVariant TempRegister::scalar(const QString& sql) const {
    sqlite3* db = openRaw(path());
    sqlite3_stmt* stmt = nullptr;
    QVariant result;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
        qFatal("SQL failed: %s: %s", qPrintable(sql), sqlite3_errmsg(db));
    if (sqlite3_step(stmt) == SQLITE_ROW) {
        switch (sqlite3_column_type(stmt, 0)) {
            case SQLITE_INTEGER:
                result = QVariant(static_cast<qint64>(sqlite3_column_int64(stmt, 0)));
                break;
            case SQLITE_FLOAT:
                result = QVariant(sqlite3_column_double(stmt, 0));
                break;
            case SQLITE_NULL:
                result = QVariant(QMetaType(QMetaType::QString));  // a null QString variant
                break;
            default:
                result =
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return result;
}

qint64 TempRegister::count(const QString& table) const {
    return scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toLongLong();
}

void TempRegister::addUnusedPage() const {
    const qint64 pages = scalar(QStringLiteral("PRAGMA page_count")).toLongLong();
    const qint64 size = scalar(QStringLiteral("PRAGMA page_size")).toLongLong();
    QFile file(path());
    if (!file.open(QIODevice::ReadWrite) || !file.seek(28))  // the page count in the header
        qFatal("cannot write %s", qPrintable(path()));
    const auto more = static_cast<quint32>(pages + 1);
    const char count[4] = {char(more >> 24), char(more >> 16), char(more >> 8), char(more)};
    file.write(count, 4);
    file.seek(pages * size);
    file.write(QByteArray(size, '\0'));
}

void TempRegister::spoilPageOf(const QString& name) const {
    const qint64 page =
        scalar(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = '%1'").arg(name))
            .toLongLong();
    const qint64 size = scalar(QStringLiteral("PRAGMA page_size")).toLongLong();
    QFile file(path());
    if (page < 1 || !file.open(QIODevice::ReadWrite) || !file.seek((page - 1) * size + 8))
        qFatal("cannot spoil %s in %s", qPrintable(name), qPrintable(path()));
    file.write(QByteArray(64, '\xff'));
}

void TempRegister::spoilIndexOnly() const {
    exec(
        QStringLiteral("PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = 'CREATE INDEX "
                       "\"ItemsByCase\" ON \"Items\" (\"desc\")' WHERE name = 'ItemsByCase'"));
}

void TempRegister::toFourthVersion() const {
    exec(QStringLiteral("DROP TABLE ChangeLog; DROP TABLE ChangeBatches; PRAGMA user_version = 4"));
}

void TempRegister::toFirstVersion() const {
    toSecondVersion();
    exec(QStringLiteral("DROP TABLE TestHistory; PRAGMA user_version = 1"));
}

void TempRegister::toSecondVersion() const {
    toThirdVersion();
    exec(
        QStringLiteral("DROP TABLE ScanRecords; DROP TABLE ScanSessions; PRAGMA user_version = 2"));
}

void TempRegister::toThirdVersion() const {
    toFourthVersion();
    exec(QStringLiteral(
        "DROP TABLE ListPlans; DROP INDEX ListDataByItem; DROP INDEX ItemsByCategory; "
        "PRAGMA user_version = 3"));
}

void TempRegister::copyWithCutOffSave(const QString& target) const {
    sqlite3* program = openRaw(path());
    sqlite3_exec(program,
                 "PRAGMA cache_size = 1; BEGIN; DELETE FROM Items; UPDATE Data SET lastid = 0",
                 nullptr, nullptr, nullptr);
    const bool copied =
        QFile::copy(path(), target) &&
        QFile::copy(path() + QStringLiteral("-journal"), target + QStringLiteral("-journal"));
    sqlite3_exec(program, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(program);
    if (!copied)
        qFatal("could not copy the register in the middle of a save");
}

FileHeld::FileHeld(const QString& path, By by) : db_(openRaw(path)) {
    const char* hold = by == By::Reader ? "BEGIN; SELECT COUNT(*) FROM Data" : "BEGIN EXCLUSIVE";
    if (sqlite3_exec(db_, hold, nullptr, nullptr, nullptr) != SQLITE_OK)
        qFatal("cannot hold %s", qPrintable(path));
}

FileHeld::~FileHeld() {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
}

UnwritableFolder::UnwritableFolder(QString folder) : folder_(std::move(folder)) {
    immutable_ = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), folder_}) == 0;
    if (!immutable_)
        QFile::setPermissions(folder_, QFile::ReadOwner | QFile::ExeOwner);
    QFile probe(folder_ + QStringLiteral("/.probe"));
    holds_ = !probe.open(QIODevice::WriteOnly);
    if (!holds_)
        probe.remove();
}

UnwritableFolder::~UnwritableFolder() {
    if (immutable_)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), folder_});
    QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
