#pragma once

#include <QList>
#include <QMutex>

#include "data/engine/Sqlite.h"

// The states of register files that SQLite's full check found sound in this
// run: the last one of each of the few files checked last. The daily full
// check on its thread, an upgrade and the device copy share one, so the copy
// of a file in a state already checked need not read it all again. Safe to
// use from several threads.
class SoundStates {
public:
    // `state` passed the full check: it replaces what was known of its file.
    void remember(const Sqlite::FileState& state);
    // Whether the full check found the file in exactly this state sound.
    bool holds(const Sqlite::FileState& state) const;

private:
    mutable QMutex mutex_;
    QList<Sqlite::FileState> states_;
};
