#include "host/conversions.h"

#include <QTest>

#include <limits>

using namespace vellumar;

class TestConversions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void textToNumber_data();
    void textToNumber();
    void numberToText_data();
    void numberToText();
    void totalsReadBackExactly_data();
    void totalsReadBackExactly();
    void dateTimeText();
};

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
    QTest::newRow("dangling exponent") << QStringLiteral("2e") << 2.0;
    QTest::newRow("exponent sign without digits") << QStringLiteral("2e-x") << 2.0;
    QTest::newRow("full-width digits") << QStringLiteral("１２．５") << 12.5;
    QTest::newRow("full-width minus") << QStringLiteral("－３") << -3.0;
    QTest::newRow("mixed widths") << QStringLiteral("1２.5") << 12.5;
    QTest::newRow("negative zero reads as zero") << QStringLiteral("-0") << 0.0;
    QTest::newRow("overflow is not a number") << QStringLiteral("1e999") << 0.0;
    QTest::newRow("space inside stops") << QStringLiteral("1 000") << 1.0;
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
    QTest::newRow("0.1 + 0.2") << 0.1 + 0.2 << QStringLiteral("0.3");
    QTest::newRow("10 + 20.5") << 10 + 20.5 << QStringLiteral("30.5");
    QTest::newRow("integer") << 42.0 << QStringLiteral("42");
    QTest::newRow("negative") << -12.25 << QStringLiteral("-12.25");
    QTest::newRow("1.1 x 3") << 1.1 * 3 << QStringLiteral("3.3");
    QTest::newRow("0.7 x 3 change") << 100 - 0.7 * 3 << QStringLiteral("97.9");
    QTest::newRow("tiny rounding below zero")
        << 0.1 + 0.2 - 0.3 << QStringLiteral("5.55111512312578E-17");
    QTest::newRow("small") << 0.00012 << QStringLiteral("0.00012");
    QTest::newRow("thousands") << 123456.789 << QStringLiteral("123456.789");
    QTest::newRow("fifteen digits") << 123456789012345.0 << QStringLiteral("123456789012345");
    QTest::newRow("just below 1e15") << 999999999999999.0 << QStringLiteral("999999999999999");
    QTest::newRow("1e15") << 1e15 << QStringLiteral("1E+15");
    QTest::newRow("rounded to 15 digits") << 2.0 / 3.0 << QStringLiteral("0.666666666666667");
    QTest::newRow("rounding carries") << 0.99999999999999999 << QStringLiteral("1");
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << QStringLiteral("溢出");
}

void TestConversions::numberToText() {
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(vellumar::numberToText(value), expected);
}

// A total written by the record dialogs is summed later by reading it back.
void TestConversions::totalsReadBackExactly_data() {
    QTest::addColumn<double>("value");
    QTest::newRow("7.5") << 7.5;
    QTest::newRow("one third") << 1.0 / 3.0;
    QTest::newRow("negative cents") << -1234.56;
    QTest::newRow("large") << 987654321.25;
    QTest::newRow("tiny") << 1e-20;
}

void TestConversions::totalsReadBackExactly() {
    QFETCH(double, value);
    const QString text = vellumar::numberToText(value);
    QCOMPARE(vellumar::numberToText(vellumar::textToNumber(text)), text);
    QVERIFY(qFuzzyCompare(vellumar::textToNumber(text), value));
}

void TestConversions::dateTimeText() {
    const QDateTime moment(QDate(2026, 3, 7), QTime(8, 5, 9));
    QCOMPARE(vellumar::dateTimeToText(moment), QStringLiteral("2026-03-07 08:05:09"));
}

QTEST_GUILESS_MAIN(TestConversions)
#include "test_conversions.moc"
