#pragma once

#include <QDialog>

#include "app/AppContext.h"

class QLabel;
class QTimer;

// The hidden picture window at the end of the double-click sequence: one
// picture, no controls, no title, gone by itself after twenty seconds and
// not before (Esc does nothing).
class frmFunny : public QDialog {
    Q_OBJECT
public:
    explicit frmFunny(AppContext& ctx, QWidget* parent = nullptr);

    QTimer* Timer1 = nullptr;

public slots:
    void Form_Load();
    void Timer1_Timer();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    AppContext& ctx_;
    QLabel* Picture = nullptr;
};
