#include "app/RecordEditor.h"

#include "common/Dialogs.h"
#include "common/WindowStyle.h"
#include "data/IdStore.h"

RecordEditor::RecordEditor(AppContext& ctx, const Kind& kind, QWidget* parent)
    : QDialog(parent), ctx_(ctx), kind_(kind) {}

QString RecordEditor::nameOf(qint64 id) const {
    return QString::fromLatin1(kind_.name).arg(id);
}

bool RecordEditor::loadRecord() {
    newItem = false;
    const qint64 id = SharedFields::idOf(ctx_.fields().*kind_.toOpen);
    bool loaded = false;
    if (id > 0) {
        loaded = loadStored(id);
    } else {
        newItem = true;
        const auto predicted = ctx_.ids().predicted(kind_.table);
        if (predicted) {  // else the store has told the user
            currentItem = *predicted;
            showNew();
            loaded = true;
        }
    }
    if (!loaded)
        WindowStyle::closeOnceShown(this);
    return loaded;
}

void RecordEditor::tellGone(qint64 id) {
    ctx_.dialogs().inform(this, QString::fromLatin1(kind_.gone).arg(id),
                          Dialogs::Icon::Information);
}

void RecordEditor::saveAndClose() {
    if (newItem ? saveNew() : saveChanges())
        accept();
}

bool RecordEditor::saveNew() {
    const auto id = insertRecord();
    if (!id)
        return false;
    if (*id == currentItem)
        return true;
    // Another user saved a record under the shown id in the meantime.
    const QString savedAs = nameOf(*id);
    QString text = QStringLiteral("%1 was taken in the meantime, so this %2 has been saved as %3.")
                       .arg(nameOf(currentItem), QLatin1String(kind_.noun),
                            savedAs.left(1).toLower() + savedAs.mid(1));
    if (kind_.hasLabels)
        text += QStringLiteral(" Reprint its labels if you printed any.");
    ctx_.dialogs().inform(this, text, Dialogs::Icon::Information);
    return true;
}

// A column the user changed was changed elsewhere too since the editor
// loaded the record: it is saved over only on a deliberate Yes to the
// question (Enter answers No), so the other desk's edit is not lost by
// accident.
bool RecordEditor::saveChanges() {
    SaveResult result = writeChanges(false);
    if (result == SaveResult::ChangedElsewhere &&
        ctx_.dialogs().askYesNoDefaultNo(this,
                                         QStringLiteral("%1 was changed elsewhere since you opened "
                                                        "it. Save your changes over it?")
                                             .arg(nameOf(currentItem)),
                                         Dialogs::Icon::Warning))
        result = writeChanges(true);
    return result == SaveResult::Saved;
}
