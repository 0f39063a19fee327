#include "main/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <string_view>

#include "about/frmAbout.h"
#include "availability/frmAvailability.h"
#include "cases/frmFlightAddEdit.h"
#include "cases/frmFlightView.h"
#include "common/DetailList.h"
#include "common/Dialogs.h"
#include "common/PictureBox.h"
#include "common/WindowStyle.h"
#include "data/CaseStore.h"
#include "data/ItemStore.h"
#include "data/ListStore.h"
#include "data/Register.h"
#include "data/ScanStore.h"
#include "data/Settings.h"
#include "data/TestRecordStore.h"
#include "data/TreeStore.h"
#include "data/rules/DetailLines.h"
#include "data/rules/TextRules.h"
#include "data/transfer/CsvExport.h"
#include "device/frmDb.h"
#include "history/frmChangeLog.h"
#include "items/frmItemAddEdit.h"
#include "items/frmItemImport.h"
#include "items/frmItemView.h"
#include "items/frmTestsDue.h"
#include "lists/frmListAddEdit.h"
#include "lists/frmListView.h"
#include "main/TreeLoader.h"
#include "main/TreeModel.h"
#include "printers/frmPrinter.h"
#include "resources/Pictures.h"
#include "scan/frmScan.h"

using WindowStyle::place;

namespace {

// The menu bar's menus and the commands in each; an empty key is a separator.
struct MenuBarMenu {
    const char* name;
    const char* title;
    std::initializer_list<const char*> keys;
};

const MenuBarMenu kMenuBar[] = {
    {"mnuFile",
     "&File",
     {"AddItem", "AddCase", "AddList", "", "ImportItems", "ExportCsv", "ChangeLog", "", "Printers",
      "Database", "", "Exit"}},
    {"mnuItem", "&Item", {"Edit", "Delete", "", "TestsDue", "Scan", "Availability"}},
    {"mnuHelp", "&Help", {"About"}},
};

// What "Export to CSV…" takes out for the selected node: the case or the
// list it stands in, otherwise every item.
CsvExport::What exportOfNode(const QString& key) {
    static const QRegularExpression caseOrList(QStringLiteral("^([CL])(\\d+)"));
    const QRegularExpressionMatch m = caseOrList.match(key);
    if (!m.hasMatch())
        return {ExportKind::Items, 0};
    const qint64 id = m.captured(2).toLongLong();
    return {m.captured(1) == QLatin1String("C") ? ExportKind::CaseItems : ExportKind::ListLines,
            id};
}

QString exportCaption(const CsvExport::What& what) {
    switch (what.kind) {
        case ExportKind::CaseItems:
            return QStringLiteral("E&xport Flight Case F%1 to CSV…").arg(what.id);
        case ExportKind::ListLines:
            return QStringLiteral("E&xport List %1 to CSV…").arg(what.id);
        case ExportKind::Items:
        case ExportKind::Bookings:  // not a node's: the command line's
        case ExportKind::Changes:
            break;
    }
    return QStringLiteral("E&xport Items to CSV…");
}

// The case id of the case line's number; a number beyond the id range
// (a stored 1e300) is clamped, never converted out of range.
qint64 caseIdOf(const QString& caseNumber) {
    return TextRules::wholeNumber(TextRules::numericValue(caseNumber));
}

// A left click on the status line, or Enter or Space while it has the focus.
// Enter is kept from the window's quick open there.
bool opensTestsDue(QEvent* event) {
    const auto isEnter = [](QEvent* e) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
    };
    switch (event->type()) {
        case QEvent::MouseButtonRelease:
            return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
        case QEvent::ShortcutOverride:
            if (isEnter(event))
                event->accept();
            return false;
        case QEvent::KeyPress:
            return isEnter(event);
        default:
            return false;
    }
}

}  // namespace

frmMain::frmMain(AppContext& ctx, QWidget* parent) : QMainWindow(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmMain"));
    WindowStyle::setUpWindow(this, QStringLiteral("Quarvel - Brackenlow"), 12285, 9825);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setCentralWidget(new QWidget(this));
    buildToolbar();
    buildTransferActions();
    buildMenuBar();
    buildControls();
    buildItemMenu();
    // Once the controls the filter looks at are there.
    lblTestsDue->installEventFilter(this);
    loader_ = new TreeLoader(
        ctx_.registerLocation(), [this] { return ctx_.settings().busyWaitMs(); }, this);
    connect(loader_, &TreeLoader::read, this, &frmMain::treeRead);
    model_->setWaitForTree([this] {
        loadOnce();
        loader_->wait();
    });
}

