#pragma once

#include <QListWidget>

// A list of detail lines, a caption followed by its value on each line.
// It answers the keys as every list of the program does (ListKeys):
// `lineClicked` comes on a click and on every change of the selected line,
// `lineDoubleClicked` on a double-click on a line and on Enter.
class DetailList : public QListWidget {
    Q_OBJECT
public:
    DetailList(const QString& accessibleName, QWidget* parent = nullptr);

signals:
    void lineClicked();
    void lineDoubleClicked();
};
