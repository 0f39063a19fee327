#include "data/Store.h"

#include <sqlite3.h>

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <algorithm>
#include <unordered_map>

#include "data/TextRules.h"

namespace {

// How long a statement waits for another program holding the file.
constexpr int kBusyTimeoutMs = 2000;

// The schema of a new register. Text columns keep exactly what was typed;
// caseID and length are numbers; location names compare without regard to
// letter case. The two indexes keep the main tree fast on large registers.
const char* const kSchema[] = {
    "CREATE TABLE Items (id INTEGER PRIMARY KEY AUTOINCREMENT, \"desc\" TEXT, category TEXT, "
    "manufacturer TEXT, model TEXT, dom TEXT, testinterval TEXT, testlast TEXT, testnext TEXT, "
    "testpatresult TEXT, testpressureresult TEXT, visualinspectionresult TEXT, "
    "lolerinspectionresult TEXT, calibrationcert TEXT, caseID NUMERIC, warehouseloc TEXT, "
    "notes TEXT, length NUMERIC, serial TEXT)",
    "CREATE INDEX ItemsByCase ON Items (caseID)",
    "CREATE TABLE Cases (id INTEGER PRIMARY KEY AUTOINCREMENT, FName TEXT, FLocation TEXT, "
    "FBought TEXT, FNotes TEXT, FWheeled TEXT)",
    "CREATE TABLE Lists (id INTEGER PRIMARY KEY AUTOINCREMENT, ListName TEXT)",
    "CREATE TABLE ListData (listid NUMERIC, itemid NUMERIC, itemdesc TEXT)",
    "CREATE INDEX ListDataByListItem ON ListData (listid, itemid)",
    "CREATE TABLE Locations (\"desc\" TEXT COLLATE NOCASE)",
    "CREATE TABLE Data (lastid NUMERIC, lastCase NUMERIC, lastList NUMERIC)",
    "INSERT INTO Data (lastid, lastCase, lastList) VALUES (0, 0, 0)",
};

// A column value as the windows show it: null as empty text, numbers without
// a needless decimal point.
QString textOf(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return {};
    if (value.typeId() == QMetaType::Double)
        return TextRules::numberText(value.toDouble());
    return value.toString();
}

QString errorText(const QSqlError& error) {
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    return text.trimmed();
}

bool exec(QSqlQuery& query, const QString& sql, const QVariantList& values, QString& error) {
    query.setForwardOnly(true);
    if (!query.prepare(sql)) {
        error = errorText(query.lastError());
        return false;
    }
    for (const QVariant& v : values)
        query.addBindValue(v);
    if (!query.exec()) {
        error = errorText(query.lastError());
        return false;
    }
    return true;
}

// Numbers go into numeric columns as whole numbers when they are whole.
QVariant numberValue(const QVariant& value) {
    const double d = TextRules::numericValue(value);
    if (d == static_cast<double>(static_cast<qint64>(d)))
        return QVariant(static_cast<qint64>(d));
    return QVariant(d);
}

// Runs one statement that must change exactly one row.
bool execChangingOneRow(QSqlQuery& query, const QString& sql, const QVariantList& values,
                        QString& error) {
    if (!exec(query, sql, values, error))
        return false;
    if (query.numRowsAffected() != 1) {
        error = QStringLiteral("The record no longer exists.");
        return false;
    }
    return true;
}

std::optional<bool> hasRow(bool ok, bool found) {
    return ok ? std::optional<bool>(found) : std::nullopt;
}

// The sqlite3 handle behind an open Qt connection, for the bulk read of the tree.
sqlite3* nativeHandle(QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        ok_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) == SQLITE_OK;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return ok_; }
    // True while there is a row; false at the end or on an error (see failed()).
    bool step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        ok_ = ok_ && rc == SQLITE_DONE;
        return false;
    }
    bool failed() const { return !ok_; }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(db_)); }

    std::int64_t integer(int col) { return sqlite3_column_int64(stmt_, col); }
    // The column as a whole number when it holds one (3 and 3.0 alike).
    std::optional<std::int64_t> wholeNumber(int col) {
        switch (sqlite3_column_type(stmt_, col)) {
            case SQLITE_INTEGER:
                return sqlite3_column_int64(stmt_, col);
            case SQLITE_FLOAT: {
                const double d = sqlite3_column_double(stmt_, col);
                const auto n = static_cast<std::int64_t>(d);
                if (static_cast<double>(n) == d)
                    return n;
                return std::nullopt;
            }
            default:
                return std::nullopt;
        }
    }
    std::string_view text(int col) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
        if (!p)
            return {};
        return std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)));
    }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    bool ok_ = false;
};

