#pragma once

#include <QDialog>

#include "app/AppContext.h"
#include "data/rules/Bookings.h"
#include "lists/ListControls.h"

class QLabel;
class QLineEdit;
class QPushButton;
class RecordList;

// Shows one picking list (the list named by ListToOpen) without changing it,
// with the ways to open its items, print it and edit it.
class frmListView : public QDialog {
    Q_OBJECT
public:
    explicit frmListView(AppContext& ctx, QWidget* parent = nullptr);

    // Reads the name and the lines again from the register.
    void RefreshView();

public slots:
    void Form_Load();
    void lstItems_Click();
    void lstItems_DblClick();
    void cmdEdit_Click();
    void cmdHistory_Click();
    void cmdPrint_Click();
    void cmdClose_Click();

private:
    void buildControls();
    void showPlan(const ListPlan& plan);

    AppContext& ctx_;
    qint64 listId_ = 0;  // ListToOpen as this window was opened on
    ListControls controls_;
    QString planLine_;  // the plan as shown and printed; empty for a list without one

    QLabel* Label1 = nullptr;
    QLineEdit* txtName = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* lblPlan = nullptr;
    RecordList* lstItems = nullptr;
    QLabel* Picture1 = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* cmdHistory = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdClose = nullptr;
};
