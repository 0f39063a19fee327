#include "scan/frmScan.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include "common/Clock.h"
#include "common/Dialogs.h"
#include "common/WindowStyle.h"
#include "data/ItemStore.h"
#include "data/ListStore.h"
#include "data/LocationStore.h"
#include "data/ScanStore.h"
#include "data/TestRecordStore.h"
#include "data/transfer/CsvWriter.h"
#include "printing/PrintService.h"

using ScanRules::Kind;
using WindowStyle::place;

namespace {

QLabel* addCaption(QWidget* parent, const QString& text, QWidget* buddy, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    place(label, left, top, 2400, 300);
    return label;
}

// Shows the whole text, wrapped, when it fits the label; otherwise as much
// of it as fits, ended by "…".
void showFitted(QLabel* label, const QString& text) {
    const QRect room = label->contentsRect();
    const auto fits = [&](const QString& shown) {
        const QRect needed = label->fontMetrics().boundingRect(
            QRect(0, 0, room.width(), QWIDGETSIZE_MAX), Qt::TextWordWrap, shown);
        return needed.width() <= room.width() && needed.height() <= room.height();
    };
    if (fits(text)) {
        label->setText(text);
        return;
    }
    const auto cut = [&](qsizetype length) { return text.left(length).trimmed() + u'\u2026'; };
    qsizetype shortest = 0, longest = text.size();  // cut(shortest) fits, cut(longest) does not
    while (longest - shortest > 1) {
        const qsizetype middle = (shortest + longest) / 2;
        (fits(cut(middle)) ? shortest : longest) = middle;
    }
    label->setText(cut(shortest));
}

QString sessionText(const ScanRules::Session& s) {
    const QString what =
        s.kind == Kind::Stocktake ? s.location : QStringLiteral("list %1").arg(s.listId);
    return QStringLiteral("%1 of %2").arg(ScanRules::kindWord(s.kind), what);
}

}  // namespace

frmScan::frmScan(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmScan"));
    WindowStyle::setUpWindow(this, QStringLiteral("Scan"), 9600, 8580);
    buildControls();
    Form_Load();
}