bool readItemsAndCases(sqlite3* db, TreeData& tree, QString& error) {
    std::vector<std::optional<std::int64_t>> caseOfItem;
    {
        Statement items(db, "SELECT id, \"desc\", caseID FROM Items ORDER BY id");
        if (!items.ok()) {
            error = items.error();
            return false;
        }
        while (items.step()) {
            tree.itemIds.push_back(items.integer(0));
            tree.itemTexts.append(items.text(1));
            caseOfItem.push_back(items.wholeNumber(2));
        }
        if (items.failed()) {
            error = items.error();
            return false;
        }
    }

    std::unordered_map<std::int64_t, std::int32_t> caseIndex;
    {
        Statement cases(db, "SELECT id, FName FROM Cases ORDER BY id");
        if (!cases.ok()) {
            error = cases.error();
            return false;
        }
        while (cases.step()) {
            caseIndex.emplace(cases.integer(0), static_cast<std::int32_t>(tree.caseIds.size()));
            tree.caseIds.push_back(cases.integer(0));
            tree.caseTexts.append(cases.text(1));
        }
        if (cases.failed()) {
            error = cases.error();
            return false;
        }
    }

    // Group the items by case, keeping id order within each case.
    std::vector<std::int32_t> owner(caseOfItem.size(), -1);
    std::vector<std::int32_t> count(tree.caseIds.size() + 1, 0);
    for (std::size_t i = 0; i < caseOfItem.size(); ++i) {
        if (!caseOfItem[i])
            continue;
        const auto found = caseIndex.find(*caseOfItem[i]);
        if (found == caseIndex.end())
            continue;
        owner[i] = found->second;
        ++count[static_cast<std::size_t>(found->second) + 1];
    }
    tree.caseItemStart.assign(tree.caseIds.size() + 1, 0);
    for (std::size_t c = 0; c < tree.caseIds.size(); ++c)
        tree.caseItemStart[c + 1] = tree.caseItemStart[c] + count[c + 1];
    tree.caseItems.resize(static_cast<std::size_t>(tree.caseItemStart.back()));
    std::vector<std::int32_t> next(tree.caseItemStart.begin(), tree.caseItemStart.end() - 1);
    for (std::size_t i = 0; i < owner.size(); ++i) {
        if (owner[i] >= 0)
            tree.caseItems[static_cast<std::size_t>(next[owner[i]]++)] =
                static_cast<std::int32_t>(i);
    }
    return true;
}

bool readLists(sqlite3* db, TreeData& tree, QString& error) {
    std::unordered_map<std::int64_t, std::int32_t> listIndex;
    {
        Statement lists(db, "SELECT id, ListName FROM Lists ORDER BY id");
        if (!lists.ok()) {
            error = lists.error();
            return false;
        }
        while (lists.step()) {
            listIndex.emplace(lists.integer(0), static_cast<std::int32_t>(tree.listIds.size()));
            tree.listIds.push_back(lists.integer(0));
            tree.listTexts.append(lists.text(1));
        }
        if (lists.failed()) {
            error = lists.error();
            return false;
        }
    }

    struct Line {
        std::int32_t list;
        std::int64_t item;
        std::uint32_t text;  // index into rawTexts
    };
    std::vector<Line> lines;
    TextPool rawTexts;
    {
        Statement data(db, "SELECT listid, itemid, itemdesc FROM ListData");
        if (!data.ok()) {
            error = data.error();
            return false;
        }
        while (data.step()) {
            const auto listId = data.wholeNumber(0);
            const auto itemId = data.wholeNumber(1);
            if (!listId || !itemId)
                continue;
            const auto found = listIndex.find(*listId);
            if (found == listIndex.end())
                continue;
            lines.push_back({found->second, *itemId, static_cast<std::uint32_t>(rawTexts.size())});
            rawTexts.append(data.text(2));
        }
        if (data.failed()) {
            error = data.error();
            return false;
        }
    }

    // Each list's lines by item id, as the per-list statement returns them;
    // a pair that repeats is shown once.
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        return a.list != b.list ? a.list < b.list : a.item < b.item;
    });
    std::vector<std::int32_t> count(tree.listIds.size() + 1, 0);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0 && lines[i].list == lines[i - 1].list && lines[i].item == lines[i - 1].item)
            continue;
        tree.lineItemIds.push_back(lines[i].item);
        tree.lineTexts.append(rawTexts.view(lines[i].text));
        ++count[static_cast<std::size_t>(lines[i].list) + 1];
    }
    tree.listLineStart.assign(tree.listIds.size() + 1, 0);
    for (std::size_t l = 0; l < tree.listIds.size(); ++l)
        tree.listLineStart[l + 1] = tree.listLineStart[l] + count[l + 1];
    return true;
}

