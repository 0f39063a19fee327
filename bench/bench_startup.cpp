// quarvel-bench-startup: when the program's windows appear, measured from
// outside the program on a virtual X display (Xvfb), as a user sees them:
// from starting the process until each window is mapped and has painted,
// for an empty Qt window (the yardstick), the splash, and the main window
// with its tree, handed over by the splash after its five seconds or at a
// click made as soon as the splash takes one.
//
//   quarvel-bench-startup [--runs N] [--dir DIR] [--size NAME] [--program PATH]
//
// The register (the 1M one unless --size names another: empty, 1k, 100k)
// is generated into DIR, or a temporary folder, as the other benchmarks make
// it. --program measures another build of quarvel (an older one, to
// compare). Needs Xvfb (the xvfb package). The tree is in once the main
// window's status line shows the test counts, which it writes when the tree
// comes; the window is seen through its pixels, nothing inside the program
// is asked.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "BenchSupport.h"

// Xlib's macros (Bool, Status, None) would break Qt's headers: after them.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

namespace {

using namespace Bench;

constexpr int kDefaultRuns = 5;
constexpr int kRunTimeoutMs = 30000;
constexpr int kClickEveryMs = 10;
const char* const kSplashTitle = "Quarvel";
const char* const kMainTitle = "Quarvel - Brackenlow";
const char* const kEmptyTitle = "Empty";

// --- The virtual display -------------------------------------------------------------

// Xvfb on a display number of its own; its root window black, so that a
// window that has not painted yet shows black.
class VirtualDisplay {
public:
    bool start(QTextStream& out) {
        xvfb_.setProgram(QStringLiteral("Xvfb"));
        xvfb_.setArguments(
            {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
             QStringLiteral("0"), QStringLiteral("1600x1200x24"), QStringLiteral("-br"),
             QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")});
        xvfb_.start();
        if (!xvfb_.waitForStarted(5000)) {
            out << "Xvfb did not start (install the xvfb package)\n";
            return false;
        }
        QByteArray number;
        while (!number.contains('\n') && xvfb_.waitForReadyRead(10000))
            number += xvfb_.readAllStandardOutput();
        if (!number.contains('\n')) {
            out << "Xvfb gave no display number\n";
            return false;
        }
        name_ = ":" + number.trimmed();
        return true;
    }
    ~VirtualDisplay() {
        xvfb_.terminate();
        if (!xvfb_.waitForFinished(5000))
            xvfb_.kill();
        xvfb_.waitForFinished(5000);
    }
    QByteArray name() const { return name_; }

private:
    QProcess xvfb_;
    QByteArray name_;
};

int ignoreXErrors(Display*, XErrorEvent*) {
    return 0;  // a window closed between its event and a look at it
}

// --- Looking at windows from outside ------------------------------------------------

struct Rgb {
    int r, g, b;
};

Rgb rgbAt(XImage* image, int x, int y) {
    const unsigned long p = XGetPixel(image, x, y);
    return {int((p >> 16) & 0xff), int((p >> 8) & 0xff), int(p & 0xff)};
}

// What a strip of a window shows: how many pixels are black (never
// painted), dark (text), light (a painted background).
struct Strip {
    int black = 0, dark = 0, light = 0, all = 0;
    bool painted() const { return all > 0 && black * 2 < all; }
    bool hasText() const { return painted() && dark >= 8 && light >= 8; }
};

class Screen {
public:
    explicit Screen(const QByteArray& name) : dpy_(XOpenDisplay(name.constData())) {
        if (!dpy_)
            return;
        XSetErrorHandler(ignoreXErrors);
        XSelectInput(dpy_, DefaultRootWindow(dpy_), SubstructureNotifyMask);
        utf8_ = XInternAtom(dpy_, "UTF8_STRING", False);
        netName_ = XInternAtom(dpy_, "_NET_WM_NAME", False);
    }
    ~Screen() {
        if (dpy_)
            XCloseDisplay(dpy_);
    }
    bool ok() const { return dpy_ != nullptr; }

    // The next top-level window mapped within waitMs, if any.
    std::optional<Window> nextMapped(int waitMs) {
        if (!XPending(dpy_)) {
            pollfd fd{ConnectionNumber(dpy_), POLLIN, 0};
            if (poll(&fd, 1, waitMs) <= 0)
                return std::nullopt;
        }
        while (XPending(dpy_)) {
            XEvent event;
            XNextEvent(dpy_, &event);
            if (event.type == MapNotify)
                return event.xmap.window;
        }
        return std::nullopt;
    }

    QByteArray title(Window w) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        QByteArray text;
        if (XGetWindowProperty(dpy_, w, netName_, 0, 1024, False, utf8_, &type, &format, &count,
                               &after, &data) == Success &&
            data) {
            text = QByteArray(reinterpret_cast<const char*>(data), int(count));
            XFree(data);
        }
        if (text.isEmpty()) {
            char* name = nullptr;
            if (XFetchName(dpy_, w, &name) && name) {
                text = name;
                XFree(name);
            }
        }
        return text;
    }

    // The strip along the bottom of the window (the main window's status
    // line), or a square at its centre.
    Strip bottomStrip(Window w) { return look(w, true); }
    Strip centre(Window w) { return look(w, false); }

    // A left click at (x, y) of the window, as the window system would send it.
    void click(Window w, int x, int y) {
        for (const int type : {ButtonPress, ButtonRelease}) {
            XEvent e{};
            e.xbutton.type = type;
            e.xbutton.display = dpy_;
            e.xbutton.window = w;
            e.xbutton.root = DefaultRootWindow(dpy_);
            e.xbutton.time = CurrentTime;
            e.xbutton.x = x;
            e.xbutton.y = y;
            e.xbutton.same_screen = True;
            e.xbutton.button = Button1;
            e.xbutton.state = type == ButtonRelease ? Button1Mask : 0;
            XSendEvent(dpy_, w, False, 0, &e);
        }
        XFlush(dpy_);
    }

private:
    Strip look(Window w, bool bottom) {
        Strip s;
        XWindowAttributes a;
        if (!XGetWindowAttributes(dpy_, w, &a) || a.map_state != IsViewable)
            return s;
        const int width = bottom ? std::min(a.width - 12, 400) : std::min(a.width, 64);
        const int height = bottom ? 12 : std::min(a.height, 64);
        const int x = bottom ? 6 : (a.width - width) / 2;
        const int y = bottom ? a.height - 18 : (a.height - height) / 2;
        if (width <= 0 || height <= 0 || y < 0)
            return s;
        XImage* image =
            XGetImage(dpy_, w, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
        if (!image)
            return s;
        for (int py = 0; py < height; ++py) {
            for (int px = 0; px < width; ++px) {
                const Rgb c = rgbAt(image, px, py);
                ++s.all;
                if (c.r == 0 && c.g == 0 && c.b == 0)
                    ++s.black;
                else if (c.r < 110 && c.g < 110 && c.b < 110)
                    ++s.dark;
                else if (c.r > 190 && c.g > 190 && c.b > 190)
                    ++s.light;
            }
        }
        XDestroyImage(image);
        return s;
    }

    Display* dpy_ = nullptr;
    Atom utf8_ = None;
    Atom netName_ = None;
};

// --- One start of a program ----------------------------------------------------------

// Milliseconds from the process start; negative: not seen.
struct Times {
    double mapped = -1;       // the first window: the splash, or the empty window
    double painted = -1;      // ... has painted
    double mainMapped = -1;   // the main window
    double mainPainted = -1;  // ... its status line has painted
    double filled = -1;       // ... and shows the test counts: the tree is in
};

enum class Start { Empty, HandOver, Click };

Times startOnce(Screen& screen, const QString& program, const QStringList& arguments,
                const QProcessEnvironment& env, Start how) {
    Times t;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    std::optional<Window> first, main;
    double lastClick = -kClickEveryMs;
    const QByteArray firstTitle = how == Start::Empty ? kEmptyTitle : kSplashTitle;

    const auto start = Steady::now();
    process.start();
    while (msSince(start) < kRunTimeoutMs) {
        if (const std::optional<Window> w = screen.nextMapped(1)) {
            const double at = msSince(start);
            const QByteArray title = screen.title(*w);
            if (!first && title == firstTitle) {
                first = w;
                t.mapped = at;
            } else if (!main && title == kMainTitle) {
                main = w;
                t.mainMapped = at;
            }
        }
        if (first && t.painted < 0 && screen.centre(*first).painted())
            t.painted = msSince(start);
        if (how == Start::Empty) {
            if (t.painted >= 0)
                break;
            continue;
        }
        if (how == Start::Click && first && !main && msSince(start) - lastClick >= kClickEveryMs) {
            lastClick = msSince(start);
            screen.click(*first, 100, 100);  // on the artwork
        }
        if (main) {
            const Strip status = screen.bottomStrip(*main);
            const double at = msSince(start);
            if (t.mainPainted < 0 && status.painted())
                t.mainPainted = at;
            if (status.hasText()) {
                t.filled = at;
                break;
            }
        }
    }
    process.kill();
    process.waitForFinished(5000);
    return t;
}

// --- The table -------------------------------------------------------------------------

struct Column {
    std::vector<double> values;
    void add(double v) {
        if (v >= 0)
            values.push_back(v);
    }
    QString text() const {
        if (values.empty())
            return QStringLiteral("-");
        return QStringLiteral("%1 (%2..%3)")
            .arg(number(median(values)), number(minimum(values), 0), number(maximum(values), 0));
    }
    double mid() const { return values.empty() ? -1 : median(values); }
};

struct Measures {
    Column mapped, painted, mainMapped, mainPainted, filled;
    int filledAtFirstPaint = 0, runs = 0;
    void add(const Times& t) {
        ++runs;
        mapped.add(t.mapped);
        painted.add(t.painted);
        mainMapped.add(t.mainMapped);
        mainPainted.add(t.mainPainted);
        filled.add(t.filled);
        if (t.filled >= 0 && t.filled == t.mainPainted)
            ++filledAtFirstPaint;
    }
};

void printLine(QTextStream& out, const QString& what, const Column& mapped, const Column& painted) {
    out << row({{what, -34}, {mapped.text(), 24}, {painted.text(), 24}});
}

bool writeSettings(const QDir& config) {
    QDir().mkpath(config.filePath(QStringLiteral("Quarvel")));
    QFile file(config.filePath(QStringLiteral("Quarvel/Quarvel.conf")));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // The printers were chosen, so the splash does not open the chooser.
    file.write("[Settings]\nPrinter=Bench\nSPrinter=Bench\nLPrinter=Bench\n");
    return true;
}

int run(int runs, const QString& keepDir, const QString& size, const QString& program) {
    QTextStream out(stdout);
    QTemporaryDir temp;
    if (!keepDir.isEmpty())
        QDir().mkpath(keepDir);
    const QDir dir(keepDir.isEmpty() ? temp.path() : keepDir);
    const RegisterShape shape = registerShape(size);
    if (shape.name.isEmpty()) {
        out << "unknown size " << size << "\n";
        return 2;
    }
    out << "Registers:\n";
    const QString path = registerFor(dir, shape, out);
    if (path.isEmpty())
        return 2;

    VirtualDisplay display;
    if (!display.start(out))
        return 2;
    Screen screen(display.name());
    if (!screen.ok()) {
        out << "cannot open display " << display.name() << "\n";
        return 2;
    }
    const QDir home(temp.filePath(QStringLiteral("home")));
    QDir().mkpath(home.filePath(QStringLiteral("runtime")));
    QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (!writeSettings(QDir(home.filePath(QStringLiteral("config"))))) {
        out << "cannot write the settings\n";
        return 2;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display.name()));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
    // No session bus for either program: none is started for them.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
               QStringLiteral("unix:path=") + home.filePath(QStringLiteral("no-bus")));

