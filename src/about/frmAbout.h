#pragma once

#include <QDialog>

class LinkLabel;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// Who made Quarvel, which version this is, and the way to the maker's web site.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

public slots:
    void Form_Load();
    void lblURL_Click();
    void lblCopyright_Click();
    void cmdOK_Click();

private:
    void buildControls();
    QLabel* addLabel(const char* name, const QString& text, int left, int top, int width,
                     int height);
    // A link that opens the address held as its tag, by mouse or keyboard.
    LinkLabel* addLink(const char* name, const QString& text, const QString& address, int top);

    QLabel* Label1 = nullptr;          // orange panel
    QLabel* lblDescription = nullptr;  // pale yellow panel
    QLabel* imgIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblInfo = nullptr;
    QLabel* lblVersion = nullptr;
    LinkLabel* lblURL = nullptr;
    LinkLabel* lblCopyright = nullptr;
    QLabel* lblDotLine = nullptr;
    QPlainTextEdit* txtSpecialCopyright = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* cmdOK = nullptr;
};
