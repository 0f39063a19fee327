#include "history/frmHistory.h"

#include <QLabel>
#include <QPushButton>

#include "common/WindowStyle.h"
#include "data/ChangeStore.h"
#include "data/TestRecordStore.h"
#include "data/rules/TextRules.h"
#include "history/ChangeTable.h"

using WindowStyle::place;

namespace {

// A test knows its day only: it stands above that day's changes.
QDateTime endOfDay(const QDate& day) {
    return QDateTime(day.addDays(1), QTime(0, 0)).addMSecs(-1);
}

QStringList testColumns(qint64 itemId, const TestRecord& test) {
    QString result = test.kind + (test.passed ? QStringLiteral(" Pass") : QStringLiteral(" Fail"));
    if (!test.note.isEmpty())
        result += QStringLiteral(" \u00b7 ") + test.note;
    return {TextRules::dateText(test.date),
            test.username,
            test.desk,
            QStringLiteral("Record test"),
            ChangeTable::recordName(QLatin1String(ChangeKind::kItem), itemId),
            QStringLiteral("test"),
            QString(),
            result};
}

}  // namespace

frmHistory::frmHistory(AppContext& ctx, const QString& kind, qint64 recordId, QWidget* parent)
    : QDialog(parent), ctx_(ctx), kind_(kind), recordId_(recordId) {
    setObjectName(QStringLiteral("frmHistory"));
    WindowStyle::setUpWindow(this, QStringLiteral("History"), 13500, 7200);
    buildControls();
    ShowHistory();
    lstChanges->setFocus();
}

void frmHistory::buildControls() {
    lblRecord =
        new QLabel(QStringLiteral("History of ") + ChangeTable::recordName(kind_, recordId_), this);
    lblRecord->setObjectName(QStringLiteral("lblRecord"));
    place(lblRecord, 120, 120, 8000, 375);
    lstChanges = new ChangeTable(QStringLiteral("Changes"), this);
    lstChanges->setObjectName(QStringLiteral("lstChanges"));
    place(lstChanges, 120, 540, 13260, 5400);
    connect(lstChanges, &QTreeWidget::itemSelectionChanged, this, &frmHistory::lstChanges_Click);

    cmdPutBack = WindowStyle::addButton(this, "cmdPutBack", QStringLiteral("Put Back"), 10560, 6060,
                                        1335, 495);
    cmdPutBack->setAccessibleDescription(
        QStringLiteral("Write the selected change's old value back, as a new change"));
    cmdClose =
        WindowStyle::addButton(this, "cmdClose", QStringLiteral("Close"), 12000, 6060, 1335, 495);
    connect(cmdPutBack, &QPushButton::clicked, this, &frmHistory::cmdPutBack_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmHistory::cmdClose_Click);
    WindowStyle::makeCancelButton(this, cmdClose);
    WindowStyle::setTabOrder({lstChanges, cmdPutBack, cmdClose});
}

void frmHistory::ShowHistory() {
    lstChanges->clear();
    const auto changes = ctx_.changes().history(kind_, recordId_);
    if (changes) {  // otherwise the store has told the user
        if (kind_ == QLatin1String(ChangeKind::kItem))
            showWithTests(*changes);
        else
            for (const ChangeRow& change : *changes)
                lstChanges->addChange(change);
    }
    lstChanges_Click();
}

void frmHistory::showWithTests(const QList<ChangeRow>& changes) {
    const QList<TestRecord> tests = ctx_.tests().history(recordId_).value_or(QList<TestRecord>());
    auto test = tests.begin();
    for (const ChangeRow& change : changes) {
        for (; test != tests.end() && endOfDay(test->date) > change.at; ++test)
            lstChanges->addLine(testColumns(recordId_, *test));
        lstChanges->addChange(change);
    }
    for (; test != tests.end(); ++test)
        lstChanges->addLine(testColumns(recordId_, *test));
}

bool frmHistory::open(AppContext& ctx, QWidget* parent, const QString& kind, qint64 recordId) {
    frmHistory history(ctx, kind, recordId, parent);
    history.exec();
    return history.putBackDone();
}

void frmHistory::lstChanges_Click() {
    cmdPutBack->setEnabled(lstChanges->selectedChange().has_value());
}

void frmHistory::cmdPutBack_Click() {
    const auto change = lstChanges->selectedChange();
    if (!change || !ChangeTable::putBack(ctx_, this, *change, false))
        return;
    putBackDone_ = true;
    ShowHistory();
}

void frmHistory::cmdClose_Click() {
    reject();
}
