// CSV import and export of a large register against the sqlite3 shell's own
// .import and -csv output of the same file and rows, with the peak memory of
// each (import and export run in processes of their own).
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

#include "BenchSupport.h"
#include "data/Store.h"
#include "data/transfer/CsvExport.h"
#include "data/transfer/CsvWriter.h"
#include "data/transfer/ItemImport.h"

namespace {

const char* const kUsage =
    "Usage: quarvel-bench-csv [--items N] [--runs R] [--dir FOLDER]\n"
    "Imports a generated CSV file of N items (default 1000000) into an empty register and\n"
    "exports them again, against sqlite3's .import and -csv output of the same file and\n"
    "rows, R turns each (default 3; the quickest counts). FOLDER keeps the generated\n"
    "file for the next run.\n";

// Every column of Items, realistic values; about one note in ten needs quotes.
bool writeItems(const QString& path, qint64 count) {
    CsvWriter csv(path);
    if (!csv.open())
        return false;
    csv.record(Store::exportColumns(ExportKind::Items));
    const char* const categories[] = {"Audio",   "Lighting", "Rigging", "Power",
                                      "Staging", "Video",    "Cable",   "Truss"};
    const char* const makers[] = {"Yamaha", "Martin", "CM Lodestar", "Harting", "Litec", "Sony"};
    std::uint64_t seed = 20090105;
    const auto random = [&seed](int below) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return int((seed >> 33) % std::uint64_t(below));
    };
    const auto date = [&random] {
        return QStringLiteral("%1/%2/%3")
            .arg(1 + random(28))
            .arg(1 + random(12))
            .arg(1995 + random(30));
    };
    for (qint64 id = 1; id <= count; ++id) {
        const bool inCase = random(2) == 0;
        csv.record({QString::number(id), QStringLiteral("Item %1").arg(id),
                    QLatin1String(categories[random(8)]), QLatin1String(makers[random(6)]),
                    QStringLiteral("M-%1").arg(random(500)), date(), QStringLiteral("12 months"),
                    date(), date(), QStringLiteral("Pass"), QString(), QStringLiteral("Pass"),
                    QString(), QString(), QString::number(inCase ? 1 + random(20000) : 0),
                    QStringLiteral("Bay %1").arg(random(1000)),
                    random(10) == 0 ? QStringLiteral("Checked, \"ok\"") : QString(),
                    QString::number(random(50)), QStringLiteral("SN%1").arg(id * 7)});
    }
    return csv.commit();
}

void fail(const QString& what) {
    std::fprintf(stderr, "%s\n", qPrintable(what));
    std::exit(1);
}

// --- The measurements, each in a child process ------------------------------------

int measureImport(const QString& csvPath, const QString& registerPath) {
    QString error;
    if (!Store::createEmptyDatabase(registerPath, &error))
        fail(error);
    Store store(registerPath, [](const QString& m) { fail(m); });
    const auto start = Bench::Steady::now();
    auto file = ItemImport::ImportFile::open(csvPath, &error);
    if (!file)
        fail(error);
    ItemImport::Import import(store, std::move(*file), {false, true});
    const auto checked = import.check(&error);
    if (!checked)
        fail(error);
    const double checkMs = Bench::msSince(start);
    const auto counts = import.importGoodLines(*checked, &error);
    if (!counts)
        fail(error);
    Bench::printResult({{"ms", Bench::msSince(start)},
                        {"check_ms", checkMs},
                        {"items", double(counts->items)},
                        {"problems", double(checked->problemCount)},
                        {"peak_mib", Bench::procStatusMiB("VmHWM")}});
    return 0;
}

int measureExport(const QString& registerPath, const QString& csvPath) {
    Store store(registerPath, [](const QString& m) { fail(m); });
    const auto start = Bench::Steady::now();
    QString error;
    qint64 rows = 0;
    if (!CsvExport::write(store, {ExportKind::Items, 0}, csvPath, &error, &rows))
        fail(error);
    Bench::printResult({{"ms", Bench::msSince(start)},
                        {"rows", double(rows)},
                        {"peak_mib", Bench::procStatusMiB("VmHWM")}});
    return 0;
}