    const QStringList quarvelArgs = {QStringLiteral("--register"), path};
    Measures empty, handOver, click;
    out << "\n" << runs << " runs of each, in turn (ms from the process start):\n";
    out.flush();
    for (int r = 0; r < runs; ++r) {
        empty.add(startOnce(screen, QStringLiteral(QUARVEL_EMPTY_WINDOW), {}, env, Start::Empty));
        handOver.add(startOnce(screen, program, quarvelArgs, env, Start::HandOver));
        click.add(startOnce(screen, program, quarvelArgs, env, Start::Click));
    }

    Column splashMapped = handOver.mapped, splashPainted = handOver.painted;
    for (double v : click.mapped.values)
        splashMapped.add(v);
    for (double v : click.painted.values)
        splashPainted.add(v);
    out << "\nregister " << shape.name << " (" << shape.items << " items), median (min..max)\n\n"
        << row({{QStringLiteral("window"), -34},
                {QStringLiteral("mapped ms"), 24},
                {QStringLiteral("painted ms"), 24}});
    printLine(out, QStringLiteral("empty Qt window"), empty.mapped, empty.painted);
    printLine(out, QStringLiteral("splash"), splashMapped, splashPainted);
    printLine(out, QStringLiteral("main window, hand-over after 5 s"), handOver.mainMapped,
              handOver.mainPainted);
    printLine(out, QStringLiteral("main window, click at once"), click.mainMapped,
              click.mainPainted);
    out << "\n"
        << row({{QStringLiteral("tree in (status line counts)"), -34},
                {QStringLiteral("ms"), 24},
                {QStringLiteral("at first paint"), 24}})
        << row({{QStringLiteral("hand-over after 5 s"), -34},
                {handOver.filled.text(), 24},
                {QStringLiteral("%1 of %2").arg(handOver.filledAtFirstPaint).arg(handOver.runs),
                 24}})
        << row({{QStringLiteral("click at once"), -34},
                {click.filled.text(), 24},
                {QStringLiteral("%1 of %2").arg(click.filledAtFirstPaint).arg(click.runs), 24}});

