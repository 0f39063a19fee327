#pragma once

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "data/transfer/CsvReader.h"
#include "data/transfer/TransferRecords.h"

class Progress;
class Register;

// Bringing items in from a spreadsheet's CSV file: the file's columns
// mapped to the item fields, every line checked against the register before
// anything is written, then the good lines added in one transaction. The
// import window and `quarvel --import` share it.
namespace ItemImport {

// What a file column goes to: the id, a column of Items (its index in
// kItemColumns), nothing (the user leaves it out), or not known yet (its
// header names no field, and the user has not said what it is).
inline constexpr int kUnknown = -3;
inline constexpr int kSkip = -2;
inline constexpr int kIdField = -1;

struct Field {
    int field;        // kIdField or a column index
    QString name;     // as stored ("id", "desc")
    QString caption;  // as the windows show it ("Equipment ID Number", "Description")
};
// The id, then every column of Items, in stored order.
const QList<Field>& fields();
const Field& fieldOf(int field);
// The names a column's header may give a field, letter case and blanks
// aside: its stored name, the captions the windows show it under and the
// names spreadsheets use. The user guide lists the same table.
struct HeaderNames {
    int field;
    QStringList names;
};
const QList<HeaderNames>& headerNames();
// The field the header names; kSkip for a blank header, kUnknown for a
// name that is no field's.
int fieldForHeader(const QString& header);

// "1 item", "2 items".
QString counted(qint64 count, const QString& one, const QString& many);

struct Options {
    // Read other common date forms (2008-03-07, 7.3.2008, 7 Mar 2008,
    // 7/3/08 ...) and store them as d/m/yyyy; without it they, like any
    // other text in a date column, are stored as written.
    bool convertDates = false;
    // Make the flight cases the file names that do not exist yet; without
    // it such a case number is a problem.
    bool createCases = false;
    // Store a date that cannot be read (31/2/2030, n/a) as written; without
    // it such a date is a problem. An export read back keeps every value.
    bool keepUnreadableDates = false;
};

struct Problem {
    qint64 line = 0;     // of the file, the header being line 1
    int column = -1;     // the file's column (from 0); -1: the whole line
    QString columnName;  // the header of that column
    QString value;       // what the file holds there
    QString text;        // what is wrong
};
// "Line 12, dom: "31/2/2008" is not a date."
QString describe(const Problem& problem);

// A CSV file opened for import: how it is written, its header, and the
// field each of its columns goes to (matched by name at first).
struct ImportFile {
    QString path;
    Csv::Format format;
    QStringList header;
    std::vector<int> mapping;  // per header column: a field, kSkip or kUnknown

    // The file's format told or chosen (encoding), its header read and
    // mapped. None, with *error, when it cannot be read or has no header.
    static std::optional<ImportFile> open(const QString& path, QString* error,
                                          std::optional<Csv::Encoding> encoding = std::nullopt);
    // Empty when the mapping can be used; otherwise why not (a column not
    // known, a field taken by two columns, no column going anywhere).
    QString mappingProblem() const;
    // The headers of the columns that go to no known field yet.
    QStringList unknownColumns() const;
    // Leaves out the columns these names head (letter case and blanks
    // aside). False, with *error, when a name heads no column of the file.
    bool leaveOut(const QStringList& names, QString* error);
};

// What checking every line found.
struct CheckResult {
    qint64 lines = 0;      // records below the header
    qint64 goodLines = 0;  // lines without a problem
    qint64 problemCount = 0;
    std::vector<Problem> problems;  // the first kKeptProblems, in line order
    std::vector<qint64> newCases;
    QStringList newLocations;
    qint64 highestId = 0;    // the highest id a good line gives
    qint64 newIds = 0;       // good lines that take a new id
    std::vector<bool> good;  // by line below the header, from 0
    qint64 fileSize = 0;
    QDateTime fileModified;
};
inline constexpr std::size_t kKeptProblems = 10000;

// "1200 lines: 1190 good, 10 with problems (12 problems)."
QString checkSummary(const CheckResult& checked);
// "Imported 1190 items (4 with a new id); left out 10 lines with problems;
// made 2 flight cases and added 3 locations."
QString importSummary(const ImportCounts& counts, qint64 linesLeftOut);

// One line as it would be stored: the id ("new id" when it takes one) and
// every column's text, with the line's problems.
struct PreviewLine {
    qint64 line = 0;
    QStringList values;  // in the order of fields()
    QStringList problems;
};

class Import {
public:
    using ProblemSink = std::function<void(const Problem&)>;

    Import(Register& reg, ImportFile file, Options options);
    ~Import();
    Import(const Import&) = delete;
    Import& operator=(const Import&) = delete;

    const ImportFile& file() const { return file_; }

    // Reads the register's items, cases and locations, then checks every
    // line; each problem also goes to the sink as it is found. None when the
    // file or the register cannot be read (*error says why; a register
    // failure was also told through the register), or when cancelled through
    // `progress`, which counts the file's bytes.
    std::optional<CheckResult> check(QString* error, const ProblemSink& sink = {},
                                     Progress* progress = nullptr);

    // The first lines below the header as they would be stored, checked
    // against the register as check() last read it.
    std::vector<PreviewLine> preview(int count, QString* error);

    // Adds the good lines of the check in one transaction: all of them or,
    // when anything fails (the file changed since, the register refuses),
    // none. None, with *error, on failure and when cancelled through
    // `progress`, which counts the items added.
    std::optional<ImportCounts> importGoodLines(const CheckResult& checked, QString* error,
                                                Progress* progress = nullptr);

    // Checks the file again and writes every problem into a CSV report:
    // line, column, value, problem.
    bool writeReport(const QString& path, QString* error);

private:
    struct Snapshot;
    struct Line;
    bool readRegister(QString* error);
    // Converts a record into the item as stored; false when it has problems.
    bool convert(const Csv::Record& record, Line& out, const ProblemSink& problems) const;

    Register& reg_;
    ImportFile file_;
    Options options_;
    std::vector<bool> headerless_;  // per header column: its header is blank
    std::unique_ptr<Snapshot> snapshot_;
    // Location texts of the file found in the list, as they stand.
    mutable std::unordered_set<std::string> listedLocations_;
};

}  // namespace ItemImport
