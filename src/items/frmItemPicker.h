#pragma once

#include <QDialog>
#include <QString>

#include "common/AppContext.h"

class QLabel;
class QLineEdit;
class RecordList;
class QPushButton;

// Chooses one item from the whole register. The answer comes back in
// ItemToPick (0 = nothing chosen) and ItemToPickDesc. The Find box above the
// list narrows it to the lines whose id or description holds the typed text.
class frmItemPicker : public QDialog {
    Q_OBJECT
public:
    explicit frmItemPicker(AppContext& ctx, QWidget* parent = nullptr);

    // The item on the selected line; 0 and empty until a line is selected.
    qint64 ThisItem = 0;
    QString ThisItemDesc;

    QLabel* Label1 = nullptr;
    QLineEdit* txtFind = nullptr;
    RecordList* List1 = nullptr;
    QLabel* Picture1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;

public slots:
    void Form_Load();
    void txtFind_Change();
    // Down, Up, Page Down and Enter in the Find box; true when it took the key.
    bool txtFind_KeyDown(int key);
    void List1_Click();
    void List1_DblClick();
    void Command2_Click();
    void Command3_Click();

    // Esc and the title bar's close box act as Close.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void addFindBox();
    void moveIntoList(int key);
    void pickFoundLine();

    AppContext& ctx_;
};
