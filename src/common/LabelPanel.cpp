#include "common/LabelPanel.h"

#include <QPushButton>

#include "common/OptionCheckBox.h"
#include "common/PictureBox.h"
#include "common/WindowStyle.h"
#include "printing/PrintService.h"
#include "resources/Pictures.h"

using WindowStyle::place;

LabelPanel::LabelPanel(QWidget* window, Settings& settings, PrintService& printing, LabelKind kind,
                       std::function<qint64()> labelId, const Place& at)
    : QObject(window),
      window_(window),
      printing_(printing),
      kind_(kind),
      labelId_(std::move(labelId)) {
    Check1 = new OptionCheckBox(QStringLiteral("Print Description on Large Labels"), settings,
                                SettingsKeys::DescOnLarge, window);
    Check1->setObjectName(QStringLiteral("Check1"));
    place(Check1, at.check1Left, at.checksTop, at.check3Left - at.check1Left, 375);

    const bool item = kind == LabelKind::Item;
    Check3 = new OptionCheckBox(
        item ? QStringLiteral("Print Item Numbers on Large Labels")
             : QStringLiteral("Print Case Numbers on Large Labels"),
        settings, item ? SettingsKeys::ItemNumOnLarge : SettingsKeys::CaseNumOnLarge, window);
    Check3->setObjectName(QStringLiteral("Check3"));
    place(Check3, at.check3Left, at.checksTop, 4695, 375);

    if (!item) {
        Check4 = new OptionCheckBox(QStringLiteral("Print F before Case Numbers on Labels"),
                                    settings, SettingsKeys::CaseLetterOnLabels, window);
        Check4->setObjectName(QStringLiteral("Check4"));
        Check4->setAccessibleDescription(
            QStringLiteral("Case labels print F12 instead of 12, so that a scan names the case"));
        place(Check4, at.check1Left, at.checksTop - kCheck4Above,
              at.check3Left + 4695 - at.check1Left, 375);
    }

    Picture1 = new PictureBox(window);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(Pictures::largeLogo());
    Picture1->setAccessibleName(QStringLiteral("Quarvel logo"));
    place(Picture1, 120, at.pictureTop, 3210, 1065);

    Picture2 = new PictureBox(window);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setPixmap(Pictures::smallLogo());
    Picture2->setAccessibleName(QStringLiteral("Quarvel logo for small labels"));
    Picture2->hide();
    place(Picture2, 120, at.pictureTop, 1200, 300);
}

void LabelPanel::addButtons(int smallLeft, int top, int width) {
    constexpr int kHeight = 975;
    constexpr int kGap = 105;
    Command4 = WindowStyle::addButton(window_, "Command4", QStringLiteral("Small"), smallLeft, top,
                                      width, kHeight);
    Command1 = WindowStyle::addButton(window_, "Command1", QStringLiteral("Large"),
                                      smallLeft + width + kGap, top, width, kHeight);
    Command4->setAccessibleDescription(QStringLiteral("Print the small label"));
    Command1->setAccessibleDescription(QStringLiteral("Print the large label"));
    connect(Command4, &QPushButton::clicked, this, &LabelPanel::Command4_Click);
    connect(Command1, &QPushButton::clicked, this, &LabelPanel::Command1_Click);
}

void LabelPanel::Command1_Click() {
    printing_.PrintLargeLabel(kind_, labelId_(), Picture1->pixmap());
}

void LabelPanel::Command4_Click() {
    printing_.PrintSmallLabel(labelId_(), Picture2->pixmap(), kind_);
}
