#include "items/frmItemImport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

#include "common/Dialogs.h"
#include "common/WindowStyle.h"

using WindowStyle::place;

namespace {

constexpr int kLeft = 240;
constexpr int kWidth = 13020;
const QString kCsvFilter = QStringLiteral("CSV files (*.csv);;All files (*)");

// Keeps the wait cursor up while a long read runs.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QTableWidget* newTable(QWidget* parent, const char* name, const QString& accessibleName) {
    auto* table = new QTableWidget(parent);
    table->setObjectName(QLatin1String(name));
    table->setAccessibleName(accessibleName);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->setFont(WindowStyle::tahoma(9));
    return table;
}

}  // namespace

frmItemImport::frmItemImport(AppContext& ctx, ItemImport::ImportFile file, QWidget* parent)
    : QDialog(parent), ctx_(ctx), file_(std::move(file)) {
    setObjectName(QStringLiteral("frmItemImport"));
    WindowStyle::setUpWindow(this, QStringLiteral("Import Items"), 13500, 10200);
    buildControls();
    Form_Load();
}

frmItemImport::~frmItemImport() = default;

bool frmItemImport::importItems(AppContext& ctx, QWidget* parent) {
    const QString path = ctx.dialogs().openFileName(parent, QString());
    if (path.isEmpty())
        return false;
    QString error;
    auto file = ItemImport::ImportFile::open(path, &error);
    if (!file) {
        ctx.dialogs().inform(parent, error, Dialogs::Icon::Warning);
        return false;
    }
    frmItemImport window(ctx, std::move(*file), parent);
    return window.exec() == QDialog::Accepted;
}