ItemRecord itemFrom(const QSqlQuery& q) {
    ItemRecord item;
    item.id = textOf(q.value(0));
    for (int c = 0; c < kItemDataColumnCount; ++c)
        item.values[static_cast<std::size_t>(c)] = textOf(q.value(c + 1));
    return item;
}

QVariantList itemBindValues(const ItemWrite& values) {
    QVariantList binds;
    for (int c = 0; c < kItemDataColumnCount; ++c) {
        const auto column = static_cast<ItemColumn>(c);
        const QVariant& v = values[static_cast<std::size_t>(c)];
        if (column == ItemColumn::CaseId || column == ItemColumn::Length)
            binds << numberValue(v);
        else
            binds << QVariant(v.isNull() ? QString() : v.toString());
    }
    return binds;
}

QString itemColumnList() {
    QStringList names;
    for (const char* n : itemColumnNames())
        names << QStringLiteral("\"%1\"").arg(QLatin1String(n));
    return names.join(QStringLiteral(", "));
}

// Takes the id for a new row of `table` and records it in the counter
// `column` of Data: one more than both the counter and the highest id the
// table ever had, so a label printed under the predicted id (counter + 1)
// names the new row and no id is ever given twice. Table and column are
// fixed names of the schema.
std::optional<qint64> takeNextId(QSqlDatabase& db, const char* table, const char* column,
                                 QString& error) {
    QSqlQuery counter(db);
    if (!exec(counter, QStringLiteral("SELECT %1 FROM Data LIMIT 1").arg(QLatin1String(column)), {},
              error))
        return std::nullopt;
    if (!counter.next()) {
        error = QStringLiteral("Table Data holds no counter row.");
        return std::nullopt;
    }
    qint64 next = static_cast<qint64>(TextRules::numericValue(counter.value(0))) + 1;

    QSqlQuery highest(db);
    if (!exec(highest, QStringLiteral("SELECT MAX(id) FROM %1").arg(QLatin1String(table)), {},
              error))
        return std::nullopt;
    if (highest.next())
        next = std::max(next, highest.value(0).toLongLong() + 1);
    // Ids of deleted rows are remembered here; a register without it still works.
    QSqlQuery sequence(db);
    QString ignored;
    if (exec(sequence, QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?"),
             {QLatin1String(table)}, ignored) &&
        sequence.next())
        next = std::max(next, sequence.value(0).toLongLong() + 1);

    QSqlQuery update(db);
    if (!exec(update, QStringLiteral("UPDATE Data SET %1 = ?").arg(QLatin1String(column)), {next},
              error))
        return std::nullopt;
    return next;
}

bool readIdTexts(QSqlDatabase& db, const QString& sql, const QVariantList& values,
                 QList<IdText>& out, QString& error) {
    QSqlQuery q(db);
    if (!exec(q, sql, values, error))
        return false;
    while (q.next())
        out.append({q.value(0).toLongLong(), textOf(q.value(1))});
    return true;
}

bool rowExists(QSqlDatabase& db, const QString& sql, const QVariantList& values, bool& found,
               QString& error) {
    QSqlQuery q(db);
    if (!exec(q, sql, values, error))
        return false;
    found = q.next();
    return true;
}

}  // namespace

Store::Store(QString databasePath, FailureReporter reporter)
    : path_(std::move(databasePath)), reporter_(std::move(reporter)) {}

