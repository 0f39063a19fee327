#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <initializer_list>

class QWidget;
class QDialog;
class QAbstractButton;
class QPushButton;

// Window layout in the design's twips (1440 to the inch, 15 to a screen pixel).
namespace WindowStyle {

constexpr int pixels(int twips) {
    return (twips + 7) / 15;
}
inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

// "Tahoma" at the given size; the program brings a Tahoma of its own when
// the system has none (see Fonts::loadTahoma).
QFont tahoma(double pointSize, bool bold = false);

// White background, Tahoma 12 pt, fixed client size, the given caption;
// the program's accessible interfaces are installed with the first window.
void setUpWindow(QWidget* window, const QString& caption, int widthTwips, int heightTwips);

// Centres a top-level window on its screen.
void centreOnScreen(QWidget* window);

// Places a child at design coordinates in twips.
void place(QWidget* child, int left, int top, int width, int height);

// A push button at design coordinates; it never turns into the default
// button by taking the focus.
QPushButton* addButton(QWidget* parent, const char* objectName, const QString& caption, int left,
                       int top, int width, int height);

// Sets the keyboard order of the widgets, first to last.
void setTabOrder(std::initializer_list<QWidget*> widgets);

// For a window that cannot work without its record (it is gone): nothing in
// it can be used any more, and it closes as soon as its caller shows it,
// leaving everything as it was.
void closeOnceShown(QDialog* window);

// Makes the button the dialog's cancel button: Esc clicks it.
void makeCancelButton(QDialog* dialog, QAbstractButton* button);

}  // namespace WindowStyle
