#pragma once

#include <QDialog>
#include <optional>

#include "app/AppContext.h"

class QLabel;
class QListWidget;
class QPushButton;
class DetailList;
class LabelPanel;

// Shows one item read-only (the item named by ItemToOpen when it opens) with
// the way to edit it, print its labels and open the flight case that holds it,
// and its test history, newest first, with the way to record a test.
class frmItemView : public QDialog {
    Q_OBJECT
public:
    explicit frmItemView(AppContext& ctx, QWidget* parent = nullptr);

    // Empties the detail lines and the history and reads them again from the
    // register.
    void ShowItemDetails();

    // Shows the item of a line ("id - text") of a window's list of items:
    // the line's own item, whatever a window opened since wrote to
    // ItemToOpen. Nothing when no line is selected, or when an item viewer
    // stands lower in the chain that led there: that one shows the item.
    static void showItemOfLine(AppContext& ctx, QWidget* parent,
                               const std::optional<QString>& line);

public slots:
    void Form_Load();
    void cmdEdit_Click();
    void Command3_Click();  // "Close"
    void cmdRecordTest_Click();
    void cmdHistory_Click();
    void List1_DblClick();
    void Picture1_DblClick();

private:
    void buildControls();
    void openCaseViewer();
    // The item's test status and when it is due, beside its history.
    void showTestStatus();
    void showBookings();

    AppContext& ctx_;
    // ItemToOpen as this window was opened on; a window opened from here
    // may change the field (a click in a case viewer's item list).
    qint64 itemId_ = 0;

    DetailList* List1 = nullptr;
    LabelPanel* labels_ = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* Command3 = nullptr;
    QListWidget* lstHistory = nullptr;
    QPushButton* cmdRecordTest = nullptr;
    QPushButton* cmdHistory = nullptr;
    QLabel* lblTestStatus = nullptr;  // "Test status: Overdue (due 1/1/2009)"
};
