#include "common/Accessibility.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>

namespace {

const QString kShowMenu = QAccessibleActionInterface::showMenuAction();
const QString kPress = QAccessibleActionInterface::pressAction();

// A drop-down list: its name from accessibleName() or its caption label,
// its value the entry shown, its one child the list that drops down.
class AccessibleDropDown : public QAccessibleWidget {
public:
    explicit AccessibleDropDown(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return box()->currentText();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = box()->view()->isVisible();
        return s;
    }

    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && child->object() == box()->view() ? 0 : -1;
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QStringList actionNames() const override { return {kShowMenu, kPress}; }
    void doAction(const QString& action) override {
        if (action == kShowMenu || action == kPress)
            box()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* programInterfaces(const QString& className, QObject* object) {
    if (className == QLatin1String("QComboBox"))
        return new AccessibleDropDown(static_cast<QComboBox*>(object));
    return nullptr;
}

}  // namespace

namespace Accessibility {

void install() {
    static const bool installed = [] {
        QAccessible::installFactory(programInterfaces);
        return true;
    }();
    Q_UNUSED(installed);
}

}  // namespace Accessibility
