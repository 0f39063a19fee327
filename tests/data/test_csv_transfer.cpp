// CSV files in and out of the register: reading what spreadsheets write,
// exporting lists, checking and importing items, and the command line.
#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include "TempRegister.h"
#include "data/CsvExport.h"
#include "data/CsvReader.h"
#include "data/ItemImport.h"
#include "data/Store.h"
#include "data/TransferCommands.h"

namespace {

const QByteArray kBom = "\xEF\xBB\xBF";

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct ReadResult {
    QList<qint64> lines;
    QList<QStringList> records;
    QString error;
};

ReadResult readAll(const QByteArray& bytes, const Csv::Format& format) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    Csv::Reader reader(buffer, format);
    ReadResult out;
    reader.read([&](const Csv::Record& r) {
        out.lines << r.line;
        QStringList fields;
        for (const std::string& f : r.fields)
            fields << QString::fromStdString(f);
        out.records << fields;
        return true;
    });
    out.error = reader.error();
    return out;
}

// A store that keeps what it would tell the user.
struct Probe {
    explicit Probe(const QString& path)
        : store(path, [this](const QString& m) { messages << m; }) {}
    Store store;
    QStringList messages;
};

// Three items (one with a comma, a quote and a line break in its
// description), a case holding two of them, a list of one, and a location.
void fillRegister(const TempRegister& reg) {
    reg.exec(QStringLiteral(
        "INSERT INTO Cases (id, FName, FLocation, FBought, FNotes, FWheeled) "
        "VALUES (4, 'Rack', 'Bay 1', '1/2/2003', '', 'Yes');"
        "INSERT INTO Items (id, \"desc\", category, dom, caseID, warehouseloc, length, serial) "
        "VALUES (3, 'Amp, \"big\"\nred', 'Audio', '7/3/2008', 4, 'Bay 1', 2.5, 'S1');"
        "INSERT INTO Items (id, \"desc\", category, caseID, length) VALUES (9, 'Café €', 'Light', "
        "4, 0);"
        "INSERT INTO Items (id, \"desc\", caseID, length, notes) VALUES (12, 'Cable', 0, 10, "
        "' padded ');"
        "INSERT INTO Lists (id, ListName) VALUES (2, 'Gig');"
        "INSERT INTO ListData (listid, itemid, itemdesc) VALUES (2, 9, 'Café old');"
        "INSERT INTO Locations (\"desc\") VALUES ('Bay 1');"
        "UPDATE Data SET lastid = 12, lastCase = 4, lastList = 2"));
}

std::optional<ItemImport::CheckResult> checkFile(ItemImport::Import& import) {
    QString error;
    auto result = import.check(&error);
    if (!result)
        qWarning("check failed: %s", qPrintable(error));
    return result;
}

QStringList problemTexts(const ItemImport::CheckResult& r) {
    QStringList out;
    for (const ItemImport::Problem& p : r.problems)
        out << ItemImport::describe(p);
    return out;
}

int runCommand(const QStringList& args, const TempRegister& reg, QString* messages) {
    QString err;
    QTextStream stream(&err);
    const QTemporaryDir settings;
    const int code = TransferCommands::run(args, reg.path(), settings.filePath("q.ini"), stream);
    stream.flush();
    *messages = err;
    return code;
}

}  // namespace

class TestCsvTransfer : public QObject {
    Q_OBJECT
private slots:
    void readsWhatSpreadsheetsWrite();
    void exportsItemsCasesAndLists();
    void roundTripGivesTheSameRows();
    void checksEveryLineBeforeImporting();
    void failureHalfWayLeavesRegisterAsItWas();
    void commandLine();
};

