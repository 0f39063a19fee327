#include "common/RecordMessages.h"

#include "common/Dialogs.h"

namespace RecordMessages {

bool saveOverChangesElsewhere(Dialogs& dialogs, QWidget* parent, const QString& record) {
    return dialogs.askYesNo(parent,
                            QStringLiteral("%1 was changed elsewhere since you opened it. Save "
                                           "your changes over it?")
                                .arg(record),
                            Dialogs::Icon::Warning);
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
