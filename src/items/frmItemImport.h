#pragma once

#include <QDialog>
#include <memory>
#include <optional>

#include "app/AppContext.h"
#include "data/transfer/ItemImport.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

// Brings items in from a CSV file: the file's columns against the item
// fields (matched by name, each one changeable or not imported; a column
// that matches none waits for the user's choice), a preview of the
// first lines as they would be stored, every line checked with its problems
// listed (and saved as a report on request), then the good lines imported
// in one go, or nothing.
class frmItemImport : public QDialog {
    Q_OBJECT
public:
    frmItemImport(AppContext& ctx, ItemImport::ImportFile file, QWidget* parent = nullptr);
    ~frmItemImport() override;

    // Asks for a CSV file and opens the window on it; true when items were
    // imported. A file that cannot be read is told and nothing opens.
    static bool importItems(AppContext& ctx, QWidget* parent);

    // Lines shown in the preview.
    static constexpr int kPreviewLines = 10;

    QLabel* lblFile = nullptr;
    QLabel* lblEncoding = nullptr;
    QComboBox* cboEncoding = nullptr;
    QLabel* lblMapping = nullptr;
    QTableWidget* grdMapping = nullptr;
    QCheckBox* chkConvertDates = nullptr;
    QCheckBox* chkKeepDates = nullptr;
    QCheckBox* chkCreateCases = nullptr;
    QLabel* lblPreview = nullptr;
    QTableWidget* grdPreview = nullptr;
    QPushButton* cmdCheck = nullptr;
    QLabel* lblSummary = nullptr;
    QListWidget* lstProblems = nullptr;
    QPushButton* cmdSaveReport = nullptr;
    QPushButton* cmdImport = nullptr;
    QPushButton* cmdCancel = nullptr;

    // The field box of the file's column (from 0).
    QComboBox* fieldBox(int column) const;

public slots:
    void Form_Load();
    void cboEncoding_Click();
    void fieldBox_Click(int column);
    void chkOptions_Click();
    void cmdCheck_Click();
    void cmdSaveReport_Click();
    void cmdImport_Click();
    void cmdCancel_Click();

private:
    void buildControls();
    void fillMapping();
    // The mapping or the options changed: the preview is shown again and
    // the last check no longer holds.
    void mappingChanged();
    void refreshPreview();
    ItemImport::Options options() const;

    AppContext& ctx_;
    ItemImport::ImportFile file_;
    std::unique_ptr<ItemImport::Import> import_;
    std::optional<ItemImport::CheckResult> checked_;
};
