#pragma once

#include <QDialog>

#include "app/AppContext.h"
#include "data/rules/Records.h"

class QLabel;
class QPushButton;
class DetailList;
class OptionCheckBox;
class PictureBox;

// Adds a new item or edits one: the item is shown as eighteen detail lines,
// each edited by a double-click (or Enter) in the way that suits its field.
// Nothing is stored until Save; Close leaves without storing.
class frmItemAddEdit : public QDialog {
    Q_OBJECT
public:
    explicit frmItemAddEdit(AppContext& ctx, QWidget* parent = nullptr);

    bool newItem = false;    // the editor works on an item not yet stored
    QString selItem;         // the detail line being edited
    qint64 currentItem = 0;  // the stored id, or the id a new item will get

public slots:
    void Form_Load();
    void List1_DblClick();
    void Command1_Click();  // "Large"
    void Command2_Click();  // "Save"
    void Command3_Click();  // "Close"
    void Command4_Click();  // "Small"

private:
    void buildControls();
    bool loadStoredItem(qint64 id);
    bool loadNewItem();
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
    bool saveNewItem();
    bool saveChanges();

    AppContext& ctx_;
    QString lastChosenFile_;  // what the open-file dialog starts on
    ItemRecord loaded_;       // the stored item as loaded, to save only what changed

    QLabel* Label1 = nullptr;
    DetailList* List1 = nullptr;
    OptionCheckBox* Check1 = nullptr;
    OptionCheckBox* Check3 = nullptr;
    PictureBox* Picture1 = nullptr;
    PictureBox* Picture2 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
};
