#include "history/ChangeTable.h"

#include <QHeaderView>

#include "app/AppContext.h"
#include "common/Dialogs.h"
#include "data/ChangeStore.h"

namespace {

constexpr int kIndexRole = Qt::UserRole + 1;

QString valueText(const std::optional<QString>& value) {
    return value ? *value : QStringLiteral("(none)");
}

// The change in a sentence, for the question before putting it back.
QString changeInWords(const ChangeRow& row) {
    const QString record = ChangeTable::recordName(row.kind, row.recordId);
    if (row.field == QLatin1String(kWholeRecord))
        return QStringLiteral("%1 was %2 at %3 by %4.")
            .arg(record, valueText(row.newValue), ChangeTable::timeText(row.at), row.user);
    return QStringLiteral("%1: %2 was changed from \"%3\" to \"%4\" at %5 by %6.")
        .arg(record, row.field, valueText(row.oldValue), valueText(row.newValue),
             ChangeTable::timeText(row.at), row.user);
}

}  // namespace

ChangeTable::ChangeTable(const QString& accessibleName, QWidget* parent) : QTreeWidget(parent) {
    setAccessibleName(accessibleName);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHeaderLabels({QStringLiteral("When"), QStringLiteral("User"), QStringLiteral("Desk"),
                     QStringLiteral("Operation"), QStringLiteral("Record"), QStringLiteral("Field"),
                     QStringLiteral("Before"), QStringLiteral("After")});
    header()->setStretchLastSection(true);
    // Named and on the Tab chain, so a screen reader can read the columns'
    // captions from it.
    header()->setAccessibleName(accessibleName + QStringLiteral(" columns"));
    header()->setFocusPolicy(Qt::TabFocus);
    setColumnWidth(0, 150);  // "12/12/2027 14:03"
    setColumnWidth(5, 130);
}

QString ChangeTable::recordName(const QString& kind, qint64 recordId) {
    const QString id = QString::number(recordId);
    if (kind == QLatin1String(ChangeKind::kCase))
        return QStringLiteral("Case F") + id;
    if (kind == QLatin1String(ChangeKind::kList) || kind == QLatin1String(ChangeKind::kLine) ||
        kind == QLatin1String(ChangeKind::kPlan))
        return QStringLiteral("List ") + id;
    if (kind.isEmpty())
        return id;
    return kind.left(1).toUpper() + kind.mid(1) + QLatin1Char(' ') + id;
}

QString ChangeTable::timeText(const QDateTime& at) {
    return at.toLocalTime().toString(QStringLiteral("d/M/yyyy HH:mm"));
}

QStringList ChangeTable::columnsOf(const ChangeRow& row) {
    QString field = row.field;
    if (row.kind == QLatin1String(ChangeKind::kLine) ||
        row.kind == QLatin1String(ChangeKind::kPlan))
        field = row.kind + QLatin1Char(' ') + field;  // "line item", "plan state"
    const QString before = row.oldValue.value_or(QString());
    const QString after = row.newValue.value_or(QString());
    return {timeText(row.at),
            row.user,
            row.desk,
            row.operation,
            recordName(row.kind, row.recordId),
            field,
            before,
            after};
}

void ChangeTable::addChange(const ChangeRow& row) {
    auto* line = new QTreeWidgetItem(this, columnsOf(row));
    line->setData(0, kIndexRole, int(changes_.size()));
    changes_ << row;
}

void ChangeTable::addLine(const QStringList& columns) {
    new QTreeWidgetItem(this, columns);
}

std::optional<ChangeRow> ChangeTable::selectedChange() const {
    const QTreeWidgetItem* line = currentItem();
    if (!line || !line->isSelected())
        return std::nullopt;
    const QVariant index = line->data(0, kIndexRole);
    if (!index.isValid())
        return std::nullopt;
    return changes_.value(index.toInt());
}

bool ChangeTable::putBack(AppContext& ctx, QWidget* parent, const ChangeRow& change,
                          bool wholeBatch) {
    const QString question =
        wholeBatch
            ? QStringLiteral("Put back every change of this %1 (%2 at %3)?\n\n%4")
                  .arg(change.operation, change.user, timeText(change.at), changeInWords(change))
            : QStringLiteral("Put back this change?\n\n%1").arg(changeInWords(change));
    if (!ctx.dialogs().askYesNoDefaultNo(parent, question, Dialogs::Icon::Question))
        return false;
    const PutBackResult result =
        wholeBatch ? ctx.changes().putBackBatch(change.batch) : ctx.changes().putBack(change.id);
    if (result.outcome == PutBackResult::Outcome::Refused)
        ctx.dialogs().inform(parent, result.refusal, Dialogs::Icon::Warning);
    return result.outcome == PutBackResult::Outcome::Done;
}
