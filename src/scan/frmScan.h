#pragma once

#include <QDialog>
#include <optional>

#include "app/AppContext.h"
#include "data/rules/ScanRules.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// A scan session: a stocktake of a location, packing a picking list or
// checking it back in. The session is chosen first; then every scan (a
// scanner's digits and Enter, or typed) is answered at once, stored, and the
// scan box cleared for the next. Finish shows the summary; a stocktake can
// then move what belongs elsewhere to this location in one step. A session
// left open when the program ended is offered again when the window opens.
class frmScan : public QDialog {
    Q_OBJECT
public:
    explicit frmScan(AppContext& ctx, QWidget* parent = nullptr);

    const std::optional<ScanRules::Session>& session() const { return session_; }
    const ScanRules::Summary& summary() const { return summary_; }

    QComboBox* cboKind = nullptr;
    QComboBox* cboWhere = nullptr;
    QPushButton* cmdStart = nullptr;
    QLineEdit* txtScan = nullptr;
    QLabel* lblAnswer = nullptr;
    QListWidget* lstScans = nullptr;
    QPlainTextEdit* txtSummary = nullptr;
    QPushButton* cmdLoad = nullptr;
    QPushButton* cmdFinish = nullptr;
    QPushButton* cmdMove = nullptr;
    QPushButton* cmdExport = nullptr;
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdPrint = nullptr;

public slots:
    void Form_Load();
    void cboKind_Change();
    void cmdStart_Click();
    void txtScan_Enter();
    void cmdLoad_Click();
    void cmdFinish_Click();
    void cmdMove_Click();
    void cmdExport_Click();
    void cmdAdd_Click();
    void cmdPrint_Click();

private:
    void buildControls();
    // Offers each session left open; true when one was taken up again.
    bool offerOpenSessions();
    void begin(const ScanRules::Session& session);
    // The session the choice names: a location, or a list by number or name.
    std::optional<ScanRules::Session> chosenSession();
    void handleScan(const QString& scanned);
    // Answers and stores the code; a bare number that may be an item's
    // label or a case's is asked about first.
    void scan(const QString& scanned, const ScanRules::Code& code);
    // Which of the two the number names; nullopt when the user would not say.
    std::optional<ScanRules::Code> askItemOrCase(qint64 id);
    void announce(const QString& line, bool problem);
    void showSummary();
    void showNewScans();

    AppContext& ctx_;
    std::optional<ScanRules::Session> session_;
    ScanRules::Summary summary_;
    QStringList refused_;    // the answer lines of codes not taken in this window
    qint64 lastRecord_ = 0;  // the last scan the list shows
    qint64 addable_ = 0;     // the item last answered "not on this list" when packing
};
