#include "expectedlocale.h"
#include "host/conversions.h"

#include <QRandomGenerator64>
#include <QTest>

#include <bit>
#include <cmath>
#include <limits>

using namespace vellumar;

namespace {

constexpr double Infinity = std::numeric_limits<double>::infinity();
constexpr double Largest = std::numeric_limits<double>::max();

// What numberToText may put on the screen: a plain or E-notation number, or the overflow text.
bool looksLikeANumberText(const QString& text) {
    if (text == u"溢出" || text == u"-溢出")
        return true;
    for (const QChar c : text)
        if (!c.isDigit() && c != u'.' && c != u'-' && c != u'E' && c != u'+')
            return false;
    return !text.isEmpty();
}

} // namespace

class TestConversions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void textToNumber_data();
    void textToNumber();
    void numberToText_data();
    void numberToText();
    void readsBackExactly_data();
    void readsBackExactly();
    void everyDoubleReadsBack();
    void decimalArithmetic_data();
    void decimalArithmetic();
    void decimalSumOfManyRows();
    void dateTimeText();
};

// A second run of this test under a comma-decimal locale is meaningless unless it is active.
void TestConversions::initTestCase() {
    const QString problem = checkExpectedLocale();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void TestConversions::textToNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("empty") << QString() << 0.0;
    QTest::newRow("integer") << QStringLiteral("12") << 12.0;
    QTest::newRow("decimal") << QStringLiteral("2.5") << 2.5;
    QTest::newRow("negative") << QStringLiteral("-3.75") << -3.75;
    QTest::newRow("plus sign") << QStringLiteral("+4") << 4.0;
    QTest::newRow("spaces around") << QStringLiteral("  7.5  ") << 7.5;
    QTest::newRow("ideographic space") << QStringLiteral("\u30008") << 8.0;
    QTest::newRow("unit after number") << QStringLiteral("3.5kg") << 3.5;
    QTest::newRow("chinese unit after") << QStringLiteral("12元") << 12.0;
    QTest::newRow("text first") << QStringLiteral("abc12") << 0.0;
    QTest::newRow("only sign") << QStringLiteral("-") << 0.0;
    QTest::newRow("only point") << QStringLiteral(".") << 0.0;
    QTest::newRow("leading point") << QStringLiteral(".5") << 0.5;
    QTest::newRow("trailing point") << QStringLiteral("5.") << 5.0;
    QTest::newRow("second point stops") << QStringLiteral("1.2.3") << 1.2;
    QTest::newRow("comma stops") << QStringLiteral("1,5") << 1.0;
    QTest::newRow("exponent") << QStringLiteral("2e3") << 2000.0;
    QTest::newRow("capital exponent with sign") << QStringLiteral("2.5E+2") << 250.0;
    QTest::newRow("dangling exponent") << QStringLiteral("2e") << 2.0;
    QTest::newRow("exponent sign without digits") << QStringLiteral("2e-x") << 2.0;
    QTest::newRow("full-width digits") << QStringLiteral("１２．５") << 12.5;
    QTest::newRow("full-width minus") << QStringLiteral("－３") << -3.0;
    QTest::newRow("mixed widths") << QStringLiteral("1２.5") << 12.5;
    QTest::newRow("negative zero reads as zero") << QStringLiteral("-0") << 0.0;
    QTest::newRow("space inside stops") << QStringLiteral("1 000") << 1.0;
    QTest::newRow("leading zeros") << QStringLiteral("007.50") << 7.5;
    QTest::newRow("largest double") << QStringLiteral("1.7976931348623157E+308") << Largest;
    QTest::newRow("smallest double")
        << QStringLiteral("5E-324") << std::numeric_limits<double>::denorm_min();
    // Beyond the range: too large is infinity, never 0; too small is the nearest value, 0.
    QTest::newRow("overflow") << QStringLiteral("1e999") << Infinity;
    QTest::newRow("negative overflow") << QStringLiteral("-1e999") << -Infinity;
    QTest::newRow("just past the largest") << QStringLiteral("1.7976931348623159e308") << Infinity;
    QTest::newRow("overflow by many digits") << QStringLiteral("1").repeated(400) << Infinity;
    QTest::newRow("overflow with a huge exponent")
        << QStringLiteral("0.001e99999999999999999999") << Infinity;
    QTest::newRow("underflow") << QStringLiteral("1e-400") << 0.0;
    QTest::newRow("negative underflow") << QStringLiteral("-1e-400") << 0.0;
    QTest::newRow("underflow with a huge exponent")
        << QStringLiteral("123e-99999999999999999999") << 0.0;
    QTest::newRow("underflow by leading zeros")
        << QStringLiteral("0.") + QString(400, u'0') + QStringLiteral("1") << 0.0;
    QTest::newRow("zero with a huge exponent") << QStringLiteral("0e99999") << 0.0;
    // The program's own overflow text reads back as what it stands for.
    QTest::newRow("overflow text") << QStringLiteral("溢出") << Infinity;
    QTest::newRow("negative overflow text") << QStringLiteral("-溢出") << -Infinity;
    QTest::newRow("overflow text with blanks and unit") << QStringLiteral(" 溢出元 ") << Infinity;
    QTest::newRow("overflow text, full-width minus") << QStringLiteral("－溢出") << -Infinity;
    QTest::newRow("half the overflow text") << QStringLiteral("溢") << 0.0;
    QTest::newRow("overflow text after a number") << QStringLiteral("3溢出") << 3.0;
}

