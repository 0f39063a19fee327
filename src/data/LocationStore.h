#pragma once

#include <QString>
#include <optional>

#include "base/TextPool.h"
#include "data/rules/Records.h"

class Register;

// The warehouse locations the pickers offer. Names are compared in the form
// the register stores them (Register::storable), letter case aside.
class LocationStore {
public:
    explicit LocationStore(Register& reg) : reg_(reg) {}

    // Row ids and names in stored order.
    std::optional<IdTextRows> all();
    // Adds the name unless an equal name (letter case aside, in any script)
    // is already there; gives the new row's id.
    AddLocationResult add(const QString& name, qint64* rowId = nullptr);
    // Deletes exactly that row, and only while it still holds that name.
    bool remove(qint64 rowId, const QString& name);

private:
    Register& reg_;
};
