#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QIcon>
#include <QListView>
#include <functional>
#include <optional>
#include <vector>

#include "base/TextPool.h"

// The lines of a list window over rows read in one statement: "id - text"
// (an item, a case, a list line) or the text alone (a location name). Texts
// stay UTF-8 in one buffer and become strings only for the lines painted,
// so a register of a million items lists quickly.
class RecordListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum class Lines { IdAndText, TextOnly };
    static constexpr int IdRole = Qt::UserRole + 1;

    explicit RecordListModel(Lines lines, QObject* parent = nullptr);

    void setRows(IdTextRows rows);
    // Rows whose texts are made only when a line is painted or asked for:
    // `text` gives a row's text (after "id - " for IdAndText lines). For
    // lists too long to hold every line's text; not for appendRow or removeLine.
    using RowText = std::function<QString(std::size_t row)>;
    void setRows(std::vector<std::int64_t> ids, RowText text);
    void appendRow(std::int64_t id, const QString& text);
    void removeLine(int line);

    // Marks the lines of these ids with a note (where else an item is
    // booked, ...): the note is the line's tooltip, follows the line in what
    // a screen reader says, and the line shows `mark` before its text. The
    // lines' texts stay as they are. Empty: no line is marked.
    void setNotes(QHash<std::int64_t, QString> notes, const QIcon& mark = {});
    QString noteOfLine(int line) const;

    // Shows only the lines whose id or text holds the given text, ignoring
    // letter case (Unicode case folding); an empty text shows every line.
    void setFilter(const QString& text);
    // Shows only the given rows (ascending), chosen by the window's own tests.
    void showRows(std::vector<std::int32_t> rows);

    QString lineText(int line) const;
    std::int64_t lineId(int line) const;
    // The row a line shows, and the line that shows a row (-1 when hidden).
    std::size_t rowOfLine(int line) const;
    int lineOfRow(std::size_t row) const;

    QModelIndex index(int row, int column = 0, const QModelIndex& parent = {}) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    // A filter text prepared once for the comparison with every row.
    struct Needle {
        explicit Needle(const QString& text);
        std::string_view view() const {
            return std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size()));
        }
        QString folded;
        QByteArray utf8;
        bool ascii = true;
        bool inIds = false;  // only characters an id's digits can hold
    };

    bool matches(std::size_t row, const Needle& needle) const;
    QString textOf(std::size_t row) const;

    Lines lines_;
    IdTextRows rows_;
    RowText rowText_;                  // set: texts are made, rows_ holds the ids only
    std::vector<std::int32_t> shown_;  // rows shown while filtered
    std::vector<std::int32_t> spare_;  // the next filter's rows
    bool filtered_ = false;
    QString needle_;  // case folded
    QHash<std::int64_t, QString> notes_;
    QIcon mark_;
};

// A single-selection list of such lines. `lineClicked` comes on every click
// and on every change of the selected line, by mouse or by key;
// `lineDoubleClicked` on a double-click on a line and on Enter on the line
// that has the focus, which Enter selects first (see ListKeys). Only a
// selected line counts as the user's choice.
class RecordList : public QListView {
    Q_OBJECT
public:
    using Lines = RecordListModel::Lines;

    RecordList(Lines lines, const QString& accessibleName, QWidget* parent = nullptr);

    RecordListModel* records() const { return model_; }

    // Replaces every line; nothing is selected afterwards.
    void setRows(IdTextRows rows);
    void setRows(std::vector<std::int64_t> ids, RecordListModel::RowText text);
    void appendRow(std::int64_t id, const QString& text);
    // Removes the selected line and leaves nothing selected.
    void removeSelectedLine();

    // Shows only the lines holding the text (see RecordListModel::setFilter).
    // A selected line that stays shown stays selected; one that goes
    // leaves nothing selected, which counts as a click.
    void setFilter(const QString& text);
    // Shows only the given rows, ascending; the selection as with setFilter.
    void showRows(std::vector<std::int32_t> rows);
    // Marks lines by id with a note and the style's warning sign (see
    // RecordListModel::setNotes).
    void setNotes(QHash<std::int64_t, QString> notes);

    int count() const;
    QString lineText(int line) const;
    QStringList lines() const;
    // The first line of that id, or -1.
    int lineOfId(std::int64_t id) const;

    // The selected line, or -1 when no line is selected.
    int selectedLine() const;
    std::optional<QString> selectedText() const;
    std::optional<std::int64_t> selectedId() const;
    void selectLine(int line);
    void clearChoice();

signals:
    void lineClicked();
    void lineDoubleClicked();

private:
    // Keeps the selected row selected across a change of the lines shown.
    template <class Change>
    void keepSelection(Change change);

    RecordListModel* model_;
};
