#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <optional>

// The program's command line, parsed once with QCommandLineParser from the
// one table of options in CommandLine.cpp, which also writes --help. A new
// option is a row of that table.
class CommandLine {
public:
    // `arguments` begins with the program's name.
    explicit CommandLine(const QStringList& arguments);
    // The arguments as main() gets them; no QCoreApplication is needed, so
    // --help and --version are answered without a display.
    static CommandLine of(int argc, char** argv);

    bool has(const QString& option) const { return parser_.isSet(option); }
    QString value(const QString& option) const { return parser_.value(option); }
    // Every value of an option given more than once.
    QStringList values(const QString& option) const { return parser_.values(option); }
    // The arguments that belong to no option (the FILE of --export).
    QStringList loose() const { return parser_.positionalArguments(); }

    bool helpAsked() const { return has(QStringLiteral("help")); }
    bool versionAsked() const { return has(QStringLiteral("version")); }
    // An import or an export, without a window.
    bool transferAsked() const;
    // A scan session run from a batch scanner's file, without a window.
    bool scanAsked() const;
    // --register's value: nullopt when not given, empty when given without one.
    std::optional<QString> registerOption() const;

    // What is not understood (an unknown option, an option without its
    // value, an argument no option takes), as one line "quarvel: ..." for
    // the error output; empty when every argument is. Qt's own options
    // (-platform, -style, -display and the others QApplication reads) are
    // left to Qt, with their values.
    QString problem() const;

    // The text of --help.
    static QString help();

private:
    // "quarvel: --X goes with --Y" for an option given without the one it
    // belongs to; empty when there is none.
    QString withoutItsOption() const;

    QStringList arguments_;  // without Qt's own options
    QCommandLineParser parser_;
};
