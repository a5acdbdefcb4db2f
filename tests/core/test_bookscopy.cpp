// Copying the books between the local store and shared books: into empty books at once, into
// books that are not empty only as a plan the operator confirmed, and back to local files.

#include "books/bookscopy.h"
#include "ledgersamples.h"
#include "storefixture.h"

#include <QTest>

using namespace vellumar;
using namespace storefixture;
using namespace ledgersamples;

namespace {

void addWithLedger(BooksStore& store, const QString& holder, const LedgerSheet* sheet) {
    QVERIFY(holdersOf(store).add(holder));
    if (!sheet)
        return;
    std::unique_ptr<HolderBook> book = store.book(holder);
    LedgerSheet opened;
    (void)valueOf(book->load(opened));
    must(book->save(*sheet, QDateTime::currentDateTime()));
}

// Every holder's ledger in both books is the same, cell for cell; a holder without a ledger
// has none in either.
QString differences(BooksStore& one, BooksStore& other) {
    const QStringList holders = holdersOf(one).users();
    if (holders != holdersOf(other).users())
        return QStringLiteral("holders %1 and %2")
            .arg(holders.join(u','), holdersOf(other).users().join(u','));
    for (const QString& holder : holders) {
        LedgerSheet a;
        LedgerSheet b;
        const Result<HolderBook::Opened> openedA = one.book(holder)->load(a);
        const Result<HolderBook::Opened> openedB = other.book(holder)->load(b);
        if (!openedA || !openedB || *openedA != *openedB)
            return holder + QStringLiteral(": opened differently");
        if (const QString difference = ledgersamples::difference(a, b); !difference.isEmpty())
            return holder + QStringLiteral(": ") + difference;
    }
    return QString();
}

// The local books of a shop: three holders, two of them with ledgers, and a password.
struct Shop {
    Books local{Kind::Local};
    std::unique_ptr<BooksStore> books = local.open();
    std::unique_ptr<LedgerSheet> first = sheetOf(1000, record(1, u"苹果"_qs) + record(2, u"梨"_qs));
    std::unique_ptr<LedgerSheet> third =
        sheetOf(1234, record(1, u"多行\r\n备注"_qs, u"\"引号\",逗号"_qs) + record(900, u"😀"_qs));

    Shop() {
        addWithLedger(*books, u"甲"_qs, first.get());
        addWithLedger(*books, u"乙"_qs, nullptr);
        addWithLedger(*books, u"丙"_qs, third.get());
        must(books->changePassword(u"店长密码"_qs));
    }
};

} // namespace

class TestBooksCopy : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void uploadIntoEmptySharedBooks();
    void mergeOnlyAsConfirmed();
    void nothingCopiedWhenTheTargetChangedSinceThePlan();
    void failedUploadKeepsNothing();
    void cancelledUploadKeepsNothing();
    void copyBackToLocalFiles();
};

void TestBooksCopy::uploadIntoEmptySharedBooks() {
    FRESH_DATABASE(database);
    Shop shop;
    std::unique_ptr<SharedBooks> shared = openCounter(database, u"前台"_qs);
    QList<int> steps;
    const BooksCopyOutcome outcome =
        valueOf(copyIntoEmptyBooks(*shop.books, *shared, [&](int done, int total) {
            steps.append(done * 100 + total);
            return true;
        }));
    QVERIFY(outcome.copied);
    QVERIFY(!outcome.toConfirm);
    QCOMPARE(outcome.copied->holdersAdded, 3);
    QCOMPARE(outcome.copied->ledgersCopied, 2);
    QCOMPARE(outcome.copied->recordsCopied, 4);
    QVERIFY(outcome.copied->passwordCopied);
    QCOMPARE(outcome.copied->describe(),
             u"已复制 3 个用户、2 本账本（共 4 条记录），以及管理密码。"_qs);
    QVERIFY(steps.contains(303));
    QCOMPARE(differences(*shop.books, *shared), QString());
    QCOMPARE(valueOf(shared->passwordMatches(u"店长密码"_qs)), true);
    QCOMPARE(valueOf(shared->passwordMatches(QString())), false);
}

void TestBooksCopy::mergeOnlyAsConfirmed() {
    FRESH_DATABASE(database);
    Shop shop;
    std::unique_ptr<SharedBooks> shared = openCounter(database, u"前台"_qs);
    const std::unique_ptr<LedgerSheet> other = sheetOf(20, record(1, u"服务器上的"_qs));
    addWithLedger(*shared, u"丁"_qs, other.get());
    addWithLedger(*shared, u"甲"_qs, other.get());
    addWithLedger(*shared, u"丙"_qs, shop.third.get());
    must(shared->changePassword(u"服务器密码"_qs));

    const BooksCopyOutcome outcome = valueOf(copyIntoEmptyBooks(*shop.books, *shared));
    QVERIFY(!outcome.copied);
    QVERIFY(outcome.toConfirm);
    const BooksCopyPlan& plan = *outcome.toConfirm;
    QCOMPARE(plan.addedHolders, QStringList{u"乙"_qs});
    QCOMPARE(plan.replacedLedgers, QStringList{u"甲"_qs});
    QCOMPARE(plan.keptLedgers, QStringList{u"丙"_qs});
    QCOMPARE(plan.keptHolders, QStringList{u"丁"_qs});
    QCOMPARE(plan.password, BooksCopyPlan::Password::KeptOwn);
    QCOMPARE(plan.describe(),
             (QStringList{
                 u"将添加 1 个用户及其账本：乙"_qs,
                 u"1 个用户两边都有，但账目不同，将改为复制过去的账目（原有的账目被替换）：甲"_qs,
                 u"1 个用户两边都有，账目无需复制，保持不变。"_qs,
                 u"1 个用户只在目标中有，保持不变：丁"_qs,
                 u"两边的管理密码不同，目标保留自己的密码。"_qs}));
    // Asking was all: nothing changed yet.
    QCOMPARE(holdersOf(*shared).users(), (QStringList{u"丁"_qs, u"甲"_qs, u"丙"_qs}));

    const BooksCopyReport merged = valueOf(copyBooks(*shop.books, *shared, plan));
    QCOMPARE(merged.holdersAdded, 1);
    QCOMPARE(merged.ledgersCopied, 1);
    QVERIFY(!merged.passwordCopied);
    std::unique_ptr<BooksStore> reader = valueOf(SharedBooks::open(database.connection()));
    QCOMPARE(holdersOf(*reader).users(), (QStringList{u"丁"_qs, u"甲"_qs, u"丙"_qs, u"乙"_qs}));
    LedgerSheet sheet;
    std::unique_ptr<HolderBook> book = reader->book(u"甲"_qs);
    (void)valueOf(book->load(sheet));
    QCOMPARE(difference(*shop.first, sheet), QString());
    QCOMPARE(valueOf(reader->passwordMatches(u"服务器密码"_qs)), true);
    // Merged once, the books agree: a second comparison finds nothing to copy.
    const BooksCopyPlan again = valueOf(planBooksCopy(*shop.books, *reader));
    QVERIFY(again.changesNothing());
}

