#pragma once

#include "data/rules/Records.h"

class OptionCheckBox;
class PictureBox;
class PrintService;
class QPushButton;
class Settings;
class QWidget;

// The label part that the item and case windows share: the two large-label
// option boxes, the two logos and the "Small" and "Large" buttons that print
// the record's labels. The small logo stays hidden; it is only the picture
// printed on small labels.
struct LabelControls {
    LabelKind kind = LabelKind::Item;
    OptionCheckBox* Check1 = nullptr;  // "DescOnLarge"
    OptionCheckBox* Check3 = nullptr;  // "ItemNumOnLarge" or "CaseNumOnLarge"
    OptionCheckBox* Check4 = nullptr;  // case windows: "CaseLetterOnLabels"
    PictureBox* Picture1 = nullptr;    // large logo
    PictureBox* Picture2 = nullptr;    // small logo
    QPushButton* Command4 = nullptr;   // "Small"
    QPushButton* Command1 = nullptr;   // "Large", to the right of "Small"

    // Places the boxes at checksTop (Check1 from check1Left, Check3 from
    // check3Left; a case window's Check4 in the row above, kCheck4Above
    // higher) and the logos at pictureTop, left at 120; all in twips.
    static constexpr int kCheck4Above = 390;
    static LabelControls add(QWidget* window, Settings& settings, LabelKind kind, int checksTop,
                             int check3Left, int pictureTop, int check1Left = 120);

    // Places "Small" and "Large" side by side in the window's row of
    // buttons, from smallLeft on, each `width` wide; in twips. Apart from
    // the boxes, so that they come in the row's order.
    void addButtons(QWidget* window, int smallLeft, int top, int width);

    // The record's labels, with the logos shown here.
    void printLarge(PrintService& printing, qint64 id) const;
    void printSmall(PrintService& printing, qint64 id) const;
};
