#include "common/RecordList.h"

#include <QItemSelectionModel>
#include <QStyle>
#include <algorithm>
#include <charconv>

#include "common/ListKeys.h"

namespace {

bool isAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Only these can occur in an id's digits.
bool couldBeInAnId(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '-'; });
}

bool equalIgnoringAsciiCase(const char* text, std::string_view lowerNeedle) {
    for (std::size_t i = 0; i < lowerNeedle.size(); ++i) {
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c) != lowerNeedle[i])
            return false;
    }
    return true;
}

enum class Found { Yes, No, NotAscii };

// Looks for an ASCII needle, already in lower case, in one pass over the
// text, ignoring the case of ASCII letters. A text that holds other
// characters before a match is left to Unicode case folding.
Found findAscii(std::string_view text, std::string_view lowerNeedle) {
    const char first = lowerNeedle.front();
    const bool letter = first >= 'a' && first <= 'z';
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80)
            return Found::NotAscii;
        // Only the letters A to Z and a to z become a to z by setting 0x20.
        if (static_cast<char>(letter ? c | 0x20 : c) != first)
            continue;
        if (size - i >= lowerNeedle.size() &&
            equalIgnoringAsciiCase(text.data() + i + 1, lowerNeedle.substr(1)))
            return Found::Yes;
    }
    return Found::No;
}

std::string_view digitsOf(std::int64_t id, char (&buffer)[24]) {
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, id);
    return std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer));
}

}  // namespace

RecordListModel::RecordListModel(Lines lines, QObject* parent)
    : QAbstractListModel(parent), lines_(lines) {}

void RecordListModel::setRows(IdTextRows rows) {
    beginResetModel();
    rows_ = std::move(rows);
    rowText_ = nullptr;
    filtered_ = false;
    shown_.clear();
    needle_.clear();
    endResetModel();
}

void RecordListModel::setRows(std::vector<std::int64_t> ids, RowText text) {
    beginResetModel();
    rows_ = {std::move(ids), {}};
    rowText_ = std::move(text);
    filtered_ = false;
    shown_.clear();
    needle_.clear();
    endResetModel();
}

void RecordListModel::appendRow(std::int64_t id, const QString& text) {
    if (!filtered_) {
        const int line = rowCount();
        beginInsertRows({}, line, line);
        rows_.append(id, text.toStdString());
        endInsertRows();
        return;
    }
    rows_.append(id, text.toStdString());
    const std::size_t row = rows_.size() - 1;
    if (!matches(row, Needle(needle_)))
        return;
    const int line = rowCount();
    beginInsertRows({}, line, line);
    shown_.push_back(static_cast<std::int32_t>(row));
    endInsertRows();
}

void RecordListModel::removeLine(int line) {
    if (line < 0 || line >= rowCount())
        return;
    const std::size_t removed = rowOfLine(line);
    beginRemoveRows({}, line, line);
    IdTextRows kept;
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        if (row != removed)
            kept.append(rows_.ids[row], rows_.texts.view(row));
    }
    rows_ = std::move(kept);
    if (filtered_) {
        shown_.erase(shown_.begin() + line);
        for (std::int32_t& row : shown_) {
            if (static_cast<std::size_t>(row) > removed)
                --row;
        }
    }
    endRemoveRows();
}

RecordListModel::Needle::Needle(const QString& text)
    : folded(text.toCaseFolded()), utf8(folded.toUtf8()) {
    const std::string_view bytes = view();
    ascii = isAscii(bytes);
    inIds = couldBeInAnId(bytes);
}

bool RecordListModel::matches(std::size_t row, const Needle& needle) const {
    if (needle.folded.isEmpty())
        return true;
    if (needle.inIds && lines_ == Lines::IdAndText) {
        char buffer[24];
        if (digitsOf(rows_.ids[row], buffer).find(needle.view()) != std::string_view::npos)
            return true;
    }
    if (rowText_)
        return rowText_(row).toCaseFolded().contains(needle.folded);
    const std::string_view text = rows_.texts.view(row);
    // Most registers are plain ASCII: compare bytes without making strings.
    if (needle.ascii) {
        const Found found = findAscii(text, needle.view());
        if (found != Found::NotAscii)
            return found == Found::Yes;
    }
    return textFromUtf8(text).toCaseFolded().contains(needle.folded);
}

void RecordListModel::setFilter(const QString& text) {
    const Needle needle(text);
    beginResetModel();
    if (needle.folded.isEmpty()) {
        filtered_ = false;
        shown_.clear();
    } else {
        // Typing on narrows what is shown already; anything else looks at
        // every row. The spare list keeps its memory from key to key.
        const bool narrowing = filtered_ && !needle_.isEmpty() && needle.folded.contains(needle_);
        spare_.clear();
        if (narrowing) {
            for (const std::int32_t row : shown_) {
                if (matches(static_cast<std::size_t>(row), needle))
                    spare_.push_back(row);
            }
        } else {
            for (std::size_t row = 0; row < rows_.size(); ++row) {
                if (matches(row, needle))
                    spare_.push_back(static_cast<std::int32_t>(row));
            }
        }
        shown_.swap(spare_);
        filtered_ = true;
    }
    needle_ = needle.folded;
    endResetModel();
}

void RecordListModel::showRows(std::vector<std::int32_t> rows) {
    beginResetModel();
    shown_ = std::move(rows);
    filtered_ = true;
    needle_.clear();
    endResetModel();
}

std::size_t RecordListModel::rowOfLine(int line) const {
    return filtered_ ? static_cast<std::size_t>(shown_[static_cast<std::size_t>(line)])
                     : static_cast<std::size_t>(line);
}

