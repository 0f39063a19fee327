#pragma once

#include <QDialog>

#include "app/AppContext.h"
#include "data/rules/Changes.h"

class QLabel;
class QPushButton;
class ChangeTable;

// The History of one record: its changes from the change log, newest
// first (an item's with its tests among them, as the test history holds
// them), with the way to put a change back. The item, case and list
// viewers open it.
class frmHistory : public QDialog {
    Q_OBJECT
public:
    // kind: ChangeKind (item, case or list).
    frmHistory(AppContext& ctx, const QString& kind, qint64 recordId, QWidget* parent = nullptr);

    // Reads the record's changes again.
    void ShowHistory();
    // True once a change was put back: the caller shows the record again.
    bool putBackDone() const { return putBackDone_; }

    // Opens the History of the record over `parent`; true when a change was
    // put back meanwhile.
    static bool open(AppContext& ctx, QWidget* parent, const QString& kind, qint64 recordId);

public slots:
    void lstChanges_Click();
    void cmdPutBack_Click();
    void cmdClose_Click();

private:
    void buildControls();
    // An item's tests, merged by day among its changes (newest first).
    void showWithTests(const QList<ChangeRow>& changes);

    AppContext& ctx_;
    QString kind_;
    qint64 recordId_ = 0;
    bool putBackDone_ = false;

public:
    QLabel* lblRecord = nullptr;  // "History of Item 45"
    ChangeTable* lstChanges = nullptr;
    QPushButton* cmdPutBack = nullptr;
    QPushButton* cmdClose = nullptr;
};