void TestCsvTransfer::readsWhatSpreadsheetsWrite() {
    // Windows-1252, semicolons, a quoted field with a line break in it.
    const QByteArray cp1252 = "id;desc\r\n1;\"Caf\xE9\r\n\x80 5\"\r\n\r\n2;x;\r\n";
    Csv::Format format = Csv::detectFormat(cp1252);
    QCOMPARE(format.encoding, Csv::Encoding::Windows1252);
    QCOMPARE(format.separator, ';');
    ReadResult r = readAll(cp1252, format);
    QCOMPARE(r.records.size(), 3);  // the blank line is no record
    QCOMPARE(r.records[1], QStringList({"1", QStringLiteral("Café\r\n€ 5")}));
    QCOMPARE(r.lines, QList<qint64>({1, 2, 5}));  // a record's own line, past the break
    QCOMPARE(r.records[2], QStringList({"2", "x", ""}));

    // UTF-8 with a byte-order mark, tab separated: the mark is not in the header.
    const QByteArray utf8 = kBom + "Description\tSerial\n\"Stand \"\"A\"\"\"\tß1\n12\" box\t2\n";
    format = Csv::detectFormat(utf8);
    QCOMPARE(format.encoding, Csv::Encoding::Utf8);
    QVERIFY(format.byteOrderMark);
    QCOMPARE(format.separator, '\t');
    r = readAll(utf8, format);
    QCOMPARE(r.records[0], QStringList({"Description", "Serial"}));
    QCOMPARE(r.records[1], QStringList({"Stand \"A\"", QStringLiteral("ß1")}));
    QCOMPARE(r.records[2], QStringList({"12\" box", "2"}));  // a stray quote is kept

    // Commas win when a semicolon only stands inside a text.
    QCOMPARE(Csv::detectFormat(QByteArray("a,b,c\n1,x;y,2\n")).separator, ',');

    // A quote never closed is an error naming the line it was opened on.
    r = readAll("a,b\n1,\"open\n2,3\n", Csv::Format{});
    QVERIFY2(r.error.contains(QLatin1String("Line 2")), qPrintable(r.error));
}

void TestCsvTransfer::exportsItemsCasesAndLists() {
    TempRegister reg;
    fillRegister(reg);
    Probe probe(reg.path());
    QTemporaryDir dir;
    QString error;
    qint64 rows = 0;

    const QString items = dir.filePath("items.csv");
    QVERIFY(CsvExport::write(probe.store, *CsvExport::parse("Items"), items, &error, &rows));
    QCOMPARE(rows, 3);
    const QByteArray bytes = readFile(items);
    QVERIFY(bytes.startsWith(kBom));
    const QList<QByteArray> lines = bytes.mid(3).split('\n');
    QCOMPARE(lines[0],
             "id,desc,category,manufacturer,model,dom,testinterval,testlast,testnext,"
             "testpatresult,testpressureresult,visualinspectionresult,lolerinspectionresult,"
             "calibrationcert,caseID,warehouseloc,notes,length,serial\r");
    // Quotes where needed, numbers as the windows show them, dates as stored.
    QCOMPARE(lines[1], "3,\"Amp, \"\"big\"\"");
    QCOMPARE(lines[2], "red\",Audio,,,7/3/2008,,,,,,,,,4,Bay 1,,2.5,S1\r");
    QVERIFY(bytes.contains("12,Cable,,,,,,,,,,,,,0,,\" padded \",10,\r\n"));
    QVERIFY(bytes.contains(QStringLiteral("9,Café €,Light").toUtf8()));

    const QString inCase = dir.filePath("case.csv");
    QVERIFY(CsvExport::write(probe.store, *CsvExport::parse("f4"), inCase, &error, &rows));
    QCOMPARE(rows, 2);
    const QString list = dir.filePath("list.csv");
    QVERIFY(CsvExport::write(probe.store, *CsvExport::parse("L2"), list, &error, &rows));
    QCOMPARE(rows, 1);
    QVERIFY(readFile(list).startsWith(kBom + "listid,itemid,itemdesc,desc,"));
    QVERIFY(readFile(list).contains(QStringLiteral("2,9,Café old,Café €,Light").toUtf8()));

    // A case that does not exist: a message, and no file.
    const QString missing = dir.filePath("missing.csv");
    QVERIFY(!CsvExport::write(probe.store, *CsvExport::parse("F5"), missing, &error));
    QCOMPARE(error, QStringLiteral("Flight case F5 does not exist."));
    QVERIFY(!QFile::exists(missing));
    QVERIFY(!CsvExport::parse("F"));
    QVERIFY(!CsvExport::parse("12"));

    // A file that cannot be written leaves an existing one as it was.
    writeFile(dir, "kept.csv", "old");
    QVERIFY(!CsvExport::write(probe.store, *CsvExport::parse("items"),
                              dir.filePath("no/such/folder.csv"), &error));
    QCOMPARE(readFile(dir.filePath("kept.csv")), QByteArray("old"));
}

