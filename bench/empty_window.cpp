// An empty Qt window, the yardstick of quarvel-bench-startup: how soon any Qt
// Widgets program can have a window on screen.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Empty"));
    window.resize(821, 392);  // the size of the splash
    window.show();
    return app.exec();
}
