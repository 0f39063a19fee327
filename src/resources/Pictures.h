#pragma once

#include <QPixmap>

// The program's own pictures, compiled into the binary.
namespace Pictures {
QPixmap largeLogo();  // 214 x 71, record windows; printed on large labels
QPixmap smallLogo();  // 80 x 20, printed on small labels
QPixmap mainLogo();   // 120 x 40, the main window
QPixmap splash();     // 818 x 273, the splash window
QPixmap funny();      // 393 x 740, the hidden picture window
QPixmap toolbarIcon(const QString& key);
QPixmap programIcon();  // 256 x 256, the windows' icon, as the menu entry shows it
}  // namespace Pictures
