// The main tree read from a register on a PostgreSQL server over the local
// socket, against the floor: libpq's COPY ... TO STDOUT of the same rows.
// Starts a private server (tests/support/PostgresServer), fills it from a
// generated register file with RegisterTransfer, then times each read five
// times. Usage: quarvel-bench-server-tree [100k|1M ...] (100k by default).
#include <libpq-fe.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>

#include "BenchSupport.h"
#include "PostgresServer.h"
#include "data/Store.h"
#include "data/register/RegisterTransfer.h"

namespace {

// Every row the tree needs, through COPY in text form; false on a failure.
bool copyFloor(PGconn* db) {
    const char* statements[] = {
        R"(COPY (SELECT "id", "FName" FROM "Cases" ORDER BY "id") TO STDOUT)",
        R"(COPY (SELECT "id", "desc", "caseID" FROM "Items" ORDER BY "id") TO STDOUT)",
        R"(COPY (SELECT "id", "ListName" FROM "Lists" ORDER BY "id") TO STDOUT)",
        R"(COPY (SELECT "listid", "itemid", "itemdesc" FROM "ListData") TO STDOUT)"};
    for (const char* sql : statements) {
        PGresult* start = PQexec(db, sql);
        const bool copying = PQresultStatus(start) == PGRES_COPY_OUT;
        PQclear(start);
        if (!copying)
            return false;
        char* row = nullptr;
        std::size_t bytes = 0;
        int length;
        while ((length = PQgetCopyData(db, &row, 0)) > 0) {
            bytes += static_cast<std::size_t>(length);
            PQfreemem(row);
        }
        while (PGresult* end = PQgetResult(db))
            PQclear(end);
        if (length != -1 || bytes == 0)
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList sizes = app.arguments().mid(1);
    if (sizes.isEmpty())
        sizes << QStringLiteral("100k");
    PostgresServer server;
    if (!server.start()) {
        std::fprintf(stderr, "no server: %s\n", qPrintable(server.error()));
        return 1;
    }
    std::printf("| register | COPY floor (ms) | tree read (ms) | ratio |\n|---|---|---|---|\n");
    for (const QString& size : sizes) {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("data.mdb"));
        RegisterCounts counts;
        QString error;
        if (!generateRegister(file, registerShape(size), &counts, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        const QString database = QStringLiteral("bench%1").arg(size.toLower());
        const QString connection = server.newDatabase(database);
        const auto copied = RegisterTransfer::copy(RegisterLocation::file(file),
                                                   RegisterLocation::server(connection));
        if (!copied.ok) {
            std::fprintf(stderr, "%s\n", qPrintable(copied.error));
            return 1;
        }
        PGconn* db = PQconnectdb(connection.toUtf8().constData());
        Store store(RegisterLocation::server(connection),
                    [](const QString& m) { std::fprintf(stderr, "%s\n", qPrintable(m)); });
        std::vector<double> floor, tree;
        for (int run = 0; run < 5; ++run) {
            auto start = Bench::Steady::now();
            if (!copyFloor(db))
                return 1;
            floor.push_back(Bench::msSince(start));
            start = Bench::Steady::now();
            const auto read = store.readTree({QDate::currentDate()});
            tree.push_back(Bench::msSince(start));
            if (!read || static_cast<std::int64_t>(read->itemIds.size()) != counts.items)
                return 1;
        }
        PQfinish(db);
        const double f = Bench::median(floor), t = Bench::median(tree);
        std::printf("| %s | %.0f | %.0f | %.2f |\n", qPrintable(size), f, t, t / f);
    }
    return 0;
}
