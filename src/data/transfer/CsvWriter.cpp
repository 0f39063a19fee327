#include "data/transfer/CsvWriter.h"

#include <csv.h>

#include <QByteArrayView>

#include "data/transfer/CsvReader.h"

namespace {

constexpr std::size_t kFlushAt = 1 << 20;

bool needsQuotes(std::string_view text) {
    if (text.empty())
        return false;
    if (text.front() == ' ' || text.back() == ' ' || text.front() == '\t' || text.back() == '\t')
        return true;
    return text.find_first_of(",\"\r\n;") != std::string_view::npos;
}

}  // namespace

CsvWriter::CsvWriter(const QString& path) : file_(path) {}

CsvWriter::~CsvWriter() {
    if (file_.isOpen())
        file_.cancelWriting();
}

bool CsvWriter::open() {
    if (!file_.open(QIODevice::WriteOnly)) {
        error_ = file_.errorString();
        return false;
    }
    buffer_.reserve(kFlushAt + 4096);
    buffer_ = "\xEF\xBB\xBF";
    return true;
}

void CsvWriter::field(std::string_view utf8) {
    if (!firstField_)
        buffer_ += ',';
    firstField_ = false;
    if (!QByteArrayView(utf8.data(), qsizetype(utf8.size())).isValidUtf8()) {
        mended_.clear();
        Csv::appendValidUtf8(mended_, utf8);
        utf8 = mended_;
    }
    if (Csv::needsFormulaGuard(utf8)) {
        std::string guarded = "'";
        guarded.append(utf8);
        mended_ = std::move(guarded);
        utf8 = mended_;
    }
    if (!needsQuotes(utf8)) {
        buffer_.append(utf8);
        return;
    }
    // Quoted, with each quote doubled: at most twice the text and two quotes.
    const std::size_t at = buffer_.size();
    buffer_.resize(at + 2 * utf8.size() + 2);
    const std::size_t written =
        csv_write(buffer_.data() + at, buffer_.size() - at, utf8.data(), utf8.size());
    buffer_.resize(at + written);
}

void CsvWriter::field(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    field(std::string_view(utf8.constData(), std::size_t(utf8.size())));
}

void CsvWriter::emptyText() {
    if (!firstField_)
        buffer_ += ',';
    firstField_ = false;
    buffer_ += "\"\"";
}

void CsvWriter::endRecord() {
    buffer_ += "\r\n";
    firstField_ = true;
    flushIfFull();
}

void CsvWriter::record(const QStringList& fields) {
    for (const QString& f : fields)
        field(f);
    endRecord();
}

void CsvWriter::flushIfFull() {
    if (buffer_.size() < kFlushAt || failed_)
        return;
    if (file_.write(buffer_.data(), qint64(buffer_.size())) != qint64(buffer_.size())) {
        failed_ = true;
        error_ = file_.errorString();
    }
    buffer_.clear();
}

bool CsvWriter::commit() {
    if (!failed_ && !buffer_.empty() &&
        file_.write(buffer_.data(), qint64(buffer_.size())) != qint64(buffer_.size())) {
        failed_ = true;
        error_ = file_.errorString();
    }
    buffer_.clear();
    if (failed_) {
        file_.cancelWriting();
        file_.commit();
        return false;
    }
    if (!file_.commit()) {
        error_ = file_.errorString();
        return false;
    }
    return true;
}
