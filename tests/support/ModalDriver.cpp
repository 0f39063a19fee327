#include "ModalDriver.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>

namespace ModalDriver {

QWidget* findWindow(const QString& objectName) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == objectName && w->isVisible())
            return w;
    }
    return nullptr;
}

void whenShown(const QString& objectName, std::function<void(QWidget*)> action, int timeoutMs) {
    auto* timer = new QTimer(qApp);
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->objectName() == objectName) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            action(modal);
            return;
        }
        if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            qWarning("ModalDriver: no modal window %s appeared (active modal: %s)",
                     qPrintable(objectName), modal ? qPrintable(modal->objectName()) : "none");
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
        }
    });
    timer->start();
}

bool shownDuring(const QString& objectName, const std::function<void()>& action) {
    bool shown = false;
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (modal && modal->objectName() == objectName) {
            shown = true;
            modal->reject();
        }
    });
    watch.start();
    action();
    return shown;
}

bool waitClosed(const QString& objectName, int timeoutMs) {
    return QTest::qWaitFor([&] { return findWindow(objectName) == nullptr; }, timeoutMs);
}

}  // namespace ModalDriver