frmMain::~frmMain() = default;

// Each command is one action, shown on the toolbar and in the menu bar with
// the same caption; its shortcut works anywhere in the window. Only Delete is
// also an editing key: in the quick-open box it deletes a character.
void frmMain::buildToolbar() {
    struct ToolbarButton {
        const char* key;
        const char* caption;
        const char* shortcut;
        bool enabledAtStart;
        void (frmMain::*command)();
    };
    static const ToolbarButton buttons[] = {
        {"AddItem", "Add Item", "Ctrl+N", true, &frmMain::addItem},
        {"AddCase", "Add Case", "Ctrl+Shift+C", true, &frmMain::addCase},
        {"AddList", "Add List", "Ctrl+Shift+L", true, &frmMain::addList},
        {"Edit", "Edit", "F2", false, &frmMain::editItem},
        {"Delete", "Delete", "Del", false, &frmMain::deleteItem},
        {"Printers", "Printers", "Ctrl+P", true, &frmMain::openPrinterChooser},
        {"Database", "Database", "Ctrl+Shift+D", true, &frmMain::openDatabaseDownload},
        {"About", "About", "F1", true, &frmMain::openAbout},
        {"Exit", "Exit", "Ctrl+Q", true, &frmMain::exitProgram},
        // Beyond the first nine, which keep their places.
        {"TestsDue", "Tests Due", "Ctrl+T", true, &frmMain::openTestsDue},
        {"Scan", "Scan", "Ctrl+Shift+S", true, &frmMain::openScan},
        {"Availability", "Availability", "Ctrl+Shift+A", true, &frmMain::openAvailability},
    };
    Toolbar1 = new QToolBar(centralWidget());
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    Toolbar1->setIconSize(QSize(24, 24));
    Toolbar1->setMovable(false);
    Toolbar1->setFont(WindowStyle::tahoma(8));
    // Down to the heading, so the captions under the icons are not cut.
    Toolbar1->setGeometry(0, 0, width(), WindowStyle::pixels(840));
    for (const ToolbarButton& b : buttons) {
        const QString key = QLatin1String(b.key);
        QAction* action =
            Toolbar1->addAction(QIcon(Pictures::toolbarIcon(key)), QString::fromLatin1(b.caption));
        action->setShortcut(QKeySequence(QString::fromLatin1(b.shortcut)));
        action->setObjectName(key);
        action->setData(key);
        toolbarActions_.insert(key, action);
        action->setEnabled(b.enabledAtStart);
        // A command acts on the register as this program lays it out: the
        // register is opened first (slots run in the order connected).
        connect(action, &QAction::triggered, this, &frmMain::loadOnce);
        connect(action, &QAction::triggered, this, b.command);
    }
}

// CSV files in and out, and the change log: in the File menu only.
void frmMain::buildTransferActions() {
    const auto add = [this](const char* key, const QString& caption, auto slot) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QLatin1String(key));
        connect(action, &QAction::triggered, this, slot);
        menuActions_.insert(QLatin1String(key), action);
    };
    add("ImportItems", QStringLiteral("&Import Items…"), &frmMain::mnuImportItems_Click);
    add("ExportCsv", exportCaption({}), &frmMain::mnuExportCsv_Click);
    add("ChangeLog", QStringLiteral("&Change Log"), &frmMain::mnuChangeLog_Click);
}

