#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>

#include "data/Records.h"
#include "data/TreeData.h"

class QSqlDatabase;

// The one place that knows the tables of data.mdb and holds every statement
// the program runs. Each operation opens its own connection, runs its
// statements with bound values and closes it again, so nothing stays open
// between window events.
//
// When an operation fails (missing or unreadable file, not a database,
// locked, a failed statement) nothing partial is stored, the failure reporter
// is told what failed, and the method returns an empty optional or false.
class Store {
public:
    template <class T>
    using Rows = std::optional<QList<T>>;
    using FailureReporter = std::function<void(const QString& message)>;

    explicit Store(QString databasePath, FailureReporter reporter = {});

    const QString& databasePath() const { return path_; }
    void setFailureReporter(FailureReporter reporter) { reporter_ = std::move(reporter); }

    // Writes a new register: the six tables and the Data row with all
    // counters 0. Refuses to overwrite an existing file.
    static bool createEmptyDatabase(const QString& path, QString* error);

    // --- Main tree -------------------------------------------------------
    std::optional<TreeData> readTree();

    // --- Items -----------------------------------------------------------
    Rows<ItemRecord> itemsWithId(qint64 id);
    std::optional<bool> itemExists(qint64 id);
    Rows<IdText> allItems();                            // id, desc in stored order
    Rows<IdText> itemsInCase(qint64 caseId);            // by id
    Rows<IdText> itemsInCaseByCategory(qint64 caseId);  // by category, then id
    // Raises lastid and adds the row in one transaction; returns the new id.
    std::optional<qint64> insertItem(const ItemWrite& values);
    bool updateItem(qint64 id, const ItemWrite& values);
    bool deleteItem(qint64 id);

    // --- Cases -----------------------------------------------------------
    Rows<IdText> allCases();  // id, FName in stored order
    Rows<CaseRecord> casesWithId(qint64 id);
    std::optional<bool> caseExists(qint64 id);
    std::optional<qint64> insertCase(const CaseRecord& values);
    bool updateCase(qint64 id, const CaseRecord& values);
    bool deleteCase(qint64 id);

    // --- Lists -----------------------------------------------------------
    Rows<ListRecord> listsWithId(qint64 id);
    std::optional<bool> listExists(qint64 id);
    Rows<ListLineRecord> listLines(qint64 listId);
    std::optional<bool> listHasItem(qint64 listId, qint64 itemId);
    bool addListLine(qint64 listId, qint64 itemId, const QString& itemDesc);
    bool removeListLine(qint64 listId, qint64 itemId);
    std::optional<qint64> insertList(const QString& name);
    bool updateList(qint64 id, const QString& name);
    bool deleteList(qint64 id);  // the list and all its lines

    // --- Locations -------------------------------------------------------
    Rows<QString> locations();
    std::optional<bool> locationExists(const QString& name);
    bool addLocation(const QString& name);
    bool deleteLocation(const QString& name);

    // --- Counters --------------------------------------------------------
    std::optional<Counters> counters();

private:
    using Body = std::function<bool(QSqlDatabase& db, QString& error)>;
    // Opens a connection, runs body and closes the connection. With
    // transactional set, body runs in a transaction that is rolled back when
    // body fails. Reports a failure described by `what` ("read the items").
    bool run(const QString& what, const Body& body, bool transactional = false);
    void report(const QString& what, const QString& reason);

    QString path_;
    FailureReporter reporter_;
};
