#pragma once

#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>

// Writes a CSV file as spreadsheets open it with the right characters:
// UTF-8 with a byte-order mark, comma separated, CR LF between records, a
// field quoted (by libcsv) when it holds a separator, a quote, a line break
// or blanks at either end. Bytes that are not valid UTF-8 are written as
// U+FFFD, and a text a spreadsheet would run as a formula (=1+2) gets an
// apostrophe before it ('=1+2), as Csv::needsFormulaGuard() tells. An empty
// field holds no value; emptyText() writes "" for an empty text. The file
// appears only once it is whole: until commit() an existing file of that
// name stays as it was.
class CsvWriter {
public:
    explicit CsvWriter(const QString& path);
    ~CsvWriter();
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;

    // False, with error(), when the file cannot be made.
    bool open();

    void field(std::string_view utf8);
    void field(const QString& text);
    void emptyText();
    void endRecord();
    void record(const QStringList& fields);

    // Writes what is left and puts the file in place; false, with error(),
    // when any write failed (the file is then not made or not changed).
    bool commit();
    const QString& error() const { return error_; }

private:
    void flushIfFull();

    QSaveFile file_;
    std::string buffer_;
    std::string mended_;
    bool firstField_ = true;
    bool failed_ = false;
    QString error_;
};
