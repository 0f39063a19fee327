#include "lists/frmListAddEdit.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "common/Dialogs.h"
#include "common/RecordList.h"
#include "common/WindowStyle.h"
#include "data/ListStore.h"
#include "data/TestRecordStore.h"
#include "data/rules/TextRules.h"
#include "items/frmDatePicker.h"
#include "items/frmItemPicker.h"
#include "items/frmItemView.h"
#include "lists/ListControls.h"
#include "printing/PrintService.h"

namespace {

constexpr int kReloadDelayMs = 1000;

// The date a box holds: none when it is empty, unreadable when it is not
// day/month/year as the date picker writes it.
struct BoxDate {
    bool readable = true;
    std::optional<QDate> date;
};

BoxDate boxDate(const QLineEdit* box) {
    const QByteArray utf8 = box->text().trimmed().toUtf8();
    const TestsDue::DateReading reading =
        TestsDue::readDate(std::string_view(utf8.constData(), std::size_t(utf8.size())));
    switch (reading.reading) {
        case TestsDue::Reading::Blank:
            return {};
        case TestsDue::Reading::Unreadable:
            return {false, std::nullopt};
        case TestsDue::Reading::Read:
            break;
    }
    return {true, TestsDue::dateOf(reading.day)};
}

QString dateBoxText(const std::optional<QDate>& date) {
    return date ? Bookings::dateText(*date) : QString();
}

}  // namespace

const RecordEditor::Kind frmListAddEdit::kKind{
    .table = RecordTable::Lists,
    .toOpen = &SharedFields::ListToOpen,
    .name = "List %1",
    .noun = "list",
    .gone = "List %1 no longer exists.",
    .hasLabels = false,
};

frmListAddEdit::frmListAddEdit(AppContext& ctx, QWidget* parent)
    : RecordEditor(ctx, kKind, parent) {
    setObjectName(QStringLiteral("frmListAddEdit"));
    WindowStyle::setUpWindow(this, QStringLiteral("Add/Edit Picking List"),
                             ListControls::kWindowWidth, ListControls::kWindowHeight);
    buildControls();
    Form_Load();
}

void frmListAddEdit::buildControls() {
    controls_ = ListControls::add(this, "List1");
    Label1 = controls_.Label1;
    txtName = controls_.txtName;
    Label4 = controls_.Label4;
    List1 = controls_.lines;
    Picture1 = controls_.Picture1;
    buildPlanControls();
    connect(List1, &RecordList::lineClicked, this, &frmListAddEdit::List1_Click);
    connect(List1, &RecordList::lineDoubleClicked, this, &frmListAddEdit::List1_DblClick);

    const auto button = [this](const char* name, const QString& caption, int slot) {
        return WindowStyle::addButton(this, name, caption, ListControls::buttonLeft(slot),
                                      ListControls::kButtonsTop, ListControls::kButtonWidth,
                                      ListControls::kButtonHeight);
    };
    cmdAdd = button("cmdAdd", QStringLiteral("Add"), 0);
    cmdDel = button("cmdDel", QStringLiteral("Delete"), 1);
    cmdSave = button("cmdSave", QStringLiteral("Save"), 2);
    cmdPrint = button("cmdPrint", QStringLiteral("Print"), 3);
    cmdClose = button("cmdClose", QStringLiteral("Close"), 4);
    cmdAdd->setEnabled(false);
    cmdDel->setEnabled(false);
    connect(cmdAdd, &QPushButton::clicked, this, &frmListAddEdit::cmdAdd_Click);
    connect(cmdDel, &QPushButton::clicked, this, &frmListAddEdit::cmdDel_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmListAddEdit::cmdSave_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &frmListAddEdit::cmdPrint_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmListAddEdit::cmdClose_Click);
    WindowStyle::makeCancelButton(this, cmdClose);
    WindowStyle::setTabOrder({txtName, txtOutDate, cmdOutDate, txtReturnDate, cmdReturnDate,
                              cboState, List1, cmdAdd, cmdDel, cmdSave, cmdPrint, cmdClose});

    // Restarting a running single shot folds repeated arming into one reload.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(kReloadDelayMs);
    connect(Timer1, &QTimer::timeout, this, &frmListAddEdit::Timer1_Timer);
    connect(this, &QDialog::finished, Timer1, &QTimer::stop);
}

