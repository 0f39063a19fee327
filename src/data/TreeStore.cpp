#include "data/TreeStore.h"

#include "data/ListStore.h"
#include "data/Register.h"
#include "data/TreeReader.h"
#include "data/engine/Sql.h"

using Sql::Connection;

std::optional<TreeData> TreeStore::read(const TestsDue::Window& window, TreeData room) {
    TreeData tree = std::move(room);
    const bool ok =
        reg_.run(QStringLiteral("read the register"), Register::Mode::Read, [&](Connection& db) {
            tree.clearKeepingRoom();
            return TreeReader::read(db, window, tree);
        });
    if (!ok)
        return std::nullopt;
    // The lists' dates and state. A register of a layout without them (read
    // before its upgrade, or only read) shows the names alone, and the tree
    // says nothing: the list windows tell what fails.
    FailureReporter reporter = reg_.exchangeReporter({});
    if (auto plans = ListStore(reg_).plans())
        tree.listPlans = std::move(*plans);
    reg_.exchangeReporter(std::move(reporter));
    return tree;
}
