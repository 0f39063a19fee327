// quarvel-bench-windows: how long every window that lists register rows takes
// to open on a large register, and how much memory it needs, next to the
// plain SQLite read of the same rows; also one filter keystroke in the item
// picker, RefreshTree after an item is saved, and the start-up of the main
// window.
//
//   quarvel-bench-windows [--server] [--skip-1m] [--runs N] [--dir DIR] [--only WHAT]
//   quarvel-bench-windows --measure REGISTER --what WHAT [--runs N]
//   quarvel-bench-windows --measure-startup REGISTER
//
// The first form generates registers of 1k, 100k and 1M items (or reuses them
// from DIR) and measures each window on each register in a child process of
// its own, so that each gets its own peak memory; with --server, on copies
// of them on a private PostgreSQL server (start-up and the item picker),
// against libpq's COPY of the same rows. The second form measures one thing
// on one register: a data.mdb or a connection string. The third is the
// program's start without its splash: it makes the main window, shows it and
// prints the time at which the tree has painted, for the parent that started
// it to compare with its start.

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "BenchSupport.h"
#include "RegisterGenerator.h"
#include "cases/frmFlightAddEdit.h"
#include "cases/frmFlightPicker.h"
#include "cases/frmFlightView.h"
#include "common/RecordList.h"
#include "data/ItemStore.h"
#include "data/register/RegisterChoice.h"
#include "items/frmItemPicker.h"
#include "lists/frmListAddEdit.h"
#include "lists/frmListView.h"
#include "locations/frmLocationPicker.h"
#include "main/frmMain.h"
#include "resources/Fonts.h"

