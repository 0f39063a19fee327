#pragma once

// What the window benchmarks share: timing, memory, the plain SQLite reads
// and libpq COPYs that make their floors, a private PostgreSQL server filled
// from a generated register, headless services, waiting for a paint,
// running a measurement in a child process and printing tables.

#include <QDir>
#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "RegisterGenerator.h"
#include "app/AppContext.h"
#include "common/Dialogs.h"

struct sqlite3;
struct pg_conn;
class PostgresServer;
class QWidget;

namespace Bench {

// --- Time and memory -------------------------------------------------------------

using Steady = std::chrono::steady_clock;

double msSince(Steady::time_point start);
double median(std::vector<double> values);
double minimum(const std::vector<double>& values);
double maximum(const std::vector<double>& values);

// A line of /proc/self/status in MiB ("VmHWM" is the peak resident size);
// -1 where the system has no such file.
double procStatusMiB(const char* field);

// --- Plain SQLite reads, the floors ------------------------------------------------

class ReadOnlyDb {
public:
    explicit ReadOnlyDb(const QString& path);
    ~ReadOnlyDb();
    ReadOnlyDb(const ReadOnlyDb&) = delete;
    ReadOnlyDb& operator=(const ReadOnlyDb&) = delete;

    // Steps through every row of sql with the values bound in order, touching
    // each column as a window would (whole numbers as integers, texts as
    // UTF-8); returns the row count.
    std::int64_t readAll(const char* sql, std::uint64_t& checksum,
                         std::initializer_list<std::int64_t> values = {});
    std::int64_t readAll(const char* sql, std::uint64_t& checksum, const QByteArray& text);
    // The first column of the first row as a whole number.
    std::int64_t count(const char* sql);

private:
    [[noreturn]] void fail(const char* sql);
    std::int64_t stepAll(void* stmt, const char* sql, std::uint64_t& checksum);
    sqlite3* db_ = nullptr;
};

// What the main tree shows, one statement per table.
struct TreeFloor {
    std::int64_t items = 0;
    std::int64_t cases = 0;
    std::int64_t lists = 0;
    std::int64_t lines = 0;
};
TreeFloor readTreeFloor(const QString& path, std::uint64_t& checksum);

// --- The server's floors: libpq's COPY ------------------------------------------------

// One session on a server database. Each read is COPY (SELECT ...) TO STDOUT
// in text form, the quickest way libpq has to get rows out; a failure ends
// the program.
class CopySession {
public:
    explicit CopySession(const QString& connection);
    ~CopySession();
    CopySession(const CopySession&) = delete;
    CopySession& operator=(const CopySession&) = delete;

    // The rows of select, their bytes added to checksum; returns the row count.
    std::int64_t copyOut(const QByteArray& select, std::uint64_t& checksum);
    // A whole COPY ... TO STDOUT statement written into a file; the bytes.
    std::int64_t copyOutToFile(const QByteArray& copy, const QString& file);
    // A whole COPY ... FROM STDIN statement fed from a file; the rows stored.
    std::int64_t copyInFromFile(const QByteArray& copy, const QString& file);

private:
    [[noreturn]] void fail(const QByteArray& sql);
    void startCopy(const QByteArray& sql, int expected);
    // Runs a COPY ... TO STDOUT, handing each line to take; the line count.
    std::int64_t receive(const QByteArray& copy, const std::function<void(const char*, int)>& take);
    pg_conn* db_ = nullptr;
};

// The tree's rows from a server, as readTreeFloor reads them from a file.
TreeFloor copyTreeFloor(CopySession& session, std::uint64_t& checksum);
// Either floor, by the register's location text (a file or a connection string).
TreeFloor treeFloor(const QString& location, std::uint64_t& checksum);
bool isServer(const QString& location);

// --- A private PostgreSQL server ------------------------------------------------------

// A server of the benchmark's own (initdb into a temporary folder, a Unix
// socket there; needs the postgresql package), stopped when it goes.
class BenchServer {
public:
    BenchServer();
    ~BenchServer();
    BenchServer(const BenchServer&) = delete;
    BenchServer& operator=(const BenchServer&) = delete;

    bool start(QTextStream& out);
    // A database holding the register of the shape: its file generated into
    // dir (or reused from there, as registerFor), then copied over with
    // RegisterTransfer. The connection string, or empty.
    QString registerFor(const QDir& dir, const RegisterShape& shape, QTextStream& out);
    // A database of that name holding an empty register, made anew (one
    // left from before is dropped); the connection string, or empty.
    QString emptyRegister(const QString& name, QTextStream& out);

private:
    std::unique_ptr<PostgresServer> server_;
    int databases_ = 0;
};

// --- Headless windows ----------------------------------------------------------------

// Message boxes would wait for a user; a benchmark reports them and goes on.
class ConsoleDialogs : public Dialogs {
public:
    int messages = 0;
    Answer message(QWidget*, const QString& text, Icon, Buttons buttons) override;
    QString inputBox(QWidget*, const QString&, const QString&) override { return {}; }
    QString openFileName(QWidget*, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&, const QString&) override { return {}; }
};

Services benchServices(const QString& path, const QString& settingsFile,
                       std::shared_ptr<Dialogs> dialogs);

// Sets the offscreen platform unless another one was asked for.
void useOffscreenPlatform();

// Counts the paints of a widget, so a measurement can end when the rows are
// on screen rather than when the model is merely filled.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget);
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override;
};

// Processes events until the counted widget has painted once more. The paint
// event is delivered synchronously, so when the count moves it is done.
void waitForPaint(const PaintCounter& counter, int paintsBefore);

// Times `action` up to the next paint of the counted widget.
template <class Action>
double msUntilPainted(const PaintCounter& painted, Action action) {
    const int before = painted.paints;
    const auto start = Steady::now();
    action();
    waitForPaint(painted, before);
    return msSince(start);
}

// --- Children and tables -------------------------------------------------------------

using Result = QMap<QString, double>;

// Prints one "RESULT key=value ..." line for the parent to read.
void printResult(const std::vector<std::pair<const char*, double>>& values);
Result parseResult(const QByteArray& output);

// Runs this program with the arguments in a process of its own (offscreen);
// its RESULT line, or nothing when it failed.
Result measureInChild(const QStringList& arguments, const QString& runtimeDir);
// The environment a child benchmark runs in: offscreen, with a runtime folder.
QProcessEnvironment childEnvironment(const QString& runtimeDir);

QString number(double value, int decimals = 1);
// One line of a table: each cell padded to its width (negative: left-aligned).
QString row(const std::vector<std::pair<QString, int>>& cells);

// The register file for a shape: generated once into dir and reused when kept.
QString registerFor(const QDir& dir, const RegisterShape& shape, QTextStream& out);

}  // namespace Bench
