#include "history/frmChangeLog.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "common/Dialogs.h"
#include "common/WindowStyle.h"
#include "data/ChangeStore.h"
#include "data/transfer/CsvExport.h"
#include "data/transfer/TransferRecords.h"
#include "history/ChangeTable.h"
#include "printing/PrintService.h"

using WindowStyle::place;

namespace {

// A date box's least date stands for "no bound".
const QDate kNoBound(2000, 1, 1);

// The kinds of record as the Record box offers them; the first, any.
const QList<QPair<QString, QString>>& kinds() {
    static const QList<QPair<QString, QString>> all = {
        {QStringLiteral("Any"), QString()},
        {QStringLiteral("Item"), QLatin1String(ChangeKind::kItem)},
        {QStringLiteral("Case"), QLatin1String(ChangeKind::kCase)},
        {QStringLiteral("List"), QLatin1String(ChangeKind::kList)},
        {QStringLiteral("List line"), QLatin1String(ChangeKind::kLine)},
        {QStringLiteral("List plan"), QLatin1String(ChangeKind::kPlan)},
        {QStringLiteral("Location"), QLatin1String(ChangeKind::kLocation)},
        {QStringLiteral("Test"), QLatin1String(ChangeKind::kTest)},
    };
    return all;
}

QDateEdit* dateBox(QWidget* parent, const char* name) {
    auto* box = new QDateEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setCalendarPopup(true);
    box->setDisplayFormat(QStringLiteral("d/M/yyyy"));
    box->setMinimumDate(kNoBound);
    box->setSpecialValueText(QStringLiteral("Any"));
    box->setDate(kNoBound);
    return box;
}

QLabel* captionFor(QWidget* parent, const QString& caption, QWidget* buddy) {
    auto* label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    const QString name = QString(caption).remove(QLatin1Char('&'));
    buddy->setAccessibleName(name);
    // The text inside a date or drop-down box is what a screen reader lands on.
    if (auto* text = buddy->findChild<QLineEdit*>())
        text->setAccessibleName(name);
    return label;
}

QDate boundOf(const QDateEdit* box) {
    return box->date() == kNoBound ? QDate() : box->date();
}

// A change as the export writes it, in ChangeStore::exportColumns' order.
struct ExportRow {
    std::string texts[11];
    std::string_view views[11];
};
void fillExportRow(const ChangeRow& row, ExportRow& out) {
    const auto put = [&](int column, const std::optional<QString>& value) {
        out.texts[column] = value ? value->toStdString() : std::string();
        out.views[column] = !value             ? std::string_view()
                            : value->isEmpty() ? kEmptyText
                                               : std::string_view(out.texts[column]);
    };
    put(0, QString::number(row.id));
    put(1, QString::number(row.batch));
    put(2, row.at.toUTC().toString(Qt::ISODateWithMs));
    put(3, row.user);
    put(4, row.desk);
    put(5, row.operation);
    put(6, row.kind);
    put(7, QString::number(row.recordId));
    put(8, row.field);
    put(9, row.oldValue);
    put(10, row.newValue);
}

}  // namespace

frmChangeLog::frmChangeLog(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmChangeLog"));
    WindowStyle::setUpWindow(this, QStringLiteral("Change Log"), 14400, 9000);
    buildControls();
    RefreshLog();
    lstChanges->setFocus();
}