namespace {

using namespace Bench;

constexpr int kDefaultRuns = 7;

// The text typed into the item picker's Find box, a key at a time: the first
// key looks at every row, the second narrows, the backspaces widen again.
const char* const kFindText = "ca";

// --- What is measured ------------------------------------------------------------------

// The case and the list with the most rows (of an empty register, the first
// ones): the windows open on them.
struct Largest {
    std::int64_t caseId = 0;
    std::int64_t listId = 0;
};

Largest largestCaseAndList(const QString& path) {
    ReadOnlyDb db(path);
    return {db.count("SELECT COALESCE((SELECT caseID FROM Items WHERE caseID IN "
                     "(SELECT id FROM Cases) GROUP BY caseID ORDER BY COUNT(*) DESC LIMIT 1), "
                     "(SELECT MIN(id) FROM Cases), 0)"),
            db.count("SELECT COALESCE((SELECT listid FROM ListData WHERE listid IN "
                     "(SELECT id FROM Lists) GROUP BY listid ORDER BY COUNT(*) DESC LIMIT 1), "
                     "(SELECT MIN(id) FROM Lists), 0)")};
}

using Floor = std::function<std::int64_t(const QString& path, const Largest&, std::uint64_t&)>;
using Opener = std::function<QDialog*(AppContext&)>;

// A window that lists rows: how to open it, its list, and the plain read of
// the rows it shows.
struct ListWindow {
    const char* what;   // the --what name
    const char* title;  // in the table
    const char* list;   // object name of its RecordList
    int fixedLines;     // lines it shows beyond the rows read
    Opener open;
    Floor floor;
    // The same rows from a server, read with COPY; none for a window not
    // measured on a server.
    const char* serverFloor = nullptr;
};

std::int64_t readRows(const QString& path, std::uint64_t& sum, const char* sql,
                      std::initializer_list<std::int64_t> values = {}) {
    ReadOnlyDb db(path);
    return db.readAll(sql, sum, values);
}

// A record's own row, then the rows of its list, on one connection.
std::int64_t readRecordAndRows(const QString& path, std::uint64_t& sum, const char* recordSql,
                               const char* rowsSql, std::int64_t id) {
    ReadOnlyDb db(path);
    db.readAll(recordSql, sum, {id});
    return db.readAll(rowsSql, sum, {id});
}

const char* const kItemsSql = "SELECT id, \"desc\" FROM Items ORDER BY id";
const char* const kCaseSql =
    "SELECT id, FName, FLocation, FBought, FNotes, FWheeled FROM Cases WHERE id = ?";
const char* const kListSql = "SELECT id, ListName FROM Lists WHERE id = ?";
const char* const kListLinesSql =
    "SELECT itemid, itemdesc FROM ListData WHERE listid = ? ORDER BY itemid";

template <class Window>
Opener opener() {
    return [](AppContext& ctx) -> QDialog* { return new Window(ctx); };
}

const std::vector<ListWindow>& listWindows() {
    static const std::vector<ListWindow> windows = {
        {"item-picker", "item picker", "List1", 0, opener<frmItemPicker>(),
         [](const QString& p, const Largest&, std::uint64_t& sum) {
             return readRows(p, sum, kItemsSql);
         },
         R"(SELECT "id", "desc" FROM "Items" ORDER BY "id")"},
        {"case-picker", "case picker", "List1", 1, opener<frmFlightPicker>(),
         [](const QString& p, const Largest&, std::uint64_t& sum) {
             return readRows(p, sum, "SELECT id, FName FROM Cases ORDER BY id");
         }},
        {"location-picker", "location picker", "List1", 0, opener<frmLocationPicker>(),
         [](const QString& p, const Largest&, std::uint64_t& sum) {
             return readRows(p, sum, "SELECT rowid, \"desc\" FROM Locations ORDER BY rowid");
         }},
        {"case-editor", "case editor", "List1", 0, opener<frmFlightAddEdit>(),
         [](const QString& p, const Largest& big, std::uint64_t& sum) {
             return readRecordAndRows(
                 p, sum, kCaseSql,
                 "SELECT id, \"desc\" FROM Items WHERE caseID = ? ORDER BY category, id",
                 big.caseId);
         }},
        {"case-viewer", "case viewer", "List1", 0, opener<frmFlightView>(),
         [](const QString& p, const Largest& big, std::uint64_t& sum) {
             return readRecordAndRows(p, sum, kCaseSql,
                                      "SELECT id, \"desc\" FROM Items WHERE caseID = ? ORDER BY id",
                                      big.caseId);
         }},
        {"list-editor", "list editor", "List1", 0, opener<frmListAddEdit>(),
         [](const QString& p, const Largest& big, std::uint64_t& sum) {
             return readRecordAndRows(p, sum, kListSql, kListLinesSql, big.listId);
         }},
        {"list-viewer", "list viewer", "lstItems", 0, opener<frmListView>(),
         [](const QString& p, const Largest& big, std::uint64_t& sum) {
             return readRecordAndRows(p, sum, kListSql, kListLinesSql, big.listId);
         }},
    };
    return windows;
}

const ListWindow* listWindow(const QString& what) {
    for (const ListWindow& w : listWindows()) {
        if (what == QLatin1String(w.what))
            return &w;
    }
    return nullptr;
}

// --- Measuring in the child --------------------------------------------------------------

// The program's own start: Tahoma, names for the settings store.
void startLikeTheProgram() {
    QApplication::setOrganizationName(QStringLiteral("Quarvel"));
    QApplication::setApplicationName(QStringLiteral("Quarvel"));
    Fonts::loadTahoma();
}

// A headless program on one register with the context every window reaches
// everything through.
struct Headless {
    QTemporaryDir settingsDir;
    std::shared_ptr<ConsoleDialogs> dialogs = std::make_shared<ConsoleDialogs>();

