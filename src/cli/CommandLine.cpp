#include "cli/CommandLine.h"

namespace {

// One option: its name, the value it takes (as --help shows it; none for a
// switch), and its lines in --help.
struct Option {
    const char* name;
    const char* value;  // nullptr: a switch
    int indent;         // 2: an option of its own; 4: one that goes with the one above
    const char* help;   // lines separated by "\n"
};

const Option kOptions[] = {
    {"help", nullptr, 2, "show this help and exit"},
    {"version", nullptr, 2, "show the version and exit"},
    {"register", "REGISTER", 2,
     "work on this register for this run: a file, or a\n"
     "database on a PostgreSQL server named by a connection\n"
     "string, such as postgresql://stores-pc/quarvel or\n"
     "\"host=stores-pc dbname=quarvel\""},
    {"import", "FILE", 2,
     "add the items of a CSV file to the register, without\n"
     "a window; every line is checked first, and nothing is\n"
     "added while any line has a problem. With it:"},
    {"good-lines", nullptr, 4, "add the lines without a problem all the same"},
    {"convert-dates", nullptr, 4,
     "read other date forms (2008-03-07, 7.3.2008,\n"
     "7 Mar 2008, 7/3/08) and store them as d/m/yyyy"},
    {"create-cases", nullptr, 4, "make the flight cases the file names that do not exist"},
    {"keep-unreadable-dates", nullptr, 4,
     "store a date that cannot be read (31/2/2030, n/a)\n"
     "as written; without it, such a date is a problem"},
    {"ignore-column", "NAME", 4,
     "leave out the file's column NAME (again for each one);\n"
     "a column whose name is no item field's is a problem"},
    {"encoding", "NAME", 4,
     "the file's encoding, utf-8 or windows-1252 (told from\n"
     "the file when not given)"},
    {"report", "REPORT", 4, "write every problem into the CSV file REPORT"},
    {"export", "WHAT FILE", 2,
     "write a CSV file of WHAT: items (every item), F12 (the\n"
     "items in flight case 12), L3 (picking list 3),\n"
     "bookings (every line of the lists with dates: list,\n"
     "item, out, return, state, clash), tests (every\n"
     "item the Tests Due window lists) or changes (the\n"
     "change log: who changed what, when, at which desk)"},
    {"since", "DATE", 4,
     "with --export changes: only the changes made on or\n"
     "after DATE (2026-12-09, in UTC)"},
    {"scan", "FILE", 2,
     "run a scan session from a batch scanner's FILE (one\n"
     "code a line, blank lines left out) and print each\n"
     "answer and the summary; with one of:"},
    {"stocktake", "LOCATION", 4, "a stocktake of that location"},
    {"pack", "LIST", 4, "packing the list (its number or name)"},
    {"check-in", "LIST", 4, "checking the list back in"},
};

// Qt's own options, which QApplication takes off the command line before the
// program sees it: they pass to Qt, with their values. Qt reads each with one
// dash or two, and a value also as -name=value. The last of each list are
// the X11 platform's own.
const char* const kQtOptionsWithValue =
    "platform platformpluginpath platformtheme plugin qwindowgeometry qwindowicon qwindowtitle "
    "session style stylesheet qmljsdebugger dialogs fontengine display geometry title icon name "
    "visual";
const char* const kQtSwitches = "reverse widgetcount testability sync nograb dograb";

bool named(const char* names, const QString& name) {
    return QString::fromLatin1(names).split(QLatin1Char(' ')).contains(name);
}

// How many arguments a Qt option takes up where `argument` is one (1, or 2
// with a value of its own); 0 when it is none.
int qtOptionLength(const QString& argument) {
    if (!argument.startsWith(QLatin1Char('-')))
        return 0;
    const QString written = argument.mid(argument.startsWith(QStringLiteral("--")) ? 2 : 1);
    const QString name = written.section(QLatin1Char('='), 0, 0);
    const bool valueAttached = name.size() < written.size();
    if (named(kQtOptionsWithValue, name))
        return valueAttached ? 1 : 2;
    return !valueAttached && named(kQtSwitches, name) ? 1 : 0;
}

// The arguments without Qt's own options and their values.
QStringList withoutQtOptions(const QStringList& arguments) {
    QStringList ours = arguments.mid(0, 1);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QStringLiteral("--")) {
            ours << arguments.mid(i);
            break;
        }
        const int length = qtOptionLength(arguments[i]);
        if (length == 0)
            ours << arguments[i];
        else
            i += length - 1;
    }
    return ours;
}

// Where the help of every option starts.
constexpr int kHelpColumn = 26;

const char* const kUsage =
    "Usage: quarvel [--help | --version] [--register REGISTER]\n"
    "       quarvel --import FILE [--good-lines] [--convert-dates] [--create-cases]\n"
    "               [--keep-unreadable-dates] [--ignore-column NAME]...\n"
    "               [--encoding NAME] [--report REPORT] [--register REGISTER]\n"
    "       quarvel --export WHAT FILE [--since DATE] [--register REGISTER]\n"
    "       quarvel --scan FILE (--stocktake LOCATION | --pack LIST | --check-in LIST)\n"
    "               [--register REGISTER]\n"
    "Quarvel keeps the equipment register of a company that stores, safety-tests,\n"
    "packs and ships equipment: items with their test record, flight cases,\n"
    "warehouse locations and picking lists. It prints barcode labels and picking\n"
    "lists, and copies the register to a handheld device.\n"
    "\n";