void TestConversions::textToNumber() {
    QFETCH(QString, text);
    QFETCH(double, expected);
    const double value = vellumar::textToNumber(text);
    QCOMPARE(value, expected);
    QVERIFY2(!std::signbit(value) || value != 0.0, "never a negative zero");
}

void TestConversions::numberToText_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("zero") << 0.0 << QStringLiteral("0");
    QTest::newRow("negative zero") << -0.0 << QStringLiteral("0");
    QTest::newRow("3 x 2.5") << 3 * 2.5 << QStringLiteral("7.5");
    QTest::newRow("10 + 20.5") << 10 + 20.5 << QStringLiteral("30.5");
    QTest::newRow("integer") << 42.0 << QStringLiteral("42");
    QTest::newRow("negative") << -12.25 << QStringLiteral("-12.25");
    QTest::newRow("0.7 x 3 change") << 100 - 0.7 * 3 << QStringLiteral("97.9");
    QTest::newRow("one tenth") << 0.1 << QStringLiteral("0.1");
    // Sums that are not the decimal they look like keep every digit that tells them apart.
    QTest::newRow("0.1 + 0.2") << 0.1 + 0.2 << QStringLiteral("0.30000000000000004");
    QTest::newRow("1.1 x 3") << 1.1 * 3 << QStringLiteral("3.3000000000000003");
    QTest::newRow("two thirds") << 2.0 / 3.0 << QStringLiteral("0.6666666666666666");
    QTest::newRow("tiny rounding below zero")
        << 0.1 + 0.2 - 0.3 << QStringLiteral("5.551115123125783E-17");
    QTest::newRow("small") << 0.00012 << QStringLiteral("0.00012");
    QTest::newRow("thousands") << 123456.789 << QStringLiteral("123456.789");
    QTest::newRow("fifteen digits") << 123456789012345.0 << QStringLiteral("123456789012345");
    QTest::newRow("just below 1e15") << 999999999999999.0 << QStringLiteral("999999999999999");
    QTest::newRow("seventeen digits below 1e15")
        << 123456789012345.67 << QStringLiteral("123456789012345.67");
    QTest::newRow("1e15") << 1e15 << QStringLiteral("1E+15");
    QTest::newRow("negative 1e20") << -1e20 << QStringLiteral("-1E+20");
    QTest::newRow("1e-15 is still plain") << 1e-15 << QStringLiteral("0.000000000000001");
    QTest::newRow("below 1e-15") << 9.5e-16 << QStringLiteral("9.5E-16");
    QTest::newRow("rounding carries") << 0.99999999999999999 << QStringLiteral("1");
    QTest::newRow("largest") << Largest << QStringLiteral("1.7976931348623157E+308");
    QTest::newRow("negative largest") << -Largest << QStringLiteral("-1.7976931348623157E+308");
    QTest::newRow("smallest") << std::numeric_limits<double>::denorm_min()
                              << QStringLiteral("5E-324");
    QTest::newRow("infinity") << Infinity << QStringLiteral("溢出");
    QTest::newRow("negative infinity") << -Infinity << QStringLiteral("-溢出");
    QTest::newRow("infinity minus infinity")
        << std::numeric_limits<double>::quiet_NaN() << QStringLiteral("溢出");
}

void TestConversions::numberToText() {
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(vellumar::numberToText(value), expected);
}

// Totals written by the record dialogs are read back and summed by the totals dialog; the
// edges of the range and of the plain notation are where a rounding would show.
void TestConversions::readsBackExactly_data() {
    QTest::addColumn<double>("value");
    QTest::newRow("7.5") << 7.5;
    QTest::newRow("one third") << 1.0 / 3.0;
    QTest::newRow("negative cents") << -1234.56;
    QTest::newRow("large") << 987654321.25;
    QTest::newRow("tiny") << 1e-20;
    QTest::newRow("largest") << Largest;
    QTest::newRow("negative largest") << -Largest;
    QTest::newRow("smallest normal") << std::numeric_limits<double>::min();
    QTest::newRow("smallest") << std::numeric_limits<double>::denorm_min();
    QTest::newRow("just below 1e15") << std::nextafter(1e15, 0.0);
    QTest::newRow("just above 1e15") << std::nextafter(1e15, Infinity);
    QTest::newRow("just below 1e-15") << std::nextafter(1e-15, 0.0);
    QTest::newRow("just above 1e-15") << std::nextafter(1e-15, 1.0);
    QTest::newRow("beyond the exact integers") << 9007199254740994.0;
}

void TestConversions::readsBackExactly() {
    QFETCH(double, value);
    const QString text = vellumar::numberToText(value);
    QCOMPARE(vellumar::textToNumber(text), value);
    QCOMPARE(vellumar::numberToText(vellumar::textToNumber(text)), text);
}

