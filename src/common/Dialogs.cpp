#include "common/Dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QInputDialog>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <algorithm>

namespace {
const QString kTitle = QStringLiteral("Quarvel");

QWidget* ownerOr(QWidget* parent) {
    return parent ? parent : QApplication::activeWindow();
}

// A QProgressDialog made only once the job has run for half a second, so a
// short job flashes nothing. While it shows, each report lets the window
// system in (at most ten times a second) so that the dialog paints and its
// Cancel button can be pressed.
class DialogProgress : public Progress {
public:
    static constexpr qint64 kShowAfterMs = 500;
    static constexpr qint64 kUpdateEveryMs = 100;

    DialogProgress(QWidget* parent, const QString& what) : parent_(ownerOr(parent)), what_(what) {
        started_.start();
    }
    ~DialogProgress() override { delete dialog_; }

    bool report(std::int64_t done, std::int64_t total) override {
        if (cancelled_)
            return false;
        const qint64 now = started_.elapsed();
        if (now < kShowAfterMs || now - lastUpdate_ < kUpdateEveryMs)
            return true;
        lastUpdate_ = now;
        if (!dialog_)
            open();
        // A scale of thousandths keeps counts beyond an int in range.
        dialog_->setMaximum(total > 0 ? 1000 : 0);
        dialog_->setValue(
            total > 0 ? static_cast<int>(std::min<std::int64_t>(done, total) * 1000 / total) : 0);
        const QLocale locale;
        // Nothing counted at all (a wait for a server): the words alone.
        dialog_->setLabelText(
            done == 0 && total == 0 ? QStringLiteral("%1…").arg(what_)
            : total > 0
                ? QStringLiteral("%1…\n%2 of %3 done")
                      .arg(what_, locale.toString(qint64(done)), locale.toString(qint64(total)))
                : QStringLiteral("%1…\n%2 done").arg(what_, locale.toString(qint64(done))));
        QCoreApplication::processEvents();
        cancelled_ = dialog_->wasCanceled();
        return !cancelled_;
    }
    bool cancelled() const override { return cancelled_; }

private:
    void open() {
        dialog_ = new QProgressDialog(what_, QStringLiteral("Cancel"), 0, 0, parent_);
        dialog_->setObjectName(QStringLiteral("dlgProgress"));
        dialog_->setWindowTitle(kTitle);
        dialog_->setAccessibleName(what_);
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->setMinimumDuration(0);
        dialog_->show();
    }

    QPointer<QWidget> parent_;
    QString what_;
    QElapsedTimer started_;
    qint64 lastUpdate_ = 0;
    QProgressDialog* dialog_ = nullptr;
    bool cancelled_ = false;
};

}  // namespace

std::unique_ptr<Progress> Dialogs::progress(QWidget*, const QString&) {
    return nullptr;
}

int Dialogs::choose(QWidget*, const QString&, const QStringList&) {
    return -1;
}

int QtDialogs::choose(QWidget* parent, const QString& text, const QStringList& choices) {
    QMessageBox box(ownerOr(parent));
    box.setWindowTitle(kTitle);
    box.setText(text);
    box.setIcon(QMessageBox::Question);
    QList<QAbstractButton*> buttons;
    for (const QString& choice : choices)
        buttons << box.addButton(choice, QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return static_cast<int>(buttons.indexOf(box.clickedButton()));
}

std::unique_ptr<Progress> QtDialogs::progress(QWidget* parent, const QString& what) {
    return std::make_unique<DialogProgress>(parent, what);
}

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