const char* const kAfterOptions =
    "The exit code is 0 when done, 1 when nothing was imported or exported,\n"
    "2 when the command line is not understood; messages go to the error output.\n"
    "\n"
    "The register is the first of: --register, the user's setting \"Register\", the\n"
    "first line of register.conf in the program's folder (set by the administrator\n"
    "for every user), and data.mdb in the program's folder, or the file a link of\n"
    "that name leads to (installed from the Debian package: /var/lib/quarvel/data.mdb).\n"
    "Each user's printers and label options are in the settings under \"Quarvel\".\n";

QString optionText(const Option& o) {
    QString text =
        QString(o.indent, QLatin1Char(' ')) + QStringLiteral("--") + QLatin1String(o.name);
    if (o.value)
        text += QLatin1Char(' ') + QLatin1String(o.value);
    // An option too long for its column has its help on the lines below.
    if (text.size() >= kHelpColumn)
        return text + QLatin1Char('\n') + QString(kHelpColumn, QLatin1Char(' '));
    return text.leftJustified(kHelpColumn - 1) + QLatin1Char(' ');
}

QString optionHelp(const Option& o) {
    const QString indent(kHelpColumn, QLatin1Char(' '));
    const QStringList lines = QString::fromUtf8(o.help).split(QLatin1Char('\n'));
    return optionText(o) + lines.join(QLatin1Char('\n') + indent) + QLatin1Char('\n');
}

// The argument that gave the parser the unknown option `name`: as typed,
// without a value attached by "=".
QString typedAs(const QStringList& arguments, const QString& name) {
    for (const QString& argument : arguments) {
        const QString bare = argument.section(QLatin1Char('='), 0, 0);
        if (bare.startsWith(QLatin1Char('-')) &&
            bare.mid(bare.startsWith(QStringLiteral("--")) ? 2 : 1) == name)
            return bare;
    }
    return QStringLiteral("--") + name;
}

const Option* optionNamed(const QString& typedArgument) {
    for (const Option& o : kOptions) {
        if (typedArgument == QStringLiteral("--") + QLatin1String(o.name))
            return &o;
    }
    return nullptr;
}

}  // namespace

CommandLine::CommandLine(const QStringList& arguments) : arguments_(withoutQtOptions(arguments)) {
    for (const Option& o : kOptions) {
        QCommandLineOption option(QString::fromLatin1(o.name));
        if (o.value)
            option.setValueName(QString::fromLatin1(o.value));
        parser_.addOption(option);
    }
    // "-bogus" is one unknown option, not five of one letter each.
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // problem() tells what is not understood.
    (void)parser_.parse(arguments_);
}

CommandLine CommandLine::of(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return CommandLine(arguments);
}

bool CommandLine::scanAsked() const {
    return has(QStringLiteral("scan"));
}

bool CommandLine::transferAsked() const {
    return has(QStringLiteral("import")) || has(QStringLiteral("export"));
}

std::optional<QString> CommandLine::registerOption() const {
    if (!has(QStringLiteral("register")))
        return std::nullopt;
    return value(QStringLiteral("register"));
}

QString CommandLine::problem() const {
    // An option that takes a value and ends the line has none.
    const Option* last = arguments_.size() > 1 ? optionNamed(arguments_.last()) : nullptr;
    if (last && last->value)
        return QStringLiteral("quarvel: %1 needs a value.").arg(arguments_.last());
    if (!parser_.unknownOptionNames().isEmpty())
        return QStringLiteral("quarvel: unknown option %1 (quarvel --help lists them).")
            .arg(typedAs(arguments_.mid(1), parser_.unknownOptionNames().first()));
    if (!parser_.errorText().isEmpty())
        return QStringLiteral("quarvel: %1 (quarvel --help lists them).").arg(parser_.errorText());
    // An option that goes with another (--good-lines with --import) means
    // nothing alone; taken without a word, it would open the window instead.
    if (const QString alone = withoutItsOption(); !alone.isEmpty())
        return alone;
    // Only --export takes an argument of its own after its value: FILE.
    const QStringList stray = loose().mid(has(QStringLiteral("export")) ? 1 : 0);
    if (!stray.isEmpty())
        return QStringLiteral(
                   "quarvel: unexpected argument %1 (quarvel --help lists what it takes).")
            .arg(stray.first());
    return {};
}

QString CommandLine::withoutItsOption() const {
    const Option* owner = nullptr;  // the option of its own the ones below go with
    for (const Option& o : kOptions) {
        if (o.indent == 2) {
            owner = &o;
            continue;
        }
        const QString name = QLatin1String(o.name);
        if (has(name) && !has(QLatin1String(owner->name)))
            return QStringLiteral("quarvel: --%1 goes with --%2 (quarvel --help lists them).")
                .arg(name, QLatin1String(owner->name));
    }
    return {};
}

QString CommandLine::help() {
    QString text = QString::fromUtf8(kUsage);
    for (const Option& o : kOptions)
        text += optionHelp(o);
    return text + QString::fromUtf8(kAfterOptions);
}
