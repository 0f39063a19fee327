#include "data/rules/ScanRules.h"

#include <QSet>
#include <algorithm>
#include <array>
#include <utility>

#include "data/rules/TextRules.h"

namespace ScanRules {

namespace {

constexpr std::array<std::pair<Kind, const char*>, 3> kKindWords{
    {{Kind::Stocktake, "Stocktake"}, {Kind::Pack, "Pack"}, {Kind::CheckIn, "Check in"}}};

constexpr std::array<std::pair<Verdict, const char*>, 12> kVerdictWords{{
    {Verdict::Here, "here"},
    {Verdict::InCase, "in case"},
    {Verdict::Elsewhere, "belongs elsewhere"},
    {Verdict::AlreadyScanned, "already scanned"},
    {Verdict::NoSuchItem, "no such item"},
    {Verdict::Packed, "packed"},
    {Verdict::NotOnList, "not on this list"},
    {Verdict::AlreadyPacked, "already packed"},
    {Verdict::Back, "back"},
    {Verdict::WasNotPacked, "was not packed"},
    {Verdict::Refused, "not a code"},
    {Verdict::ItemOrCase, "item or case?"},
}};

// What an answer line of an item packed while booked elsewhere holds.
QString bookedMark() {
    return QStringLiteral(" \u2014 booked on list ");
}

// Whole ids of up to 15 digits, no sign, no blanks inside.
std::optional<qint64> idOf(QStringView digits) {
    if (digits.isEmpty() || digits.size() > 15)
        return std::nullopt;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    const qint64 id = digits.toLongLong();
    return id > 0 ? std::optional<qint64>(id) : std::nullopt;
}

Answer say(Verdict verdict, const QString& where = {}, qint64 caseId = 0) {
    Answer a;
    a.verdict = verdict;
    a.where = where;
    a.caseId = caseId;
    return a;
}

QString testWords(TestsDue::Status status) {
    switch (status) {
        case TestsDue::Status::Failed:
            return QStringLiteral("FAILED its last test");
        case TestsDue::Status::Overdue:
            return QStringLiteral("test OVERDUE");
        case TestsDue::Status::NeverTested:
            return QStringLiteral("NEVER TESTED");
        default:
            return {};
    }
}

// "1 item", "3 items".
QString itemCount(int count) {
    return count == 1 ? QStringLiteral("1 item") : QStringLiteral("%1 items").arg(count);
}

// "12, 14"
QString idList(const QList<qint64>& ids) {
    QStringList texts;
    for (const qint64 id : ids)
        texts << QString::number(id);
    return texts.join(QStringLiteral(", "));
}

// A case's items checked in: "2 items back, 1 was not packed".
QString checkedInText(int items, int notPacked) {
    QStringList parts;
    if (items > notPacked)
        parts << QStringLiteral("%1 back").arg(itemCount(items - notPacked));
    if (notPacked > 0)
        parts << (notPacked == 1 ? QStringLiteral("%1 was not packed")
                                 : QStringLiteral("%1 were not packed"))
                     .arg(parts.isEmpty() ? itemCount(notPacked) : QString::number(notPacked));
    return parts.join(QStringLiteral(", "));
}

Answer stocktake(const Code& code, const Facts& facts, const QString& here) {
    const QString expected = expectedLocation(facts);
    const qint64 caseId = code.type == Code::Type::Item ? facts.caseId : 0;
    // Locations are compared as the location picker keeps them: letter case aside.
    if (expected.compare(here, Qt::CaseInsensitive) != 0)
        return say(Verdict::Elsewhere, expected, caseId);
    if (caseId != 0)
        return say(Verdict::InCase, {}, caseId);
    return say(Verdict::Here);
}

}  // namespace

QString kindWord(Kind kind) {
    for (const auto& [k, word] : kKindWords) {
        if (k == kind)
            return QLatin1String(word);
    }
    return {};
}

std::optional<Kind> kindOfWord(const QString& word) {
    for (const auto& [k, w] : kKindWords) {
        if (word == QLatin1String(w))
            return k;
    }
    return std::nullopt;
}

QString verdictWord(Verdict verdict) {
    for (const auto& [v, word] : kVerdictWords) {
        if (v == verdict)
            return QLatin1String(word);
    }
    return {};
}

std::optional<Verdict> verdictOfWord(const QString& word) {
    for (const auto& [v, w] : kVerdictWords) {
        if (word == QLatin1String(w))
            return v;
    }
    return std::nullopt;
}

QString Code::text() const {
    switch (type) {
        case Type::Item:
            return QString::number(id);
        case Type::Case:
            return QStringLiteral("F%1").arg(id);
        case Type::List:
            return QStringLiteral("L%1").arg(id);
        case Type::Refused:
            break;
    }
    return {};
}

Code parse(const QString& scanned) {
    const QString code = TextRules::fromAzertyDigitRow(scanned).trimmed();
    if (code.isEmpty())
        return {};
    const QChar first = code.front().toUpper();
    const auto type = first == QLatin1Char('F')   ? Code::Type::Case
                      : first == QLatin1Char('L') ? Code::Type::List
                                                  : Code::Type::Item;
    const auto id = idOf(type == Code::Type::Item ? QStringView(code) : QStringView(code).mid(1));
    return id ? Code{type, *id, type == Code::Type::Item} : Code{};
}

bool testsNeedWarning(TestsDue::Status status) {
    return !testWords(status).isEmpty();
}

QString expectedLocation(const Facts& facts) {
    return facts.caseId != 0 ? facts.caseLocation : facts.location;
}

Answer answer(Kind kind, const Code& code, const Facts& facts, const QString& sessionLocation) {
    if (code.type != Code::Type::Item && code.type != Code::Type::Case)
        return say(Verdict::Refused);
    if (!facts.exists)
        return say(Verdict::NoSuchItem);
    if (kind == Kind::Stocktake) {
        if (facts.scannedBefore)
            return say(Verdict::AlreadyScanned);
        return stocktake(code, facts, sessionLocation);
    }
    // Lists hold items: a case is never a line of one.
    if (code.type == Code::Type::Case || !facts.onList)
        return say(Verdict::NotOnList);
    if (kind == Kind::Pack) {
        if (facts.scannedBefore)
            return say(Verdict::AlreadyPacked);
        Answer packed = say(Verdict::Packed);
        packed.tests = facts.tests;
        packed.testWarning = testsNeedWarning(facts.tests);
        packed.booked = facts.booked;
        return packed;
    }
    if (facts.scannedBefore)
        return say(Verdict::AlreadyScanned);
    return say(facts.packed ? Verdict::Back : Verdict::WasNotPacked);
}

bool expected(Kind kind, const Facts& facts, const QString& sessionLocation) {
    if (!facts.exists)
        return false;
    if (kind == Kind::Stocktake)
        return expectedLocation(facts).compare(sessionLocation, Qt::CaseInsensitive) == 0;
    return facts.onList;
}

Reading readingOfNumber(Kind kind, const Facts& item, const Facts& flightCase,
                        const QString& sessionLocation) {
    if (!flightCase.exists)
        return Reading::Item;
    if (!item.exists)
        return Reading::Case;
    const bool itemExpected = expected(kind, item, sessionLocation);
    const bool caseExpected = expected(kind, flightCase, sessionLocation);
    if (itemExpected == caseExpected)
        return Reading::Ask;
    return caseExpected ? Reading::Case : Reading::Item;
}

Answer itemOrCase(qint64 id) {
    return say(Verdict::ItemOrCase, {}, id);
}

bool isRepeat(Verdict verdict) {
    return verdict == Verdict::AlreadyScanned || verdict == Verdict::AlreadyPacked;
}

Answer caseAnswer(Kind kind, const QList<QPair<qint64, Answer>>& itemAnswers) {
    Answer a = say(kind == Kind::Pack ? Verdict::Packed : Verdict::Back);
    for (const auto& [itemId, itemAnswer] : itemAnswers) {
        if (isRepeat(itemAnswer.verdict))
            continue;
        ++a.items;
        if (itemAnswer.verdict == Verdict::WasNotPacked)
            ++a.itemsNotPacked;
        if (itemAnswer.testWarning)
            a.warned << itemId;
        if (!itemAnswer.booked.isEmpty())
            a.bookedItems << itemId;
    }
    if (a.items == 0)
        return say(kind == Kind::Pack ? Verdict::AlreadyPacked : Verdict::AlreadyScanned);
    if (a.itemsNotPacked > 0)
        a.verdict = Verdict::WasNotPacked;
    a.testWarning = !a.warned.isEmpty();
    return a;
}

QString answerLine(const QString& scanned, const Code& code, const Answer& answer) {
    QString shown = code.text();
    if (code.type != Code::Type::Item && code.type != Code::Type::Case)
        shown = scanned.trimmed();
    else if (answer.caseLabel)
        shown = QStringLiteral("F%1 (case label)").arg(code.id);
    return QStringLiteral("%1 - %2").arg(shown, answer.text());
}

bool Answer::problem() const {
    switch (verdict) {
        case Verdict::Here:
        case Verdict::InCase:
        case Verdict::Back:
            return false;
        case Verdict::Packed:
            return testWarning || !booked.isEmpty() || !bookedItems.isEmpty();
        default:
            return true;
    }
}

QString Answer::text() const {
    switch (verdict) {
        case Verdict::Elsewhere:
            return caseId != 0 ? QStringLiteral("belongs elsewhere: %1 (in case F%2)")
                                     .arg(where.isEmpty() ? QStringLiteral("no location") : where)
                                     .arg(caseId)
                               : QStringLiteral("belongs elsewhere: %1")
                                     .arg(where.isEmpty() ? QStringLiteral("no location") : where);
        case Verdict::InCase:
            return QStringLiteral("in case F%1").arg(caseId);
        case Verdict::Packed: {
            QStringList parts;
            if (items > 0) {
                parts << QStringLiteral("%1 packed").arg(itemCount(items));
                if (!warned.isEmpty())
                    parts << QStringLiteral("test warning: %1").arg(idList(warned));
                if (!bookedItems.isEmpty())
                    parts << QStringLiteral("booked elsewhere: %1").arg(idList(bookedItems));
            } else {
                parts << QStringLiteral("packed");
                if (testWarning)
                    parts << testWords(tests);
                if (!booked.isEmpty())
                    parts << booked;
            }
            return parts.join(QStringLiteral(" \u2014 "));
        }
        case Verdict::Back:
        case Verdict::WasNotPacked:
            return items > 0 ? checkedInText(items, itemsNotPacked) : verdictWord(verdict);
        case Verdict::Refused:
            return QStringLiteral("not an item or case code");
        case Verdict::ItemOrCase:
            return QStringLiteral("item %1 or case F%1?").arg(caseId);
        default:
            return verdictWord(verdict);
    }
}

Verdict verdictOfText(const QString& answerText) {
    // The longest word the line starts with: "already packed" before "packed"
    // would not matter, but "in case F12" must not read as anything shorter.
    Verdict found = Verdict::Refused;
    qsizetype longest = -1;
    for (const auto& [v, w] : kVerdictWords) {
        const QLatin1String word(w);
        if (answerText.startsWith(word) && word.size() > longest) {
            found = v;
            longest = word.size();
        }
    }
    return found;
}

Code Record::code() const {
    return itemId != 0 ? Code{Code::Type::Item, itemId} : Code{Code::Type::Case, caseId};
}

Summary summarise(Kind kind, const QList<Record>& records, const QList<Expected>& expected,
                  const QStringList& refused) {
    Summary summary;
    summary.refused = refused;
    QSet<QString> seen;
    QSet<qint64> casesSeen;
    for (const Record& r : records) {
        const Verdict verdict = verdictOfText(r.answer);
        const QString word = verdictWord(verdict);
        auto count = std::find_if(summary.counts.begin(), summary.counts.end(),
                                  [&word](const auto& c) { return c.first == word; });
        if (count == summary.counts.end())
            summary.counts.append({word, 1});
        else
            ++count->second;
        if (verdict == Verdict::AlreadyScanned || verdict == Verdict::AlreadyPacked)
            continue;
        seen.insert(r.code().text());
        if (r.caseId != 0)
            casesSeen.insert(r.caseId);
        if (verdict == Verdict::Packed && r.answer.contains(bookedMark()))
            summary.booked.append(r);
        if (verdict == Verdict::Elsewhere) {
            summary.misplaced.append(r);
            if (!r.answer.contains(QStringLiteral("(in case F")))
                ++summary.movable;
        }
    }
    for (const Expected& e : expected) {
        const bool inScannedCase =
            kind == Kind::Stocktake && e.caseId != 0 && casesSeen.contains(e.caseId);
        if (!seen.contains(e.code.text()) && !inScannedCase)
            summary.missing.append(e);
    }
    return summary;
}

QString missingWord(Kind kind) {
    switch (kind) {
        case Kind::Stocktake:
            return QStringLiteral("missing");
        case Kind::Pack:
            return QStringLiteral("not packed");
        case Kind::CheckIn:
            break;
    }
    return QStringLiteral("still out");
}

QString summaryText(Kind kind, const Summary& summary) {
    QStringList lines;
    for (const auto& [word, count] : summary.counts)
        lines << QStringLiteral("%1: %2").arg(word).arg(count);
    const QString missing = missingWord(kind);
    lines << QString() << QStringLiteral("%1 %2:").arg(summary.missing.size()).arg(missing);
    for (const Expected& e : summary.missing)
        lines << QStringLiteral("  %1 - %2").arg(e.code.text(), e.text);
    if (kind == Kind::Stocktake) {
        lines << QString() << QStringLiteral("%1 misplaced:").arg(summary.misplaced.size());
        for (const Record& r : summary.misplaced)
            lines << QStringLiteral("  %1 - %2").arg(r.code().text(), r.answer);
    }
    if (kind == Kind::Pack && !summary.booked.isEmpty()) {
        lines << QString() << QStringLiteral("%1 booked elsewhere:").arg(summary.booked.size());
        for (const Record& r : summary.booked)
            lines << QStringLiteral("  %1 - %2").arg(r.code().text(), r.answer);
    }
    lines << QString() << QStringLiteral("%1 refused:").arg(summary.refused.size());
    for (const QString& line : summary.refused)
        lines << QStringLiteral("  ") + line;
    return lines.join(QLatin1Char('\n'));
}

QStringList codesInFile(const QString& text) {
    QStringList codes;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            codes << line.trimmed();
    }
    return codes;
}

}  // namespace ScanRules