int RecordListModel::lineOfRow(std::size_t row) const {
    if (!filtered_)
        return row < rows_.size() ? static_cast<int>(row) : -1;
    // Shown rows keep their stored order.
    const auto found =
        std::lower_bound(shown_.begin(), shown_.end(), static_cast<std::int32_t>(row));
    return found != shown_.end() && static_cast<std::size_t>(*found) == row
               ? static_cast<int>(found - shown_.begin())
               : -1;
}

QString RecordListModel::lineText(int line) const {
    if (line < 0 || line >= rowCount())
        return {};
    const std::size_t row = rowOfLine(line);
    const QString text = textOf(row);
    if (lines_ == Lines::TextOnly)
        return text;
    return QString::number(rows_.ids[row]) + QStringLiteral(" - ") + text;
}

QString RecordListModel::textOf(std::size_t row) const {
    return rowText_ ? rowText_(row) : rows_.texts.text(row);
}

std::int64_t RecordListModel::lineId(int line) const {
    if (line < 0 || line >= rowCount())
        return 0;
    return rows_.ids[rowOfLine(line)];
}

void RecordListModel::setNotes(QHash<std::int64_t, QString> notes, const QIcon& mark) {
    if (notes.isEmpty() && notes_.isEmpty())
        return;
    notes_ = std::move(notes);
    mark_ = mark;
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1));
}

QString RecordListModel::noteOfLine(int line) const {
    if (notes_.isEmpty() || line < 0 || line >= rowCount())
        return {};
    return notes_.value(rows_.ids[rowOfLine(line)]);
}

// The view asks for every line's index when it lays out the lines; this
// answers without the general checks of QAbstractListModel.
QModelIndex RecordListModel::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || column != 0 || row < 0 || row >= RecordListModel::rowCount())
        return {};
    return createIndex(row, column);
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return static_cast<int>(filtered_ ? shown_.size() : rows_.size());
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    switch (role) {
        case Qt::DisplayRole:
            return lineText(index.row());
        case Qt::AccessibleTextRole: {
            const QString note = noteOfLine(index.row());
            return note.isEmpty() ? lineText(index.row())
                                  : lineText(index.row()) + QStringLiteral(", ") + note;
        }
        case Qt::ToolTipRole: {
            const QString note = noteOfLine(index.row());
            return note.isEmpty() ? QVariant() : QVariant(note);
        }
        case Qt::DecorationRole:
            return noteOfLine(index.row()).isEmpty() ? QVariant() : QVariant(mark_);
        case IdRole:
            return QVariant::fromValue<qint64>(lineId(index.row()));
        default:
            return {};
    }
}

RecordList::RecordList(Lines lines, const QString& accessibleName, QWidget* parent)
    : QListView(parent), model_(new RecordListModel(lines, this)) {
    setModel(model_);
    setAccessibleName(accessibleName);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);  // no measuring of every line of a large register
    connect(this, &QListView::clicked, this, &RecordList::lineClicked);
    connect(this, &QListView::doubleClicked, this, &RecordList::lineDoubleClicked);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &RecordList::lineClicked);
    ListKeys::install(this, [this] { emit lineDoubleClicked(); });
}

void RecordList::setRows(IdTextRows rows) {
    model_->setRows(std::move(rows));
}

void RecordList::setRows(std::vector<std::int64_t> ids, RecordListModel::RowText text) {
    model_->setRows(std::move(ids), std::move(text));
}

void RecordList::setNotes(QHash<std::int64_t, QString> notes) {
    model_->setNotes(std::move(notes), style()->standardIcon(QStyle::SP_MessageBoxWarning));
}

void RecordList::appendRow(std::int64_t id, const QString& text) {
    model_->appendRow(id, text);
}

void RecordList::removeSelectedLine() {
    const int line = selectedLine();
    if (line < 0)
        return;
    const QSignalBlocker blocker(selectionModel());
    model_->removeLine(line);
    clearChoice();
}

void RecordList::setFilter(const QString& text) {
    keepSelection([&] { model_->setFilter(text); });
}

void RecordList::showRows(std::vector<std::int32_t> rows) {
    keepSelection([&] { model_->showRows(std::move(rows)); });
}

template <class Change>
void RecordList::keepSelection(Change change) {
    const int selected = selectedLine();
    const std::optional<std::size_t> row =
        selected < 0 ? std::nullopt : std::optional<std::size_t>(model_->rowOfLine(selected));
    change();  // a reset: selection and current line are gone, unannounced
    const int line = row ? model_->lineOfRow(*row) : -1;
    if (line >= 0) {
        selectLine(line);
        scrollTo(currentIndex());
    } else if (row) {
        emit lineClicked();
    }
}

int RecordList::count() const {
    return model_->rowCount();
}

QString RecordList::lineText(int line) const {
    return model_->lineText(line);
}

QStringList RecordList::lines() const {
    QStringList out;
    out.reserve(count());
    for (int line = 0; line < count(); ++line)
        out << model_->lineText(line);
    return out;
}

int RecordList::lineOfId(std::int64_t id) const {
    for (int line = 0; line < count(); ++line) {
        if (model_->lineId(line) == id)
            return line;
    }
    return -1;
}

int RecordList::selectedLine() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

std::optional<QString> RecordList::selectedText() const {
    const int line = selectedLine();
    return line < 0 ? std::nullopt : std::optional<QString>(model_->lineText(line));
}

std::optional<std::int64_t> RecordList::selectedId() const {
    const int line = selectedLine();
    return line < 0 ? std::nullopt : std::optional<std::int64_t>(model_->lineId(line));
}

void RecordList::selectLine(int line) {
    const QModelIndex index = model_->index(line, 0);
    setCurrentIndex(index);
    selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
}

void RecordList::clearChoice() {
    const QSignalBlocker blocker(selectionModel());
    selectionModel()->clear();
}
