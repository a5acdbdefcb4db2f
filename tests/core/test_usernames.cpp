#include "storage/usernames.h"

#include <QTest>

using namespace vellumar;

class TestUserNames : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void safeNames_data();
    void safeNames();
};

void TestUserNames::safeNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("safe");
    QTest::newRow("Chinese") << QStringLiteral("王五小卖部") << true;
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("spaces and punctuation") << QStringLiteral(" 张 三 (2)? * ") << true;
    QTest::newRow("dots inside") << QStringLiteral("a..b") << true;
    QTest::newRow("leading dot") << QStringLiteral(".hidden") << true;
    QTest::newRow("three dots") << QStringLiteral("...") << true;
    QTest::newRow("dot") << QStringLiteral(".") << false;
    QTest::newRow("dot dot") << QStringLiteral("..") << false;
    QTest::newRow("slash") << QStringLiteral("a/b") << false;
    QTest::newRow("parent folder") << QStringLiteral("../../source/liebiao") << false;
    QTest::newRow("backslash") << QStringLiteral("a\\b") << false;
    QTest::newRow("nul") << QString(QChar(0)) << false;
    QTest::newRow("tab") << QStringLiteral("a\tb") << false;
    QTest::newRow("line feed") << QStringLiteral("a\n") << false;
    QTest::newRow("delete") << QStringLiteral("a\u007f") << false;
    QTest::newRow("C1 control") << QStringLiteral("a\u0085") << false;
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << false;
    QTest::newRow("surrogate pair") << QStringLiteral("𠀀") << true;
}

void TestUserNames::safeNames() {
    QFETCH(QString, name);
    QFETCH(bool, safe);
    QCOMPARE(isSafeUserName(name), safe);
}

QTEST_MAIN(TestUserNames)
#include "test_usernames.moc"