    Services services(const QString& path) {
        return benchServices(path, settingsDir.filePath(QStringLiteral("settings.ini")), dialogs);
    }
};

struct Samples {
    std::vector<double> floorMs, ms;
};

void printSamples(const Samples& s, std::int64_t rows, double firstMs, double baseMiB,
                  std::uint64_t checksum) {
    printResult({{"rows", double(rows)},
                 {"floor_ms", median(s.floorMs)},
                 {"ms", median(s.ms)},
                 {"min_ms", minimum(s.ms)},
                 {"max_ms", maximum(s.ms)},
                 {"first_ms", firstMs},
                 {"base_mib", baseMiB},
                 {"peak_mib", procStatusMiB("VmHWM")},
                 {"checksum", double(checksum % 1000)}});
}

// Makes the window (its load reads the rows) and shows it until its list has
// painted; gives the time and leaves the window open.
double openUntilPainted(const ListWindow& w, AppContext& ctx, std::unique_ptr<QDialog>& window) {
    const auto start = Steady::now();
    window.reset(w.open(ctx));
    auto* list = window->findChild<RecordList*>(QLatin1String(w.list));
    if (!list) {
        std::fprintf(stderr, "%s has no list %s\n", w.what, w.list);
        std::exit(4);
    }
    PaintCounter painted(list->viewport());
    window->show();
    waitForPaint(painted, 0);
    return msSince(start);
}

// Floor reads and window openings take turns, so both see the same machine
// load. The first opening (Qt's one-time set-up of styles and fonts) is
// reported on its own.
int measureListWindow(const QString& path, const ListWindow& w, int runs) {
    Headless headless;
    AppContext ctx(headless.services(path));
    std::unique_ptr<CopySession> server;
    Floor floor = w.floor;
    Largest big;
    if (isServer(path)) {
        if (!w.serverFloor) {
            std::fprintf(stderr, "%s is not measured on a server\n", w.what);
            return 2;
        }
        server = std::make_unique<CopySession>(path);
        floor = [&server, &w](const QString&, const Largest&, std::uint64_t& sum) {
            return server->copyOut(w.serverFloor, sum);
        };
    } else {
        big = largestCaseAndList(path);
    }
    ctx.fields().CaseToOpen = qint64(big.caseId);
    ctx.fields().ListToOpen = qint64(big.listId);

    std::uint64_t checksum = 0;
    const std::int64_t rows = floor(path, big, checksum);  // also warms the file cache
    const double baseMiB = procStatusMiB("VmRSS");
    Samples s;
    double firstMs = 0;
    for (int run = 0; run <= runs; ++run) {
        const auto start = Steady::now();
        floor(path, big, checksum);
        const double floorMs = msSince(start);
        std::unique_ptr<QDialog> window;
        const double ms = openUntilPainted(w, ctx, window);
        const int shown = window->findChild<RecordList*>(QLatin1String(w.list))->count();
        if (shown != rows + w.fixedLines) {
            std::fprintf(stderr, "%s shows %d lines, the register holds %lld rows\n", w.what, shown,
                         static_cast<long long>(rows));
            return 4;
        }
        window.reset();
        QCoreApplication::processEvents();
        if (run == 0) {
            firstMs = ms;
            continue;
        }
        s.floorMs.push_back(floorMs);
        s.ms.push_back(ms);
    }
    if (headless.dialogs->messages > 0)
        return 4;
    printSamples(s, rows, firstMs, baseMiB, checksum);
    return 0;
}

void sendKey(QWidget* to, int key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(to, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(to, &release);
}

// The rows the Find box shows for a text, read by SQLite itself: ids and
// descriptions holding the text, letter case aside.
std::int64_t readFindFloor(const QString& path, const QString& text, std::uint64_t& sum) {
    ReadOnlyDb db(path);
    return db.readAll(
        "SELECT id, \"desc\" FROM Items WHERE CAST(id AS TEXT) LIKE ?1 OR \"desc\" LIKE ?1 "
        "ORDER BY id",
        sum, "%" + text.toUtf8() + "%");
}

// One keystroke in the Find box until the list has painted, for every key of
// kFindText and a backspace for each; the slowest key's median counts.
int measureFind(const QString& path, int runs) {
    Headless headless;
    AppContext ctx(headless.services(path));
    std::unique_ptr<QDialog> window;
    openUntilPainted(*listWindow(QStringLiteral("item-picker")), ctx, window);
    auto* find = window->findChild<QLineEdit*>(QStringLiteral("txtFind"));
    auto* list = window->findChild<RecordList*>(QStringLiteral("List1"));
    if (!find) {
        std::fprintf(stderr, "the item picker has no txtFind\n");
        return 4;
    }
    PaintCounter painted(list->viewport());
    find->setFocus();

    const QString typed = QString::fromLatin1(kFindText);
    std::uint64_t checksum = 0;
    const double baseMiB = procStatusMiB("VmRSS");
    std::vector<Samples> keys(static_cast<std::size_t>(typed.size()) * 2);
    std::int64_t firstKeyRows = 0;
    for (int run = 0; run < runs; ++run) {
        for (qsizetype k = 0; k < typed.size() * 2; ++k) {
            const bool typing = k < typed.size();
            const QString text = typing ? typed.left(k + 1) : typed.left(typed.size() * 2 - k - 1);
            Samples& key = keys[static_cast<std::size_t>(k)];
            const auto start = Steady::now();
            const std::int64_t rows = text.isEmpty() ? readRows(path, checksum, kItemsSql)
                                                     : readFindFloor(path, text, checksum);
            key.floorMs.push_back(msSince(start));
            key.ms.push_back(msUntilPainted(painted, [&] {
                if (typing)
                    sendKey(find, typed.at(k).toUpper().unicode(), typed.mid(k, 1));
                else
                    sendKey(find, Qt::Key_Backspace, {});
            }));
            if (list->count() != rows || find->text() != text) {
                std::fprintf(stderr, "\"%s\" shows %d lines, SQLite finds %lld\n",
                             qPrintable(find->text()), list->count(), static_cast<long long>(rows));
                return 4;
            }
            if (k == 0)
                firstKeyRows = rows;
        }
    }
    // The slowest keystroke is the one the target is on.
    const auto slowest = std::max_element(
        keys.begin(), keys.end(),
        [](const Samples& a, const Samples& b) { return median(a.ms) < median(b.ms); });
    std::vector<std::pair<const char*, double>> values = {
        {"rows", double(firstKeyRows)},
        {"floor_ms", median(slowest->floorMs)},
        {"ms", median(slowest->ms)},
        {"min_ms", minimum(slowest->ms)},
        {"max_ms", maximum(slowest->ms)},
        {"slowest_key", double(slowest - keys.begin())},
        {"base_mib", baseMiB},
        {"peak_mib", procStatusMiB("VmHWM")}};
    static const char* const kKeyNames[] = {"key0_ms", "key1_ms", "key2_ms", "key3_ms"};
    for (std::size_t k = 0; k < keys.size() && k < std::size(kKeyNames); ++k)
        values.push_back({kKeyNames[k], median(keys[k].ms)});
    printResult(values);
    return 0;
}

// RefreshTree as the main window runs it after the item editor saved: the
// save changes an item's description, the refresh reads and shows the tree.
int measureRefreshAfterSave(const QString& path, int runs) {
    Headless headless;
    AppContext ctx(headless.services(path));
    frmMain w(ctx);
    auto* tree = w.findChild<QTreeView*>(QStringLiteral("TreeView1"));
    PaintCounter painted(tree->viewport());
    std::uint64_t checksum = 0;
    const TreeFloor rows = readTreeFloor(path, checksum);
    const double baseMiB = procStatusMiB("VmRSS");
    const double firstMs = msUntilPainted(painted, [&] { w.show(); });
    QApplication::processEvents();  // the register check that follows the first paint

    ItemStore& store = w.context().items();
    const qint64 item = rows.items / 2 + 1;
    const QString loaded =
        store.withId(item).value_or(QList<ItemRecord>{}).value(0)[ItemColumn::Desc];
    Samples s;
    for (int run = 0; run < runs; ++run) {
        const QString desc = loaded + QStringLiteral(" (run %1)").arg(run);
        if (rows.items > 0 && store.update(item, {{int(ItemColumn::Desc), desc, QString()}},
                                           true) != SaveResult::Saved)
            return 4;
        const auto start = Steady::now();
        readTreeFloor(path, checksum);
        s.floorMs.push_back(msSince(start));
        s.ms.push_back(msUntilPainted(painted, [&] { w.RefreshTree(); }));
    }
    if (rows.items > 0)
        store.update(item, {{int(ItemColumn::Desc), loaded, QString()}}, true);
    if (headless.dialogs->messages > 0)
        return 4;
    printSamples(s, rows.items, firstMs, baseMiB, checksum);
    return 0;
}

int measure(const QString& path, const QString& what, int runs) {
    useOffscreenPlatform();
    int argc = 1;
    char name[] = "quarvel-bench-windows";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    startLikeTheProgram();
    if (const ListWindow* w = listWindow(what))
        return measureListWindow(path, *w, runs);
    if (what == QLatin1String("find"))
        return measureFind(path, runs);
    if (what == QLatin1String("refresh"))
        return measureRefreshAfterSave(path, runs);
    std::fprintf(stderr, "nothing to measure called %s\n", qPrintable(what));
    return 2;
}

std::int64_t epochMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The program's start without the splash: from here to the tree painted;
// the parent adds the time from its start of this process to here. The
// register is chosen as the program chooses one given with --register.
int measureStartup(const QString& path, char** argv) {
    int argc = 1;
    const std::int64_t mainUs = epochMicroseconds();
    useOffscreenPlatform();
    QApplication app(argc, argv);
    startLikeTheProgram();
    Headless headless;
    Services services = headless.services(path);
    const RegisterChoice choice =
        RegisterChoices::choose(QCoreApplication::applicationDirPath(), path, {});
    if (!choice.problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(choice.problem));
        return 2;
    }
    services.location = choice.location;
    AppContext ctx(services);
    frmMain w(ctx);
    PaintCounter painted(w.findChild<QTreeView*>(QStringLiteral("TreeView1"))->viewport());
    w.show();
    waitForPaint(painted, 0);
    const std::int64_t paintedUs = epochMicroseconds();
    // The tree is read behind the painted window; filled when the read is in.
    while (w.treeReading())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const std::int64_t filledUs = epochMicroseconds();
    printResult({{"main_us", double(mainUs)},
                 {"painted_us", double(paintedUs)},
                 {"filled_us", double(filledUs)},
                 {"peak_mib", procStatusMiB("VmHWM")}});
    return headless.dialogs->messages > 0 ? 4 : 0;
}

// --- The driver: generate, measure each in a child, tabulate ------------------------------

struct Target {
    double maxRatio = 0;    // time / floor, 0 = none
    double maxMs = 0;       // 0 = none
    double maxPeakMiB = 0;  // 0 = none
    double maxFilled = 0;   // start-up: the tree's read behind the window / floor, 0 = none

