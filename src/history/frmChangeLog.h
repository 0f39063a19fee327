#pragma once

#include <QDialog>

#include "app/AppContext.h"
#include "data/rules/Changes.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class ChangeTable;

// The Change Log: every change of the register, newest first, narrowed by
// date, user, kind of record and text. It reads only the page it shows and
// the next one when asked ("More", or scrolling to the end), so it opens
// at once on a log of millions of rows. A change or its whole batch can be
// put back; what the filter lets through can be exported or printed.
class frmChangeLog : public QDialog {
    Q_OBJECT
public:
    explicit frmChangeLog(AppContext& ctx, QWidget* parent = nullptr);

    // The lines read at a time.
    static constexpr int kPageSize = 200;
    // Counted no further: "10000 or more changes".
    static constexpr qint64 kCountCap = 10000;

    // Reads the first page of what the filter lets through, and its count.
    void RefreshLog();
    // The filter the controls set.
    ChangeFilter filter() const;

public slots:
    void Filter_Change();
    void cmdMore_Click();
    void lstChanges_Click();
    void lstChanges_Scroll(int value);
    void cmdPutBack_Click();
    void cmdPutBackBatch_Click();
    void cmdExport_Click();
    void cmdPrint_Click();
    void cmdClose_Click();

private:
    void buildControls();
    void buildFilters();
    void readPage();
    void showCount();
    void putBack(bool wholeBatch);

    AppContext& ctx_;
    qint64 nextBeforeId_ = 0;  // where the next page starts; 0: no more

public:
    QDateEdit* dtpFrom = nullptr;  // its least date: no bound ("Any")
    QDateEdit* dtpTo = nullptr;
    QComboBox* cboUser = nullptr;  // typed or chosen; empty: anyone
    QComboBox* cboKind = nullptr;
    QLineEdit* txtFind = nullptr;
    QLabel* lblCount = nullptr;
    ChangeTable* lstChanges = nullptr;
    QPushButton* cmdMore = nullptr;
    QPushButton* cmdPutBack = nullptr;
    QPushButton* cmdPutBackBatch = nullptr;
    QPushButton* cmdExport = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdClose = nullptr;
};
