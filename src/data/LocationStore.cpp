#include "data/LocationStore.h"

#include "data/Register.h"
#include "data/StoreSql.h"

using Sql::Connection;
using Sql::Statement;
using namespace StoreSql;

std::optional<IdTextRows> LocationStore::all() {
    return StoreSql::idTexts(reg_, QStringLiteral("read the locations"),
                             R"(SELECT COUNT(*) FROM "Locations")",
                             R"(SELECT "rowid", "desc" FROM "Locations" ORDER BY "rowid")");
}

AddLocationResult LocationStore::add(const QString& name, qint64* rowId) {
    AddLocationResult result = AddLocationResult::Added;
    qint64 added = 0;
    // Compared and added as the engine stores it, so a name that cannot be
    // stored as it is (a NUL on a server) matches its stored form.
    const QString stored = reg_.storable(name);
    const QString folded = stored.toCaseFolded();
    const bool ok =
        reg_.write(QStringLiteral("add the location"), QStringLiteral("Save"),
                   [&](Connection& db, ChangeLogWriter& log) {
                       // Another desk adding a name waits until this one is in.
                       if (!db.lockAgainstAdding("Locations"))
                           return false;
                       // Compared in the program: SQLite folds letter case of A to Z only.
                       Statement names(db, R"(SELECT "desc" FROM "Locations")");
                       while (names.step()) {
                           if (names.shown(0).toCaseFolded() == folded) {
                               result = AddLocationResult::AlreadyThere;
                               return true;
                           }
                       }
                       if (!names.ok())
                           return false;
                       Statement insert(
                           db, R"(INSERT INTO "Locations" ("desc") VALUES (?) RETURNING "rowid")");
                       insert.bind(stored);
                       if (!insert.step())
                           return false;
                       added = insert.integer(0);
                       const LoggedField fields[] = {{QStringLiteral("desc"), stored}};
                       log.created(ChangeKind::kLocation, added, fields);
                       return insert.run();
                   });
    if (!ok)
        return AddLocationResult::Failed;
    if (rowId && result == AddLocationResult::Added)
        *rowId = added;  // only once committed
    return result;
}

bool LocationStore::remove(qint64 rowId, const QString& name) {
    return reg_.write(
        QStringLiteral("delete the location"), QStringLiteral("Save"),
        [&](Connection& db, ChangeLogWriter& log) {
            // Exactly that name: a file's Locations compare without regard to
            // letter case unless told; a server's compare exactly.
            const QByteArray sql =
                QByteArray(R"(DELETE FROM "Locations" WHERE "rowid" = ? AND "desc" = ?)") +
                db.exactly();
            Statement statement(db, sql.constData());
            const QString stored = reg_.storable(name);
            statement.bind(rowId).bind(stored);
            if (!statement.run())
                return false;
            if (statement.changes() > 0) {
                const LoggedField fields[] = {{QStringLiteral("desc"), stored}};
                log.deleted(ChangeKind::kLocation, rowId, fields);
            }
            return true;
        });
}
