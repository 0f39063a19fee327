#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class QIODevice;

// Reading the CSV files spreadsheets write, with libcsv: UTF-8 with or
// without a byte-order mark or Windows-1252, separated by commas, semicolons
// or tabs, quoted fields that hold separators, quotes and line breaks.
namespace Csv {

enum class Encoding { Utf8, Windows1252 };

// How a file is written.
struct Format {
    Encoding encoding = Encoding::Utf8;
    char separator = ',';
    bool byteOrderMark = false;  // starts with the UTF-8 byte-order mark (skipped)
};

// "UTF-8", "Windows-1252"; "comma", "semicolon", "tab".
QString encodingName(Encoding encoding);
QString separatorName(char separator);
// The encoding named ("utf-8", "UTF8", "windows-1252", "cp1252"; letter case
// aside), or none.
std::optional<Encoding> encodingNamed(const QString& name);

// The file's format: UTF-8 when it starts with the byte-order mark or all
// of it is valid UTF-8, else Windows-1252 (unless `encoding` is given); the
// separator that splits the first lines into the most columns of equal
// number. Reads the whole file once, in kReadChunk pieces, to tell the
// encoding: a character cut by a piece's end is judged whole with the next.
// None, with the reason in *error, when the file cannot be read.
std::optional<Format> detectFormat(const QString& path, QString* error,
                                   std::optional<Encoding> encoding = std::nullopt);

// The same for a file's bytes already in memory.
Format detectFormat(QByteArrayView bytes, std::optional<Encoding> encoding = std::nullopt);

// Files are read this many bytes at a time; the separator is told from the
// first kSampleBytes.
inline constexpr qint64 kReadChunk = 1 << 20;
inline constexpr qint64 kSampleBytes = 64 * 1024;

// Tells whether bytes handed over piece by piece are valid UTF-8 as a whole.
class Utf8Check {
public:
    void add(QByteArrayView piece);
    // True when everything added is valid UTF-8 and no character is left cut.
    bool valid() const { return valid_ && carry_.isEmpty(); }
    // True once a byte is found that no more bytes can make valid.
    bool broken() const { return !valid_; }

private:
    QByteArray carry_;  // the start of a character cut by the last piece's end
    bool valid_ = true;
};

// One record of the file: its fields as UTF-8 (bytes that were not valid in
// the file's encoding read as U+FFFD) and the line of the file it starts on
// (the first line is 1).
struct Record {
    qint64 line = 0;
    std::span<const std::string> fields;
    // Per field: nonzero for an empty field without quotes (a,,b), which
    // holds no value; "" is an empty text.
    std::span<const char> noValue;

    // A field the record lacks holds no value either.
    bool hasValue(std::size_t field) const { return field < fields.size() && !noValue[field]; }
};

// Reads records one after the other, without keeping the file in memory. A
// line holding nothing but blanks and separators is no record. Fields are
// taken exactly as they stand; only quotes are removed.
class Reader {
public:
    // Called for each record in turn; returning false stops the reading.
    using RecordHandler = std::function<bool(const Record& record)>;

    Reader(QIODevice& in, Format format);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // The next record, valid until the next call; false at the end of the
    // file and when it cannot be read or is not CSV (a quote never closed,
    // a field longer than kLongestField): error() then says why.
    bool next(Record* record);
    // Hands every record to the handler, until it returns false.
    bool read(const RecordHandler& onRecord);
    const QString& error() const { return error_; }
    bool failed() const { return !error_.isEmpty(); }

    // One field may hold this many bytes, the longest text the register
    // keeps: a longer one is a quote left open.
    static constexpr std::size_t kLongestField = 1'000'000'000;

private:
    static void fieldEnded(void* data, std::size_t size, void* self);
    static void recordEnded(int terminator, void* self);
    void addField(const char* data, std::size_t size);
    bool feedLine();
    bool fail(const QString& why);

    struct Parser;
    QIODevice& in_;
    Format format_;
    std::unique_ptr<Parser> parser_;
    QByteArray chunk_;
    qsizetype pos_ = 0;
    bool firstChunk_ = true;
    bool atEnd_ = false;
    std::vector<std::string> fields_;
    std::vector<char> noValue_;
    std::size_t fieldCount_ = 0;
    std::size_t readyCount_ = 0;      // fields of the record just ended
    bool ready_ = false;              // a record has just ended
    qint64 line_ = 1;                 // the line being fed
    qint64 recordLine_ = 1;           // the line the record being read starts on
    bool recordStartPending_ = true;  // between records: the next data starts one
    bool lastWasCr_ = false;
    QString error_;
};

// Reads the file's first records (at most `count`), e.g. the header and a preview.
std::optional<std::vector<std::vector<std::string>>> firstRecords(const QString& path,
                                                                  const Format& format, int count,
                                                                  QString* error);

// Bytes in Windows-1252 as UTF-8 (the five codes it leaves unused as the
// C1 controls of the same value).
void appendWindows1252AsUtf8(std::string& out, std::string_view bytes);
// UTF-8 with every byte that is not part of a valid sequence as U+FFFD.
void appendValidUtf8(std::string& out, std::string_view bytes);

// A text a spreadsheet would run as a formula when it stands in a cell: it
// starts with =, +, -, @, a tab or a carriage return (after any apostrophes,
// so that guarding stays undone exactly), and is no plain number such as -5.
// Quarvel writes such a text with an apostrophe before it.
bool needsFormulaGuard(std::string_view text);
// A text field as read back: without the apostrophe the guard put before it.
std::string_view withoutFormulaGuard(std::string_view field);

}  // namespace Csv
