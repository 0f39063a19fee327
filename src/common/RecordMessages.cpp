#include "common/RecordMessages.h"

#include "common/Dialogs.h"

namespace RecordMessages {

namespace {

// A column the user changed was changed elsewhere too since the editor
// loaded the record: true when the user wants to save over it. Only a
// deliberate Yes overwrites the other desk's edit; Enter answers No.
bool saveOverChangesElsewhere(Dialogs& dialogs, QWidget* parent, const QString& record) {
    return dialogs.askYesNoDefaultNo(
        parent,
        QStringLiteral("%1 was changed elsewhere since you opened it. Save your changes over it?")
            .arg(record),
        Dialogs::Icon::Warning);
}

}  // namespace

bool saveChanges(Dialogs& dialogs, QWidget* parent, const QString& record,
                 const std::function<SaveResult(bool overwrite)>& write) {
    SaveResult result = write(false);
    if (result == SaveResult::ChangedElsewhere && saveOverChangesElsewhere(dialogs, parent, record))
        result = write(true);
    return result == SaveResult::Saved;
}

void savedUnderAnotherId(Dialogs& dialogs, QWidget* parent, const QString& takenRecord,
                         const QString& noun, const QString& savedRecord, bool hasLabels) {
    QString text = QStringLiteral("%1 was taken in the meantime, so this %2 has been saved as %3.")
                       .arg(takenRecord, noun, savedRecord);
    if (hasLabels)
        text += QStringLiteral(" Reprint its labels if you printed any.");
    dialogs.inform(parent, text, Dialogs::Icon::Information);
}

}  // namespace RecordMessages
