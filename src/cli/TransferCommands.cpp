#include "cli/TransferCommands.h"

#include <QDateTime>
#include <QDir>
#include <QTextStream>

#include "cli/TerminalProgress.h"
#include "data/Register.h"
#include "data/Settings.h"
#include "data/StoreSetup.h"
#include "data/TestRecordStore.h"
#include "data/transfer/CsvExport.h"
#include "data/transfer/ItemImport.h"

namespace TransferCommands {

namespace {

// At most this many problems are listed; --report writes them all.
constexpr int kProblemsListed = 100;

struct Arguments {
    QString import;
    QString exportWhat;
    QString exportFile;
    QDate since;  // --since: the changes from that day on
    QString report;
    QStringList ignoredColumns;
    std::optional<Csv::Encoding> encoding;
    ItemImport::Options options;
    bool goodLines = false;
};

// The import's or the export's arguments; nullopt (and the reason on err)
// when they are not understood.
std::optional<Arguments> transferArguments(const CommandLine& line, QTextStream& err) {
    if (const QString problem = line.problem(); !problem.isEmpty()) {
        err << problem << "\n";
        return std::nullopt;
    }
    Arguments a;
    a.import = line.value(QStringLiteral("import"));
    a.report = line.value(QStringLiteral("report"));
    a.goodLines = line.has(QStringLiteral("good-lines"));
    a.options.convertDates = line.has(QStringLiteral("convert-dates"));
    a.options.createCases = line.has(QStringLiteral("create-cases"));
    a.options.keepUnreadableDates = line.has(QStringLiteral("keep-unreadable-dates"));
    a.ignoredColumns = line.values(QStringLiteral("ignore-column"));
    // --export takes two values: WHAT, and FILE as the next loose argument
    // (problem() has refused any other).
    const QStringList loose = line.loose();
    if (line.has(QStringLiteral("export"))) {
        if (loose.isEmpty()) {
            err << "quarvel: --export needs WHAT and FILE.\n";
            return std::nullopt;
        }
        a.exportWhat = line.value(QStringLiteral("export"));
        a.exportFile = loose.first();
    }
    if (line.has(QStringLiteral("since"))) {
        const QString day = line.value(QStringLiteral("since"));
        a.since = QDate::fromString(day.trimmed(), Qt::ISODate);
        if (!a.since.isValid()) {
            err << "quarvel: --since needs a date such as 2026-12-09, not \"" << day << "\".\n";
            return std::nullopt;
        }
    }
    if (line.has(QStringLiteral("encoding"))) {
        const QString name = line.value(QStringLiteral("encoding"));
        a.encoding = Csv::encodingNamed(name);
        if (!a.encoding) {
            err << "quarvel: unknown encoding " << name << "; use utf-8 or windows-1252.\n";
            return std::nullopt;
        }
    }
    if (a.import.isEmpty() == a.exportFile.isEmpty()) {
        err << "quarvel: give either --import FILE or --export WHAT FILE.\n";
        return std::nullopt;
    }
    return a;
}

// The lines the Tests Due window shows when it opens, most urgent first.
int runTestsExport(Register& reg, const Arguments& a, const TestsDue::Window& window,
                   QTextStream& err) {
    const auto due = TestRecordStore(reg).due(window);
    if (!due)
        return Failed;  // the register has said why
    QString error;
    qint64 rows = 0;
    if (!DueReader::writeCsv(a.exportFile, *due, due->mostUrgentFirst(), &error, &rows)) {
        err << error << "\n";
        return Failed;
    }
    err << "Exported " << rows << (rows == 1 ? " item" : " items") << " due for test to "
        << QDir::toNativeSeparators(a.exportFile) << ".\n";
    return Done;
}

int runExport(Register& reg, const Arguments& a, const TestsDue::Window& window, QTextStream& err) {
    if (a.exportWhat.trimmed().compare(QLatin1String("tests"), Qt::CaseInsensitive) == 0)
        return runTestsExport(reg, a, window, err);
    auto what = CsvExport::parse(a.exportWhat);
    if (!what) {
        err << "quarvel: cannot export \"" << a.exportWhat
            << "\"; export items, a flight case (F12), a list (L3), bookings, tests or "
               "changes.\n";
        return BadUsage;
    }
    if (a.since.isValid() && what->kind != ExportKind::Changes) {
        err << "quarvel: --since goes with --export changes.\n";
        return BadUsage;
    }
    what->since = a.since;
    QString error;
    qint64 rows = 0;
    const std::unique_ptr<Progress> progress =
        TerminalProgress::forJob(err, QStringLiteral("Exporting"));
    if (!CsvExport::write(reg, *what, a.exportFile, &error, &rows, progress.get())) {
        err << error << "\n";
        return Failed;
    }
    err << "Exported " << rows << (rows == 1 ? " row" : " rows") << " to "
        << QDir::toNativeSeparators(a.exportFile) << ".\n";
    return Done;
}

void listProblems(const ItemImport::CheckResult& checked, QTextStream& err) {
    int listed = 0;
    for (const ItemImport::Problem& p : checked.problems) {
        if (listed++ == kProblemsListed)
            break;
        err << ItemImport::describe(p) << "\n";
    }
    if (checked.problemCount > kProblemsListed)
        err << "... and "
            << ItemImport::counted(checked.problemCount - kProblemsListed,
                                   QStringLiteral("more problem"), QStringLiteral("more problems"))
            << " (--report FILE writes them all).\n";
}

// Every column goes to a field or is left out by --ignore-column; false
// (and why on err) otherwise.
bool columnsKnown(ItemImport::ImportFile& file, const Arguments& a, QTextStream& err) {
    QString error;
    if (!file.leaveOut(a.ignoredColumns, &error)) {
        err << "quarvel: " << error << "\n";
        return false;
    }
    if (const QString problem = file.mappingProblem(); !problem.isEmpty()) {
        err << problem << "\n"
            << "The user guide lists the names each item field is known by; --ignore-column NAME "
               "leaves the column NAME out.\n";
        return false;
    }
    return true;
}

int runImport(Register& reg, const Arguments& a, QTextStream& err) {
    // A damaged register is never imported into; the register has said why.
    if (!reg.mayWrite()) {
        err << "Nothing was imported.\n";
        return Failed;
    }
    QString error;
    auto file = ItemImport::ImportFile::open(a.import, &error, a.encoding);
    if (!file) {
        err << error << "\n";
        return Failed;
    }
    err << "Reading " << QDir::toNativeSeparators(a.import) << " as "
        << Csv::encodingName(file->format.encoding) << ", "
        << Csv::separatorName(file->format.separator) << " separated.\n";
    if (!columnsKnown(*file, a, err)) {
        err << "Nothing was imported.\n";
        return Failed;
    }
    ItemImport::Import import(reg, std::move(*file), a.options);
    const auto checked = import.check(
        &error, {}, TerminalProgress::forJob(err, QStringLiteral("Checking the lines")).get());
    if (!checked) {
        err << error << "\n";
        return Failed;
    }
    listProblems(*checked, err);
    if (!a.report.isEmpty()) {
        if (!import.writeReport(a.report, &error)) {
            err << error << "\n";
            return Failed;
        }
        err << "The problems are in " << QDir::toNativeSeparators(a.report) << ".\n";
    }
    if (checked->problemCount > 0 && !a.goodLines) {
        const qint64 bad = checked->lines - checked->goodLines;
        err << bad << " of "
            << ItemImport::counted(checked->lines, QStringLiteral("line"), QStringLiteral("lines"))
            << (bad == 1 ? " has" : " have")
            << " problems; nothing was imported (--good-lines imports the others).\n";
        return Failed;
    }
    const auto counts = import.importGoodLines(
        *checked, &error,
        TerminalProgress::forJob(err, QStringLiteral("Importing the items")).get());
    if (!counts) {
        err << error << "\nNothing was imported.\n";
        return Failed;
    }
    err << ItemImport::importSummary(*counts, checked->lines - checked->goodLines) << "\n";
    return Done;
}

}  // namespace

std::unique_ptr<Register> openRegister(const RegisterLocation& where, const Settings& settings,
                                       QTextStream& err) {
    const FailureReporter tell = [&err](const QString& message) {
        err << message << "\n";
        err.flush();
    };
    // A server that keeps the command waiting is named on standard error
    // (Ctrl+C stops it).
    auto reg = StoreSetup::make(
        where, settings,
        {tell,
         tell,
         [] { return QDateTime::currentDateTime(); },
         {},
         [&err](const QString& what) { return TerminalProgress::forJob(err, what); }});
    // The first write waits for SQLite's full check, which also finds damage
    // confined to an index: about a second for a million items, once a run.
    Register* checked = reg.get();
    reg->checkFullyBeforeWrites([checked, &settings, &err] {
        const std::unique_ptr<Progress> progress =
            TerminalProgress::forJob(err, QStringLiteral("Checking the register"));
        return std::optional(Register::fullCheck(
            checked->location(), settings.busyWaitMs(),
            [&progress] { return progress && !progress->report(0, 0); },
            checked->soundStates().get()));
    });
    reg->upgradeIfOlder();
    return reg;
}

int run(const CommandLine& line, const RegisterLocation& where, const QString& settingsFile,
        QTextStream& err) {
    const auto a = transferArguments(line, err);
    if (!a)
        return BadUsage;
    const Settings settings(settingsFile);
    const auto reg = openRegister(where, settings, err);
    const TestsDue::Window window{QDate::currentDate(), settings.testDueSoonDays()};
    return a->import.isEmpty() ? runExport(*reg, *a, window, err) : runImport(*reg, *a, err);
}

int run(const QStringList& arguments, const RegisterLocation& where, const QString& settingsFile,
        QTextStream& err) {
    return run(CommandLine(QStringList{QStringLiteral("quarvel")} + arguments), where, settingsFile,
               err);
}

}  // namespace TransferCommands
