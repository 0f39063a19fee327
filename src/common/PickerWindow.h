#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "common/RecordList.h"
#include "common/WindowStyle.h"

// What every picker window has: an instruction, the list of choices, the
// large logo, and Save and Close along the bottom (Close is the Esc button).
struct PickerControls {
    QLabel* Label1 = nullptr;
    RecordList* List1 = nullptr;
    QLabel* Picture1 = nullptr;
    QPushButton* Command2 = nullptr;  // "Save"
    QPushButton* Command3 = nullptr;  // "Close"

    static PickerControls add(QDialog* window, const QString& instruction, RecordList::Lines lines,
                              const QString& listName, int listHeightTwips);

    // Connects the controls to the window's handlers of the same names. A
    // change of the selected line, by mouse or by key, counts as a click.
    template <class Window>
    void connectTo(Window* window) const {
        QObject::connect(List1, &RecordList::lineClicked, window, &Window::List1_Click);
        QObject::connect(Command2, &QPushButton::clicked, window, &Window::Command2_Click);
        QObject::connect(Command3, &QPushButton::clicked, window, &Window::Command3_Click);
        WindowStyle::makeCancelButton(window, Command3);
    }
};
