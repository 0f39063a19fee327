#pragma once

#include <QDialog>

#include "app/AppContext.h"

class QPushButton;
class DetailList;
class LabelPanel;
class RecordList;

// Shows one flight case read-only (the case named by CaseToOpen): its
// details and the items it holds, with the way to edit it, to open one of
// its items and to print its labels.
class frmFlightView : public QDialog {
    Q_OBJECT
public:
    explicit frmFlightView(AppContext& ctx, QWidget* parent = nullptr);

    // Reads the case's details and items again from the register.
    void ShowCaseDetails();

public slots:
    void Form_Load();
    void cmdEdit_Click();
    void Command3_Click();  // "Close"
    void cmdHistory_Click();
    void List1_Click();
    void List1_DblClick();
    void Picture1_DblClick();

private:
    void buildControls();

    AppContext& ctx_;
    // CaseToOpen as this window was opened on; a window opened from here
    // may change the field (the item viewer's case line).
    qint64 caseId_ = 0;

    DetailList* List2 = nullptr;
    RecordList* List1 = nullptr;
    LabelPanel* labels_ = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* cmdHistory = nullptr;
};
