#pragma once

#include <QString>

#include "cli/CommandLine.h"
#include "data/engine/RegisterLocation.h"

class QTextStream;

// `quarvel --scan FILE --stocktake LOCATION` (or --pack LIST, --check-in
// LIST): a batch scanner's file run as one scan session without a window.
// Each code's answer and then the summary go to `out`, failures to `err`.
namespace ScanCommand {

// The exit codes of the other commands: 0 done, 1 failed, 2 not understood.
int run(const CommandLine& line, const RegisterLocation& where, const QString& settingsFile,
        const QString& userName, QTextStream& out, QTextStream& err);

}  // namespace ScanCommand
