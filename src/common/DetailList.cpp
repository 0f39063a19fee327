#include "common/DetailList.h"

#include "common/ListKeys.h"

DetailList::DetailList(const QString& accessibleName, QWidget* parent) : QListWidget(parent) {
    setAccessibleName(accessibleName);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemClicked, this, &DetailList::lineClicked);
    connect(this, &QListWidget::itemDoubleClicked, this, &DetailList::lineDoubleClicked);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &DetailList::lineClicked);
    ListKeys::install(this, [this] { emit lineDoubleClicked(); });
}
