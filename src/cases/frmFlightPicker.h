#pragma once

#include "app/PickerWindow.h"

// Chooses the flight case an item travels in, or none. Save hands the
// choice back in CaseToPick; Close leaves the caller's value there.
class frmFlightPicker : public PickerWindow {
    Q_OBJECT
public:
    explicit frmFlightPicker(AppContext& ctx, QWidget* parent = nullptr);

    // The case on the selected line; 0 (no case) until a line is selected.
    qint64 ThisCase = 0;

public slots:
    void Form_Load();

protected:
    void lineChosen(const std::optional<QString>& line) override;
    void handOverChoice() override;
};
