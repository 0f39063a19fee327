#pragma once

#include <QString>

#include "app/PickerWindow.h"

// Chooses a warehouse location and keeps the list of locations: names can be
// added and deleted here. The choice comes back in LocationToPick, "Blank"
// when the window was closed without one.
class frmLocationPicker : public PickerWindow {
    Q_OBJECT
public:
    explicit frmLocationPicker(AppContext& ctx, QWidget* parent = nullptr);

    // The entry last selected; "Blank" while nothing has been selected. After
    // a delete it keeps the deleted name until another entry is selected.
    QString ThisLocation;

    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdDel = nullptr;

public slots:
    void Form_Load();
    void cmdAdd_Click();
    void cmdDel_Click();

protected:
    void lineChosen(const std::optional<QString>& line) override;
    void handOverChoice() override;
    void handOverNoChoice() override;
};
