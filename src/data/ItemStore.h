#pragma once

#include <QList>
#include <QStringList>
#include <optional>

#include "base/TextPool.h"
#include "data/rules/Records.h"

class Register;

// The items: read by id or by case, added under a new id, changed column by
// column, put into a case and deleted, each in one transaction on the
// register (which tells any failure).
class ItemStore {
public:
    explicit ItemStore(Register& reg) : reg_(reg) {}

    std::optional<QList<ItemRecord>> withId(qint64 id);
    std::optional<bool> exists(qint64 id);
    std::optional<IdTextRows> all();                            // id, desc by id
    std::optional<IdTextRows> inCase(qint64 caseId);            // by id
    std::optional<IdTextRows> inCaseByCategory(qint64 caseId);  // by category, then id
    // The categories items have (none empty), in the engine's order.
    std::optional<QStringList> categories();
    // Raises lastid and adds the row in one transaction; returns the new id.
    std::optional<qint64> insert(const ItemWrite& values);
    // Writes the changed columns only. Without overwrite, a changed column
    // that was also changed elsewhere since the editor loaded it writes
    // nothing and gives ChangedElsewhere. Columns left null are stored as
    // empty text (0 for the number columns), as Save always did.
    SaveResult update(qint64 id, const QList<ColumnChange>& changes, bool overwrite);
    // Puts the item into the case (0: into no case), changing nothing else.
    PutInCaseResult setCase(qint64 itemId, qint64 caseId);
    bool remove(qint64 id);

private:
    Register& reg_;
};
