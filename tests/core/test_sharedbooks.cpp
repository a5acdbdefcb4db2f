// Shared books with several counters on one server: what two counters do at once, who has a
// ledger, saves that would write over another counter's work, notices, connections that end,
// and the tables the program makes.

#include "ledger/ledgerrecords.h"
#include "ledgersamples.h"
#include "sharedstore/pgconnection.h"
#include "sharedstore/sharedschema.h"
#include "storefixture.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

using namespace vellumar;
using namespace storefixture;
using namespace ledgersamples;

namespace {

// Ends a counter's connection on the server, as a broken network or a restarted server does,
// and waits until its server process is gone (and with it the locks it held).
void endConnection(testdatabase::FreshDatabase& database, SharedBooks& counter) {
    const int pid = counter.link().backendPid();
    QVERIFY(pid > 0);
    QCOMPARE(database.execute(QStringLiteral("SELECT pg_terminate_backend(%1, 5000)").arg(pid)),
             QString());
}

// Two counters on the books and the holder 张三, whose ledger the front counter has open.
struct TwoCounters {
    std::unique_ptr<SharedBooks> front;
    std::unique_ptr<SharedBooks> back;
    LedgerSheet frontSheet;
    std::unique_ptr<HolderBook> frontBook;

    explicit TwoCounters(testdatabase::FreshDatabase& database)
        : front(openCounter(database, u"前台"_qs)), back(openCounter(database, u"后台"_qs)) {
        must(holdersOf(*front).add(u"张三"_qs).status());
        frontBook = opened(*front, u"张三"_qs, frontSheet);
    }
};

QString savedRemark(BooksStore& store, const QString& holder) {
    LedgerSheet sheet;
    std::unique_ptr<HolderBook> book = opened(store, holder, sheet);
    return sheet.cell(1, LedgerSheet::Remark);
}

} // namespace

class TestSharedBooks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sameNamesFromTwoCountersAtOnce();
    void renameOntoANameJustTaken();
    void changeOfAHolderGoneElsewhere_data();
    void changeOfAHolderGoneElsewhere();
    void otherCountersSeeChangesWithinASecond();
    void secondCounterGetsTheLedgerReadOnly();
    void leftoverEditorIsTakenOver();
    void saveRefusedWhenAnotherCounterSavedMeanwhile();
    void lockLostWhileAwayMakesTheLedgerReadOnly();
    void lockTakenAgainAfterTheConnectionCameBack();
    void openLedgerKeepsItsHolder();
    void workGoesOnAfterTheConnectionEnded();
    void cellsTheServerCannotKeep_data();
    void cellsTheServerCannotKeep();
    void serverKeepsTheTextsThemselves();
    void aSaveWritesOnlyWhatChanged();
    void countersTakingTurnsKeepEveryRecord();
    void schemaUpgradeIsOneTransaction();
    void newerSchemaIsRefused();
    void databaseMustBeUtf8();
    void unreachableServerIsNamed();
};

void TestSharedBooks::sameNamesFromTwoCountersAtOnce() {
    FRESH_DATABASE(database);
    constexpr int Names = 40;
    // Each counter in a thread of its own adds the same names; the server decides.
    QList<QStringList> answers(2);
    QList<QThread*> threads;
    for (int counter = 0; counter < 2; ++counter)
        threads.append(QThread::create([&, counter] {
            std::unique_ptr<SharedBooks> books = valueOf(SharedBooks::open(
                database.connection(), counterNamed(QStringLiteral("柜台%1").arg(counter))));
            HolderList& list = holdersOf(*books);
            for (int name = 0; name < Names; ++name) {
                const UserChange added = list.add(QStringLiteral("客户%1").arg(name));
                answers[counter].append(added ? QStringLiteral("ok") : added.status().message());
            }
        }));
    for (QThread* thread : threads)
        thread->start();
    for (QThread* thread : threads) {
        QVERIFY(thread->wait(60000));
        delete thread;
    }
    for (int name = 0; name < Names; ++name) {
        const QStringList both = {answers[0].at(name), answers[1].at(name)};
        QVERIFY2(both.count(u"ok"_qs) == 1 && both.count(u"此用户已存在！"_qs) == 1,
                 qPrintable(both.join(u", ")));
    }
    std::unique_ptr<SharedBooks> reader = openCounter(database, u"查看"_qs);
    QCOMPARE(holdersOf(*reader).count(), Names);
}

