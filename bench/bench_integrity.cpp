// quarvel-bench-integrity: how long the damage checks of a large register take.
//
//   quarvel-bench-integrity [--runs N] [--dir DIR]
//
// Generates the 100k and 1M registers (or reuses them from DIR) and times the
// store's quick check and its full check (which the first write of a run
// waits for: once a day on a thread of its own after the main window is
// painted, before the first write on the command line), then the command
// line's `--import` of one line and `--scan` of one code on a copy of the
// register, the full check among them (the day's backup taken before);
// median of N runs each, the file in the page cache.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "RegisterGenerator.h"
#include "cli/CommandLine.h"
#include "cli/ScanCommand.h"
#include "cli/TransferCommands.h"
#include "data/Register.h"

namespace {

constexpr int kDefaultRuns = 3;

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

// Each run's check on a store of its own, so nothing is remembered between
// runs; -1 when a run fails.
template <class Run>
double timed(int runs, const Run& succeeds) {
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        if (!succeeds())
            return -1;
        ms.push_back(msSince(start));
    }
    return median(ms);
}

// A file of `text` in the folder, for the command line to read.
QString written(const QDir& dir, const QString& name, const QByteArray& text) {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return {};
    return file.fileName();
}

// The command line's runs on a copy of the register, each a new store as a
// new process would have; their messages go nowhere.
struct CommandRuns {
    RegisterLocation copy;
    QString csv;
    QString codes;
    QString settings;

    bool import() const {
        QString ignored;
        QTextStream err(&ignored);
        return TransferCommands::run({QStringLiteral("--import"), csv}, copy, settings, err) == 0;
    }
    bool scan() const {
        QString ignored;
        QTextStream out(&ignored);
        const CommandLine line({QStringLiteral("quarvel"), QStringLiteral("--scan"), codes,
                                QStringLiteral("--stocktake"), QStringLiteral("Bench bay")});
        return ScanCommand::run(line, copy, settings, QStringLiteral("bench"), out, out) == 0;
    }
};

int run(int runs, const QString& keepDir) {
    QTextStream out(stdout);
    QTemporaryDir temp;
    if (!keepDir.isEmpty())
        QDir().mkpath(keepDir);
    const QDir dir(keepDir.isEmpty() ? temp.path() : keepDir);
    out << "Damage checks of a register, and the command line's first write, median of " << runs
        << " (ms):\n\n"
        << QStringLiteral("%1  %2  %3  %4  %5  %6\n")
               .arg(QStringLiteral("register"), -8)
               .arg(QStringLiteral("MiB"), 5)
               .arg(QStringLiteral("quick"), 8)
               .arg(QStringLiteral("full"), 8)
               .arg(QStringLiteral("--import"), 8)
               .arg(QStringLiteral("--scan"), 8);
    out.flush();
    for (const char* name : {"100k", "1M"}) {
        const RegisterShape shape = registerShape(QString::fromLatin1(name));
        const QString path = dir.filePath(QStringLiteral("bench-%1.mdb").arg(shape.name));
        QString error;
        if (!QFileInfo::exists(path) && !generateRegister(path, shape, nullptr, &error)) {
            out << name << ": cannot generate " << path << ": " << error << "\n";
            return 2;
        }
        const RegisterLocation location = RegisterLocation::file(path);
        const auto sound = [](Register::Health found) { return found == Register::Health::Sound; };
        const double quick =
            timed(runs, [&] { return sound(Register(location).checkForDamage()); });
        const double full =
            timed(runs, [&] { return sound(Register::fullCheck(location, 10000)); });
        if (quick < 0 || full < 0) {
            out << name << ": the check did not find the register sound\n";
            return 2;
        }
        const QString copy = temp.filePath(QStringLiteral("writes-%1.mdb").arg(shape.name));
        QFile::remove(copy);
        const CommandRuns commands{RegisterLocation::file(copy),
                                   written(temp.path(), QStringLiteral("one.csv"),
                                           "desc,warehouseloc\nBench import,Bench bay\n"),
                                   written(temp.path(), QStringLiteral("codes.txt"), "1\n"),
                                   temp.filePath(QStringLiteral("settings.ini"))};
        if (!QFile::copy(path, copy) || commands.csv.isEmpty() || commands.codes.isEmpty()) {
            out << name << ": cannot write beside " << copy << "\n";
            return 2;
        }
        // The day's backup, which the first write of a day takes, is taken
        // before the runs are timed.
        const double import =
            commands.import() ? timed(runs, [&] { return commands.import(); }) : -1;
        const double scan = timed(runs, [&] { return commands.scan(); });
        QFile::remove(copy);
        if (import < 0 || scan < 0) {
            out << name << ": the command line did not write to the register\n";
            return 2;
        }
        out << QStringLiteral("%1  %2  %3  %4  %5  %6\n")
                   .arg(QString::fromLatin1(name), -8)
                   .arg(QFileInfo(path).size() / 1048576.0, 5, 'f', 0)
                   .arg(quick, 8, 'f', 0)
                   .arg(full, 8, 'f', 0)
                   .arg(import, 8, 'f', 0)
                   .arg(scan, 8, 'f', 0);
        out.flush();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int runs = kDefaultRuns;
    QString keepDir;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, QByteArray(argv[++i]).toInt());
        } else if (arg == "--dir" && i + 1 < argc) {
            keepDir = QString::fromLocal8Bit(argv[++i]);
        } else {
            std::fprintf(stderr,
                         "usage: quarvel-bench-integrity [--runs N] [--dir DIR]\n"
                         "  --runs N    checks per register, default %d\n"
                         "  --dir DIR   keep the generated registers in DIR and reuse them\n",
                         kDefaultRuns);
            return 2;
        }
    }
    return run(runs, keepDir);
}