// The sqlite3 shell on a register, its output (if any) into a file; ms.
double runSqlite3(const QStringList& arguments, const QString& outputFile = {}) {
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty())
        fail(QStringLiteral("The sqlite3 shell is not installed (scripts/install-deps.sh test)."));
    QProcess process;
    if (!outputFile.isEmpty())
        process.setStandardOutputFile(outputFile);
    QElapsedTimer timer;
    timer.start();
    process.start(shell, arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        fail(QStringLiteral("sqlite3 failed: %1")
                 .arg(QString::fromLocal8Bit(process.readAllStandardError())));
    return double(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("--measure-import"))
        return measureImport(args.value(1), args.value(2));
    if (args.value(0) == QLatin1String("--measure-export"))
        return measureExport(args.value(1), args.value(2));

    qint64 items = 1000000;
    int runs = 3;
    QString folder;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--items") && i + 1 < args.size())
            items = args[++i].toLongLong();
        else if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--dir") && i + 1 < args.size())
            folder = args[++i];
        else {
            std::fputs(kUsage, args[i] == QLatin1String("--help") ? stdout : stderr);
            return args[i] == QLatin1String("--help") ? 0 : 2;
        }
    }
    QTemporaryDir temporary;
    const QDir dir(folder.isEmpty() ? temporary.path() : folder);
    if (!dir.exists() && !QDir().mkpath(dir.path()))
        fail(QStringLiteral("Cannot make %1.").arg(dir.path()));
    QTextStream out(stdout);

    const QString csv = dir.filePath(QStringLiteral("items-%1.csv").arg(items));
    if (!QFile::exists(csv)) {
        out << "Writing " << csv << " ...\n" << Qt::flush;
        if (!writeItems(csv, items))
            fail(QStringLiteral("Cannot write %1.").arg(csv));
    }
    const double fileMiB = double(QFileInfo(csv).size()) / (1 << 20);

    // Turns: Quarvel and sqlite3 take turns, so both see the same machine
    // load; the quickest of the turns counts (peak memory: the largest).
    const QString imported = dir.filePath(QStringLiteral("imported.mdb"));
    const QString shellImported = dir.filePath(QStringLiteral("sqlite3.mdb"));
    const QString exported = dir.filePath(QStringLiteral("exported.csv"));
    const QString columns = Store::exportColumns(ExportKind::Items)
                                .replaceInStrings(QRegularExpression(QStringLiteral("^(.*)$")),
                                                  QStringLiteral("\"\\1\""))
                                .join(QLatin1Char(','));
    Bench::Result import{{"ms", 1e300}, {"check_ms", 1e300}};
    Bench::Result exportResult{{"ms", 1e300}};
    double shellImportMs = 1e300;
    double shellExportMs = 1e300;
    const auto keepBest = [](Bench::Result& best, const Bench::Result& turn) {
        for (auto it = turn.begin(); it != turn.end(); ++it) {
            if (it.key() == QLatin1String("peak_mib"))
                best[it.key()] = std::max(best.value(it.key()), it.value());
            else if (it.key().endsWith(QLatin1String("ms")))
                best[it.key()] = std::min(best.value(it.key()), it.value());
            else
                best[it.key()] = it.value();
        }
    };
    for (int turn = 0; turn < runs; ++turn) {
        // Quarvel: check every line, then import in one transaction.
        QFile::remove(imported);
        const Bench::Result i =
            Bench::measureInChild({QStringLiteral("--measure-import"), csv, imported}, dir.path());
        if (i.isEmpty() || qint64(i.value("items")) != items)
            fail(QStringLiteral("The import failed."));
        keepBest(import, i);

        // sqlite3: .import of the same file into an empty register's Items.
        QFile::remove(shellImported);
        QString error;
        if (!Store::createEmptyDatabase(shellImported, &error))
            fail(error);
        shellImportMs =
            std::min(shellImportMs,
                     runSqlite3({shellImported,
                                 QStringLiteral(".import --csv --skip 1 %1 Items").arg(csv)}));

        // Export: Quarvel's items export against sqlite3 -csv of the same rows.
        const Bench::Result e = Bench::measureInChild(
            {QStringLiteral("--measure-export"), imported, exported}, dir.path());
        if (e.isEmpty() || qint64(e.value("rows")) != items)
            fail(QStringLiteral("The export failed."));
        keepBest(exportResult, e);
        shellExportMs =
            std::min(shellExportMs,
                     runSqlite3({QStringLiteral("-csv"), QStringLiteral("-header"), imported,
                                 QStringLiteral("SELECT %1 FROM Items ORDER BY id").arg(columns)},
                                dir.filePath(QStringLiteral("sqlite3.csv"))));
    }

    const double importRatio = import.value("ms") / shellImportMs;
    const double exportRatio = exportResult.value("ms") / shellExportMs;
    out << items << " items, " << Bench::number(fileMiB) << " MiB of CSV\n";
    out << Bench::row(
        {{"", -8}, {"quarvel ms", 12}, {"sqlite3 ms", 12}, {"ratio", 7}, {"peak MiB", 10}});
    out << Bench::row({{"import", -8},
                       {Bench::number(import.value("ms"), 0), 12},
                       {Bench::number(shellImportMs, 0), 12},
                       {Bench::number(importRatio, 2), 7},
                       {Bench::number(import.value("peak_mib")), 10}});
    out << Bench::row({{"export", -8},
                       {Bench::number(exportResult.value("ms"), 0), 12},
                       {Bench::number(shellExportMs, 0), 12},
                       {Bench::number(exportRatio, 2), 7},
                       {Bench::number(exportResult.value("peak_mib")), 10}});
    out << "Of the import, checking every line took " << Bench::number(import.value("check_ms"), 0)
        << " ms.\n";
    const bool met = importRatio <= 2.0 && exportRatio <= 2.0 && import.value("peak_mib") < 300 &&
                     exportResult.value("peak_mib") < 300;
    out << (met ? "Targets met" : "TARGET MISSED")
        << ": at most 2x sqlite3 each way, under 300 MiB.\n";
    return met ? 0 : 1;
}
