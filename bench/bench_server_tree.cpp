// The main tree read from a register on a PostgreSQL server over the local
// socket, against the floor: libpq's COPY ... TO STDOUT of the same rows.
// Starts a private server, fills it from a generated register file with
// RegisterTransfer (BenchSupport), then times each read five times.
// Usage: quarvel-bench-server-tree [--dir FOLDER] [100k|1M ...] (100k by
// default); FOLDER keeps the generated register files for the next run.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>

#include "BenchSupport.h"
#include "data/Register.h"
#include "data/TreeStore.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList sizes;
    QString keep;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--dir") && i + 1 < args.size())
            keep = args[++i];
        else
            sizes << args[i];
    }
    if (sizes.isEmpty())
        sizes << QStringLiteral("100k");
    QTemporaryDir temporary;
    const QDir dir(keep.isEmpty() ? temporary.path() : keep);
    QDir().mkpath(dir.path());
    QTextStream out(stdout);
    Bench::BenchServer server;
    if (!server.start(out))
        return 2;
    QString table = QStringLiteral(
        "| register | COPY floor (ms) | tree read (ms) | ratio |\n|---|---|---|---|\n");
    bool met = true;
    for (const QString& size : sizes) {
        const QString connection = server.registerFor(dir, registerShape(size), out);
        if (connection.isEmpty())
            return 2;
        out.flush();
        Bench::CopySession session(connection);
        Register reg(RegisterLocation::server(connection),
                     [](const QString& m) { std::fprintf(stderr, "%s\n", qPrintable(m)); });
        TreeStore store(reg);
        std::vector<double> floor, tree;
        std::uint64_t checksum = 0;
        for (int run = 0; run < 5; ++run) {
            auto start = Bench::Steady::now();
            const Bench::TreeFloor rows = Bench::copyTreeFloor(session, checksum);
            floor.push_back(Bench::msSince(start));
            start = Bench::Steady::now();
            const auto read = store.read({QDate::currentDate()});
            tree.push_back(Bench::msSince(start));
            if (!read || static_cast<std::int64_t>(read->itemIds.size()) != rows.items)
                return 2;
        }
        const double f = Bench::median(floor), t = Bench::median(tree);
        // At 1k both reads take a few milliseconds of round trips: no target.
        if (size != QLatin1String("1k"))
            met = met && t <= 3 * f;
        table += QStringLiteral("| %1 | %2 | %3 | %4 |\n")
                     .arg(size, Bench::number(f, 0), Bench::number(t, 0), Bench::number(t / f, 2));
    }
    out << "\n" << table << (met ? "Target met" : "TARGET MISSED") << ": at most 3x the floor.\n";
    return met ? 0 : 1;
}
