#include "items/frmTestsDue.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <map>
#include <unordered_map>

#include "base/Progress.h"
#include "common/Clock.h"
#include "common/Dialogs.h"
#include "common/RecordList.h"
#include "common/WindowStyle.h"
#include "data/CaseStore.h"
#include "data/TestRecordStore.h"
#include "data/rules/TextRules.h"
#include "items/frmItemView.h"
#include "items/frmRecordTest.h"

using TestsDue::Status;
using WindowStyle::place;

namespace {

constexpr int kAll = -1;
constexpr int kNoCase = 0;

constexpr std::string_view kSeparator = " \u00b7 ";

// An empty field is named, as "no date" and "no case" are, so no line
// shows two separators with nothing between them.
void appendField(std::string& out, std::string_view field, std::string_view whenEmpty) {
    const bool blank = field.find_first_not_of(" \t") == std::string_view::npos;
    out.append(blank ? whenEmpty : field);
}

// "12 - Cable · Overdue · due 17/1/2009 · -5 days · Lighting · Bay 3 · F2"
void appendLine(std::string& out, const DueList& due, std::size_t i, TestsDue::Day today) {
    appendField(out, due.descs.view(i), "no description");
    out += kSeparator;
    out += TestsDue::statusNameUtf8(due.status[i]);
    out += kSeparator;
    if (due.dueDay[i] == DueList::kNoDay) {
        out += "no date";
    } else {
        out += "due ";
        TestsDue::appendDateText(out, due.dueDay[i]);
        out += kSeparator;
        const std::int64_t days = due.dueDay[i] - today;
        out += std::to_string(days);
        out += days == 1 || days == -1 ? " day" : " days";
    }
    out += kSeparator;
    appendField(out, due.categories.view(i), "no category");
    out += kSeparator;
    appendField(out, due.locations.view(i), "no location");
    out += kSeparator;
    if (due.caseIds[i] == 0) {
        out += "no case";
    } else {
        out += 'F';
        out += std::to_string(due.caseIds[i]);
    }
}

QString caseEntry(qint64 id, const QString& name, Status worst) {
    return QStringLiteral("F%1 - %2 (%3)").arg(id).arg(name, TestsDue::statusName(worst));
}

// Picks the entry with that data again, else the first one.
void selectData(QComboBox* box, const QVariant& data) {
    const int at = box->findData(data);
    box->setCurrentIndex(at < 0 ? 0 : at);
}

}  // namespace

frmTestsDue::frmTestsDue(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmTestsDue"));
    WindowStyle::setUpWindow(this, QStringLiteral("Tests Due"), 13200, 9000);
    buildControls();
    Form_Load();
}

QComboBox* frmTestsDue::addFilter(const char* name, const QString& caption, int left, int width) {
    auto* box = new QComboBox(this);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(caption);
    place(box, left, 720, width, 405);
    return box;
}

