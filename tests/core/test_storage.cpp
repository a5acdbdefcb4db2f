#include "checks.h"
#include "storage/datapaths.h"
#include "storage/datastore.h"
#include "storage/passwordhash.h"
#include "storage/passwordstore.h"
#include "storage/recordtable.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace vellumar;

namespace {

QStringList firstFields(const RecordTable& table) {
    return valueOf(table.readColumn(1));
}

int count(const RecordTable& table) {
    return valueOf(table.recordCount());
}

QString field(const RecordTable& table, int record, int number) {
    return valueOf(table.readField(record, number));
}

RecordTable makeTable(const QString& path, const QStringList& names) {
    must(RecordTable::create(path));
    RecordTable table = valueOf(RecordTable::open(path));
    for (const QString& name : names)
        must(table.appendRecord({name}));
    return table;
}

QByteArray digest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestStorage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void freshInstallIsPrepared();
    void ledgerPathSpellingsNameOneFile();
    void recordsNumberFromOneInInsertionOrder();
    void deleteMovesLaterRecordsUp_data();
    void deleteMovesLaterRecordsUp();
    void deletingTheLastUserLeavesAnEmptyTable();
    void absentRecordsAndFieldsReadEmpty();
    void writeToMissingRecordFails();
    void twoViewsSeeEachOthersChanges();
    void changesSurviveReopening();
    void foreignFilesAreRefusedAndLeftUntouched_data();
    void foreignFilesAreRefusedAndLeftUntouched();
    void createNeverReplacesAFile();
    void killedWriterLeavesAConsistentTable();
    void passwordChecks_data();
    void passwordChecks();
    void passwordIsStoredHashed();
    void passwordStoreRestoresMissingRecord();
};

void TestStorage::freshInstallIsPrepared() {
    QTemporaryDir dir;
    const DataPaths paths(dir.path());
    QVERIFY(prepareDataDirectory(paths).ok());
    QVERIFY(QFileInfo(paths.ledgerDirectory()).isDir());
    QCOMPARE(QFileInfo(paths.ledgerDirectory()).fileName(), QStringLiteral("用户"));

    auto users = valueOf(RecordTable::open(paths.userTable()));
    auto passwords = valueOf(RecordTable::open(paths.passwordTable()));
    QCOMPARE(count(users), 0);
    QCOMPARE(count(passwords), 1);
    QVERIFY(valueOf(PasswordStore(passwords).matches(QString())));

    // A second start finds everything in place and changes nothing.
    must(users.appendRecord({QStringLiteral("张三")}));
    const QByteArray before = digest(paths.userTable());
    QVERIFY(prepareDataDirectory(paths).ok());
    QCOMPARE(digest(paths.userTable()), before);
}

void TestStorage::ledgerPathSpellingsNameOneFile() {
    const DataPaths paths(QStringLiteral("/opt/shop/"));
    QCOMPARE(paths.programDirectory(), QStringLiteral("/opt/shop"));
    const QString slash = paths.ledgerFile(DataPaths::LedgerDirSlash, QStringLiteral("李四"));
    const QString backslash =
        paths.ledgerFile(DataPaths::LedgerDirBackslash, QStringLiteral("李四"));
    QCOMPARE(slash, QStringLiteral("/opt/shop/source/用户/李四.z"));
    QCOMPARE(backslash, slash);
    QCOMPARE(paths.userTable(), QStringLiteral("/opt/shop/source/liebiao.edb"));
    QCOMPARE(paths.passwordTable(), QStringLiteral("/opt/shop/source/liebiao1.edb"));
    // The user name is taken as it stands: no trimming, no case change.
    QCOMPARE(paths.ledgerFile(DataPaths::LedgerDirSlash, QStringLiteral(" Ab ")),
             QStringLiteral("/opt/shop/source/用户/ Ab .z"));
}

void TestStorage::recordsNumberFromOneInInsertionOrder() {
    QTemporaryDir dir;
    RecordTable table =
        makeTable(dir.filePath(QStringLiteral("t.edb")),
                  {QStringLiteral("乙"), QStringLiteral("甲"), QStringLiteral("丙")});
    QCOMPARE(count(table), 3);
    QCOMPARE(firstFields(table),
             (QStringList{QStringLiteral("乙"), QStringLiteral("甲"), QStringLiteral("丙")}));
    QVERIFY(table.writeField(2, 3, QStringLiteral("third field")).ok());
    QCOMPARE(field(table, 2, 3), QStringLiteral("third field"));
    QCOMPARE(field(table, 2, 1), QStringLiteral("甲"));
}

