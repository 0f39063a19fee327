#include "data/rules/DetailLines.h"

namespace DetailLines {

namespace {
using C = ItemColumn;

// The column's captions from the column model.
ItemField fieldOfColumn(int column) {
    const ColumnCaptions& c = kItemColumns[column].captions;
    const QString viewer = QString::fromUtf8(c.viewer);
    return {static_cast<ItemColumn>(column), viewer,
            c.editor ? QString::fromUtf8(c.editor) : viewer, QString::fromUtf8(c.promptNoun)};
}

const ItemField& fieldOf(ItemColumn column) {
    return itemFields().at(static_cast<int>(column));
}
}  // namespace

QString ItemField::prompt() const {
    return QStringLiteral("Please enter a new %1 for this item").arg(promptNoun);
}

const QList<ItemField>& itemFields() {
    static const QList<ItemField> fields = [] {
        QList<ItemField> f;
        for (int column = 0; column < kItemDataColumnCount; ++column)
            f.append(fieldOfColumn(column));
        return f;
    }();
    return fields;
}

const QList<Field>& mainWindowFields() {
    static const QList<Field> fields = [] {
        QList<Field> f = {{QStringLiteral("Equipment ID Number: "), std::nullopt}};
        for (const ItemField& field : itemFields())
            f.append({field.viewerCaption, field.column});
        return f;
    }();
    return fields;
}

const QList<Field>& itemViewerFields() {
    static const QList<Field> fields = [] {
        QList<Field> f = mainWindowFields();
        f.removeIf([](const Field& x) { return x.column == C::Category; });
        return f;
    }();
    return fields;
}

// The editor starts with the category, then the description, then the
// other fields in column order.
static QList<ItemColumn> editorOrder() {
    QList<ItemColumn> order = {C::Category, C::Desc};
    for (const ItemField& field : itemFields()) {
        if (!order.contains(field.column))
            order.append(field.column);
    }
    return order;
}

const QList<Field>& itemEditorFields() {
    static const QList<Field> fields = [] {
        QList<Field> f;
        for (ItemColumn column : editorOrder())
            f.append({fieldOf(column).editorCaption, column});
        return f;
    }();
    return fields;
}

const ItemField& itemEditorField(int line) {
    return fieldOf(*itemEditorFields().at(line).column);
}

QStringList lines(const QList<Field>& fields, const ItemRecord& item) {
    QStringList out;
    out.reserve(fields.size());
    for (const Field& f : fields)
        out << f.caption + (f.column ? item[*f.column] : item.id);
    return out;
}

QStringList caseLines(const CaseRecord& c) {
    QStringList out;
    for (int column = 0; column < kCaseDataColumnCount; ++column)
        out << QString::fromUtf8(kCaseColumns[column].captions.viewer) + c.values[column];
    return out;
}

namespace {
const QString kCaseTestsSeparator = QStringLiteral(" \u00b7 Tests: ");
}  // namespace

std::optional<QString> caseNumberOf(const QString& line) {
    if (!line.startsWith(kFlightCaseCaption))
        return std::nullopt;
    const qsizetype words = line.indexOf(kCaseTestsSeparator, kFlightCaseCaption.size());
    const qsizetype end = words < 0 ? line.size() : words;
    return line.mid(kFlightCaseCaption.size(), end - kFlightCaseCaption.size());
}

QString withCaseTests(const QString& caseLine, const QString& testsText) {
    return testsText.isEmpty() ? caseLine : caseLine + kCaseTestsSeparator + testsText;
}

QString caseTestsLine(const QString& testsText) {
    return QStringLiteral("Tests: ") + testsText;
}

}  // namespace DetailLines