// The keyboard's way to the toolbar: the same actions, so a command is
// enabled or disabled in one place. The window grows by the menu bar's and
// the status line's height and the client area keeps its design size.
void frmMain::buildMenuBar() {
    const int clientHeight = height();
    for (const MenuBarMenu& m : kMenuBar) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(m.title));
        menu->setObjectName(QLatin1String(m.name));
        // The export names what it will take out.
        if (std::string_view(m.name) == "mnuFile")
            connect(menu, &QMenu::aboutToShow, this, [this] {
                menuActions_.value(QStringLiteral("ExportCsv"))
                    ->setText(exportCaption(selectedExport()));
            });
        for (const char* key : m.keys) {
            const QString k = QLatin1String(key);
            if (*key)
                menu->addAction(toolbarActions_.contains(k) ? toolbarActions_.value(k)
                                                            : menuActions_.value(k));
            else
                menu->addSeparator();
        }
    }
    lblTestsDue = new QLabel(this);
    lblTestsDue->setObjectName(QStringLiteral("lblTestsDue"));
    // A way into the Tests Due window: a click, or Enter once it has the focus.
    lblTestsDue->setFocusPolicy(Qt::StrongFocus);
    lblTestsDue->setCursor(Qt::PointingHandCursor);
    lblTestsDue->setToolTip(QStringLiteral("Open the Tests Due window"));
    lblTestsDue->setAccessibleDescription(QStringLiteral("Opens the Tests Due window"));
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(lblTestsDue, 1);
    lblChanges = new QLabel(this);
    lblChanges->setObjectName(QStringLiteral("lblChanges"));
    lblChanges->setAccessibleName(QStringLiteral("Changes at other desks"));
    statusBar()->addPermanentWidget(lblChanges);
    lblChanges->hide();  // takes no room until there is something to say
    changesShown_ = new QTimer(this);
    changesShown_->setSingleShot(true);
    changesShown_->setInterval(10000);
    connect(changesShown_, &QTimer::timeout, this, [this] {
        lblChanges->clear();
        lblChanges->hide();
    });
    setFixedSize(width(),
                 clientHeight + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
}

void frmMain::buildControls() {
    QWidget* area = centralWidget();

    Label1 = new QLabel(QStringLiteral("Quarvel - Items"), area);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(WindowStyle::tahoma(36, true));
    place(Label1, 120, 840, 12015, 855);

    TreeView1 = new QTreeView(area);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setAccessibleName(QStringLiteral("Register tree"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setUniformRowHeights(true);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    model_ = new TreeModel(this);
    TreeView1->setModel(model_);
    TreeView1->viewport()->installEventFilter(this);
    // Keyboard moves in the tree select like a click does.
    connect(TreeView1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                // A mouse press is handled when its click ends.
                if (current.isValid() && QApplication::mouseButtons() == Qt::NoButton)
                    TreeView1_Click();
            });
    place(TreeView1, 120, 1800, 4215, 7215);

    // Enter on a line is its double-click, not the quick open.
    List1 = new DetailList(QStringLiteral("Detail lines"), area);
    List1->setObjectName(QStringLiteral("List1"));
    List1->viewport()->installEventFilter(this);
    connect(List1, &DetailList::lineClicked, this, &frmMain::List1_Click);
    connect(List1, &DetailList::lineDoubleClicked, this, &frmMain::List1_DblClick);
    place(List1, 4440, 1800, 7695, 7260);
    // The context menu's keys open it at the current line.
    for (const QKeySequence& key :
         {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)})
        connect(new QShortcut(key, List1, nullptr, nullptr, Qt::WidgetShortcut),
                &QShortcut::activated, this, &frmMain::List1_MenuKey);

    Text1 = new QLineEdit(area);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAccessibleName(QStringLiteral("Quick open"));
    Text1->setFont(WindowStyle::tahoma(15.75));
    place(Text1, 120, 9120, 8775, 615);

    Command2 = new QPushButton(QStringLiteral("Load"), area);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setFont(WindowStyle::tahoma(14.25, true));
    Command2->setDefault(true);
    connect(Command2, &QPushButton::clicked, this, &frmMain::Command2_Click);
    place(Command2, 9000, 9120, 1215, 615);
    // The default button: Enter anywhere in the window runs the quick open.
    for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter = new QShortcut(QKeySequence(key), this);
        connect(enter, &QShortcut::activated, Command2, &QPushButton::click);
    }

    Image1 = new PictureBox(area);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(Pictures::mainLogo());
    Image1->setAccessibleName(QStringLiteral("Quarvel logo"));
    connect(Image1, &PictureBox::doubleClicked, this, &frmMain::Image1_DblClick);
    place(Image1, 10320, 9120, 1800, 600);

    WindowStyle::setTabOrder({Text1, Command2, TreeView1, List1, Image1});
}

