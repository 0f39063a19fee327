// quarvel-bench-device: how long the download to a handheld takes next to a
// plain copy of the same register file.
//
//   quarvel-bench-device [--runs N] [--dir DIR]
//
// Generates the 100k and 1M registers (or reuses them from DIR), then times,
// taking turns, std::filesystem::copy_file of the register and
// DESKTOPTODEVICE from the adofiltr library loaded through QLibrary, with
// QUARVEL_DEVICE_ROOT at a temporary folder. Exits 1 when the download takes
// more than 3 times the copy.
//
// The download puts its file on disk before it replaces the old one; the
// plain copy stays in the page cache. A third figure, a copy through
// QSaveFile (which syncs before its rename), shows how much of the
// difference that is; it has no target.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "RegisterGenerator.h"
#include "device/adofiltr/DeviceCodes.h"

namespace fs = std::filesystem;

namespace {

constexpr int kDefaultRuns = 5;
constexpr double kMaxRatio = 3.0;
const char* const kDevicePath = "\\My Documents\\data.cdb";

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

fs::path pathOf(const QString& path) {
    return fs::path(path.toStdU16String());
}

// The register file for a shape: generated once into dir and reused when kept.
QString registerFor(const QDir& dir, const RegisterShape& shape, QTextStream& out) {
    const QString path = dir.filePath(QStringLiteral("bench-%1.mdb").arg(shape.name));
    QString error;
    if (!QFileInfo::exists(path) && !generateRegister(path, shape, nullptr, &error)) {
        out << shape.name << ": cannot generate " << path << ": " << error << "\n";
        return {};
    }
    return path;
}

// A copy that is on disk when it returns, as the download's is.
bool syncedCopy(const QString& from, const QString& to) {
    QFile in(from);
    QSaveFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    while (!in.atEnd())
        out.write(in.read(1 << 20));
    return out.commit();
}

struct Timing {
    double copyMs = 0, downloadMs = 0, syncedCopyMs = 0;
    int code = DEVICE_OK;  // the first download that failed
};

// Copies and downloads take turns, so both see the same machine load; each
// writes a new file, as a first download to a device would.
Timing timeRegister(DesktopToDeviceFunction download, const QString& desktop,
                    const QString& deviceRoot, int runs) {
    const QString copy = deviceRoot + QStringLiteral("/copy.mdb");
    const QString synced = deviceRoot + QStringLiteral("/synced.mdb");
    const QString downloaded = deviceRoot + QStringLiteral("/My Documents/data.cdb");
    const QByteArray desktopName = desktop.toLocal8Bit();
    std::vector<double> copyMs, downloadMs, syncedMs;
    Timing timing;
    for (int run = 0; run < runs && timing.code == DEVICE_OK; ++run) {
        for (const QString& file : {copy, synced, downloaded})
            QFile::remove(file);
        auto start = std::chrono::steady_clock::now();
        fs::copy_file(pathOf(desktop), pathOf(copy));
        copyMs.push_back(msSince(start));
        start = std::chrono::steady_clock::now();
        timing.code = download(desktopName.constData(), "", 0, 0, kDevicePath);
        downloadMs.push_back(msSince(start));
        start = std::chrono::steady_clock::now();
        if (!syncedCopy(desktop, synced))
            timing.code = DEVICE_FAILED;
        syncedMs.push_back(msSince(start));
    }
    timing.copyMs = median(copyMs);
    timing.downloadMs = median(downloadMs);
    timing.syncedCopyMs = median(syncedMs);
    return timing;
}

int run(int runs, const QString& keepDir) {
    QTextStream out(stdout);
    QLibrary library(QStringLiteral(ADOFILTR_PATH));
    const auto download =
        reinterpret_cast<DesktopToDeviceFunction>(library.resolve("DESKTOPTODEVICE"));
    if (!download) {
        out << "cannot load " << library.fileName() << ": " << library.errorString() << "\n";
        return 2;
    }
    QTemporaryDir temp, device;
    if (!keepDir.isEmpty())
        QDir().mkpath(keepDir);
    const QDir dir(keepDir.isEmpty() ? temp.path() : keepDir);
    qputenv("QUARVEL_DEVICE_ROOT", device.path().toLocal8Bit());

    out << "Download (DESKTOPTODEVICE) against a plain file copy (copy_file), median of " << runs
        << ":\n\n"
        << QStringLiteral("%1  %2  %3  %4  %5  %6\n")
               .arg(QStringLiteral("register"), -8)
               .arg(QStringLiteral("MiB"), 5)
               .arg(QStringLiteral("copy ms"), 8)
               .arg(QStringLiteral("download ms"), 12)
               .arg(QStringLiteral("ratio"), 6)
               .arg(QStringLiteral("synced copy ms"), 15);
    out.flush();
    bool allMet = true;
    for (const char* name : {"100k", "1M"}) {
        const QString desktop = registerFor(dir, registerShape(QString::fromLatin1(name)), out);
        if (desktop.isEmpty())
            return 2;
        const Timing t = timeRegister(download, desktop, device.path(), runs);
        if (t.code != DEVICE_OK) {
            out << name << ": failed with code " << t.code << "\n";
            return 2;
        }
        const double ratio = t.downloadMs / std::max(t.copyMs, 0.001);
        allMet = allMet && ratio <= kMaxRatio;
        out << QStringLiteral("%1  %2  %3  %4  %5  %6\n")
                   .arg(QString::fromLatin1(name), -8)
                   .arg(QFileInfo(desktop).size() / 1048576.0, 5, 'f', 0)
                   .arg(t.copyMs, 8, 'f', 1)
                   .arg(t.downloadMs, 12, 'f', 1)
                   .arg(ratio, 6, 'f', 2)
                   .arg(t.syncedCopyMs, 15, 'f', 1);
        out.flush();
    }
    out << "\ntarget: download <= " << kMaxRatio << "x copy: " << (allMet ? "met" : "MISSED")
        << "\nsynced copy: through QSaveFile, which syncs before its rename (no target)\n";
    return allMet ? 0 : 1;
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
                         "usage: quarvel-bench-device [--runs N] [--dir DIR]\n"
                         "  --runs N    copies and downloads per register, default %d\n"
                         "  --dir DIR   keep the generated registers in DIR and reuse them\n",
                         kDefaultRuns);
            return 2;
        }
    }
    return run(runs, keepDir);
}
