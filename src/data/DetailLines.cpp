#include "data/DetailLines.h"

namespace DetailLines {

namespace {
using C = ItemColumn;
}

const QList<Field>& mainWindowFields() {
    static const QList<Field> fields = {
        {QStringLiteral("Equipment ID Number: "), std::nullopt},
        {QStringLiteral("Description: "), C::Desc},
        {QStringLiteral("Category: "), C::Category},
        {QStringLiteral("Manufacturer: "), C::Manufacturer},
        {QStringLiteral("Model: "), C::Model},
        {QStringLiteral("Date of Manufacture: "), C::Dom},
        {QStringLiteral("Test Interval: "), C::TestInterval},
        {QStringLiteral("Last Test Date: "), C::TestLast},
        {QStringLiteral("Next Test Date: "), C::TestNext},
        {QStringLiteral("PAT Test Result: "), C::TestPatResult},
        {QStringLiteral("Pressure Test Result: "), C::TestPressureResult},
        {QStringLiteral("Visual Inspection Result: "), C::VisualInspectionResult},
        {QStringLiteral("LOLER Inspection Result: "), C::LolerInspectionResult},
        {QStringLiteral("Calibration Certificate: "), C::CalibrationCert},
        {kFlightCaseCaption, C::CaseId},
        {QStringLiteral("Warehouse Location: "), C::WarehouseLoc},
        {QStringLiteral("Notes: "), C::Notes},
        {QStringLiteral("Length: "), C::Length},
        {QStringLiteral("Serial: "), C::Serial},
    };
    return fields;
}

const QList<Field>& itemViewerFields() {
    static const QList<Field> fields = [] {
        QList<Field> f = mainWindowFields();
        f.removeAt(2);  // no category
        return f;
    }();
    return fields;
}

const QList<Field>& itemEditorFields() {
    static const QList<Field> fields = {
        {QStringLiteral("Category: "), C::Category},
        {QStringLiteral("Description: "), C::Desc},
        {QStringLiteral("Manufacturer: "), C::Manufacturer},
        {QStringLiteral("Model: "), C::Model},
        {QStringLiteral("Date of Manufacture: "), C::Dom},
        {QStringLiteral("Test Interval: "), C::TestInterval},
        {QStringLiteral("Last Test Date: "), C::TestLast},
        {QStringLiteral("Next Test Date: "), C::TestNext},
        {QStringLiteral("PAT Test: "), C::TestPatResult},
        {QStringLiteral("Pressure Test: "), C::TestPressureResult},
        {QStringLiteral("Visual Inspection: "), C::VisualInspectionResult},
        {QStringLiteral("LOLER Inspection: "), C::LolerInspectionResult},
        {QStringLiteral("Calibration Certificate: "), C::CalibrationCert},
        {kFlightCaseCaption, C::CaseId},
        {QStringLiteral("Warehouse Location: "), C::WarehouseLoc},
        {QStringLiteral("Notes: "), C::Notes},
        {QStringLiteral("Length: "), C::Length},
        {QStringLiteral("Serial: "), C::Serial},
    };
    return fields;
}

QStringList lines(const QList<Field>& fields, const ItemRecord& item) {
    QStringList out;
    out.reserve(fields.size());
    for (const Field& f : fields)
        out << f.caption + (f.column ? item[*f.column] : item.id);
    return out;
}

std::optional<QString> caseNumberOf(const QString& line) {
    if (!line.startsWith(kFlightCaseCaption))
        return std::nullopt;
    return line.mid(kFlightCaseCaption.size());
}

}  // namespace DetailLines
