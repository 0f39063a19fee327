// quarvel-bench-tree: how long the main window takes to show the tree of a
// large register, and how much memory it needs, next to the plain SQLite read
// of the same rows.
//
//   quarvel-bench-tree [--skip-1m] [--runs N] [--dir DIR]
//   quarvel-bench-tree --measure FILE [--runs N]
//
// The first form generates registers of 1k, 100k and 1M items and measures
// each in a child process of its own, so that each size gets its own peak
// memory. The second form measures one data.mdb.

#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTreeView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "RegisterGenerator.h"
#include "common/AppContext.h"
#include "common/Clock.h"
#include "common/Dialogs.h"
#include "main/TreeModel.h"
#include "main/frmMain.h"
#include "printing/PrinterCatalog.h"

namespace {

constexpr int kDefaultRuns = 7;
constexpr int kPaintTimeoutMs = 60000;

// --- Small helpers ---------------------------------------------------------------

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

// A line of /proc/self/status in MiB ("VmHWM" is the peak resident size);
// -1 where the system has no such file.
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

// --- The floor: every row the tree shows, one statement per table ------------------

struct FloorCounts {
    std::int64_t items = 0;
    std::int64_t cases = 0;
    std::int64_t lists = 0;
    std::int64_t lines = 0;
};

class ReadOnlyDb {
public:
    explicit ReadOnlyDb(const QString& path) {
        const QByteArray file = path.toUtf8();
        if (sqlite3_open_v2(file.constData(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "cannot open %s\n", file.constData());
            std::exit(2);
        }
    }
    ~ReadOnlyDb() { sqlite3_close(db_); }
    ReadOnlyDb(const ReadOnlyDb&) = delete;
    ReadOnlyDb& operator=(const ReadOnlyDb&) = delete;

    // Steps through every row of sql, touching each column as the tree would
    // (whole numbers as integers, texts as UTF-8); returns the row count.
    std::int64_t readAll(const char* sql, std::uint64_t& checksum) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK)
            fail(sql);
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

    std::int64_t count(const char* sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK ||
            sqlite3_step(stmt) != SQLITE_ROW)
            fail(sql);
        const std::int64_t n = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
        return n;
    }

private:
    [[noreturn]] void fail(const char* sql) {
        std::fprintf(stderr, "%s: %s\n", sql, sqlite3_errmsg(db_));
        std::exit(2);
    }
    sqlite3* db_ = nullptr;
};

FloorCounts readFloor(const QString& path, std::uint64_t& checksum) {
    ReadOnlyDb db(path);
    FloorCounts n;
    n.items = db.readAll("SELECT id, \"desc\", caseID FROM Items ORDER BY id", checksum);
    n.cases = db.readAll("SELECT id, FName FROM Cases", checksum);
    n.lists = db.readAll("SELECT id, ListName FROM Lists", checksum);
    n.lines = db.readAll("SELECT listid, itemid, itemdesc FROM ListData", checksum);
    return n;
}

// --- The window ----------------------------------------------------------------------

// Message boxes would wait for a user; a benchmark reports them and goes on.
class ConsoleDialogs : public Dialogs {
public:
    int messages = 0;
    Answer message(QWidget*, const QString& text, Icon, Buttons buttons) override {
        ++messages;
        std::fprintf(stderr, "message box: %s\n", qPrintable(text));
        return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }
    QString inputBox(QWidget*, const QString&, const QString&) override { return {}; }
    QString openFileName(QWidget*, const QString&) override { return {}; }
};

class NoPrinters : public PrinterCatalog {
public:
    QStringList deviceNames() const override { return {}; }
    QString defaultDeviceName() const override { return {}; }
};

// Counts the paints of a widget, so a measurement can end when the tree is
// on screen rather than when the model is merely filled.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Processes events until the counted widget has painted once more. The paint
// event is delivered synchronously, so when the count moves it is done.
void waitForPaint(const PaintCounter& counter, int paintsBefore) {
    QElapsedTimer waited;
    waited.start();
    while (counter.paints == paintsBefore) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (waited.elapsed() > kPaintTimeoutMs) {
            std::fprintf(stderr, "the tree was not painted within %d ms\n", kPaintTimeoutMs);
            std::exit(3);
        }
    }
}

// The row counts the tree should show, straight from the database.
struct ExpectedTree {
    std::int64_t items, cases, itemsInCases, lists, lines;
};

