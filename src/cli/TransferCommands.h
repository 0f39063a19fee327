#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "cli/CommandLine.h"
#include "data/engine/RegisterLocation.h"

class QTextStream;
class Register;
class Settings;

// `quarvel --import FILE` and `quarvel --export WHAT FILE`: the CSV import
// and export without a window, for people who script. Every message goes
// to `err`; the exit code tells how it went.
namespace TransferCommands {

enum ExitCode {
    Done = 0,
    Failed = 1,    // nothing imported or exported (the messages say why)
    BadUsage = 2,  // the command line is not understood
};

// The register as the windows set it up, its words on err; brought to this
// program's layout unless it is damaged. Its first write waits for the full
// check of the register file. `settings` and `err` must outlive it.
std::unique_ptr<Register> openRegister(const RegisterLocation& where, const Settings& settings,
                                       QTextStream& err);

// Runs the import or export the command line asks for on the register at
// `where`, with the settings in settingsFile (empty: the per-user store);
// gives the exit code. --register is the caller's (it chose `where`).
int run(const CommandLine& line, const RegisterLocation& where, const QString& settingsFile,
        QTextStream& err);
// The same for the arguments without the program's name.
int run(const QStringList& arguments, const RegisterLocation& where, const QString& settingsFile,
        QTextStream& err);
// The same on the register file at registerPath.
inline int run(const QStringList& arguments, const QString& registerPath,
               const QString& settingsFile, QTextStream& err) {
    return run(arguments, RegisterLocation::file(registerPath), settingsFile, err);
}

}  // namespace TransferCommands
