#pragma once

#include <QObject>
#include <functional>

#include "data/rules/Records.h"

class OptionCheckBox;
class PictureBox;
class PrintService;
class QPushButton;
class Settings;
class QWidget;

// The label part that the item and case windows share: the two large-label
// option boxes, the two logos and the "Small" and "Large" buttons, which
// print the labels of the record the window shows. The small logo stays
// hidden; it is only the picture printed on small labels. The controls are
// the window's own children, placed in its twips; the panel only groups them.
class LabelPanel : public QObject {
    Q_OBJECT
public:
    OptionCheckBox* Check1 = nullptr;  // "DescOnLarge"
    OptionCheckBox* Check3 = nullptr;  // "ItemNumOnLarge" or "CaseNumOnLarge"
    OptionCheckBox* Check4 = nullptr;  // case windows: "CaseLetterOnLabels"
    PictureBox* Picture1 = nullptr;    // large logo
    PictureBox* Picture2 = nullptr;    // small logo
    QPushButton* Command4 = nullptr;   // "Small"
    QPushButton* Command1 = nullptr;   // "Large", to the right of "Small"

    // Where the boxes and the logos go, in twips: the boxes at checksTop
    // (Check1 from check1Left, Check3 from check3Left; a case window's
    // Check4 in the row above, kCheck4Above higher), the logos at
    // pictureTop, left at 120.
    struct Place {
        int checksTop;
        int check3Left;
        int pictureTop;
        int check1Left = 120;
    };
    static constexpr int kCheck4Above = 390;

    // `labelId` says whose labels the buttons print.
    LabelPanel(QWidget* window, Settings& settings, PrintService& printing, LabelKind kind,
               std::function<qint64()> labelId, const Place& place);

    // Places "Small" and "Large" side by side in the window's row of
    // buttons, from smallLeft on, each `width` wide; in twips. Apart from
    // the boxes, so that they come in the row's order.
    void addButtons(int smallLeft, int top, int width);

public slots:
    void Command1_Click();  // "Large"
    void Command4_Click();  // "Small"

private:
    QWidget* window_;
    PrintService& printing_;
    LabelKind kind_;
    std::function<qint64()> labelId_;
};
