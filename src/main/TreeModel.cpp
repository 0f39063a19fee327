#include "main/TreeModel.h"

#include <algorithm>
#include <utility>

namespace {
const QString kRootKeys[3] = {QStringLiteral("items"), QStringLiteral("Cases"),
                              QStringLiteral("Lists")};
const QString kRootTexts[3] = {QStringLiteral("Items"), QStringLiteral("Cases"),
                               QStringLiteral("Lists")};
constexpr int kKindShift = 56;
constexpr quint64 kIndexMask = (quint64(1) << kKindShift) - 1;

// The group that flat entry `flat` belongs to, given "start" offsets.
int groupOf(const std::vector<std::int32_t>& start, quint64 flat) {
    const auto it = std::upper_bound(start.begin(), start.end(), static_cast<std::int32_t>(flat));
    return static_cast<int>(it - start.begin()) - 1;
}
}  // namespace

TreeModel::TreeModel(QObject* parent) : QAbstractItemModel(parent) {}

TreeData TreeModel::setTree(TreeData data) {
    if (filled_) {
        beginResetModel();
        TreeData old = std::exchange(data_, std::move(data));
        endResetModel();
        return old;
    }
    data_ = std::move(data);
    const std::size_t children[3] = {data_.itemIds.size(), data_.caseIds.size(),
                                     data_.listIds.size()};
    for (int root = 0; root < 3; ++root) {
        filledRoots_ = root;
        if (children[root] == 0)
            continue;
        beginInsertRows(index(root, 0), 0, static_cast<int>(children[root]) - 1);
        filledRoots_ = root + 1;
        endInsertRows();
    }
    filledRoots_ = 3;
    filled_ = true;
    return {};
}

void TreeModel::waitForFirstTree() const {
    if (!filled_ && waitForTree_)
        waitForTree_();
}

bool TreeModel::hasChildren(const QModelIndex& parent) const {
    if (parent.isValid() && !filled_ && nodeOf(parent).kind == Kind::Root)
        return true;
    return rowCount(parent) > 0;
}

bool TreeModel::canFetchMore(const QModelIndex& parent) const {
    return !filled_ && parent.isValid() && nodeOf(parent).kind == Kind::Root;
}

// Expanding a root before the tree is read waits for it rather than show
// the root empty.
void TreeModel::fetchMore(const QModelIndex&) {
    waitForFirstTree();
}

quintptr TreeModel::encode(Node node) {
    return static_cast<quintptr>((static_cast<quint64>(node.kind) << kKindShift) | node.n);
}

TreeModel::Node TreeModel::decode(quintptr id) {
    return {static_cast<Kind>(static_cast<quint64>(id) >> kKindShift),
            static_cast<quint64>(id) & kIndexMask};
}

int TreeModel::caseOfCaseItem(quint64 flat) const {
    return groupOf(data_.caseItemStart, flat);
}

int TreeModel::listOfLine(quint64 flat) const {
    return groupOf(data_.listLineStart, flat);
}

QModelIndex TreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0 || row >= rowCount(parent))
        return {};
    if (!parent.isValid())
        return createIndex(row, 0, encode({Kind::Root, quint64(row)}));
    const Node p = nodeOf(parent);
    const auto r = static_cast<quint64>(row);
    switch (p.kind) {
        case Kind::Root:
            return createIndex(row, 0,
                               encode({p.n == 0   ? Kind::Item
                                       : p.n == 1 ? Kind::Case
                                                  : Kind::List,
                                       r}));
        case Kind::Case:
            return createIndex(row, 0,
                               encode({row == 0 ? Kind::CaseFolder : Kind::Consumables, p.n}));
        case Kind::CaseFolder:
            return createIndex(row, 0,
                               encode({Kind::CaseItem, quint64(data_.caseItemStart[p.n]) + r}));
        case Kind::List:
            return createIndex(row, 0,
                               encode({Kind::ListLine, quint64(data_.listLineStart[p.n]) + r}));
        default:
            return {};
    }
}

QModelIndex TreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid())
        return {};
    const Node c = nodeOf(child);
    switch (c.kind) {
        case Kind::Root:
            return {};
        case Kind::Item:
            return createIndex(0, 0, encode({Kind::Root, 0}));
        case Kind::Case:
            return createIndex(1, 0, encode({Kind::Root, 1}));
        case Kind::List:
            return createIndex(2, 0, encode({Kind::Root, 2}));
        case Kind::CaseFolder:
        case Kind::Consumables:
            return createIndex(static_cast<int>(c.n), 0, encode({Kind::Case, c.n}));
        case Kind::CaseItem:
            return createIndex(0, 0, encode({Kind::CaseFolder, quint64(caseOfCaseItem(c.n))}));
        case Kind::ListLine: {
            const int list = listOfLine(c.n);
            return createIndex(list, 0, encode({Kind::List, quint64(list)}));
        }
    }
    return {};
}

int TreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return 3;
    const Node p = nodeOf(parent);
    switch (p.kind) {
        case Kind::Root:
            if (static_cast<int>(p.n) >= filledRoots_)
                return 0;
            return static_cast<int>(p.n == 0   ? data_.itemIds.size()
                                    : p.n == 1 ? data_.caseIds.size()
                                               : data_.listIds.size());
        case Kind::Case:
            return 2;
        case Kind::CaseFolder:
            return data_.caseItemStart[p.n + 1] - data_.caseItemStart[p.n];
        case Kind::List:
            return data_.listLineStart[p.n + 1] - data_.listLineStart[p.n];
        default:
            return 0;
    }
}

int TreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QString TreeModel::text(Node node) const {
    switch (node.kind) {
        case Kind::Root:
            return kRootTexts[node.n];
        case Kind::Item:
            return data_.itemTexts.text(node.n);
        case Kind::Case:
            return data_.caseTexts.text(node.n);
        case Kind::CaseFolder:
            return QStringLiteral("Items");
        case Kind::Consumables:
            return QStringLiteral("Consumables");
        case Kind::CaseItem:
            return data_.itemTexts.text(static_cast<std::size_t>(data_.caseItems[node.n]));
        case Kind::List:
            return listText(node.n);
        case Kind::ListLine:
            return data_.lineTexts.text(node.n);
    }
    return {};
}

// The name, then the dates and state of a list that has them.
QString TreeModel::listText(quint64 list) const {
    const QString name = data_.listTexts.text(list);
    const auto plan = data_.listPlans.constFind(data_.listIds[list]);
    if (plan == data_.listPlans.cend() || !Bookings::hasPlan(*plan))
        return name;
    return name + QStringLiteral(" (") + Bookings::planText(*plan) + QLatin1Char(')');
}

std::optional<ListPlan> TreeModel::planOf(const QModelIndex& index) const {
    if (!index.isValid())
        return std::nullopt;
    const Node node = nodeOf(index);
    if (node.kind != Kind::List)
        return std::nullopt;
    const auto plan = data_.listPlans.constFind(data_.listIds[node.n]);
    if (plan == data_.listPlans.cend() || !Bookings::hasPlan(*plan))
        return std::nullopt;
    return *plan;
}

QString TreeModel::key(const QModelIndex& index) const {
    if (!index.isValid())
        return {};
    const Node node = nodeOf(index);
    const auto caseKey = [this](quint64 c) { return QStringLiteral("C%1").arg(data_.caseIds[c]); };
    switch (node.kind) {
        case Kind::Root:
            return kRootKeys[node.n];
        case Kind::Item:
            return QStringLiteral("I%1").arg(data_.itemIds[node.n]);
        case Kind::Case:
            return caseKey(node.n);
        case Kind::CaseFolder:
            return caseKey(node.n) + QStringLiteral("items");
        case Kind::Consumables:
            return caseKey(node.n) + QStringLiteral("consumeables");
        case Kind::CaseItem: {
            const auto item = static_cast<std::size_t>(data_.caseItems[node.n]);
            return caseKey(quint64(caseOfCaseItem(node.n))) +
                   QStringLiteral("I%1").arg(data_.itemIds[item]);
        }
        case Kind::List:
            return QStringLiteral("L%1").arg(data_.listIds[node.n]);
        case Kind::ListLine:
            return QStringLiteral("L%1I%2")
                .arg(data_.listIds[static_cast<std::size_t>(listOfLine(node.n))])
                .arg(data_.lineItemIds[node.n]);
    }
    return {};
}

std::optional<std::int64_t> TreeModel::itemIdOf(const QModelIndex& index) const {
    if (!index.isValid())
        return std::nullopt;
    const Node node = nodeOf(index);
    switch (node.kind) {
        case Kind::Item:
            return data_.itemIds[node.n];
        case Kind::CaseItem:
            return data_.itemIds[static_cast<std::size_t>(data_.caseItems[node.n])];
        case Kind::ListLine:
            return data_.lineItemIds[node.n];
        default:
            return std::nullopt;
    }
}

QModelIndex TreeModel::indexOfKey(const QString& key) const {
    // Walks the tree; used by tests and by keyboard look-ups, not on hot paths.
    waitForFirstTree();
    QList<QModelIndex> pending;
    for (int r = 0; r < rowCount(); ++r)
        pending << index(r, 0);
    while (!pending.isEmpty()) {
        const QModelIndex i = pending.takeFirst();
        if (this->key(i) == key)
            return i;
        for (int r = 0; r < rowCount(i); ++r)
            pending << index(r, 0, i);
    }
    return {};
}

QVariant TreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return text(nodeOf(index));
    if (role == KeyRole)
        return key(index);
    return {};
}