    bool any() const { return maxRatio + maxMs + maxPeakMiB + maxFilled > 0; }
    bool metBy(const Result& r) const {
        const double floor = std::max(r.value(QStringLiteral("floor_ms")), 0.001);
        return (maxRatio == 0 || r.value(QStringLiteral("ms")) / floor <= maxRatio) &&
               (maxMs == 0 || r.value(QStringLiteral("ms")) < maxMs) &&
               (maxPeakMiB == 0 || r.value(QStringLiteral("peak_mib")) < maxPeakMiB) &&
               (maxFilled == 0 || r.value(QStringLiteral("behind_ms")) / floor <= maxFilled);
    }
    QString text() const {
        QStringList parts;
        if (maxRatio > 0)
            parts << QStringLiteral("<= %1x floor").arg(maxRatio);
        if (maxMs > 0)
            parts << QStringLiteral("< %1 ms").arg(maxMs);
        if (maxPeakMiB > 0)
            parts << QStringLiteral("< %1 MiB").arg(maxPeakMiB);
        if (maxFilled > 0)
            parts << QStringLiteral("filled <= %1x").arg(maxFilled);
        return parts.isEmpty() ? QStringLiteral("-") : parts.join(QStringLiteral(", "));
    }
};

// The targets: every list window at 100k, the item picker also at 1M; a
// keystroke at 1M; the refresh as the tree benchmark's; start-up at 100k.
// On a server: the item picker and the tree filled behind the started window
// within 3 times the COPY of their rows (at 1k a few round trips outweigh
// the rows: no ratio there).
Target targetFor(const QString& what, const QString& size, bool server) {
    const bool at100k = size == QLatin1String("100k"), at1M = size == QLatin1String("1M");
    if (server) {
        if (what == QLatin1String("startup"))
            return {0, 150, 0, at100k || at1M ? 3.0 : 0};
        return at100k || at1M ? Target{3.0, 0, 400} : Target{};
    }
    if (listWindow(what)) {
        if (at100k)
            return {3.0, 100, 0};
        if (at1M && what == QLatin1String("item-picker"))
            return {0, 1000, 400};
        return {};
    }
    if (what == QLatin1String("find"))
        return at1M ? Target{0, 100, 0} : Target{};
    if (what == QLatin1String("refresh"))
        return at100k ? Target{3.0, 0, 150} : at1M ? Target{0, 3000, 600} : Target{};
    // The window paints before the tree is read, at any size.
    if (what == QLatin1String("startup"))
        return size == QLatin1String("empty") ? Target{} : Target{0, 150, 0};
    return {};
}

QString titleOf(const QString& what) {
    if (const ListWindow* w = listWindow(what))
        return QLatin1String(w->title);
    if (what == QLatin1String("find"))
        return QStringLiteral("item picker key");
    if (what == QLatin1String("refresh"))
        return QStringLiteral("refresh after save");
    return QStringLiteral("main window start");
}

QStringList everything() {
    QStringList all;
    for (const ListWindow& w : listWindows())
        all << QLatin1String(w.what);
    all << QStringLiteral("find") << QStringLiteral("refresh") << QStringLiteral("startup");
    return all;
}

// Starts the program's start-up `runs` times, taking turns with the floor
// (the tree's rows) read here.
Result measureStartupRuns(const QString& path, int runs, const QString& runtimeDir) {
    Samples s;
    std::vector<double> inProcessMs, filledMs, behindMs;
    double peak = 0;
    std::uint64_t checksum = 0;
    const TreeFloor rows = treeFloor(path, checksum);
    for (int run = 0; run < runs; ++run) {
        const auto floorStart = Steady::now();
        treeFloor(path, checksum);
        s.floorMs.push_back(msSince(floorStart));

        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.setProcessEnvironment(childEnvironment(runtimeDir));
        const std::int64_t startUs = epochMicroseconds();
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--measure-startup"), path});
        child.waitForFinished(-1);
        const Result r = parseResult(child.readAllStandardOutput());
        if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 || r.isEmpty())
            return {};
        s.ms.push_back((r["painted_us"] - double(startUs)) / 1000.0);
        inProcessMs.push_back((r["painted_us"] - r["main_us"]) / 1000.0);
        filledMs.push_back((r["filled_us"] - double(startUs)) / 1000.0);
        behindMs.push_back((r["filled_us"] - r["painted_us"]) / 1000.0);
        peak = std::max(peak, r["peak_mib"]);
    }
    return {{"rows", double(rows.items)},
            {"floor_ms", median(s.floorMs)},
            {"ms", median(s.ms)},
            {"min_ms", minimum(s.ms)},
            {"max_ms", maximum(s.ms)},
            {"in_process_ms", median(inProcessMs)},
            {"filled_ms", median(filledMs)},
            {"behind_ms", median(behindMs)},
            {"peak_mib", peak}};
}

