#include "cli/TransferCommands.h"

#include <QDateTime>
#include <QDir>
#include <QTextStream>

#include "data/Settings.h"
#include "data/Store.h"
#include "data/register/Backups.h"
#include "data/transfer/CsvExport.h"
#include "data/transfer/ItemImport.h"

namespace TransferCommands {

const char* const kHelp =
    "  --import FILE           add the items of a CSV file to the register, without\n"
    "                          a window; every line is checked first, and nothing is\n"
    "                          added while any line has a problem. With it:\n"
    "    --good-lines          add the lines without a problem all the same\n"
    "    --convert-dates       read other date forms (2008-03-07, 7.3.2008,\n"
    "                          7 Mar 2008, 7/3/08) and store them as d/m/yyyy\n"
    "    --create-cases        make the flight cases the file names that do not exist\n"
    "    --encoding NAME       the file's encoding, utf-8 or windows-1252 (told from\n"
    "                          the file when not given)\n"
    "    --report REPORT       write every problem into the CSV file REPORT\n"
    "  --export WHAT FILE      write a CSV file of WHAT: items (every item), F12 (the\n"
    "                          items in flight case 12), L3 (picking list 3) or\n"
    "                          tests (every item the Tests Due window lists)\n"
    "The exit code is 0 when done, 1 when nothing was imported or exported,\n"
    "2 when the command line is not understood; messages go to the error output.\n";

namespace {

// At most this many problems are listed; --report writes them all.
constexpr int kProblemsListed = 100;

struct Arguments {
    QString import;
    QString exportWhat;
    QString exportFile;
    QString report;
    std::optional<Csv::Encoding> encoding;
    ItemImport::Options options;
    bool goodLines = false;
};

std::optional<Arguments> parse(const QStringList& args, QTextStream& err) {
    Arguments a;
    const auto value = [&](int& i) -> std::optional<QString> {
        if (i + 1 >= args.size()) {
            err << "quarvel: " << args[i] << " needs a value.\n";
            return std::nullopt;
        }
        return args[++i];
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--import")) {
            const auto file = value(i);
            if (!file)
                return std::nullopt;
            a.import = *file;
        } else if (arg == QLatin1String("--export")) {
            const auto what = value(i);
            const auto file = what ? value(i) : std::nullopt;
            if (!file)
                return std::nullopt;
            a.exportWhat = *what;
            a.exportFile = *file;
        } else if (arg == QLatin1String("--report")) {
            const auto file = value(i);
            if (!file)
                return std::nullopt;
            a.report = *file;
        } else if (arg == QLatin1String("--encoding")) {
            const auto name = value(i);
            if (!name)
                return std::nullopt;
            a.encoding = Csv::encodingNamed(*name);
            if (!a.encoding) {
                err << "quarvel: unknown encoding " << *name << "; use utf-8 or windows-1252.\n";
                return std::nullopt;
            }
        } else if (arg == QLatin1String("--good-lines")) {
            a.goodLines = true;
        } else if (arg == QLatin1String("--convert-dates")) {
            a.options.convertDates = true;
        } else if (arg == QLatin1String("--create-cases")) {
            a.options.createCases = true;
        } else {
            err << "quarvel: unknown option " << arg << " (quarvel --help lists them).\n";
            return std::nullopt;
        }
    }
    if (a.import.isEmpty() == a.exportFile.isEmpty()) {
        err << "quarvel: give either --import FILE or --export WHAT FILE.\n";
        return std::nullopt;
    }
    return a;
}

// The store as the program sets it up: a failure is told on err, a write is
// preceded by the damage check and the day's backup, the register brought to
// this program's layout unless it is damaged.
std::unique_ptr<Store> openStore(const RegisterLocation& where, const Settings& settings,
                                 QTextStream& err) {
    const FailureReporter tell = [&err](const QString& message) {
        err << message << "\n";
        err.flush();
    };
    auto store = std::make_unique<Store>(where, tell);
    store->setBusyWait([&settings] { return settings.busyWaitMs(); });
    store->setBackupPolicy(
        {[] { return QDateTime::currentDateTime(); },
         [&settings] {
             bool ok = false;
             const int keep = settings.read(SettingsKeys::BackupsToKeep, {}).trimmed().toInt(&ok);
             return ok && keep > 0 ? keep : Backups::kDefaultToKeep;
         },
         tell});
    store->upgradeIfOlder();
    return store;
}

// The lines the Tests Due window shows when it opens, most urgent first.
int runTestsExport(Store& store, const Arguments& a, const TestsDue::Window& window,
                   QTextStream& err) {
    const auto due = store.testsDue(window);
    if (!due)
        return Failed;  // the store has said why
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

int runExport(Store& store, const Arguments& a, const TestsDue::Window& window, QTextStream& err) {
    if (a.exportWhat.trimmed().compare(QLatin1String("tests"), Qt::CaseInsensitive) == 0)
        return runTestsExport(store, a, window, err);
    const auto what = CsvExport::parse(a.exportWhat);
    if (!what) {
        err << "quarvel: cannot export \"" << a.exportWhat
            << "\"; export items, a flight case (F12), a list (L3) or tests.\n";
        return BadUsage;
    }
    QString error;
    qint64 rows = 0;
    if (!CsvExport::write(store, *what, a.exportFile, &error, &rows)) {
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
        err << "... and " << checked.problemCount - kProblemsListed
            << " more problems (--report FILE writes them all).\n";
}

int runImport(Store& store, const Arguments& a, QTextStream& err) {
    // A damaged register is never imported into; the store has said why.
    if (!store.mayWrite()) {
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
    ItemImport::Import import(store, std::move(*file), a.options);
    const auto checked = import.check(&error);
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
        err << checked->lines - checked->goodLines << " of " << checked->lines
            << " lines have problems; nothing was imported (--good-lines imports the "
               "others).\n";
        return Failed;
    }
    const auto counts = import.importGoodLines(*checked, &error);
    if (!counts) {
        err << error << "\nNothing was imported.\n";
        return Failed;
    }
    err << ItemImport::importSummary(*counts, checked->lines - checked->goodLines) << "\n";
    return Done;
}

}  // namespace

bool asked(const QStringList& arguments) {
    return arguments.contains(QLatin1String("--import")) ||
           arguments.contains(QLatin1String("--export"));
}

int run(const QStringList& arguments, const RegisterLocation& where, const QString& settingsFile,
        QTextStream& err) {
    const auto a = parse(arguments, err);
    if (!a)
        return BadUsage;
    const Settings settings(settingsFile);
    const auto store = openStore(where, settings, err);
    const TestsDue::Window window{QDate::currentDate(), settings.testDueSoonDays()};
    return a->import.isEmpty() ? runExport(*store, *a, window, err) : runImport(*store, *a, err);
}

}  // namespace TransferCommands