void frmTestsDue::buildControls() {
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(WindowStyle::tahoma(12, true));
    place(Label1, 120, 120, 12960, 495);

    cboStatus = addFilter("cboStatus", QStringLiteral("Status"), 120, 2400);
    cboLocation = addFilter("cboLocation", QStringLiteral("Location"), 2640, 3000);
    cboCase = addFilter("cboCase", QStringLiteral("Case"), 5760, 3960);
    cboStatus->addItem(QStringLiteral("All statuses"), kAll);
    // In date only with "due by", for items due by then.
    for (int s = TestsDue::kStatusCount - 1; s >= static_cast<int>(Status::InDate); --s)
        cboStatus->addItem(TestsDue::statusName(static_cast<Status>(s)), s);

    chkDueBy = new QCheckBox(QStringLiteral("Due by"), this);
    chkDueBy->setObjectName(QStringLiteral("chkDueBy"));
    place(chkDueBy, 9840, 720, 1200, 405);
    dtpDueBy = new QDateEdit(this);
    dtpDueBy->setObjectName(QStringLiteral("dtpDueBy"));
    dtpDueBy->setAccessibleName(QStringLiteral("Due by date"));
    dtpDueBy->setDisplayFormat(QStringLiteral("d/M/yyyy"));
    dtpDueBy->setCalendarPopup(true);
    place(dtpDueBy, 11040, 720, 2040, 405);
    for (QComboBox* box : {cboStatus, cboLocation, cboCase})
        connect(box, &QComboBox::currentIndexChanged, this, &frmTestsDue::Filter_Change);
    // "Due by" may reach beyond the items not in date: the items are read again.
    connect(chkDueBy, &QCheckBox::toggled, this, &frmTestsDue::RefreshList);
    connect(dtpDueBy, &QDateEdit::dateChanged, this, &frmTestsDue::RefreshList);

    List1 = new RecordList(RecordList::Lines::IdAndText, QStringLiteral("Items to test"), this);
    List1->setObjectName(QStringLiteral("List1"));
    connect(List1, &RecordList::lineDoubleClicked, this, &frmTestsDue::List1_DblClick);
    place(List1, 120, 1245, 12960, 6480);

    cmdRecordTest = WindowStyle::addButton(this, "cmdRecordTest", QStringLiteral("Record Test"),
                                           120, 7860, 1800, 975);
    cmdPrint = WindowStyle::addButton(this, "cmdPrint", QStringLiteral("Print Worksheet"), 2040,
                                      7860, 2160, 975);
    cmdPdf = WindowStyle::addButton(this, "cmdPdf", QStringLiteral("Worksheet to PDF"), 4320, 7860,
                                    2160, 975);
    cmdExport =
        WindowStyle::addButton(this, "cmdExport", QStringLiteral("Export"), 6600, 7860, 1095, 975);
    cmdExport->setAccessibleDescription(QStringLiteral("Write the lines shown to a CSV file"));
    cmdClose =
        WindowStyle::addButton(this, "cmdClose", QStringLiteral("Close"), 11985, 7860, 1095, 975);
    connect(cmdPrint, &QPushButton::clicked, this, &frmTestsDue::cmdPrint_Click);
    connect(cmdPdf, &QPushButton::clicked, this, &frmTestsDue::cmdPdf_Click);
    connect(cmdExport, &QPushButton::clicked, this, &frmTestsDue::cmdExport_Click);
    connect(cmdRecordTest, &QPushButton::clicked, this, &frmTestsDue::cmdRecordTest_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmTestsDue::cmdClose_Click);
    WindowStyle::makeCancelButton(this, cmdClose);
    WindowStyle::setTabOrder({List1, cboStatus, cboLocation, cboCase, chkDueBy, dtpDueBy,
                              cmdRecordTest, cmdPrint, cmdPdf, cmdExport, cmdClose});
}

void frmTestsDue::Form_Load() {
    window_ = ctx_.testWindow();
    {
        const QSignalBlocker blocker(dtpDueBy);
        dtpDueBy->setDate(window_.today.addDays(window_.soonDays));
    }
    RefreshList();
    List1->setFocus();
}

void frmTestsDue::RefreshList() {
    window_.today = ctx_.clock().today();
    std::optional<DueList> due = ctx_.tests().due(window_, currentFilter().dueBy);
    // On a failed read the store has told the user; the list is empty.
    due_ = due ? std::move(*due) : DueList{};
    dueOfRow_ = due_.mostUrgentFirst();

    // A line's text is made when it is painted: a million items open at once.
    std::vector<std::int64_t> ids;
    ids.reserve(due_.size());
    for (const std::int32_t i : dueOfRow_)
        ids.push_back(due_.ids[static_cast<std::size_t>(i)]);
    List1->setRows(std::move(ids), [this, today = TestsDue::dayOf(window_.today)](std::size_t row) {
        std::string line;
        appendLine(line, due_, static_cast<std::size_t>(dueOfRow_[row]), today);
        return textFromUtf8(line);
    });
    fillFilters();
    Filter_Change();
}

