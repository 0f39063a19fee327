#pragma once

#include <QList>
#include <optional>

#include "base/TextPool.h"
#include "data/rules/Records.h"

class Register;

// The flight cases: read, added under a new id and changed column by
// column, each in one transaction on the register.
class CaseStore {
public:
    explicit CaseStore(Register& reg) : reg_(reg) {}

    std::optional<IdTextRows> all();  // id, FName by id
    std::optional<QList<CaseRecord>> withId(qint64 id);
    std::optional<bool> exists(qint64 id);
    std::optional<qint64> insert(const CaseRecord& values);
    // As ItemStore::update.
    SaveResult update(qint64 id, const QList<ColumnChange>& changes, bool overwrite);

private:
    Register& reg_;
};
