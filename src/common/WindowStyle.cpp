#include "common/WindowStyle.h"

#include <QAbstractButton>
#include <QDialog>
#include <QFile>
#include <QFontDatabase>
#include <QKeySequence>
#include <QPalette>
#include <QPushButton>
#include <QShortcut>
#include <QWidget>

namespace WindowStyle {

QFont tahoma(double pointSize, bool bold) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

void loadTahoma() {
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma")))
        return;
    for (const char* file :
         {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
        if (QFile::exists(QLatin1String(file)))
            QFontDatabase::addApplicationFont(QLatin1String(file));
    }
}

void setUpWindow(QWidget* window, const QString& caption, int widthTwips, int heightTwips) {
    window->setWindowTitle(caption);
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, Qt::white);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    window->setFont(tahoma(12));
    window->setFixedSize(pixels(widthTwips), pixels(heightTwips));
    window->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    window->setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, true);
}

void place(QWidget* child, int left, int top, int width, int height) {
    child->setGeometry(twipsRect(left, top, width, height));
}

QPushButton* addButton(QWidget* parent, const char* objectName, const QString& caption, int left,
                       int top, int width, int height) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(objectName));
    button->setAutoDefault(false);
    place(button, left, top, width, height);
    return button;
}

void setTabOrder(std::initializer_list<QWidget*> widgets) {
    QWidget* previous = nullptr;
    for (QWidget* w : widgets) {
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

void makeCancelButton(QDialog* dialog, QAbstractButton* button) {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), dialog);
    QObject::connect(escape, &QShortcut::activated, button, &QAbstractButton::click);
}

}  // namespace WindowStyle
