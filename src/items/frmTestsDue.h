#pragma once

#include <QDialog>
#include <vector>

#include "app/AppContext.h"
#include "data/DueReader.h"
#include "printing/PrintService.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class RecordList;

// Every item that needs a test: failed, overdue, unreadable, never tested or
// due soon, most urgent first, one line each with its status, due date,
// days to go (negative when overdue), category, location and case. The
// lines can be narrowed by status, location, case and a "due by" date;
// items with no date to go by are never narrowed away by the date. From
// here the user opens an item, records a test, prints the worksheet and
// exports the lines shown. With "due by", items in date that are due by
// then are listed too.
class frmTestsDue : public QDialog {
    Q_OBJECT
public:
    explicit frmTestsDue(AppContext& ctx, QWidget* parent = nullptr);

    // Reads the items again, keeping the filters as they are.
    void RefreshList();
    // How many of the lines shown have each status.
    const TestsDue::Counts& shownCounts() const { return shownCounts_; }
    // The items of the lines shown, as they are shown.
    std::vector<std::int64_t> shownItems() const;

    QLabel* Label1 = nullptr;
    QComboBox* cboStatus = nullptr;
    QComboBox* cboLocation = nullptr;
    QComboBox* cboCase = nullptr;
    QCheckBox* chkDueBy = nullptr;
    QDateEdit* dtpDueBy = nullptr;
    RecordList* List1 = nullptr;
    QPushButton* cmdRecordTest = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdPdf = nullptr;
    QPushButton* cmdExport = nullptr;
    QPushButton* cmdClose = nullptr;

public slots:
    void Form_Load();
    void Filter_Change();
    void List1_DblClick();
    void cmdRecordTest_Click();
    void cmdPrint_Click();
    void cmdPdf_Click();
    void cmdExport_Click();
    void cmdClose_Click();

private:
    void buildControls();
    QComboBox* addFilter(const char* name, const QString& caption, int left, int width);
    void fillFilters();
    // What the filters let through; kAll (-1) lets everything through.
    struct Filter {
        int status = -1;
        int location = -1;  // index into locations_
        qint64 flightCase = -1;
        std::optional<TestsDue::Day> dueBy;
    };
    Filter currentFilter() const;
    bool passes(std::size_t entry, const Filter& filter) const;
    std::optional<qint64> selectedItem();
    // The DueList entries of the lines shown, as they are shown.
    std::vector<std::int32_t> shownEntries() const;
    // The lines shown, by location, then case, then id.
    Worksheet worksheet() const;

    AppContext& ctx_;
    TestsDue::Window window_;
    DueList due_;
    std::vector<std::int32_t> dueOfRow_;       // the DueList entry of each line, most urgent first
    std::vector<std::int32_t> locationOfDue_;  // index into locations_ of each entry
    QStringList locations_;
    std::vector<std::int32_t> locationRank_;  // each location's place in alphabetical order
    TestsDue::Counts shownCounts_;
};
