#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "data/Records.h"

// A record shown as one line per field: a fixed caption followed directly by
// the value (an empty value leaves the caption alone).
namespace DetailLines {

struct Field {
    QString caption;
    std::optional<ItemColumn> column;  // none: the id
};

// The main window's nineteen lines.
const QList<Field>& mainWindowFields();
// The item viewer's eighteen lines: the main window's without the category.
const QList<Field>& itemViewerFields();
// The item editor's eighteen lines, in the order Save reads them back.
const QList<Field>& itemEditorFields();

QStringList lines(const QList<Field>& fields, const ItemRecord& item);

// Caption of the case line: its value is the case id.
inline const QString kFlightCaseCaption = QStringLiteral("Flight Case: F");

// The case id text of a "Flight Case: F..." line, or nullopt for any other line.
std::optional<QString> caseNumberOf(const QString& line);

}  // namespace DetailLines
