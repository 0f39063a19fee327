// quarvel-bench-device: how long the download to a handheld takes next to a
// copy of the same register file that is synced before its rename.
//
//   quarvel-bench-device [--runs N] [--dir DIR]
//
// Generates the 100k and 1M registers (or reuses them from DIR), runs the
// program's full check of each once (Register::fullCheck, which remembers the
// state it found sound), then times, taking turns:
//   - copy: std::filesystem::copy_file of the register (page cache only);
//   - synced copy: the same bytes through QSaveFile, which syncs the file
//     before its rename, as the download must;
//   - download: DESKTOPTODEVICECHECKED from the adofiltr library loaded
//     through QLibrary, answered from the states the full check found
//     sound, as the download window calls it;
//   - unchecked download: DESKTOPTODEVICE, which knows of no check and
//     checks the device file in full (the first download of a state that no
//     check has seen).
// QUARVEL_DEVICE_ROOT points at a temporary folder. Exits 1 when the
// download takes more than 1.5 times the synced copy.

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
#include "adofiltr/DeviceCodes.h"
#include "data/Register.h"
#include "data/engine/SoundStates.h"

namespace fs = std::filesystem;

namespace {

constexpr int kDefaultRuns = 5;
constexpr double kMaxRatio = 1.5;
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

// The download window's answers: the states the program's full check found sound.
struct Answers {
    SoundStates sound;

    static Sqlite::FileState stateOf(const QuarvelFileState* state) {
        return {QString::fromUtf8(state->file), state->size,     state->modifiedMs, state->bornMs,
                state->changeCounter,           state->pageCount};
    }
    static std::int32_t knownSound(void* context, const QuarvelFileState* state) {
        return static_cast<Answers*>(context)->sound.holds(stateOf(state)) ? 1 : 0;
    }
    static void foundSound(void* context, const QuarvelFileState* state) {
        static_cast<Answers*>(context)->sound.remember(stateOf(state));
    }
};

struct Entries {
    DesktopToDeviceCheckedFunction checked = nullptr;
    DesktopToDeviceFunction unchecked = nullptr;
};

struct Timing {
    double copyMs = 0, syncedCopyMs = 0, downloadMs = 0, uncheckedMs = 0;
    int code = DEVICE_OK;  // the first download that failed
};

// Copies and downloads take turns, so all see the same machine load; each
// writes a new file, as a first download to a device would.
Timing timeRegister(const Entries& entries, Answers& answers, const QString& desktop,
                    const QString& deviceRoot, int runs) {
    const QString copy = deviceRoot + QStringLiteral("/copy.mdb");
    const QString synced = deviceRoot + QStringLiteral("/synced.mdb");
    const QString downloaded = deviceRoot + QStringLiteral("/My Documents/data.cdb");
    const QByteArray desktopName = desktop.toLocal8Bit();
    std::vector<double> copyMs, syncedMs, downloadMs, uncheckedMs;
    Timing timing;
    for (int run = 0; run < runs && timing.code == DEVICE_OK; ++run) {
        for (const QString& file : {copy, synced, downloaded})
            QFile::remove(file);
        auto start = std::chrono::steady_clock::now();
        fs::copy_file(pathOf(desktop), pathOf(copy));
        copyMs.push_back(msSince(start));
        start = std::chrono::steady_clock::now();
        if (!syncedCopy(desktop, synced))
            timing.code = DEVICE_FAILED;
        syncedMs.push_back(msSince(start));
        start = std::chrono::steady_clock::now();
        const int code = entries.checked(desktopName.constData(), "", 0, 0, kDevicePath, nullptr,
                                         &Answers::knownSound, &Answers::foundSound, &answers);
        downloadMs.push_back(msSince(start));
        timing.code = timing.code == DEVICE_OK ? code : timing.code;
        QFile::remove(downloaded);
        start = std::chrono::steady_clock::now();
        const int uncheckedCode = entries.unchecked(desktopName.constData(), "", 0, 0, kDevicePath);
        uncheckedMs.push_back(msSince(start));
        timing.code = timing.code == DEVICE_OK ? uncheckedCode : timing.code;
    }
    timing.copyMs = median(copyMs);
    timing.syncedCopyMs = median(syncedMs);
    timing.downloadMs = median(downloadMs);
    timing.uncheckedMs = median(uncheckedMs);
    return timing;
}

int run(int runs, const QString& keepDir) {
    QTextStream out(stdout);
    QLibrary library(QStringLiteral(ADOFILTR_PATH));
    Entries entries;
    entries.checked =
        reinterpret_cast<DesktopToDeviceCheckedFunction>(library.resolve("DESKTOPTODEVICECHECKED"));
    entries.unchecked =
        reinterpret_cast<DesktopToDeviceFunction>(library.resolve("DESKTOPTODEVICE"));
    if (!entries.checked || !entries.unchecked) {
        out << "cannot load " << library.fileName() << ": " << library.errorString() << "\n";
        return 2;
    }
    QTemporaryDir temp, device;
    if (!keepDir.isEmpty())
        QDir().mkpath(keepDir);
    const QDir dir(keepDir.isEmpty() ? temp.path() : keepDir);
    qputenv("QUARVEL_DEVICE_ROOT", device.path().toLocal8Bit());

    out << "Download after the program's full check against a synced copy, median of " << runs
        << ":\n\n"
        << QStringLiteral("%1  %2  %3  %4  %5  %6  %7\n")
               .arg(QStringLiteral("register"), -8)
               .arg(QStringLiteral("MiB"), 5)
               .arg(QStringLiteral("copy ms"), 8)
               .arg(QStringLiteral("synced ms"), 10)
               .arg(QStringLiteral("download ms"), 12)
               .arg(QStringLiteral("ratio"), 6)
               .arg(QStringLiteral("unchecked ms"), 13);
    out.flush();
    bool allMet = true;
    for (const char* name : {"100k", "1M"}) {
        const QString desktop = registerFor(dir, registerShape(QString::fromLatin1(name)), out);
        if (desktop.isEmpty())
            return 2;
        Answers answers;
        if (Register::fullCheck(RegisterLocation::file(desktop),
                                Sqlite::Connection::kDefaultBusyWaitMs, {},
                                &answers.sound) != Register::Health::Sound) {
            out << name << ": the full check does not find " << desktop << " sound\n";
            return 2;
        }
        const Timing t = timeRegister(entries, answers, desktop, device.path(), runs);
        if (t.code != DEVICE_OK) {
            out << name << ": failed with code " << t.code << "\n";
            return 2;
        }
        const double ratio = t.downloadMs / std::max(t.syncedCopyMs, 0.001);
        allMet = allMet && ratio <= kMaxRatio;
        out << QStringLiteral("%1  %2  %3  %4  %5  %6  %7\n")
                   .arg(QString::fromLatin1(name), -8)
                   .arg(QFileInfo(desktop).size() / 1048576.0, 5, 'f', 0)
                   .arg(t.copyMs, 8, 'f', 1)
                   .arg(t.syncedCopyMs, 10, 'f', 1)
                   .arg(t.downloadMs, 12, 'f', 1)
                   .arg(ratio, 6, 'f', 2)
                   .arg(t.uncheckedMs, 13, 'f', 1);
        out.flush();
    }
    out << "\ntarget: download <= " << kMaxRatio << "x synced copy: " << (allMet ? "met" : "MISSED")
        << "\ncopy: copy_file, left in the page cache; synced: QSaveFile, synced before its "
           "rename\nunchecked: DESKTOPTODEVICE, the device file checked in full (no target)\n";
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
