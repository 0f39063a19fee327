#pragma once

#include "app/RecordEditor.h"

class QLabel;
class QPushButton;
class DetailList;
class LabelPanel;

// Adds a new item or edits one: the item is shown as eighteen detail lines,
// each edited by a double-click (or Enter) in the way that suits its field.
// Nothing is stored until Save; Close leaves without storing.
class frmItemAddEdit : public RecordEditor {
    Q_OBJECT
public:
    static const Kind kKind;
    explicit frmItemAddEdit(AppContext& ctx, QWidget* parent = nullptr);

    QString selItem;  // the detail line being edited

public slots:
    void Form_Load();
    void List1_DblClick();
    void Command2_Click();  // "Save"
    void Command3_Click();  // "Close"

private:
    void buildControls();
    bool loadStored(qint64 id) override;
    void showNew() override;
    void EditSelectedField();
    QString currentValue(int line) const;
    void rewriteLine(int line, const QString& value);
    void editByInputBox(int line, const QString& prompt);
    void editByFileDialog(int line);
    void editByDatePicker(int line);
    void editFlightCase(int line);
    void editLocation(int line);
    QVariant valueOfLine(int line) const;
    ItemWrite valuesFromLines() const;
    QList<ColumnChange> changedColumns() const;
    std::optional<qint64> insertRecord() override;
    SaveResult writeChanges(bool overwrite) override;

    QString lastChosenFile_;  // what the open-file dialog starts on
    ItemRecord loaded_;       // the stored item as loaded, to save only what changed

    QLabel* Label1 = nullptr;
    DetailList* List1 = nullptr;
    LabelPanel* labels_ = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
};