void frmMain::buildItemMenu() {
    Item = new QMenu(QStringLiteral("Item"), this);
    Item->setObjectName(QStringLiteral("Item"));
    Item->setAccessibleName(QStringLiteral("Item"));
    QAction* edit = Item->addAction(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("Edit"));
    connect(edit, &QAction::triggered, this, &frmMain::mnuEdit_Click);
    QAction* del = Item->addAction(QStringLiteral("&Delete"));
    del->setObjectName(QStringLiteral("Delete"));
    connect(del, &QAction::triggered, this, &frmMain::mnuDelete_Click);
}

void frmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!centred_) {
        centred_ = true;
        WindowStyle::centreOnScreen(this);
        // A file opens in a moment, and its tree is read while the window
        // paints; a server's sign-in waits until the window has painted.
        if (!ctx_.theRegister().location().isServer())
            loadOnce();
    }
}

// The register is opened while the splash is on screen, else as the window
// shows (a file) or once it has painted (a server), or at once when
// something needs the tree before that.
void frmMain::loadOnce() {
    if (loaded_)
        return;
    loaded_ = true;
    damageCheckDue_ = true;
    Form_Load();
}

// Once the tree has been read behind the painted window: at a million items
// the check takes longer than start-up may. A register repaired there and
// then is shown anew. The full check, which also finds damage confined to an
// index, then runs in the background.
void frmMain::checkRegisterForDamage() {
    if (ctx_.theRegister().checkForDamage() == Register::Health::Damaged &&
        !ctx_.theRegister().readOnly())
        RefreshTree();
    if (!ctx_.theRegister().readOnly())
        ctx_.checkFullyOnceADay();
    // A register whose tree could not be read (a server that refuses the
    // sign-in) has been told so once; the offer would read it only to say
    // the same again.
    if (!treeUnread_)
        offerOpenScanSessions();
}

// A scan session left open when the program last ended (or crashed) is
// offered again at the start: the Scan window asks to continue or close it.
void frmMain::offerOpenScanSessions() {
    const auto open = ctx_.scans().unfinishedSessions();
    if (open && !open->isEmpty() && !ctx_.theRegister().readOnly())
        openScan();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TreeView1->viewport() && event->type() == QEvent::Paint && !painted_) {
        painted_ = true;
        QMetaObject::invokeMethod(this, &frmMain::loadOnce, Qt::QueuedConnection);
        QMetaObject::invokeMethod(this, &frmMain::checkWhenShownWithTree, Qt::QueuedConnection);
    }
    if (watched == TreeView1->viewport() && event->type() == QEvent::MouseButtonRelease) {
        // Any click in the tree, also on an expand sign or empty space,
        // acts on the node selected at that moment.
        QMetaObject::invokeMethod(this, &frmMain::TreeView1_Click, Qt::QueuedConnection);
    }
    if (watched == lblTestsDue && opensTestsDue(event)) {
        QMetaObject::invokeMethod(this, &frmMain::openTestsDue, Qt::QueuedConnection);
        return true;
    }
    if (watched == List1->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton)
            List1_RightButtonPress(mouse->globalPosition().toPoint());
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::Form_Load() {
    // An older register is brought up to this program's layout first.
    ctx_.theRegister().upgradeIfOlder();
    RefreshTree();
    watchOtherDesks();
}

void frmMain::watchOtherDesks() {
    ChangeWatcher& watcher = ctx_.changeWatcher();
    connect(&watcher, &ChangeWatcher::changed, this, &frmMain::otherDesksChanged);
    connect(&watcher, &ChangeWatcher::lost, this, [this] {
        tellLiveChange(
            QStringLiteral("Changes at other desks are not shown until the server "
                           "answers again"));
        changesShown_->stop();  // said until it is back
    });
    connect(&watcher, &ChangeWatcher::resumed, this, [this] {
        tellLiveChange(QStringLiteral("The server answers again: everything is read afresh"));
        refreshKeepingView();
    });
    watcher.start();
}

void frmMain::otherDesksChanged(const QList<ChangeNote>& notes) {
    tellLiveChange(ChangeWatcher::summary(notes));
    refreshKeepingView();
}

void frmMain::tellLiveChange(const QString& text) {
    lblChanges->setText(text);
    lblChanges->show();
    lblChanges->setAccessibleName(QStringLiteral("Changes at other desks: %1").arg(text));
    changesShown_->start();
}

