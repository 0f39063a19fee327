#pragma once

#include <QDialog>
#include <QList>
#include <optional>

#include "app/AppContext.h"
#include "data/rules/Records.h"

// What the item, case and list editors share: they open on the record their
// shared field names, or on a new record when the field is not above 0, and
// then show the id a new record will get, so that a label printed before
// Save names it. Save stores the record and closes the window; when another
// user got in first the user is told (a new record saved under another id)
// or asked (a change made elsewhere too). A save that fails keeps the window
// open with what was typed; the store has told the user why.
class RecordEditor : public QDialog {
    Q_OBJECT
public:
    bool newItem = false;    // the editor works on a record not yet stored
    qint64 currentItem = 0;  // the stored id, or the id a new record will get

    // One kind of record and how it is named to the user (each `%1` is its
    // id). Every editor has its own, kKind.
    struct Kind {
        RecordTable table;
        QVariant SharedFields::*toOpen;  // the field that names the record to open
        const char* name;                // "Item %1"
        const char* noun;                // "item"
        const char* gone;                // said when the record is not stored any more
        bool hasLabels;                  // its labels may be printed before Save
    };

    // Opens the editor modally on `record` (an id, or 0 for a new record),
    // as the caller names it. The caller reads its record again afterwards,
    // saved or not.
    template <class Editor>
    static void edit(AppContext& ctx, QWidget* parent, const QVariant& record) {
        ctx.fields().*Editor::kKind.toOpen = record;
        Editor editor(ctx, parent);
        editor.exec();
    }

protected:
    RecordEditor(AppContext& ctx, const Kind& kind, QWidget* parent);

    // Loads the record the field names, or a new one. A record that cannot
    // be shown closes the window once it is shown; false then.
    bool loadRecord();
    // Shows the stored record; false when it cannot be read or is gone.
    virtual bool loadStored(qint64 id) = 0;
    // Shows a new record; currentItem already holds its id.
    virtual void showNew() {}

    // The first row read for a record, or none when the read failed (the
    // store has told the user) or found nothing (the user is told here).
    template <class Row>
    std::optional<Row> storedRow(const std::optional<QList<Row>>& rows, qint64 id) {
        if (!rows)
            return std::nullopt;
        if (rows->isEmpty()) {
            tellGone(id);
            return std::nullopt;
        }
        return rows->first();
    }
    void tellGone(qint64 id);

    // Save: stores the record and closes the window, or keeps it open.
    void saveAndClose();
    // Stores a new record: the id it was given, or none on a failure.
    virtual std::optional<qint64> insertRecord() = 0;
    // Stores the changes to the stored record; `overwrite` saves over a
    // change made elsewhere.
    virtual SaveResult writeChanges(bool overwrite) = 0;

    AppContext& ctx_;

private:
    QString nameOf(qint64 id) const;
    bool saveNew();
    bool saveChanges();

    const Kind& kind_;
};
