#pragma once

#include <QDialog>

#include "common/AppContext.h"

class QLabel;
class QTimer;

// The hidden picture window at the end of the double-click sequence: one
// picture, no controls, gone by itself after twenty seconds.
class frmFunny : public QDialog {
    Q_OBJECT
public:
    explicit frmFunny(AppContext& ctx, QWidget* parent = nullptr);

    QTimer* Timer1 = nullptr;

public slots:
    void Form_Load();
    void Timer1_Timer();

private:
    AppContext& ctx_;
    QLabel* Picture = nullptr;
};