void frmMain::refreshKeepingView() {
    // A refresh already waiting keeps the view it took first.
    if (!keptView_)
        keptView_ = viewState();
    loader_->start(ctx_.testWindow());
}

frmMain::ViewState frmMain::viewState() const {
    ViewState state;
    state.currentKey = model_->key(TreeView1->currentIndex());
    // Only roots, cases, their folders and lists have children to expand.
    const std::function<void(const QModelIndex&, int)> collect = [&](const QModelIndex& parent,
                                                                     int depth) {
        for (int row = 0, rows = model_->rowCount(parent); row < rows; ++row) {
            const QModelIndex child = model_->index(row, 0, parent);
            if (!TreeView1->isExpanded(child))
                continue;
            state.expandedKeys.append(model_->key(child));
            if (depth < 2 && model_->key(child) != QLatin1String("items"))
                collect(child, depth + 1);
        }
    };
    collect({}, 0);
    state.scroll = TreeView1->verticalScrollBar()->value();
    state.detailRow = List1->currentRow();
    state.detailScroll = List1->verticalScrollBar()->value();
    return state;
}

void frmMain::restoreView(const ViewState& state) {
    for (const QString& key : state.expandedKeys)
        TreeView1->expand(model_->indexOfKey(key));
    const QModelIndex current =
        state.currentKey.isEmpty() ? QModelIndex() : model_->indexOfKey(state.currentKey);
    if (current.isValid())
        TreeView1->selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect);
    TreeView1->verticalScrollBar()->setValue(state.scroll);
    List1->clear();
    const std::optional<std::int64_t> itemId =
        current.isValid() ? model_->itemIdOf(current) : std::nullopt;
    if (!itemId || *itemId != shownItem_) {
        // The item shown is gone (deleted elsewhere).
        if (shownItem_ != 0)
            setItemCommandsEnabled(false);
        shownItem_ = 0;
        return;
    }
    showItemDetails(shownItem_);
    if (state.detailRow >= 0 && state.detailRow < List1->count())
        List1->setCurrentRow(state.detailRow);
    List1->verticalScrollBar()->setValue(state.detailScroll);
}

void frmMain::RefreshTree() {
    keptView_.reset();
    List1->clear();
    shownItem_ = 0;
    fields().ItemToOpen = 0;
    fields().CaseToOpen = 0;
    fields().ListToOpen = 0;
    loader_->start(ctx_.testWindow());
}

bool frmMain::treeReading() const {
    return !loaded_ || loader_->reading();
}

TreeModel* frmMain::treeModel() {
    loadOnce();
    loader_->wait();
    return model_;
}

void frmMain::treeRead(std::optional<TreeData> tree) {
    const TestsDue::Window window = ctx_.testWindow();
    if (!tree)
        tree = ctx_.tree().read(window);
    treeUnread_ = !tree;
    // On a failed read the tree still shows its three roots, and nothing is
    // said about tests.
    const QString counts =
        tree ? TestsDue::statusLine(tree->testCounts, window.soonDays) : QString();
    lblTestsDue->setText(counts);
    // A screen reader says what the eye reads.
    lblTestsDue->setAccessibleName(counts.isEmpty() ? QStringLiteral("Tests due") : counts);
    loader_->retire(model_->setTree(tree ? std::move(*tree) : TreeData{}));
    if (keptView_)
        restoreView(*std::exchange(keptView_, std::nullopt));
    checkWhenShownWithTree();
}

// The checks follow the window's first paint and its first tree, whichever
// comes last: a tree read behind the splash waits for the window, which
// paints before the checks hold it up, and what they may ask (a repair, an
// open scan session) belongs on the main window.
void frmMain::checkWhenShownWithTree() {
    if (!damageCheckDue_ || !painted_ || loader_->reading())
        return;
    damageCheckDue_ = false;
    QTimer::singleShot(0, this, &frmMain::checkRegisterForDamage);
}

void frmMain::setItemCommandsEnabled(bool enabled) {
    toolbarActions_.value(QStringLiteral("Edit"))->setEnabled(enabled);
    toolbarActions_.value(QStringLiteral("Delete"))->setEnabled(enabled);
}