ExpectedTree expectedTree(const QString& path) {
    ReadOnlyDb db(path);
    return {db.count("SELECT COUNT(*) FROM Items"), db.count("SELECT COUNT(*) FROM Cases"),
            db.count("SELECT COUNT(*) FROM Items WHERE caseID IN (SELECT id FROM Cases)"),
            db.count("SELECT COUNT(*) FROM Lists"),
            db.count("SELECT COUNT(*) FROM (SELECT DISTINCT listid, itemid FROM ListData "
                     "WHERE listid IN (SELECT id FROM Lists))")};
}

// True when the model's row counts match what the database holds.
bool treeMatches(const TreeModel& model, const ExpectedTree& want) {
    const QModelIndex items = model.index(0, 0), cases = model.index(1, 0),
                      lists = model.index(2, 0);
    std::int64_t inCases = 0, lines = 0;
    for (int c = 0; c < model.rowCount(cases); ++c)
        inCases += model.rowCount(model.index(0, 0, model.index(c, 0, cases)));
    for (int l = 0; l < model.rowCount(lists); ++l)
        lines += model.rowCount(model.index(l, 0, lists));
    return model.rowCount(items) == want.items && model.rowCount(cases) == want.cases &&
           inCases == want.itemsInCases && model.rowCount(lists) == want.lists &&
           lines == want.lines;
}

Services benchServices(const QString& path, const QString& settingsFile,
                       std::shared_ptr<Dialogs> dialogs) {
    Services services;
    services.databasePath = path;
    services.settingsFile = settingsFile;
    services.dialogs = std::move(dialogs);
    services.clock = std::make_shared<Clock>();
    services.printers = std::make_shared<NoPrinters>();
    return services;
}

// Times `action` up to the next paint of the counted widget.
template <class Action>
double msUntilPainted(const PaintCounter& painted, Action action) {
    const int before = painted.paints;
    const auto start = std::chrono::steady_clock::now();
    action();
    waitForPaint(painted, before);
    return msSince(start);
}

struct Measurement {
    FloorCounts rows;
    std::uint64_t checksum = 0;
    double baseMiB = 0, peakMiB = 0, expandPeakMiB = 0;
    double firstShowMs = 0, expandMs = 0;
    std::vector<double> floorMs, refreshMs;
};

// Floor reads and refreshes take turns, so both see the same machine load.
void timeRefreshes(frmMain& w, const PaintCounter& painted, const QString& path, int runs,
                   Measurement& m) {
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        readFloor(path, m.checksum);
        m.floorMs.push_back(msSince(start));
        m.refreshMs.push_back(msUntilPainted(painted, [&] { w.RefreshTree(); }));
    }
}

// Not part of the refresh: opening the three roots shows how the view copes
// with the model once a user starts browsing.
double timeExpandingRoots(QTreeView& tree, const TreeModel& model, const PaintCounter& painted) {
    return msUntilPainted(painted, [&] {
        for (int root = 0; root < 3; ++root)
            tree.expand(model.index(root, 0));
    });
}

void printResult(const Measurement& m) {
    std::printf(
        "RESULT items=%lld cases=%lld lists=%lld lines=%lld floor_ms=%.1f first_show_ms=%.1f "
        "refresh_ms=%.1f refresh_min_ms=%.1f refresh_max_ms=%.1f base_mib=%.1f peak_mib=%.1f "
        "expand_ms=%.1f expand_peak_mib=%.1f checksum=%llu\n",
        static_cast<long long>(m.rows.items), static_cast<long long>(m.rows.cases),
        static_cast<long long>(m.rows.lists), static_cast<long long>(m.rows.lines),
        median(m.floorMs), m.firstShowMs, median(m.refreshMs),
        *std::min_element(m.refreshMs.begin(), m.refreshMs.end()),
        *std::max_element(m.refreshMs.begin(), m.refreshMs.end()), m.baseMiB, m.peakMiB, m.expandMs,
        m.expandPeakMiB, static_cast<unsigned long long>(m.checksum % 1000));
    std::fflush(stdout);
}

