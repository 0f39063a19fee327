#pragma once

#include <QHash>
#include <QMainWindow>
#include <optional>

#include "app/AppContext.h"
#include "data/ChangeWatcher.h"
#include "data/TreeData.h"
#include "data/rules/TextRules.h"
#include "data/transfer/CsvExport.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolBar;
class QTimer;
class QTreeView;
class DetailList;
class PictureBox;
class TreeLoader;
class TreeModel;

// The hub of the program: the tree of all items, cases and lists, the detail
// lines of the selected item, the toolbar, the context menu and the
// quick-open box. It lives for the whole run and hands every other window the
// context (made in main(), before it) that reaches the store, the settings and
// the shared fields.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(AppContext& ctx, QWidget* parent = nullptr);
    ~frmMain() override;

    AppContext& context() { return ctx_; }
    SharedFields& fields() { return ctx_.fields(); }

    // Empties the detail list and reads the tree from the database again, on
    // a thread of its own: the window shows the tree it has until the new
    // one comes, and stays responsive on a large register.
    void RefreshTree();
    // True until the tree is in: while it is read, or before the first
    // paint has started its read.
    bool treeReading() const;
    // Reads the tree again as RefreshTree does, but keeps what the user
    // selected, expanded and scrolled to, and the detail lines of the item
    // shown (read afresh): for changes made at other desks.
    void refreshKeepingView();

    // The tree as last read; waits for a read under way.
    TreeModel* treeModel();

public slots:
    void Form_Load();
    void loadOnce();
    void TreeView1_Click();
    void List1_Click();
    void List1_DblClick();
    void List1_RightButtonPress(const QPoint& globalPos);
    void List1_MenuKey();
    void Image1_DblClick();
    void Command2_Click();
    void mnuEdit_Click();
    void mnuDelete_Click();
    void mnuImportItems_Click();
    void mnuExportCsv_Click();
    void mnuChangeLog_Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildToolbar();
    void buildTransferActions();
    // What the export takes out: the case or list selected in the tree, or every item.
    CsvExport::What selectedExport() const;
    void buildMenuBar();
    void buildControls();
    void buildItemMenu();
    void setItemCommandsEnabled(bool enabled);
    void checkRegisterForDamage();
    // Starts the checks once the window has painted and its first tree is in.
    void checkWhenShownWithTree();
    // The tree read behind the window has come: it fills the tree and the
    // status line. A failed read is read again here, where the store tells
    // the user why.
    void treeRead(std::optional<TreeData> tree);
    void showListPlan(const ListPlan& plan);
    void showItemDetails(qint64 id);
    void addCaseTests(QStringList& lines, const ItemRecord& item);
    void watchOtherDesks();
    void otherDesksChanged(const QList<ChangeNote>& notes);
    void tellLiveChange(const QString& text);
    // What a refresh for other desks' changes puts back once the tree is in.
    struct ViewState {
        QString currentKey;
        QStringList expandedKeys;
        int scroll = 0;
        int detailRow = -1;
        int detailScroll = 0;
    };
    ViewState viewState() const;
    void restoreView(const ViewState& state);
    // The number after "Flight Case: F" on the selected detail line; none
    // when another line (or no line) is selected.
    std::optional<QString> selectedCaseNumber() const;

    // Commands shared by the toolbar and the context menu.
    void addItem();
    void addCase();
    void addList();
    void editItem();
    void deleteItem();
    // Shows the record the quick-open box asked for when it exists.
    void quickOpen(const TextRules::QuickOpen& wanted);
    void openCaseViewer();
    void openListViewer();
    void openItemViewer();
    void openTestsDue();
    void openScan();
    void openAvailability();
    void offerOpenScanSessions();
    void openPrinterChooser();
    void openDatabaseDownload();
    void openAbout();
    void exitProgram();  // closing the main window ends the program

    AppContext& ctx_;
    bool centred_ = false;
    bool loaded_ = false;
    bool painted_ = false;  // the tree's first paint
    bool damageCheckDue_ = false;
    bool treeUnread_ = false;  // the last tree read failed, and the user was told why
    // The item the detail lines show (0: none). Edit and Delete act on it,
    // whatever a window opened from here has since written to ItemToOpen.
    qint64 shownItem_ = 0;

    QToolBar* Toolbar1 = nullptr;
    QHash<QString, QAction*> toolbarActions_;  // by key
    QHash<QString, QAction*> menuActions_;     // the menu bar's own commands, by key
    QLabel* Label1 = nullptr;
    PictureBox* Image1 = nullptr;
    QTreeView* TreeView1 = nullptr;
    TreeModel* model_ = nullptr;
    TreeLoader* loader_ = nullptr;
    DetailList* List1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command2 = nullptr;
    QMenu* Item = nullptr;
    QLabel* lblTestsDue = nullptr;
    // What another desk changed last ("Item 45 changed at DESK-B"), a while.
    QLabel* lblChanges = nullptr;
    QTimer* changesShown_ = nullptr;
    std::optional<ViewState> keptView_;  // "N overdue · M due within 30 days"; opens Tests Due
};
