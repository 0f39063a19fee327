#pragma once

#include "common/RecordList.h"

class AppContext;
class QDialog;
class QLabel;
class QLineEdit;

// What the list editor and the list viewer both show: the list's name, its
// lines ("item id - description"), the marks on lines booked elsewhere or
// due for test while out, and the logo. The row under the name is the
// window's own: the plan's boxes in the editor, the plan in the viewer.
struct ListControls {
    QLabel* Label1 = nullptr;  // "Name"
    QLineEdit* txtName = nullptr;
    QLabel* Label4 = nullptr;     // "Items on List"
    RecordList* lines = nullptr;  // List1 in the editor, lstItems in the viewer
    QLabel* lblMarks = nullptr;   // what the marked lines have, under the list box
    QLabel* Picture1 = nullptr;   // the large logo, decoration only

    static ListControls add(QDialog* window, const char* linesName);

    // Marks the lines of the list that another holding list books over the
    // same days, and those due for test while out, with where else and why
    // (the line's tooltip and accessible text), and sums them up under the
    // list box. A list that holds nothing has no marks.
    void showMarks(AppContext& ctx, qint64 listId) const;

    // The row under the name, in twips: captions, then boxes.
    static constexpr int kPlanCaptionTop = 960;
    static constexpr int kPlanTop = 1260;
    static constexpr int kPlanHeight = 420;
    // Where the row of buttons goes, in twips.
    static constexpr int kButtonsTop = 7080;
    static constexpr int kButtonWidth = 1335;
    static constexpr int kButtonHeight = 495;
    static constexpr int buttonLeft(int slot) { return 120 + slot * 1440; }
    static constexpr int kWindowWidth = 7335;
    static constexpr int kWindowHeight = 8865;
};
