#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Texts of many rows kept as UTF-8 in one buffer; a QString is made only for
// the rows the tree actually paints.
class TextPool {
public:
    void append(const char* utf8, std::size_t size) {
        bytes_.append(utf8, size);
        ends_.push_back(static_cast<std::uint64_t>(bytes_.size()));
    }
    void append(std::string_view s) { append(s.data(), s.size()); }
    std::size_t size() const { return ends_.size(); }
    std::string_view view(std::size_t i) const {
        const std::uint64_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(bytes_).substr(begin, ends_[i] - begin);
    }
    QString text(std::size_t i) const {
        const std::string_view v = view(i);
        return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
    }
    void reserve(std::size_t rows, std::size_t bytes) {
        ends_.reserve(rows);
        bytes_.reserve(bytes);
    }

private:
    std::string bytes_;
    std::vector<std::uint64_t> ends_;
};

// Everything the main tree shows, in the order it shows it:
//   items by id; cases in stored order, each with the items whose caseID names
//   it (by id); lists in stored order, each with its ListData rows.
// Groups are kept as offsets into flat arrays ("start[i] .. start[i+1]").
struct TreeData {
    std::vector<std::int64_t> itemIds;
    TextPool itemTexts;

    std::vector<std::int64_t> caseIds;
    TextPool caseTexts;
    std::vector<std::int32_t> caseItemStart{0};  // cases + 1 entries
    std::vector<std::int32_t> caseItems;         // index into itemIds

    std::vector<std::int64_t> listIds;
    TextPool listTexts;
    std::vector<std::int32_t> listLineStart{0};  // lists + 1 entries
    std::vector<std::int64_t> lineItemIds;
    TextPool lineTexts;
};
