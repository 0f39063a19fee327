#include "data/transfer/ItemImport.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <charconv>
#include <unordered_map>

#include "base/Progress.h"
#include "data/LocationStore.h"
#include "data/Register.h"
#include "data/TestRecordStore.h"
#include "data/TransferStore.h"
#include "data/rules/DetailLines.h"
#include "data/rules/TestsDue.h"
#include "data/rules/TextRules.h"
#include "data/transfer/CsvWriter.h"

namespace ItemImport {

namespace {

// Ids and case numbers have at most 15 digits: spreadsheets keep no more
// exactly, and every such number is exact as a double too.
constexpr std::size_t kMostIdDigits = 15;
// Location texts of the file remembered as listed, so most lines skip the
// letter-case comparison.
constexpr std::size_t kRememberedLocations = 10000;
// A value quoted in a problem is cut to this many characters.
constexpr int kQuotedValueLength = 60;

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

QString textOf(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

// Letter case and blanks aside, for matching headers to fields.
QString matchKey(const QString& text) {
    QString key;
    for (QChar c : text) {
        if (!c.isSpace())
            key += c;
    }
    return key.toCaseFolded();
}

// A caption without its ": " (and the case line's "F").
QString captionName(const QString& caption) {
    return caption.section(QLatin1Char(':'), 0, 0).trimmed();
}

std::optional<qint64> digitsValue(std::string_view text) {
    if (text.empty() || text.size() > kMostIdDigits)
        return std::nullopt;
    qint64 value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.front() == '+' ||
        text.front() == '-')
        return std::nullopt;
    return value;
}

// d/m/yyyy as the date picker writes it (leading zeros allowed).
std::optional<QDate> pickerDate(std::string_view text) {
    int parts[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    int part = 0;
    for (char c : text) {
        if (c == '/') {
            if (++part > 2)
                return std::nullopt;
        } else if (c >= '0' && c <= '9') {
            parts[part] = parts[part] * 10 + (c - '0');
            if (++digits[part] > 4)
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (part != 2 || digits[0] < 1 || digits[0] > 2 || digits[1] < 1 || digits[1] > 2 ||
        digits[2] != 4)
        return std::nullopt;
    const QDate date(parts[2], parts[1], parts[0]);
    return date.isValid() ? std::optional(date) : std::nullopt;
}

// Other forms spreadsheets and people write dates in. Day before month
// throughout: a date in the file is never read month first.
const char* const kOtherDateForms[] = {
    "yyyy-M-d",    "yyyy/M/d",   "yyyy.M.d",    "d.M.yyyy",    "d-M-yyyy",     "d MMM yyyy",
    "d MMMM yyyy", "d-MMM-yyyy", "d MMM, yyyy", "MMM d, yyyy", "MMMM d, yyyy", "d/M/yy",
    "d.M.yy",      "d-M-yy",     "d-MMM-yy",    "d MMM yy",
};

// A date with a time of day after it (2008-03-07 00:00:00, 2008-03-07T10:15).
QString withoutTime(const QString& text) {
    static const QRegularExpression time(
        QStringLiteral("[ T]\\d{1,2}:\\d{2}(:\\d{2}(\\.\\d+)?)?\\s*$"));
    QString out = text;
    out.remove(time);
    return out;
}

std::optional<QDate> otherDateForm(const QString& text) {
    const QString date = withoutTime(text).simplified();
    for (const char* form : kOtherDateForms) {
        const QString format = QLatin1String(form);
        QDate parsed = QDate::fromString(date, format);
        if (!parsed.isValid())
            continue;
        // Two-digit years: up to 69 in this century, from 70 in the last.
        if (!format.contains(QLatin1String("yyyy")) && parsed.year() < 1970)
            parsed = parsed.addYears(100);
        return parsed;
    }
    return std::nullopt;
}

// The date a text stands for when asked to convert other forms: the date
// picker's form with blanks around it, or another form.
std::optional<QDate> convertedDate(std::string_view trimmedText) {
    if (const auto picked = pickerDate(trimmedText))
        return picked;
    return otherDateForm(textOf(trimmedText));
}

// A number column's text as stored: a plain number with a decimal point or
// a decimal comma, and nothing else; no thousands separator, no unit. Empty
// when *value took the number; otherwise what is wrong, with %1 for the text.
QString readNumber(std::string_view text, ImportedValue& value) {
    static const QRegularExpression plain(QStringLiteral("^[+-]?(\\d+)(?:[.,](\\d+))?$"));
    std::string number(text.front() == '+' ? text.substr(1) : text);
    const QRegularExpressionMatch match = plain.match(textOf(text));
    if (!match.hasMatch())
        return QStringLiteral(
            "\"%1\" is not a number: write a plain number such as 12 or "
            "2.5 (or 2,5), without a unit or thousands separators.");
    const std::size_t comma = number.find(',');
    // 1,234: a thousands separator or a decimal comma? Only a leading 0 tells.
    if (comma != std::string::npos && match.capturedLength(2) == 3 &&
        match.capturedLength(1) <= 3 && match.captured(1).front() != QLatin1Char('0'))
        return QStringLiteral(
            "\"%1\" could be a whole number with a thousands separator or "
            "one with three decimals: write it without the separator, or "
            "with a decimal point.");
    if (comma != std::string::npos)
        number[comma] = '.';
    const char* end = number.data() + number.size();
    qint64 whole = 0;
    if (match.capturedLength(2) == 0 &&
        std::from_chars(number.data(), end, whole).ec == std::errc()) {
        value.setWhole(whole);
        return {};
    }
    double real = 0;
    std::from_chars(number.data(), end, real);
    value.setReal(real);
    return {};
}

QString shownValue(const ImportedValue& value) {
    switch (value.kind) {
        case ImportedValue::Kind::Text:
            return textOf(value.text);
        case ImportedValue::Kind::Whole:
            return QString::number(value.whole);
        case ImportedValue::Kind::Real:
            return TextRules::numberText(value.real);
        case ImportedValue::Kind::NoValue:
            break;
    }
    return {};
}

QString quotedValue(std::string_view value) {
    QString text = textOf(value);
    if (text.size() > kQuotedValueLength)
        text = text.left(kQuotedValueLength) + QStringLiteral("…");
    return text;
}

}  // namespace

// --- Fields and the mapping --------------------------------------------------------

const QList<Field>& fields() {
    static const QList<Field> all = [] {
        QList<Field> f = {{kIdField, QStringLiteral("id"), QStringLiteral("Equipment ID Number")}};
        const QList<DetailLines::ItemField>& items = DetailLines::itemFields();
        for (int c = 0; c < kItemDataColumnCount; ++c)
            f.append(
                {c, QLatin1String(kItemColumns[c].name), captionName(items.at(c).viewerCaption)});
        return f;
    }();
    return all;
}

const Field& fieldOf(int field) {
    return fields().at(field + 1);
}

namespace {

// Each field's header names, separated by "|": its stored name, the
// captions of the windows (the item viewer's, then the editor's), then the
// names spreadsheets give it. docs/user-guide.md lists this table.
struct HeaderNameRow {
    int field;
    const char* names;
};
constexpr int at(ItemColumn column) {
    return static_cast<int>(column);
}
const HeaderNameRow kHeaderNames[] = {
    {kIdField,
     "id|Equipment ID Number|Equipment ID|Equipment Number|Item ID|Item Number|Asset ID|"
     "Asset Number"},
    {at(ItemColumn::Desc), "desc|Description|Item Description|Name|Item Name"},
    {at(ItemColumn::Category), "category|Category|Type"},
    {at(ItemColumn::Manufacturer), "manufacturer|Manufacturer|Make|Maker|Brand"},
    {at(ItemColumn::Model), "model|Model|Model Number"},
    {at(ItemColumn::Dom),
     "dom|Date of Manufacture|Manufacture Date|Date Manufactured|Manufactured"},
    {at(ItemColumn::TestInterval), "testinterval|Test Interval|Interval|Test Frequency"},
    {at(ItemColumn::TestLast),
     "testlast|Last Test Date|Last Test|Last Tested|Date Tested|Test Date"},
    {at(ItemColumn::TestNext),
     "testnext|Next Test Date|Next Test|Next Test Due|Test Due|Due Date|Retest Date"},
    {at(ItemColumn::TestPatResult), "testpatresult|PAT Test Result|PAT Test|PAT Result|PAT"},
    {at(ItemColumn::TestPressureResult),
     "testpressureresult|Pressure Test Result|Pressure Test|Pressure Result"},
    {at(ItemColumn::VisualInspectionResult),
     "visualinspectionresult|Visual Inspection Result|Visual Inspection|Visual Result|Visual"},
    {at(ItemColumn::LolerInspectionResult),
     "lolerinspectionresult|LOLER Inspection Result|LOLER Inspection|LOLER Result|LOLER"},
    {at(ItemColumn::CalibrationCert),
     "calibrationcert|Calibration Certificate|Calibration Cert|Calibration"},
    {at(ItemColumn::CaseId), "caseID|Flight Case|Case|Case Number|Flight Case Number"},
    {at(ItemColumn::WarehouseLoc), "warehouseloc|Warehouse Location|Location|Warehouse"},
    {at(ItemColumn::Notes), "notes|Notes|Note|Comments|Remarks"},
    {at(ItemColumn::Length), "length|Length"},
    {at(ItemColumn::Serial), "serial|Serial|Serial Number"},
};
static_assert(std::size(kHeaderNames) == std::size_t(kItemDataColumnCount) + 1);

}  // namespace

const QList<HeaderNames>& headerNames() {
    static const QList<HeaderNames> all = [] {
        QList<HeaderNames> rows;
        for (const HeaderNameRow& row : kHeaderNames)
            rows.append({row.field, QString::fromUtf8(row.names).split(QLatin1Char('|'))});
        return rows;
    }();
    return all;
}

int fieldForHeader(const QString& header) {
    const QString key = matchKey(header);
    if (key.isEmpty())
        return kSkip;
    static const QHash<QString, int> byKey = [] {
        QHash<QString, int> keys;
        for (const HeaderNames& row : headerNames()) {
            for (const QString& name : row.names)
                keys.insert(matchKey(name), row.field);
        }
        return keys;
    }();
    return byKey.value(key, kUnknown);
}

QString counted(qint64 count, const QString& one, const QString& many) {
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? one : many);
}

QString describe(const Problem& p) {
    QString where = QStringLiteral("Line %1").arg(p.line);
    if (p.column >= 0)
        where += QStringLiteral(", %1").arg(
            p.columnName.isEmpty() ? QStringLiteral("column %1").arg(p.column + 1) : p.columnName);
    return QStringLiteral("%1: %2").arg(where, p.text);
}

QString checkSummary(const CheckResult& c) {
    const qint64 bad = c.lines - c.goodLines;
    QString text = QStringLiteral("%1: %2 good")
                       .arg(counted(c.lines, QStringLiteral("line"), QStringLiteral("lines")))
                       .arg(c.goodLines);
    if (bad > 0)
        text += QStringLiteral(", %1 with problems (%2)")
                    .arg(bad)
                    .arg(counted(c.problemCount, QStringLiteral("problem"),
                                 QStringLiteral("problems")));
    return text + QLatin1Char('.');
}

QString importSummary(const ImportCounts& counts, qint64 linesLeftOut) {
    QString text = QStringLiteral("Imported %1 (%2 with a new id)")
                       .arg(counted(counts.items, QStringLiteral("item"), QStringLiteral("items")))
                       .arg(counts.newIds);
    if (linesLeftOut > 0)
        text += QStringLiteral("; left out %1 with problems")
                    .arg(counted(linesLeftOut, QStringLiteral("line"), QStringLiteral("lines")));
    return text + QStringLiteral("; made %1 and added %2.")
                      .arg(counted(counts.casesCreated, QStringLiteral("flight case"),
                                   QStringLiteral("flight cases")),
                           counted(counts.locationsAdded, QStringLiteral("location"),
                                   QStringLiteral("locations")));
}

std::optional<ImportFile> ImportFile::open(const QString& path, QString* error,
                                           std::optional<Csv::Encoding> encoding) {
    QString why;
    const auto format = Csv::detectFormat(path, &why, encoding);
    if (!format) {
        if (error)
            *error = QStringLiteral("Quarvel could not read %1: %2").arg(path, why);
        return std::nullopt;
    }
    const auto first = Csv::firstRecords(path, *format, 1, &why);
    if (!first) {
        if (error)
            *error = QStringLiteral("Quarvel could not read %1. %2").arg(path, why);
        return std::nullopt;
    }
    if (first->empty()) {
        if (error)
            *error = QStringLiteral("%1 is empty: it has no header line.").arg(path);
        return std::nullopt;
    }
    ImportFile file;
    file.path = path;
    file.format = *format;
    for (const std::string& name : first->front()) {
        file.header << textOf(name);
        // Two columns that name one field are both kept: the mapping tells.
        file.mapping.push_back(fieldForHeader(file.header.last()));
    }
    return file;
}

QStringList ImportFile::unknownColumns() const {
    QStringList names;
    for (std::size_t c = 0; c < mapping.size(); ++c) {
        if (mapping[c] == kUnknown)
            names << header.value(int(c));
    }
    return names;
}

bool ImportFile::leaveOut(const QStringList& names, QString* error) {
    for (const QString& name : names) {
        bool found = false;
        for (std::size_t c = 0; c < mapping.size(); ++c) {
            if (!matchKey(name).isEmpty() && matchKey(header.value(int(c))) == matchKey(name)) {
                mapping[c] = kSkip;
                found = true;
            }
        }
        if (!found) {
            if (error)
                *error = QStringLiteral("%1 has no column \"%2\"; its columns are: %3.")
                             .arg(path, name, header.join(QStringLiteral(", ")));
            return false;
        }
    }
    return true;
}

QString ImportFile::mappingProblem() const {
    if (const QStringList unknown = unknownColumns(); unknown.size() == 1)
        return QStringLiteral(
                   "The column \"%1\" matches no item field: choose the field it goes "
                   "to, or leave it out.")
            .arg(unknown.first());
    else if (!unknown.isEmpty())
        return QStringLiteral(
                   "The columns %1 match no item field: choose the field each goes "
                   "to, or leave them out.")
            .arg(QLatin1Char('"') + unknown.join(QStringLiteral("\", \"")) + QLatin1Char('"'));
    bool any = false;
    for (std::size_t c = 0; c < mapping.size(); ++c) {
        if (mapping[c] == kSkip)
            continue;
        any = true;
        for (std::size_t d = c + 1; d < mapping.size(); ++d) {
            if (mapping[d] == mapping[c])
                return QStringLiteral("The columns %1 and %2 both go to %3: choose one of them.")
                    .arg(header.value(int(c)), header.value(int(d)), fieldOf(mapping[c]).caption);
        }
    }
    if (!any)
        return QStringLiteral("No column of the file goes to an item field: choose at least one.");
    return {};
}

// --- Checking and converting lines -------------------------------------------------

// The register as the check read it.
struct Import::Snapshot {
    std::vector<qint64> itemIds;    // ascending
    std::vector<qint64> testedIds;  // of deleted items with test records, ascending
    std::vector<qint64> caseIds;    // ascending
    QSet<QString> locations;        // case folded
};

// A line converted: the item as stored and what it would add.
struct Import::Line {
    ImportedItem item;
    qint64 missingCase = 0;  // a case to create, or 0
    QString newLocation;     // a location the list lacks, or empty
};

Import::Import(Register& reg, ImportFile file, Options options)
    : reg_(reg), file_(std::move(file)), options_(options) {
    for (const QString& name : file_.header)
        headerless_.push_back(matchKey(name).isEmpty());
}

Import::~Import() = default;

bool Import::readRegister(QString* error) {
    auto snapshot = std::make_unique<Snapshot>();
    TransferStore store(reg_);
    auto items = store.itemIds();
    auto cases = store.caseIds();
    auto locations = items && cases ? LocationStore(reg_).all() : std::nullopt;
    auto tested = locations ? TestRecordStore(reg_).deletedItemsWithTests() : std::nullopt;
    if (!items || !cases || !locations || !tested) {
        if (error)
            *error = QStringLiteral("Quarvel could not read the register.");
        return false;
    }
    snapshot->itemIds = std::move(*items);
    snapshot->testedIds = std::move(*tested);
    snapshot->caseIds = std::move(*cases);
    for (std::size_t i = 0; i < locations->size(); ++i)
        snapshot->locations.insert(locations->texts.text(i).toCaseFolded());
    snapshot_ = std::move(snapshot);
    listedLocations_.clear();
    return true;
}

bool Import::convert(const Csv::Record& record, Line& out, const ProblemSink& problems) const {
    bool ok = true;
    const auto problem = [&](int column, std::string_view value, const QString& text) {
        ok = false;
        if (problems)
            problems({record.line, column, column >= 0 ? file_.header.value(column) : QString(),
                      quotedValue(value), text});
    };
    ImportedItem& item = out.item;
    item.id = 0;
    // A field the file has no column for: empty, as the item editor leaves it.
    for (std::size_t c = 0; c < item.values.size(); ++c) {
        if (kItemColumns[c].type == ColumnType::Number)
            item.values[c].setWhole(0);
        else
            item.values[c].setText({});
    }
    out.missingCase = 0;
    out.newLocation.clear();

    for (std::size_t c = file_.header.size(); c < record.fields.size(); ++c) {
        if (!trimmed(record.fields[c]).empty()) {
            problem(-1, {},
                    QStringLiteral("the line has %1 fields, the header only %2.")
                        .arg(record.fields.size())
                        .arg(file_.header.size()));
            break;
        }
    }

    for (std::size_t c = 0; c < file_.mapping.size(); ++c) {
        const int field = file_.mapping[c];
        const std::string_view raw =
            c < record.fields.size() ? record.fields[c] : std::string_view();
        const std::string_view value = trimmed(raw);
        const int column = static_cast<int>(c);
        if (field == kSkip || field == kUnknown) {
            // A column without a header is left out unless a field is chosen
            // for it: what it holds would be lost without a word.
            if (field == kSkip && !value.empty() && headerless_[c])
                problem(column, raw,
                        QStringLiteral("\"%1\" is under no header, so it would not be imported: "
                                       "give the column a header.")
                            .arg(quotedValue(raw)));
            continue;
        }
        if (field == kIdField) {
            if (value.empty())
                continue;  // a new id
            const auto id = digitsValue(value);
            if (!id)
                problem(column, raw,
                        QStringLiteral("\"%1\" is not an item id: a whole number of up to %2 "
                                       "digits, or nothing for a new id.")
                            .arg(quotedValue(raw))
                            .arg(kMostIdDigits));
            else if (*id == 0)
                problem(column, raw,
                        QStringLiteral("0 is not an item id; leave it empty for a new id."));
            else if (std::binary_search(snapshot_->itemIds.begin(), snapshot_->itemIds.end(), *id))
                problem(column, raw,
                        QStringLiteral("item %1 is already in the register.").arg(*id));
            else if (std::binary_search(snapshot_->testedIds.begin(), snapshot_->testedIds.end(),
                                        *id))
                problem(column, raw,
                        QStringLiteral("id %1 belonged to a deleted item with test records; "
                                       "leave the id empty for a new one.")
                            .arg(*id));
            else
                item.id = *id;
            continue;
        }
        const auto index = static_cast<std::size_t>(field);
        ImportedValue& stored = item.values[index];
        if (!record.hasValue(c)) {
            stored.kind = ImportedValue::Kind::NoValue;
            continue;
        }
        // Texts are kept exactly, blanks and all, but for the apostrophe
        // that keeps a spreadsheet from running them.
        const std::string_view text = Csv::withoutFormulaGuard(raw);
        switch (kItemColumns[index].kind) {
            case ColumnKind::Date: {
                // Stored as written when the Tests Due window can read it;
                // anything else would show there as unreadable, so it is
                // converted or kept only when asked.
                stored.setText(text);
                if (TestsDue::readDate(text).reading != TestsDue::Reading::Unreadable)
                    break;
                if (const auto date = options_.convertDates ? convertedDate(value) : std::nullopt)
                    stored.setText(TextRules::dateText(*date).toStdString());
                else if (!options_.keepUnreadableDates)
                    problem(column, raw,
                            QStringLiteral("\"%1\" is not a date that can be read (d/m/yyyy, "
                                           "such as 7/3/2008). Choose to keep unreadable dates "
                                           "to store it as written.")
                                .arg(quotedValue(raw)));
                break;
            }
            case ColumnKind::Case: {
                std::string_view number = value;
                if (!number.empty() && (number.front() == 'F' || number.front() == 'f'))
                    number.remove_prefix(1);
                if (value.empty()) {
                    stored.kind = ImportedValue::Kind::NoValue;
                    break;
                }
                const auto caseId = digitsValue(number);
                if (!caseId) {
                    problem(column, raw,
                            QStringLiteral("\"%1\" is not a flight case number (as F12 or 12).")
                                .arg(quotedValue(raw)));
                    break;
                }
                stored.setWhole(*caseId);
                if (*caseId == 0 || std::binary_search(snapshot_->caseIds.begin(),
                                                       snapshot_->caseIds.end(), *caseId))
                    break;
                if (options_.createCases)
                    out.missingCase = *caseId;
                else
                    problem(column, raw,
                            QStringLiteral("flight case F%1 does not exist. Choose to create the "
                                           "missing flight cases to make it.")
                                .arg(*caseId));
                break;
            }
            case ColumnKind::Number:
                if (value.empty())
                    stored.kind = ImportedValue::Kind::NoValue;
                else if (const QString wrong = readNumber(value, stored); !wrong.isEmpty())
                    problem(column, raw, wrong.arg(quotedValue(raw)));
                break;
            case ColumnKind::Location: {
                stored.setText(text);
                if (text.empty() || listedLocations_.count(std::string(text)) != 0)
                    break;
                const QString name = textOf(text);
                if (!snapshot_->locations.contains(reg_.storable(name).toCaseFolded()))
                    out.newLocation = name;
                else if (listedLocations_.size() < kRememberedLocations)
                    listedLocations_.emplace(text);
                break;
            }
            case ColumnKind::Text:
            case ColumnKind::File:
                stored.setText(text);
                break;
        }
    }
    return ok;
}

std::optional<CheckResult> Import::check(QString* error, const ProblemSink& sink,
                                         Progress* progress) {
    if (const QString mapping = file_.mappingProblem(); !mapping.isEmpty()) {
        if (error)
            *error = mapping;
        return std::nullopt;
    }
    if (!readRegister(error))
        return std::nullopt;
    QFile in(file_.path);
    if (!in.open(QIODevice::ReadOnly)) {
        if (error)
            *error =
                QStringLiteral("Quarvel could not read %1: %2").arg(file_.path, in.errorString());
        return std::nullopt;
    }
    CheckResult result;
    const QFileInfo info(file_.path);
    result.fileSize = info.size();
    result.fileModified = info.lastModified();

    const ProblemSink keep = [&](const Problem& p) {
        ++result.problemCount;
        if (result.problems.size() < kKeptProblems)
            result.problems.push_back(p);
        if (sink)
            sink(p);
    };
    std::unordered_map<qint64, qint64> lineOfId;  // the first line giving each id
    std::vector<qint64> cases;
    QSet<QString> seenLocations;
    Csv::Reader reader(in, file_.format);
    Csv::Record record;
    bool header = true;
    Line line;
    while (reader.next(&record)) {
        if (header) {
            header = false;
            continue;
        }
        ++result.lines;
        if (result.lines % Progress::kEvery == 0 && progress &&
            !progress->report(in.pos(), result.fileSize)) {
            if (error)
                *error = QStringLiteral("You cancelled the check.");
            return std::nullopt;
        }
        bool good = convert(record, line, keep);
        if (line.item.id != 0) {
            const auto [at, added] = lineOfId.try_emplace(line.item.id, record.line);
            if (!added) {
                const int column = static_cast<int>(
                    std::find(file_.mapping.begin(), file_.mapping.end(), kIdField) -
                    file_.mapping.begin());
                keep({record.line, column, file_.header.value(column),
                      QString::number(line.item.id),
                      QStringLiteral("item %1 is also on line %2.")
                          .arg(line.item.id)
                          .arg(at->second)});
                good = false;
            }
        }
        result.good.push_back(good);
        if (!good)
            continue;
        ++result.goodLines;
        if (line.item.id == 0)
            ++result.newIds;
        result.highestId = std::max(result.highestId, line.item.id);
        if (line.missingCase != 0)
            cases.push_back(line.missingCase);
        if (!line.newLocation.isEmpty()) {
            const QString folded = reg_.storable(line.newLocation).toCaseFolded();
            if (!seenLocations.contains(folded)) {
                seenLocations.insert(folded);
                result.newLocations << line.newLocation;
            }
        }
    }
    if (reader.failed()) {
        if (error)
            *error =
                QStringLiteral("Quarvel could not read %1. %2").arg(file_.path, reader.error());
        return std::nullopt;
    }
    std::sort(cases.begin(), cases.end());
    cases.erase(std::unique(cases.begin(), cases.end()), cases.end());
    result.newCases = std::move(cases);
    return result;
}

std::vector<PreviewLine> Import::preview(int count, QString* error) {
    std::vector<PreviewLine> lines;
    if (!snapshot_ && !readRegister(error))
        return lines;
    QFile in(file_.path);
    if (!in.open(QIODevice::ReadOnly)) {
        if (error)
            *error = in.errorString();
        return lines;
    }
    Csv::Reader reader(in, file_.format);
    Csv::Record record;
    bool header = true;
    Line line;
    while (int(lines.size()) < count && reader.next(&record)) {
        if (header) {
            header = false;
            continue;
        }
        PreviewLine shown;
        shown.line = record.line;
        convert(record, line, [&](const Problem& p) { shown.problems << describe(p); });
        shown.values << (line.item.id ? QString::number(line.item.id) : QStringLiteral("new id"));
        for (const ImportedValue& value : line.item.values)
            shown.values << shownValue(value);
        lines.push_back(shown);
    }
    if (reader.failed() && error)
        *error = reader.error();
    return lines;
}

std::optional<ImportCounts> Import::importGoodLines(const CheckResult& checked, QString* error,
                                                    Progress* progress) {
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const QString changed =
        QStringLiteral("%1 has changed since it was checked. Check it again, then import.")
            .arg(file_.path);
    const QFileInfo info(file_.path);
    if (!snapshot_ || info.size() != checked.fileSize ||
        info.lastModified() != checked.fileModified)
        return fail(changed);
    if (checked.goodLines == 0)
        return fail(QStringLiteral("No line of %1 can be imported.").arg(file_.path));
    QFile in(file_.path);
    if (!in.open(QIODevice::ReadOnly))
        return fail(
            QStringLiteral("Quarvel could not read %1: %2").arg(file_.path, in.errorString()));

    Csv::Reader reader(in, file_.format);
    Csv::Record record;
    bool header = true;
    std::size_t index = 0;
    Line line;
    ItemImportPlan plan;
    plan.casesToCreate = checked.newCases;
    plan.locationsToAdd = checked.newLocations;
    plan.highestFileId = checked.highestId;
    plan.itemCount = checked.goodLines;
    plan.newIdCount = checked.newIds;
    QString failure;
    plan.next = [&](ImportedItem& item, QString* why) {
        while (reader.next(&record)) {
            if (header) {
                header = false;
                continue;
            }
            const std::size_t at = index++;
            if (at >= checked.good.size()) {
                failure = *why = changed;
                return ImportStep::Failed;
            }
            if (!checked.good[at])
                continue;
            // A line checked good that no longer converts: the file changed.
            if (!convert(record, line, {})) {
                failure = *why = changed;
                return ImportStep::Failed;
            }
            item = line.item;
            return ImportStep::Item;
        }
        if (reader.failed() || index != checked.good.size()) {
            failure = *why = reader.failed() ? reader.error() : changed;
            return ImportStep::Failed;
        }
        return ImportStep::End;
    };
    TransferStore store(reg_);
    const auto counts = store.importItems(plan, progress);
    if (Progress::wasCancelled(progress))
        return fail(QStringLiteral("You cancelled the import: nothing was imported."));
    if (!counts)
        return fail(failure.isEmpty()
                        ? QStringLiteral("The register refused the import; nothing was imported.")
                        : failure);
    return counts;
}

bool Import::writeReport(const QString& path, QString* error) {
    CsvWriter report(path);
    if (!report.open()) {
        if (error)
            *error = report.error();
        return false;
    }
    report.record({QStringLiteral("line"), QStringLiteral("column"), QStringLiteral("value"),
                   QStringLiteral("problem")});
    QString why;
    const auto checked = check(&why, [&](const Problem& p) {
        report.record({QString::number(p.line), p.columnName, p.value, p.text});
    });
    if (!checked) {
        if (error)
            *error = why;
        return false;
    }
    if (!report.commit()) {
        if (error)
            *error = report.error();
        return false;
    }
    return true;
}

}  // namespace ItemImport
