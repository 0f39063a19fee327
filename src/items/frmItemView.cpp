#include "items/frmItemView.h"

#include <QListWidget>
#include <QPushButton>

#include "common/OptionCheckBox.h"
#include "common/PictureBox.h"
#include "common/WindowStyle.h"
#include "data/DetailLines.h"
#include "data/Store.h"
#include "items/frmItemAddEdit.h"
#include "printing/PrintService.h"
#include "resources/Pictures.h"

using WindowStyle::place;

frmItemView::frmItemView(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmItemView"));
    WindowStyle::setUpWindow(this, QStringLiteral("View Item Details"), 8535, 8670);
    buildControls();
    Form_Load();
}

void frmItemView::buildControls() {
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("Item details"));
    connect(List1, &QListWidget::itemDoubleClicked, this, &frmItemView::List1_DblClick);
    place(List1, 120, 120, 8295, 6900);

    Check1 = new OptionCheckBox(QStringLiteral("Print Description on Large Labels"),
                                ctx_.settings(), SettingsKeys::DescOnLarge, this);
    Check1->setObjectName(QStringLiteral("Check1"));
    place(Check1, 120, 7080, 3840, 375);
    Check3 = new OptionCheckBox(QStringLiteral("Print Item Numbers on Large Labels"),
                                ctx_.settings(), SettingsKeys::ItemNumOnLarge, this);
    Check3->setObjectName(QStringLiteral("Check3"));
    place(Check3, 3960, 7080, 4455, 375);

    Picture1 = new PictureBox(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(Pictures::largeLogo());
    connect(Picture1, &PictureBox::doubleClicked, this, &frmItemView::Picture1_DblClick);
    place(Picture1, 120, 7560, 3210, 1065);
    // The small logo is only the picture printed on small labels.
    Picture2 = new PictureBox(this);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setPixmap(Pictures::smallLogo());
    Picture2->hide();
    place(Picture2, 120, 7560, 1200, 300);

    const auto button = [this](const char* name, const char* caption, int left) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        place(b, left, 7560, 1095, 975);
        return b;
    };
    cmdEdit = button("cmdEdit", "Edit", 3720);
    Command4 = button("Command4", "Small", 4920);
    Command1 = button("Command1", "Large", 6120);
    Command3 = button("Command3", "Close", 7320);
    connect(cmdEdit, &QPushButton::clicked, this, &frmItemView::cmdEdit_Click);
    connect(Command4, &QPushButton::clicked, this, &frmItemView::Command4_Click);
    connect(Command1, &QPushButton::clicked, this, &frmItemView::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &frmItemView::Command3_Click);
    WindowStyle::makeCancelButton(this, Command3);

    setTabOrder(List1, Check1);
    setTabOrder(Check1, Check3);
    setTabOrder(Check3, cmdEdit);
    setTabOrder(cmdEdit, Command4);
    setTabOrder(Command4, Command1);
    setTabOrder(Command1, Command3);
}

void frmItemView::Form_Load() {
    ShowItemDetails();
    List1->setFocus();
}

void frmItemView::ShowItemDetails() {
    List1->clear();
    const auto rows = ctx_.store().itemsWithId(SharedFields::idOf(ctx_.fields().ItemToOpen));
    if (!rows)
        return;  // the store has told the user
    for (const ItemRecord& item : *rows)
        List1->addItems(DetailLines::lines(DetailLines::itemViewerFields(), item));
}

void frmItemView::cmdEdit_Click() {
    frmItemAddEdit editor(ctx_, this);
    editor.exec();
    ShowItemDetails();
}

void frmItemView::Command3_Click() {
    reject();
}

void frmItemView::Command1_Click() {
    ctx_.printing().PrintLargeLabel(LabelKind::Item, SharedFields::idOf(ctx_.fields().ItemToOpen),
                                    Picture1->pixmap());
}

void frmItemView::Command4_Click() {
    ctx_.printing().PrintSmallLabel(SharedFields::idOf(ctx_.fields().ItemToOpen),
                                    Picture2->pixmap());
}

void frmItemView::List1_DblClick() {
    if (!List1->currentItem())
        return;
    const auto caseNumber = DetailLines::caseNumberOf(List1->currentItem()->text());
    if (!caseNumber)
        return;
    ctx_.fields().CaseToOpen = *caseNumber;
    if (*caseNumber == QLatin1String("0"))
        return;
    // Opened from the case viewer, the viewer is already lower in the chain.
    if (!AppContext::isWindowOpen(QStringLiteral("frmFlightView")))
        openCaseViewer();
}

void frmItemView::openCaseViewer() {
    // The case viewer is not part of the program yet.
}

void frmItemView::Picture1_DblClick() {
    if (ctx_.fields().Funny.toString() == QLatin1String("Items"))
        ctx_.fields().Funny = QStringLiteral("Cases");
}