void TestCsvTransfer::roundTripGivesTheSameRows() {
    TempRegister from;
    fillRegister(from);
    Probe source(from.path());
    QTemporaryDir dir;
    QString error;
    const QString file = dir.filePath("items.csv");
    QVERIFY(CsvExport::write(source.store, {ExportKind::Items, 0}, file, &error));

    TempRegister to;
    Probe target(to.path());
    auto opened = ItemImport::ImportFile::open(file, &error);
    QVERIFY2(opened, qPrintable(error));
    QCOMPARE(opened->mapping.size(), std::size_t(kItemDataColumnCount + 1));
    QVERIFY(std::find(opened->mapping.begin(), opened->mapping.end(), ItemImport::kSkip) ==
            opened->mapping.end());
    ItemImport::Import import(target.store, std::move(*opened), {false, true});
    const auto checked = checkFile(import);
    QVERIFY(checked);
    QCOMPARE(problemTexts(*checked), QStringList());
    const auto counts = import.importGoodLines(*checked, &error);
    QVERIFY2(counts, qPrintable(error));
    QCOMPARE(counts->items, 3);
    QCOMPARE(counts->casesCreated, 1);
    QCOMPARE(counts->locationsAdded, 1);

    const QString again = dir.filePath("again.csv");
    QVERIFY(CsvExport::write(target.store, {ExportKind::Items, 0}, again, &error));
    QCOMPARE(readFile(again), readFile(file));
    QCOMPARE(to.scalar("SELECT lastid FROM Data").toLongLong(), 12);
    QCOMPARE(to.scalar("SELECT lastCase FROM Data").toLongLong(), 4);
    QCOMPARE(to.scalar("SELECT FName FROM Cases WHERE id = 4").toString(), QStringLiteral("F4"));
    QCOMPARE(target.messages, QStringList());
}

void TestCsvTransfer::checksEveryLineBeforeImporting() {
    TempRegister reg;
    fillRegister(reg);
    Probe probe(reg.path());
    QTemporaryDir dir;
    const QString file = writeFile(dir, "in.csv",
                                   "Equipment ID Number;Description;Date of Manufacture;"
                                   "Flight Case;Warehouse Location;Length;Colour\n"
                                   "20;Good;7/3/2008;F4;bay 1;1,5;red\n"
                                   ";New id;;;Shelf 9;;\n"
                                   "12;Taken;;;;;\n"
                                   "20;Twice;;;;;\n"
                                   "2x;Bad id;;;;;\n"
                                   "21;Bad date;31/2/2008;;;;\n"
                                   "22;Other form;2008-03-07;;;;\n"
                                   "23;No case;;F77;;;\n"
                                   "24;Long;;;;abc;\n"
                                   "25;Too many;;;;;;extra\n");
    QString error;
    auto opened = ItemImport::ImportFile::open(file, &error);
    QVERIFY(opened);
    QCOMPARE(opened->mapping.back(), ItemImport::kSkip);  // "Colour" goes nowhere

    ItemImport::Import strict(probe.store, *opened, {});
    auto checked = checkFile(strict);
    QVERIFY(checked);
    QCOMPARE(checked->lines, 10);
    QCOMPARE(checked->goodLines, 2);
    const QStringList problems = problemTexts(*checked);
    QCOMPARE(problems.size(), 8);
    QCOMPARE(problems[0], QStringLiteral("Line 4, Equipment ID Number: item 12 is already in the "
                                         "register."));
    QCOMPARE(problems[1],
             QStringLiteral("Line 5, Equipment ID Number: item 20 is also on line 2."));
    QVERIFY(problems[2].startsWith(QLatin1String("Line 6, Equipment ID Number: \"2x\"")));
    QVERIFY(
        problems[3].startsWith(QLatin1String("Line 7, Date of Manufacture: \"31/2/2008\" is "
                                             "not a date")));
    QVERIFY(problems[4].contains(QLatin1String("store it as 7/3/2008")));
    QVERIFY(problems[5].startsWith(QLatin1String("Line 9, Flight Case: flight case F77")));
    QVERIFY(problems[6].startsWith(QLatin1String("Line 10, Length: \"abc\" is not a number")));
    QVERIFY(problems[7].startsWith(QLatin1String("Line 11: the line has 8 fields")));

    // Converting dates and making cases turns two problems into good lines.
    ItemImport::Import lenient(probe.store, *opened, {true, true});
    checked = checkFile(lenient);
    QVERIFY(checked);
    QCOMPARE(checked->goodLines, 4);
    QCOMPARE(checked->highestId, 23);
    const auto preview = lenient.preview(2, &error);
    QCOMPARE(preview.size(), std::size_t(2));
    QCOMPARE(preview[0].values.value(0), QStringLiteral("20"));
    QCOMPARE(preview[0].values.value(17), QStringLiteral("1.5"));  // decimal comma read
    QCOMPARE(preview[1].values.value(0), QStringLiteral("new id"));

    const QString report = dir.filePath("report.csv");
    QVERIFY(lenient.writeReport(report, &error));
    QVERIFY(readFile(report).startsWith(kBom + "line,column,value,problem\r\n4,Equipment ID "
                                               "Number,12,item 12 is already in the register."));

    const auto counts = lenient.importGoodLines(*checked, &error);
    QVERIFY2(counts, qPrintable(error));
    QCOMPARE(counts->items, 4);
    QCOMPARE(counts->newIds, 1);
    // The new id comes above every id the register or the file gave.
    QCOMPARE(reg.scalar("SELECT \"desc\" FROM Items WHERE id = 24").toString(),
             QStringLiteral("New id"));
    QCOMPARE(reg.scalar("SELECT dom FROM Items WHERE id = 22").toString(),
             QStringLiteral("7/3/2008"));
    QCOMPARE(reg.scalar("SELECT lastid FROM Data").toLongLong(), 24);
    QCOMPARE(reg.scalar("SELECT lastCase FROM Data").toLongLong(), 77);
    // "bay 1" is the location already listed; "Shelf 9" is added once.
    QCOMPARE(reg.count("Locations"), 2);
    QCOMPARE(reg.count("Items"), 7);
}

