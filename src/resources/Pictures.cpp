#include "resources/Pictures.h"

#include <QImageReader>
#include <QPixmapCache>

// The pictures live in the static core library, where nothing refers to them
// by name; registering them explicitly keeps the linker from dropping them.
// (Outside any namespace: the macro declares the registration function.)
static void registerPictures() {
    Q_INIT_RESOURCE(resources);
}

namespace Pictures {

namespace {
// Read as what they are, PNG: asked to guess, Qt's reader would first load
// every image format plugin installed to ask each whether it reads the file.
QPixmap picture(const QString& path) {
    static const bool registered = (registerPictures(), true);
    Q_UNUSED(registered);
    QPixmap pixmap;
    if (QPixmapCache::find(path, &pixmap))
        return pixmap;
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    pixmap = QPixmap::fromImage(reader.read());
    QPixmapCache::insert(path, pixmap);
    return pixmap;
}
}  // namespace

QPixmap largeLogo() {
    return picture(QStringLiteral(":/pictures/logo_large.png"));
}
QPixmap smallLogo() {
    return picture(QStringLiteral(":/pictures/logo_small.png"));
}
QPixmap mainLogo() {
    return picture(QStringLiteral(":/pictures/logo_main.png"));
}
QPixmap splash() {
    return picture(QStringLiteral(":/pictures/splash.png"));
}
QPixmap funny() {
    return picture(QStringLiteral(":/pictures/funny.png"));
}
QPixmap toolbarIcon(const QString& key) {
    return picture(QStringLiteral(":/pictures/tb_%1.png").arg(key.toLower()));
}
QPixmap programIcon() {
    return picture(QStringLiteral(":/pictures/quarvel_256.png"));
}

}  // namespace Pictures
