// CSV import and export of a large register against the sqlite3 shell's own
// .import and -csv output of the same file and rows, with the peak memory of
// each (import and export run in processes of their own). With --server, on
// a private PostgreSQL server against libpq's COPY ... FROM STDIN and COPY
// ... TO STDOUT of the same file and columns, and then a second desk saving
// a new item every 100 ms while another process imports.
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
#include "data/ItemStore.h"
#include "data/Register.h"
#include "data/TransferStore.h"
#include "data/rules/Records.h"
#include "data/transfer/CsvExport.h"
#include "data/transfer/CsvWriter.h"
#include "data/transfer/ItemImport.h"

namespace {

const char* const kUsage =
    "Usage: quarvel-bench-csv [--server] [--items N] [--desk-items M] [--runs R] [--dir FOLDER]\n"
    "Imports a generated CSV file of N items (default 1000000) into an empty register and\n"
    "exports them again, against sqlite3's .import and -csv output of the same file and\n"
    "rows, R turns each (default 3; the quickest counts). FOLDER keeps the generated\n"
    "file for the next run. --server: the register on a private PostgreSQL server,\n"
    "against COPY of the same file and columns; then a second desk saves a new item\n"
    "every 100 ms while another process imports M items (default 200000).\n";

// Every column of Items, realistic values; about one note in ten needs quotes.
// Without ids, every line is a new item the import numbers.
bool writeItems(const QString& path, qint64 count, bool withIds = true) {
    CsvWriter csv(path);
    if (!csv.open())
        return false;
    csv.record(TransferStore::exportColumns(ExportKind::Items));
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
        csv.record({withIds ? QString::number(id) : QString(), QStringLiteral("Item %1").arg(id),
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

// A server's register is made empty by the parent.
int measureImport(const QString& csvPath, const QString& registerPath) {
    QString error;
    if (!Bench::isServer(registerPath) && !Register::createEmptyDatabase(registerPath, &error))
        fail(error);
    Register reg(RegisterLocation::fromText(registerPath), [](const QString& m) { fail(m); });
    const auto start = Bench::Steady::now();
    auto file = ItemImport::ImportFile::open(csvPath, &error);
    if (!file)
        fail(error);
    ItemImport::Import import(reg, std::move(*file), {false, true});
    const auto checked = import.check(&error);
    if (!checked)
        fail(error);
    const double checkMs = Bench::msSince(start);
    // For a second desk: from here on the items are written.
    std::printf("WRITING\n");
    std::fflush(stdout);
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
    Register reg(RegisterLocation::fromText(registerPath), [](const QString& m) { fail(m); });
    const auto start = Bench::Steady::now();
    QString error;
    qint64 rows = 0;
    if (!CsvExport::write(reg, {ExportKind::Items, 0}, csvPath, &error, &rows))
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

// The quickest of the turns counts; peak memory: the largest.
void keepBest(Bench::Result& best, const Bench::Result& turn) {
    for (auto it = turn.begin(); it != turn.end(); ++it) {
        if (it.key() == QLatin1String("peak_mib"))
            best[it.key()] = std::max(best.value(it.key()), it.value());
        else if (it.key().endsWith(QLatin1String("ms")))
            best[it.key()] = std::min(best.value(it.key(), 1e300), it.value());
        else
            best[it.key()] = it.value();
    }
}

// The import and the export against their floors; whether the targets are met.
bool printTable(QTextStream& out, qint64 items, double fileMiB, const Bench::Result& import,
                double floorImportMs, const Bench::Result& exported, double floorExportMs,
                const char* floorName, double maxImport, double maxExport) {
    const double importRatio = import.value("ms") / floorImportMs;
    const double exportRatio = exported.value("ms") / floorExportMs;
    out << items << " items, " << Bench::number(fileMiB) << " MiB of CSV\n";
    out << Bench::row({{"", -8},
                       {"quarvel ms", 12},
                       {QStringLiteral("%1 ms").arg(QLatin1String(floorName)), 12},
                       {"ratio", 7},
                       {"peak MiB", 10}});
    out << Bench::row({{"import", -8},
                       {Bench::number(import.value("ms"), 0), 12},
                       {Bench::number(floorImportMs, 0), 12},
                       {Bench::number(importRatio, 2), 7},
                       {Bench::number(import.value("peak_mib")), 10}});
    out << Bench::row({{"export", -8},
                       {Bench::number(exported.value("ms"), 0), 12},
                       {Bench::number(floorExportMs, 0), 12},
                       {Bench::number(exportRatio, 2), 7},
                       {Bench::number(exported.value("peak_mib")), 10}});
    out << "Of the import, checking every line took " << Bench::number(import.value("check_ms"), 0)
        << " ms.\n";
    const bool met = importRatio <= maxImport && exportRatio <= maxExport &&
                     import.value("peak_mib") < 300 && exported.value("peak_mib") < 300;
    out << (met ? "Targets met" : "TARGET MISSED") << ": import at most " << maxImport
        << "x, export at most " << maxExport << "x " << floorName << ", under 300 MiB.\n";
    return met;
}

// The file engine against the sqlite3 shell.
bool onFile(const QString& csv, qint64 items, int runs, const QDir& dir, QTextStream& out) {
    // Turns: Quarvel and sqlite3 take turns, so both see the same machine load.
    const QString imported = dir.filePath(QStringLiteral("imported.mdb"));
    const QString shellImported = dir.filePath(QStringLiteral("sqlite3.mdb"));
    const QString exported = dir.filePath(QStringLiteral("exported.csv"));
    const QString columns = TransferStore::exportColumns(ExportKind::Items)
                                .replaceInStrings(QRegularExpression(QStringLiteral("^(.*)$")),
                                                  QStringLiteral("\"\\1\""))
                                .join(QLatin1Char(','));
    Bench::Result import, exportResult;
    double shellImportMs = 1e300;
    double shellExportMs = 1e300;
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
        if (!Register::createEmptyDatabase(shellImported, &error))
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
    return printTable(out, items, double(QFileInfo(csv).size()) / (1 << 20), import, shellImportMs,
                      exportResult, shellExportMs, "sqlite3", 2.0, 2.0);
}

// The server against COPY of the same file and columns, Quarvel's and
// COPY's turns taking turns.
bool onServer(Bench::BenchServer& server, const QString& csv, qint64 items, int runs,
              const QDir& dir, QTextStream& out) {
    const QByteArray columns = TransferStore::exportColumns(ExportKind::Items)
                                   .replaceInStrings(QRegularExpression(QStringLiteral("^(.*)$")),
                                                     QStringLiteral("\"\\1\""))
                                   .join(QLatin1Char(','))
                                   .toUtf8();
    const QByteArray copyIn = R"(COPY "Items" ()" + columns + ") FROM STDIN (FORMAT csv, HEADER)";
    const QByteArray copyOut = "COPY (SELECT " + columns +
                               R"( FROM "Items" ORDER BY "id") TO STDOUT (FORMAT csv, HEADER))";
    const QString exported = dir.filePath(QStringLiteral("exported.csv"));
    Bench::Result import, exportResult;
    double copyInMs = 1e300, copyOutMs = 1e300;
    for (int turn = 0; turn < runs; ++turn) {
        const QString imported = server.emptyRegister(QStringLiteral("imported"), out);
        const QString copied = server.emptyRegister(QStringLiteral("copied"), out);
        if (imported.isEmpty() || copied.isEmpty())
            fail(QStringLiteral("No empty register on the server."));
        const Bench::Result i =
            Bench::measureInChild({QStringLiteral("--measure-import"), csv, imported}, dir.path());
        if (i.isEmpty() || qint64(i.value("items")) != items)
            fail(QStringLiteral("The import failed."));
        keepBest(import, i);

        auto start = Bench::Steady::now();
        {
            Bench::CopySession session(copied);
            if (session.copyInFromFile(copyIn, csv) != items)
                fail(QStringLiteral("COPY FROM STDIN stored another number of rows."));
        }
        copyInMs = std::min(copyInMs, Bench::msSince(start));

        const Bench::Result e = Bench::measureInChild(
            {QStringLiteral("--measure-export"), imported, exported}, dir.path());
        if (e.isEmpty() || qint64(e.value("rows")) != items)
            fail(QStringLiteral("The export failed."));
        keepBest(exportResult, e);

        start = Bench::Steady::now();
        {
            Bench::CopySession session(imported);
            session.copyOutToFile(copyOut, dir.filePath(QStringLiteral("copied.csv")));
        }
        copyOutMs = std::min(copyOutMs, Bench::msSince(start));
    }
    return printTable(out, items, double(QFileInfo(csv).size()) / (1 << 20), import, copyInMs,
                      exportResult, copyOutMs, "COPY", 2.0, 1.5);
}

// A second desk saves a new item through the store every 100 ms while
// another process imports: how long each save takes, and that none is
// refused. Target: every save under 1 s.
bool secondDesk(Bench::BenchServer& server, const QString& csv, qint64 items, const QDir& dir,
                QTextStream& out) {
    const QString connection = server.emptyRegister(QStringLiteral("desks"), out);
    if (connection.isEmpty())
        fail(QStringLiteral("No empty register on the server."));
    int failures = 0;
    Register reg(RegisterLocation::server(connection), [&failures](const QString& m) {
        ++failures;
        std::fprintf(stderr, "second desk: %s\n", qPrintable(m));
    });
    ItemStore store(reg);
    ItemWrite item;
    QProcess importer;
    importer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    importer.setProcessEnvironment(Bench::childEnvironment(dir.path()));
    importer.start(QCoreApplication::applicationFilePath(),
                   {QStringLiteral("--measure-import"), csv, connection});
    if (!importer.waitForStarted())
        fail(QStringLiteral("The importing process did not start."));
    QByteArray said;
    std::vector<double> checking, writing;
    int refused = 0;
    while (importer.state() != QProcess::NotRunning) {
        const auto start = Bench::Steady::now();
        said += importer.readAllStandardOutput();
        const bool written = said.contains("WRITING");
        item[std::size_t(ItemColumn::Desc)] =
            QStringLiteral("Second desk %1").arg(checking.size() + writing.size() + 1);
        if (!store.insert(item))
            ++refused;
        (written ? writing : checking).push_back(Bench::msSince(start));
        importer.waitForFinished(std::max(0, 100 - int(Bench::msSince(start))));
    }
    said += importer.readAllStandardOutput();
    const Bench::Result imported = Bench::parseResult(said);
    const bool importOk = importer.exitCode() == 0 && qint64(imported.value("items")) == items;
    const auto stored = store.all();
    const qint64 saves = qint64(checking.size() + writing.size());
    const bool allStored = stored && qint64(stored->size()) == items + saves - refused;
    std::vector<double> all = checking;
    all.insert(all.end(), writing.begin(), writing.end());
    const bool met = importOk && allStored && refused == 0 && failures == 0 && !writing.empty() &&
                     Bench::maximum(all) < 1000;
    out << "Second desk during an import of " << items << " lines ("
        << Bench::number(imported.value("ms"), 0) << " ms, of which checking "
        << Bench::number(imported.value("check_ms"), 0) << " ms" << (importOk ? "" : ", FAILED")
        << "):\n"
        << "  saves while the lines were checked: " << checking.size() << ", median "
        << Bench::number(Bench::median(checking)) << " ms, slowest "
        << Bench::number(Bench::maximum(checking)) << " ms\n"
        << "  saves while the items were written: " << writing.size() << ", median "
        << Bench::number(Bench::median(writing)) << " ms, slowest "
        << Bench::number(Bench::maximum(writing)) << " ms\n"
        << "  refused " << refused << "; items stored " << (stored ? stored->size() : 0) << " of "
        << items + saves - refused << "\n"
        << (met ? "Target met" : "TARGET MISSED")
        << ": every save under 1000 ms, none refused, all stored.\n";
    return met;
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
    qint64 deskItems = 200000;
    int runs = 3;
    bool server = false;
    QString folder;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--items") && i + 1 < args.size())
            items = args[++i].toLongLong();
        else if (args[i] == QLatin1String("--desk-items") && i + 1 < args.size())
            deskItems = args[++i].toLongLong();
        else if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--dir") && i + 1 < args.size())
            folder = args[++i];
        else if (args[i] == QLatin1String("--server"))
            server = true;
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

    const auto csvFile = [&](qint64 count, bool withIds) {
        const QString csv =
            dir.filePath(QStringLiteral("items-%1%2.csv").arg(count).arg(withIds ? "" : "-new"));
        if (!QFile::exists(csv)) {
            out << "Writing " << csv << " ...\n" << Qt::flush;
            if (!writeItems(csv, count, withIds))
                fail(QStringLiteral("Cannot write %1.").arg(csv));
        }
        return csv;
    };
    const QString csv = csvFile(items, true);
    if (!server)
        return onFile(csv, items, runs, dir, out) ? 0 : 1;

    Bench::BenchServer postgres;
    if (!postgres.start(out))
        return 2;
    bool met = onServer(postgres, csv, items, runs, dir, out);
    out.flush();
    if (deskItems > 0)
        met = secondDesk(postgres, csvFile(deskItems, false), deskItems, dir, out) && met;
    return met ? 0 : 1;
}
