#pragma once

#include <QString>

class Dialogs;
class QWidget;

// What the record editors say when another user of the register got in
// first. `record` names the record as the user knows it ("Item 8",
// "Flight case F3", "List 4").
namespace RecordMessages {

// A column the user changed was changed elsewhere too since the editor
// loaded the record: true when the user wants to save over it.
bool saveOverChangesElsewhere(Dialogs& dialogs, QWidget* parent, const QString& record);

// The shown id was taken by a record saved elsewhere first, so the new
// record was saved under another one ("item 32").
void savedUnderAnotherId(Dialogs& dialogs, QWidget* parent, const QString& takenRecord,
                         const QString& noun, const QString& savedRecord, bool hasLabels);

}  // namespace RecordMessages