// The locations and cases of the items listed, each once; a case with
// the worst status of its items listed here.
void frmTestsDue::fillFilters() {
    std::unordered_map<std::string_view, std::int32_t> indexOf;
    locationOfDue_.assign(due_.size(), 0);
    std::vector<std::string_view> names;
    for (std::size_t i = 0; i < due_.size(); ++i) {
        const auto [at, added] =
            indexOf.try_emplace(due_.locations.view(i), static_cast<std::int32_t>(names.size()));
        if (added)
            names.push_back(at->first);
        locationOfDue_[i] = at->second;
    }
    locations_.clear();
    for (const std::string_view name : names)
        locations_ << textFromUtf8(name);
    // Each location's place in alphabetical order, so that lines sort by numbers.
    std::vector<std::int32_t> byName(names.size());
    for (std::size_t n = 0; n < byName.size(); ++n)
        byName[n] = static_cast<std::int32_t>(n);
    std::sort(byName.begin(), byName.end(), [this](std::int32_t a, std::int32_t b) {
        return locations_[a].compare(locations_[b], Qt::CaseInsensitive) < 0;
    });
    // Names that differ in letter case only share their place.
    locationRank_.assign(names.size(), 0);
    for (std::size_t r = 1; r < byName.size(); ++r) {
        const bool same =
            locations_[byName[r]].compare(locations_[byName[r - 1]], Qt::CaseInsensitive) == 0;
        locationRank_[static_cast<std::size_t>(byName[r])] =
            locationRank_[static_cast<std::size_t>(byName[r - 1])] + (same ? 0 : 1);
    }

    std::map<qint64, Status> worstOfCase;
    for (std::size_t i = 0; i < due_.size(); ++i) {
        if (due_.caseIds[i] == kNoCase)
            continue;
        Status& worst = worstOfCase.try_emplace(due_.caseIds[i], due_.status[i]).first->second;
        worst = std::max(worst, due_.status[i]);
    }
    QHash<qint64, QString> caseNames;
    if (!worstOfCase.empty()) {
        if (const auto cases = ctx_.cases().all()) {
            for (std::size_t c = 0; c < cases->size(); ++c)
                caseNames.insert(cases->ids[c], cases->texts.text(c));
        }
    }

    const QSignalBlocker locationBlocker(cboLocation);
    const QSignalBlocker caseBlocker(cboCase);
    const QVariant location = cboLocation->currentData();
    const QVariant flightCase = cboCase->currentData();
    cboLocation->clear();
    cboLocation->addItem(QStringLiteral("All locations"));
    for (const std::int32_t n : byName) {
        const QString& name = locations_[n];
        cboLocation->addItem(name.isEmpty() ? QStringLiteral("(no location)") : name, name);
    }
    cboCase->clear();
    cboCase->addItem(QStringLiteral("All cases"), kAll);
    cboCase->addItem(QStringLiteral("In no case"), kNoCase);
    for (const auto& [id, worst] : worstOfCase)
        cboCase->addItem(caseEntry(id, caseNames.value(id), worst), id);
    // What was chosen stays chosen while the register still has it.
    cboLocation->setCurrentIndex(location.isValid() ? std::max(0, cboLocation->findData(location))
                                                    : 0);
    selectData(cboCase, flightCase.isValid() ? flightCase : QVariant(kAll));
}

frmTestsDue::Filter frmTestsDue::currentFilter() const {
    Filter f;
    f.status = cboStatus->currentData().toInt();
    const QVariant location = cboLocation->currentData();
    f.location =
        location.isValid() ? static_cast<int>(locations_.indexOf(location.toString())) : kAll;
    f.flightCase = cboCase->currentData().toLongLong();
    f.dueBy = chkDueBy->isChecked()
                  ? std::optional<TestsDue::Day>(TestsDue::dayOf(dtpDueBy->date()))
                  : std::nullopt;
    return f;
}

bool frmTestsDue::passes(std::size_t i, const Filter& f) const {
    if (f.status != kAll && static_cast<int>(due_.status[i]) != f.status)
        return false;
    if (f.location != kAll && locationOfDue_[i] != f.location)
        return false;
    if (f.flightCase != kAll && due_.caseIds[i] != f.flightCase)
        return false;
    // Items with no date to go by are due whatever the date.
    return !f.dueBy || due_.dueDay[i] == DueList::kNoDay || due_.dueDay[i] <= *f.dueBy;
}

void frmTestsDue::Filter_Change() {
    const Filter filter = currentFilter();
    std::vector<std::int32_t> rows;
    rows.reserve(dueOfRow_.size());
    shownCounts_ = {};
    for (std::size_t row = 0; row < dueOfRow_.size(); ++row) {
        const auto i = static_cast<std::size_t>(dueOfRow_[row]);
        if (!passes(i, filter))
            continue;
        rows.push_back(static_cast<std::int32_t>(row));
        shownCounts_.add(due_.status[i]);
    }
    List1->showRows(std::move(rows));
    const QString counts = TestsDue::countsText(shownCounts_);
    const QString heading = chkDueBy->isChecked()
                                ? QStringLiteral("Tests due by %1: %2")
                                      .arg(TextRules::dateText(dtpDueBy->date()), counts)
                                : QStringLiteral("Tests due: %1").arg(counts);
    Label1->setText(heading);
    setWindowTitle(QStringLiteral("Tests Due - %1").arg(counts));
}

