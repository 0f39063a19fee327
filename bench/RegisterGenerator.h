#pragma once

#include <QString>
#include <cstdint>

// The shape of a generated register. Items are numbered 1..items; about
// itemsPerCase items go into each case, the rest are in no case; every list
// holds linesPerList distinct items. The last case holds bigCaseItems items
// and the last list bigListLines, so the case and list windows can be
// measured on a large one.
struct RegisterShape {
    QString name;  // "empty", "1k", "100k", "1M"
    std::int64_t items = 0;
    std::int64_t cases = 0;
    std::int64_t itemsPerCase = 25;
    std::int64_t lists = 0;
    std::int64_t linesPerList = 0;
    std::int64_t bigCaseItems = 0;
    std::int64_t bigListLines = 0;
    std::int64_t locations = 6;
    // The first datedLists lists are jobs with dates: out in 2027 for 2 to
    // 10 days, most Confirmed, some Out, a few Draft; their lines are drawn
    // from a pool of items a tenth of the register's, so some clash.
    std::int64_t datedLists = 0;
};

// The registers the benchmarks measure, by name: "1k", "100k" or "1M", and
// "empty" (one case and one list, nothing in them) for what a window costs
// without rows; "1M-dated" is "1M" with every list a job with dates. An
// unknown name gives a shape without a name.
RegisterShape registerShape(const QString& name);

// What a generated register holds, for checking the tree against it.
struct RegisterCounts {
    std::int64_t items = 0;
    std::int64_t cases = 0;
    std::int64_t itemsInCases = 0;
    std::int64_t lists = 0;
    std::int64_t listLines = 0;
};

// Writes a new data.mdb at path (which must not exist) holding a register of
// the given shape, filled with realistic values in every column. The same
// shape always gives the same register.
bool generateRegister(const QString& path, const RegisterShape& shape, RegisterCounts* counts,
                      QString* error);
