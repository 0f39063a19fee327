// quarvel-bench-scan: scan sessions on the 1M-item register.
//
//  - a scan answered and stored: 1,000 scans of items spread over the
//    register, each ScanStore::record in its own transaction (median and
//    slowest; targets 50 ms and 100 ms);
//  - a stocktake of a location where 50,000 items are expected: what the
//    session expects, read when it opens (target 1 s);
//  - Finish of a session of 50,000 scans: its scans, what it expects, the
//    summary and its text (target 1 s).
//
// Usage: quarvel-bench-scan [--dir FOLDER]   (FOLDER keeps the generated register)

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <chrono>
#include <random>

#include "RegisterGenerator.h"
#include "data/Register.h"
#include "data/ScanStore.h"
#include "data/engine/Sqlite.h"

namespace {

using Steady = std::chrono::steady_clock;

double msSince(Steady::time_point start) {
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

QString number(double value, int decimals = 1) {
    return QString::number(value, 'f', decimals);
}

// The 1M register, generated once into dir (and reused when kept there).
QString millionRegister(const QDir& dir, QTextStream& out) {
    const QString path = dir.filePath(QStringLiteral("scan-1M.mdb"));
    if (QFile::exists(path))
        return path;
    out << "generating the 1M register...\n";
    out.flush();
    RegisterCounts counts;
    QString error;
    if (!generateRegister(path, registerShape(QStringLiteral("1M")), &counts, &error))
        out << error << "\n";
    return path;
}

constexpr int kScans = 1000;
constexpr int kExpected = 50000;
const QString kBay = QStringLiteral("Bench bay");
const TestsDue::Window kWindow{QDate(2009, 1, 5), 30};

// The first 50,000 items stand loose in the bench bay; a finished session
// of 50,000 scans of them, and an open one to scan into.
bool prepare(const QString& path) {
    Sqlite::Connection db(path);
    return db.begin(Sql::Transaction::Write) &&
           db.exec(R"(UPDATE "Items" SET "warehouseloc" = 'Bench bay', "caseID" = 0
                      WHERE "id" <= 50000)") &&
           db.exec(R"(INSERT INTO "ScanSessions" VALUES
                      (1, 'Stocktake', 'Bench bay', 0, '2009-01-05T09:00:00', '', 'bench'))") &&
           db.exec(R"(INSERT INTO "ScanRecords"
                      WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n
                                              WHERE i < 50000)
                      SELECT i, 1, i * 13 % 60000 + 1, 0, '2009-01-05T09:30:00',
                             CASE WHEN i * 13 % 60000 < 50000 THEN 'here'
                                  ELSE 'belongs elsewhere: Bay 2' END FROM n)") &&
           db.commit();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString keep;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--dir") && i + 1 < args.size())
            keep = args[++i];
    }
    QTemporaryDir temporary;
    const QDir dir(keep.isEmpty() ? temporary.path() : keep);
    QDir().mkpath(dir.path());
    QTextStream out(stdout);
    const QString generated = millionRegister(dir, out);
    // The bench's changes go to a copy: a kept register stays as generated.
    const QString path = temporary.filePath(QStringLiteral("scan.mdb"));
    QFile::remove(path);
    Register reg(path, [&out](const QString& m) { out << "store: " << m << "\n"; });
    ScanStore scans(reg);
    if (!QFile::copy(generated, path) || !reg.upgradeIfOlder() || !prepare(path)) {
        out << "the register cannot be prepared\n";
        return 1;
    }

    const ScanRules::Session finished = *scans.session(1);
    ScanRules::Session session{
        0,  ScanRules::Kind::Stocktake, kBay, 0, QDateTime(kWindow.today, QTime(10, 0)),
        {}, QStringLiteral("bench")};
    auto start = Steady::now();
    session.id = scans.startSession(session).value_or(0);
    const auto expected = scans.expected(session);
    const double openMs = msSince(start);

    std::mt19937_64 random(30);
    std::uniform_int_distribution<qint64> item(1, 1000000);
    std::vector<double> scanMs;
    for (int i = 0; i < kScans; ++i) {
        start = Steady::now();
        if (!scans.record(session, {ScanRules::Code::Type::Item, item(random)}, session.started,
                          kWindow))
            return 1;
        scanMs.push_back(msSince(start));
    }

    start = Steady::now();
    const auto records = scans.records(finished.id);
    const auto finishedExpected = scans.expected(finished);
    const ScanRules::Summary summary =
        ScanRules::summarise(finished.kind, records.value_or(QList<ScanRules::Record>{}),
                             finishedExpected.value_or(QList<ScanRules::Expected>{}));
    const QString text = ScanRules::summaryText(finished.kind, summary);
    const double finishMs = msSince(start);

    out << "scan answered and stored: median " << number(median(scanMs), 2) << " ms, slowest "
        << number(*std::max_element(scanMs.begin(), scanMs.end()), 2) << " ms (" << kScans
        << " scans)\n";
    out << "stocktake opened, " << (expected ? expected->size() : 0)
        << " expected: " << number(openMs) << " ms\n";
    out << "finish, " << (records ? records->size() : 0) << " scans, " << summary.missing.size()
        << " missing, " << summary.misplaced.size() << " misplaced: " << number(finishMs)
        << " ms\n";
    const bool met = median(scanMs) < 50 && *std::max_element(scanMs.begin(), scanMs.end()) < 100 &&
                     openMs < 1000 && finishMs < 1000 && expected &&
                     expected->size() >= kExpected && !text.isEmpty();
    out << (met ? "targets met\n" : "a target is missed\n");
    return met ? 0 : 1;
}
