// The books through the one interface the windows use, the same cases against the local books
// and against shared books on the test server.

#include "books/bookslocation.h"
#include "ledger/ledgerlimits.h"
#include "ledger/ledgerrecords.h"
#include "ledgersamples.h"
#include "storefixture.h"

#include <QSignalSpy>
#include <QTest>

using namespace vellumar;
using namespace storefixture;
using namespace ledgersamples;

namespace {

// One change to the holders, as "add 甲", "rename 0 乙" or "remove 1", and what it answers:
// "ok", "in use", "invalid" or "failed".
QString apply(HolderList& holders, const QString& step) {
    const QStringList parts = step.split(u' ');
    const QString what = parts.value(0);
    UserChange change;
    if (what == u"add")
        change = holders.add(parts.mid(1).join(u' '));
    else if (what == u"rename")
        change = holders.rename(parts.value(1).toInt(), parts.mid(2).join(u' '));
    else if (what == u"remove")
        change = holders.remove(parts.value(1).toInt());
    else
        qFatal("unknown step %s", qPrintable(step));
    switch (change.refusal()) {
    case UserChange::Refusal::None:
        return QStringLiteral("ok");
    case UserChange::Refusal::NameInUse:
        return change.status().message() == u"此用户已存在！" ? QStringLiteral("in use")
                                                              : change.status().message();
    case UserChange::Refusal::InvalidName:
        return QStringLiteral("invalid");
    case UserChange::Refusal::Failed:
        return QStringLiteral("failed: ") + change.status().message();
    }
    return QString();
}

void addForBothStores(const char* name) {
    for (const Kind kind : {Kind::Local, Kind::Shared})
        QTest::addRow("%s: %s", kindName(kind), name) << kind;
}

} // namespace

class TestBooksStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void newBooksAreLikeAFirstStart_data();
    void newBooksAreLikeAFirstStart();
    void holderChanges_data();
    void holderChanges();
    void holderSignals_data();
    void holderSignals();
    void password_data();
    void password();
    void ledgerRoundTrip_data();
    void ledgerRoundTrip();
    void savesOneAfterAnother_data();
    void savesOneAfterAnother();
    void ledgerGoesWithItsHolder_data();
    void ledgerGoesWithItsHolder();
    void locationFromEnvironment_data();
    void locationFromEnvironment();
};

void TestBooksStore::newBooksAreLikeAFirstStart_data() {
    QTest::addColumn<Kind>("kind");
    addForBothStores("new");
}

void TestBooksStore::newBooksAreLikeAFirstStart() {
    BOOKS_OF_ROW(books);
    std::unique_ptr<BooksStore> store = books.open();
    QVERIFY(holdersOf(*store).users().isEmpty());
    QCOMPARE(valueOf(store->passwordMatches(QString())), true);
    QCOMPARE(valueOf(store->passwordMatches(QStringLiteral("1234"))), false);
    LedgerSheet sheet;
    std::unique_ptr<HolderBook> nobody = store->book(QStringLiteral("无此人"));
    // A ledger of nobody is never an empty ledger to be saved over.
    if (kind == Kind::Shared)
        QVERIFY(!nobody->load(sheet).ok());
}

