#pragma once

#include <QKeyEvent>
#include <QLabel>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

// A picture that reports clicks and double-clicks, as the logos do. Once a
// window listens to them the picture joins the Tab chain, and Enter or Space
// does what a double-click does (which, as with the mouse, starts with a
// click), so the keyboard reaches whatever the mouse does. A picture that
// reacts to a double-click tells screen readers so.
class PictureBox : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    bool reportsClicks() const {
        return isSignalConnected(QMetaMethod::fromSignal(&PictureBox::clicked)) ||
               isSignalConnected(QMetaMethod::fromSignal(&PictureBox::doubleClicked));
    }

signals:
    void clicked();
    void doubleClicked();

protected:
    void connectNotify(const QMetaMethod& signal) override {
        const bool doubleClick = signal == QMetaMethod::fromSignal(&PictureBox::doubleClicked);
        if (doubleClick || signal == QMetaMethod::fromSignal(&PictureBox::clicked))
            setFocusPolicy(Qt::TabFocus);
        if (doubleClick && accessibleDescription().isEmpty())
            setAccessibleDescription(QStringLiteral("Reacts to a double-click, or to Space"));
        QLabel::connectNotify(signal);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            emit clicked();
        QLabel::mouseReleaseEvent(event);
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton)
            emit doubleClicked();
        QLabel::mouseDoubleClickEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Space:
                emit clicked();
                emit doubleClicked();
                event->accept();
                return;
            default:
                QLabel::keyPressEvent(event);
        }
    }
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        if (!hasFocus())
            return;
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        QPainter painter(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
};