// Measures one register: the floor, the window's first show and `runs`
// refreshes; prints one "RESULT key=value ..." line.
int measure(const QString& path, int runs) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "quarvel-bench-tree";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    Measurement m;
    m.rows = readFloor(path, m.checksum);  // also warms the file cache
    m.baseMiB = procStatusMiB("VmRSS");

    QTemporaryDir settingsDir;
    auto dialogs = std::make_shared<ConsoleDialogs>();
    frmMain w(benchServices(path, settingsDir.filePath(QStringLiteral("settings.ini")), dialogs));
    auto* tree = w.findChild<QTreeView*>(QStringLiteral("TreeView1"));
    PaintCounter painted(tree->viewport());

    m.firstShowMs = msUntilPainted(painted, [&] { w.show(); });  // the first show loads the tree
    timeRefreshes(w, painted, path, runs, m);
    m.peakMiB = procStatusMiB("VmHWM");
    m.expandMs = timeExpandingRoots(*tree, *w.treeModel(), painted);
    m.expandPeakMiB = procStatusMiB("VmHWM");

    if (!treeMatches(*w.treeModel(), expectedTree(path)) || dialogs->messages > 0) {
        std::fprintf(stderr, "the tree does not show the register's rows\n");
        return 4;
    }
    printResult(m);
    return 0;
}

// --- The driver: generate, measure each size in a child, tabulate ------------------

struct Target {
    double maxRatio = 0;    // refresh / floor, 0 = none
    double maxMs = 0;       // refresh time, 0 = none
    double maxPeakMiB = 0;  // 0 = none
};

struct Size {
    RegisterShape shape;
    Target target;
};

std::vector<Size> sizes(bool withMillion) {
    std::vector<Size> all = {
        {registerShape(QStringLiteral("1k")), {}},
        {registerShape(QStringLiteral("100k")), {3.0, 0, 150}},
    };
    if (withMillion)
        all.push_back({registerShape(QStringLiteral("1M")), {0, 3000, 600}});
    return all;
}

QMap<QString, double> parseResult(const QByteArray& output) {
    QMap<QString, double> values;
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

// Runs this program on one register in a process of its own.
QMap<QString, double> measureInChild(const QString& path, int runs, const QString& runtimeDir) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!env.contains(QStringLiteral("XDG_RUNTIME_DIR")))
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);  // Qt asks for one
    child.setProcessEnvironment(env);
    child.start(
        QCoreApplication::applicationFilePath(),
        {QStringLiteral("--measure"), path, QStringLiteral("--runs"), QString::number(runs)});
    child.waitForFinished(-1);
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return {};
    return parseResult(child.readAllStandardOutput());
}

bool meets(const Target& t, double ratio, double ms, double peak) {
    return (t.maxRatio == 0 || ratio <= t.maxRatio) && (t.maxMs == 0 || ms <= t.maxMs) &&
           (t.maxPeakMiB == 0 || peak < t.maxPeakMiB);
}

QString targetText(const Target& t) {
    QStringList parts;
    if (t.maxRatio > 0)
        parts << QStringLiteral("<= %1x floor").arg(t.maxRatio);
    if (t.maxMs > 0)
        parts << QStringLiteral("<= %1 s").arg(t.maxMs / 1000.0);
    if (t.maxPeakMiB > 0)
        parts << QStringLiteral("< %1 MiB").arg(t.maxPeakMiB);
    return parts.isEmpty() ? QStringLiteral("-") : parts.join(QStringLiteral(", "));
}

QString number(double value, int decimals = 1) {
    return QString::number(value, 'f', decimals);
}

// One line of a table: each cell padded to its width (negative: left-aligned).
QString row(const std::vector<std::pair<QString, int>>& cells) {
    QStringList padded;
    for (const auto& [text, width] : cells)
        padded << QStringLiteral("%1").arg(text, width);
    return padded.join(QStringLiteral("  ")).trimmed() + QLatin1Char('\n');
}

