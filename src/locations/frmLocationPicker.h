#pragma once

#include <QDialog>
#include <QString>

#include "common/AppContext.h"

class QLabel;
class RecordList;
class QPushButton;

// Chooses a warehouse location and keeps the list of locations: names can be
// added and deleted here. The choice comes back in LocationToPick, "Blank"
// when the window was closed without one.
class frmLocationPicker : public QDialog {
    Q_OBJECT
public:
    explicit frmLocationPicker(AppContext& ctx, QWidget* parent = nullptr);

    // The entry last selected; "Blank" while nothing has been selected. After
    // a delete it keeps the deleted name until another entry is selected.
    QString ThisLocation;

    QLabel* Label1 = nullptr;
    RecordList* List1 = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdDel = nullptr;
    QLabel* Picture1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;

public slots:
    void Form_Load();
    void List1_Click();
    void cmdAdd_Click();
    void cmdDel_Click();
    void Command2_Click();
    void Command3_Click();

    // Esc and the title bar's close box act as Close.
    void reject() override;

private:
    void buildControls();

    AppContext& ctx_;
};
