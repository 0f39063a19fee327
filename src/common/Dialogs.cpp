#include "common/Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {
const QString kTitle = QStringLiteral("Quarvel");

QWidget* ownerOr(QWidget* parent) {
    return parent ? parent : QApplication::activeWindow();
}
}  // namespace

Dialogs::Answer QtDialogs::message(QWidget* parent, const QString& text, Icon icon,
                                   Buttons buttons) {
    QMessageBox box(ownerOr(parent));
    box.setWindowTitle(kTitle);
    box.setText(text);
    switch (icon) {
        case Icon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Icon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case Icon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case Icon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
    }
    if (buttons != Buttons::Ok) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(buttons == Buttons::YesNo ? QMessageBox::Yes : QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return Answer::Ok;
}

QString QtDialogs::inputBox(QWidget* parent, const QString& prompt, const QString& defaultText) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(ownerOr(parent), kTitle, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

QString QtDialogs::openFileName(QWidget* parent, const QString& startName) {
    return QFileDialog::getOpenFileName(ownerOr(parent), QString(), startName);
}

QString QtDialogs::saveFileName(QWidget* parent, const QString& startName, const QString& filter) {
    return QFileDialog::getSaveFileName(ownerOr(parent), QString(), startName, filter);
}
