#pragma once

#include <QObject>
#include <functional>

class QAbstractItemView;
class QKeyEvent;

// The keys every list of the program answers alike. Enter on the line that
// has the keyboard focus works as a double-click on it: the line is selected
// first, as by the click of a double-click, whether it was selected or not.
// The first Down or Up in a list with no selected line selects its first
// line (the view alone would move on from the line that only has the focus,
// and select nothing in a list of one line). The list takes Enter before a
// shortcut or default button of its window does.
class ListKeys : public QObject {
    Q_OBJECT
public:
    // Gives the view these keys; doubleClick runs on Enter.
    static void install(QAbstractItemView* view, std::function<void()> doubleClick);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ListKeys(QAbstractItemView* view, std::function<void()> doubleClick);
    bool takesEnter(const QKeyEvent* key) const;
    bool selectsFirstLine(const QKeyEvent* key) const;

    QAbstractItemView* view_;
    std::function<void()> doubleClick_;
};
