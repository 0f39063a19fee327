#include "cases/frmFlightView.h"

#include <QLabel>
#include <QPushButton>

#include "cases/frmFlightAddEdit.h"
#include "common/DetailList.h"
#include "common/LabelPanel.h"
#include "common/OptionCheckBox.h"
#include "common/PictureBox.h"
#include "common/RecordList.h"
#include "common/WindowStyle.h"
#include "data/TestRecordStore.h"
#include "data/rules/DetailLines.h"
#include "data/rules/TextRules.h"
#include "history/frmHistory.h"
#include "items/frmItemView.h"

using WindowStyle::place;

frmFlightView::frmFlightView(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmFlightView"));
    WindowStyle::setUpWindow(this, QStringLiteral("Contents of Flight Case"), 8175, 9600);
    buildControls();
    Form_Load();
}

void frmFlightView::buildControls() {
    List2 = new DetailList(QStringLiteral("Flight case details"), this);
    List2->setObjectName(QStringLiteral("List2"));
    place(List2, 120, 120, 7935, 1485);

    auto* Label4 = new QLabel(QStringLiteral("Items in Case"), this);
    Label4->setObjectName(QStringLiteral("Label4"));
    place(Label4, 120, 1680, 2415, 495);
    List1 = new RecordList(RecordList::Lines::IdAndText, Label4->text(), this);
    List1->setObjectName(QStringLiteral("List1"));
    Label4->setBuddy(List1);
    place(List1, 120, 2040, 7935, 6045 - LabelPanel::kCheck4Above);
    connect(List1, &RecordList::lineClicked, this, &frmFlightView::List1_Click);
    connect(List1, &RecordList::lineDoubleClicked, this, &frmFlightView::List1_DblClick);

    // The two captions need the whole width of the window: Check1 starts a
    // little left of the design's 120 twips.
    labels_ = new LabelPanel(
        this, ctx_.settings(), ctx_.printing(), LabelKind::Case, [this] { return caseId_; },
        {.checksTop = 8160, .check3Left = 3960, .pictureTop = 8520, .check1Left = 90});
    connect(labels_->Picture1, &PictureBox::doubleClicked, this, &frmFlightView::Picture1_DblClick);

    cmdEdit =
        WindowStyle::addButton(this, "cmdEdit", QStringLiteral("Edit"), 3360, 8520, 1095, 975);
    labels_->addButtons(4560, 8520, 1095);
    Command3 =
        WindowStyle::addButton(this, "Command3", QStringLiteral("Close"), 6960, 8520, 1095, 975);
    connect(cmdEdit, &QPushButton::clicked, this, &frmFlightView::cmdEdit_Click);
    connect(Command3, &QPushButton::clicked, this, &frmFlightView::Command3_Click);
    WindowStyle::makeCancelButton(this, Command3);
    cmdHistory = WindowStyle::addButton(this, "cmdHistory", QStringLiteral("History"), 6720, 1620,
                                        1335, 390);
    cmdHistory->setAccessibleDescription(QStringLiteral("Who changed the case, when, and how"));
    connect(cmdHistory, &QPushButton::clicked, this, &frmFlightView::cmdHistory_Click);
    WindowStyle::setTabOrder({List2, cmdHistory, List1, labels_->Check4, labels_->Check1,
                              labels_->Check3, cmdEdit, labels_->Command4, labels_->Command1,
                              Command3, labels_->Picture1});
}

void frmFlightView::cmdHistory_Click() {
    if (frmHistory::open(ctx_, this, QLatin1String(ChangeKind::kCase), caseId_))
        ShowCaseDetails();
}

void frmFlightView::Form_Load() {
    caseId_ = SharedFields::idOf(ctx_.fields().CaseToOpen);
    ShowCaseDetails();
    List1->setFocus();
}

// A case that is not stored shows two empty lists. On a failed read the
// store has told the user. The case, its items and their tests come in one
// read.
void frmFlightView::ShowCaseDetails() {
    auto read = ctx_.tests().caseItems(caseId_, ctx_.testWindow());
    List1->setRows(read ? std::move(read->items) : IdTextRows{});
    List2->clear();
    if (!read)
        return;
    for (const CaseRecord& flightCase : read->cases)
        List2->addItems(DetailLines::caseLines(flightCase));
    // After the case's own lines: the worst test status of its items.
    if (!read->cases.isEmpty())
        List2->addItem(DetailLines::caseTestsLine(TestsDue::caseTestsText(read->tests)));
}

void frmFlightView::cmdEdit_Click() {
    RecordEditor::edit<frmFlightAddEdit>(ctx_, this, caseId_);
    ShowCaseDetails();
}

void frmFlightView::Command3_Click() {
    reject();
}

void frmFlightView::List1_Click() {
    if (const auto line = List1->selectedText())
        ctx_.fields().ItemToOpen = TextRules::IdFromListLine(*line);
}

void frmFlightView::List1_DblClick() {
    frmItemView::showItemOfLine(ctx_, this, List1->selectedText());
}

void frmFlightView::Picture1_DblClick() {
    if (ctx_.fields().Funny.toString() == QLatin1String("Cases"))
        ctx_.fields().Funny = QStringLiteral("Db");
}