struct Line {
    QString size, what;
    Result r;
};

bool printTable(const std::vector<Line>& lines, int runs, bool server, QTextStream& out) {
    out << "\nOpen until the list has painted (median of " << runs << "), against the floor ("
        << (server ? "libpq's COPY" : "plain SQLite read") << " of the same rows, median of "
        << runs << "):\n\n"
        << row({{"size", -6},
                {"window", -19},
                {"rows", 8},
                {"floor ms", 9},
                {"ms", 8},
                {"ratio", 6},
                {"1st ms", 7},
                {"peak MiB", 9},
                {"target", -28},
                {"", 0}});
    bool allMet = true;
    for (const Line& line : lines) {
        const Result& r = line.r;
        const Target target = targetFor(line.what, line.size, server);
        if (r.isEmpty()) {
            out << line.size << "  " << titleOf(line.what) << ": measurement failed\n";
            allMet = false;
            continue;
        }
        const double ratio = r["ms"] / std::max(r["floor_ms"], 0.001);
        const bool met = target.metBy(r);
        allMet = allMet && met;
        out << row({{line.size, -6},
                    {titleOf(line.what), -19},
                    {QString::number(qint64(r["rows"])), 8},
                    {number(r["floor_ms"]), 9},
                    {number(r["ms"]), 8},
                    {number(ratio, 2), 6},
                    {r.contains(QStringLiteral("first_ms")) ? number(r["first_ms"]) : "-", 7},
                    {number(r["peak_mib"]), 9},
                    {target.text(), -28},
                    {!target.any() ? QString()
                     : met         ? QStringLiteral("met")
                                   : "MISSED",
                     0}});
    }
    return allMet;
}