void TestSharedBooks::renameOntoANameJustTaken() {
    FRESH_DATABASE(database);
    std::unique_ptr<SharedBooks> front = openCounter(database, u"前台"_qs);
    std::unique_ptr<SharedBooks> back = openCounter(database, u"后台"_qs);
    QVERIFY(holdersOf(*front).add(u"张三"_qs));
    HolderList& backList = holdersOf(*back);
    // The front counter takes a name before the back counter has heard of it.
    QVERIFY(holdersOf(*front).add(u"李四"_qs));
    const UserChange renamed = backList.rename(0, u"李四"_qs);
    QCOMPARE(renamed.refusal(), UserChange::Refusal::NameInUse);
    QCOMPARE(renamed.status().message(), u"此用户已存在！"_qs);
    QCOMPARE(backList.users(), (QStringList{u"张三"_qs, u"李四"_qs}));
}

void TestSharedBooks::changeOfAHolderGoneElsewhere_data() {
    QTest::addColumn<QString>("change");
    QTest::newRow("rename") << u"rename"_qs;
    QTest::newRow("remove") << u"remove"_qs;
}

void TestSharedBooks::changeOfAHolderGoneElsewhere() {
    QFETCH(QString, change);
    FRESH_DATABASE(database);
    std::unique_ptr<SharedBooks> front = openCounter(database, u"前台"_qs);
    std::unique_ptr<SharedBooks> back = openCounter(database, u"后台"_qs);
    QVERIFY(holdersOf(*front).add(u"张三"_qs));
    QVERIFY(holdersOf(*front).add(u"李四"_qs));
    HolderList& backList = holdersOf(*back);
    QVERIFY(holdersOf(*front).remove(0));
    const UserChange refused =
        change == u"rename" ? backList.rename(0, u"王五"_qs) : backList.remove(0);
    QCOMPARE(refused.refusal(), UserChange::Refusal::Failed);
    QVERIFY2(refused.status().message().contains(u"张三") &&
                 refused.status().message().contains(u"别的柜台"),
             qPrintable(refused.status().message()));
    QCOMPARE(backList.users(), QStringList{u"李四"_qs});
    QCOMPARE(holdersOf(*openCounter(database, u"查看"_qs)).users(), QStringList{u"李四"_qs});
}

void TestSharedBooks::otherCountersSeeChangesWithinASecond() {
    FRESH_DATABASE(database);
    std::unique_ptr<SharedBooks> front = openCounter(database, u"前台"_qs);
    std::unique_ptr<SharedBooks> back = openCounter(database, u"后台"_qs);
    HolderList& backList = holdersOf(*back);
    QSignalSpy reloaded(&backList, &HolderList::usersReloaded);
    QVERIFY(holdersOf(*front).add(u"张三"_qs));
    QTRY_COMPARE_WITH_TIMEOUT(backList.users(), QStringList{u"张三"_qs}, 1000);
    QVERIFY(holdersOf(*front).rename(0, u"李四"_qs));
    QTRY_COMPARE_WITH_TIMEOUT(backList.users(), QStringList{u"李四"_qs}, 1000);
    QVERIFY(holdersOf(*front).remove(0));
    QTRY_COMPARE_WITH_TIMEOUT(backList.users(), QStringList(), 1000);
    QCOMPARE(reloaded.size(), 3);
}