void frmMain::TreeView1_Click() {
    // A root clicked before the tree is read shows its children once read.
    model_->waitForFirstTree();
    const QModelIndex selected = TreeView1->currentIndex();
    if (!selected.isValid())
        return;
    const std::optional<std::int64_t> itemId = model_->itemIdOf(selected);
    List1->clear();
    if (!itemId) {
        shownItem_ = 0;
        setItemCommandsEnabled(false);
        if (const auto plan = model_->planOf(selected))
            showListPlan(*plan);
        return;
    }
    shownItem_ = *itemId;
    fields().ItemToOpen = QString::number(*itemId);
    setItemCommandsEnabled(true);
    showItemDetails(*itemId);
}

void frmMain::showItemDetails(qint64 id) {
    const auto rows = ctx_.items().withId(id);
    if (!rows)
        return;
    for (const ItemRecord& item : *rows) {
        QStringList lines = DetailLines::lines(DetailLines::mainWindowFields(), item);
        addCaseTests(lines, item);
        List1->addItems(lines);
    }
}

// A list's dates and state, for a list that has them; a plain picking list
// shows no lines.
void frmMain::showListPlan(const ListPlan& plan) {
    const auto date = [](const std::optional<QDate>& d) {
        return d ? Bookings::dateText(*d) : QString();
    };
    List1->addItems({QStringLiteral("State: ") + Bookings::stateName(plan.state),
                     QStringLiteral("Out Date: ") + date(plan.out),
                     QStringLiteral("Return Date: ") + date(plan.ret)});
}

// The case line tells the worst test status of the case's items.
void frmMain::addCaseTests(QStringList& lines, const ItemRecord& item) {
    const qint64 caseId = TextRules::wholeNumber(TextRules::numericValue(item[ItemColumn::CaseId]));
    if (caseId == 0)
        return;
    const auto counts = ctx_.tests().caseCounts(caseId, ctx_.testWindow());
    if (!counts)
        return;
    for (QString& line : lines) {
        if (DetailLines::caseNumberOf(line))
            line = DetailLines::withCaseTests(line, TestsDue::caseTestsText(*counts));
    }
}

std::optional<QString> frmMain::selectedCaseNumber() const {
    if (List1->count() == 0 || !List1->currentItem())
        return std::nullopt;
    return DetailLines::caseNumberOf(List1->currentItem()->text());
}

void frmMain::List1_Click() {
    if (const auto caseNumber = selectedCaseNumber())
        fields().CaseToOpen = caseIdOf(*caseNumber);
}

void frmMain::List1_DblClick() {
    const auto caseNumber = selectedCaseNumber();
    if (!caseNumber)
        return;
    fields().OpenCase = *caseNumber;
    if (*caseNumber == QLatin1String("0"))
        return;
    // The line's own case: Enter comes without a click, and a quick open
    // since the click has written another case to CaseToOpen.
    fields().CaseToOpen = caseIdOf(*caseNumber);
    openCaseViewer();
}

void frmMain::List1_RightButtonPress(const QPoint& globalPos) {
    // A list's plan lines have no item to edit or delete.
    if (List1->count() > 0 && shownItem_ != 0)
        Item->popup(globalPos);
}

void frmMain::List1_MenuKey() {
    const QListWidgetItem* line = List1->currentItem();
    const QRect at = line ? List1->visualItemRect(line) : QRect();
    List1_RightButtonPress(List1->viewport()->mapToGlobal(at.bottomLeft()));
}

void frmMain::Image1_DblClick() {
    fields().Funny = QStringLiteral("Items");
}

void frmMain::exitProgram() {
    close();
}

void frmMain::mnuEdit_Click() {
    editItem();
}

void frmMain::mnuDelete_Click() {
    deleteItem();
}

void frmMain::Command2_Click() {
    const std::optional<TextRules::QuickOpen> wanted = TextRules::parseQuickOpen(Text1->text());
    if (wanted)
        quickOpen(*wanted);
    Text1->clear();
}

