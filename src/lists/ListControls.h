#pragma once

#include "common/RecordList.h"

class QDialog;
class QLabel;
class QLineEdit;

// What the list editor and the list viewer both show: the list's name, its
// lines ("item id - description") and the logo.
struct ListControls {
    QLabel* Label1 = nullptr;  // "Name"
    QLineEdit* txtName = nullptr;
    QLabel* Label4 = nullptr;     // "Items on List"
    RecordList* lines = nullptr;  // List1 in the editor, lstItems in the viewer
    QLabel* Picture1 = nullptr;   // the large logo, decoration only

    static ListControls add(QDialog* window, const char* linesName);

    // Where the row of buttons goes, in twips.
    static constexpr int kButtonsTop = 6180;
    static constexpr int kButtonWidth = 1335;
    static constexpr int kButtonHeight = 495;
    static constexpr int buttonLeft(int slot) { return 120 + slot * 1440; }
    static constexpr int kWindowWidth = 7335;
    static constexpr int kWindowHeight = 7965;
};
