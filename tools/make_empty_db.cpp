// quarvel-makedb writes an empty register: the six tables and the Data row
// with all three counters 0. It never overwrites a register: with
// --keep-existing it leaves one alone (the build and the install place a
// data.mdb beside the program so); with --replace it first moves the old one
// into the backups folder beside it. Given a link (the package's
// /usr/lib/quarvel/data.mdb), it makes the file where the link leads. In a
// folder a group shares (setgid), the register gets the group and its write
// access, so that every member can save.
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "data/FilePlatform.h"
#include "data/RegisterFolder.h"
#include "data/Store.h"

namespace {

const char* const kUsage =
    "Usage: quarvel-makedb [--keep-existing | --replace] PATH/data.mdb\n"
    "Writes an empty Quarvel register. An existing register is never overwritten:\n"
    "  --keep-existing  leave it as it is and succeed\n"
    "  --replace        move it into the folder \"backups\" beside it first\n"
    "Without either, the tool stops when the register exists.\n"
    "In a folder shared by a group (setgid) the register gets the folder's group\n"
    "and the group's write access.\n";

int fail(const QString& message) {
    std::fprintf(stderr, "quarvel-makedb: %s\n", qPrintable(message));
    return 1;
}

// Moves the register into its backups folder (made shared like its own
// folder when it is new), where Quarvel keeps every copy of it.
QString moveIntoBackups(const QString& path) {
    // A journal beside it: a save is under way, or one was cut off and the
    // next opening rolls it back. Either way the file alone is no whole register.
    for (const char* suffix : {"-journal", "-wal"}) {
        if (QFileInfo::exists(path + QLatin1String(suffix)))
            return QStringLiteral(
                       "%1 is being saved, or a save was cut off (%1%2 lies beside it). "
                       "Start Quarvel once after everyone has closed it, then try again.")
                .arg(path, QLatin1String(suffix));
    }
    const QString backup = RegisterFolder::backupPath(path, QDateTime::currentDateTime());
    const QString folder = QFileInfo(backup).absolutePath();
    if (!QFileInfo::exists(folder)) {
        if (!QDir().mkpath(folder))
            return QStringLiteral("could not make the folder %1").arg(folder);
        const QString problem = FilePlatform::shareWithFolderGroup(folder);
        if (!problem.isEmpty())
            return problem;
    }
    if (!QFile::rename(path, backup))
        return QStringLiteral("could not move %1 to %2").arg(path, backup);
    std::printf("moved the register %s to %s\n", qPrintable(path), qPrintable(backup));
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.contains(QStringLiteral("--help"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const bool keepExisting = args.removeAll(QStringLiteral("--keep-existing")) > 0;
    const bool replace = args.removeAll(QStringLiteral("--replace")) > 0;
    if (args.size() != 1 || args.first().startsWith(QLatin1Char('-')) ||
        (keepExisting && replace)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const QString path = RegisterFolder::realFile(args.first());
    if (QFileInfo::exists(path)) {
        if (keepExisting)
            return 0;
        if (!replace)
            return fail(QStringLiteral("%1 already exists; not overwritten (--replace moves it "
                                       "into the backups folder first)")
                            .arg(path));
        const QString problem = moveIntoBackups(path);
        if (!problem.isEmpty())
            return fail(problem);
    }
    QString error;
    if (!Store::createEmptyDatabase(path, &error))
        return fail(QStringLiteral("could not create %1: %2").arg(path, error));
    const QString problem = FilePlatform::shareWithFolderGroup(path);
    if (!problem.isEmpty())
        return fail(problem + QStringLiteral(" (the register was made, but other members of the "
                                             "folder's group cannot save in it)"));
    std::printf("created empty register %s\n", qPrintable(path));
    return 0;
}
