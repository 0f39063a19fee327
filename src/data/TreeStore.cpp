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
    // The lists' dates and state; a tree whose plans cannot be read shows the names alone.
    if (auto plans = ListStore(reg_).plans())
        tree.listPlans = std::move(*plans);
    return tree;
}