    const double ratio = splashMapped.mid() / empty.mapped.mid();
    const bool splashMet = splashMapped.mid() >= 0 && empty.mapped.mid() > 0 && ratio <= 1.5;
    const bool filledMet = handOver.filledAtFirstPaint == handOver.runs;
    out << "\nsplash mapped " << number(ratio, 2)
        << "x the empty window (target <= 1.5x): " << (splashMet ? "met" : "MISSED") << "\n"
        << "main window filled at its first paint after the 5 s hand-over: "
        << (filledMet ? "met" : "MISSED") << "\n";
    return splashMet && filledMet ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int runs = kDefaultRuns;
    QString dir, size = QStringLiteral("1M"), program = QStringLiteral(QUARVEL_PROGRAM);
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--runs") && hasValue)
            runs = std::max(1, args[++i].toInt());
        else if (a == QLatin1String("--dir") && hasValue)
            dir = args[++i];
        else if (a == QLatin1String("--size") && hasValue)
            size = args[++i];
        else if (a == QLatin1String("--program") && hasValue)
            program = args[++i];
        else {
            std::fprintf(stderr,
                         "usage: quarvel-bench-startup [--runs N] [--dir DIR] [--size NAME] "
                         "[--program PATH]\n");
            return 2;
        }
    }
    return run(runs, dir, size, program);
}
