// quarvel-bench-writers: two copies of the program saving to one register at
// the same time, each as fast as it can. Every writer is a process of its
// own that saves through the store as the windows do (a new item, then an
// item's notes, in turn) and counts the saves refused because the register
// was in use; afterwards the register is checked: sound, and every item that
// was saved is there.
//
//   quarvel-bench-writers [--saves N] [--wait SECONDS] [--dir DIR]
//   quarvel-bench-writers --writer FILE SAVES WAIT_MS   (one writer, started by the first form)
//
// N is the number of saves of both writers together (default 57,600); the
// register is made in DIR (default: a temporary folder). It exits with 1 when
// a save was refused or the register is not as it should be.

#include <sqlite3.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "data/ItemStore.h"
#include "data/Register.h"

namespace {

constexpr int kWriters = 2;
constexpr qint64 kDefaultSaves = 57600;

ItemWrite newItem(qint64 round) {
    ItemWrite values;
    for (auto& v : values)
        v = QString();
    values[int(ItemColumn::Desc)] = QStringLiteral("Item of round %1").arg(round);
    return values;
}

// One writer: prints "SAVED <n> REFUSED <n> ITEMS <n>".
int runWriter(const QString& path, qint64 saves, int waitMs) {
    qint64 refused = 0, items = 0;
    Register reg(path, [&refused](const QString&) { ++refused; });
    reg.setBusyWait([waitMs] { return waitMs; });
    ItemStore store(reg);
    for (qint64 round = 0; round < saves; ++round) {
        if (round % 2 == 0) {
            if (store.insert(newItem(round)))
                ++items;
        } else {
            store.update(1, {{int(ItemColumn::Notes), QString::number(round), {}}}, true);
        }
    }
    std::printf("SAVED %lld REFUSED %lld ITEMS %lld\n", saves, refused, items);
    return 0;
}

qint64 scalar(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    qint64 value = -1;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        value =
            sqlite3_column_type(stmt, 0) == SQLITE_TEXT
                ? (qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "ok") == 0)
                : sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

QString argumentAfter(const QStringList& args, const QString& name, const QString& fallback) {
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args[at + 1] : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == QLatin1String("--writer"))
        return runWriter(args[2], args[3].toLongLong(), args[4].toInt());

    const qint64 saves =
        argumentAfter(args, "--saves", QString::number(kDefaultSaves)).toLongLong();
    const int waitMs = argumentAfter(args, "--wait", "10").toInt() * 1000;
    QTemporaryDir temporary;
    const QString dir = argumentAfter(args, "--dir", temporary.path());
    QDir().mkpath(dir);
    const QString path = QDir(dir).filePath(QStringLiteral("writers.mdb"));
    QFile::remove(path);
    QString error;
    if (!Register::createEmptyDatabase(path, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    Register reg(path);
    ItemStore(reg).insert(newItem(-1));  // item 1, whose notes the writers change

    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.push_back(std::make_unique<QProcess>());
        writers.back()->start(
            app.applicationFilePath(),
            {"--writer", path, QString::number(saves / kWriters), QString::number(waitMs)});
    }
    qint64 refused = 0, items = 1;
    for (auto& writer : writers) {
        writer->waitForFinished(-1);
        const QStringList words = QString::fromLatin1(writer->readAllStandardOutput()).split(' ');
        refused += words.value(3).toLongLong();
        items += words.value(5).trimmed().toLongLong();
    }
    const double seconds = clock.elapsed() / 1000.0;
    const bool sound = scalar(path, "PRAGMA integrity_check") == 1;
    const qint64 stored = scalar(path, "SELECT COUNT(*) FROM Items");
    const qint64 lastId = scalar(path, "SELECT lastid FROM Data");
    std::printf("writers %d, saves %lld, wait %d s: refused %lld, %.1f s (%.2f ms a save)\n",
                kWriters, saves, waitMs / 1000, refused, seconds, seconds * 1000 / saves);
    std::printf("items saved %lld, stored %lld, lastid %lld, integrity %s\n", items, stored, lastId,
                sound ? "ok" : "FAILED");
    const bool met = refused == 0 && sound && stored == items && lastId == items;
    std::printf("%s\n", met ? "met: no save refused, none lost" : "MISSED");
    return met ? 0 : 1;
}