// Out date, return date (each typed or picked) and state, in the row under the name.
void frmListAddEdit::buildPlanControls() {
    using WindowStyle::place;
    const auto caption = [this](const char* name, const QString& text, int left, int width) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QLatin1String(name));
        place(label, left, ListControls::kPlanCaptionTop, width, 300);
        return label;
    };
    const auto dateBox = [this](const char* name, QLabel* label, int left) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QLatin1String(name));
        box->setAccessibleName(label->text());
        box->setAccessibleDescription(
            QStringLiteral("Day/month/year, for example 12/5/2027; empty for none"));
        label->setBuddy(box);
        place(box, left, ListControls::kPlanTop, 1560, ListControls::kPlanHeight);
        return box;
    };
    const auto pickButton = [this](const char* name, QLabel* label, int left) {
        QPushButton* button =
            WindowStyle::addButton(this, name, QStringLiteral("Pick"), left, ListControls::kPlanTop,
                                   780, ListControls::kPlanHeight);
        button->setAccessibleName(QStringLiteral("Pick ") + label->text());
        return button;
    };
    lblOutDate = caption("lblOutDate", QStringLiteral("Out Date"), 120, 2400);
    txtOutDate = dateBox("txtOutDate", lblOutDate, 120);
    cmdOutDate = pickButton("cmdOutDate", lblOutDate, 1740);
    lblReturnDate = caption("lblReturnDate", QStringLiteral("Return Date"), 2640, 2400);
    txtReturnDate = dateBox("txtReturnDate", lblReturnDate, 2640);
    cmdReturnDate = pickButton("cmdReturnDate", lblReturnDate, 4260);
    connect(cmdOutDate, &QPushButton::clicked, this, &frmListAddEdit::cmdOutDate_Click);
    connect(cmdReturnDate, &QPushButton::clicked, this, &frmListAddEdit::cmdReturnDate_Click);

    lblState = caption("lblState", QStringLiteral("State"), 5160, 2055);
    cboState = new QComboBox(this);
    cboState->setObjectName(QStringLiteral("cboState"));
    for (const ListState state : Bookings::kStates)
        cboState->addItem(Bookings::stateName(state), static_cast<int>(state));
    cboState->setAccessibleName(lblState->text());
    lblState->setBuddy(cboState);
    place(cboState, 5160, ListControls::kPlanTop, 2055, ListControls::kPlanHeight);
}

void frmListAddEdit::Form_Load() {
    loadRecord();
    txtName->setFocus();
}

bool frmListAddEdit::loadStored(qint64 id) {
    currentItem = id;
    if (!showStoredList(id))
        return false;
    // The plan is read once: the reload after an add or delete keeps what is typed.
    const auto plan = ctx_.lists().plan(id);
    if (!plan)
        return false;  // the store has told the user
    showPlan(*plan);
    return true;
}

bool frmListAddEdit::showStoredList(qint64 id) {
    const auto rows = ctx_.lists().withId(id);
    if (!rows)
        return false;  // the store has told the user
    if (rows->isEmpty()) {
        tellGone(id);
        cmdAdd->setEnabled(false);
        return false;
    }
    loadedName_ = rows->first().name;
    txtName->setText(loadedName_);
    cmdAdd->setEnabled(true);
    if (auto lines = ctx_.lists().lines(id))
        List1->setRows(std::move(*lines));
    controls_.showMarks(ctx_, id);
    return true;
}

void frmListAddEdit::showPlan(const ListPlan& plan) {
    loadedPlan_ = plan;
    txtOutDate->setText(dateBoxText(plan.out));
    txtReturnDate->setText(dateBoxText(plan.ret));
    cboState->setCurrentIndex(cboState->findData(static_cast<int>(plan.state)));
}

void frmListAddEdit::RefreshList() {
    List1->setRows({});
    showStoredList(currentItem);
}

