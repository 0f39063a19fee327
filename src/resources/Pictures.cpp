#include "resources/Pictures.h"

namespace Pictures {

QPixmap largeLogo() {
    return QPixmap(QStringLiteral(":/pictures/logo_large.png"));
}
QPixmap smallLogo() {
    return QPixmap(QStringLiteral(":/pictures/logo_small.png"));
}
QPixmap mainLogo() {
    return QPixmap(QStringLiteral(":/pictures/logo_main.png"));
}
QPixmap splash() {
    return QPixmap(QStringLiteral(":/pictures/splash.png"));
}
QPixmap funny() {
    return QPixmap(QStringLiteral(":/pictures/funny.png"));
}
QPixmap toolbarIcon(const QString& key) {
    return QPixmap(QStringLiteral(":/pictures/tb_%1.png").arg(key.toLower()));
}

}  // namespace Pictures