void TestSharedBooks::secondCounterGetsTheLedgerReadOnly() {
    FRESH_DATABASE(database);
    TwoCounters counters(database);
    SharedBooks& back = *counters.back;
    LedgerSheet& frontSheet = counters.frontSheet;
    std::unique_ptr<HolderBook>& frontBook = counters.frontBook;
    QCOMPARE(frontBook->access(), HolderBook::Access::Editing);

    LedgerSheet backSheet;
    std::unique_ptr<HolderBook> backBook = opened(back, u"张三"_qs, backSheet);
    QCOMPARE(backBook->access(), HolderBook::Access::ReadOnly);
    QVERIFY(backBook->editor());
    QCOMPARE(backBook->editor()->counter, u"前台"_qs);
    QCOMPARE(backBook->editor()->host, u"host-前台"_qs);
    QCOMPARE(backBook->editor()->osUser, u"user-前台"_qs);
    QVERIFY(backBook->editor()->since.isValid());
    const Status refused = backBook->save(backSheet, QDateTime::currentDateTime());
    QVERIFY(!refused.ok());
    QVERIFY2(refused.message().contains(u"柜台“前台”"), qPrintable(refused.message()));

    // The read-only counter hears of saves and of the ledger becoming free.
    QSignalSpy changed(backBook.get(), &HolderBook::changedElsewhere);
    frontSheet.setCell(1, LedgerSheet::Serial, u"1"_qs);
    must(frontBook->save(frontSheet, QDateTime::currentDateTime()));
    QTRY_COMPARE_WITH_TIMEOUT(changed.size(), 1, 1000);
    frontBook->close();
    QTRY_COMPARE_WITH_TIMEOUT(changed.size(), 2, 1000);
    LedgerSheet again;
    std::unique_ptr<HolderBook> nowFree = opened(back, u"张三"_qs, again);
    QCOMPARE(nowFree->access(), HolderBook::Access::Editing);
    QCOMPARE(again.cell(1, LedgerSheet::Serial), u"1"_qs);
}

void TestSharedBooks::leftoverEditorIsTakenOver() {
    FRESH_DATABASE(database);
    TwoCounters counters(database);
    SharedBooks& front = *counters.front;
    SharedBooks& back = *counters.back;
    std::unique_ptr<HolderBook>& frontBook = counters.frontBook;
    QCOMPARE(frontBook->access(), HolderBook::Access::Editing);
    // The front counter's connection ends (its computer crashed): its note stays behind.
    endConnection(database, front);
    LedgerSheet backSheet;
    std::unique_ptr<HolderBook> backBook = opened(back, u"张三"_qs, backSheet);
    QCOMPARE(backBook->access(), HolderBook::Access::Editing);
    QCOMPARE(database.query(u"SELECT string_agg(counter, ',') FROM ledger_editors"_qs), u"后台"_qs);
}

void TestSharedBooks::saveRefusedWhenAnotherCounterSavedMeanwhile() {
    FRESH_DATABASE(database);
    TwoCounters counters(database);
    SharedBooks& front = *counters.front;
    SharedBooks& back = *counters.back;
    std::unique_ptr<HolderBook>& frontBook = counters.frontBook;
    endConnection(database, front);
    {
        // Meanwhile the back counter opens the ledger, saves and closes it.
        const std::unique_ptr<LedgerSheet> theirs = sheetOf(5, record(1, u"后台的"_qs, u"后台"_qs));
        LedgerSheet backSheet;
        std::unique_ptr<HolderBook> backBook = opened(back, u"张三"_qs, backSheet);
        QCOMPARE(backBook->access(), HolderBook::Access::Editing);
        must(backBook->save(*theirs, QDateTime::currentDateTime()));
    }
    // The front counter gets its connection and the free lock back, but not the last word.
    const std::unique_ptr<LedgerSheet> ours = sheetOf(5, record(1, u"前台的"_qs, u"前台"_qs));
    const Status refused = frontBook->save(*ours, QDateTime::currentDateTime());
    QVERIFY(!refused.ok());
    QVERIFY2(refused.message().contains(u"柜台“后台”") && refused.message().contains(u"副本"),
             qPrintable(refused.message()));
    QCOMPARE(savedRemark(*openCounter(database, u"查看"_qs), u"张三"_qs), u"后台"_qs);
}

void TestSharedBooks::lockLostWhileAwayMakesTheLedgerReadOnly() {
    FRESH_DATABASE(database);
    TwoCounters counters(database);
    SharedBooks& front = *counters.front;
    SharedBooks& back = *counters.back;
    LedgerSheet& frontSheet = counters.frontSheet;
    std::unique_ptr<HolderBook>& frontBook = counters.frontBook;
    QSignalSpy accessChanged(frontBook.get(), &HolderBook::accessChanged);
    endConnection(database, front);
    LedgerSheet backSheet;
    std::unique_ptr<HolderBook> backBook = opened(back, u"张三"_qs, backSheet);
    QCOMPARE(backBook->access(), HolderBook::Access::Editing);

    frontSheet.setCell(1, LedgerSheet::Remark, u"前台打的字"_qs);
    const Status refused = frontBook->save(frontSheet, QDateTime::currentDateTime());
    QVERIFY(!refused.ok());
    QVERIFY2(refused.message().contains(u"连接中断期间") &&
                 refused.message().contains(u"柜台“后台”"),
             qPrintable(refused.message()));
    QCOMPARE(frontBook->access(), HolderBook::Access::ReadOnly);
    QCOMPARE(accessChanged.size(), 1);
    // What was typed is still there to be saved elsewhere.
    QCOMPARE(frontSheet.cell(1, LedgerSheet::Remark), u"前台打的字"_qs);
}

