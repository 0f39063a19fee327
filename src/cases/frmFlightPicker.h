#pragma once

#include <QDialog>

#include "common/AppContext.h"

class QLabel;
class RecordList;
class QPushButton;

// Chooses the flight case an item travels in, or none. Save hands the
// choice back in CaseToPick; Close leaves the caller's value there.
class frmFlightPicker : public QDialog {
    Q_OBJECT
public:
    explicit frmFlightPicker(AppContext& ctx, QWidget* parent = nullptr);

    // The case on the selected line; 0 (no case) until a line is selected.
    qint64 ThisCase = 0;

    QLabel* Label1 = nullptr;
    RecordList* List1 = nullptr;
    QLabel* Picture1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;

public slots:
    void Form_Load();
    void List1_Click();
    void List1_DblClick();
    void Command2_Click();
    void Command3_Click();

private:
    void buildControls();

    AppContext& ctx_;
};
