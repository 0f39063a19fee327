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

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "BenchSupport.h"
#include "RegisterGenerator.h"
#include "main/TreeModel.h"
#include "main/frmMain.h"

namespace {

using namespace Bench;

constexpr int kDefaultRuns = 7;

// --- The window ----------------------------------------------------------------------

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

struct Measurement {
    TreeFloor rows;
    std::uint64_t checksum = 0;
    double baseMiB = 0, peakMiB = 0, expandPeakMiB = 0;
    double firstShowMs = 0, filledMs = 0, expandMs = 0, checkMs = 0;
    std::vector<double> floorMs, refreshMs;
};

// Floor reads and refreshes take turns, so both see the same machine load.
void timeRefreshes(frmMain& w, const PaintCounter& painted, const QString& path, int runs,
                   Measurement& m) {
    for (int run = 0; run < runs; ++run) {
        const auto start = Steady::now();
        readTreeFloor(path, m.checksum);
        m.floorMs.push_back(msSince(start));
        // The window's thread waits idle, as it does in use, while the tree
        // is read on the loader's; then until the new tree has painted.
        m.refreshMs.push_back(msUntilPainted(painted, [&] {
            w.RefreshTree();
            while (w.treeReading())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }));
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

void printMeasurement(const Measurement& m) {
    printResult({{"items", double(m.rows.items)},
                 {"cases", double(m.rows.cases)},
                 {"lists", double(m.rows.lists)},
                 {"lines", double(m.rows.lines)},
                 {"floor_ms", median(m.floorMs)},
                 {"first_show_ms", m.firstShowMs},
                 {"filled_ms", m.filledMs},
                 {"refresh_ms", median(m.refreshMs)},
                 {"refresh_min_ms", minimum(m.refreshMs)},
                 {"refresh_max_ms", maximum(m.refreshMs)},
                 {"base_mib", m.baseMiB},
                 {"peak_mib", m.peakMiB},
                 {"expand_ms", m.expandMs},
                 {"check_ms", m.checkMs},
                 {"expand_peak_mib", m.expandPeakMiB},
                 {"checksum", double(m.checksum % 1000)}});
}

// Measures one register: the floor, the window's first show and `runs`
// refreshes; prints one "RESULT key=value ..." line.
int measure(const QString& path, int runs) {
    useOffscreenPlatform();
    int argc = 1;
    char name[] = "quarvel-bench-tree";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    Measurement m;
    m.rows = readTreeFloor(path, m.checksum);  // also warms the file cache
    m.baseMiB = procStatusMiB("VmRSS");

    QTemporaryDir settingsDir;
    auto dialogs = std::make_shared<ConsoleDialogs>();
    AppContext ctx(
        benchServices(path, settingsDir.filePath(QStringLiteral("settings.ini")), dialogs));
    frmMain w(ctx);
    auto* tree = w.findChild<QTreeView*>(QStringLiteral("TreeView1"));
    PaintCounter painted(tree->viewport());

    // The window paints, then reads its tree behind it and fills it in.
    const auto showStart = Steady::now();
    m.firstShowMs = msUntilPainted(painted, [&] { w.show(); });
    while (w.treeReading())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    m.filledMs = msSince(showStart);
    // The window checks the register for damage once its tree is in.
    const auto checkStart = Steady::now();
    QApplication::processEvents();
    m.checkMs = msSince(checkStart);
    // The day's full check then runs in the background; the refreshes are
    // sampled after it, not sharing the two cores with it.
    while (ctx.fullCheckRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    timeRefreshes(w, painted, path, runs, m);
    m.peakMiB = procStatusMiB("VmHWM");
    m.expandMs = timeExpandingRoots(*tree, *w.treeModel(), painted);
    m.expandPeakMiB = procStatusMiB("VmHWM");

    if (!treeMatches(*w.treeModel(), expectedTree(path)) || dialogs->messages > 0) {
        std::fprintf(stderr, "the tree does not show the register's rows\n");
        return 4;
    }
    printMeasurement(m);
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

// Runs this program on one register in a process of its own.
Result measureRegister(const QString& path, int runs, const QString& runtimeDir) {
    return measureInChild(
        {QStringLiteral("--measure"), path, QStringLiteral("--runs"), QString::number(runs)},
        runtimeDir);
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
                {"1st paint ms", 13},
                {"filled ms", 10},
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
                    {number(r["first_show_ms"]), 13},
                    {number(r["filled_ms"]), 10},
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
                {"check ms", 9},
                {"peak MiB", 9},
                {"base MiB", 9}});
    for (const auto& [size, r] : results) {
        if (r.isEmpty())
            continue;
        out << row(
            {{size.shape.name, -6},
             {number(r["refresh_min_ms"]) + QStringLiteral("..") + number(r["refresh_max_ms"]), 20},
             {number(r["expand_ms"]), 10},
             {number(r["check_ms"]), 9},
             {number(r["expand_peak_mib"]), 9},
             {number(r["base_mib"]), 9}});
    }
    out << "\nfloor: SELECT of Items(id, desc, caseID), Cases(id, FName), Lists(id, ListName),\n"
           "       ListData(listid, itemid, itemdesc) through the SQLite C API, one statement "
           "each\n"
           "refresh: frmMain::RefreshTree() until the tree view has painted (offscreen)\n"
           "1st paint: show() of a new window until it has painted (before its tree is read);\n"
           "filled: show() until the tree read behind the window is in\n"
           "check: SQLite's quick_check, which the window runs once its first tree is in\n"
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
        results.push_back({size, measureRegister(path, runs, temp.path())});

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
