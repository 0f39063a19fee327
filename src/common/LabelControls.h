#pragma once

#include "data/rules/Records.h"

class OptionCheckBox;
class PictureBox;
class QPushButton;
class Settings;
class QWidget;

// The label part that the item and case windows share: the two large-label
// option boxes and the two logos. The small logo stays hidden; it is only
// the picture printed on small labels.
struct LabelControls {
    OptionCheckBox* Check1 = nullptr;  // "DescOnLarge"
    OptionCheckBox* Check3 = nullptr;  // "ItemNumOnLarge" or "CaseNumOnLarge"
    OptionCheckBox* Check4 = nullptr;  // case windows: "CaseLetterOnLabels"
    PictureBox* Picture1 = nullptr;    // large logo
    PictureBox* Picture2 = nullptr;    // small logo

    // Places the boxes at checksTop (Check1 from check1Left, Check3 from
    // check3Left; a case window's Check4 in the row above, kCheck4Above
    // higher) and the logos at pictureTop, left at 120; all in twips.
    static constexpr int kCheck4Above = 390;
    static LabelControls add(QWidget* window, Settings& settings, LabelKind kind, int checksTop,
                             int check3Left, int pictureTop, int check1Left = 120);

    // Tells screen readers what the "Small" and "Large" buttons print.
    static void describeLabelButtons(QPushButton* small, QPushButton* large);
};
