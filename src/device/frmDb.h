#pragma once

#include <QDialog>

#include "app/AppContext.h"
#include "app/DeviceService.h"

class QLabel;
class QLineEdit;
class QPushButton;

// Copies the whole desktop register to a handheld device through the device
// service, and says how it went.
class frmDb : public QDialog {
    Q_OBJECT
public:
    explicit frmDb(AppContext& ctx, QWidget* parent = nullptr);

public slots:
    void Form_Load();
    void Command1_Click();  // "Download to Device"
    void Command2_Click();  // "Close"
    void Command3_Click();  // "..."

    // Esc, Close and the title bar wait while a download runs.
    void reject() override;

private:
    void buildControls();
    void setBusy(bool busy);
    void report(const DeviceService::Call& call);

    AppContext& ctx_;
    bool busy_ = false;

    QLabel* Label1 = nullptr;
    QLineEdit* txtDesktopDB = nullptr;
    QPushButton* Command3 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtPPCDB = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
};
