#include "data/engine/SoundStates.h"

#include <QMutexLocker>
#include <algorithm>

namespace {

// The register, and the few other files a run copies to the device (a
// register chosen in the download window, a server's rows read into a file
// of their own each time): the oldest are forgotten.
constexpr qsizetype kFilesKept = 8;

}  // namespace

void SoundStates::remember(const Sqlite::FileState& state) {
    const QMutexLocker lock(&mutex_);
    states_.removeIf([&](const Sqlite::FileState& known) { return known.file == state.file; });
    if (states_.size() >= kFilesKept)
        states_.removeFirst();
    states_.append(state);
}

bool SoundStates::holds(const Sqlite::FileState& state) const {
    const QMutexLocker lock(&mutex_);
    return std::find(states_.cbegin(), states_.cend(), state) != states_.cend();
}
