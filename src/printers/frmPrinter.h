#pragma once

#include <QDialog>

#include "app/AppContext.h"

class QComboBox;
class QLabel;
class QPushButton;

// The printer chooser: picks the large-label, small-label and list printers
// from the installed printers and stores their device names. It never
// changes the current printer; the print routines look the names up.
class frmPrinter : public QDialog {
    Q_OBJECT
public:
    explicit frmPrinter(AppContext& ctx, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* Combo1 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* Combo2 = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* Combo3 = nullptr;
    QPushButton* Command1 = nullptr;
    // Shown, at the top, only when no printer is installed.
    QLabel* lblNoPrinter = nullptr;

    // True when the system listed no printer at all when the window opened.
    bool noPrinterInstalled() const { return noPrinterInstalled_; }

public slots:
    void Form_Load();
    void Command1_Click();

private:
    void buildControls();
    QComboBox* addPrinterBox(QLabel*& caption, const QString& labelName, const QString& text,
                             const QString& boxName, int top);
    void storeChoice(QComboBox* box, const QString& key);
    void showNoPrinterNote();

    AppContext& ctx_;
    bool noPrinterInstalled_ = false;
};
