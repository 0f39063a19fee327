#pragma once

// The fonts the program draws and prints with.
namespace Fonts {

// Makes "Tahoma" available: the system's, else the copy that Debian's
// fonts-wine package carries; otherwise Qt's fallback serves.
void loadTahoma();

}  // namespace Fonts
