#include "data/DetailLines.h"

namespace DetailLines {

namespace {
using C = ItemColumn;
using W = EditWay;

const ItemField& fieldOf(ItemColumn column) {
    return itemFields().at(static_cast<int>(column));
}
}  // namespace

QString ItemField::prompt() const {
    return QStringLiteral("Please enter a new %1 for this item").arg(promptNoun);
}

const QList<ItemField>& itemFields() {
    static const QList<ItemField> fields = {
        {C::Desc, "Description: ", "Description: ", W::InputBox, "Description"},
        {C::Category, "Category: ", "Category: ", W::InputBox, "Category"},
        {C::Manufacturer, "Manufacturer: ", "Manufacturer: ", W::InputBox, "Manufacturer"},
        {C::Model, "Model: ", "Model: ", W::InputBox, "Model"},
        {C::Dom, "Date of Manufacture: ", "Date of Manufacture: ", W::DatePicker, {}},
        {C::TestInterval, "Test Interval: ", "Test Interval: ", W::InputBox, "Test Interval"},
        {C::TestLast, "Last Test Date: ", "Last Test Date: ", W::DatePicker, {}},
        {C::TestNext, "Next Test Date: ", "Next Test Date: ", W::DatePicker, {}},
        {C::TestPatResult, "PAT Test Result: ", "PAT Test: ", W::FileDialog, {}},
        {C::TestPressureResult, "Pressure Test Result: ", "Pressure Test: ", W::FileDialog, {}},
        {C::VisualInspectionResult,
         "Visual Inspection Result: ", "Visual Inspection: ", W::InputBox, "Visual Inspection"},
        {C::LolerInspectionResult,
         "LOLER Inspection Result: ",
         "LOLER Inspection: ",
         W::FileDialog,
         {}},
        {C::CalibrationCert,
         "Calibration Certificate: ",
         "Calibration Certificate: ",
         W::FileDialog,
         {}},
        {C::CaseId, kFlightCaseCaption, kFlightCaseCaption, W::CasePicker, {}},
        {C::WarehouseLoc, "Warehouse Location: ", "Warehouse Location: ", W::LocationPicker, {}},
        {C::Notes, "Notes: ", "Notes: ", W::InputBox, "Note"},
        {C::Length, "Length: ", "Length: ", W::InputBox, "Length"},
        {C::Serial, "Serial: ", "Serial: ", W::InputBox, "Serial"},
    };
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
    return {QStringLiteral("Name: ") + c.name, QStringLiteral("Location: ") + c.location,
            QStringLiteral("Bought: ") + c.bought, QStringLiteral("Notes: ") + c.notes,
            QStringLiteral("Has Wheels?: ") + c.wheeled};
}

std::optional<QString> caseNumberOf(const QString& line) {
    if (!line.startsWith(kFlightCaseCaption))
        return std::nullopt;
    return line.mid(kFlightCaseCaption.size());
}

}  // namespace DetailLines
