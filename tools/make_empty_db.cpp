// quarvel-makedb writes an empty register: the six tables and the Data row
// with all three counters 0. It never overwrites a register: with
// --keep-existing it leaves one alone (the build and the install place a
// data.mdb beside the program so); with --replace it first moves the old one
// into the backups folder beside it. Given a link (the package's
// /usr/lib/quarvel/data.mdb), it makes the file where the link leads; a link
// that another user made is not followed, since any member of a shared
// folder can plant one. The register is made aside and put in place as a new
// file, never written through a link; in a folder a group shares (setgid), it
// gets the group and its write access, so that every member can save. Given
// a connection string instead of a path, it makes the register in that
// (empty) database on a PostgreSQL server. With --copy it moves a register
// between a file and a server. With --is-empty it only reads a register and
// tells, by its exit status, whether it holds any record (the package asks
// so before it puts an empty register aside).
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>

#include "data/Register.h"
#include "data/register/FilePlatform.h"
#include "data/register/RegisterFolder.h"
#include "data/register/RegisterTransfer.h"

namespace {

const char* const kUsage =
    "Usage: quarvel-makedb [--keep-existing | --replace] PATH/data.mdb\n"
    "       quarvel-makedb CONNECTION\n"
    "       quarvel-makedb --copy FROM TO\n"
    "       quarvel-makedb --is-empty REGISTER\n"
    "       quarvel-makedb --log-grants ROLE\n"
    "Writes an empty Quarvel register: a file, or the tables in an empty database\n"
    "on a PostgreSQL server named by a libpq connection string (such as\n"
    "postgresql://stores-pc/quarvel or \"host=stores-pc dbname=quarvel\").\n"
    "--copy copies the register FROM (a file or a connection string) into TO (a\n"
    "new file, or an empty database on a server) in one transaction: every row,\n"
    "with its ids and the counters. A TO that holds a register is refused.\n"
    "--is-empty only reads REGISTER (a file, never through a link, or a connection\n"
    "string) and ends with 0 when it holds no record at all (no item, case, list,\n"
    "location, test or scan, and the counters 0, as this tool makes it), 1 when it\n"
    "holds records, and 2 when that cannot be told (no register, a save under way).\n"
    "--log-grants prints the statements an administrator runs on the server (as\n"
    "the owner of the register's tables) so that ROLE, the role Quarvel signs in\n"
    "with, may only add to and read the change log, never change or delete it.\n"
    "An existing register is never overwritten:\n"
    "  --keep-existing  leave it as it is and succeed\n"
    "  --replace        move it into the folder \"backups\" beside it first\n"
    "Without either, the tool stops when the register exists.\n"
    "In a folder shared by a group (setgid) the register gets the folder's group\n"
    "and the group's write access.\n";

// The first argument the tool does not understand, as one line for the
// error output; empty when each one is understood.
QString argumentProblem(const QStringList& args) {
    const QStringList options = {QStringLiteral("--help"),     QStringLiteral("--copy"),
                                 QStringLiteral("--is-empty"), QStringLiteral("--keep-existing"),
                                 QStringLiteral("--replace"),  QStringLiteral("--log-grants")};
    QStringList operands;
    for (const QString& arg : args) {
        if (arg.startsWith(QLatin1Char('-')) && !options.contains(arg))
            return QStringLiteral("unknown option %1 (quarvel-makedb --help lists them)").arg(arg);
        if (!arg.startsWith(QLatin1Char('-')))
            operands << arg;
    }
    if (args.contains(QStringLiteral("--help")))
        return {};
    if (args.contains(QStringLiteral("--copy"))) {
        if (args.size() != 3 || args.first() != QLatin1String("--copy") || operands.size() != 2)
            return QStringLiteral("--copy takes FROM and TO, and nothing else");
        return {};
    }
    if (args.contains(QStringLiteral("--log-grants"))) {
        if (args.size() != 2 || args.first() != QLatin1String("--log-grants") ||
            operands.size() != 1)
            return QStringLiteral("--log-grants takes one ROLE, and nothing else");
        return {};
    }
    if (args.contains(QStringLiteral("--is-empty"))) {
        if (args.size() != 2 || args.first() != QLatin1String("--is-empty") || operands.size() != 1)
            return QStringLiteral("--is-empty takes one REGISTER, and nothing else");
        return {};
    }
    if (args.contains(QStringLiteral("--keep-existing")) &&
        args.contains(QStringLiteral("--replace")))
        return QStringLiteral("--keep-existing and --replace do not go together");
    if (operands.size() > 1)
        return QStringLiteral("unexpected argument %1 (quarvel-makedb --help tells what it takes)")
            .arg(operands[1]);
    return {};
}

int fail(const QString& message) {
    std::fprintf(stderr, "quarvel-makedb: %s\n", qPrintable(message));
    return 1;
}

bool isTaken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// The file `argument` names, through the links this user or the
// administrator made; empty, with the reason, at a link of another user's.
QString fileNamedBy(const QString& argument, QString* problem) {
    QString path = QDir::current().absoluteFilePath(argument);
    for (int hops = 0; QFileInfo(path).isSymLink(); ++hops) {
        if (hops == 8 || FilePlatform::isLinkOfAnotherUser(path)) {
            *problem = QStringLiteral(
                           "%1 is a link that another user made; it is not followed, "
                           "and nothing was changed")
                           .arg(path);
            return {};
        }
        path = QFileInfo(path).symLinkTarget();
    }
    return QDir::cleanPath(path);
}

// Moves the register into its backups folder (made shared like its own
// folder when it is new), where Quarvel keeps every copy of it. A rename:
// the entry moves, whatever it is, and nothing is read or written through it.
QString moveIntoBackups(const QString& path) {
    if (QFileInfo(path).isSymLink() || !QFileInfo(path).isFile())
        return QStringLiteral("%1 is not a register file; nothing was changed").arg(path);
    // A journal beside it: a save is under way, or one was cut off and the
    // next opening rolls it back. Either way the file alone is no whole register.
    for (const char* suffix : {"-journal", "-wal"}) {
        if (isTaken(path + QLatin1String(suffix)))
            return QStringLiteral(
                       "%1 is being saved, or a save was cut off (%1%2 lies beside it). "
                       "Start Quarvel once after everyone has closed it, then try again.")
                .arg(path, QLatin1String(suffix));
    }
    const QString backup = RegisterFolder::backupPath(path, QDateTime::currentDateTime());
    const QString folder = QFileInfo(backup).absolutePath();
    if (QFileInfo(folder).isSymLink())
        return QStringLiteral("%1 is a link, not a folder; nothing was changed").arg(folder);
    if (!QFileInfo::exists(folder)) {
        if (!QDir().mkdir(folder))
            return QStringLiteral("could not make the folder %1").arg(folder);
        const QString problem = FilePlatform::shareWithFolderGroup(folder);
        if (!problem.isEmpty())
            return problem;
    }
    if (FilePlatform::replaceDurably(path.toStdU16String(), backup.toStdU16String()))
        return QStringLiteral("could not move %1 to %2").arg(path, backup);
    std::printf("moved the register %s to %s\n", qPrintable(path), qPrintable(backup));
    return {};
}

// Made in a folder of this user's own, then put in place as a new file.
QString makeEmptyRegister(const QString& path) {
    const QTemporaryDir aside;
    const QString made = aside.filePath(QStringLiteral("data.mdb"));
    QString error;
    if (!aside.isValid() || !Register::createEmptyDatabase(made, &error))
        return QStringLiteral("could not create %1: %2").arg(path, error);
    return FilePlatform::installNewFile(made, path);
}

// A server, or the file the argument names through links that this user
// or the administrator made; nothing at a link of another user's.
std::optional<RegisterLocation> locationOf(const QString& argument, QString* problem) {
    if (RegisterLocation::namesServer(argument))
        return RegisterLocation::server(argument);
    const QString path = fileNamedBy(argument, problem);
    if (path.isEmpty())
        return std::nullopt;
    return RegisterLocation::file(RegisterFolder::realFile(path));
}

int makeOnServer(const RegisterLocation& location) {
    QString error;
    if (!Register::createEmpty(location, &error))
        return fail(
            QStringLiteral("could not create the register in %1: %2").arg(location.shown(), error));
    std::printf("created empty register in %s\n", qPrintable(location.shown()));
    return 0;
}

int copyRegister(const QString& fromArgument, const QString& toArgument) {
    QString problem;
    const std::optional<RegisterLocation> fromLocation = locationOf(fromArgument, &problem);
    const std::optional<RegisterLocation> toLocation =
        fromLocation ? locationOf(toArgument, &problem) : std::nullopt;
    if (!toLocation)
        return fail(problem);
    const RegisterLocation& from = *fromLocation;
    const RegisterLocation& to = *toLocation;
    const RegisterTransfer::Outcome outcome = RegisterTransfer::copy(from, to);
    if (!outcome.ok)
        return fail(QStringLiteral("could not copy the register: %1").arg(outcome.error));
    if (!to.isServer()) {
        problem = FilePlatform::shareWithFolderGroup(to.text());
        if (!problem.isEmpty())
            return fail(problem + QStringLiteral(" (the register was copied, but other members "
                                                 "of the folder's group cannot save in it)"));
    }
    std::printf("copied the register (%lld rows) from %s to %s\n",
                static_cast<long long>(outcome.rows), qPrintable(from.shown()),
                qPrintable(to.shown()));
    return 0;
}

// 0 when the register holds no record, 1 when it holds some, 2 when that
// cannot be told. A file is looked at only as it is: a link is not followed,
// and a journal beside it means the file alone may not be the whole register.
int tellWhetherEmpty(const QString& argument) {
    const auto cannotTell = [&argument](const QString& why) {
        std::fprintf(stderr, "quarvel-makedb: cannot tell whether %s holds records: %s\n",
                     qPrintable(argument), qPrintable(why));
        return 2;
    };
    RegisterLocation location = RegisterLocation::server(argument);
    if (!RegisterLocation::namesServer(argument)) {
        const QString path = QDir::current().absoluteFilePath(argument);
        const QFileInfo file(path);
        if (file.isSymLink())
            return cannotTell(QStringLiteral("it is a link, which is not followed"));
        if (!file.isFile())
            return cannotTell(file.exists() ? QStringLiteral("it is no file")
                                            : QStringLiteral("there is no such file"));
        for (const char* suffix : {"-journal", "-wal"}) {
            if (isTaken(path + QLatin1String(suffix)))
                return cannotTell(QStringLiteral("%1%2 lies beside it: a save is under way, or "
                                                 "one was cut off")
                                      .arg(path, QLatin1String(suffix)));
        }
        location = RegisterLocation::file(path);
    }
    QString problem;
    const std::optional<bool> empty = Register::holdsNoRecord(location, &problem);
    if (!empty)
        return cannotTell(problem);
    std::printf("%s %s\n", qPrintable(location.shown()),
                *empty ? "holds no record" : "holds records");
    return *empty ? 0 : 1;
}

}  // namespace

