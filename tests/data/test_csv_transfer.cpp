// CSV files in and out of the register: reading what spreadsheets write,
// exporting lists, checking and importing items, and the command line.
#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include "StoreFixture.h"
#include "TempRegister.h"
#include "TestFiles.h"
#include "cli/TransferCommands.h"
#include "data/rules/DetailLines.h"
#include "data/transfer/CsvExport.h"
#include "data/transfer/CsvReader.h"
#include "data/transfer/ItemImport.h"

namespace {

const QByteArray kBom = "\xEF\xBB\xBF";

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

// Every item row of the register, each column's type and bytes, by id.
QStringList itemRows(const TempRegister& reg) {
    QStringList columns;
    for (const ColumnSpec& c : kItemColumns)
        columns << QStringLiteral("typeof(\"%1\") || ':' || coalesce(hex(\"%1\"), '')").arg(c.name);
    const QString rows = QStringLiteral(
                             "SELECT group_concat(r, char(10)) FROM (SELECT id || '|' || %1 AS r "
                             "FROM Items ORDER BY id)")
                             .arg(columns.join(QStringLiteral(" || '|' || ")));
    return reg.scalar(rows).toString().split(QLatin1Char('\n'));
}

// Exports every item of `from` and imports the file into `to`; the problems
// the check found, or the failure.
QStringList exportAndImport(const QString& from, const QString& to, const QTemporaryDir& dir,
                            bool keepUnreadableDates = true) {
    Probe source(from);
    Probe target(to);
    QString error;
    const QString file = dir.filePath(QStringLiteral("round-trip.csv"));
    if (!CsvExport::write(source.reg, {ExportKind::Items, 0}, file, &error))
        return {error};
    auto opened = ItemImport::ImportFile::open(file, &error);
    if (!opened)
        return {error};
    ItemImport::Import import(target.reg, std::move(*opened), {false, true, keepUnreadableDates});
    const auto checked = import.check(&error);
    if (!checked)
        return {error};
    if (checked->goodLines != checked->lines)
        return problemTexts(*checked);
    if (!import.importGoodLines(*checked, &error))
        return {error};
    return source.messages + target.messages;
}

// An SQL literal that stores exactly these bytes as text, valid UTF-8 or not.
QString textLiteral(const QByteArray& bytes) {
    return QStringLiteral("CAST(x'%1' AS TEXT)").arg(QString::fromLatin1(bytes.toHex()));
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
    void roundTripKeepsEveryValue();
    void guardsFormulasBothWays();
    void tellsUtf8AcrossEveryReadingEdge();
    void readsNumbersStrictly();
    void checksEveryLineBeforeImporting();
    void failureHalfWayLeavesRegisterAsItWas();
    void commandLine();
    void matchesHeadersByTheirNames_data();
    void matchesHeadersByTheirNames();
    void importTakesNothingSilently_data();
    void importTakesNothingSilently();
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
    QVERIFY(CsvExport::write(probe.reg, *CsvExport::parse("Items"), items, &error, &rows));
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
    QVERIFY(CsvExport::write(probe.reg, *CsvExport::parse("f4"), inCase, &error, &rows));
    QCOMPARE(rows, 2);
    const QString list = dir.filePath("list.csv");
    QVERIFY(CsvExport::write(probe.reg, *CsvExport::parse("L2"), list, &error, &rows));
    QCOMPARE(rows, 1);
    QVERIFY(readFile(list).startsWith(kBom + "listid,itemid,itemdesc,desc,"));
    QVERIFY(readFile(list).contains(QStringLiteral("2,9,Café old,Café €,Light").toUtf8()));

    // A case that does not exist: a message, and no file.
    const QString missing = dir.filePath("missing.csv");
    QVERIFY(!CsvExport::write(probe.reg, *CsvExport::parse("F5"), missing, &error));
    QCOMPARE(error, QStringLiteral("Flight case F5 does not exist."));
    QVERIFY(!QFile::exists(missing));
    QVERIFY(!CsvExport::parse("F"));
    QVERIFY(!CsvExport::parse("12"));

    // A file that cannot be written leaves an existing one as it was.
    writeFile(dir, "kept.csv", "old");
    QVERIFY(!CsvExport::write(probe.reg, *CsvExport::parse("items"),
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
    QVERIFY(CsvExport::write(source.reg, {ExportKind::Items, 0}, file, &error));

    TempRegister to;
    Probe target(to.path());
    auto opened = ItemImport::ImportFile::open(file, &error);
    QVERIFY2(opened, qPrintable(error));
    QCOMPARE(opened->mapping.size(), std::size_t(kItemDataColumnCount + 1));
    QVERIFY(std::find(opened->mapping.begin(), opened->mapping.end(), ItemImport::kSkip) ==
            opened->mapping.end());
    ItemImport::Import import(target.reg, std::move(*opened), {false, true});
    const auto checked = checkFile(import);
    QVERIFY(checked);
    QCOMPARE(problemTexts(*checked), QStringList());
    const auto counts = import.importGoodLines(*checked, &error);
    QVERIFY2(counts, qPrintable(error));
    QCOMPARE(counts->items, 3);
    QCOMPARE(counts->casesCreated, 1);
    QCOMPARE(counts->locationsAdded, 1);

    const QString again = dir.filePath("again.csv");
    QVERIFY(CsvExport::write(target.reg, {ExportKind::Items, 0}, again, &error));
    QCOMPARE(readFile(again), readFile(file));
    QCOMPARE(to.scalar("SELECT lastid FROM Data").toLongLong(), 12);
    QCOMPARE(to.scalar("SELECT lastCase FROM Data").toLongLong(), 4);
    QCOMPARE(to.scalar("SELECT FName FROM Cases WHERE id = 4").toString(), QStringLiteral("F4"));
    QCOMPARE(target.messages, QStringList());
}

void TestCsvTransfer::roundTripKeepsEveryValue() {
    // Random registers of hostile texts (quotes, line breaks, blanks at the
    // ends, apostrophes, formulas, NULs, bytes that are no UTF-8, over 1 MiB),
    // no values and empty texts, whole and fractional numbers in every column.
    static const QByteArray kPieces[] = {
        " ",  "'",   "=1+2", "+",        "-",  "@",         "\t",       "\r\n", "\n",     "\r",
        "\"", ",",   ";",    "é",        "€",  "😀",         "-5",       "n/a",  "\xFF",   "\xC3",
        "x",  "F12", "0,5",  "\xE2\x82", "''", " 7/3/2008", "7/3/2008", "Bay",  {"\0", 1}};
    QRandomGenerator random(27);
    const auto hostileText = [&] {
        QByteArray text;
        for (int n = random.bounded(1, 7); n > 0; --n)
            text += kPieces[random.bounded(int(std::size(kPieces)))];
        return text;
    };
    const auto number = [&](const ColumnSpec& c) {
        if (c.kind == ColumnKind::Case)
            return QString::number(random.bounded(0, 40));
        switch (random.bounded(4)) {
            case 0:
                return QString::number(qint64(random.generate64() >> random.bounded(1, 64)) *
                                       (random.bounded(2) ? 1 : -1));
            case 1:
                return QString::number(
                    random.bounded(-100000, 100000) + 0.25 + random.bounded(1000) / 1000.0, 'g',
                    17);
            case 2:
                return QString::number(random.generateDouble() * 1e-6, 'g', 17);
            default:
                return QStringLiteral("1e19");  // whole, yet beyond a whole number's range
        }
    };
    QStringList sourceRows;
    QStringList expectedRows;  // what comes back: U+FFFD for the bytes that are no UTF-8
    qint64 id = 0;
    for (int row = 0; row < 300; ++row) {
        id += random.bounded(1, 4);
        QStringList source{QString::number(id)};
        QStringList expected = source;
        for (const ColumnSpec& c : kItemColumns) {
            const bool overOneMiB = row % 150 == 7 && QByteArrayView(c.name) == "notes";
            const int pick = overOneMiB ? 2 : random.bounded(8);
            if (pick == 0) {
                source << QStringLiteral("NULL");
            } else if (c.type == ColumnType::Number) {
                source << number(c);
            } else if (pick == 1) {
                source << QStringLiteral("''");
            } else {
                QByteArray text = hostileText();
                if (overOneMiB)
                    text = text.repeated(1 + (1 << 21) / text.size());
                std::string valid;
                Csv::appendValidUtf8(valid, std::string_view(text.constData(), text.size()));
                source << textLiteral(text);
                expected << textLiteral(QByteArray::fromStdString(valid));
                continue;
            }
            expected << source.last();
        }
        sourceRows << QStringLiteral("(%1)").arg(source.join(QLatin1Char(',')));
        expectedRows << QStringLiteral("(%1)").arg(expected.join(QLatin1Char(',')));
    }
    QStringList columns{QStringLiteral("id")};
    for (const ColumnSpec& c : kItemColumns)
        columns << QStringLiteral("\"%1\"").arg(c.name);
    const QString insert =
        QStringLiteral("INSERT INTO Items (%1) VALUES ").arg(columns.join(QLatin1Char(',')));
    TempRegister from, expected, to, refused;
    from.exec(insert + sourceRows.join(QLatin1Char(',')));
    expected.exec(insert + expectedRows.join(QLatin1Char(',')));

    QTemporaryDir dir;
    // The dates no one can read are refused, unless kept as they are.
    const QStringList problems = exportAndImport(from.path(), refused.path(), dir, false);
    QVERIFY(!problems.isEmpty());
    for (const QString& problem : problems)
        QVERIFY2(problem.contains(QLatin1String("is not a date that can be read")),
                 qPrintable(problem));
    QCOMPARE(refused.count("Items"), 0);
    QCOMPARE(exportAndImport(from.path(), to.path(), dir), QStringList());
    QCOMPARE(itemRows(to).size(), 300);
    QCOMPARE(itemRows(to), itemRows(expected));
    QVERIFY(itemRows(to) != itemRows(from));  // the bytes that were no UTF-8 were mended
}

void TestCsvTransfer::guardsFormulasBothWays() {
    // Stored text, and the cell the export writes for it.
    const QList<std::pair<QByteArray, QByteArray>> cells = {
        {"=1+2", "'=1+2"},   {"+A1", "'+A1"}, {"-x", "'-x"},    {"@SUM(A1)", "'@SUM(A1)"},
        {"\tTab", "'\tTab"}, {"'=x", "''=x"}, {"-5", "-5"},     {"'n/a", "'n/a"},
        {"n/a", "n/a"},      {"", "\"\""},    {"\r", "\"'\r\""}};
    TempRegister from, to;
    QStringList rows;
    for (int i = 0; i < cells.size(); ++i)
        rows << QStringLiteral("(%1, %2)").arg(i + 1).arg(textLiteral(cells[i].first));
    from.exec(QStringLiteral("INSERT INTO Items (id, \"desc\") VALUES ") + rows.join(','));
    QTemporaryDir dir;
    QCOMPARE(exportAndImport(from.path(), to.path(), dir), QStringList());
    const QByteArray written = readFile(dir.filePath(QStringLiteral("round-trip.csv")));
    for (int i = 0; i < cells.size(); ++i) {
        QVERIFY2(written.contains("\n" + QByteArray::number(i + 1) + ',' + cells[i].second + ','),
                 cells[i].first.constData());
    }
    QCOMPARE(itemRows(to), itemRows(from));

    // A spreadsheet's own guarded cell comes in as the text it shows.
    const QString sheet = writeFile(dir, "sheet.csv", "id,desc\n40,'=SUM(A1)\n41,'x\n");
    auto opened = ItemImport::ImportFile::open(sheet, nullptr);
    Probe probe(to.path());
    ItemImport::Import import(probe.reg, std::move(*opened), {});
    const auto checked = checkFile(import);
    QVERIFY(checked && import.importGoodLines(*checked, nullptr));
    QCOMPARE(to.scalar("SELECT \"desc\" FROM Items WHERE id = 40").toString(),
             QStringLiteral("=SUM(A1)"));
    QCOMPARE(to.scalar("SELECT \"desc\" FROM Items WHERE id = 41").toString(),
             QStringLiteral("'x"));
}

void TestCsvTransfer::tellsUtf8AcrossEveryReadingEdge() {
    // A character cut at each of its inner bytes by every edge the reading
    // has: the end of the sample and of each read.
    const qint64 edges[] = {Csv::kSampleBytes, Csv::kReadChunk, 2 * Csv::kReadChunk};
    QTemporaryDir dir;
    for (const QByteArray& character : {QByteArray("Ç"), QByteArray("€"), QByteArray("😀")}) {
        for (int cut = 1; cut < character.size(); ++cut) {
            QByteArray bytes = "desc\n";
            for (const qint64 edge : edges) {
                while (bytes.size() + 61 < edge - cut)
                    bytes += QByteArray(60, 'x') + '\n';
                bytes += QByteArray(edge - cut - bytes.size(), 'y') + character + "a va\n";
            }
            const QString path = writeFile(dir, "utf8.csv", bytes);
            const auto format = Csv::detectFormat(path, nullptr);
            QVERIFY(format);
            QCOMPARE(format->encoding, Csv::Encoding::Utf8);
            QFile in(path);
            QVERIFY(in.open(QIODevice::ReadOnly));
            const ReadResult read = readAll(in.readAll(), *format);
            int whole = 0;
            for (const QStringList& record : read.records)
                whole += record.first().endsWith(QString::fromUtf8(character + "a va"));
            QCOMPARE(whole, 3);
        }
    }
    // One byte that is no UTF-8 past the last edge makes it Windows-1252.
    const QString path =
        writeFile(dir, "cp1252.csv", QByteArray(2 * Csv::kReadChunk + 10, 'x') + "\nCaf\xE9\n");
    QCOMPARE(Csv::detectFormat(path, nullptr)->encoding, Csv::Encoding::Windows1252);
}

void TestCsvTransfer::readsNumbersStrictly() {
    // A length as written, and as stored; none: a problem.
    const QList<std::pair<QByteArray, const char*>> lengths = {
        {"2,5", "real:2.5"},
        {"-3", "integer:-3"},
        {"0,125", "real:0.125"},
        {"1.234", "real:1.234"},
        {"12345678901234567", "integer:12345678901234567"},
        {"1,234.50", nullptr},
        {"1,234", nullptr},  // a thousands separator or three decimals?
        {"1.234,5", nullptr},
        {"12 kg", nullptr},
        {"12abc", nullptr},
    };
    QByteArray file = "id,length\n";
    for (int i = 0; i < lengths.size(); ++i)
        file += QByteArray::number(i + 1) + ",\"" + lengths[i].first + "\"\n";
    QTemporaryDir dir;
    TempRegister reg;
    Probe probe(reg.path());
    auto opened = ItemImport::ImportFile::open(writeFile(dir, "numbers.csv", file), nullptr);
    ItemImport::Import import(probe.reg, std::move(*opened), {});
    const auto checked = checkFile(import);
    QVERIFY(checked && import.importGoodLines(*checked, nullptr));
    QStringList problems = problemTexts(*checked);
    for (int i = 0; i < lengths.size(); ++i) {
        const QVariant stored = reg.scalar(
            QStringLiteral("SELECT typeof(length) || ':' || length FROM Items WHERE id = %1")
                .arg(i + 1));
        if (lengths[i].second) {
            QCOMPARE(stored.toString(), QLatin1String(lengths[i].second));
            continue;
        }
        QVERIFY2(!stored.isValid(), lengths[i].first.constData());
        const QString problem = problems.isEmpty() ? QString() : problems.takeFirst();
        QVERIFY2(problem.startsWith(QStringLiteral("Line %1, length: \"%2\"")
                                        .arg(i + 2)
                                        .arg(QString::fromUtf8(lengths[i].first))),
                 qPrintable(problem));
    }
    QCOMPARE(problems, QStringList());
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
    QCOMPARE(opened->mapping.back(), ItemImport::kUnknown);  // "Colour" is no field
    QVERIFY(!ItemImport::Import(probe.reg, *opened, {}).check(&error));
    QCOMPARE(error, QStringLiteral("The column \"Colour\" matches no item field: choose the field "
                                   "it goes to, or leave it out."));
    QVERIFY(opened->leaveOut({QStringLiteral(" colour")}, &error));

    ItemImport::Import strict(probe.reg, *opened, {});
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
    QVERIFY(problems[3].startsWith(
        QLatin1String("Line 7, Date of Manufacture: \"31/2/2008\" is not a date")));
    QVERIFY(problems[4].startsWith(
        QLatin1String("Line 8, Date of Manufacture: \"2008-03-07\" is not a date")));
    QVERIFY(problems[5].startsWith(QLatin1String("Line 9, Flight Case: flight case F77")));
    QVERIFY(problems[6].startsWith(QLatin1String("Line 10, Length: \"abc\" is not a number")));
    QVERIFY(problems[7].startsWith(QLatin1String("Line 11: the line has 8 fields")));

    // Converting dates, keeping the unreadable ones and making cases turn
    // problems into good lines.
    ItemImport::Import lenient(probe.reg, *opened, {true, true, true});
    checked = checkFile(lenient);
    QVERIFY(checked);
    QCOMPARE(checked->goodLines, 5);
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
    QCOMPARE(counts->items, 5);
    QCOMPARE(counts->newIds, 1);
    // The new id comes above every id the register or the file gave.
    QCOMPARE(reg.scalar("SELECT \"desc\" FROM Items WHERE id = 24").toString(),
             QStringLiteral("New id"));
    QCOMPARE(reg.scalar("SELECT dom FROM Items WHERE id = 22").toString(),
             QStringLiteral("7/3/2008"));
    QCOMPARE(reg.scalar("SELECT dom FROM Items WHERE id = 21").toString(),
             QStringLiteral("31/2/2008"));  // no date: kept as written
    QCOMPARE(reg.scalar("SELECT lastid FROM Data").toLongLong(), 24);
    QCOMPARE(reg.scalar("SELECT lastCase FROM Data").toLongLong(), 77);
    // "bay 1" is the location already listed; "Shelf 9" is added once.
    QCOMPARE(reg.count("Locations"), 2);
    QCOMPARE(reg.count("Items"), 8);
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
    ItemImport::Import import(probe.reg, std::move(*opened), {false, true});
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
    // The ids it set aside before adding rows stay a gap, never given again.
    QCOMPARE(reg.scalar("SELECT lastid FROM Data").toLongLong(), 399);
    QCOMPARE(reg.scalar("SELECT lastCase FROM Data").toLongLong(), 50);
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
    QCOMPARE(runCommand({"--export", "items"}, reg, &messages), int(TransferCommands::BadUsage));
    QVERIFY2(messages.contains(QLatin1String("--export needs WHAT and FILE")),
             qPrintable(messages));
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
    QVERIFY2(messages.contains(QLatin1String("Imported 1 item (0 with a new id); left out 1 line "
                                             "with problems; made 0 flight cases and added 0 "
                                             "locations.")),
             qPrintable(messages));
    QCOMPARE(reg.scalar("SELECT dom FROM Items WHERE id = 30").toString(),
             QStringLiteral("7/3/2008"));
    QCOMPARE(runCommand({"--import", dir.filePath("none.csv")}, reg, &messages),
             int(TransferCommands::Failed));
}

// Headers are matched by the names the windows show and the ones
// spreadsheets use, letter case and blanks aside.
void TestCsvTransfer::matchesHeadersByTheirNames_data() {
    QTest::addColumn<QString>("header");
    QTest::addColumn<int>("field");
    const auto row = [](const QString& header, int field, const char* from = "") {
        QTest::addRow("%s%s", from, qPrintable(header)) << header << field;
    };
    const auto column = [](ItemColumn c) { return static_cast<int>(c); };
    row(QStringLiteral("Location"), column(ItemColumn::WarehouseLoc));
    row(QStringLiteral("warehouse  LOCATION "), column(ItemColumn::WarehouseLoc));
    row(QStringLiteral("Case"), column(ItemColumn::CaseId));
    row(QStringLiteral("Case ID"), column(ItemColumn::CaseId));
    row(QStringLiteral("Next Test"), column(ItemColumn::TestNext));
    row(QStringLiteral("Serial Number"), column(ItemColumn::Serial));
    row(QStringLiteral("Make"), column(ItemColumn::Manufacturer));
    row(QStringLiteral("Item ID"), ItemImport::kIdField);
    row(QStringLiteral("Colour"), ItemImport::kUnknown);
    row(QStringLiteral("No."), ItemImport::kUnknown);
    row(QStringLiteral("Location 2"), ItemImport::kUnknown);
    row(QStringLiteral(" "), ItemImport::kSkip);
    // Every caption the windows show, and every name of the table, goes to
    // its own field: no name is listed for two.
    for (const DetailLines::Field& f : DetailLines::mainWindowFields())
        row(f.caption.section(QLatin1Char(':'), 0, 0),
            f.column ? column(*f.column) : ItemImport::kIdField, "shown: ");
    for (const DetailLines::Field& f : DetailLines::itemEditorFields())
        row(f.caption.section(QLatin1Char(':'), 0, 0), column(*f.column), "editor: ");
    for (const ItemImport::HeaderNames& names : ItemImport::headerNames()) {
        for (const QString& name : names.names)
            row(name, names.field, "table: ");
    }
}

void TestCsvTransfer::matchesHeadersByTheirNames() {
    QFETCH(QString, header);
    QFETCH(int, field);
    QCOMPARE(ItemImport::fieldForHeader(header), field);
}

// A column no field matches, a column without a header that holds a value
// and a date that cannot be read are refused, each named, unless the
// command line leaves it out or keeps it.
void TestCsvTransfer::importTakesNothingSilently_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("column");  // of the item imported
    QTest::addColumn<QString>("stored");

    const QByteArray located = "Description,Location,Colour\nLamp,Bay 1,red\n";
    const int done = TransferCommands::Done;
    const int failed = TransferCommands::Failed;
    QTest::newRow("unknown column")
        << located << QStringList() << failed << "The column \"Colour\" matches no item field"
        << QString() << QString();
    QTest::newRow("unknown column left out")
        << located << QStringList{"--ignore-column", "COLOUR"} << done << "Imported 1 item ("
        << "warehouseloc"
        << "Bay 1";
    QTest::newRow("no such column to leave out")
        << located << QStringList{"--ignore-column", "Colour", "--ignore-column", "Weight"}
        << failed << "has no column \"Weight\"" << QString() << QString();
    QTest::newRow("two columns for one field")
        << QByteArray("Name,Description\nA,B\n") << QStringList() << failed
        << "The columns Name and Description both go to Description" << QString() << QString();
    QTest::newRow("one of them left out")
        << QByteArray("Name,Description\nA,B\n") << QStringList{"--ignore-column", "name"} << done
        << "Imported 1 item ("
        << "desc"
        << "B";
    QTest::newRow("a value under no header")
        << QByteArray("desc,\nLamp,x\n") << QStringList() << failed
        << "Line 2, column 2: \"x\" is under no header, so it would not be imported" << QString()
        << QString();
    QTest::newRow("no header, no value")
        << QByteArray("desc,\nLamp,\n") << QStringList() << done << "Imported 1 item ("
        << "desc"
        << "Lamp";
    QTest::newRow("unreadable date")
        << QByteArray("desc,Next Test\nLamp,31/2/2030\n") << QStringList() << failed
        << "Line 2, Next Test: \"31/2/2030\" is not a date that can be read" << QString()
        << QString();
    QTest::newRow("unreadable date kept")
        << QByteArray("desc,Next Test\nLamp,31/2/2030\n") << QStringList{"--keep-unreadable-dates"}
        << done << "Imported 1 item ("
        << "testnext"
        << "31/2/2030";
    QTest::newRow("text in a date column")
        << QByteArray("desc,Last Test\nLamp,n/a\n") << QStringList{"--good-lines"} << failed
        << "Line 2, Last Test: \"n/a\" is not a date" << QString() << QString();
    QTest::newRow("other form converted")
        << QByteArray("desc,dom\nLamp, 2030-02-28\n") << QStringList{"--convert-dates"} << done
        << "Imported 1 item ("
        << "dom"
        << "28/2/2030";
    QTest::newRow("date with blanks converted")
        << QByteArray("desc,dom\nLamp, 7/3/2008 \n") << QStringList{"--convert-dates"} << done
        << "Imported 1 item ("
        << "dom"
        << "7/3/2008";
}

void TestCsvTransfer::importTakesNothingSilently() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(QString, column);
    QFETCH(QString, stored);
    TempRegister reg;
    QTemporaryDir dir;
    QString messages;
    QCOMPARE(runCommand(QStringList{"--import", writeFile(dir, "in.csv", file)} + arguments, reg,
                        &messages),
             exitCode);
    QVERIFY2(messages.contains(message), qPrintable(messages));
    if (column.isEmpty()) {
        QCOMPARE(reg.count("Items"), 0);
        return;
    }
    QCOMPARE(reg.scalar(QStringLiteral("SELECT \"%1\" FROM Items").arg(column)).toString(), stored);
}

QTEST_GUILESS_MAIN(TestCsvTransfer)
#include "test_csv_transfer.moc"