void TestBooksStore::holderChanges_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QStringList>("holders");

    const struct {
        const char* name;
        QStringList steps;
        QStringList answers;
        QStringList holders;
    } cases[] = {
        {"added in order",
         {u"add 张三"_qs, u"add 李四"_qs, u"add 王五"_qs},
         {u"ok"_qs, u"ok"_qs, u"ok"_qs},
         {u"张三"_qs, u"李四"_qs, u"王五"_qs}},
        {"a name in use is refused, case counts",
         {u"add 张三"_qs, u"add 张三"_qs, u"add Anna"_qs, u"add anna"_qs},
         {u"ok"_qs, u"in use"_qs, u"ok"_qs, u"ok"_qs},
         {u"张三"_qs, u"Anna"_qs, u"anna"_qs}},
        {"names that are no file names are refused",
         {u"add a/b"_qs, u"add .."_qs, u"add x\\y"_qs},
         {u"invalid"_qs, u"invalid"_qs, u"invalid"_qs},
         {}},
        {"the empty name is a holder of its own",
         {u"add "_qs, u"add 甲"_qs},
         {u"ok"_qs, u"ok"_qs},
         {QString(), u"甲"_qs}},
        {"rename keeps the position",
         {u"add 甲"_qs, u"add 乙"_qs, u"add 丙"_qs, u"rename 1 丁"_qs},
         {u"ok"_qs, u"ok"_qs, u"ok"_qs, u"ok"_qs},
         {u"甲"_qs, u"丁"_qs, u"丙"_qs}},
        {"rename onto a name in use or no file name is refused",
         {u"add 甲"_qs, u"add 乙"_qs, u"rename 1 甲"_qs, u"rename 0 a/b"_qs, u"rename 0 甲"_qs},
         {u"ok"_qs, u"ok"_qs, u"in use"_qs, u"invalid"_qs, u"ok"_qs},
         {u"甲"_qs, u"乙"_qs}},
        {"remove moves the later ones up",
         {u"add 甲"_qs, u"add 乙"_qs, u"add 丙"_qs, u"remove 1"_qs, u"add 乙"_qs, u"remove 0"_qs},
         {u"ok"_qs, u"ok"_qs, u"ok"_qs, u"ok"_qs, u"ok"_qs, u"ok"_qs},
         {u"丙"_qs, u"乙"_qs}},
    };
    for (const auto& c : cases)
        for (const Kind kind : {Kind::Local, Kind::Shared})
            QTest::addRow("%s: %s", kindName(kind), c.name)
                << kind << c.steps << c.answers << c.holders;
}

void TestBooksStore::holderChanges() {
    QFETCH(QStringList, steps);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, holders);
    BOOKS_OF_ROW(books);
    std::unique_ptr<BooksStore> store = books.open();
    HolderList& list = holdersOf(*store);
    QStringList answered;
    for (const QString& step : steps)
        answered.append(apply(list, step));
    QCOMPARE(answered, answers);
    QCOMPARE(list.users(), holders);
    // What the books keep, not only what this list shows.
    std::unique_ptr<BooksStore> again = books.open(QStringLiteral("后台"));
    QCOMPARE(holdersOf(*again).users(), holders);
}

void TestBooksStore::holderSignals_data() {
    QTest::addColumn<Kind>("kind");
    addForBothStores("signals");
}

void TestBooksStore::holderSignals() {
    BOOKS_OF_ROW(books);
    std::unique_ptr<BooksStore> store = books.open();
    HolderList& list = holdersOf(*store);
    QSignalSpy added(&list, &HolderList::userAdded);
    QSignalSpy renamed(&list, &HolderList::userRenamed);
    QSignalSpy removed(&list, &HolderList::userRemoved);
    QSignalSpy reloaded(&list, &HolderList::usersReloaded);
    for (const QString& step : {u"add 甲"_qs, u"add 乙"_qs, u"rename 1 丙"_qs, u"remove 0"_qs})
        QCOMPARE(apply(list, step), u"ok"_qs);
    QCOMPARE(added.size(), 2);
    QCOMPARE(added.at(1).at(0).toInt(), 1);
    QCOMPARE(renamed.size(), 1);
    QCOMPARE(renamed.at(0).at(0).toInt(), 1);
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.at(0).at(0).toInt(), 0);
    // This counter's own changes never come back as a reload.
    QCoreApplication::processEvents();
    QCOMPARE(reloaded.size(), 0);
}

void TestBooksStore::password_data() {
    QTest::addColumn<Kind>("kind");
    addForBothStores("password");
}