void frmScan::buildControls() {
    cboKind = new QComboBox(this);
    cboKind->setObjectName(QStringLiteral("cboKind"));
    cboKind->setAccessibleName(QStringLiteral("Session"));
    for (Kind k : {Kind::Stocktake, Kind::Pack, Kind::CheckIn})
        cboKind->addItem(ScanRules::kindWord(k), static_cast<int>(k));
    addCaption(this, QStringLiteral("&Session"), cboKind, 120, 120);
    place(cboKind, 120, 420, 2400, 405);

    cboWhere = new QComboBox(this);
    cboWhere->setObjectName(QStringLiteral("cboWhere"));
    cboWhere->setEditable(true);
    cboWhere->setAccessibleName(QStringLiteral("Location or list"));
    cboWhere->lineEdit()->setAccessibleName(QStringLiteral("Location or list"));
    addCaption(this, QStringLiteral("&Location or list"), cboWhere, 2640, 120);
    place(cboWhere, 2640, 420, 4200, 405);
    cmdStart =
        WindowStyle::addButton(this, "cmdStart", QStringLiteral("Start"), 6960, 420, 1200, 405);

    txtScan = new QLineEdit(this);
    txtScan->setObjectName(QStringLiteral("txtScan"));
    txtScan->setAccessibleName(QStringLiteral("Scan box"));
    txtScan->setFont(WindowStyle::tahoma(15.75));
    addCaption(this, QStringLiteral("S&can"), txtScan, 120, 960);
    place(txtScan, 120, 1260, 5400, 555);

    lblAnswer = new QLabel(this);
    lblAnswer->setObjectName(QStringLiteral("lblAnswer"));
    lblAnswer->setFont(WindowStyle::tahoma(15.75, true));
    lblAnswer->setAccessibleName(QStringLiteral("Answer"));
    lblAnswer->setTextFormat(Qt::PlainText);  // a scanned code is shown as it came
    lblAnswer->setWordWrap(true);
    lblAnswer->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    place(lblAnswer, 5640, 960, 3840, 900);

    lstScans = new QListWidget(this);
    lstScans->setObjectName(QStringLiteral("lstScans"));
    lstScans->setAccessibleName(QStringLiteral("Scans"));
    place(lstScans, 120, 1920, 4560, 5160);
    txtSummary = new QPlainTextEdit(this);
    txtSummary->setObjectName(QStringLiteral("txtSummary"));
    txtSummary->setReadOnly(true);
    txtSummary->setAccessibleName(QStringLiteral("Summary"));
    place(txtSummary, 4800, 1920, 4680, 5160);

    cmdLoad = WindowStyle::addButton(this, "cmdLoad", QStringLiteral("Load scans from file"), 120,
                                     7200, 2400, 615);
    cmdFinish =
        WindowStyle::addButton(this, "cmdFinish", QStringLiteral("Finish"), 2640, 7200, 1200, 615);
    cmdMove =
        WindowStyle::addButton(this, "cmdMove", QStringLiteral("Move"), 3960, 7200, 2400, 615);
    cmdExport =
        WindowStyle::addButton(this, "cmdExport", QStringLiteral("Export"), 6480, 7200, 1200, 615);
    cmdClose =
        WindowStyle::addButton(this, "cmdClose", QStringLiteral("Close"), 8280, 7200, 1200, 615);
    cmdAdd =
        WindowStyle::addButton(this, "cmdAdd", QStringLiteral("Add to List"), 120, 7860, 2400, 615);
    cmdAdd->setAccessibleDescription(QStringLiteral("Adds the item last scanned to the list"));
    cmdPrint =
        WindowStyle::addButton(this, "cmdPrint", QStringLiteral("Print"), 2640, 7860, 1200, 615);
    cmdPrint->setAccessibleDescription(QStringLiteral("Prints the summary on the list printer"));
    WindowStyle::makeCancelButton(this, cmdClose);
    WindowStyle::setTabOrder({cboKind, cboWhere, cmdStart, txtScan, lstScans, txtSummary, cmdLoad,
                              cmdFinish, cmdMove, cmdExport, cmdClose, cmdAdd, cmdPrint});

    connect(cboKind, &QComboBox::currentIndexChanged, this, &frmScan::cboKind_Change);
    connect(cmdStart, &QPushButton::clicked, this, &frmScan::cmdStart_Click);
    // A list's label scanned into the choice ("L3" and Enter) starts at once.
    connect(cboWhere->lineEdit(), &QLineEdit::returnPressed, this, &frmScan::cmdStart_Click);
    connect(txtScan, &QLineEdit::returnPressed, this, &frmScan::txtScan_Enter);
    connect(cmdLoad, &QPushButton::clicked, this, &frmScan::cmdLoad_Click);
    connect(cmdFinish, &QPushButton::clicked, this, &frmScan::cmdFinish_Click);
    connect(cmdMove, &QPushButton::clicked, this, &frmScan::cmdMove_Click);
    connect(cmdExport, &QPushButton::clicked, this, &frmScan::cmdExport_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdAdd, &QPushButton::clicked, this, &frmScan::cmdAdd_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &frmScan::cmdPrint_Click);
    // Enter in the scan box is a scan, never a default button.
    for (QPushButton* b : findChildren<QPushButton*>())
        b->setAutoDefault(false);
    for (QWidget* w : {static_cast<QWidget*>(txtScan), static_cast<QWidget*>(cmdLoad),
                       static_cast<QWidget*>(cmdFinish), static_cast<QWidget*>(cmdMove),
                       static_cast<QWidget*>(cmdExport), static_cast<QWidget*>(cmdAdd),
                       static_cast<QWidget*>(cmdPrint)})
        w->setEnabled(false);
}

void frmScan::Form_Load() {
    cboKind_Change();
    if (!offerOpenSessions())
        cboWhere->setFocus();
}

void frmScan::cboKind_Change() {
    cboWhere->clear();
    if (static_cast<Kind>(cboKind->currentData().toInt()) != Kind::Stocktake)
        return;  // a list by number or name, typed or scanned ("L3")
    if (const auto locations = ctx_.locations().all()) {
        for (std::size_t i = 0; i < locations->size(); ++i)
            cboWhere->addItem(QString::fromUtf8(locations->texts.view(i)));
    }
}

bool frmScan::offerOpenSessions() {
    const auto open = ctx_.scans().unfinishedSessions();
    for (const ScanRules::Session& s : open.value_or(QList<ScanRules::Session>{})) {
        const QString question =
            QStringLiteral(
                "The %1, started %2 by %3, was not finished. Continue it? (No closes it.)")
                .arg(sessionText(s), s.started.toString(QStringLiteral("d/M/yyyy hh:mm")),
                     s.user.isEmpty() ? QStringLiteral("an unknown user") : s.user);
        if (ctx_.dialogs().askYesNo(this, question, Dialogs::Icon::Question)) {
            begin(s);
            return true;
        }
        ctx_.scans().finishSession(s.id, ctx_.clock().now());
    }
    return false;
}

