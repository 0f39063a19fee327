#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <functional>

#include "ModalDriver.h"
#include "TestApp.h"
#include "WidgetDriver.h"
#include "about/frmAbout.h"
#include "about/frmFunny.h"
#include "availability/frmAvailability.h"
#include "cases/frmFlightAddEdit.h"
#include "cases/frmFlightPicker.h"
#include "cases/frmFlightView.h"
#include "common/LinkLabel.h"
#include "common/PictureBox.h"
#include "common/WindowStyle.h"
#include "data/Settings.h"
#include "data/rules/Changes.h"
#include "device/frmDb.h"
#include "history/frmChangeLog.h"
#include "history/frmHistory.h"
#include "items/frmDatePicker.h"
#include "items/frmItemAddEdit.h"
#include "items/frmItemPicker.h"
#include "items/frmItemView.h"
#include "lists/frmListAddEdit.h"
#include "lists/frmListView.h"
#include "locations/frmLocationPicker.h"
#include "main/TreeModel.h"
#include "main/frmMain.h"
#include "main/frmSplash.h"
#include "printers/frmPrinter.h"
#include "resources/Fonts.h"
#include "scan/frmScan.h"

using namespace WidgetDriver;

namespace {

QString accessibleText(QObject* object, QAccessible::Text text) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(text) : QString();
}

QString describe(QWidget* w) {
    QString name = w->objectName();
    if (auto* tool = qobject_cast<QToolButton*>(w); tool && tool->defaultAction())
        name = tool->defaultAction()->objectName();
    return QStringLiteral("%1 (%2)").arg(name, QLatin1String(w->metaObject()->className()));
}

bool isInteractive(QWidget* w) {
    return qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
           qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractItemView*>(w) ||
           qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
           qobject_cast<LinkLabel*>(w);
}

bool isPicture(QWidget* w) {
    auto* label = qobject_cast<QLabel*>(w);
    return label && !label->pixmap().isNull();
}

// Widgets whose value a screen reader reads after the name.
bool holdsValue(QWidget* w) {
    return qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w) ||
           qobject_cast<QAbstractSpinBox*>(w);
}

// The caption a user sees on or beside the widget, as said: a button's text
// or the text of the label that names it, without a mnemonic's "&" or a
// closing ":". A caption of no letter or digit ("...") is not said.
QString visibleCaption(QWidget* w) {
    QString caption;
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        caption = button->text();
    for (QLabel* label : w->window()->findChildren<QLabel*>()) {
        if (label->buddy() == w)
            caption = label->text();
    }
    caption.remove(QLatin1Char('&'));
    if (caption.endsWith(QLatin1Char(':')))
        caption.chop(1);
    const bool said =
        std::any_of(caption.begin(), caption.end(), [](QChar c) { return c.isLetterOrNumber(); });
    return said ? caption : QString();
}

bool inMenuBar(QWidget* window, QAction* action) {
    for (QMenuBar* bar : window->findChildren<QMenuBar*>()) {
        for (QAction* title : bar->actions()) {
            if (title->menu() && title->menu()->actions().contains(action))
                return true;
        }
    }
    return false;
}

bool keyboardReaches(QWidget* w, QWidget* window) {
    if (w->focusPolicy() & Qt::TabFocus)
        return true;
    auto* button = qobject_cast<QAbstractButton*>(w);
    if (button && !button->shortcut().isEmpty())
        return true;  // a mnemonic
    auto* tool = qobject_cast<QToolButton*>(w);
    QAction* action = tool ? tool->defaultAction() : nullptr;
    return action && (!action->shortcut().isEmpty() || inMenuBar(window, action));
}

// Interactive widgets and pictures without a name, interactive widgets
// named by their value, not by their caption first, or out of the
// keyboard's reach, and pictures on the Tab chain. Hidden widgets are not
// looked at.
QStringList unnamedOrUnreachable(QWidget* window) {
    QStringList findings;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const bool interactive = isInteractive(w);
        if (!w->isVisibleTo(window) || !(interactive || isPicture(w)))
            continue;
        const QString name = accessibleText(w, QAccessible::Name);
        const QString caption = visibleCaption(w);
        if (name.trimmed().isEmpty())
            findings << describe(w) + QStringLiteral(": no accessible name");
        else if (holdsValue(w) && name == accessibleText(w, QAccessible::Value))
            findings << describe(w) + QStringLiteral(": named by its value \"%1\"").arg(name);
        else if (!name.startsWith(caption))
            findings << describe(w) + QStringLiteral(": \"%1\" does not start with \"%2\"")
                                          .arg(name, caption);
        if (interactive && !keyboardReaches(w, window))
            findings << describe(w) + QStringLiteral(": out of the keyboard's reach");
        if (!interactive && (w->focusPolicy() & Qt::TabFocus))
            findings << describe(w) + QStringLiteral(": a picture on the Tab chain");
    }
    return findings;
}

