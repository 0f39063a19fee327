// quarvel-bench-integrity: how long the damage checks of a large register take.
//
//   quarvel-bench-integrity [--runs N] [--dir DIR]
//
// Generates the 100k and 1M registers (or reuses them from DIR) and times the
// store's quick check (run before the first write of a run) and its full
// check (run once a day on a thread of its own after the main window is
// painted), median of N runs each, the file in the page cache.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "RegisterGenerator.h"
#include "data/Store.h"

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

// Each run's check on a store of its own, so nothing is remembered between runs.
template <class Check>
double timed(int runs, const Check& check) {
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        if (check() != Store::Health::Sound)
            return -1;
        ms.push_back(msSince(start));
    }
    return median(ms);
}

int run(int runs, const QString& keepDir) {
    QTextStream out(stdout);
    QTemporaryDir temp;
    if (!keepDir.isEmpty())
        QDir().mkpath(keepDir);
    const QDir dir(keepDir.isEmpty() ? temp.path() : keepDir);
    out << "Damage checks of a register, median of " << runs << " (ms):\n\n"
        << QStringLiteral("%1  %2  %3  %4\n")
               .arg(QStringLiteral("register"), -8)
               .arg(QStringLiteral("MiB"), 5)
               .arg(QStringLiteral("quick"), 8)
               .arg(QStringLiteral("full"), 8);
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
        const double quick = timed(runs, [&] { return Store(location).checkForDamage(); });
        const double full = timed(runs, [&] { return Store::fullCheck(location, 10000); });
        if (quick < 0 || full < 0) {
            out << name << ": the check did not find the register sound\n";
            return 2;
        }
        out << QStringLiteral("%1  %2  %3  %4\n")
                   .arg(QString::fromLatin1(name), -8)
                   .arg(QFileInfo(path).size() / 1048576.0, 5, 'f', 0)
                   .arg(quick, 8, 'f', 0)
                   .arg(full, 8, 'f', 0);
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