void TestSharedBooks::lockTakenAgainAfterTheConnectionCameBack() {
    FRESH_DATABASE(database);
    TwoCounters counters(database);
    SharedBooks& front = *counters.front;
    SharedBooks& back = *counters.back;
    std::unique_ptr<HolderBook>& frontBook = counters.frontBook;
    endConnection(database, front);
    const std::unique_ptr<LedgerSheet> ours = sheetOf(5, record(1, u"前台的"_qs, u"前台"_qs));
    must(frontBook->save(*ours, QDateTime::currentDateTime()));
    QCOMPARE(frontBook->access(), HolderBook::Access::Editing);
    LedgerSheet backSheet;
    std::unique_ptr<HolderBook> backBook = opened(back, u"张三"_qs, backSheet);
    QCOMPARE(backBook->access(), HolderBook::Access::ReadOnly);
    QCOMPARE(backSheet.cell(1, LedgerSheet::Remark), u"前台"_qs);
}

void TestSharedBooks::openLedgerKeepsItsHolder() {
    FRESH_DATABASE(database);
    TwoCounters counters(database);
    SharedBooks& back = *counters.back;
    std::unique_ptr<HolderBook>& frontBook = counters.frontBook;
    HolderList& backList = holdersOf(back);
    // A holder whose ledger is open elsewhere is not deleted from under it …
    const UserChange removed = backList.remove(0);
    QCOMPARE(removed.refusal(), UserChange::Refusal::Failed);
    QVERIFY2(removed.status().message().contains(u"柜台“前台”"),
             qPrintable(removed.status().message()));
    // … but may get a new name: the open ledger belongs to the holder, whatever the name.
    QVERIFY(backList.rename(0, u"张三丰"_qs));
    const std::unique_ptr<LedgerSheet> ours = sheetOf(5, record(1, u"货"_qs, u"改名后保存"_qs));
    must(frontBook->save(*ours, QDateTime::currentDateTime()));
    frontBook->close();
    QCOMPARE(savedRemark(back, u"张三丰"_qs), u"改名后保存"_qs);
    QVERIFY(backList.remove(0));
}

void TestSharedBooks::workGoesOnAfterTheConnectionEnded() {
    FRESH_DATABASE(database);
    std::unique_ptr<SharedBooks> front = openCounter(database, u"前台"_qs);
    HolderList& list = holdersOf(*front);
    QVERIFY(list.add(u"张三"_qs));
    endConnection(database, *front);
    QVERIFY(list.add(u"李四"_qs));
    QCOMPARE(valueOf(front->passwordMatches(QString())), true);
    QCOMPARE(holdersOf(*openCounter(database, u"查看"_qs)).users(),
             (QStringList{u"张三"_qs, u"李四"_qs}));
}

void TestSharedBooks::cellsTheServerCannotKeep_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("said");
    QTest::newRow("NUL") << QString(QChar(u'a')) + QChar(0) + u"b" << u"空字符"_qs;
    QTest::newRow("half a surrogate pair") << QString(QChar(0xD83D)) + u"x" << u"残缺"_qs;
}

void TestSharedBooks::cellsTheServerCannotKeep() {
    QFETCH(QString, text);
    QFETCH(QString, said);
    FRESH_DATABASE(database);
    std::unique_ptr<SharedBooks> front = openCounter(database, u"前台"_qs);
    QVERIFY(holdersOf(*front).add(u"张三"_qs));
    LedgerSheet sheet;
    std::unique_ptr<HolderBook> book = opened(*front, u"张三"_qs, sheet);
    must(book->save(*sheetOf(5, record(1, u"货"_qs, u"原来的"_qs)), QDateTime::currentDateTime()));
    const std::unique_ptr<LedgerSheet> bad = sheetOf(5, record(1, u"货"_qs) + record(2, text));
    const Status refused = book->save(*bad, QDateTime::currentDateTime());
    QVERIFY(!refused.ok());
    QVERIFY2(refused.message().contains(said) && refused.message().contains(u"第 3 行"),
             qPrintable(refused.message()));
    book->close();
    QCOMPARE(savedRemark(*front, u"张三"_qs), u"原来的"_qs);
}

