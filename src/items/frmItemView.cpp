#include "items/frmItemView.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "cases/frmFlightView.h"
#include "common/Clock.h"
#include "common/DetailList.h"
#include "common/LabelPanel.h"
#include "common/OptionCheckBox.h"
#include "common/PictureBox.h"
#include "common/WindowStyle.h"
#include "data/ItemStore.h"
#include "data/ListStore.h"
#include "data/ScanStore.h"
#include "data/TestRecordStore.h"
#include "data/rules/DetailLines.h"
#include "data/rules/TextRules.h"
#include "history/frmHistory.h"
#include "items/frmItemAddEdit.h"
#include "items/frmRecordTest.h"

using WindowStyle::place;

frmItemView::frmItemView(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmItemView"));
    WindowStyle::setUpWindow(this, QStringLiteral("View Item Details"), 8535, 10710);
    buildControls();
    Form_Load();
}

void frmItemView::buildControls() {
    List1 = new DetailList(QStringLiteral("Item details"), this);
    List1->setObjectName(QStringLiteral("List1"));
    connect(List1, &DetailList::lineDoubleClicked, this, &frmItemView::List1_DblClick);
    place(List1, 120, 120, 8295, 6900);

    labels_ = new LabelPanel(this, ctx_.settings(), ctx_.printing(), LabelKind::Item,
                             [this] { return itemId_; },
                             {.checksTop = 7080, .check3Left = 4080, .pictureTop = 7560});
    connect(labels_->Picture1, &PictureBox::doubleClicked, this, &frmItemView::Picture1_DblClick);

    cmdEdit =
        WindowStyle::addButton(this, "cmdEdit", QStringLiteral("Edit"), 3720, 7560, 1095, 975);
    labels_->addButtons(4920, 7560, 1095);
    Command3 =
        WindowStyle::addButton(this, "Command3", QStringLiteral("Close"), 7320, 7560, 1095, 975);
    connect(cmdEdit, &QPushButton::clicked, this, &frmItemView::cmdEdit_Click);
    connect(Command3, &QPushButton::clicked, this, &frmItemView::Command3_Click);
    WindowStyle::makeCancelButton(this, Command3);

    // Below the design's window: the tests done on the item.
    lstHistory = new QListWidget(this);
    lstHistory->setObjectName(QStringLiteral("lstHistory"));
    lstHistory->setAccessibleName(QStringLiteral("Test history"));
    place(lstHistory, 120, 8640, 5760, 1980);
    cmdRecordTest = WindowStyle::addButton(this, "cmdRecordTest", QStringLiteral("Record Test"),
                                           6000, 8640, 2415, 495);
    connect(cmdRecordTest, &QPushButton::clicked, this, &frmItemView::cmdRecordTest_Click);
    cmdHistory = WindowStyle::addButton(this, "cmdHistory", QStringLiteral("History"), 6000, 9195,
                                        2415, 495);
    cmdHistory->setAccessibleDescription(QStringLiteral("Who changed the item, when, and how"));
    connect(cmdHistory, &QPushButton::clicked, this, &frmItemView::cmdHistory_Click);
    lblTestStatus = new QLabel(this);
    lblTestStatus->setObjectName(QStringLiteral("lblTestStatus"));
    lblTestStatus->setWordWrap(true);
    place(lblTestStatus, 6000, 9750, 2415, 870);
    WindowStyle::setTabOrder({List1, labels_->Check1, labels_->Check3, cmdEdit, labels_->Command4,
                              labels_->Command1, Command3, lstHistory, cmdRecordTest, cmdHistory,
                              labels_->Picture1});
}

void frmItemView::showItemOfLine(AppContext& ctx, QWidget* parent,
                                 const std::optional<QString>& line) {
    if (!line || AppContext::isWindowOpen(QStringLiteral("frmItemView")))
        return;
    ctx.fields().ItemToOpen = TextRules::IdFromListLine(*line);
    frmItemView viewer(ctx, parent);
    viewer.exec();
}

void frmItemView::Form_Load() {
    itemId_ = SharedFields::idOf(ctx_.fields().ItemToOpen);
    ShowItemDetails();
    List1->setFocus();
}

void frmItemView::ShowItemDetails() {
    List1->clear();
    lstHistory->clear();
    lblTestStatus->clear();
    const auto rows = ctx_.items().withId(itemId_);
    if (!rows)
        return;  // the store has told the user
    for (const ItemRecord& item : *rows)
        List1->addItems(DetailLines::lines(DetailLines::itemViewerFields(), item));
    cmdRecordTest->setEnabled(!rows->isEmpty());
    if (rows->isEmpty())
        return;
    showTestStatus();
    // Where a scan last found the item; nothing for an item never scanned.
    if (const auto seen = ctx_.scans().lastSeen(itemId_); seen && !seen->isEmpty())
        List1->addItem(*seen);
    showBookings();
    const auto tests = ctx_.tests().history(itemId_);
    for (const TestRecord& test : tests.value_or(QList<TestRecord>())) {
        QString line = QStringLiteral("%1 \u00b7 %2 \u00b7 %3")
                           .arg(TextRules::dateText(test.date), test.kind,
                                test.passed ? QStringLiteral("Pass") : QStringLiteral("Fail"));
        if (!test.note.isEmpty())
            line += QStringLiteral(" \u00b7 ") + test.note;
        if (!test.username.isEmpty())
            line += QStringLiteral(" \u00b7 by ") + test.username;
        if (!test.desk.isEmpty())
            line += QStringLiteral(" at ") + test.desk;
        lstHistory->addItem(line);
    }
}

// The lists that hold the item from today on; nothing for an item no list books.
void frmItemView::showBookings() {
    const auto bookings = ctx_.lists().comingBookings(itemId_, ctx_.clock().today());
    if (!bookings || bookings->isEmpty())
        return;
    QStringList where;
    for (const Booking& booking : *bookings) {
        QStringList parts = {QStringLiteral("list %1").arg(booking.listId), booking.listName,
                             Bookings::spanText(booking.plan)};
        parts.removeAll(QString());
        where << parts.join(QLatin1Char(' '));
    }
    List1->addItem(QStringLiteral("Booked: ") + where.join(QStringLiteral("; ")));
}

void frmItemView::showTestStatus() {
    const auto due = ctx_.tests().itemDue(itemId_, ctx_.testWindow());
    if (!due)
        return;
    QString status = TestsDue::statusName(due->status);
    if (due->day)
        status += QStringLiteral(" (due %1)").arg(TestsDue::dateText(*due->day));
    lblTestStatus->setText(QStringLiteral("Test status: ") + status);
}

void frmItemView::cmdRecordTest_Click() {
    frmRecordTest record(ctx_, itemId_, this);
    if (record.exec() == QDialog::Accepted)
        ShowItemDetails();
}

void frmItemView::cmdHistory_Click() {
    if (frmHistory::open(ctx_, this, QLatin1String(ChangeKind::kItem), itemId_))
        ShowItemDetails();
}

void frmItemView::cmdEdit_Click() {
    RecordEditor::edit<frmItemAddEdit>(ctx_, this, itemId_);
    ShowItemDetails();
}

void frmItemView::Command3_Click() {
    reject();
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
    frmFlightView viewer(ctx_, this);
    viewer.exec();
}

void frmItemView::Picture1_DblClick() {
    if (ctx_.fields().Funny.toString() == QLatin1String("Items"))
        ctx_.fields().Funny = QStringLiteral("Cases");
}
