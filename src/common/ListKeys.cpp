#include "common/ListKeys.h"

#include <QAbstractItemView>
#include <QKeyEvent>

namespace {

bool withoutModifiers(const QKeyEvent* key) {
    return (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

}  // namespace

ListKeys::ListKeys(QAbstractItemView* view, std::function<void()> doubleClick)
    : QObject(view), view_(view), doubleClick_(std::move(doubleClick)) {}

void ListKeys::install(QAbstractItemView* view, std::function<void()> doubleClick) {
    view->installEventFilter(new ListKeys(view, std::move(doubleClick)));
}

bool ListKeys::takesEnter(const QKeyEvent* key) const {
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    return enter && withoutModifiers(key) && view_->currentIndex().isValid();
}

bool ListKeys::selectsFirstLine(const QKeyEvent* key) const {
    const bool arrow = key->key() == Qt::Key_Down || key->key() == Qt::Key_Up;
    return arrow && withoutModifiers(key) && !view_->selectionModel()->hasSelection() &&
           view_->model()->rowCount(view_->rootIndex()) > 0;
}

bool ListKeys::eventFilter(QObject* watched, QEvent* event) {
    if (watched != view_)
        return false;
    if (event->type() == QEvent::ShortcutOverride && takesEnter(static_cast<QKeyEvent*>(event))) {
        event->accept();  // Enter comes here as a key press, not as a shortcut
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    QItemSelectionModel* selection = view_->selectionModel();
    if (takesEnter(key)) {
        selection->setCurrentIndex(view_->currentIndex(), QItemSelectionModel::ClearAndSelect);
        doubleClick_();
        return true;
    }
    if (selectsFirstLine(key)) {
        const QModelIndex first = view_->model()->index(0, 0, view_->rootIndex());
        selection->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect);
        view_->scrollTo(first);
        return true;
    }
    return false;
}
