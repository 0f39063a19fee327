#pragma once

#include <optional>

#include "data/rules/Records.h"

class Register;

// The ids new records get, and the counters of the Data row that keep them.
class IdStore {
public:
    explicit IdStore(Register& reg) : reg_(reg) {}

    // The id the next record of that table gets: one above its counter and
    // above every id the table ever had (for items, also every id the test
    // records name, so a deleted item's tests never pass to a new one). Save
    // gives the same id unless another program saved a record in between.
    std::optional<qint64> predicted(RecordTable table);
    std::optional<Counters> counters();

private:
    Register& reg_;
};
