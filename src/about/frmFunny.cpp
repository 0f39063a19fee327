#include "about/frmFunny.h"

#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

#include "resources/Pictures.h"

namespace {
constexpr int kShownMs = 20000;
}

frmFunny::frmFunny(AppContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmFunny"));
    // A blank: the desktop shows the program's name in place of an empty title.
    setWindowTitle(QStringLiteral(" "));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const QPixmap picture = Pictures::funny();
    Picture = new QLabel(this);
    Picture->setPixmap(picture);
    Picture->setAccessibleName(QStringLiteral("Cartoon strip"));
    Picture->setGeometry(0, 0, picture.width(), picture.height());
    setFixedSize(picture.size());

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(kShownMs);
    connect(Timer1, &QTimer::timeout, this, &frmFunny::Timer1_Timer);
    Form_Load();
}

// The sequence starts over: the picture is shown once per sequence.
void frmFunny::Form_Load() {
    Timer1->start();
    ctx_.fields().Funny = QString();
}

void frmFunny::Timer1_Timer() {
    accept();
}

void frmFunny::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