void Store::report(const QString& what, const QString& reason) {
    if (!reporter_)
        return;
    reporter_(QStringLiteral("Quarvel could not %1.\n\nDatabase file: %2\n\n%3")
                  .arg(what, QDir::toNativeSeparators(path_), reason));
}

bool Store::run(const QString& what, const Body& body, bool transactional) {
    static QAtomicInteger<quint64> serial;
    const QString name = QStringLiteral("quarvel-%1").arg(serial.fetchAndAddRelaxed(1));
    QString error;
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        if (!QFileInfo::exists(path_)) {
            error = QStringLiteral("The file does not exist.");
        } else {
            // mode=rw: never create a file that is not there.
            db.setDatabaseName(QUrl::fromLocalFile(path_).toString(QUrl::FullyEncoded) +
                               QStringLiteral("?mode=rw"));
            db.setConnectOptions(
                QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
            if (!db.open()) {
                error = errorText(db.lastError());
            } else if (transactional && !db.transaction()) {
                error = errorText(db.lastError());
            } else {
                ok = body(db, error);
                if (transactional) {
                    if (ok && !db.commit()) {
                        error = errorText(db.lastError());
                        ok = false;
                    }
                    if (!ok)
                        db.rollback();
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (!ok)
        report(what, error.isEmpty() ? QStringLiteral("Unknown error.") : error);
    return ok;
}

bool Store::createEmptyDatabase(const QString& path, QString* error) {
    if (QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("%1 already exists.").arg(path);
        return false;
    }
    sqlite3* db = nullptr;
    const QByteArray file = path.toUtf8();
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return false;
    }
    bool ok = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    for (const char* sql : kSchema) {
        if (ok)
            ok = sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    if (ok)
        ok = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok && error)
        *error = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_close(db);
    if (!ok)
        QFile::remove(path);
    return ok;
}

// --- Main tree ----------------------------------------------------------------

std::optional<TreeData> Store::readTree() {
    TreeData tree;
    const bool ok = run(QStringLiteral("read the register"), [&](QSqlDatabase& db, QString& error) {
        sqlite3* handle = nativeHandle(db);
        if (!handle) {
            error = QStringLiteral("The database driver gave no SQLite handle.");
            return false;
        }
        return readItemsAndCases(handle, tree, error) && readLists(handle, tree, error);
    });
    if (!ok)
        return std::nullopt;
    return tree;
}

// --- Items --------------------------------------------------------------------

Store::Rows<ItemRecord> Store::itemsWithId(qint64 id) {
    QList<ItemRecord> rows;
    const bool ok = run(QStringLiteral("read item %1").arg(id), [&](QSqlDatabase& db,
                                                                    QString& error) {
        QSqlQuery q(db);
        if (!exec(q, QStringLiteral("SELECT id, %1 FROM Items WHERE id = ?").arg(itemColumnList()),
                  {id}, error))
            return false;
        while (q.next())
            rows.append(itemFrom(q));
        return true;
    });
    return ok ? Rows<ItemRecord>(rows) : std::nullopt;
}

std::optional<bool> Store::itemExists(qint64 id) {
    bool found = false;
    const bool ok = run(QStringLiteral("look up item %1").arg(id), [&](QSqlDatabase& db,
                                                                       QString& e) {
        return rowExists(db, QStringLiteral("SELECT 1 FROM Items WHERE id = ?"), {id}, found, e);
    });
    return hasRow(ok, found);
}

Store::Rows<IdText> Store::allItems() {
    QList<IdText> rows;
    const bool ok = run(QStringLiteral("read the items"), [&](QSqlDatabase& db, QString& e) {
        return readIdTexts(db, QStringLiteral("SELECT id, \"desc\" FROM Items ORDER BY id"), {},
                           rows, e);
    });
    return ok ? Rows<IdText>(rows) : std::nullopt;
}

Store::Rows<IdText> Store::itemsInCase(qint64 caseId) {
    QList<IdText> rows;
    const bool ok = run(
        QStringLiteral("read the items of case F%1").arg(caseId),
        [&](QSqlDatabase& db, QString& e) {
            return readIdTexts(
                db, QStringLiteral("SELECT id, \"desc\" FROM Items WHERE caseID = ? ORDER BY id"),
                {caseId}, rows, e);
        });
    return ok ? Rows<IdText>(rows) : std::nullopt;
}

Store::Rows<IdText> Store::itemsInCaseByCategory(qint64 caseId) {
    QList<IdText> rows;
    const bool ok =
        run(QStringLiteral("read the items of case F%1").arg(caseId),
            [&](QSqlDatabase& db, QString& e) {
                return readIdTexts(db,
                                   QStringLiteral("SELECT id, \"desc\" FROM Items "
                                                  "WHERE caseID = ? ORDER BY category, id"),
                                   {caseId}, rows, e);
            });
    return ok ? Rows<IdText>(rows) : std::nullopt;
}

std::optional<qint64> Store::insertItem(const ItemWrite& values) {
    qint64 newId = 0;
    const bool ok = run(
        QStringLiteral("save the new item"),
        [&](QSqlDatabase& db, QString& error) {
            const auto id = takeNextId(db, "Items", "lastid", error);
            if (!id)
                return false;
            QSqlQuery q(db);
            const QString sql =
                QStringLiteral("INSERT INTO Items (id, %1) VALUES (?, %2)")
                    .arg(itemColumnList(), QStringList(kItemDataColumnCount, QStringLiteral("?"))
                                               .join(QStringLiteral(", ")));
            if (!exec(q, sql, QVariantList{*id} + itemBindValues(values), error))
                return false;
            newId = *id;
            return true;
        },
        true);
    return ok ? std::optional<qint64>(newId) : std::nullopt;
}

bool Store::updateItem(qint64 id, const ItemWrite& values) {
    return run(QStringLiteral("save item %1").arg(id), [&](QSqlDatabase& db, QString& error) {
        QStringList sets;
        for (const char* n : itemColumnNames())
            sets << QStringLiteral("\"%1\" = ?").arg(QLatin1String(n));
        QVariantList binds = itemBindValues(values);
        binds << id;
        QSqlQuery q(db);
        return execChangingOneRow(
            q,
            QStringLiteral("UPDATE Items SET %1 WHERE id = ?").arg(sets.join(QStringLiteral(", "))),
            binds, error);
    });
}

bool Store::deleteItem(qint64 id) {
    return run(QStringLiteral("delete item %1").arg(id), [&](QSqlDatabase& db, QString& error) {
        QSqlQuery q(db);
        return exec(q, QStringLiteral("DELETE FROM Items WHERE id = ?"), {id}, error);
    });
}

// --- Cases --------------------------------------------------------------------

Store::Rows<IdText> Store::allCases() {
    QList<IdText> rows;
    const bool ok = run(QStringLiteral("read the flight cases"), [&](QSqlDatabase& db, QString& e) {
        return readIdTexts(db, QStringLiteral("SELECT id, FName FROM Cases ORDER BY id"), {}, rows,
                           e);
    });
    return ok ? Rows<IdText>(rows) : std::nullopt;
}

Store::Rows<CaseRecord> Store::casesWithId(qint64 id) {
    QList<CaseRecord> rows;
    const bool ok =
        run(QStringLiteral("read flight case F%1").arg(id), [&](QSqlDatabase& db, QString& error) {
            QSqlQuery q(db);
            if (!exec(q,
                      QStringLiteral("SELECT id, FName, FLocation, FBought, FNotes, FWheeled "
                                     "FROM Cases WHERE id = ?"),
                      {id}, error))
                return false;
            while (q.next()) {
                rows.append({textOf(q.value(0)), textOf(q.value(1)), textOf(q.value(2)),
                             textOf(q.value(3)), textOf(q.value(4)), textOf(q.value(5))});
            }
            return true;
        });
    return ok ? Rows<CaseRecord>(rows) : std::nullopt;
}

std::optional<bool> Store::caseExists(qint64 id) {
    bool found = false;
    const bool ok = run(QStringLiteral("look up flight case F%1").arg(id), [&](QSqlDatabase& db,
                                                                               QString& e) {
        return rowExists(db, QStringLiteral("SELECT 1 FROM Cases WHERE id = ?"), {id}, found, e);
    });
    return hasRow(ok, found);
}

std::optional<qint64> Store::insertCase(const CaseRecord& values) {
    qint64 newId = 0;
    const bool ok = run(
        QStringLiteral("save the new flight case"),
        [&](QSqlDatabase& db, QString& error) {
            const auto id = takeNextId(db, "Cases", "lastCase", error);
            if (!id)
                return false;
            QSqlQuery q(db);
            if (!exec(q,
                      QStringLiteral("INSERT INTO Cases (id, FName, FLocation, FBought, FNotes, "
                                     "FWheeled) VALUES (?, ?, ?, ?, ?, ?)"),
                      {*id, values.name, values.location, values.bought, values.notes,
                       values.wheeled},
                      error))
                return false;
            newId = *id;
            return true;
        },
        true);
    return ok ? std::optional<qint64>(newId) : std::nullopt;
}

bool Store::updateCase(qint64 id, const CaseRecord& values) {
    return run(QStringLiteral("save flight case F%1").arg(id), [&](QSqlDatabase& db,
                                                                   QString& error) {
        QSqlQuery q(db);
        return execChangingOneRow(
            q,
            QStringLiteral("UPDATE Cases SET FName = ?, FLocation = ?, "
                           "FBought = ?, FNotes = ?, FWheeled = ? WHERE id = ?"),
            {values.name, values.location, values.bought, values.notes, values.wheeled, id}, error);
    });
}

bool Store::deleteCase(qint64 id) {
    return run(QStringLiteral("delete flight case F%1").arg(id),
               [&](QSqlDatabase& db, QString& error) {
                   QSqlQuery q(db);
                   return exec(q, QStringLiteral("DELETE FROM Cases WHERE id = ?"), {id}, error);
               });
}

// --- Lists --------------------------------------------------------------------

Store::Rows<ListRecord> Store::listsWithId(qint64 id) {
    QList<ListRecord> rows;
    const bool ok = run(QStringLiteral("read list %1").arg(id), [&](QSqlDatabase& db,
                                                                    QString& error) {
        QSqlQuery q(db);
        if (!exec(q, QStringLiteral("SELECT id, ListName FROM Lists WHERE id = ?"), {id}, error))
            return false;
        while (q.next())
            rows.append({textOf(q.value(0)), textOf(q.value(1))});
        return true;
    });
    return ok ? Rows<ListRecord>(rows) : std::nullopt;
}

std::optional<bool> Store::listExists(qint64 id) {
    bool found = false;
    const bool ok = run(QStringLiteral("look up list %1").arg(id), [&](QSqlDatabase& db,
                                                                       QString& e) {
        return rowExists(db, QStringLiteral("SELECT 1 FROM Lists WHERE id = ?"), {id}, found, e);
    });
    return hasRow(ok, found);
}

Store::Rows<ListLineRecord> Store::listLines(qint64 listId) {
    QList<ListLineRecord> rows;
    const bool ok =
        run(QStringLiteral("read the lines of list %1").arg(listId),
            [&](QSqlDatabase& db, QString& error) {
                QSqlQuery q(db);
                if (!exec(q,
                          QStringLiteral("SELECT itemid, itemdesc FROM ListData WHERE listid = ? "
                                         "ORDER BY itemid"),
                          {listId}, error))
                    return false;
                while (q.next())
                    rows.append({q.value(0).toLongLong(), textOf(q.value(1))});
                return true;
            });
    return ok ? Rows<ListLineRecord>(rows) : std::nullopt;
}

std::optional<bool> Store::listHasItem(qint64 listId, qint64 itemId) {
    bool found = false;
    const bool ok =
        run(QStringLiteral("look up item %1 on list %2").arg(itemId).arg(listId),
            [&](QSqlDatabase& db, QString& e) {
                return rowExists(
                    db, QStringLiteral("SELECT 1 FROM ListData WHERE listid = ? AND itemid = ?"),
                    {listId, itemId}, found, e);
            });
    return hasRow(ok, found);
}

bool Store::addListLine(qint64 listId, qint64 itemId, const QString& itemDesc) {
    return run(
        QStringLiteral("add item %1 to list %2").arg(itemId).arg(listId),
        [&](QSqlDatabase& db, QString& error) {
            QSqlQuery q(db);
            return exec(
                q,
                QStringLiteral("INSERT INTO ListData (listid, itemid, itemdesc) VALUES (?, ?, ?)"),
                {listId, itemId, itemDesc}, error);
        });
}

bool Store::removeListLine(qint64 listId, qint64 itemId) {
    return run(QStringLiteral("remove item %1 from list %2").arg(itemId).arg(listId),
               [&](QSqlDatabase& db, QString& error) {
                   QSqlQuery q(db);
                   return exec(
                       q, QStringLiteral("DELETE FROM ListData WHERE listid = ? AND itemid = ?"),
                       {listId, itemId}, error);
               });
}

std::optional<qint64> Store::insertList(const QString& name) {
    qint64 newId = 0;
    const bool ok = run(
        QStringLiteral("save the new list"),
        [&](QSqlDatabase& db, QString& error) {
            const auto id = takeNextId(db, "Lists", "lastList", error);
            if (!id)
                return false;
            QSqlQuery q(db);
            if (!exec(q, QStringLiteral("INSERT INTO Lists (id, ListName) VALUES (?, ?)"),
                      {*id, name}, error))
                return false;
            newId = *id;
            return true;
        },
        true);
    return ok ? std::optional<qint64>(newId) : std::nullopt;
}

bool Store::updateList(qint64 id, const QString& name) {
    return run(QStringLiteral("save list %1").arg(id), [&](QSqlDatabase& db, QString& error) {
        QSqlQuery q(db);
        return execChangingOneRow(q, QStringLiteral("UPDATE Lists SET ListName = ? WHERE id = ?"),
                                  {name, id}, error);
    });
}

bool Store::deleteList(qint64 id) {
    return run(
        QStringLiteral("delete list %1").arg(id),
        [&](QSqlDatabase& db, QString& error) {
            QSqlQuery lines(db);
            if (!exec(lines, QStringLiteral("DELETE FROM ListData WHERE listid = ?"), {id}, error))
                return false;
            QSqlQuery list(db);
            return exec(list, QStringLiteral("DELETE FROM Lists WHERE id = ?"), {id}, error);
        },
        true);
}

// --- Locations ----------------------------------------------------------------

Store::Rows<QString> Store::locations() {
    QList<QString> rows;
    const bool ok = run(QStringLiteral("read the locations"), [&](QSqlDatabase& db,
                                                                  QString& error) {
        QSqlQuery q(db);
        if (!exec(q, QStringLiteral("SELECT \"desc\" FROM Locations ORDER BY rowid"), {}, error))
            return false;
        while (q.next())
            rows.append(textOf(q.value(0)));
        return true;
    });
    return ok ? Rows<QString>(rows) : std::nullopt;
}

std::optional<bool> Store::locationExists(const QString& name) {
    bool found = false;
    const bool ok = run(QStringLiteral("look up the location"), [&](QSqlDatabase& db, QString& e) {
        return rowExists(
            db, QStringLiteral("SELECT 1 FROM Locations WHERE \"desc\" = ? COLLATE NOCASE"), {name},
            found, e);
    });
    return hasRow(ok, found);
}

bool Store::addLocation(const QString& name) {
    return run(QStringLiteral("add the location"), [&](QSqlDatabase& db, QString& error) {
        QSqlQuery q(db);
        return exec(q, QStringLiteral("INSERT INTO Locations (\"desc\") VALUES (?)"), {name},
                    error);
    });
}

// Deletes exactly the named row: a register that already holds the same
// name in another letter case keeps that one.
bool Store::deleteLocation(const QString& name) {
    return run(QStringLiteral("delete the location"), [&](QSqlDatabase& db, QString& error) {
        QSqlQuery q(db);
        return exec(q, QStringLiteral("DELETE FROM Locations WHERE \"desc\" = ? COLLATE BINARY"),
                    {name}, error);
    });
}

// --- Counters -----------------------------------------------------------------

std::optional<Counters> Store::counters() {
    Counters counters;
    const bool ok =
        run(QStringLiteral("read the id counters"), [&](QSqlDatabase& db, QString& error) {
            QSqlQuery q(db);
            if (!exec(q, QStringLiteral("SELECT lastid, lastCase, lastList FROM Data LIMIT 1"), {},
                      error))
                return false;
            if (!q.next()) {
                error = QStringLiteral("Table Data holds no counter row.");
                return false;
            }
            counters.lastId = static_cast<qint64>(TextRules::numericValue(q.value(0)));
            counters.lastCase = static_cast<qint64>(TextRules::numericValue(q.value(1)));
            counters.lastList = static_cast<qint64>(TextRules::numericValue(q.value(2)));
            return true;
        });
    return ok ? std::optional<Counters>(counters) : std::nullopt;
}
