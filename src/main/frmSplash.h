#pragma once

#include <QDialog>
#include <functional>

#include "app/AppContext.h"

class QLabel;
class QTimer;
class PictureBox;

// The window the program starts in: the artwork and the version. It makes
// sure the three printers have been chosen once (where none is installed, it
// says so once), then after five seconds, or at a click, shows the main
// window and closes itself. Once the splash is on screen the main window
// reads its tree behind it, so that it shows filled at the hand-over.
class frmSplash : public QDialog {
    Q_OBJECT
public:
    // Makes the main window (called once, when it is first needed).
    using MainWindowMaker = std::function<QWidget*()>;

    // mainWindow is shown at the hand-over.
    frmSplash(AppContext& ctx, QWidget* mainWindow, QWidget* parent = nullptr);
    // The main window is made once the splash has painted, so that the
    // splash is on screen first.
    frmSplash(AppContext& ctx, MainWindowMaker makeMainWindow, QWidget* parent = nullptr);

    PictureBox* Image1 = nullptr;
    PictureBox* Label1 = nullptr;
    PictureBox* Label2 = nullptr;
    QLabel* lblVersion = nullptr;
    QTimer* Timer1 = nullptr;

public slots:
    void Form_Load();
    void Form_Click();
    void Image1_Click();
    void Label1_Click();
    void Label2_Click();
    void Timer1_Timer();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    bool anyPrinterNotChosen() const;
    bool toldNoPrinterIsInstalled() const;
    void handOver();
    QWidget* mainWindow();
    void prepareMainWindow();

    AppContext& ctx_;
    MainWindowMaker makeMainWindow_;
    QWidget* mainWindow_ = nullptr;
    bool painted_ = false;
    bool loadStarted_ = false;
    bool loaded_ = false;
    bool handedOver_ = false;
};