void printDetails(const std::vector<Line>& lines, bool server, QTextStream& out) {
    out << "\nSpread, and the parts of the keystroke and start-up figures:\n\n";
    for (const Line& line : lines) {
        const Result& r = line.r;
        if (r.isEmpty())
            continue;
        QString detail = QStringLiteral("%1..%2 ms").arg(number(r["min_ms"]), number(r["max_ms"]));
        if (line.what == QLatin1String("find"))
            detail += QStringLiteral(", keys \"c\" \"a\" bksp bksp: %1 %2 %3 %4 ms")
                          .arg(number(r["key0_ms"]), number(r["key1_ms"]), number(r["key2_ms"]),
                               number(r["key3_ms"]));
        if (line.what == QLatin1String("startup"))
            detail +=
                QStringLiteral(
                    ", of which main() to painted %1 ms; tree filled at %2 ms, "
                    "read behind the window %3 ms = %4x floor")
                    .arg(number(r["in_process_ms"]), number(r["filled_ms"]), number(r["behind_ms"]),
                         number(r["behind_ms"] / std::max(r["floor_ms"], 0.001), 2));
        out << row({{line.size, -6}, {titleOf(line.what), -19}, {detail, 0}});
    }
    out << (server
                ? "\nfloor: the same rows through libpq's COPY (SELECT ...) TO STDOUT, the\n"
                  "       item picker's on one session, start-up's (the tree's rows) each on a\n"
                  "       new one, as the program's read behind the window opens one\n"
                : "\nfloor: the same rows through the SQLite C API, opening the file included;\n"
                  "       Find: SELECT with LIKE on id and desc; start-up and refresh: the tree's "
                  "rows\n")
        << "ms: make the window, show it, until its list has painted (offscreen); Find: one\n"
           "    keystroke until the list has painted; start-up: process start until the main\n"
           "    window has first painted (the tree is read behind it); rows: what the list\n"
           "    shows (Find: after its first key)\n";
}