void TestBooksStore::password() {
    BOOKS_OF_ROW(books);
    std::unique_ptr<BooksStore> store = books.open();
    must(store->changePassword(QStringLiteral("Secret 1")));
    std::unique_ptr<BooksStore> again = books.open(QStringLiteral("后台"));
    const struct {
        QString typed;
        bool matches;
    } tries[] = {{u"Secret 1"_qs, true},
                 {u"secret 1"_qs, false},
                 {u"Secret1"_qs, false},
                 {QString(), false}};
    for (const auto& attempt : tries)
        QCOMPARE(valueOf(again->passwordMatches(attempt.typed)), attempt.matches);
    // The empty password clears it: the empty entry signs in again.
    must(again->changePassword(QString()));
    QCOMPARE(valueOf(store->passwordMatches(QString())), true);
    QCOMPARE(valueOf(store->passwordMatches(u"Secret 1"_qs)), false);
}

void TestBooksStore::ledgerRoundTrip_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QList<Cell>>("cells");

    const QString full = QString(LedgerLimits::MaxCellCharacters, u'账');
    const struct {
        const char* name;
        int rows;
        QList<Cell> cells;
    } cases[] = {
        {"records in a new ledger", 1000, record(1, u"苹果"_qs) + record(2, u"梨"_qs)},
        {"texts that need care", 10,
         record(1, u"\"引号\", 逗号, \\反斜杠\t制表"_qs, u"第一行\r\n第二行\n第三行\r"_qs) +
             record(2, u"😀 表情与𠀀"_qs, u"\uFEFF开头的标记"_qs) +
             QList<Cell>{{3, LedgerSheet::Product, u"  前后空格  "_qs}}},
        {"free rows and stray cells stay where they are", 1234,
         record(1, u"一"_qs) + record(700, u"七百"_qs) +
             QList<Cell>{{500, LedgerSheet::Remark, u"只有备注"_qs},
                         {1233, LedgerSheet::Product, u"最后一行"_qs}}},
        {"cells as long as a cell may be", 3,
         QList<Cell>{{1, LedgerSheet::Serial, u"1"_qs},
                     {1, LedgerSheet::Product, full},
                     {1, LedgerSheet::Remark, full},
                     {2, LedgerSheet::Remark, full}}},
        {"no free row at all", 3, record(1, u"甲"_qs) + record(2, u"乙"_qs)},
        {"titles only", 1, {}},
    };
    for (const auto& c : cases)
        for (const Kind kind : {Kind::Local, Kind::Shared})
            QTest::addRow("%s: %s", kindName(kind), c.name) << kind << c.rows << c.cells;
}

void TestBooksStore::ledgerRoundTrip() {
    QFETCH(int, rows);
    QFETCH(QList<Cell>, cells);
    BOOKS_OF_ROW(books);
    std::unique_ptr<BooksStore> store = books.open();
    QCOMPARE(apply(holdersOf(*store), u"add 张三"_qs), u"ok"_qs);
    const std::unique_ptr<LedgerSheet> saved = sheetOf(rows, cells);
    {
        std::unique_ptr<HolderBook> book = store->book(u"张三"_qs);
        LedgerSheet first;
        QCOMPARE(valueOf(book->load(first)), HolderBook::Opened::New);
        QCOMPARE(book->access(), HolderBook::Access::Editing);
        must(book->save(*saved, QDateTime::currentDateTime()));
    }
    // Read back by another program on the same books.
    std::unique_ptr<BooksStore> again = books.open(u"后台"_qs);
    std::unique_ptr<HolderBook> book = again->book(u"张三"_qs);
    LedgerSheet loaded;
    QCOMPARE(valueOf(book->load(loaded)), HolderBook::Opened::Loaded);
    QCOMPARE(difference(*saved, loaded), QString());
}