void frmMain::quickOpen(const TextRules::QuickOpen& wanted) {
    const QString id = QString::number(wanted.id);
    switch (wanted.table) {
        case RecordTable::Cases:
            if (ctx_.cases().exists(wanted.id).value_or(false)) {
                fields().CaseToOpen = id;
                openCaseViewer();
            }
            break;
        case RecordTable::Lists:
            if (ctx_.lists().exists(wanted.id).value_or(false)) {
                fields().ListToOpen = id;
                openListViewer();
            }
            break;
        case RecordTable::Items:
            if (ctx_.items().exists(wanted.id).value_or(false)) {
                fields().ItemToOpen = id;
                openItemViewer();
            }
            break;
    }
}

void frmMain::addItem() {
    RecordEditor::edit<frmItemAddEdit>(ctx_, this, 0);
    RefreshTree();
}

void frmMain::addCase() {
    RecordEditor::edit<frmFlightAddEdit>(ctx_, this, 0);
    RefreshTree();
}

void frmMain::addList() {
    RecordEditor::edit<frmListAddEdit>(ctx_, this, 0);
    RefreshTree();
}

void frmMain::editItem() {
    RecordEditor::edit<frmItemAddEdit>(ctx_, this, QString::number(shownItem_));
    RefreshTree();
}

void frmMain::deleteItem() {
    const QString question =
        QStringLiteral("Are you sure you wish to delete this item? (ID: %1)").arg(shownItem_);
    if (!ctx_.dialogs().askYesNoDefaultNo(this, question, Dialogs::Icon::Critical))
        return;
    // A failed delete changed nothing (the store has told the user).
    if (ctx_.items().remove(shownItem_))
        RefreshTree();
}

void frmMain::openCaseViewer() {
    if (AppContext::isWindowOpen(QStringLiteral("frmFlightView")))
        return;
    frmFlightView viewer(ctx_, this);
    viewer.exec();
}

void frmMain::openListViewer() {
    frmListView viewer(ctx_, this);
    viewer.exec();
}

void frmMain::openItemViewer() {
    frmItemView viewer(ctx_, this);
    viewer.exec();
}

// Tests recorded there change the counts of the status line.
void frmMain::openTestsDue() {
    frmTestsDue testsDue(ctx_, this);
    testsDue.exec();
    RefreshTree();
}

// A stocktake may have moved items: the tree is read again.
void frmMain::openScan() {
    frmScan scan(ctx_, this);
    scan.exec();
    RefreshTree();
}

// A change put back there may change what the tree shows.
void frmMain::mnuChangeLog_Click() {
    frmChangeLog log(ctx_, this);
    log.exec();
    RefreshTree();
}

// Lists opened from there may have been changed: the tree is read again.
void frmMain::openAvailability() {
    frmAvailability availability(ctx_, this);
    availability.exec();
    RefreshTree();
}

void frmMain::openPrinterChooser() {
    frmPrinter dlg(ctx_, this);
    dlg.exec();
}

void frmMain::openDatabaseDownload() {
    frmDb download(ctx_, this);
    download.exec();
}

void frmMain::mnuImportItems_Click() {
    if (frmItemImport::importItems(ctx_, this))
        RefreshTree();
}

CsvExport::What frmMain::selectedExport() const {
    const QModelIndex selected = TreeView1->currentIndex();
    return exportOfNode(selected.isValid() ? model_->key(selected) : QString());
}

// Exports the case or the list selected in the tree, otherwise every item.
void frmMain::mnuExportCsv_Click() {
    const CsvExport::What what = selectedExport();
    const QString path = ctx_.dialogs().saveFileName(
        this, CsvExport::defaultFileName(what), QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    QString error;
    qint64 rows = 0;
    const std::unique_ptr<Progress> progress =
        ctx_.dialogs().progress(this, QStringLiteral("Exporting"));
    if (!CsvExport::write(ctx_.theRegister(), what, path, &error, &rows, progress.get())) {
        ctx_.dialogs().inform(this, error,
                              Progress::wasCancelled(progress.get()) ? Dialogs::Icon::Information
                                                                     : Dialogs::Icon::Warning);
        return;
    }
    ctx_.dialogs().inform(this, QStringLiteral("Exported %1 %2 to %3.")
                                    .arg(rows)
                                    .arg(rows == 1 ? QStringLiteral("row") : QStringLiteral("rows"),
                                         QDir::toNativeSeparators(path)));
}

void frmMain::openAbout() {
    frmAbout about(this);
    about.exec();
}
