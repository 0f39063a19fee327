#include "data/engine/RegisterLocation.h"

#include <QDir>
#include <QRegularExpression>

#include "data/engine/Postgres.h"

RegisterLocation RegisterLocation::file(const QString& path) {
    RegisterLocation location;
    location.kind_ = Kind::File;
    location.text_ = path;
    return location;
}

RegisterLocation RegisterLocation::server(const QString& connection) {
    RegisterLocation location;
    location.kind_ = Kind::Server;
    location.text_ = connection;
    return location;
}

// libpq's two forms: a URI, or keyword=value pairs (a file's name has no
// "keyword=" at its start).
bool RegisterLocation::namesServer(const QString& text) {
    static const QRegularExpression uri(QStringLiteral("^postgres(ql)?://"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression keywords(QStringLiteral("^\\s*[a-z_]+\\s*="));
    return uri.match(text).hasMatch() || keywords.match(text).hasMatch();
}

RegisterLocation RegisterLocation::fromText(const QString& text, const QString& folder) {
    const QString trimmed = text.trimmed();
    if (namesServer(trimmed))
        return server(trimmed);
    if (folder.isEmpty() || QDir::isAbsolutePath(trimmed))
        return file(trimmed);
    return file(QDir(folder).filePath(trimmed));
}

QString RegisterLocation::shown() const {
    if (!isServer())
        return QDir::toNativeSeparators(text_);
    const Postgres::ConnectionInfo info = Postgres::parse(text_);
    if (!info.error.isEmpty())
        return text_;
    const QString database =
        info.database.isEmpty() ? QStringLiteral("of your user name") : info.database;
    QString server;
    if (info.host.isEmpty() || info.host.startsWith(QLatin1Char('/')))
        server = QStringLiteral("the server on this computer");
    else
        server = QStringLiteral("server %1").arg(info.host);
    if (!info.port.isEmpty())
        server += QStringLiteral(" (port %1)").arg(info.port);
    return QStringLiteral("database %1 on %2").arg(database, server);
}

QString RegisterLocation::problem() const {
    if (!isServer())
        return {};
    const Postgres::ConnectionInfo info = Postgres::parse(text_);
    if (!info.error.isEmpty())
        return QStringLiteral("The register's connection string \"%1\" cannot be read: %2")
            .arg(text_, info.error);
    if (info.hasPassword)
        return QStringLiteral(
            "The register's connection string holds a password. Quarvel keeps no passwords: "
            "take the password out and put it into PostgreSQL's password file instead "
            "(~/.pgpass, or %APPDATA%\\postgresql\\pgpass.conf on Windows), or sign in "
            "another way the server allows.");
    return {};
}
