#pragma once

#include <QString>

// The register data.mdb lives in the program's folder, and SQLite writes its
// journal beside it, so saving needs that folder and the file writable.
namespace RegisterFolder {

// Empty when this user can save in the folder; otherwise the message that
// tells the user what cannot be written and how to fix it.
QString writeProblem(const QString& folder);

}  // namespace RegisterFolder
