#include "data/Records.h"

const std::array<const char*, kItemDataColumnCount>& itemColumnNames() {
    static const std::array<const char*, kItemDataColumnCount> names = {
        "desc",
        "category",
        "manufacturer",
        "model",
        "dom",
        "testinterval",
        "testlast",
        "testnext",
        "testpatresult",
        "testpressureresult",
        "visualinspectionresult",
        "lolerinspectionresult",
        "calibrationcert",
        "caseID",
        "warehouseloc",
        "notes",
        "length",
        "serial",
    };
    return names;
}