void TestStorage::deleteMovesLaterRecordsUp_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("remaining");
    const QString a = QStringLiteral("a"), b = QStringLiteral("b"), c = QStringLiteral("c"),
                  d = QStringLiteral("d");
    QTest::newRow("first") << 1 << 1 << QStringList{b, c, d};
    QTest::newRow("middle") << 2 << 1 << QStringList{a, c, d};
    QTest::newRow("last") << 4 << 1 << QStringList{a, b, c};
    QTest::newRow("two in the middle") << 2 << 2 << QStringList{a, d};
    QTest::newRow("past the end") << 5 << 1 << QStringList{a, b, c, d};
}

void TestStorage::deleteMovesLaterRecordsUp() {
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(QStringList, remaining);
    QTemporaryDir dir;
    RecordTable table = makeTable(
        dir.filePath(QStringLiteral("t.edb")),
        {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")});
    QVERIFY(table.deleteRecords(first, count).ok());
    QCOMPARE(firstFields(table), remaining);
    // Appending after a delete still lands at the end.
    must(table.appendRecord({QStringLiteral("new")}));
    QCOMPARE(firstFields(table).last(), QStringLiteral("new"));
    QCOMPARE(firstFields(table).size(), remaining.size() + 1);
}

void TestStorage::deletingTheLastUserLeavesAnEmptyTable() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.edb"));
    {
        RecordTable table = makeTable(path, {QStringLiteral("only")});
        QVERIFY(table.deleteRecords(1, 1).ok());
    }
    auto table = valueOf(RecordTable::open(path));
    QCOMPARE(count(table), 0);
    must(table.appendRecord());
    QVERIFY(table.writeField(1, 1, QStringLiteral("again")).ok());
    QCOMPARE(firstFields(table), QStringList{QStringLiteral("again")});
}

void TestStorage::absentRecordsAndFieldsReadEmpty() {
    QTemporaryDir dir;
    RecordTable table = makeTable(dir.filePath(QStringLiteral("t.edb")), {QStringLiteral("x")});
    must(table.appendRecord());
    for (const auto& [record, number] : {std::pair(2, 1), {1, 2}, {0, 1}, {9, 1}}) {
        const Result<QString> read = table.readField(record, number);
        QVERIFY(read.ok());
        QCOMPARE(*read, QString());
    }
}

void TestStorage::writeToMissingRecordFails() {
    QTemporaryDir dir;
    RecordTable table = makeTable(dir.filePath(QStringLiteral("t.edb")), {});
    QVERIFY(!table.writeField(1, 1, QStringLiteral("x")).ok());
    QCOMPARE(count(table), 0);
}

void TestStorage::twoViewsSeeEachOthersChanges() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.edb"));
    RecordTable list = makeTable(path, {QStringLiteral("a")});
    RecordTable dialog = valueOf(RecordTable::open(path));

    must(dialog.appendRecord({QStringLiteral("b")}));
    QCOMPARE(firstFields(list), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));

    must(list.deleteRecords(1, 1));
    must(list.writeField(1, 1, QStringLiteral("B")));
    QCOMPARE(firstFields(dialog), QStringList{QStringLiteral("B")});
}

void TestStorage::changesSurviveReopening() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.edb"));
    const QString longName = QString(5000, QChar(u'账')) + QStringLiteral("\n\"quoted\"");
    {
        RecordTable table = makeTable(path, {QStringLiteral("one"), longName});
        must(table.deleteRecords(1, 1));
    }
    QCOMPARE(firstFields(valueOf(RecordTable::open(path))), QStringList{longName});
}

void TestStorage::foreignFilesAreRefusedAndLeftUntouched_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("text") << QByteArray("name\nalice\n");
    QTest::newRow("damaged sqlite header") << QByteArray("SQLite format 3\0garbage", 24);
    QTest::newRow("random bytes") << QByteArray(4096, '\xA5');
}

