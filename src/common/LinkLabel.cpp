#include "common/LinkLabel.h"

#include <QKeyEvent>

LinkLabel::LinkLabel(const QString& caption, const QString& address, QWidget* parent)
    : QLabel(parent), address_(address) {
    setTextFormat(Qt::RichText);
    setText(QStringLiteral("<a href=\"%1\">%2</a>")
                .arg(address.toHtmlEscaped(), caption.toHtmlEscaped()));
    setAccessibleName(caption);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    setFocusPolicy(Qt::StrongFocus);
    setOpenExternalLinks(false);
}

void LinkLabel::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            event->accept();
            emit linkActivated(address_);
            return;
        default:
            QLabel::keyPressEvent(event);
    }
}