void TestSharedBooks::serverKeepsTheTextsThemselves() {
    FRESH_DATABASE(database);
    std::unique_ptr<SharedBooks> front = openCounter(database, u"前台"_qs);
    QVERIFY(holdersOf(*front).add(u"张三"_qs));
    LedgerSheet sheet;
    std::unique_ptr<HolderBook> book = opened(*front, u"张三"_qs, sheet);
    const QString remark = u"多行\r\n\"引号\",逗号\\反斜杠\t😀"_qs;
    must(book->save(*sheetOf(4, record(2, u"苹果"_qs, remark)), QDateTime::currentDateTime()));
    // Reports may read the rows with SQL: each cell is its own text there.
    QCOMPARE(database.query(u"SELECT remark FROM ledger_rows WHERE row_number = 2"_qs), remark);
    QCOMPARE(database.query(u"SELECT product FROM ledger_rows WHERE row_number = 2"_qs),
             u"苹果"_qs);
    QCOMPARE(database.query(u"SELECT ledger_rows FROM holders"_qs), u"4"_qs);
    // Rows without any text are not stored; the row count brings them back.
    QCOMPARE(database.query(u"SELECT count(*) FROM ledger_rows"_qs), u"2"_qs);
}

void TestSharedBooks::aSaveWritesOnlyWhatChanged() {
    FRESH_DATABASE(database);
    std::unique_ptr<SharedBooks> front = openCounter(database, u"前台"_qs);
    QVERIFY(holdersOf(*front).add(u"张三"_qs));
    LedgerSheet sheet;
    std::unique_ptr<HolderBook> book = opened(*front, u"张三"_qs, sheet);
    sheet.applyTitles();
    for (int row = 1; row <= 50; ++row)
        sheet.setCell(row, LedgerSheet::Serial, QString::number(row));
    must(book->save(sheet, QDateTime::currentDateTime()));
    // The transaction that wrote a row is its xmin: one more record, one more row written.
    const QString written =
        u"SELECT count(DISTINCT xmin::text) || '/' || count(*) FROM ledger_rows"_qs;
    QCOMPARE(database.query(written), u"1/51"_qs);
    sheet.setCell(51, LedgerSheet::Serial, u"51"_qs);
    must(book->save(sheet, QDateTime::currentDateTime()));
    QCOMPARE(database.query(written), u"2/52"_qs);
    QCOMPARE(database.query(u"SELECT count(*) FROM ledger_rows WHERE xmin::text = "
                            u"(SELECT xmin::text FROM ledger_rows WHERE row_number = 51)"_qs),
             u"1"_qs);
    // A row that lost its text leaves the table; the row count keeps its place.
    sheet.setCell(10, LedgerSheet::Serial, QString());
    must(book->save(sheet, QDateTime::currentDateTime()));
    QCOMPARE(database.query(u"SELECT count(*) FROM ledger_rows"_qs), u"51"_qs);
}

void TestSharedBooks::countersTakingTurnsKeepEveryRecord() {
    FRESH_DATABASE(database);
    std::unique_ptr<SharedBooks> counters[] = {openCounter(database, u"前台"_qs),
                                               openCounter(database, u"后台"_qs)};
    QVERIFY(holdersOf(*counters[0]).add(u"张三"_qs));
    // Each in turn opens the ledger, adds a record, saves and closes it, with a sheet of its
    // own that still holds what it read last time.
    LedgerSheet sheets[2];
    for (int turn = 0; turn < 6; ++turn) {
        LedgerSheet& sheet = sheets[turn % 2];
        std::unique_ptr<HolderBook> book = opened(*counters[turn % 2], u"张三"_qs, sheet);
        QCOMPARE(book->access(), HolderBook::Access::Editing);
        RecordFields fields;
        fields.product = QStringLiteral("第%1次").arg(turn);
        (void)valueOf(LedgerRecords::add(sheet, fields, u"2026-12-10"_qs));
        must(book->save(sheet, QDateTime::currentDateTime()));
    }
    LedgerSheet kept;
    std::unique_ptr<HolderBook> book = opened(*counters[0], u"张三"_qs, kept);
    for (int turn = 0; turn < 6; ++turn)
        QCOMPARE(kept.cell(turn + 1, LedgerSheet::Product), QStringLiteral("第%1次").arg(turn));
}

