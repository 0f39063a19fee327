#include "data/TreeStore.h"

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
    return ok ? std::optional<TreeData>(std::move(tree)) : std::nullopt;
}
