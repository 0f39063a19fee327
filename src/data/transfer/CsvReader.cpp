#include "data/transfer/CsvReader.h"

#include <csv.h>

#include <QBuffer>
#include <QFile>
#include <algorithm>
#include <array>
#include <cstring>

namespace Csv {

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";
constexpr std::size_t kBomSize = 3;
// The separator is told from the first records of the file.
constexpr int kSampleRecords = 20;
constexpr std::array<char, 3> kSeparators = {',', ';', '\t'};
// libcsv's state inside a field; with `quoted` set, the file ended inside quotes.
// (Its strict end check also refuses a stray quote in a plain field, which
// hand-edited files hold, as in 12" speaker.)
constexpr int kFieldBegun = 2;

// Fields are taken as they stand: no blanks are trimmed from them.
int noSpace(unsigned char) {
    return 0;
}

bool startsWithBom(QByteArrayView bytes) {
    return bytes.size() >= qsizetype(kBomSize) && std::memcmp(bytes.data(), kBom, kBomSize) == 0;
}

// The length of a UTF-8 sequence from its first byte; 0 for a byte that
// cannot start one.
int sequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// Where the bytes stop being whole UTF-8 sequences: a sequence cut off at
// the end of a chunk is carried into the next one.
qsizetype wholeSequencesEnd(QByteArrayView bytes) {
    const qsizetype size = bytes.size();
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const auto c = static_cast<unsigned char>(bytes[size - back]);
        if ((c & 0xC0) == 0x80)
            continue;  // a continuation byte: look further back
        const int length = sequenceLength(c);
        return length > back ? size - back : size;
    }
    return size;
}

bool isAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The characters Windows-1252 puts at 0x80 to 0x9F; the five it leaves
// unused keep their C1 control code.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Counts the fields of the first records of a sample, for one separator.
struct FieldCounter {
    std::vector<int> counts;
    int fields = 0;
    bool rowHasData = false;

    static void field(void*, std::size_t size, void* self) {
        auto* c = static_cast<FieldCounter*>(self);
        ++c->fields;
        c->rowHasData = c->rowHasData || size > 0;
    }
    static void record(int, void* self) {
        auto* c = static_cast<FieldCounter*>(self);
        if (c->rowHasData)
            c->counts.push_back(c->fields);
        c->fields = 0;
        c->rowHasData = false;
    }
};

constexpr std::size_t kFieldGrowth = std::size_t(1) << 20;

std::vector<int> fieldCounts(QByteArrayView sample, char separator) {
    csv_parser parser;
    FieldCounter counter;
    if (csv_init(&parser, 0) != 0)
        return {};
    csv_set_delim(&parser, static_cast<unsigned char>(separator));
    csv_set_space_func(&parser, noSpace);
    csv_parse(&parser, sample.data(), static_cast<std::size_t>(sample.size()), FieldCounter::field,
              FieldCounter::record, &counter);
    csv_fini(&parser, FieldCounter::field, FieldCounter::record, &counter);
    csv_free(&parser);
    if (counter.counts.size() > std::size_t(kSampleRecords))
        counter.counts.resize(kSampleRecords);
    return counter.counts;
}

// The separator that gives the header the most columns and the most
// records as many fields as the header; a comma when none splits the header.
char separatorOf(QByteArrayView sample) {
    // Only whole lines: a record cut off at the end would count wrong.
    const qsizetype lastBreak = std::max(sample.lastIndexOf('\n'), sample.lastIndexOf('\r'));
    if (lastBreak > 0 && sample.size() >= kSampleBytes)
        sample = sample.first(lastBreak + 1);
    char best = ',';
    std::pair<int, int> bestScore{0, 0};  // records agreeing with the header, header fields
    for (char separator : kSeparators) {
        const std::vector<int> counts = fieldCounts(sample, separator);
        if (counts.empty() || counts.front() < 2)
            continue;
        const int agreeing =
            static_cast<int>(std::count(counts.begin(), counts.end(), counts.front()));
        const std::pair<int, int> score{agreeing, counts.front()};
        if (score > bestScore) {
            bestScore = score;
            best = separator;
        }
    }
    return best;
}

}  // namespace

QString encodingName(Encoding encoding) {
    return encoding == Encoding::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("Windows-1252");
}

QString separatorName(char separator) {
    switch (separator) {
        case ';':
            return QStringLiteral("semicolon");
        case '\t':
            return QStringLiteral("tab");
        default:
            return QStringLiteral("comma");
    }
}

