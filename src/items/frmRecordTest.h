#pragma once

#include <QDialog>

#include "app/AppContext.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

// Records one test done on an item: its date (today unless changed), kind,
// result and a note. Save adds it to the item's history and moves the
// item's test dates on; a failed test marks the item failed until a later
// one passes. The window is accepted when the test was recorded.
class frmRecordTest : public QDialog {
    Q_OBJECT
public:
    frmRecordTest(AppContext& ctx, qint64 itemId, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QDateEdit* dtpDate = nullptr;
    QComboBox* cboKind = nullptr;
    QComboBox* cboResult = nullptr;
    QLineEdit* txtNote = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdClose = nullptr;

public slots:
    void cmdSave_Click();
    void cmdClose_Click();

private:
    void buildControls();
    QLabel* addCaption(const QString& text, int top, QWidget* buddy);

    AppContext& ctx_;
    qint64 itemId_;
};