// The role as a quoted name: printed for an administrator to run, so a
// name with a quote in it stays one name.
QString quotedRole(const QString& role) {
    return QLatin1Char('"') + QString(role).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

int printLogGrants(const QString& role) {
    const QString r = quotedRole(role);
    const QString statements =
        QStringLiteral(
            "-- Run as the owner of the register's tables (not as %1, whom an owner's\n"
            "-- rights would let change the log all the same).\n"
            "REVOKE UPDATE, DELETE, TRUNCATE ON \"ChangeLog\", \"ChangeBatches\" FROM %1;\n"
            "GRANT SELECT, INSERT ON \"ChangeLog\", \"ChangeBatches\" TO %1;\n")
            .arg(r);
    std::fputs(qPrintable(statements), stdout);
    return 0;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (const QString problem = argumentProblem(args); !problem.isEmpty()) {
        std::fprintf(stderr, "quarvel-makedb: %s\n", qPrintable(problem));
        return 2;
    }
    if (args.contains(QStringLiteral("--help"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.size() == 3 && args.first() == QLatin1String("--copy"))
        return copyRegister(args[1], args[2]);
    if (args.size() == 2 && args.first() == QLatin1String("--log-grants"))
        return printLogGrants(args[1]);
    if (args.size() == 2 && args.first() == QLatin1String("--is-empty"))
        return tellWhetherEmpty(args[1]);
    const bool keepExisting = args.removeAll(QStringLiteral("--keep-existing")) > 0;
    const bool replace = args.removeAll(QStringLiteral("--replace")) > 0;
    if (args.size() != 1 || args.first().startsWith(QLatin1Char('-')) ||
        (keepExisting && replace)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (RegisterLocation::namesServer(args.first()))
        return makeOnServer(RegisterLocation::server(args.first()));
    QString problem;
    const QString path = fileNamedBy(args.first(), &problem);
    if (path.isEmpty())
        return fail(problem);
    if (isTaken(path)) {
        if (keepExisting)
            return 0;
        if (!replace)
            return fail(QStringLiteral("%1 already exists; not overwritten (--replace moves it "
                                       "into the backups folder first)")
                            .arg(path));
        problem = moveIntoBackups(path);
        if (!problem.isEmpty())
            return fail(problem);
    }
    problem = makeEmptyRegister(path);
    if (!problem.isEmpty())
        return fail(problem);
    std::printf("created empty register %s\n", qPrintable(path));
    return 0;
}