void TestSharedBooks::schemaUpgradeIsOneTransaction() {
    FRESH_DATABASE(database);
    {
        std::unique_ptr<PgConnection> connection =
            valueOf(PgConnection::connect(database.connection()));
        must(SharedSchema::prepare(*connection, 1));
        QCOMPARE(valueOf(SharedSchema::version(*connection)), 1);
    }
    QCOMPARE(database.execute(u"INSERT INTO holders (name, ledger_rows) VALUES ('老客户', 3);"
                              u"CREATE TABLE ledger_editors (x integer)"_qs),
             QString());
    // The second step cannot make its table: none of it stays, not even its other changes.
    const Result<std::unique_ptr<SharedBooks>> refused = SharedBooks::open(database.connection());
    QVERIFY(!refused.ok());
    QVERIFY2(refused.status().message().contains(u"版本 2"),
             qPrintable(refused.status().message()));
    QCOMPARE(database.query(u"SELECT version FROM schema_version"_qs), u"1"_qs);
    QCOMPARE(database.query(u"SELECT count(*) FROM information_schema.columns "
                            u"WHERE table_name = 'holders' AND column_name = 'saved_by'"_qs),
             u"0"_qs);
    // With the obstacle gone the upgrade goes through and keeps the books.
    QCOMPARE(database.execute(u"DROP TABLE ledger_editors"_qs), QString());
    std::unique_ptr<SharedBooks> books = valueOf(SharedBooks::open(database.connection()));
    QCOMPARE(holdersOf(*books).users(), QStringList{u"老客户"_qs});
    QCOMPARE(database.query(u"SELECT version FROM schema_version"_qs),
             QString::number(SharedSchema::CurrentVersion));
}

void TestSharedBooks::newerSchemaIsRefused() {
    FRESH_DATABASE(database);
    (void)valueOf(SharedBooks::open(database.connection()));
    QCOMPARE(database.execute(u"UPDATE schema_version SET version = 99"_qs), QString());
    const Result<std::unique_ptr<SharedBooks>> refused = SharedBooks::open(database.connection());
    QVERIFY(!refused.ok());
    QVERIFY2(refused.status().message().contains(u"更新版本") &&
                 refused.status().message().contains(u"99"),
             qPrintable(refused.status().message()));
    QCOMPARE(database.query(u"SELECT version FROM schema_version"_qs), u"99"_qs);
}

void TestSharedBooks::databaseMustBeUtf8() {
    REQUIRE_TEST_SERVER();
    testdatabase::FreshDatabase database("LATIN1");
    QVERIFY2(!database.connection().isEmpty(), qPrintable(database.why()));
    const Result<std::unique_ptr<SharedBooks>> refused = SharedBooks::open(database.connection());
    QVERIFY(!refused.ok());
    QVERIFY2(refused.status().message().contains(u"LATIN1") &&
                 refused.status().message().contains(u"UTF8"),
             qPrintable(refused.status().message()));
    QCOMPARE(database.query(u"SELECT to_regclass('holders') IS NULL"_qs), u"t"_qs);
}

void TestSharedBooks::unreachableServerIsNamed() {
    const Result<std::unique_ptr<SharedBooks>> refused =
        SharedBooks::open(u"host=/nonexistent/vellumar port=5999 dbname=账本 user=shop"_qs);
    QVERIFY(!refused.ok());
    const QString message = refused.status().message();
    QVERIFY2(message.contains(u"本机套接字目录 /nonexistent/vellumar") &&
                 message.contains(u"端口 5999") && message.contains(u"数据库“账本”") &&
                 message.contains(u"PostgreSQL 服务正在运行"),
             qPrintable(message));
    QVERIFY(!refused.status().detail().isEmpty());
}

QTEST_GUILESS_MAIN(TestSharedBooks)
#include "test_sharedbooks.moc"
