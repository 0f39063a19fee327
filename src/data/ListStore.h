#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "data/TextPool.h"
#include "data/rules/Records.h"

class Register;

// The picking lists and their lines, each operation in one transaction on
// the register.
class ListStore {
public:
    explicit ListStore(Register& reg) : reg_(reg) {}

    std::optional<QList<ListRecord>> withId(qint64 id);
    std::optional<bool> exists(qint64 id);
    // The id of the first list of that name; 0 when none has it.
    std::optional<qint64> named(const QString& name);
    std::optional<IdTextRows> lines(qint64 listId);  // itemid, itemdesc by itemid
    // Adds the line unless the list is gone or already holds the item.
    AddLineResult addLine(qint64 listId, qint64 itemId, const QString& itemDesc);
    bool removeLine(qint64 listId, qint64 itemId);
    std::optional<qint64> insert(const QString& name);
    SaveResult update(qint64 id, const QString& name, const QString& loadedName, bool overwrite);

private:
    Register& reg_;
};