// Any bit pattern, and figures of the counter (prices in cents times quantities in quarters):
// a finite double reads back to itself, anything else to an overflow that reads back as
// infinity; the text never holds anything but the characters of a number.
void TestConversions::everyDoubleReadsBack() {
    QRandomGenerator64 random(20261209);
    for (int round = 0; round < 200000; ++round) {
        const double value = round % 2
                                 ? std::bit_cast<double>(random.generate64())
                                 : random.bounded(10'000'000) / 100.0 * (random.bounded(400) / 4.0);
        const QString text = vellumar::numberToText(value);
        QVERIFY2(looksLikeANumberText(text), qPrintable(text));
        const double back = vellumar::textToNumber(text);
        if (std::isfinite(value)) {
            if (back != value)
                QFAIL(qPrintable(QStringLiteral("%1 reads back as %2")
                                     .arg(value, 0, 'g', 17)
                                     .arg(back, 0, 'g', 17)));
        } else {
            QVERIFY2(std::isinf(back), qPrintable(text));
        }
    }
}

void TestConversions::decimalArithmetic_data() {
    QTest::addColumn<QString>("left");
    QTest::addColumn<QChar>("operation");
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("result");
    QTest::addColumn<bool>("exact");
    const auto row = [](const char* name, const char16_t* a, char16_t op, const char16_t* b,
                        const char16_t* result, bool exact = true) {
        QTest::newRow(name) << QString::fromUtf16(a) << QChar(op) << QString::fromUtf16(b)
                            << QString::fromUtf16(result) << exact;
    };
    // Where double arithmetic shows the binary rounding of its parts, decimal shows the digits.
    row("3 x 0.1", u"3", u'*', u"0.1", u"0.3");
    row("3 x 1.1", u"3", u'*', u"1.1", u"3.3");
    row("3 x 2.35", u"3", u'*', u"2.35", u"7.05");
    row("0.1 + 0.2", u"0.1", u'+', u"0.2", u"0.3");
    row("change from 100", u"100", u'-', u"30.3", u"69.7");
    row("short payment", u"20", u'-', u"30.25", u"-10.25");
    row("negative minus positive", u"-0.1", u'-', u"0.2", u"-0.3");
    row("to zero, not minus zero", u"0.3", u'-', u"0.30", u"0");
    row("full width and units", u"２.５kg", u'*', u"４元", u"10");
    row("empty times anything", u"", u'*', u"5", u"0");
    row("no number at all", u"abc", u'+', u"12元", u"12");
    row("exponents", u"1.5e3", u'*', u"2e-2", u"30");
    row("far apart", u"1e20", u'+', u"1", u"1E+20");
    row("a digit past double precision", u"0.1", u'+', u"0.00000000000000000001",
        u"0.10000000000000000001" /* read back below */);
    // Past what the exact arithmetic holds, double precision takes over; overflow stays one.
    row("forty digits", u"1234567890123456789012345678901234567890", u'*', u"1",
        u"1.2345678901234568E+39", false);
    row("product past 38 digits", u"99999999999999999999", u'*', u"99999999999999999999", u"1E+40",
        false);
    row("overflow", u"1e308", u'*', u"10", u"溢出");
    row("overflow text", u"溢出", u'-', u"5", u"溢出", false);
    row("underflow", u"1e-300", u'*', u"1e-300", u"0");
}

void TestConversions::decimalArithmetic() {
    QFETCH(QString, left);
    QFETCH(QChar, operation);
    QFETCH(QString, right);
    QFETCH(QString, result);
    QFETCH(bool, exact);
    const DecimalNumber a = DecimalNumber::fromText(left);
    const DecimalNumber b = DecimalNumber::fromText(right);
    const DecimalNumber answer = operation == u'*'   ? a.times(b)
                                 : operation == u'+' ? a.plus(b)
                                                     : a.minus(b);
    QCOMPARE(answer.isExact(), exact);
    // The answer is the double nearest to the exact result, which that result's text reads as.
    QCOMPARE(answer.toDouble(), vellumar::textToNumber(result));
    if (!result.contains(u"0000000000000000"))
        QCOMPARE(vellumar::numberToText(answer.toDouble()), result);
}

// A ledger of a million totals of 0.1 sums to 100000, not to 100000.00000133288.
void TestConversions::decimalSumOfManyRows() {
    DecimalNumber sum;
    double plain = 0;
    for (int row = 0; row < 1'000'000; ++row) {
        sum = sum.plus(DecimalNumber::fromText(u"0.1"));
        plain += 0.1;
    }
    QVERIFY(sum.isExact());
    QCOMPARE(vellumar::numberToText(sum.toDouble()), QStringLiteral("100000"));
    QVERIFY(plain != 100000.0); // what the decimal sum is there for
}

void TestConversions::dateTimeText() {
    const QDateTime moment(QDate(2026, 3, 7), QTime(8, 5, 9));
    QCOMPARE(vellumar::dateTimeToText(moment), QStringLiteral("2026-03-07 08:05:09"));
}

QTEST_GUILESS_MAIN(TestConversions)
#include "test_conversions.moc"