// The register file for a size: generated once into dir and reused when kept.
QString registerFor(const QDir& dir, const RegisterShape& shape, QTextStream& out) {
    const QString path = dir.filePath(QStringLiteral("bench-%1.mdb").arg(shape.name));
    if (QFileInfo::exists(path)) {
        out << "  " << shape.name << ": reusing " << path << "\n";
        return path;
    }
    const auto start = std::chrono::steady_clock::now();
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

using Result = QMap<QString, double>;

// Prints the table of the figures the targets are set on; false when a
// measurement failed or a target was missed.
bool printTargetTable(const std::vector<std::pair<Size, Result>>& results, int runs,
                      QTextStream& out) {
    out << "\nRefreshTree (query, build, paint; median of " << runs
        << ") against the floor (plain SQLite read of the same rows, median of " << runs << "):\n\n"
        << row({{"size", -6},
                {"floor ms", 9},
                {"refresh ms", 11},
                {"ratio", 6},
                {"1st show ms", 12},
                {"peak MiB", 9},
                {"target", -28},
                {"", 0}});
    bool allMet = true;
    for (const auto& [size, r] : results) {
        if (r.isEmpty()) {
            out << size.shape.name << ": measurement failed\n";
            allMet = false;
            continue;
        }
        const double ratio = r["refresh_ms"] / std::max(r["floor_ms"], 0.001);
        const bool met = meets(size.target, ratio, r["refresh_ms"], r["peak_mib"]);
        allMet = allMet && met;
        const bool hasTarget =
            size.target.maxRatio + size.target.maxMs + size.target.maxPeakMiB > 0;
        out << row({{size.shape.name, -6},
                    {number(r["floor_ms"]), 9},
                    {number(r["refresh_ms"]), 11},
                    {number(ratio, 2), 6},
                    {number(r["first_show_ms"]), 12},
                    {number(r["peak_mib"]), 9},
                    {targetText(size.target), -28},
                    {!hasTarget ? QString()
                     : met      ? QStringLiteral("met")
                                : QStringLiteral("MISSED"),
                     0}});
    }
    return allMet;
}

void printBrowsingTable(const std::vector<std::pair<Size, Result>>& results, QTextStream& out) {
    out << "\nAfter the refreshes (no target): the spread of the refresh times, opening the\n"
           "three roots, and the resident size before the window was made:\n\n"
        << row({{"size", -6},
                {"refresh min..max ms", 20},
                {"expand ms", 10},
                {"peak MiB", 9},
                {"base MiB", 9}});
    for (const auto& [size, r] : results) {
        if (r.isEmpty())
            continue;
        out << row(
            {{size.shape.name, -6},
             {number(r["refresh_min_ms"]) + QStringLiteral("..") + number(r["refresh_max_ms"]), 20},
             {number(r["expand_ms"]), 10},
             {number(r["expand_peak_mib"]), 9},
             {number(r["base_mib"]), 9}});
    }
    out << "\nfloor: SELECT of Items(id, desc, caseID), Cases(id, FName), Lists(id, ListName),\n"
           "       ListData(listid, itemid, itemdesc) through the SQLite C API, one statement "
           "each\n"
           "refresh: frmMain::RefreshTree() until the tree view has painted (offscreen)\n"
           "base: resident size before the window was made; peak: VmHWM of the run\n";
}

int drive(bool withMillion, int runs, const QString& keepDir) {
    QTextStream out(stdout);
    QTemporaryDir temp;
    if (!keepDir.isEmpty())
        QDir().mkpath(keepDir);
    const QDir dir(keepDir.isEmpty() ? temp.path() : keepDir);

    out << "Registers:\n";
    out.flush();
    std::vector<std::pair<Size, QString>> registers;
    for (const Size& size : sizes(withMillion)) {
        const QString path = registerFor(dir, size.shape, out);
        out.flush();
        if (path.isEmpty())
            return 2;
        registers.push_back({size, path});
    }

    std::vector<std::pair<Size, Result>> results;
    for (const auto& [size, path] : registers)
        results.push_back({size, measureInChild(path, runs, temp.path())});

    const bool allMet = printTargetTable(results, runs, out);
    printBrowsingTable(results, out);
    return allMet ? 0 : 1;
}

void usage() {
    std::fprintf(stderr,
                 "usage: quarvel-bench-tree [--skip-1m] [--runs N] [--dir DIR]\n"
                 "       quarvel-bench-tree --measure FILE [--runs N]\n"
                 "  --skip-1m   leave out the register of 1M items (150 MiB on disk, about\n"
                 "              5 s to generate and 10 s to measure)\n"
                 "  --runs N    refreshes (and floor reads) per register, default %d\n"
                 "  --dir DIR   keep the generated registers in DIR and reuse them later\n",
                 kDefaultRuns);
}

}  // namespace

int main(int argc, char** argv) {
    bool withMillion = true;
    int runs = kDefaultRuns;
    QString measureFile, keepDir;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--skip-1m") {
            withMillion = false;
        } else if (arg == "--runs" && hasValue) {
            runs = std::max(1, QByteArray(argv[++i]).toInt());
        } else if (arg == "--measure" && hasValue) {
            measureFile = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--dir" && hasValue) {
            keepDir = QString::fromLocal8Bit(argv[++i]);
        } else {
            usage();
            return 2;
        }
    }
    if (!measureFile.isEmpty())
        return measure(measureFile, runs);
    QCoreApplication app(argc, argv);
    return drive(withMillion, runs, keepDir);
}