void frmListAddEdit::Timer1_Timer() {
    Timer1->stop();
    RefreshList();
}

void frmListAddEdit::List1_Click() {
    const std::optional<QString> line = List1->selectedText();
    if (!line)
        return;
    selectedItem_ = TextRules::IdFromListLine(*line);
    ctx_.fields().ItemToOpen = selectedItem_;
    cmdDel->setEnabled(true);
}

void frmListAddEdit::List1_DblClick() {
    frmItemView::showItemOfLine(ctx_, this, List1->selectedText());
}

void frmListAddEdit::cmdAdd_Click() {
    frmItemPicker picker(ctx_, this);
    picker.exec();
    // Closed without a choice, the picker writes nothing; the reload comes all the same.
    const bool picked = SharedFields::idOf(ctx_.fields().ItemToPick) != 0;
    if (picked && !addPickedItem())
        return;  // a list that is gone has nothing to reload
    Timer1->start();
}

// An item that needs a test goes out only when the user says so.
bool frmListAddEdit::mayGoOut(qint64 itemId) {
    const std::optional<TestsDue::Due> due = ctx_.tests().itemDue(itemId, ctx_.testWindow());
    const QString question = due ? TestsDue::goingOutQuestion(itemId, *due) : QString();
    return question.isEmpty() ||
           ctx_.dialogs().askYesNoDefaultNo(this, question, Dialogs::Icon::Warning);
}

// An item another list books over the same days goes on only when the user says so.
AddLineResult frmListAddEdit::addLine(qint64 itemId, const QString& itemDesc) {
    QList<Booking> bookings;
    const AddLineResult result =
        ctx_.lists().addLine(currentItem, itemId, itemDesc, false, &bookings);
    if (result != AddLineResult::Booked)
        return result;
    const QString question = Bookings::addAnywayQuestion(itemId, itemDesc, bookings);
    if (!ctx_.dialogs().askYesNoDefaultNo(this, question, Dialogs::Icon::Warning))
        return AddLineResult::Booked;
    return ctx_.lists().addLine(currentItem, itemId, itemDesc, true);
}

// False when the list is gone.
bool frmListAddEdit::addPickedItem() {
    const SharedFields& fields = ctx_.fields();
    const qint64 itemId = SharedFields::idOf(fields.ItemToPick);
    if (!mayGoOut(itemId))
        return true;
    switch (addLine(itemId, fields.ItemToPickDesc.toString())) {
        case AddLineResult::Added:
        case AddLineResult::Failed:  // the store has told the user
        case AddLineResult::Booked:  // the user said No
            return true;
        case AddLineResult::AlreadyOnList:
            ctx_.dialogs().inform(this,
                                  QStringLiteral("This item already exists in this Picking List"),
                                  Dialogs::Icon::Information);
            return true;
        case AddLineResult::ListGone:
            tellGone(currentItem);
            cmdAdd->setEnabled(false);
            return false;
    }
    return true;
}

void frmListAddEdit::cmdDel_Click() {
    const qint64 item = selectedItem_;
    const QString question =
        QStringLiteral("Are you sure you wish to remove this item? (ID: %1)").arg(item);
    if (!ctx_.dialogs().askYesNoDefaultNo(this, question, Dialogs::Icon::Critical))
        return;
    // A failed removal changed nothing (the store has told the user).
    ctx_.lists().removeLine(currentItem, item);
    Timer1->start();
}

// The plan is read first: a date that cannot be read stores nothing. A
// stored list's plan goes before its name, so that No to its clashes stores
// nothing either; a new list's goes once the list is stored.
void frmListAddEdit::cmdSave_Click() {
    const std::optional<ListPlan> plan = typedPlan();
    if (!plan || (!newItem && !savePlan(currentItem, *plan)))
        return;
    typedPlan_ = *plan;
    saveAndClose();
}

