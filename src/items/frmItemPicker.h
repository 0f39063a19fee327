#pragma once

#include <QString>

#include "app/PickerWindow.h"

class QLineEdit;

// Chooses one item from the whole register. The answer comes back in
// ItemToPick (0 = nothing chosen) and ItemToPickDesc. The Find box above the
// list narrows it to the lines whose id or description holds the typed text.
class frmItemPicker : public PickerWindow {
    Q_OBJECT
public:
    explicit frmItemPicker(AppContext& ctx, QWidget* parent = nullptr);

    // The item on the selected line; 0 and empty until a line is selected.
    qint64 ThisItem = 0;
    QString ThisItemDesc;

    QLineEdit* txtFind = nullptr;

public slots:
    void Form_Load();
    void txtFind_Change();
    // Down, Up, Page Down and Enter in the Find box; true when it took the key.
    bool txtFind_KeyDown(int key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void lineChosen(const std::optional<QString>& line) override;
    void handOverChoice() override;
    void handOverNoChoice() override;

private:
    void addFindBox();
    void moveIntoList(int key);
    void pickFoundLine();
};
