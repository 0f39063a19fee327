#pragma once

#include <optional>

#include "app/RecordEditor.h"
#include "data/rules/Bookings.h"
#include "lists/ListControls.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class RecordList;

// Adds a new picking list or edits one. Lines are written at once, one
// statement per added or removed line, and come back on screen with the
// reload that follows about a second later; the name is stored only by Save.
// Lines can be added only to a stored list: a new list is named and saved
// first. The list's dates and state are stored with the name by Save; a
// plan that books items booked elsewhere is saved only when the user says
// so, and the lines booked elsewhere or due for test while out are marked.
class frmListAddEdit : public RecordEditor {
    Q_OBJECT
public:
    static const Kind kKind;
    explicit frmListAddEdit(AppContext& ctx, QWidget* parent = nullptr);

    // Reads the stored name and lines again, replacing what the name box holds.
    void RefreshList();

public slots:
    void Form_Load();
    void List1_Click();
    void List1_DblClick();
    void cmdAdd_Click();
    void cmdDel_Click();
    void cmdSave_Click();
    void cmdPrint_Click();
    void cmdClose_Click();
    void cmdOutDate_Click();
    void cmdReturnDate_Click();
    // The delayed reload; runs once however often it was armed.
    void Timer1_Timer();

private:
    void buildControls();
    void buildPlanControls();
    void showPlan(const ListPlan& plan);
    // Fills the date box from the date picker, which starts on its date.
    void pickDate(QLineEdit* box);
    // The plan as the boxes hold it; none, after telling the user, when a
    // date cannot be read or the return date comes before the out date.
    std::optional<ListPlan> typedPlan();
    // Stores the plan unless it is the one loaded; false when it was not
    // stored (the user has been told, or said No to its clashes).
    bool savePlan(qint64 listId, const ListPlan& plan);
    bool loadStored(qint64 id) override;
    // Shows the stored list; false when it is gone or could not be read.
    bool showStoredList(qint64 id);
    bool mayGoOut(qint64 itemId);
    AddLineResult addLine(qint64 itemId, const QString& itemDesc);
    bool addPickedItem();
    std::optional<qint64> insertRecord() override;
    SaveResult writeChanges(bool overwrite) override;

    QString loadedName_;  // the stored name as last shown, to notice a change made elsewhere
    // The stored plan as the window opened; Save leaves it alone when unchanged.
    ListPlan loadedPlan_;
    ListPlan typedPlan_;  // the plan being saved, read by Save before the name is stored
    ListControls controls_;
    // The item of the line selected last; Delete removes it, also after the
    // reload has cleared the selection.
    qint64 selectedItem_ = 0;

    QLabel* Label1 = nullptr;
    QLineEdit* txtName = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* lblOutDate = nullptr;
    QLineEdit* txtOutDate = nullptr;
    QPushButton* cmdOutDate = nullptr;
    QLabel* lblReturnDate = nullptr;
    QLineEdit* txtReturnDate = nullptr;
    QPushButton* cmdReturnDate = nullptr;
    QLabel* lblState = nullptr;
    QComboBox* cboState = nullptr;
    RecordList* List1 = nullptr;
    QLabel* Picture1 = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdDel = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdClose = nullptr;
    QTimer* Timer1 = nullptr;
};
