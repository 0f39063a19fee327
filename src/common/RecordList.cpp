#include "common/RecordList.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <algorithm>
#include <charconv>

namespace {

bool isAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case-insensitive search of an ASCII needle (already lower case) in ASCII text.
bool containsAscii(std::string_view text, std::string_view lowerNeedle) {
    if (lowerNeedle.size() > text.size())
        return false;
    const auto found = std::search(text.begin(), text.end(), lowerNeedle.begin(), lowerNeedle.end(),
                                   [](char a, char b) { return lowerAscii(a) == b; });
    return found != text.end();
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
    : folded(text.toCaseFolded()),
      utf8(folded.toUtf8()),
      ascii(isAscii(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())))) {}

bool RecordListModel::matches(std::size_t row, const Needle& needle) const {
    if (needle.folded.isEmpty())
        return true;
    const std::string_view text = rows_.texts.view(row);
    const std::string_view bytes(needle.utf8.constData(),
                                 static_cast<std::size_t>(needle.utf8.size()));
    if (lines_ == Lines::IdAndText) {
        char buffer[24];
        if (digitsOf(rows_.ids[row], buffer).find(bytes) != std::string_view::npos)
            return true;
    }
    // Most registers are plain ASCII: compare bytes without making strings.
    if (needle.ascii && isAscii(text))
        return containsAscii(text, bytes);
    const QString shown = textFromUtf8(text);
    return shown.toCaseFolded().contains(needle.folded);
}

void RecordListModel::setFilter(const QString& text) {
    const Needle needle(text);
    const QString& folded = needle.folded;
    beginResetModel();
    if (folded.isEmpty()) {
        filtered_ = false;
        shown_.clear();
    } else {
        // Typing on narrows what is shown already; anything else looks at every row.
        const bool narrowing =
            filtered_ && !needle_.isEmpty() && folded.contains(needle_.toCaseFolded());
        std::vector<std::int32_t> next;
        if (narrowing) {
            for (std::int32_t row : shown_) {
                if (matches(static_cast<std::size_t>(row), needle))
                    next.push_back(row);
            }
        } else {
            for (std::size_t row = 0; row < rows_.size(); ++row) {
                if (matches(row, needle))
                    next.push_back(static_cast<std::int32_t>(row));
            }
        }
        shown_ = std::move(next);
        filtered_ = true;
    }
    needle_ = text;
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
    const QString text = rows_.texts.text(row);
    if (lines_ == Lines::TextOnly)
        return text;
    return QString::number(rows_.ids[row]) + QStringLiteral(" - ") + text;
}

std::int64_t RecordListModel::lineId(int line) const {
    if (line < 0 || line >= rowCount())
        return 0;
    return rows_.ids[rowOfLine(line)];
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
        case Qt::AccessibleTextRole:
            return lineText(index.row());
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
}

void RecordList::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && selectedLine() >= 0) {
        event->accept();
        emit lineDoubleClicked();
        return;
    }
    QListView::keyPressEvent(event);
}

void RecordList::setRows(IdTextRows rows) {
    model_->setRows(std::move(rows));
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
    const int selected = selectedLine();
    const std::optional<std::size_t> row =
        selected < 0 ? std::nullopt : std::optional<std::size_t>(model_->rowOfLine(selected));
    model_->setFilter(text);  // a reset: selection and current line are gone, unannounced
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
