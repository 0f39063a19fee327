#pragma once

#include <QDialog>
#include <QString>
#include <optional>

#include "app/AppContext.h"
#include "common/RecordList.h"

class QLabel;
class QPushButton;

// What every picker window is: an instruction, the list of choices, the
// large logo, and Save and Close along the bottom. Save hands the choice to
// the caller; Close, Esc and the title bar's close box all act as Close.
// Only a selected line is a choice: a line the user deselected is none.
class PickerWindow : public QDialog {
    Q_OBJECT
public:
    QLabel* Label1 = nullptr;
    RecordList* List1 = nullptr;
    QLabel* Picture1 = nullptr;
    QPushButton* Command2 = nullptr;  // "Save"
    QPushButton* Command3 = nullptr;  // "Close"

public slots:
    // A change of the selected line, by mouse or by key, counts as a click.
    void List1_Click();
    // Picks the line and saves, in the pickers that allow it.
    void List1_DblClick();
    void Command2_Click();
    void Command3_Click();
    void reject() override;

protected:
    struct Layout {
        const char* objectName;
        QString title;
        int widthTwips;
        int heightTwips;
        QString instruction;
        RecordList::Lines lines;
        QString listName;  // what a screen reader calls the list
        int listHeightTwips;
    };
    PickerWindow(AppContext& ctx, const Layout& layout, QWidget* parent);

    // The line now selected, or none.
    virtual void lineChosen(const std::optional<QString>& line) = 0;
    // Save: the choice goes into the caller's field.
    virtual void handOverChoice() = 0;
    // Close: what the caller's field holds afterwards (by default, as it was).
    virtual void handOverNoChoice() {}

    void pickOnDoubleClick();

    AppContext& ctx_;
};
