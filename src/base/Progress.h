#pragma once

#include <cstdint>

// How a long job (an import, an export, a copy) tells how far it has come
// and hears that the user wants it stopped. The windows show it in a
// progress dialog with a Cancel button, the command line on standard error.
// A job that is cancelled undoes all it did and returns as a failure; the
// caller asks cancelled() to tell the two apart.
class Progress {
public:
    virtual ~Progress() = default;

    // done of total units (rows, lines, bytes); total 0 when it is not known.
    // False once the user has cancelled: the job then stops and undoes its work.
    virtual bool report(std::int64_t done, std::int64_t total) = 0;
    virtual bool cancelled() const = 0;

    // Loops call this for every unit; it asks only every kEvery units, so a
    // million rows cost a thousand calls. No progress: never cancelled.
    static bool step(Progress* progress, std::int64_t done, std::int64_t total) {
        return !progress || done % kEvery != 0 || progress->report(done, total);
    }
    static bool wasCancelled(const Progress* progress) { return progress && progress->cancelled(); }

    static constexpr std::int64_t kEvery = 1024;
};
