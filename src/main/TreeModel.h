#pragma once

#include <QAbstractItemModel>
#include <functional>
#include <optional>

#include "data/TreeData.h"

// The main window's tree over the flat arrays of TreeData: three roots
// ("Items", "Cases", "Lists"), the items, each case with its "Items" and
// "Consumables" folders, each list with its lines. Texts are made only for
// rows that are painted, so large registers load quickly.
class TreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    static constexpr int KeyRole = Qt::UserRole + 1;

    explicit TreeModel(QObject* parent = nullptr);

    // The first tree goes in under the roots already shown, so what the user
    // selected, expanded or scrolled to stays; a later one replaces the tree.
    // Gives back the tree it held, to be freed where the window does not wait.
    [[nodiscard]] TreeData setTree(TreeData data);
    // Until the first tree is set, the roots show as having children, and
    // expanding one or looking up a key calls `wait`, which sets the tree.
    void setWaitForTree(std::function<void()> wait) { waitForTree_ = std::move(wait); }
    // Waits for the first tree when it has not come yet.
    void waitForFirstTree() const;

    // The node's key: "items", "I45", "C12", "C12items", "C12I45",
    // "C12consumeables", "Lists", "L3", "L3I45", ...
    QString key(const QModelIndex& index) const;
    // The node with that key, or an invalid index.
    QModelIndex indexOfKey(const QString& key) const;
    // The item an item node shows (under "Items", a case or a list);
    // nullopt for roots, cases, folders and lists.
    std::optional<std::int64_t> itemIdOf(const QModelIndex& index) const;
    // The dates and state of a list node's list; nullopt for other nodes and
    // for a list without a plan.
    std::optional<ListPlan> planOf(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    enum class Kind : quint8 {
        Root,
        Item,
        Case,
        CaseFolder,
        Consumables,
        CaseItem,
        List,
        ListLine
    };
    struct Node {
        Kind kind;
        quint64 n;  // root number, or index into the kind's array
    };
    static quintptr encode(Node node);
    static Node decode(quintptr id);
    static Node nodeOf(const QModelIndex& index) { return decode(index.internalId()); }
    int caseOfCaseItem(quint64 flat) const;
    int listOfLine(quint64 flat) const;
    QString text(Node node) const;
    QString listText(quint64 list) const;

    TreeData data_;
    int filledRoots_ = 0;  // roots whose children are shown; all three once a tree was set
    bool filled_ = false;
    std::function<void()> waitForTree_;
};
