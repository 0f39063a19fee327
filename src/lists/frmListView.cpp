#include "lists/frmListView.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/RecordList.h"
#include "common/WindowStyle.h"
#include "data/ListStore.h"
#include "data/rules/TextRules.h"
#include "history/frmHistory.h"
#include "items/frmItemView.h"
#include "lists/ListControls.h"
#include "lists/frmListAddEdit.h"
#include "printing/PrintService.h"

frmListView::frmListView(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmListView"));
    WindowStyle::setUpWindow(this, QStringLiteral("Picking List"), ListControls::kWindowWidth,
                             ListControls::kWindowHeight);
    buildControls();
    Form_Load();
}

void frmListView::buildControls() {
    controls_ = ListControls::add(this, "lstItems");
    Label1 = controls_.Label1;
    txtName = controls_.txtName;
    Label4 = controls_.Label4;
    lstItems = controls_.lines;
    Picture1 = controls_.Picture1;
    lblPlan = new QLabel(this);
    lblPlan->setObjectName(QStringLiteral("lblPlan"));
    WindowStyle::place(
        lblPlan, 120, ListControls::kPlanCaptionTop, 7095,
        ListControls::kPlanTop + ListControls::kPlanHeight - ListControls::kPlanCaptionTop);
    connect(lstItems, &RecordList::lineClicked, this, &frmListView::lstItems_Click);
    connect(lstItems, &RecordList::lineDoubleClicked, this, &frmListView::lstItems_DblClick);

    const auto button = [this](const char* name, const QString& caption, int slot) {
        return WindowStyle::addButton(this, name, caption, ListControls::buttonLeft(slot),
                                      ListControls::kButtonsTop, ListControls::kButtonWidth,
                                      ListControls::kButtonHeight);
    };
    cmdHistory = button("cmdHistory", QStringLiteral("History"), 1);
    cmdHistory->setAccessibleDescription(QStringLiteral("Who changed the list, when, and how"));
    connect(cmdHistory, &QPushButton::clicked, this, &frmListView::cmdHistory_Click);
    cmdEdit = button("cmdEdit", QStringLiteral("Edit"), 2);
    cmdPrint = button("cmdPrint", QStringLiteral("Print"), 3);
    cmdClose = button("cmdClose", QStringLiteral("Close"), 4);
    connect(cmdEdit, &QPushButton::clicked, this, &frmListView::cmdEdit_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &frmListView::cmdPrint_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmListView::cmdClose_Click);
    WindowStyle::makeCancelButton(this, cmdClose);
    WindowStyle::setTabOrder({lstItems, txtName, cmdHistory, cmdEdit, cmdPrint, cmdClose});
}

void frmListView::Form_Load() {
    listId_ = SharedFields::idOf(ctx_.fields().ListToOpen);
    RefreshView();
    lstItems->setFocus();
}

void frmListView::RefreshView() {
    lstItems->setRows({});
    const qint64 id = listId_;
    // On a failed read the store has told the user; what could be read is shown.
    if (const auto rows = ctx_.lists().withId(id))
        txtName->setText(rows->isEmpty() ? QString() : rows->first().name);
    if (const auto plan = ctx_.lists().plan(id))
        showPlan(*plan);
    if (auto lines = ctx_.lists().lines(id))
        lstItems->setRows(std::move(*lines));
    controls_.showMarks(ctx_, id);
}

// A list without a plan shows none, as a plain picking list.
void frmListView::showPlan(const ListPlan& plan) {
    planLine_ = Bookings::hasPlan(plan) ? Bookings::planText(plan) : QString();
    lblPlan->setText(planLine_);
}

void frmListView::lstItems_Click() {
    if (const std::optional<QString> line = lstItems->selectedText())
        ctx_.fields().ItemToOpen = TextRules::IdFromListLine(*line);
}

void frmListView::lstItems_DblClick() {
    frmItemView::showItemOfLine(ctx_, this, lstItems->selectedText());
}

void frmListView::cmdEdit_Click() {
    RecordEditor::edit<frmListAddEdit>(ctx_, this, listId_);
    RefreshView();
}

void frmListView::cmdHistory_Click() {
    if (frmHistory::open(ctx_, this, QLatin1String(ChangeKind::kList), listId_))
        RefreshView();
}

void frmListView::cmdPrint_Click() {
    ctx_.printing().PrintPickingList(txtName->text(), lstItems->lines(), planLine_);
}

void frmListView::cmdClose_Click() {
    reject();
}