void TestBooksStore::savesOneAfterAnother_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("records");
    QTest::addColumn<QStringList>("edits");

    // Each edit is saved, and what the books keep is read back by another program: "add", "edit
    // ROW", "clear ROW" (the row keeps its place without text), "delete ROW" (the rows below
    // move up), "grow" and "shrink" (rows at the end).
    const struct {
        const char* name;
        int records;
        QStringList edits;
    } cases[] = {
        {"records added one by one", 5, {u"add"_qs, u"add"_qs, u"add"_qs}},
        {"a record changed, cleared, the sheet grown and shrunk",
         8,
         {u"edit 3"_qs, u"clear 5"_qs, u"grow"_qs, u"add"_qs, u"shrink"_qs, u"edit 5"_qs}},
        {"a record deleted moves the rows below", 30, {u"delete 2"_qs, u"add"_qs}},
        {"a long ledger with its first record deleted",
         3000,
         {u"delete 1"_qs, u"edit 2000"_qs, u"delete 2999"_qs}},
    };
    for (const auto& c : cases)
        for (const Kind kind : {Kind::Local, Kind::Shared})
            QTest::addRow("%s: %s", kindName(kind), c.name) << kind << c.records << c.edits;
}

void TestBooksStore::savesOneAfterAnother() {
    QFETCH(int, records);
    QFETCH(QStringList, edits);
    BOOKS_OF_ROW(books);
    std::unique_ptr<BooksStore> store = books.open();
    QCOMPARE(apply(holdersOf(*store), u"add 张三"_qs), u"ok"_qs);
    std::unique_ptr<HolderBook> book = store->book(u"张三"_qs);
    LedgerSheet sheet;
    (void)valueOf(book->load(sheet));
    sheet.applyTitles();
    for (int row = 1; row <= records; ++row)
        for (const Cell& cell : record(row, QStringLiteral("货%1").arg(row)))
            sheet.setCell(cell.row, cell.column, cell.text);
    must(book->save(sheet, QDateTime::currentDateTime()));
    int added = 0;
    for (const QString& edit : edits) {
        const QStringList parts = edit.split(u' ');
        const int row = parts.value(1).toInt();
        if (parts[0] == u"add") {
            RecordFields fields;
            fields.product = QStringLiteral("新货%1").arg(++added);
            (void)valueOf(LedgerRecords::add(sheet, fields, u"2026-12-10 08:00:00"_qs));
        } else if (parts[0] == u"edit") {
            sheet.setCell(row, LedgerSheet::Remark, QStringLiteral("改过 %1").arg(edit));
        } else if (parts[0] == u"clear") {
            for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
                sheet.setCell(row, column, QString());
        } else if (parts[0] == u"delete") {
            sheet.removeRow(row);
        } else if (parts[0] == u"grow") {
            sheet.setCell(sheet.appendRow(), LedgerSheet::Product, u"末尾"_qs);
        } else if (parts[0] == u"shrink") {
            sheet.removeRows(sheet.rowCount() - 3, 3);
        }
        must(book->save(sheet, QDateTime::currentDateTime()));
        std::unique_ptr<BooksStore> reader = books.open(u"查看"_qs);
        std::unique_ptr<HolderBook> seen = reader->book(u"张三"_qs);
        LedgerSheet kept;
        (void)valueOf(seen->load(kept));
        QVERIFY2(difference(sheet, kept).isEmpty(),
                 qPrintable(edit + QStringLiteral(": ") + difference(sheet, kept)));
    }
}

void TestBooksStore::ledgerGoesWithItsHolder_data() {
    QTest::addColumn<Kind>("kind");
    addForBothStores("ledger follows");
}