std::optional<ScanRules::Session> frmScan::chosenSession() {
    ScanRules::Session s;
    s.kind = static_cast<Kind>(cboKind->currentData().toInt());
    const QString where = cboWhere->currentText().trimmed();
    if (s.kind == Kind::Stocktake) {
        // One of the locations list's names, as the list spells it.
        const int known = cboWhere->findText(where, Qt::MatchFixedString);
        if (known < 0)
            return std::nullopt;
        s.location = cboWhere->itemText(known);
        return s;
    }
    // "3" and a scanned "L3" name list 3; anything else is a list's name.
    const ScanRules::Code code = ScanRules::parse(where);
    if (code.type == ScanRules::Code::Type::List || code.type == ScanRules::Code::Type::Item)
        s.listId = ctx_.lists().exists(code.id).value_or(false) ? code.id : 0;
    else
        s.listId = ctx_.lists().named(where).value_or(0);
    return s.listId > 0 ? std::optional(s) : std::nullopt;
}

void frmScan::cmdStart_Click() {
    auto s = chosenSession();
    if (!s) {
        ctx_.dialogs().inform(this, QStringLiteral("Choose a location from the list, or a list by "
                                                   "number or name."));
        return;
    }
    s->started = ctx_.clock().now();
    s->user = ctx_.userName();
    const auto id = ctx_.scans().startSession(*s);
    if (!id)
        return;
    s->id = *id;
    begin(*s);
}

void frmScan::begin(const ScanRules::Session& session) {
    session_ = session;
    setWindowTitle(QStringLiteral("Scan - %1").arg(sessionText(session)));
    for (QWidget* w : {static_cast<QWidget*>(cboKind), static_cast<QWidget*>(cboWhere),
                       static_cast<QWidget*>(cmdStart)})
        w->setEnabled(false);
    for (QWidget* w : {static_cast<QWidget*>(txtScan), static_cast<QWidget*>(cmdLoad),
                       static_cast<QWidget*>(cmdFinish)})
        w->setEnabled(true);
    lstScans->clear();
    refused_.clear();
    lastRecord_ = 0;
    showNewScans();
    txtScan->setFocus();
}

// The scans stored since the list was last brought up to date, this desk's
// and any other desk's scanning into the same session; packing and checking
// in also show what is not packed or still out, as it stands.
void frmScan::showNewScans() {
    const auto records = ctx_.scans().records(session_->id, lastRecord_);
    for (const ScanRules::Record& r : records.value_or(QList<ScanRules::Record>{})) {
        lstScans->addItem(QStringLiteral("%1 - %2").arg(r.code().text(), r.answer));
        lastRecord_ = r.id;
    }
    lstScans->scrollToBottom();
    if (session_->kind == Kind::Stocktake)
        return;
    const auto all = ctx_.scans().records(session_->id);
    const auto expected = ctx_.scans().expected(*session_);
    if (all && expected)
        txtSummary->setPlainText(ScanRules::summaryText(
            session_->kind, ScanRules::summarise(session_->kind, *all, *expected, refused_)));
}

void frmScan::txtScan_Enter() {
    const QString scanned = txtScan->text();
    txtScan->clear();
    if (!scanned.trimmed().isEmpty())
        handleScan(scanned);
}

void frmScan::handleScan(const QString& scanned) {
    if (session_)
        scan(scanned, ScanRules::parse(scanned));
}

void frmScan::scan(const QString& scanned, const ScanRules::Code& code) {
    using ScanRules::Verdict;
    auto answer = ctx_.scans().record(*session_, code, ctx_.clock().now(), ctx_.testWindow());
    if (!answer)
        return;  // the store told the user
    if (answer->verdict == Verdict::ItemOrCase) {
        if (const auto chosen = askItemOrCase(code.id)) {
            scan(scanned, *chosen);
            return;
        }
    }
    const QString line = ScanRules::answerLine(scanned, code, *answer);
    if (answer->verdict == Verdict::Refused || answer->verdict == Verdict::ItemOrCase)
        refused_ << line;
    // Packing: an item not on the list may be added to it.
    addable_ = session_->kind == Kind::Pack && code.type == ScanRules::Code::Type::Item &&
                       answer->verdict == Verdict::NotOnList
                   ? code.id
                   : 0;
    cmdAdd->setEnabled(addable_ != 0);
    showNewScans();
    announce(line, answer->problem());
}

std::optional<ScanRules::Code> frmScan::askItemOrCase(qint64 id) {
    const QString question =
        QStringLiteral(
            "%1 may be the label of item %1 or of flight case F%1. Which was scanned? "
            "(Cancel: neither is counted.)")
            .arg(id);
    const int chosen = ctx_.dialogs().choose(
        this, question,
        {QStringLiteral("&Item %1").arg(id), QStringLiteral("Flight &Case F%1").arg(id)});
    txtScan->setFocus();
    if (chosen < 0)
        return std::nullopt;
    return ScanRules::Code{chosen == 0 ? ScanRules::Code::Type::Item : ScanRules::Code::Type::Case,
                           id};
}

