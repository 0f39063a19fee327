#pragma once

#include <QStringList>
#include <QTest>
#include <memory>

#include "PostgresServer.h"
#include "TempRegister.h"
#include "data/CaseStore.h"
#include "data/ChangeStore.h"
#include "data/IdStore.h"
#include "data/ItemStore.h"
#include "data/ListStore.h"
#include "data/LocationStore.h"
#include "data/Register.h"
#include "data/ScanStore.h"
#include "data/TestRecordStore.h"
#include "data/TransferStore.h"
#include "data/TreeStore.h"

// The store's tests run on both engines: initTestCase_data gives every test
// the rows "file" and "server", and an EngineRegister is on its row's engine.
// QUARVEL_STORE_ENGINE=file or =server runs one engine alone (so the quick
// loop needs no server); unset, both, the server only where one can run.
enum class Engine { File, Server };
Q_DECLARE_METATYPE(Engine)

// Held by the test class: the rows, and the program's one private server.
class StoreFixture {
public:
    void addEngineRows() const;  // in initTestCase_data
    // In initTestCase: starts the server for its rows; gives why to skip
    // the program when only the server was asked for and none can run.
    QString startServer();
    PostgresServer& server() { return *server_; }
    QString newDatabase();   // a new, empty database's name
    static Engine engine();  // the current row's

private:
    std::unique_ptr<PostgresServer> server_;
    int databases_ = 0;
};

// Skips the rest of the test on the other engine's row.
#define QUARVEL_ONLY_ON(onlyEngine)             \
    if (StoreFixture::engine() != (onlyEngine)) \
    QSKIP("what this test proves is the other engine's own")

// A fresh, empty register on the current row's engine: a temporary file or
// a new database on the fixture's server. Raw SQL quotes mixed-case names
// ("Data", "lastCase"): the server does not fold them.
class EngineRegister {
public:
    explicit EngineRegister(StoreFixture& fixture);
    bool onServer() const { return !file_; }
    RegisterLocation location() const;
    QString database() const { return database_; }  // the server's only

    void exec(const QString& sql) const;       // fails the test on error
    QString scalar(const QString& sql) const;  // the first row's first column
    qint64 count(const QString& table) const;

private:
    StoreFixture& fixture_;
    std::unique_ptr<TempRegister> file_;
    QString database_;
};

// A register, and the stores over it, that records what it would tell the user.
struct Probe {
    explicit Probe(const RegisterLocation& location)
        : reg(location, [this](const QString& m) { messages << m; }) {}
    explicit Probe(const QString& file) : Probe(RegisterLocation::file(file)) {}
    Register reg;
    ItemStore items{reg};
    CaseStore cases{reg};
    IdStore ids{reg};
    ListStore lists{reg};
    LocationStore locations{reg};
    ScanStore scans{reg};
    TestRecordStore tests{reg};
    TreeStore tree{reg};
    TransferStore transfer{reg};
    ChangeStore changes{reg};
    QStringList messages;
};

// An item with the description, case and length set, the rest empty.
ItemWrite itemWith(const QString& desc, double caseId = 0, double length = 0);
QStringList names(const IdTextRows& rows);  // the rows' texts, in order
