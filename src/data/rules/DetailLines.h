#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "data/rules/Records.h"

// A record shown as one line per field: a fixed caption followed directly by
// the value (an empty value leaves the caption alone).
namespace DetailLines {

// One item field: its column and the captions the windows show it under.
struct ItemField {
    ItemColumn column;
    QString viewerCaption;  // the main window and the item viewer
    QString editorCaption;  // the item editor
    QString promptNoun;     // "Please enter a new <noun> for this item"; typed fields only

    QString prompt() const;
    ColumnKind kind() const { return kItemColumns[static_cast<int>(column)].kind; }
};

// Every column of Items (but the id) as a field, in column order.
const QList<ItemField>& itemFields();

struct Field {
    QString caption;
    std::optional<ItemColumn> column;  // none: the id
};

// The main window's nineteen lines: the id, then every field.
const QList<Field>& mainWindowFields();
// The item viewer's eighteen lines: the main window's without the category.
const QList<Field>& itemViewerFields();
// The item editor's eighteen lines, in the order Save reads them back.
const QList<Field>& itemEditorFields();
// The field of an editor line.
const ItemField& itemEditorField(int line);

QStringList lines(const QList<Field>& fields, const ItemRecord& item);

// The case viewer's five lines.
QStringList caseLines(const CaseRecord& flightCase);

// Caption of the case line: its value is the case id.
inline const QString kFlightCaseCaption =
    QString::fromUtf8(columnSpec(ItemColumn::CaseId).captions.viewer);

// The case id text of a "Flight Case: F..." line, or nullopt for any other
// line; the tests in words after it are not part of it.
std::optional<QString> caseNumberOf(const QString& line);

// The case line with the case's tests in words after it: "Flight Case: F12 ·
// Tests: 2 overdue"; the line as it is when there are no words.
QString withCaseTests(const QString& caseLine, const QString& testsText);

// The case viewer's line of the case's tests: "Tests: 2 overdue".
QString caseTestsLine(const QString& testsText);

}  // namespace DetailLines
