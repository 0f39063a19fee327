#pragma once

#include <QString>
#include <functional>

#include "data/rules/Records.h"

class Dialogs;
class QWidget;

// What the record editors say when another user of the register got in
// first. `record` names the record as the user knows it ("Item 8",
// "Flight case F3", "List 4").
namespace RecordMessages {

// Saves an editor's changes to a record: write(false) saves them unless a
// column the user changed was changed elsewhere too; then the user is asked,
// and write(true) saves over it. True when the changes are saved; on any
// other outcome the store has told the user (or the user said no), and the
// editor stays open with what was typed.
bool saveChanges(Dialogs& dialogs, QWidget* parent, const QString& record,
                 const std::function<SaveResult(bool overwrite)>& write);

// The shown id was taken by a record saved elsewhere first, so the new
// record was saved under another one ("item 32").
void savedUnderAnotherId(Dialogs& dialogs, QWidget* parent, const QString& takenRecord,
                         const QString& noun, const QString& savedRecord, bool hasLabels);

}  // namespace RecordMessages