std::optional<ListPlan> frmListAddEdit::typedPlan() {
    ListPlan plan;
    const std::pair<QLineEdit*, std::optional<QDate>*> boxes[] = {{txtOutDate, &plan.out},
                                                                  {txtReturnDate, &plan.ret}};
    for (const auto& [box, date] : boxes) {
        const BoxDate read = boxDate(box);
        if (!read.readable) {
            ctx_.dialogs().inform(this,
                                  QStringLiteral("The %1 \"%2\" cannot be read. Type it as "
                                                 "day/month/year, for example 12/5/2027, or "
                                                 "leave it empty.")
                                      .arg(box->accessibleName().toLower(), box->text().trimmed()),
                                  Dialogs::Icon::Warning);
            box->setFocus();
            return std::nullopt;
        }
        *date = read.date;
    }
    plan.state = static_cast<ListState>(cboState->currentData().toInt());
    if (const QString problem = Bookings::planProblem(plan); !problem.isEmpty()) {
        ctx_.dialogs().inform(this, problem, Dialogs::Icon::Warning);
        txtReturnDate->setFocus();
        return std::nullopt;
    }
    return plan;
}

bool frmListAddEdit::savePlan(qint64 listId, const ListPlan& plan) {
    if (plan == loadedPlan_)
        return true;  // a plan left as loaded keeps the one saved elsewhere meanwhile
    QList<Clash> clashes;
    SetPlanResult result = ctx_.lists().setPlan(listId, plan, false, &clashes);
    if (result == SetPlanResult::Clashes) {
        if (!ctx_.dialogs().askYesNoDefaultNo(this, Bookings::clashesQuestion(clashes),
                                              Dialogs::Icon::Warning))
            return false;
        result = ctx_.lists().setPlan(listId, plan, true);
    }
    switch (result) {
        case SetPlanResult::Saved:
            loadedPlan_ = plan;
            return true;
        case SetPlanResult::Invalid:
            ctx_.dialogs().inform(this, Bookings::planProblem(plan), Dialogs::Icon::Warning);
            return false;
        case SetPlanResult::ListGone:
            tellGone(listId);
            return false;
        case SetPlanResult::Clashes:  // accepted, so not given again
        case SetPlanResult::Failed:   // the store has told the user
            return false;
    }
    return false;
}

std::optional<qint64> frmListAddEdit::insertRecord() {
    const auto id = ctx_.lists().insert(txtName->text());
    if (!id || savePlan(*id, typedPlan_))
        return id;
    // The list is stored without its plan: the window goes on as its
    // editor, so that Save stores the plan and nothing is stored twice.
    newItem = false;
    currentItem = *id;
    loadedName_ = txtName->text();
    cmdAdd->setEnabled(true);
    return std::nullopt;
}

SaveResult frmListAddEdit::writeChanges(bool overwrite) {
    const QString name = txtName->text();
    const SaveResult result = ctx_.lists().update(currentItem, name, loadedName_, overwrite);
    // A name left as loaded keeps the one given elsewhere: nothing to ask.
    if (result == SaveResult::ChangedElsewhere && name == loadedName_)
        return SaveResult::Saved;
    return result;
}

void frmListAddEdit::cmdPrint_Click() {
    // What the window shows is printed, the dates as typed.
    const std::optional<ListPlan> plan = typedPlan();
    if (!plan)
        return;
    const QString planLine = Bookings::hasPlan(*plan) ? Bookings::planText(*plan) : QString();
    ctx_.printing().PrintPickingList(txtName->text(), List1->lines(), planLine);
}

void frmListAddEdit::cmdOutDate_Click() {
    pickDate(txtOutDate);
}

void frmListAddEdit::cmdReturnDate_Click() {
    pickDate(txtReturnDate);
}

void frmListAddEdit::pickDate(QLineEdit* box) {
    frmDatePicker picker(ctx_, this);
    if (const BoxDate typed = boxDate(box); typed.date)
        picker.MonthView1->setSelectedDate(*typed.date);
    // Closed without a choice, the box keeps its date.
    if (picker.exec() == QDialog::Accepted)
        box->setText(ctx_.fields().DateToPick.toString());
    box->setFocus();
}

void frmListAddEdit::cmdClose_Click() {
    reject();
}