void TestBooksCopy::nothingCopiedWhenTheTargetChangedSinceThePlan() {
    FRESH_DATABASE(database);
    Shop shop;
    std::unique_ptr<SharedBooks> shared = openCounter(database, u"前台"_qs);
    addWithLedger(*shared, u"甲"_qs, nullptr);
    const BooksCopyPlan plan = valueOf(planBooksCopy(*shop.books, *shared));
    // Another counter saves 甲's ledger while the operator reads the plan.
    std::unique_ptr<SharedBooks> back = openCounter(database, u"后台"_qs);
    {
        std::unique_ptr<HolderBook> book = back->book(u"甲"_qs);
        LedgerSheet sheet;
        (void)valueOf(book->load(sheet));
        must(book->save(*sheetOf(3, record(1, u"后台的"_qs)), QDateTime::currentDateTime()));
    }
    const Result<BooksCopyReport> refused = copyBooks(*shop.books, *shared, plan);
    QVERIFY(!refused.ok());
    QVERIFY2(refused.status().message().contains(u"重新比较"),
             qPrintable(refused.status().message()));
    QCOMPARE(holdersOf(*back).users(), QStringList{u"甲"_qs});
}

void TestBooksCopy::failedUploadKeepsNothing() {
    FRESH_DATABASE(database);
    Shop shop;
    std::unique_ptr<SharedBooks> shared = openCounter(database, u"前台"_qs);
    addWithLedger(*shared, u"丙"_qs, nullptr);
    // 丙's ledger is open at another counter: the copy may not replace it.
    std::unique_ptr<SharedBooks> back = openCounter(database, u"后台"_qs);
    std::unique_ptr<HolderBook> open = back->book(u"丙"_qs);
    LedgerSheet sheet;
    (void)valueOf(open->load(sheet));

    const BooksCopyPlan plan = valueOf(planBooksCopy(*shop.books, *shared));
    QCOMPARE(plan.addedHolders, (QStringList{u"甲"_qs, u"乙"_qs}));
    const Result<BooksCopyReport> refused = copyBooks(*shop.books, *shared, plan);
    QVERIFY(!refused.ok());
    QVERIFY2(refused.status().message().contains(u"柜台“后台”"),
             qPrintable(refused.status().message()));
    // The holders added before the refusal went with it.
    std::unique_ptr<BooksStore> reader = valueOf(SharedBooks::open(database.connection()));
    QCOMPARE(holdersOf(*reader).users(), QStringList{u"丙"_qs});
    QCOMPARE(valueOf(reader->passwordMatches(QString())), true);
}

void TestBooksCopy::cancelledUploadKeepsNothing() {
    FRESH_DATABASE(database);
    Shop shop;
    std::unique_ptr<SharedBooks> shared = openCounter(database, u"前台"_qs);
    const BooksCopyPlan plan = valueOf(planBooksCopy(*shop.books, *shared));
    const Result<BooksCopyReport> cancelled =
        copyBooks(*shop.books, *shared, plan, [](int done, int) { return done < 2; });
    QVERIFY(!cancelled.ok());
    std::unique_ptr<BooksStore> reader = valueOf(SharedBooks::open(database.connection()));
    QVERIFY(holdersOf(*reader).users().isEmpty());
}

void TestBooksCopy::copyBackToLocalFiles() {
    FRESH_DATABASE(database);
    Shop shop;
    std::unique_ptr<SharedBooks> shared = openCounter(database, u"前台"_qs);
    QVERIFY(valueOf(copyIntoEmptyBooks(*shop.books, *shared)).copied);

    Books elsewhere(Kind::Local);
    std::unique_ptr<BooksStore> local = elsewhere.open();
    const BooksCopyOutcome outcome = valueOf(copyIntoEmptyBooks(*shared, *local));
    QVERIFY(outcome.copied);
    QCOMPARE(outcome.copied->holdersAdded, 3);
    QCOMPARE(differences(*shared, *local), QString());
    QCOMPARE(differences(*shop.books, *local), QString());
    QCOMPARE(valueOf(local->passwordMatches(u"店长密码"_qs)), true);
}

QTEST_GUILESS_MAIN(TestBooksCopy)
#include "test_bookscopy.moc"
