#include "data/rules/TextRules.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace TextRules {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// Reads the text once, skipping blanks, and hands out the other characters.
class BlankSkippingReader {
public:
    explicit BlankSkippingReader(const QString& text) : text_(text) {}
    QChar peek() {
        while (pos_ < text_.size() && isBlank(text_[pos_]))
            ++pos_;
        return pos_ < text_.size() ? text_[pos_] : QChar();
    }
    void take() { ++pos_; }

private:
    const QString& text_;
    qsizetype pos_ = 0;
};

}  // namespace

double numericValue(const QString& text) {
    BlankSkippingReader in(text);
    QString number;  // a plain C-locale number, built from what was read

    if (in.peek() == u'+' || in.peek() == u'-') {
        number += in.peek();
        in.take();
    }
    bool anyDigit = false;
    bool seenPoint = false;
    for (QChar c = in.peek(); !c.isNull(); c = in.peek()) {
        if (c >= u'0' && c <= u'9') {
            anyDigit = true;
        } else if (c == u'.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
        number += c;
        in.take();
    }
    if (!anyDigit)
        return 0.0;

    const QChar e = in.peek();
    if (e == u'e' || e == u'E' || e == u'd' || e == u'D') {
        in.take();
        QString exponent = QStringLiteral("e");
        if (in.peek() == u'+' || in.peek() == u'-') {
            exponent += in.peek();
            in.take();
        }
        bool expDigit = false;
        while (in.peek() >= u'0' && in.peek() <= u'9') {
            exponent += in.peek();
            in.take();
            expDigit = true;
        }
        if (expDigit)
            number += exponent;
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

double numericValue(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return 0.0;
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Bool:
            return value.toDouble();
        default:
            return numericValue(value.toString());
    }
}

qint64 wholeNumber(double value) {
    // 2^63 is exactly representable; anything at or above it is out of range.
    constexpr double kTwoTo63 = 9223372036854775808.0;
    if (std::isnan(value))
        return 0;
    if (value >= kTwoTo63)
        return std::numeric_limits<qint64>::max();
    if (value < -kTwoTo63)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(value);
}

QString numberText(double value) {
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 9.0e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

qint64 IdFromListLine(const QString& line) {
    const QString head = line.left(10);
    const qsizetype lastHyphen = head.lastIndexOf(u'-');  // -1 when none
    return wholeNumber(numericValue(line.left(lastHyphen + 1)));
}

QString listLine(qint64 id, const QString& text) {
    return listLine(QString::number(id), text);
}

QString listLine(const QString& id, const QString& text) {
    return id + QStringLiteral(" - ") + text;
}

QString dateText(const QDate& date) {
    return QStringLiteral("%1/%2/%3").arg(date.day()).arg(date.month()).arg(date.year());
}

bool parseWholeNumber(const QString& text, qint64* value) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 18)
        return false;
    for (QChar c : trimmed) {
        if (c < u'0' || c > u'9')
            return false;
    }
    *value = trimmed.toLongLong();
    return true;
}

QString fromAzertyDigitRow(const QString& text) {
    // The unshifted digit row, 1 to 9 and then 0.
    static const QString kRow = QStringLiteral("&\u00E9\"'(-\u00E8_\u00E7\u00E0");
    const QString code = text.trimmed();
    const bool prefixed = !code.isEmpty() && QStringLiteral("FfLl").contains(code.front());
    const QString row = prefixed ? code.mid(1).trimmed() : code;
    if (row.isEmpty())
        return text;
    QString digits;
    for (const QChar c : row) {
        const qsizetype place = kRow.indexOf(c);
        if (place < 0)
            return text;
        digits += QChar(char16_t(u'0' + (place + 1) % 10));
    }
    return prefixed ? code.front() + digits : digits;
}

std::optional<QuickOpen> parseQuickOpen(const QString& typed) {
    const QString text = fromAzertyDigitRow(typed);
    if (text.isEmpty())
        return std::nullopt;
    const QChar prefix = text.at(0);
    const RecordTable table = prefix == u'F' || prefix == u'f'   ? RecordTable::Cases
                              : prefix == u'L' || prefix == u'l' ? RecordTable::Lists
                                                                 : RecordTable::Items;
    const QString number = table == RecordTable::Items ? text : text.mid(1);
    qint64 id = 0;
    if (!parseWholeNumber(number, &id))
        return std::nullopt;
    return QuickOpen{table, id};
}

QString storable(const QString& text) {
    if (text.isValidUtf16())
        return text;
    QString mended;
    mended.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            mended += c;
            mended += text[++i];
        } else {
            mended += c.isSurrogate() ? QChar(QChar::ReplacementCharacter) : c;
        }
    }
    return mended;
}

}  // namespace TextRules
