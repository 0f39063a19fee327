#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
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

// The lines of a list as it shows them.
inline QStringList lines(const QAbstractItemView* list) {
    QStringList out;
    const QAbstractItemModel* model = list->model();
    for (int row = 0; row < model->rowCount(); ++row)
        out << model->index(row, 0).data().toString();
    return out;
}

inline QPoint lineCentre(QAbstractItemView* list, int row) {
    const QModelIndex line = list->model()->index(row, 0);
    list->scrollTo(line);
    return list->visualRect(line).center();
}

inline void clickLine(QAbstractItemView* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, lineCentre(list, row));
}

// Press, release, double-click, release: what a real double-click delivers.
inline void doubleClickLine(QAbstractItemView* list, int row) {
    const QPoint at = lineCentre(list, row);
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
}

}  // namespace WidgetDriver
