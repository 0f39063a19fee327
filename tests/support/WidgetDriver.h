#pragma once

#include <QAbstractButton>
#include <QListWidget>
#include <QStringList>
#include <QTest>

// Small helpers that work real widgets the way a user does.
namespace WidgetDriver {

template <class T = QWidget>
T* child(QWidget* window, const char* name) {
    T* w = window->findChild<T*>(QLatin1String(name));
    if (!w)
        qFatal("no child %s in %s", name, qPrintable(window->objectName()));
    return w;
}

inline void click(QWidget* window, const char* buttonName) {
    QTest::mouseClick(child<QAbstractButton>(window, buttonName), Qt::LeftButton);
}

inline QStringList lines(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

inline QPoint lineCentre(QListWidget* list, int row) {
    list->scrollToItem(list->item(row));
    return list->visualItemRect(list->item(row)).center();
}

inline void clickLine(QListWidget* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, lineCentre(list, row));
}

// A double-click as the system delivers it: a click, then the double-click.
inline void doubleClickLine(QListWidget* list, int row) {
    const QPoint at = lineCentre(list, row);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

}  // namespace WidgetDriver