std::vector<RegisterShape> shapes(bool withMillion) {
    std::vector<RegisterShape> all = {registerShape(QStringLiteral("empty")),
                                      registerShape(QStringLiteral("1k")),
                                      registerShape(QStringLiteral("100k"))};
    if (withMillion)
        all.push_back(registerShape(QStringLiteral("1M")));
    return all;
}

// What a server is measured on: the main window's start and the item picker.
QStringList onServer() {
    return {QStringLiteral("startup"), QStringLiteral("item-picker")};
}

int drive(bool withMillion, int runs, const QString& keepDir, const QStringList& only,
          bool onAServer) {
    QTextStream out(stdout);
    QTemporaryDir temp;
    if (!keepDir.isEmpty())
        QDir().mkpath(keepDir);
    const QDir dir(keepDir.isEmpty() ? temp.path() : keepDir);

    out << "Registers:\n";
    out.flush();
    BenchServer server;
    if (onAServer && !server.start(out))
        return 2;
    std::vector<std::pair<RegisterShape, QString>> registers;
    for (const RegisterShape& shape : shapes(withMillion)) {
        if (onAServer && shape.name == QLatin1String("empty"))
            continue;
        const QString path =
            onAServer ? server.registerFor(dir, shape, out) : registerFor(dir, shape, out);
        out.flush();
        if (path.isEmpty())
            return 2;
        registers.push_back({shape, path});
    }

    std::vector<Line> lines;
    for (const auto& [shape, path] : registers) {
        for (const QString& what : !only.isEmpty() ? only : onAServer ? onServer() : everything()) {
            out << "  measuring " << titleOf(what) << " on " << shape.name << "\n";
            out.flush();
            const Result r =
                what == QLatin1String("startup")
                    ? measureStartupRuns(path, runs, temp.path())
                    : measureInChild({QStringLiteral("--measure"), path, QStringLiteral("--what"),
                                      what, QStringLiteral("--runs"), QString::number(runs)},
                                     temp.path());
            lines.push_back({shape.name, what, r});
        }
    }
    const bool allMet = printTable(lines, runs, onAServer, out);
    printDetails(lines, onAServer, out);
    return allMet ? 0 : 1;
}

