#include "common/LabelControls.h"

#include <QPushButton>

#include "common/OptionCheckBox.h"
#include "common/PictureBox.h"
#include "common/WindowStyle.h"
#include "printing/PrintService.h"
#include "resources/Pictures.h"

using WindowStyle::place;

LabelControls LabelControls::add(QWidget* window, Settings& settings, LabelKind kind, int checksTop,
                                 int check3Left, int pictureTop, int check1Left) {
    LabelControls c;
    c.kind = kind;
    c.Check1 = new OptionCheckBox(QStringLiteral("Print Description on Large Labels"), settings,
                                  SettingsKeys::DescOnLarge, window);
    c.Check1->setObjectName(QStringLiteral("Check1"));
    place(c.Check1, check1Left, checksTop, check3Left - check1Left, 375);

    const bool item = kind == LabelKind::Item;
    c.Check3 = new OptionCheckBox(
        item ? QStringLiteral("Print Item Numbers on Large Labels")
             : QStringLiteral("Print Case Numbers on Large Labels"),
        settings, item ? SettingsKeys::ItemNumOnLarge : SettingsKeys::CaseNumOnLarge, window);
    c.Check3->setObjectName(QStringLiteral("Check3"));
    place(c.Check3, check3Left, checksTop, 4695, 375);

    if (!item) {
        c.Check4 = new OptionCheckBox(QStringLiteral("Print F before Case Numbers on Labels"),
                                      settings, SettingsKeys::CaseLetterOnLabels, window);
        c.Check4->setObjectName(QStringLiteral("Check4"));
        c.Check4->setAccessibleDescription(
            QStringLiteral("Case labels print F12 instead of 12, so that a scan names the case"));
        place(c.Check4, check1Left, checksTop - kCheck4Above, check3Left + 4695 - check1Left, 375);
    }

    c.Picture1 = new PictureBox(window);
    c.Picture1->setObjectName(QStringLiteral("Picture1"));
    c.Picture1->setPixmap(Pictures::largeLogo());
    c.Picture1->setAccessibleName(QStringLiteral("Quarvel logo"));
    place(c.Picture1, 120, pictureTop, 3210, 1065);

    c.Picture2 = new PictureBox(window);
    c.Picture2->setObjectName(QStringLiteral("Picture2"));
    c.Picture2->setPixmap(Pictures::smallLogo());
    c.Picture2->setAccessibleName(QStringLiteral("Quarvel logo for small labels"));
    c.Picture2->hide();
    place(c.Picture2, 120, pictureTop, 1200, 300);
    return c;
}

void LabelControls::addButtons(QWidget* window, int smallLeft, int top, int width) {
    constexpr int kHeight = 975;
    constexpr int kGap = 105;
    Command4 = WindowStyle::addButton(window, "Command4", QStringLiteral("Small"), smallLeft, top,
                                      width, kHeight);
    Command1 = WindowStyle::addButton(window, "Command1", QStringLiteral("Large"),
                                      smallLeft + width + kGap, top, width, kHeight);
    Command4->setAccessibleDescription(QStringLiteral("Print the small label"));
    Command1->setAccessibleDescription(QStringLiteral("Print the large label"));
}

void LabelControls::printLarge(PrintService& printing, qint64 id) const {
    printing.PrintLargeLabel(kind, id, Picture1->pixmap());
}

void LabelControls::printSmall(PrintService& printing, qint64 id) const {
    printing.PrintSmallLabel(id, Picture2->pixmap(), kind);
}