std::vector<std::int64_t> frmTestsDue::shownItems() const {
    std::vector<std::int64_t> ids;
    ids.reserve(static_cast<std::size_t>(List1->count()));
    for (int line = 0; line < List1->count(); ++line)
        ids.push_back(List1->records()->lineId(line));
    return ids;
}

std::optional<qint64> frmTestsDue::selectedItem() {
    const std::optional<std::int64_t> id = List1->selectedId();
    if (!id)
        ctx_.dialogs().inform(this, QStringLiteral("Select an item in the list first."));
    return id;
}

void frmTestsDue::List1_DblClick() {
    const std::optional<std::int64_t> id = List1->selectedId();
    if (!id)
        return;
    if (!AppContext::isWindowOpen(QStringLiteral("frmItemView"))) {
        ctx_.fields().ItemToOpen = QString::number(*id);
        frmItemView viewer(ctx_, this);
        viewer.exec();
    }
    // The viewer may have changed the item or recorded a test.
    RefreshList();
}

void frmTestsDue::cmdRecordTest_Click() {
    const std::optional<qint64> id = selectedItem();
    if (!id)
        return;
    frmRecordTest record(ctx_, *id, this);
    if (record.exec() == QDialog::Accepted)
        RefreshList();
}

Worksheet frmTestsDue::worksheet() const {
    std::vector<std::int32_t> entries = shownEntries();
    const auto rank = [this](std::int32_t i) {
        return locationRank_[static_cast<std::size_t>(locationOfDue_[static_cast<std::size_t>(i)])];
    };
    std::stable_sort(entries.begin(), entries.end(), [&](std::int32_t a, std::int32_t b) {
        if (rank(a) != rank(b))
            return rank(a) < rank(b);
        if (due_.caseIds[a] != due_.caseIds[b])
            return due_.caseIds[a] < due_.caseIds[b];
        return due_.ids[a] < due_.ids[b];
    });

    Worksheet sheet;
    const QDate cutOff =
        chkDueBy->isChecked() ? dtpDueBy->date() : window_.today.addDays(window_.soonDays);
    sheet.heading = QStringLiteral("Tests due by %1").arg(TextRules::dateText(cutOff));
    sheet.counts = TestsDue::countsText(shownCounts_);
    for (const std::int32_t entry : entries) {
        const auto i = static_cast<std::size_t>(entry);
        sheet.lines.append(
            {locations_[locationOfDue_[i]],
             due_.caseIds[i] == kNoCase ? QString() : QStringLiteral("F%1").arg(due_.caseIds[i]),
             QString::number(due_.ids[i]), due_.descs.text(i), TestsDue::statusName(due_.status[i]),
             due_.dueDay[i] == DueList::kNoDay ? QString() : TestsDue::dateText(due_.dueDay[i])});
    }
    return sheet;
}

void frmTestsDue::cmdPrint_Click() {
    ctx_.printing().PrintWorksheet(worksheet());
}

void frmTestsDue::cmdPdf_Click() {
    const QString file = ctx_.dialogs().saveFileName(
        this, QStringLiteral("Test worksheet %1.pdf").arg(window_.today.toString(Qt::ISODate)),
        QStringLiteral("PDF files (*.pdf)"));
    if (!file.isEmpty())
        ctx_.printing().SaveWorksheetPdf(worksheet(), file);
}

std::vector<std::int32_t> frmTestsDue::shownEntries() const {
    std::vector<std::int32_t> entries;
    entries.reserve(static_cast<std::size_t>(List1->count()));
    for (int line = 0; line < List1->count(); ++line)
        entries.push_back(dueOfRow_[List1->records()->rowOfLine(line)]);
    return entries;
}

void frmTestsDue::cmdExport_Click() {
    const QString file = ctx_.dialogs().saveFileName(
        this, QStringLiteral("Tests due %1.csv").arg(window_.today.toString(Qt::ISODate)),
        QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (file.isEmpty())
        return;
    QString error;
    const std::unique_ptr<Progress> progress =
        ctx_.dialogs().progress(this, QStringLiteral("Exporting the tests due"));
    if (!DueReader::writeCsv(file, due_, shownEntries(), &error, nullptr, progress.get()))
        ctx_.dialogs().inform(this, error,
                              Progress::wasCancelled(progress.get()) ? Dialogs::Icon::Information
                                                                     : Dialogs::Icon::Warning);
}

void frmTestsDue::cmdClose_Click() {
    QDialog::reject();
}