void frmChangeLog::buildFilters() {
    dtpFrom = dateBox(this, "dtpFrom");
    dtpTo = dateBox(this, "dtpTo");
    cboUser = new QComboBox(this);
    cboUser->setObjectName(QStringLiteral("cboUser"));
    cboUser->setEditable(true);
    cboUser->addItems({QString(), ctx_.userName()});
    cboUser->setCurrentIndex(0);
    cboKind = new QComboBox(this);
    cboKind->setObjectName(QStringLiteral("cboKind"));
    for (const auto& [caption, kind] : kinds())
        cboKind->addItem(caption, kind);
    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));

    struct Filter {
        QString caption;
        QWidget* box;
        int left, width;
    };
    const Filter filters[] = {{QStringLiteral("&From"), dtpFrom, 120, 1800},
                              {QStringLiteral("&To"), dtpTo, 2040, 1800},
                              {QStringLiteral("&User"), cboUser, 3960, 2400},
                              {QStringLiteral("&Record"), cboKind, 6480, 1920},
                              {QStringLiteral("F&ind"), txtFind, 8520, 3600}};
    for (const Filter& f : filters) {
        place(captionFor(this, f.caption, f.box), f.left, 120, f.width, 375);
        place(f.box, f.left, 480, f.width, 405);
    }
    txtFind->setAccessibleDescription(
        QStringLiteral("Changes whose field, old or new value holds this text"));
    connect(dtpFrom, &QDateEdit::dateChanged, this, &frmChangeLog::Filter_Change);
    connect(dtpTo, &QDateEdit::dateChanged, this, &frmChangeLog::Filter_Change);
    connect(cboUser->lineEdit(), &QLineEdit::editingFinished, this, &frmChangeLog::Filter_Change);
    connect(cboUser, &QComboBox::activated, this, &frmChangeLog::Filter_Change);
    connect(cboKind, &QComboBox::currentIndexChanged, this, &frmChangeLog::Filter_Change);
    connect(txtFind, &QLineEdit::editingFinished, this, &frmChangeLog::Filter_Change);
}

void frmChangeLog::buildControls() {
    buildFilters();
    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    place(lblCount, 12240, 480, 2040, 405);

    lstChanges = new ChangeTable(QStringLiteral("Changes"), this);
    lstChanges->setObjectName(QStringLiteral("lstChanges"));
    place(lstChanges, 120, 1020, 14160, 7200);
    connect(lstChanges, &QTreeWidget::itemSelectionChanged, this, &frmChangeLog::lstChanges_Click);
    connect(lstChanges->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &frmChangeLog::lstChanges_Scroll);

    const auto button = [this](const char* name, const QString& caption, int left, int width) {
        return WindowStyle::addButton(this, name, caption, left, 8340, width, 495);
    };
    cmdMore = button("cmdMore", QStringLiteral("More"), 120, 1335);
    cmdPutBack = button("cmdPutBack", QStringLiteral("Put Back"), 3480, 1695);
    cmdPutBackBatch = button("cmdPutBackBatch", QStringLiteral("Put Back Batch"), 5280, 2295);
    cmdExport = button("cmdExport", QStringLiteral("Export"), 8640, 1335);
    cmdPrint = button("cmdPrint", QStringLiteral("Print"), 10080, 1335);
    cmdClose = button("cmdClose", QStringLiteral("Close"), 12945, 1335);
    cmdMore->setAccessibleDescription(QStringLiteral("Show the next older changes"));
    cmdPutBack->setAccessibleDescription(
        QStringLiteral("Write the selected change's old value back, as a new change"));
    cmdPutBackBatch->setAccessibleDescription(
        QStringLiteral("Put back every change saved together with the selected one"));
    cmdExport->setAccessibleDescription(
        QStringLiteral("Write the changes the filter lets through to a CSV file"));
    cmdPrint->setAccessibleDescription(QStringLiteral("Print the changes shown"));
    connect(cmdMore, &QPushButton::clicked, this, &frmChangeLog::cmdMore_Click);
    connect(cmdPutBack, &QPushButton::clicked, this, &frmChangeLog::cmdPutBack_Click);
    connect(cmdPutBackBatch, &QPushButton::clicked, this, &frmChangeLog::cmdPutBackBatch_Click);
    connect(cmdExport, &QPushButton::clicked, this, &frmChangeLog::cmdExport_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &frmChangeLog::cmdPrint_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmChangeLog::cmdClose_Click);
    WindowStyle::makeCancelButton(this, cmdClose);
    WindowStyle::setTabOrder({dtpFrom, dtpTo, cboUser, cboKind, txtFind, lstChanges, cmdMore,
                              cmdPutBack, cmdPutBackBatch, cmdExport, cmdPrint, cmdClose});
}

