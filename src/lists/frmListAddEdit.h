#pragma once

#include "app/RecordEditor.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class RecordList;

// Adds a new picking list or edits one. Lines are written at once, one
// statement per added or removed line, and come back on screen with the
// reload that follows about a second later; the name is stored only by Save.
// Lines can be added only to a stored list: a new list is named and saved
// first.
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
    // The delayed reload; runs once however often it was armed.
    void Timer1_Timer();

private:
    void buildControls();
    bool loadStored(qint64 id) override;
    // Shows the stored list; false when it is gone or could not be read.
    bool showStoredList(qint64 id);
    bool mayGoOut(qint64 itemId);
    bool addPickedItem();
    std::optional<qint64> insertRecord() override;
    SaveResult writeChanges(bool overwrite) override;

    QString loadedName_;  // the stored name as last shown, to notice a change made elsewhere
    // The item of the line selected last; Delete removes it, also after the
    // reload has cleared the selection.
    qint64 selectedItem_ = 0;

    QLabel* Label1 = nullptr;
    QLineEdit* txtName = nullptr;
    QLabel* Label4 = nullptr;
    RecordList* List1 = nullptr;
    QLabel* Picture1 = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdDel = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdClose = nullptr;
    QTimer* Timer1 = nullptr;
};
