#pragma once

#include <QTreeWidget>
#include <optional>

#include "data/rules/Changes.h"

class AppContext;

// The changes of the change log as a table, one line per changed field:
// when, who, at which desk, the operation, the record, the field, before
// and after. The History and the Change Log windows show them so, and put
// a selected change (or its batch) back the same way.
class ChangeTable : public QTreeWidget {
    Q_OBJECT
public:
    ChangeTable(const QString& accessibleName, QWidget* parent);

    // Adds a change at the end; the lines stay in the order added.
    void addChange(const ChangeRow& row);
    // Adds a line that is no change of the log (a test of the item's test
    // history): shown alike, never put back.
    void addLine(const QStringList& columns);
    // The change of the selected line; none for no line or a line that is
    // no change.
    std::optional<ChangeRow> selectedChange() const;

    // The columns of a change, as the table shows and the printout prints
    // them.
    static QStringList columnsOf(const ChangeRow& row);
    // "Item 45", "Case F7", "List 3", "Location 2", "Test 9".
    static QString recordName(const QString& kind, qint64 recordId);
    // "12/5/2027 14:03" in this computer's time.
    static QString timeText(const QDateTime& at);

    // Puts back the change, or its whole batch, after asking (Enter answers
    // No); a refusal is shown. True when something was written back.
    static bool putBack(AppContext& ctx, QWidget* parent, const ChangeRow& change, bool wholeBatch);

private:
    QList<ChangeRow> changes_;  // by the index stored in each line
};
