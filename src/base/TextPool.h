#pragma once

#include <QString>
#include <QStringDecoder>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/LargePages.h"

// UTF-8 as a string, exactly: a leading U+FEFF is a character of the text,
// not a byte order mark to drop.
inline QString textFromUtf8(std::string_view utf8) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

// Texts of many rows kept as UTF-8 in one buffer; a QString is made only for
// the rows a window actually paints.
class TextPool {
public:
    void append(const char* utf8, std::size_t size) {
        bytes_.append(utf8, size);
        ends_.push_back(static_cast<std::uint64_t>(bytes_.size()));
    }
    void append(std::string_view s) { append(s.data(), s.size()); }
    void append(const QString& s) { append(s.toStdString()); }
    std::size_t size() const { return ends_.size(); }
    // No texts, the buffers' room kept.
    void clear() {
        bytes_.clear();
        ends_.clear();
    }
    std::string_view view(std::size_t i) const {
        const std::uint64_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(bytes_).substr(begin, ends_[i] - begin);
    }
    QString text(std::size_t i) const { return textFromUtf8(view(i)); }
    // Large buffers ask for large pages (see LargePages).
    void reserve(std::size_t rows, std::size_t bytes) {
        ends_.reserve(rows);
        bytes_.reserve(bytes);
        LargePages::prefer(ends_);
        LargePages::prefer(bytes_.data(), bytes_.capacity());
    }
    // Room for that many rows of typical length, so reading a large table
    // fills the buffers once instead of copying them at every doubling: on
    // a large register the first touch of fresh memory costs more than
    // reading the rows. Longer texts grow the buffer as usual.
    void reserveRows(std::size_t rows) { reserve(rows, rows * kTypicalBytes); }
    // The bytes of all texts together.
    std::size_t byteCount() const { return bytes_.size(); }

private:
    static constexpr std::size_t kTypicalBytes = 32;
    std::string bytes_;
    std::vector<std::uint64_t> ends_;
};

// Rows of a list window as read in one statement: an id and a text each
// (an item's description, a case's name, a list line's copied description).
struct IdTextRows {
    std::vector<std::int64_t> ids;
    TextPool texts;

    std::size_t size() const { return ids.size(); }
    void reserveRows(std::size_t rows) {
        ids.reserve(rows);
        texts.reserveRows(rows);
    }
    void append(std::int64_t id, std::string_view text) {
        ids.push_back(id);
        texts.append(text);
    }
};