std::optional<Encoding> encodingNamed(const QString& name) {
    const QString n = name.trimmed().toLower().remove(QLatin1Char('-')).remove(QLatin1Char('_'));
    if (n == QLatin1String("utf8"))
        return Encoding::Utf8;
    if (n == QLatin1String("windows1252") || n == QLatin1String("cp1252"))
        return Encoding::Windows1252;
    return std::nullopt;
}

Format detectFormat(QByteArrayView bytes, std::optional<Encoding> encoding) {
    Format format;
    format.byteOrderMark = startsWithBom(bytes);
    const QByteArrayView text = format.byteOrderMark ? bytes.sliced(kBomSize) : bytes;
    if (encoding)
        format.encoding = *encoding;
    else
        format.encoding =
            format.byteOrderMark || text.isValidUtf8() ? Encoding::Utf8 : Encoding::Windows1252;
    format.separator = separatorOf(text.first(std::min<qsizetype>(text.size(), kSampleBytes)));
    return format;
}

void Utf8Check::add(QByteArrayView piece) {
    if (!valid_ || piece.isEmpty())
        return;
    QByteArray joined;
    QByteArrayView bytes = piece;
    if (!carry_.isEmpty()) {
        joined = carry_;
        joined.append(piece);
        bytes = joined;
    }
    const qsizetype whole = wholeSequencesEnd(bytes);
    valid_ = bytes.first(whole).isValidUtf8();
    carry_ = bytes.sliced(whole).toByteArray();
}

std::optional<Format> detectFormat(const QString& path, QString* error,
                                   std::optional<Encoding> encoding) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    QByteArray chunk = file.read(kReadChunk);
    Format format = detectFormat(QByteArrayView(chunk).first(std::min(chunk.size(), kSampleBytes)),
                                 encoding.value_or(Encoding::Utf8));
    if (encoding || format.byteOrderMark)
        return format;
    // UTF-8 only when the whole file is.
    Utf8Check check;
    for (; !chunk.isEmpty() && !check.broken(); chunk = file.read(kReadChunk))
        check.add(chunk);
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    format.encoding = check.valid() ? Encoding::Utf8 : Encoding::Windows1252;
    return format;
}

void appendWindows1252AsUtf8(std::string& out, std::string_view bytes) {
    for (char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        if (c < 0x80)
            out += b;
        else if (c < 0xA0)
            appendUtf8(out, kWindows1252High[c - 0x80]);
        else
            appendUtf8(out, c);
    }
}

void appendValidUtf8(std::string& out, std::string_view bytes) {
    if (isAscii(bytes) || QByteArrayView(bytes.data(), qsizetype(bytes.size())).isValidUtf8()) {
        out.append(bytes);
        return;
    }
    out += QString::fromUtf8(bytes.data(), qsizetype(bytes.size())).toStdString();
}

namespace {

// A number as a spreadsheet reads it, which it never runs: -5, +2.5, -1e3.
bool isPlainNumber(std::string_view text) {
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i - from;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    return i == text.size();
}

}  // namespace

bool needsFormulaGuard(std::string_view text) {
    const std::size_t first = text.find_first_not_of('\'');
    if (first == std::string_view::npos)
        return false;
    constexpr std::string_view kFormulaStarts = "=+-@\t\r";
    return kFormulaStarts.find(text[first]) != std::string_view::npos && !isPlainNumber(text);
}

std::string_view withoutFormulaGuard(std::string_view field) {
    if (field.size() > 1 && field.front() == '\'' && needsFormulaGuard(field.substr(1)))
        field.remove_prefix(1);
    return field;
}

// --- Reader ---------------------------------------------------------------------

struct Reader::Parser {
    csv_parser csv;
    bool ready = false;
    ~Parser() {
        if (ready)
            csv_free(&csv);
    }
};

Reader::Reader(QIODevice& in, Format format)
    : in_(in), format_(format), parser_(std::make_unique<Parser>()) {
    // An empty field without quotes comes as a null pointer: it holds no value.
    parser_->ready = csv_init(&parser_->csv, CSV_EMPTY_IS_NULL) == 0;
    if (parser_->ready) {
        csv_set_delim(&parser_->csv, static_cast<unsigned char>(format_.separator));
        csv_set_space_func(&parser_->csv, noSpace);
        // The parser grows its field buffer by this much at a time (128 bytes
        // unless told): a long note would otherwise be copied over again
        // thousands of times on a system whose realloc copies.
        csv_set_blk_size(&parser_->csv, kFieldGrowth);
    }
}

Reader::~Reader() = default;

void Reader::fieldEnded(void* data, std::size_t size, void* self) {
    static_cast<Reader*>(self)->addField(static_cast<const char*>(data), data ? size : 0);
}

