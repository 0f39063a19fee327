#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <functional>

#include "ModalDriver.h"
#include "TestApp.h"
#include "WidgetDriver.h"
#include "about/frmAbout.h"
#include "about/frmFunny.h"
#include "cases/frmFlightAddEdit.h"
#include "cases/frmFlightPicker.h"
#include "cases/frmFlightView.h"
#include "common/PictureBox.h"
#include "common/WindowStyle.h"
#include "data/Settings.h"
#include "device/frmDb.h"
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
#include "printing/frmPrinter.h"
#include "resources/Fonts.h"

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

bool isClickablePicture(QWidget* w) {
    if (auto* picture = qobject_cast<PictureBox*>(w))
        return picture->reportsClicks();
    auto* label = qobject_cast<QLabel*>(w);
    return label && label->textFormat() != Qt::PlainText &&
           label->text().contains(QLatin1String("<a "));
}

bool isInteractive(QWidget* w) {
    return qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
           qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractItemView*>(w) ||
           qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
           isClickablePicture(w);
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
// named by their value or out of the keyboard's reach. Hidden widgets are
// not looked at.
QStringList unnamedOrUnreachable(QWidget* window) {
    QStringList findings;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const bool interactive = isInteractive(w);
        if (!w->isVisibleTo(window) || !(interactive || isPicture(w)))
            continue;
        const QString name = accessibleText(w, QAccessible::Name);
        if (name.trimmed().isEmpty())
            findings << describe(w) + QStringLiteral(": no accessible name");
        else if (holdsValue(w) && name == accessibleText(w, QAccessible::Value))
            findings << describe(w) + QStringLiteral(": named by its value \"%1\"").arg(name);
        if (interactive && !keyboardReaches(w, window))
            findings << describe(w) + QStringLiteral(": out of the keyboard's reach");
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

using Opener = std::function<std::unique_ptr<QWidget>(TestApp&)>;

template <class Window>
Opener dialog() {
    return [](TestApp& ts) { return std::make_unique<Window>(ts.ctx()); };
}

const QList<QPair<const char*, Opener>>& windows() {
    static const QList<QPair<const char*, Opener>> all = {
        {"frmMain", [](TestApp& ts) { return std::make_unique<frmMain>(ts.services()); }},
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

    void detailMenuAndLogoFromTheKeyboard() {
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

        auto* logo = child<PictureBox>(main, "Image1");
        logo->setFocus();
        QTest::keyClick(logo, Qt::Key_Space);
        QCOMPARE(main->fields().Funny.toString(), QStringLiteral("Items"));
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