// A push button's size hint for its caption and icon, without the style's
// least width of a text button: a button narrower than that clips nothing.
QSize captionHint(QPushButton* button) {
    QSize contents = button->fontMetrics().size(Qt::TextShowMnemonic, button->text());
    if (!button->icon().isNull())
        contents += QSize(button->iconSize().width() + 4, 0);
    QStyleOptionButton option;
    option.initFrom(button);
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    if (button->autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    return button->style()->sizeFromContents(QStyle::CT_PushButton, &option, contents, button);
}

QString clipping(QWidget* w) {
    QSize hint = w->sizeHint();
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (label->text().isEmpty() && label->pixmap().isNull())
            return {};
        if (label->wordWrap())
            hint = QSize(0, label->heightForWidth(label->width()));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        if (button->text().isEmpty())
            return {};
        if (auto* push = qobject_cast<QPushButton*>(w))
            hint = captionHint(push);
    } else {
        return {};
    }
    // Only what lies within its parent is seen.
    const QSize shown = w->geometry().intersected(w->parentWidget()->rect()).size();
    if (hint.width() <= shown.width() && hint.height() <= shown.height())
        return {};
    return QStringLiteral("%1: needs %2x%3, shows %4x%5")
        .arg(describe(w))
        .arg(hint.width())
        .arg(hint.height())
        .arg(shown.width())
        .arg(shown.height());
}

QStringList clippedCaptions(QWidget* window) {
    QStringList findings;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window))
            continue;
        if (const QString found = clipping(w); !found.isEmpty())
            findings << found;
    }
    return findings;
}

// --- Read back over the accessibility bus ---------------------------------------