void Reader::addField(const char* data, std::size_t size) {
    if (fieldCount_ == fields_.size()) {
        fields_.emplace_back();
        noValue_.push_back(0);
    }
    noValue_[fieldCount_] = data ? 0 : 1;
    std::string& field = fields_[fieldCount_++];
    field.clear();
    const std::string_view bytes(data ? data : "", size);
    if (format_.encoding == Encoding::Windows1252)
        appendWindows1252AsUtf8(field, bytes);
    else
        appendValidUtf8(field, bytes);
}

void Reader::recordEnded(int, void* self) {
    auto* r = static_cast<Reader*>(self);
    const auto begin = r->fields_.begin();
    const auto end = begin + static_cast<std::ptrdiff_t>(r->fieldCount_);
    const bool blank = std::all_of(begin, end, [](const std::string& f) {
        return f.find_first_not_of(" \t") == std::string::npos;
    });
    r->readyCount_ = r->fieldCount_;
    r->ready_ = !blank;
    r->fieldCount_ = 0;
    r->recordStartPending_ = true;
}

bool Reader::fail(const QString& why) {
    error_ = why;
    atEnd_ = true;
    return false;
}

// Feeds the bytes up to the next line break (or the end of the chunk), so
// each record knows the line it starts on and at most one record ends per
// call. A line ends at LF, at CR LF, or at a CR alone.
bool Reader::feedLine() {
    const char* data = chunk_.constData();
    const qsizetype size = chunk_.size();
    qsizetype end = pos_;
    while (end < size && data[end] != '\n' && data[end] != '\r')
        ++end;
    const bool lineBreak = end < size;
    const auto piece = static_cast<std::size_t>((lineBreak ? end + 1 : end) - pos_);
    if (recordStartPending_ && end > pos_) {
        recordLine_ = line_;
        recordStartPending_ = false;
    }
    if (csv_parse(&parser_->csv, data + pos_, piece, fieldEnded, recordEnded, this) != piece)
        return fail(QStringLiteral("Line %1: %2.")
                        .arg(line_)
                        .arg(QString::fromLatin1(csv_strerror(csv_error(&parser_->csv)))));
    if (csv_get_buffer_size(&parser_->csv) > kLongestField)
        return fail(QStringLiteral("Line %1: a field is longer than %2 MiB. Is a quote (\") left "
                                   "open there?")
                        .arg(recordLine_)
                        .arg(kLongestField >> 20));
    if (lineBreak) {
        const bool lfAfterCr = data[end] == '\n' && lastWasCr_ && end == pos_;
        if (!lfAfterCr)
            ++line_;
        lastWasCr_ = data[end] == '\r';
    } else if (piece > 0) {
        lastWasCr_ = false;
    }
    pos_ += static_cast<qsizetype>(piece);
    return true;
}

bool Reader::next(Record* record) {
    if (!parser_->ready)
        return fail(QStringLiteral("Out of memory."));
    ready_ = false;
    while (!ready_) {
        if (atEnd_)
            return false;
        if (pos_ >= chunk_.size()) {
            chunk_ = in_.read(kReadChunk);
            pos_ = 0;
            if (chunk_.isEmpty()) {
                if (!in_.atEnd())
                    return fail(in_.errorString());
                atEnd_ = true;
                const bool quoteOpen = parser_->csv.pstate == kFieldBegun && parser_->csv.quoted;
                if (quoteOpen || csv_fini(&parser_->csv, fieldEnded, recordEnded, this) != 0)
                    return fail(QStringLiteral("Line %1: a quote (\") is opened and never closed.")
                                    .arg(recordLine_));
                break;
            }
            if (firstChunk_ && format_.byteOrderMark && startsWithBom(chunk_))
                pos_ = kBomSize;
            firstChunk_ = false;
            continue;
        }
        if (!feedLine())
            return false;
    }
    if (!ready_)
        return false;
    *record = Record{recordLine_, std::span<const std::string>(fields_.data(), readyCount_),
                     std::span<const char>(noValue_.data(), readyCount_)};
    return true;
}

bool Reader::read(const RecordHandler& onRecord) {
    Record record;
    while (next(&record)) {
        if (!onRecord(record))
            return true;
    }
    return !failed();
}

std::optional<std::vector<std::vector<std::string>>> firstRecords(const QString& path,
                                                                  const Format& format, int count,
                                                                  QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    std::vector<std::vector<std::string>> records;
    Reader reader(file, format);
    const bool ok = count <= 0 || reader.read([&](const Record& r) {
        records.emplace_back(r.fields.begin(), r.fields.end());
        return int(records.size()) < count;
    });
    if (!ok) {
        if (error)
            *error = reader.error();
        return std::nullopt;
    }
    return records;
}

}  // namespace Csv
