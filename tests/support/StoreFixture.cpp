#include "StoreFixture.h"

namespace {

// Asked for by QUARVEL_STORE_ENGINE (both when unset), and able to run here.
bool wanted(Engine engine) {
    const QByteArray only = qgetenv("QUARVEL_STORE_ENGINE");
    const bool asked = only.isEmpty() || only == (engine == Engine::File ? "file" : "server");
    return asked && (engine == Engine::File || PostgresServer::unavailableReason().isEmpty());
}

}  // namespace

void StoreFixture::addEngineRows() const {
    QTest::addColumn<Engine>("engine");
    if (wanted(Engine::File))
        QTest::newRow("file") << Engine::File;
    if (wanted(Engine::Server))
        QTest::newRow("server") << Engine::Server;
}

QString StoreFixture::startServer() {
    if (!wanted(Engine::Server))
        return wanted(Engine::File) ? QString() : PostgresServer::unavailableReason();
    server_ = std::make_unique<PostgresServer>();
    if (!server_->start())
        qFatal("the test server did not start: %s", qPrintable(server_->error()));
    return {};
}

QString StoreFixture::newDatabase() {
    const QString name = QStringLiteral("register%1").arg(++databases_);
    server_->newDatabase(name);
    return name;
}

Engine StoreFixture::engine() {
    QFETCH_GLOBAL(Engine, engine);
    return engine;
}

EngineRegister::EngineRegister(StoreFixture& fixture) : fixture_(fixture) {
    if (StoreFixture::engine() == Engine::File) {
        file_ = std::make_unique<TempRegister>();
        return;
    }
    database_ = fixture_.newDatabase();
    QString error;
    if (!Register::createEmpty(location(), &error))
        qFatal("could not create test register: %s", qPrintable(error));
}

RegisterLocation EngineRegister::location() const {
    return file_ ? RegisterLocation::file(file_->path())
                 : RegisterLocation::server(fixture_.server().connectionString(database_));
}

void EngineRegister::exec(const QString& sql) const {
    if (file_)
        file_->exec(sql);
    else
        fixture_.server().exec(database_, sql);
}

QString EngineRegister::scalar(const QString& sql) const {
    return file_ ? file_->scalar(sql).toString() : fixture_.server().scalar(database_, sql);
}

qint64 EngineRegister::count(const QString& table) const {
    return scalar(QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(table)).toLongLong();
}

ItemWrite itemWith(const QString& desc, double caseId, double length) {
    ItemWrite w;
    for (auto& v : w)
        v = QString();
    w[static_cast<int>(ItemColumn::Desc)] = desc;
    w[static_cast<int>(ItemColumn::CaseId)] = caseId;
    w[static_cast<int>(ItemColumn::Length)] = length;
    return w;
}

QStringList names(const IdTextRows& rows) {
    QStringList out;
    for (std::size_t i = 0; i < rows.size(); ++i)
        out << rows.texts.text(i);
    return out;
}
