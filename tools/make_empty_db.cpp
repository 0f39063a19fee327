// Writes an empty register: the six tables and the Data row with all three
// counters 0. With --keep-existing an existing file is left alone (the build
// uses this to place a data.mdb beside the program without ever replacing one).
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

#include "data/Store.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool keepExisting = args.removeAll(QStringLiteral("--keep-existing")) > 0;
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: quarvel-makedb [--keep-existing] PATH/data.mdb\n");
        return 2;
    }
    const QString path = args.first();
    if (QFileInfo::exists(path)) {
        if (keepExisting)
            return 0;
        std::fprintf(stderr, "%s already exists; not overwritten\n", qPrintable(path));
        return 1;
    }
    QString error;
    if (!Store::createEmptyDatabase(path, &error)) {
        std::fprintf(stderr, "could not create %s: %s\n", qPrintable(path), qPrintable(error));
        return 1;
    }
    std::printf("created empty register %s\n", qPrintable(path));
    return 0;
}