// The program's windows as read_accessibility_bus.py reads them over the
// bus; the event loop runs meanwhile, since the program answers the reader.
QJsonObject readOverTheBus() {
    QProcess reader;
    reader.setProgram(qEnvironmentVariable("QUARVEL_PYTHON"));
    reader.setArguments({qEnvironmentVariable("QUARVEL_BUS_READER"),
                         QString::number(QCoreApplication::applicationPid())});
    reader.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QEventLoop loop;
    QObject::connect(&reader, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&reader, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    reader.start();
    loop.exec();
    if (reader.state() != QProcess::NotRunning) {
        reader.kill();
        reader.waitForFinished();
    }
    return QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
}

QList<QJsonObject> descendants(const QJsonObject& node) {
    QList<QJsonObject> all;
    for (const QJsonValue& child : node.value(QLatin1String("children")).toArray()) {
        all << child.toObject();
        all << descendants(child.toObject());
    }
    return all;
}

QJsonObject findNode(const QJsonObject& root, const QString& role, const QString& name) {
    for (const QJsonObject& node : descendants(root)) {
        if (node.value(QLatin1String("role")).toString() == role &&
            node.value(QLatin1String("name")).toString() == name)
            return node;
    }
    return {};
}

QJsonObject findWindow(const QJsonObject& program, const QString& title) {
    for (const QJsonValue& window : program.value(QLatin1String("children")).toArray()) {
        if (window.toObject().value(QLatin1String("name")).toString() == title)
            return window.toObject();
    }
    return {};
}

bool hasState(const QJsonObject& node, const char* state) {
    return node.value(QLatin1String("states")).toArray().contains(QLatin1String(state));
}

// The entries of a drop-down list's list that a reader finds selected.
QStringList selectedEntries(const QJsonObject& dropDown) {
    QStringList names;
    for (const QJsonObject& node : descendants(dropDown)) {
        if (node.value(QLatin1String("role")).toString() == QLatin1String("list item") &&
            hasState(node, "selected"))
            names << node.value(QLatin1String("name")).toString();
    }
    return names;
}

using Opener = std::function<std::unique_ptr<QWidget>(TestApp&)>;

template <class Window>
Opener dialog() {
    return [](TestApp& ts) { return std::make_unique<Window>(ts.ctx()); };
}

const QList<QPair<const char*, Opener>>& windows() {
    static const QList<QPair<const char*, Opener>> all = {
        {"frmMain", [](TestApp& ts) { return std::make_unique<frmMain>(ts.ctx()); }},
        {"frmSplash", [](TestApp& ts) { return std::make_unique<frmSplash>(ts.ctx(), nullptr); }},
        {"frmItemAddEdit", dialog<frmItemAddEdit>()},
        {"frmItemView", dialog<frmItemView>()},
        {"frmItemPicker", dialog<frmItemPicker>()},
        {"frmDatePicker", dialog<frmDatePicker>()},
        {"frmFlightAddEdit", dialog<frmFlightAddEdit>()},
        {"frmFlightView", dialog<frmFlightView>()},
        {"frmFlightPicker", dialog<frmFlightPicker>()},
        {"frmListAddEdit", dialog<frmListAddEdit>()},
        {"frmListView", dialog<frmListView>()},
        {"frmLocationPicker", dialog<frmLocationPicker>()},
        {"frmPrinter", dialog<frmPrinter>()},
        {"frmDb", dialog<frmDb>()},
        {"frmAbout", [](TestApp&) { return std::make_unique<frmAbout>(); }},
        {"frmFunny", dialog<frmFunny>()},
        {"frmScan", dialog<frmScan>()},
        {"frmAvailability", dialog<frmAvailability>()},
        {"frmHistory",
         [](TestApp& ts) {
             return std::make_unique<frmHistory>(ts.ctx(), QLatin1String(ChangeKind::kItem), 12);
         }},
        {"frmChangeLog", dialog<frmChangeLog>()},
    };
    return all;
}

}  // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> ts;
    std::unique_ptr<QWidget> window;

    // Every window on the sample register, showing item 12, case 7, list 3.
    void open(const QString& name) {
        for (const auto& [windowName, opener] : windows()) {
            if (name == QLatin1String(windowName))
                window = opener(*ts);
        }
        QVERIFY(window);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    frmMain* openMain() {
        open(QStringLiteral("frmMain"));
        QApplication::setActiveWindow(window.get());
        return static_cast<frmMain*>(window.get());
    }

    void selectInTree(frmMain* main, const QString& key) {
        auto* tree = child<QTreeView>(main, "TreeView1");
        tree->setFocus();
        tree->setCurrentIndex(main->treeModel()->indexOfKey(key));
    }

    // Shortcuts work in the active window; a closed dialog may leave none
    // active on the test platform.
    static void press(QWidget* widget, const QKeySequence& keys) {
        QApplication::setActiveWindow(widget->window());
        widget->setFocus();
        QTest::keySequence(widget, keys);
    }

    // Presses the keys in the widget and tells whether the window came up
    // (and closes it).
    static bool opens(QWidget* widget, const QKeySequence& keys, const QString& windowName) {
        return ModalDriver::shownDuring(windowName, [&] { press(widget, keys); });
    }

    static void everyWindow() {
        QTest::addColumn<QString>("name");
        for (const auto& entry : windows())
            QTest::newRow(entry.first) << QString::fromLatin1(entry.first);
    }

private slots:
    void initTestCase() { Fonts::loadTahoma(); }

    void init() {
        ts = std::make_unique<TestApp>();
        ts->reg.exec(QStringLiteral(
            "INSERT INTO Items (id, \"desc\", category, caseID) VALUES"
            " (12, 'Mixer', 'Sound', 7), (45, 'Lamp', 'Lighting', 0);"
            "INSERT INTO Cases (id, FName, FLocation) VALUES (7, 'Amp rack', 'Bay 1');"
            "INSERT INTO Lists (id, ListName) VALUES (3, 'Stage left');"
            "INSERT INTO ListData VALUES (3, 12, 'Mixer');"
            "INSERT INTO Locations VALUES ('Bay 1');"
            "UPDATE Data SET lastid = 45, lastCase = 7, lastList = 3"));
        ts->printers->names = {QStringLiteral("Zebra"), QStringLiteral("Laser")};
        Settings settings(ts->settingsFile());
        for (const QString& key :
             {SettingsKeys::Printer, SettingsKeys::SPrinter, SettingsKeys::LPrinter})
            settings.write(key, QStringLiteral("Zebra"));
        ts->fields().ItemToOpen = 12;
        ts->fields().CaseToOpen = 7;
        ts->fields().ListToOpen = 3;
    }
    void cleanup() {
        window.reset();
        ts.reset();
    }

    void everyControlIsNamedAndWithinReach_data() { everyWindow(); }
    void everyControlIsNamedAndWithinReach() {
        QFETCH(QString, name);
        open(name);
        const QStringList findings = unnamedOrUnreachable(window.get());
        QVERIFY2(findings.isEmpty(), qPrintable(findings.join(QLatin1Char('\n'))));
    }

    // What a screen reader gets: every window at once, read back over the
    // accessibility bus by on-accessibility-bus.sh (test_accessibility_bus).
    void screenReadersHearTheWindowsOverTheBus() {
        if (qEnvironmentVariableIsEmpty("QUARVEL_PYTHON") ||
            QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("runs on the accessibility bus (test_accessibility_bus)");
        std::vector<std::unique_ptr<QWidget>> shown;
        for (const auto& [name, opener] : windows()) {
            if (QLatin1String(name) == QLatin1String("frmSplash"))
                continue;  // it hands over to a main window of its own
            shown.push_back(opener(*ts));
            shown.back()->show();
            QVERIFY(QTest::qWaitForWindowExposed(shown.back().get()));
        }
        const QJsonObject program = readOverTheBus();
        QVERIFY2(!program.isEmpty(), "nothing read over the bus");

        // Drop-down lists keep their caption as name and tell their entry as
        // text and as the selected line of their list.
        for (const char* caption : {"Large Label Printer", "Small Label Printer", "List Printer"}) {
            const QJsonObject box =
                findNode(program, QStringLiteral("combo box"), QLatin1String(caption));
            QVERIFY2(!box.isEmpty(), caption);
            QCOMPARE(box.value(QLatin1String("text")).toString(), QStringLiteral("Zebra"));
            QCOMPARE(selectedEntries(box), QStringList{"Zebra"});
        }
        for (const QJsonObject& node : descendants(program)) {
            const QString role = node.value(QLatin1String("role")).toString();
            const QString name = node.value(QLatin1String("name")).toString();
            if (role == QLatin1String("combo box"))
                QCOMPARE(QStringList{node.value(QLatin1String("text")).toString()},
                         selectedEntries(node));
            if (name.startsWith(QLatin1String("Quarvel logo")))
                QVERIFY2(!hasState(node, "focusable"), qPrintable(name));
        }

        // The main window's status line is heard as it reads.
        const QJsonObject main = findWindow(program, QStringLiteral("Quarvel - Brackenlow"));
        QVERIFY2(!findNode(main, QStringLiteral("label"),
                           QStringLiteral("0 overdue · 0 due within 30 days · 2 never tested"))
                      .isEmpty(),
                 "the status line's counts");

        // The caption first, the explanation after it.
        const QJsonObject caseEditor = findWindow(program, QStringLiteral("Add/Edit Flight Case"));
        const QJsonObject remove =
            findNode(caseEditor, QStringLiteral("push button"), QStringLiteral("Delete"));
        QCOMPARE(remove.value(QLatin1String("description")).toString(),
                 QStringLiteral("Remove the selected item from the case"));
        const QJsonObject about = findWindow(program, QStringLiteral("About Quarvel"));
        QVERIFY(!findNode(about, QStringLiteral("link"),
                          QStringLiteral("Copyright Brackenlow 2006-2026"))
                     .isEmpty());

        // Every day of the calendar says its full date; the picked one is selected.
        const QJsonObject days =
            findNode(program, QStringLiteral("table"), QStringLiteral("Days of the month"));
        const QRegularExpression fullDate(QStringLiteral("^\\d{1,2} [A-Z][a-z]+ \\d{4}$"));
        QStringList selected;
        int cells = 0;
        for (const QJsonObject& cell : descendants(days)) {
            if (cell.value(QLatin1String("role")).toString() != QLatin1String("table cell"))
                continue;
            ++cells;
            const QString name = cell.value(QLatin1String("name")).toString();
            QVERIFY2(fullDate.match(name).hasMatch(), qPrintable(name));
            if (hasState(cell, "selected"))
                selected << name;
        }
        QCOMPARE(cells, 42);
        QCOMPARE(selected, QStringList{"5 January 2009"});
        QVERIFY(!findNode(days, QStringLiteral("table column header"), QStringLiteral("Monday"))
                     .isEmpty());
    }

    void noCaptionIsClipped_data() { everyWindow(); }
    void noCaptionIsClipped() {
        QFETCH(QString, name);
        open(name);
        if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))  // the second registration
            QCOMPARE(window->devicePixelRatio(),
                     qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
        const QStringList findings = clippedCaptions(window.get());
        QVERIFY2(findings.isEmpty(), qPrintable(findings.join(QLatin1Char('\n'))));
    }

    // The toolbar's commands from the quick-open box, where the focus starts.
    void toolbarCommandsFromTheKeyboard() {
        frmMain* main = openMain();
        for (QAction* action : child<QToolBar>(main, "Toolbar1")->actions())
            QVERIFY2(inMenuBar(main, action), qPrintable(action->objectName()));
        QCOMPARE(main->centralWidget()->size(),
                 QSize(WindowStyle::pixels(12285), WindowStyle::pixels(9825)));

        auto* box = child<QLineEdit>(main, "Text1");
        const QList<QPair<QKeySequence, QString>> commands = {
            {QKeySequence(QStringLiteral("Ctrl+N")), QStringLiteral("frmItemAddEdit")},
            {QKeySequence(QStringLiteral("Ctrl+Shift+C")), QStringLiteral("frmFlightAddEdit")},
            {QKeySequence(QStringLiteral("Ctrl+Shift+L")), QStringLiteral("frmListAddEdit")},
            {QKeySequence(QStringLiteral("Ctrl+P")), QStringLiteral("frmPrinter")},
            {QKeySequence(QStringLiteral("Ctrl+Shift+D")), QStringLiteral("frmDb")},
            {QKeySequence(QStringLiteral("F1")), QStringLiteral("frmAbout")},
            {QKeySequence(QStringLiteral("Ctrl+Shift+S")), QStringLiteral("frmScan")},
        };
        for (const auto& [keys, windowName] : commands)
            QVERIFY2(opens(box, keys, windowName), qPrintable(windowName));

        // Edit and Delete wait for an item, as on the toolbar.
        const QKeySequence edit(Qt::Key_F2);
        QVERIFY(!opens(box, edit, QStringLiteral("frmItemAddEdit")));
        selectInTree(main, QStringLiteral("I45"));
        QVERIFY(opens(box, edit, QStringLiteral("frmItemAddEdit")));

        // The Delete key deletes the item from the tree and the detail lines,
        // and only a character in the box.
        selectInTree(main, QStringLiteral("I45"));
        ts->dialogs->answers << Dialogs::Answer::No << Dialogs::Answer::No;
        press(child<QTreeView>(main, "TreeView1"), QKeySequence(Qt::Key_Delete));
        press(child<QListWidget>(main, "List1"), QKeySequence(Qt::Key_Delete));
        QCOMPARE(ts->dialogs->messages.size(), 2);
        box->setText(QStringLiteral("f7"));
        box->home(false);
        press(box, QKeySequence(Qt::Key_Delete));
        QCOMPARE(box->text(), QStringLiteral("7"));
        QCOMPARE(ts->dialogs->messages.size(), 2);
        QCOMPARE(ts->reg.count(QStringLiteral("Items")), qint64(2));

        press(box, QKeySequence(QStringLiteral("Ctrl+Q")));
        QVERIFY(!main->isVisible());
    }

    void detailMenuFromTheKeyboard() {
        frmMain* main = openMain();
        auto* details = child<QListWidget>(main, "List1");
        auto* menu = child<QMenu>(main, "Item");
        press(details, QKeySequence(Qt::Key_Menu));
        QVERIFY(!menu->isVisible());  // no lines yet

        selectInTree(main, QStringLiteral("I12"));
        for (const QKeySequence& keys :
             {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)}) {
            press(details, keys);
            QVERIFY2(QTest::qWaitFor([&] { return menu->isVisible(); }, 2000),
                     qPrintable(keys.toString()));
            QCOMPARE(accessibleText(menu, QAccessible::Name), QStringLiteral("Item"));
            menu->close();
        }
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
