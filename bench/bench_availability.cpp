// quarvel-bench-availability: the Availability window on the 1M register
// with 5,000 dated lists ("1M-dated"):
//
//  - first paint: the window made and shown until its timeline has painted
//    (the count of the items, the rows in view and their bookings read);
//  - scrolls until painted: a line down, a page down, a jump to the middle
//    and one to the end of a million rows;
//  - free only: the box ticked until painted, for every item and for one
//    category (the answer counted over a million items);
//  - rows read: how many items the timeline asked the store for in all.
//
// Targets: first paint under 300 ms, a scroll by a line or a page under
// 100 ms, a jump under 300 ms, the free-only answer under a second. Medians of --runs runs; the program exits with 1
// when a target is missed.
//
// Usage: quarvel-bench-availability [--server] [--dir FOLDER] [--runs N]

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>

#include "BenchSupport.h"
#include "availability/BookingTimeline.h"
#include "availability/frmAvailability.h"
#include "common/Clock.h"

using namespace Bench;

namespace {

// The generated jobs go out in 2027: the window opens on a June day.
class JuneClock : public Clock {
public:
    QDate today() const override { return QDate(2027, 6, 1); }
    QDateTime now() const override { return QDateTime(today(), QTime(9, 0)); }
};

struct Figures {
    std::vector<double> firstPaint, line, page, middle, end, freeAll, freeCategory;
    qint64 rowsRead = 0, items = 0, freeItems = 0, freeInCategory = 0;
};

void measureOnce(AppContext& ctx, Figures& f) {
    const auto start = Steady::now();
    frmAvailability window(ctx);
    PaintCounter painted(window.Timeline1->viewport());
    window.show();
    waitForPaint(painted, 0);
    f.firstPaint.push_back(msSince(start));
    f.items = window.Timeline1->rowCount();

    QScrollBar* bar = window.Timeline1->verticalScrollBar();
    f.line.push_back(
        msUntilPainted(painted, [bar] { bar->triggerAction(QScrollBar::SliderSingleStepAdd); }));
    f.page.push_back(
        msUntilPainted(painted, [bar] { bar->triggerAction(QScrollBar::SliderPageStepAdd); }));
    f.middle.push_back(msUntilPainted(painted, [bar] { bar->setValue(bar->maximum() / 2); }));
    f.end.push_back(msUntilPainted(painted, [bar] { bar->setValue(bar->maximum()); }));

    f.freeAll.push_back(
        msUntilPainted(painted, [&window] { window.chkFreeOnly->setChecked(true); }));
    f.freeItems = window.Timeline1->rowCount();
    f.freeCategory.push_back(
        msUntilPainted(painted, [&window] { window.cboCategory->setCurrentIndex(1); }));
    f.freeInCategory = window.Timeline1->rowCount();
    f.rowsRead = window.Timeline1->itemsRead();
}

bool measure(const QString& location, int runs, QTextStream& out) {
    QTemporaryDir settings;
    Services services = benchServices(location, settings.filePath(QStringLiteral("settings.ini")),
                                      std::make_shared<ConsoleDialogs>());
    services.clock = std::make_shared<JuneClock>();
    AppContext ctx(services);
    Figures f;
    for (int run = 0; run < runs; ++run)
        measureOnce(ctx, f);

    out << "Availability window, " << (isServer(location) ? "server" : "file")
        << ", 1M items, 5,000 dated lists, 1/6/2027 to 28/6/2027; median (min..max) ms of " << runs
        << " runs\n";
    bool met = true;
    const auto line = [&](const char* what, const std::vector<double>& ms, double target) {
        const bool ok = median(ms) < target;
        met &= ok;
        out << row({{QString::fromLatin1(what), -34},
                    {number(median(ms)), 9},
                    {number(minimum(ms)) + QStringLiteral("..") + number(maximum(ms)), 16},
                    {QStringLiteral("< %1 ms").arg(target), 12},
                    {ok ? QStringLiteral("met") : QStringLiteral("MISSED"), 7}});
    };
    line("first paint", f.firstPaint, 300);
    line("scroll a line", f.line, 100);
    line("scroll a page", f.page, 100);
    // A jump far down skips the rows above it in the store: no smooth
    // scroll, but no slower than the window's first paint may be.
    line("jump to the middle", f.middle, 300);
    line("jump to the end", f.end, 300);
    line("free only, every item", f.freeAll, 1000);
    line("free only, one category", f.freeCategory, 1000);
    out << "items " << f.items << ", free " << f.freeItems << ", free in the first category "
        << f.freeInCategory << "; rows read by the last run's timeline " << f.rowsRead << "\n";
    out.flush();
    return met;
}

}  // namespace

int main(int argc, char** argv) {
    useOffscreenPlatform();
    QApplication app(argc, argv);
    QString keep;
    int runs = 5;
    bool server = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--dir") && i + 1 < args.size())
            keep = args[++i];
        else if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--server"))
            server = true;
    }
    QTemporaryDir temporary;
    const QDir dir(keep.isEmpty() ? temporary.path() : keep);
    QDir().mkpath(dir.path());
    QTextStream out(stdout);
    const RegisterShape shape = registerShape(QStringLiteral("1M-dated"));
    if (server) {
        BenchServer postgres;
        if (!postgres.start(out))
            return 2;
        const QString location = postgres.registerFor(dir, shape, out);
        return !location.isEmpty() && measure(location, runs, out) ? 0 : 1;
    }
    const QString file = registerFor(dir, shape, out);
    return !file.isEmpty() && measure(file, runs, out) ? 0 : 1;
}
