#pragma once

#include <optional>

#include "app/RecordEditor.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class LabelPanel;
class RecordList;

// Adds a new flight case or edits one: its name, location, date bought,
// notes and wheels. The case's details reach the register only on Save;
// the items it holds are put in and taken out at once (Add, Delete), which
// a stored case alone allows.
class frmFlightAddEdit : public RecordEditor {
    Q_OBJECT
public:
    static const Kind kKind;
    explicit frmFlightAddEdit(AppContext& ctx, QWidget* parent = nullptr);

public slots:
    void Form_Load();
    void Command2_Click();  // "Save"
    void Command3_Click();  // "Close"
    void Command5_Click();  // "Pick!"
    void List1_Click();
    void List1_DblClick();
    void cmdAdd_Click();
    void cmdDel_Click();

private:
    void buildControls();
    QLineEdit* addTextBox(const char* name, const char* labelName, const QString& caption,
                          int labelTop, int top, int width);
    bool loadStored(qint64 id) override;
    void RefreshList();
    QString wheeledText() const;
    CaseRecord valuesFromBoxes() const;
    QList<ColumnChange> changedColumns() const;
    std::optional<qint64> insertRecord() override;
    SaveResult writeChanges(bool overwrite) override;
    std::optional<qint64> caseOfItem(qint64 itemId);
    void putItemInCase(qint64 itemId, qint64 caseId);

    CaseRecord loaded_;  // the stored case as loaded, to save only what changed

    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;
    QPushButton* Command5 = nullptr;
    QCheckBox* Check2 = nullptr;
    RecordList* List1 = nullptr;
    LabelPanel* labels_ = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdDel = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
};
