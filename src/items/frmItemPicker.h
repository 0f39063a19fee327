#pragma once

#include <QDialog>
#include <QString>

#include "common/AppContext.h"

class QLabel;
class RecordList;
class QPushButton;

// Chooses one item from the whole register. The answer comes back in
// ItemToPick (0 = nothing chosen) and ItemToPickDesc.
class frmItemPicker : public QDialog {
    Q_OBJECT
public:
    explicit frmItemPicker(AppContext& ctx, QWidget* parent = nullptr);

    // The item on the selected line; 0 and empty until a line is selected.
    qint64 ThisItem = 0;
    QString ThisItemDesc;

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

    // Esc and the title bar's close box act as Close.
    void reject() override;

private:
    void buildControls();

    AppContext& ctx_;
};
