#include <QLocale>
#include <QTest>

#include "app/SharedFields.h"
#include "data/rules/DetailLines.h"
#include "data/rules/TextRules.h"

#include <cmath>
#include <limits>

using namespace TextRules;

class TestTextRules : public QObject {
    Q_OBJECT
private slots:
    void numericValue_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "42" << 42.0;
        QTest::newRow("decimal with unit") << "12.5 m" << 12.5;
        QTest::newRow("letters first") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("blanks between digits") << " 1 2 3" << 123.0;
        QTest::newRow("blank inside decimal") << "1 2. 5kg" << 12.5;
        QTest::newRow("sign") << "-7x" << -7.0;
        QTest::newRow("plus and blank") << "+ 8" << 8.0;
        QTest::newRow("second point ends it") << "1.2.3" << 1.2;
        QTest::newRow("leading point") << ".5" << 0.5;
        QTest::newRow("exponent") << "-4.5e2 units" << -450.0;
        QTest::newRow("exponent sign") << "25E-1" << 2.5;
        QTest::newRow("exponent without digits") << "12e" << 12.0;
        QTest::newRow("hyphen after number") << "12 - Cable" << 12.0;
        QTest::newRow("lone point") << "." << 0.0;
        QTest::newRow("comma is not a point") << "3,5" << 3.0;
    }
    void numericValue() {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(TextRules::numericValue(text), value);
    }

    void numericValueIgnoresRegionalSettings() {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(TextRules::numericValue(QStringLiteral("12.5")), 12.5);
        QLocale::setDefault(saved);
    }

    void numericValueOfFields() {
        QCOMPARE(TextRules::numericValue(QVariant()), 0.0);
        QCOMPARE(TextRules::numericValue(QVariant(QStringLiteral("45"))), 45.0);
        QCOMPARE(TextRules::numericValue(QVariant(qint64(9))), 9.0);
    }

    void idFromListLine_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<qint64>("id");
        QTest::newRow("simple") << "12 - Cable drum" << qint64(12);
        QTest::newRow("hyphen in text moves the cut") << "1234 - A-frame ladder" << qint64(1234);
        QTest::newRow("letter hyphen letter") << "12 - a-b" << qint64(12);
        QTest::newRow("eight digits") << "12345678 - Lamp" << qint64(12345678);
        QTest::newRow("nine digits read as 0") << "123456789 - Lamp" << qint64(0);
        QTest::newRow("no hyphen") << "Cable drum" << qint64(0);
        QTest::newRow("empty description") << "7 - " << qint64(7);
        QTest::newRow("fixed no-case line") << "0 - No Flight Case (Default)" << qint64(0);
        QTest::newRow("empty") << "" << qint64(0);
        QTest::newRow("beyond the range") << "1e300 - x" << std::numeric_limits<qint64>::max();
        QTest::newRow("below the range") << "-1e300 - x" << std::numeric_limits<qint64>::min();
    }
    void idFromListLine() {
        QFETCH(QString, line);
        QFETCH(qint64, id);
        QCOMPARE(IdFromListLine(line), id);
    }

    void listLineAndDateText() {
        QCOMPARE(listLine(17, QStringLiteral("Cable drum 25m")),
                 QStringLiteral("17 - Cable drum 25m"));
        QCOMPARE(dateText(QDate(2008, 3, 7)), QStringLiteral("7/3/2008"));
        QCOMPARE(dateText(QDate(2008, 1, 17)), QStringLiteral("17/1/2008"));
        QCOMPARE(dateText(QDate(2009, 12, 25)), QStringLiteral("25/12/2009"));
    }

    void quickOpen_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("table");  // -1: nothing to open
        QTest::addColumn<qint64>("id");
        QTest::newRow("item") << "45" << int(RecordTable::Items) << qint64(45);
        QTest::newRow("case") << "f12" << int(RecordTable::Cases) << qint64(12);
        QTest::newRow("list, blanks") << "L 3 " << int(RecordTable::Lists) << qint64(3);
        QTest::newRow("letter alone") << "F" << -1 << qint64(0);
        QTest::newRow("other letter") << "x5" << -1 << qint64(0);
        QTest::newRow("two numbers") << "1 2" << -1 << qint64(0);
        QTest::newRow("empty") << "" << -1 << qint64(0);
        QTest::newRow("AZERTY item") << "&\u00E9" << int(RecordTable::Items) << qint64(12);
        QTest::newRow("AZERTY case") << "f\u00E7\u00E0" << int(RecordTable::Cases) << qint64(90);
        QTest::newRow("AZERTY look-alike") << "&e" << -1 << qint64(0);
    }
    void quickOpen() {
        QFETCH(QString, text);
        QFETCH(int, table);
        QFETCH(qint64, id);
        const std::optional<QuickOpen> wanted = parseQuickOpen(text);
        QCOMPARE(wanted ? int(wanted->table) : -1, table);
        QCOMPARE(wanted ? wanted->id : 0, id);
    }

    // A scanner on a French keyboard layout types the digit row unshifted;
    // only a code made of that row alone is read, nothing that looks alike.
    void azertyDigitRow_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("read");  // empty: the text stays as it is
        const QString row = QStringLiteral("&\u00E9\"'(-\u00E8_\u00E7\u00E0");
        for (int digit = 0; digit < 10; ++digit) {
            const QString key = row.at((digit + 9) % 10);
            QTest::addRow("digit %d", digit) << key << QString::number(digit);
            QTest::addRow("F and digit %d", digit)
                << QStringLiteral("F") + key << QStringLiteral("F%1").arg(digit);
            QTest::addRow("L and digit %d", digit)
                << QStringLiteral("L") + key << QStringLiteral("L%1").arg(digit);
        }
        QTest::newRow("whole row") << row << "1234567890";
        QTest::newRow("blanks, small f") << " f&\u00E9\r"
                                         << "f12";
        QTest::newRow("plain e") << "&e"
                                 << "";
        QTest::newRow("capital E acute") << "&\u00C9"
                                         << "";
        QTest::newRow("e and combining acute") << "&e\u0301"
                                               << "";
        QTest::newRow("typographic apostrophe") << "\u2019"
                                                << "";
        QTest::newRow("mixed with digits") << "&2"
                                           << "";
        QTest::newRow("digits") << "12"
                                << "";
        QTest::newRow("other letter first") << "X&"
                                            << "";
        QTest::newRow("letter alone") << "F"
                                      << "";
        QTest::newRow("two prefixes") << "FF&"
                                      << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void azertyDigitRow() {
        QFETCH(QString, typed);
        QFETCH(QString, read);
        QCOMPARE(fromAzertyDigitRow(typed), read.isEmpty() ? typed : read);
    }

    void numberText() {
        QCOMPARE(TextRules::numberText(12.0), QStringLiteral("12"));
        QCOMPARE(TextRules::numberText(12.5), QStringLiteral("12.5"));
        QCOMPARE(TextRules::numberText(0.1), QStringLiteral("0.1"));
    }

    void wholeNumbers() {
        qint64 v = -1;
        QVERIFY(parseWholeNumber(QStringLiteral(" 12 "), &v));
        QCOMPARE(v, qint64(12));
        QVERIFY(!parseWholeNumber(QStringLiteral("12 or 1=1"), &v));
        QVERIFY(!parseWholeNumber(QStringLiteral("1 2"), &v));
        QVERIFY(!parseWholeNumber(QStringLiteral("-3"), &v));
        QVERIFY(!parseWholeNumber(QString(), &v));
        QVERIFY(!parseWholeNumber(QStringLiteral("99999999999999999999"), &v));
    }

    // Numbers beyond the 64-bit range are clamped, never converted blindly.
    void wholeNumbersAreClamped() {
        QCOMPARE(wholeNumber(1e30), std::numeric_limits<qint64>::max());
        QCOMPARE(wholeNumber(-1e30), std::numeric_limits<qint64>::min());
        QCOMPARE(wholeNumber(std::nan("")), qint64(0));
        QCOMPARE(wholeNumber(-12.9), qint64(-12));
        QCOMPARE(SharedFields::idOf(QStringLiteral("1e30")), std::numeric_limits<qint64>::max());
    }

    void caseNumberOfDetailLine() {
        QCOMPARE(DetailLines::caseNumberOf(QStringLiteral("Flight Case: F12")),
                 QStringLiteral("12"));
        QCOMPARE(DetailLines::caseNumberOf(QStringLiteral("Flight Case: F")), QString());
        QVERIFY(!DetailLines::caseNumberOf(QStringLiteral("Flight case: F12")));
        QVERIFY(!DetailLines::caseNumberOf(QStringLiteral("Notes: Flight Case: F1")));
    }
};

QTEST_GUILESS_MAIN(TestTextRules)
#include "test_text_rules.moc"