void frmItemImport::buildControls() {
    lblFile = new QLabel(this);
    lblFile->setObjectName(QStringLiteral("lblFile"));
    lblFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    place(lblFile, kLeft, 120, kWidth, 330);

    lblEncoding = new QLabel(QStringLiteral("&Encoding:"), this);
    lblEncoding->setObjectName(QStringLiteral("lblEncoding"));
    place(lblEncoding, kLeft, 570, 1500, 330);
    cboEncoding = new QComboBox(this);
    cboEncoding->setObjectName(QStringLiteral("cboEncoding"));
    cboEncoding->setAccessibleName(QStringLiteral("Encoding"));
    cboEncoding->addItem(Csv::encodingName(Csv::Encoding::Utf8), int(Csv::Encoding::Utf8));
    cboEncoding->addItem(Csv::encodingName(Csv::Encoding::Windows1252),
                         int(Csv::Encoding::Windows1252));
    lblEncoding->setBuddy(cboEncoding);
    place(cboEncoding, 1800, 530, 2400, 390);

    chkConvertDates = new QCheckBox(QStringLiteral("Con&vert other date forms to d/m/yyyy"), this);
    chkConvertDates->setObjectName(QStringLiteral("chkConvertDates"));
    place(chkConvertDates, 4500, 570, 4300, 330);
    chkKeepDates = new QCheckBox(QStringLiteral("&Keep unreadable dates as written"), this);
    chkKeepDates->setObjectName(QStringLiteral("chkKeepDates"));
    place(chkKeepDates, 4500, 930, 4300, 330);
    chkCreateCases = new QCheckBox(QStringLiteral("C&reate the missing flight cases"), this);
    chkCreateCases->setObjectName(QStringLiteral("chkCreateCases"));
    place(chkCreateCases, 8960, 570, 4300, 330);

    lblMapping = new QLabel(QStringLiteral("The file's columns go to:"), this);
    lblMapping->setObjectName(QStringLiteral("lblMapping"));
    place(lblMapping, kLeft, 1410, 5400, 300);
    grdMapping = newTable(this, "grdMapping", QStringLiteral("The file's columns go to"));
    grdMapping->setColumnCount(2);
    grdMapping->setHorizontalHeaderLabels(
        {QStringLiteral("File Column"), QStringLiteral("Item Field")});
    grdMapping->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    place(grdMapping, kLeft, 1740, 5400, 3600);

    lblPreview = new QLabel(QStringLiteral("The first lines as they would be stored:"), this);
    lblPreview->setObjectName(QStringLiteral("lblPreview"));
    place(lblPreview, 5880, 1410, 7380, 300);
    grdPreview =
        newTable(this, "grdPreview", QStringLiteral("The first lines as they would be stored"));
    place(grdPreview, 5880, 1740, 7380, 3600);

    cmdCheck = WindowStyle::addButton(this, "cmdCheck", QStringLiteral("C&heck All Lines"), kLeft,
                                      5520, 2400, 450);
    connect(cmdCheck, &QPushButton::clicked, this, &frmItemImport::cmdCheck_Click);
    lblSummary = new QLabel(QStringLiteral("The lines have not been checked yet."), this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    place(lblSummary, 2760, 5580, 10500, 330);

    lstProblems = new QListWidget(this);
    lstProblems->setObjectName(QStringLiteral("lstProblems"));
    lstProblems->setAccessibleName(QStringLiteral("Problems"));
    lstProblems->setFont(WindowStyle::tahoma(9));
    place(lstProblems, kLeft, 6120, kWidth, 3180);

    cmdSaveReport = WindowStyle::addButton(this, "cmdSaveReport", QStringLiteral("&Save Problems…"),
                                           kLeft, 9480, 2600, 495);
    connect(cmdSaveReport, &QPushButton::clicked, this, &frmItemImport::cmdSaveReport_Click);
    cmdImport = WindowStyle::addButton(this, "cmdImport", QStringLiteral("&Import the Good Lines"),
                                       7980, 9480, 3120, 495);
    connect(cmdImport, &QPushButton::clicked, this, &frmItemImport::cmdImport_Click);
    cmdCancel =
        WindowStyle::addButton(this, "cmdCancel", QStringLiteral("Cancel"), 11280, 9480, 1980, 495);
    connect(cmdCancel, &QPushButton::clicked, this, &frmItemImport::cmdCancel_Click);
    WindowStyle::makeCancelButton(this, cmdCancel);

    connect(cboEncoding, &QComboBox::activated, this, &frmItemImport::cboEncoding_Click);
    connect(chkConvertDates, &QCheckBox::toggled, this, &frmItemImport::chkOptions_Click);
    connect(chkKeepDates, &QCheckBox::toggled, this, &frmItemImport::chkOptions_Click);
    connect(chkCreateCases, &QCheckBox::toggled, this, &frmItemImport::chkOptions_Click);
    WindowStyle::setTabOrder({cboEncoding, chkConvertDates, chkKeepDates, chkCreateCases,
                              grdMapping, grdPreview, cmdCheck, lstProblems, cmdSaveReport,
                              cmdImport, cmdCancel});
}

void frmItemImport::Form_Load() {
    cboEncoding->setCurrentIndex(cboEncoding->findData(int(file_.format.encoding)));
    fillMapping();
    mappingChanged();
}

QComboBox* frmItemImport::fieldBox(int column) const {
    return qobject_cast<QComboBox*>(grdMapping->cellWidget(column, 1));
}

void frmItemImport::fillMapping() {
    grdMapping->setRowCount(int(file_.header.size()));
    for (int c = 0; c < file_.header.size(); ++c) {
        const QString name = file_.header.at(c);
        grdMapping->setItem(c, 0, new QTableWidgetItem(name));
        auto* box = new QComboBox(grdMapping);
        box->setAccessibleName(QStringLiteral("Item Field for the column \"%1\"").arg(name));
        // A column whose header names no field waits for the user's choice.
        if (file_.mapping[std::size_t(c)] == ItemImport::kUnknown)
            box->addItem(QStringLiteral("(choose a field)"), ItemImport::kUnknown);
        box->addItem(QStringLiteral("not imported"), ItemImport::kSkip);
        for (const ItemImport::Field& f : ItemImport::fields())
            box->addItem(f.caption, f.field);
        box->setCurrentIndex(box->findData(file_.mapping[std::size_t(c)]));
        connect(box, &QComboBox::activated, this, [this, c] { fieldBox_Click(c); });
        grdMapping->setCellWidget(c, 1, box);
    }
}

ItemImport::Options frmItemImport::options() const {
    return {chkConvertDates->isChecked(), chkCreateCases->isChecked(), chkKeepDates->isChecked()};
}

void frmItemImport::cboEncoding_Click() {
    const auto encoding = Csv::Encoding(cboEncoding->currentData().toInt());
    if (encoding == file_.format.encoding)
        return;
    QString error;
    auto reopened = ItemImport::ImportFile::open(file_.path, &error, encoding);
    if (!reopened) {
        ctx_.dialogs().inform(this, error, Dialogs::Icon::Warning);
        cboEncoding->setCurrentIndex(cboEncoding->findData(int(file_.format.encoding)));
        return;
    }
    // The user's choices stay while the columns are the same.
    if (reopened->header.size() == file_.header.size())
        reopened->mapping = file_.mapping;
    file_ = std::move(*reopened);
    fillMapping();
    mappingChanged();
}

void frmItemImport::fieldBox_Click(int column) {
    file_.mapping[std::size_t(column)] = fieldBox(column)->currentData().toInt();
    mappingChanged();
}

void frmItemImport::chkOptions_Click() {
    mappingChanged();
}

void frmItemImport::mappingChanged() {
    import_ = std::make_unique<ItemImport::Import>(ctx_.theRegister(), file_, options());
    checked_.reset();
    lblFile->setText(QStringLiteral("File: %1 (%2, %3 separated)")
                         .arg(QDir::toNativeSeparators(file_.path),
                              Csv::encodingName(file_.format.encoding),
                              Csv::separatorName(file_.format.separator)));
    const QString mappingProblem = file_.mappingProblem();
    lblSummary->setText(mappingProblem.isEmpty()
                            ? QStringLiteral("The lines have not been checked yet.")
                            : mappingProblem);
    lstProblems->clear();
    cmdSaveReport->setEnabled(false);
    cmdImport->setEnabled(false);
    refreshPreview();
}

void frmItemImport::refreshPreview() {
    const QList<ItemImport::Field>& fields = ItemImport::fields();
    QStringList header{QStringLiteral("Line")};
    for (const ItemImport::Field& f : fields)
        header << f.caption;
    header << QStringLiteral("Problems");
    grdPreview->clear();
    grdPreview->setColumnCount(int(header.size()));
    grdPreview->setHorizontalHeaderLabels(header);
    QString error;
    const std::vector<ItemImport::PreviewLine> lines = import_->preview(kPreviewLines, &error);
    grdPreview->setRowCount(int(lines.size()));
    for (int row = 0; row < int(lines.size()); ++row) {
        const ItemImport::PreviewLine& line = lines[std::size_t(row)];
        grdPreview->setItem(row, 0, new QTableWidgetItem(QString::number(line.line)));
        for (int c = 0; c < line.values.size(); ++c)
            grdPreview->setItem(row, c + 1, new QTableWidgetItem(line.values.at(c)));
        grdPreview->setItem(row, int(header.size()) - 1,
                            new QTableWidgetItem(line.problems.join(QStringLiteral("; "))));
    }
    grdPreview->resizeColumnsToContents();
    if (!error.isEmpty())
        lblSummary->setText(error);
}

void frmItemImport::cmdCheck_Click() {
    if (const QString problem = file_.mappingProblem(); !problem.isEmpty()) {
        ctx_.dialogs().inform(this, problem, Dialogs::Icon::Warning);
        return;
    }
    QString error;
    const std::unique_ptr<Progress> progress =
        ctx_.dialogs().progress(this, QStringLiteral("Checking the lines"));
    {
        const WaitCursor wait;
        checked_ = import_->check(&error, {}, progress.get());
    }
    lstProblems->clear();
    if (Progress::wasCancelled(progress.get())) {
        lblSummary->setText(QStringLiteral("The lines have not been checked yet."));
        ctx_.dialogs().inform(this, error);
        return;
    }
    if (!checked_) {
        lblSummary->setText(QStringLiteral("The lines could not be checked."));
        ctx_.dialogs().inform(this, error, Dialogs::Icon::Warning);
        return;
    }
    for (const ItemImport::Problem& p : checked_->problems)
        lstProblems->addItem(ItemImport::describe(p));
    lblSummary->setText(ItemImport::checkSummary(*checked_));
    cmdSaveReport->setEnabled(checked_->problemCount > 0);
    cmdImport->setEnabled(checked_->goodLines > 0);
}

void frmItemImport::cmdSaveReport_Click() {
    const QString path =
        ctx_.dialogs().saveFileName(this, QStringLiteral("problems.csv"), kCsvFilter);
    if (path.isEmpty())
        return;
    QString error;
    const WaitCursor wait;
    if (!import_->writeReport(path, &error))
        ctx_.dialogs().inform(this,
                              QStringLiteral("Quarvel could not write %1: %2")
                                  .arg(QDir::toNativeSeparators(path), error),
                              Dialogs::Icon::Warning);
}

void frmItemImport::cmdImport_Click() {
    if (!checked_)
        return;
    QString error;
    std::optional<ImportCounts> counts;
    const std::unique_ptr<Progress> progress =
        ctx_.dialogs().progress(this, QStringLiteral("Importing the items"));
    {
        const WaitCursor wait;
        counts = import_->importGoodLines(*checked_, &error, progress.get());
    }
    if (Progress::wasCancelled(progress.get())) {
        // The check still holds: the user may import after all.
        ctx_.dialogs().inform(this, error);
        return;
    }
    if (!counts) {
        ctx_.dialogs().inform(this, error + QStringLiteral("\n\nNothing was imported."),
                              Dialogs::Icon::Warning);
        // What was checked may no longer hold: check again before importing.
        checked_.reset();
        cmdImport->setEnabled(false);
        return;
    }
    ctx_.dialogs().inform(
        this, ItemImport::importSummary(*counts, checked_->lines - checked_->goodLines));
    accept();
}

void frmItemImport::cmdCancel_Click() {
    reject();
}
