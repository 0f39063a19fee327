#pragma once

#include <QString>

// Where the register is: the SQLite file (the default, data.mdb beside the
// program) or a database on a PostgreSQL server, named by a libpq
// connection string ("postgresql://stores-pc/quarvel", or keywords such as
// "host=stores-pc dbname=quarvel"). Passwords have no place in it: libpq's
// own means (its password file, peer or Kerberos sign-in, certificates)
// give them.
class RegisterLocation {
public:
    enum class Kind { File, Server };

    RegisterLocation() = default;
    static RegisterLocation file(const QString& path);
    static RegisterLocation server(const QString& connection);
    // A connection string names a server; any other text a file, taken
    // relative to `folder` when it is relative.
    static RegisterLocation fromText(const QString& text, const QString& folder = {});
    // Whether the text is a connection string rather than a file's path.
    static bool namesServer(const QString& text);

    Kind kind() const { return kind_; }
    bool isServer() const { return kind_ == Kind::Server; }
    bool isEmpty() const { return text_.isEmpty(); }
    // The file's path, or the connection string.
    const QString& text() const { return text_; }
    // How the user is shown the register: the file's path, or
    // "database quarvel on server stores-pc".
    QString shown() const;
    // Why the location cannot be used, or empty: a connection string libpq
    // cannot read, or one that holds a password under any key (password,
    // sslpassword) or in its URI.
    QString problem() const;

    bool operator==(const RegisterLocation&) const = default;

private:
    Kind kind_ = Kind::File;
    QString text_;
};