void TestStorage::foreignFilesAreRefusedAndLeftUntouched() {
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const DataPaths paths(dir.path());
    QVERIFY(QDir().mkpath(paths.sourceDirectory()));
    {
        QFile file(paths.userTable());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const Result<RecordTable> opened = RecordTable::open(paths.userTable());
    QVERIFY(!opened);
    QVERIFY2(opened.status().message().contains(paths.userTable()),
             qPrintable(opened.status().message()));

    const Status prepared = prepareDataDirectory(paths);
    QVERIFY(!prepared.ok());
    QVERIFY(prepared.message().contains(QStringLiteral("liebiao.edb")));
    QFile file(paths.userTable());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
}

void TestStorage::createNeverReplacesAFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.edb"));
    (void)makeTable(path, {QStringLiteral("kept")});
    QVERIFY(!RecordTable::create(path).ok());
    QCOMPARE(firstFields(valueOf(RecordTable::open(path))), QStringList{QStringLiteral("kept")});
}

// A writer killed at random moments: every time, the table opens and each record holds exactly
// the text it was appended with, never nothing and never a torn value.
void TestStorage::killedWriterLeavesAConsistentTable() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.edb"));
    (void)makeTable(path, {});
    for (int round = 0; round < 6; ++round) {
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            auto table = RecordTable::open(path);
            for (int i = 0; i < 100000 && table; ++i) {
                const int n = table->recordCount().ok() ? *table->recordCount() + 1 : 0;
                if (!table->appendRecord({QStringLiteral("record %1").arg(n)}))
                    break;
                if (n % 7 == 0 && !table->deleteRecords(n, 1))
                    break;
            }
            _exit(0);
        }
        usleep(static_cast<useconds_t>(20000 + round * 37000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        const Result<RecordTable> table = RecordTable::open(path);
        QVERIFY2(table, "the table must open after a crash");
        const Result<QStringList> values = table->readColumn(1);
        QVERIFY(values.ok());
        // Appending writes the record and its text in one transaction: never a nameless one.
        for (const QString& value : *values)
            QVERIFY2(value.startsWith(QStringLiteral("record ")), qPrintable(value));
    }
}

void TestStorage::passwordChecks_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("matches");
    QTest::newRow("no password, empty entry") << QString() << QString() << true;
    QTest::newRow("no password, typed text") << QString() << QStringLiteral("x") << false;
    QTest::newRow("right") << QStringLiteral("Shop88") << QStringLiteral("Shop88") << true;
    QTest::newRow("case differs") << QStringLiteral("Shop88") << QStringLiteral("shop88") << false;
    QTest::newRow("leading space")
        << QStringLiteral("Shop88") << QStringLiteral(" Shop88") << false;
    QTest::newRow("trailing space")
        << QStringLiteral("Shop88") << QStringLiteral("Shop88 ") << false;
    QTest::newRow("empty entry") << QStringLiteral("Shop88") << QString() << false;
    QTest::newRow("chinese") << QStringLiteral("掌柜密码") << QStringLiteral("掌柜密码") << true;
}

void TestStorage::passwordChecks() {
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, matches);
    // Through the hash, and as a table from before hashing would hold it (plain text).
    QCOMPARE(passwordMatches(hashPassword(stored).value(), typed), matches);
    QCOMPARE(passwordMatches(stored, typed), matches);
}

void TestStorage::passwordIsStoredHashed() {
    QTemporaryDir dir;
    RecordTable table = makeTable(dir.filePath(QStringLiteral("p.edb")), {QString()});
    PasswordStore store(table);
    QVERIFY(store.change(QStringLiteral("Secret 1")).ok());
    const QString stored = field(table, 1, 1);
    QVERIFY(!stored.contains(QStringLiteral("Secret")));
    QVERIFY(stored.startsWith(QStringLiteral("$argon2id$")));
    QVERIFY(valueOf(store.matches(QStringLiteral("Secret 1"))));
    QVERIFY(!valueOf(store.matches(QStringLiteral("Secret 1 "))));
    // Two hashes of one password differ: each has its own salt.
    QVERIFY(hashPassword(QStringLiteral("Secret 1")).value() != stored);

    QVERIFY(store.change(QString()).ok());
    QCOMPARE(field(table, 1, 1), QString());
    QVERIFY(valueOf(store.matches(QString())));
}

void TestStorage::passwordStoreRestoresMissingRecord() {
    QTemporaryDir dir;
    RecordTable table = makeTable(dir.filePath(QStringLiteral("p.edb")), {});
    PasswordStore store(table);
    QVERIFY(valueOf(store.matches(QString())));
    QVERIFY(store.change(QStringLiteral("abc")).ok());
    QCOMPARE(count(table), 1);
    QVERIFY(valueOf(store.matches(QStringLiteral("abc"))));
}

QTEST_GUILESS_MAIN(TestStorage)
#include "test_storage.moc"
