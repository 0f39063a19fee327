#pragma once

#include <QLabel>

// A web address shown as a link: a click, or Enter or Space while it has
// the focus, emits linkActivated with the address. Screen readers meet it
// as a link named by its caption.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& caption, const QString& address, QWidget* parent = nullptr);

    const QString& address() const { return address_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString address_;
};