void usage() {
    std::fprintf(stderr,
                 "usage: quarvel-bench-windows [--server] [--skip-1m] [--runs N] [--dir DIR]\n"
                 "                             [--only WHAT]\n"
                 "       quarvel-bench-windows --measure REGISTER --what WHAT [--runs N]\n"
                 "       quarvel-bench-windows --measure-startup REGISTER\n"
                 "  --server     the registers on a private PostgreSQL server: start-up and\n"
                 "               the item picker\n"
                 "  --skip-1m    leave out the register of 1M items\n"
                 "  --runs N     samples per measurement, default %d\n"
                 "  --dir DIR    keep the generated registers in DIR and reuse them later\n"
                 "  --only WHAT  measure only that (repeatable): %s\n",
                 kDefaultRuns, qPrintable(everything().join(QLatin1Char(' '))));
}

}  // namespace

int main(int argc, char** argv) {
    bool withMillion = true;
    bool onAServer = false;
    int runs = kDefaultRuns;
    QString measureFile, startupFile, keepDir, what;
    QStringList only;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--skip-1m") {
            withMillion = false;
        } else if (arg == "--server") {
            onAServer = true;
        } else if (arg == "--runs" && hasValue) {
            runs = std::max(1, QByteArray(argv[++i]).toInt());
        } else if (arg == "--measure" && hasValue) {
            measureFile = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--measure-startup" && hasValue) {
            startupFile = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--what" && hasValue) {
            what = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--only" && hasValue) {
            only << QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--dir" && hasValue) {
            keepDir = QString::fromLocal8Bit(argv[++i]);
        } else {
            usage();
            return 2;
        }
    }
    if (!startupFile.isEmpty())
        return measureStartup(startupFile, argv);
    if (!measureFile.isEmpty())
        return measure(measureFile, what, runs);
    for (const QString& w : only) {
        if (!(onAServer ? onServer() : everything()).contains(w)) {
            usage();
            return 2;
        }
    }
    QCoreApplication app(argc, argv);
    return drive(withMillion, runs, keepDir, only, onAServer);
}