void TestCsvTransfer::failureHalfWayLeavesRegisterAsItWas() {
    TempRegister reg;
    fillRegister(reg);
    Probe probe(reg.path());
    QTemporaryDir dir;
    QByteArray bytes = "id,desc,warehouseloc,caseID\n";
    for (int i = 100; i < 400; ++i)
        bytes += QByteArray::number(i) + ",Item,New bay,F50\n";
    const QString file = writeFile(dir, "in.csv", bytes);
    QString error;
    auto opened = ItemImport::ImportFile::open(file, &error);
    ItemImport::Import import(probe.store, std::move(*opened), {false, true});
    const auto checked = checkFile(import);
    QVERIFY(checked);
    QCOMPARE(checked->goodLines, 300);

    // The file changes under the import in a way its size and time do not
    // show: line 250 now gives a taken id, after many lines were added.
    const QDateTime modified = QFileInfo(file).lastModified();
    bytes.replace("349,Item", "012,Item");
    writeFile(dir, "in.csv", bytes);
    QFile touched(file);
    QVERIFY(touched.open(QIODevice::ReadWrite));
    QVERIFY(touched.setFileTime(modified, QFileDevice::FileModificationTime));
    touched.close();

    QVERIFY(!import.importGoodLines(*checked, &error));
    QVERIFY(error.contains(QLatin1String("has changed since it was checked")));
    QCOMPARE(reg.count("Items"), 3);
    QCOMPARE(reg.count("Cases"), 1);
    QCOMPARE(reg.count("Locations"), 1);
    QCOMPARE(reg.scalar("SELECT lastid FROM Data").toLongLong(), 12);
    QCOMPARE(reg.scalar("SELECT lastCase FROM Data").toLongLong(), 4);
}

void TestCsvTransfer::commandLine() {
    TempRegister reg;
    fillRegister(reg);
    QTemporaryDir dir;
    QString messages;

    const QString out = dir.filePath("case.csv");
    QCOMPARE(runCommand({"--export", "F4", out}, reg, &messages), int(TransferCommands::Done));
    QVERIFY(messages.contains(QLatin1String("Exported 2 rows")));
    QCOMPARE(runCommand({"--export", "cases", out}, reg, &messages),
             int(TransferCommands::BadUsage));
    QCOMPARE(runCommand({"--import"}, reg, &messages), int(TransferCommands::BadUsage));
    QCOMPARE(runCommand({"--import", "a.csv", "--export", "items", out}, reg, &messages),
             int(TransferCommands::BadUsage));

    const QString in = writeFile(dir, "in.csv", "id,desc,dom\n30,One,2008-03-07\n3,Taken,\n");
    const QString report = dir.filePath("report.csv");
    QCOMPARE(runCommand({"--import", in, "--report", report}, reg, &messages),
             int(TransferCommands::Failed));
    QVERIFY(messages.contains(QLatin1String("Line 3, id: item 3 is already in the register.")));
    QVERIFY(messages.contains(QLatin1String("nothing was imported")));
    QVERIFY(readFile(report).contains("3,id,3,item 3 is already"));
    QCOMPARE(reg.count("Items"), 3);

    QCOMPARE(runCommand({"--import", in, "--good-lines", "--convert-dates"}, reg, &messages),
             int(TransferCommands::Done));
    QVERIFY(messages.contains(QLatin1String("Imported 1 items")));
    QCOMPARE(reg.scalar("SELECT dom FROM Items WHERE id = 30").toString(),
             QStringLiteral("7/3/2008"));
    QCOMPARE(runCommand({"--import", dir.filePath("none.csv")}, reg, &messages),
             int(TransferCommands::Failed));
}

QTEST_GUILESS_MAIN(TestCsvTransfer)
#include "test_csv_transfer.moc"
