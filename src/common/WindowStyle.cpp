#include "common/WindowStyle.h"

#include <QAbstractButton>
#include <QDialog>
#include <QKeySequence>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QWidget>

#include "common/Accessibility.h"

namespace WindowStyle {

QFont tahoma(double pointSize, bool bold) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

void setUpWindow(QWidget* window, const QString& caption, int widthTwips, int heightTwips) {
    Accessibility::install();
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

void centreOnScreen(QWidget* window) {
    if (const QScreen* screen = window->screen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
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

void closeOnceShown(QDialog* window) {
    for (QWidget* control : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        control->setEnabled(false);
    QMetaObject::invokeMethod(window, &QDialog::reject, Qt::QueuedConnection);
}

void makeCancelButton(QDialog* dialog, QAbstractButton* button) {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), dialog);
    QObject::connect(escape, &QShortcut::activated, button, &QAbstractButton::click);
}

}  // namespace WindowStyle
