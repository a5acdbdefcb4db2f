#include "storage/usernames.h"

#include <QTemporaryDir>
#include <QTest>

using namespace vellumar;

class TestUserNames : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void safeNames_data();
    void safeNames();
    void ledgerFileNameLength_data();
    void ledgerFileNameLength();
    void folderTellsItsLimit();
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

void TestUserNames::ledgerFileNameLength_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("limit");
    QTest::addColumn<bool>("fits");
    // The limit counts the bytes of "name.z" as the file system stores them (UTF-8 here).
    QTest::newRow("Latin at the limit") << QString(8, u'a') << 10 << true;
    QTest::newRow("Latin one past") << QString(9, u'a') << 10 << false;
    QTest::newRow("Chinese at the limit") << QString(3, QChar(u'账')) << 11 << true;
    QTest::newRow("Chinese one byte past") << QString(3, QChar(u'账')) << 10 << false;
    QTest::newRow("a character outside the basic plane takes four")
        << QStringLiteral("𠀀") << 6 << true;
    QTest::newRow("four bytes, one short") << QStringLiteral("𠀀") << 5 << false;
    QTest::newRow("empty name is the suffix alone") << QString() << 2 << true;
}

void TestUserNames::ledgerFileNameLength() {
    QFETCH(QString, name);
    QFETCH(int, limit);
    QFETCH(bool, fits);
    QCOMPARE(fitsLedgerFileName(name, limit), fits);
}

void TestUserNames::folderTellsItsLimit() {
    QTemporaryDir folder;
    QCOMPARE(fileNameLimit(folder.path()), 255);
    // A folder that cannot be asked gives the usual limit rather than none at all.
    QCOMPARE(fileNameLimit(folder.filePath(QStringLiteral("missing"))), 255);
}

QTEST_MAIN(TestUserNames)
#include "test_usernames.moc"