void frmScan::announce(const QString& line, bool problem) {
    showFitted(lblAnswer, line);
    lblAnswer->setToolTip(line);
    lblAnswer->setAccessibleName(QStringLiteral("Answer: %1").arg(line));
    txtScan->setAccessibleDescription(line);
    QAccessibleEvent nameChanged(lblAnswer, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&nameChanged);
    QAccessibleEvent alert(lblAnswer,
                           problem ? QAccessible::Alert : QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&alert);
    if (problem)
        QApplication::beep();
}

void frmScan::cmdLoad_Click() {
    const QString path = ctx_.dialogs().openFileName(this, QString());
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        ctx_.dialogs().inform(this, QStringLiteral("%1 cannot be read.").arg(path),
                              Dialogs::Icon::Warning);
        return;
    }
    for (const QString& code : ScanRules::codesInFile(QString::fromUtf8(file.readAll())))
        handleScan(code);
}

void frmScan::cmdFinish_Click() {
    if (!session_ || !ctx_.scans().finishSession(session_->id, ctx_.clock().now()))
        return;
    addable_ = 0;
    cmdAdd->setEnabled(false);
    txtScan->setEnabled(false);
    cmdLoad->setEnabled(false);
    cmdFinish->setEnabled(false);
    showSummary();
}

void frmScan::showSummary() {
    const auto records = ctx_.scans().records(session_->id);
    const auto expected = ctx_.scans().expected(*session_);
    if (!records || !expected)
        return;
    summary_ = ScanRules::summarise(session_->kind, *records, *expected, refused_);
    txtSummary->setPlainText(ScanRules::summaryText(session_->kind, summary_));
    cmdExport->setEnabled(true);
    cmdPrint->setEnabled(true);
    const bool movable = session_->kind == Kind::Stocktake && summary_.movable > 0;
    cmdMove->setEnabled(movable);
    if (movable) {
        cmdMove->setText(
            QStringLiteral("Move %1 items to %2").arg(summary_.movable).arg(session_->location));
        cmdMove->setAccessibleName(cmdMove->text());
    }
}

void frmScan::cmdMove_Click() {
    const QString question =
        QStringLiteral("Move %1 items to %2? Items in a case stay with their case.")
            .arg(summary_.movable)
            .arg(session_->location);
    if (!ctx_.dialogs().askYesNo(this, question, Dialogs::Icon::Question))
        return;
    if (!ctx_.scans().moveMisplaced(session_->id, session_->location))
        return;
    cmdMove->setEnabled(false);
    announce(QStringLiteral("Moved to %1").arg(session_->location), false);
}

void frmScan::cmdExport_Click() {
    const QString path = ctx_.dialogs().saveFileName(this, QStringLiteral("scans.csv"),
                                                     QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    CsvWriter csv(path);
    if (csv.open()) {
        csv.record({QStringLiteral("code"), QStringLiteral("scanned"), QStringLiteral("answer")});
        for (const ScanRules::Record& r :
             ctx_.scans().records(session_->id).value_or(QList<ScanRules::Record>{}))
            csv.record({r.code().text(), r.scanned.toString(Qt::ISODate), r.answer});
        for (const ScanRules::Expected& e : summary_.missing)
            csv.record({e.code.text(), QString(), ScanRules::missingWord(session_->kind)});
    }
    if (!csv.commit())
        ctx_.dialogs().inform(this, csv.error(), Dialogs::Icon::Warning);
}

// Asks as the list editor does (an item that needs a test first is warned
// of), adds the line, and packs the item at once.
void frmScan::cmdAdd_Click() {
    const qint64 itemId = addable_;
    const auto due = ctx_.tests().itemDue(itemId, ctx_.testWindow());
    const QString question = due ? TestsDue::goingOutQuestion(itemId, *due) : QString();
    if (!question.isEmpty() &&
        !ctx_.dialogs().askYesNoDefaultNo(this, question, Dialogs::Icon::Warning))
        return;
    const auto items = ctx_.items().withId(itemId);
    if (!items || items->isEmpty())
        return;
    const QString desc = items->first()[ItemColumn::Desc];
    QList<Booking> booked;
    AddLineResult added = ctx_.lists().addLine(session_->listId, itemId, desc, false, &booked);
    // Booked elsewhere over the list's days: asked as the list editor asks.
    if (added == AddLineResult::Booked &&
        ctx_.dialogs().askYesNoDefaultNo(this, Bookings::addAnywayQuestion(itemId, desc, booked),
                                         Dialogs::Icon::Warning))
        added = ctx_.lists().addLine(session_->listId, itemId, desc, true);
    if (added != AddLineResult::Added)
        return;  // the store has told the user, another desk added it, or the user said No
    scan(QString::number(itemId), ScanRules::Code{ScanRules::Code::Type::Item, itemId});
    txtScan->setFocus();
}

void frmScan::cmdPrint_Click() {
    ctx_.printing().PrintPickingList(
        sessionText(*session_),
        ScanRules::summaryText(session_->kind, summary_).split(QLatin1Char('\n')));
}