ChangeFilter frmChangeLog::filter() const {
    ChangeFilter f;
    f.from = boundOf(dtpFrom);
    f.to = boundOf(dtpTo);
    f.user = cboUser->currentText().trimmed();
    f.kind = cboKind->currentData().toString();
    f.text = txtFind->text().trimmed();
    return f;
}

void frmChangeLog::RefreshLog() {
    lstChanges->clear();
    nextBeforeId_ = 0;
    readPage();
    showCount();
}

void frmChangeLog::readPage() {
    const auto page = ctx_.changes().page(filter(), nextBeforeId_, kPageSize);
    nextBeforeId_ = 0;
    if (page) {  // otherwise the store has told the user
        for (const ChangeRow& row : page->rows)
            lstChanges->addChange(row);
        nextBeforeId_ = page->nextBeforeId;
    }
    cmdMore->setEnabled(nextBeforeId_ != 0);
    lstChanges_Click();
}

void frmChangeLog::showCount() {
    const auto count = ctx_.changes().count(filter(), kCountCap);
    if (!count)
        lblCount->clear();
    else if (*count >= kCountCap)
        lblCount->setText(QStringLiteral("%1 or more changes").arg(kCountCap));
    else
        lblCount->setText(*count == 1 ? QStringLiteral("1 change")
                                      : QStringLiteral("%1 changes").arg(*count));
}

void frmChangeLog::Filter_Change() {
    RefreshLog();
}

void frmChangeLog::cmdMore_Click() {
    if (nextBeforeId_ != 0)
        readPage();
}

// Scrolled to the end: the next page follows.
void frmChangeLog::lstChanges_Scroll(int value) {
    if (value > 0 && value == lstChanges->verticalScrollBar()->maximum())
        cmdMore_Click();
}

void frmChangeLog::lstChanges_Click() {
    const bool selected = lstChanges->selectedChange().has_value();
    cmdPutBack->setEnabled(selected);
    cmdPutBackBatch->setEnabled(selected);
}

void frmChangeLog::putBack(bool wholeBatch) {
    const auto change = lstChanges->selectedChange();
    if (change && ChangeTable::putBack(ctx_, this, *change, wholeBatch))
        RefreshLog();
}

void frmChangeLog::cmdPutBack_Click() {
    putBack(false);
}

void frmChangeLog::cmdPutBackBatch_Click() {
    putBack(true);
}

// Every change the filter lets through, not only the pages read so far,
// a page at a time.
void frmChangeLog::cmdExport_Click() {
    const QString file = ctx_.dialogs().saveFileName(
        this, QStringLiteral("changes.csv"), QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (file.isEmpty())
        return;
    const ChangeFilter shown = filter();
    ChangeStore& changes = ctx_.changes();
    const auto source = [&](const CsvExport::RowEmitter& emitRow) {
        constexpr int kExportPage = 1000;
        ExportRow out;
        qint64 before = 0;
        do {
            const auto page = changes.page(shown, before, kExportPage);
            if (!page)
                return false;
            for (const ChangeRow& row : page->rows) {
                fillExportRow(row, out);
                if (!emitRow(out.views))
                    return true;
            }
            before = page->nextBeforeId;
        } while (before != 0);
        return true;
    };
    QString error;
    const std::unique_ptr<Progress> progress =
        ctx_.dialogs().progress(this, QStringLiteral("Exporting the changes"));
    if (!CsvExport::writeRows(file, ChangeStore::exportColumns(), source, &error, nullptr,
                              progress.get()))
        ctx_.dialogs().inform(this, error,
                              Progress::wasCancelled(progress.get()) ? Dialogs::Icon::Information
                                                                     : Dialogs::Icon::Warning);
}

// The lines the window shows, as they stand.
void frmChangeLog::cmdPrint_Click() {
    QStringList lines;
    for (int i = 0; i < lstChanges->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* line = lstChanges->topLevelItem(i);
        QStringList columns;
        for (int c = 0; c < lstChanges->columnCount(); ++c)
            columns << line->text(c);
        lines << columns.join(QStringLiteral(" \u00b7 "));
    }
    ctx_.printing().PrintLines(QStringLiteral("Quarvel Change Log"), lines);
}

void frmChangeLog::cmdClose_Click() {
    reject();
}