void TestBooksStore::ledgerGoesWithItsHolder() {
    BOOKS_OF_ROW(books);
    std::unique_ptr<BooksStore> store = books.open();
    HolderList& list = holdersOf(*store);
    QCOMPARE(apply(list, u"add 甲"_qs), u"ok"_qs);
    const std::unique_ptr<LedgerSheet> saved = sheetOf(5, record(1, u"账目"_qs));
    {
        std::unique_ptr<HolderBook> book = store->book(u"甲"_qs);
        LedgerSheet sheet;
        (void)valueOf(book->load(sheet));
        must(book->save(*saved, QDateTime::currentDateTime()));
    }
    QCOMPARE(apply(list, u"rename 0 乙"_qs), u"ok"_qs);
    {
        std::unique_ptr<HolderBook> book = store->book(u"乙"_qs);
        LedgerSheet sheet;
        QCOMPARE(valueOf(book->load(sheet)), HolderBook::Opened::Loaded);
        QCOMPARE(difference(*saved, sheet), QString());
    }
    // A holder added again under a name that went starts with an empty ledger.
    QCOMPARE(apply(list, u"remove 0"_qs), u"ok"_qs);
    QCOMPARE(apply(list, u"add 乙"_qs), u"ok"_qs);
    std::unique_ptr<HolderBook> book = store->book(u"乙"_qs);
    LedgerSheet sheet;
    QCOMPARE(valueOf(book->load(sheet)), HolderBook::Opened::New);
}

void TestBooksStore::locationFromEnvironment_data() {
    QTest::addColumn<QString>("variable");
    QTest::addColumn<int>("saved");        // 0: nothing saved, 1: local saved, 2: shared saved
    QTest::addColumn<QString>("expected"); // "local", "shared <connection>" or "refused"

    QTest::newRow("nothing") << QString() << 0 << u"local"_qs;
    QTest::newRow("blank variable") << u"  "_qs << 0 << u"local"_qs;
    QTest::newRow("saved shared") << QString() << 2 << u"shared service=saved"_qs;
    QTest::newRow("saved local") << QString() << 1 << u"local"_qs;
    QTest::newRow("variable wins over a saved choice")
        << u"host=db.shop dbname=books"_qs << 1 << u"shared host=db.shop dbname=books"_qs;
    QTest::newRow("a service name") << u"service=shop"_qs << 2 << u"shared service=shop"_qs;
    QTest::newRow("a URI") << u"postgresql://db.shop/books?sslmode=require"_qs << 0
                           << u"shared postgresql://db.shop/books?sslmode=require"_qs;
    // Never taken for the local books: that would keep this counter's books apart unseen.
    QTest::newRow("unreadable variable") << u"host=db.shop dbname"_qs << 1 << u"refused"_qs;
}

void TestBooksStore::locationFromEnvironment() {
    QFETCH(QString, variable);
    QFETCH(int, saved);
    QFETCH(QString, expected);
    const QByteArray before = qgetenv(DatabaseVariable);
    const auto restore = qScopeGuard([&] {
        if (before.isNull())
            qunsetenv(DatabaseVariable);
        else
            qputenv(DatabaseVariable, before);
    });
    if (variable.isNull())
        qunsetenv(DatabaseVariable);
    else
        qputenv(DatabaseVariable, variable.toUtf8());
    std::optional<BooksLocation> choice;
    if (saved == 1)
        choice = BooksLocation{BooksLocation::Kind::Local, QString(), BooksLocation::Source::Saved};
    if (saved == 2)
        choice = BooksLocation{BooksLocation::Kind::Shared, u"service=saved"_qs,
                               BooksLocation::Source::Saved};
    const Result<BooksLocation> chosen = chooseBooks(choice);
    if (expected == u"refused") {
        QVERIFY(!chosen.ok());
        QVERIFY(chosen.status().message().contains(QLatin1String(DatabaseVariable)));
        return;
    }
    QVERIFY2(chosen.ok(), qPrintable(chosen.status().detail()));
    QCOMPARE(chosen->kind == BooksLocation::Kind::Local
                 ? u"local"_qs
                 : QStringLiteral("shared ") + chosen->connection,
             expected);
}

QTEST_GUILESS_MAIN(TestBooksStore)
#include "test_booksstore.moc"
