#pragma once

#include <optional>

#include "data/TreeData.h"
#include "data/rules/TestsDue.h"

class Register;

// The main tree's read over the register (TreeReader reads the rows).
class TreeStore {
public:
    explicit TreeStore(Register& reg) : reg_(reg) {}

    // The tree, and the items' test statuses counted on the window's today.
    // `room`: a tree no longer shown, read into so that its memory, which the
    // system has already given, is used again (nothing of it is kept).
    std::optional<TreeData> read(const TestsDue::Window& window, TreeData room = {});

private:
    Register& reg_;
};
