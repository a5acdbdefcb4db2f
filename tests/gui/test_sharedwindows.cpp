// The windows on the books in use: the same work against the local books and against shared
// books on the test server, and what only shared books bring: other counters' changes, a
// ledger open at two counters, a server that goes away, the choice of books before sign-in
// and the copies between the local and the shared books.

#include "accounts/booksconnectiondialog.h"
#include "accounts/signinwindow.h"
#include "accounts/userlistwindow.h"
#include "books/localbooks.h"
#include "checks.h"
#include "frame/booksstart.h"
#include "guifixture.h"
#include "ledger/ledgerrecords.h"
#include "ledger/ledgerwindow.h"
#include "reports/receivableswindow.h"
#include "safety/safetypaths.h"
#include "sharedstore/pgconnection.h"
#include "sharedstore/sharedbooks.h"
#include "storefixture.h"
#include "testdatabase.h"
#include "userlisthelpers.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolBar>

using namespace vellumar;
using namespace storefixture;
using userlist::listNames;
using userlist::typeInto;

namespace {

// How long another counter's change may take to show.
constexpr int NoticeTimeout = 1000;

// A counter: the program's windows on books of the kind, the shared ones in the database.
class Counter {
public:
    Counter(Kind kind, testdatabase::FreshDatabase* database, const QString& name) {
        if (kind == Kind::Shared) {
            // As the start-up opens them, with the journals in this counter's data folder.
            const BooksLocation location{BooksLocation::Kind::Shared, database->connection(), {}};
            std::unique_ptr<SharedBooks> books =
                valueOf(SharedBooks::open(database->connection(), counterNamed(name)));
            books->keepJournalsIn(fixture.files, SafetyPaths::sharedJournalRoot(fixture.paths));
            fixture.books.replace(std::move(books), location);
        }
    }

    GuiFixture fixture;

    BooksStore& books() { return fixture.books.store(); }

    UserListWindow* signIn(const QString& password = QString()) {
        auto* signIn = new SignInWindow(fixture.services);
        fixture.frame.open(signIn);
        typeInto(GuiFixture::control<QLineEdit>(signIn, "编辑框1"), password);
        QTest::mouseClick(GuiFixture::control<QPushButton>(signIn, "按钮1"), Qt::LeftButton);
        return qobject_cast<UserListWindow*>(fixture.frame.topWindow());
    }

    LedgerWindow* openLedger(UserListWindow* list, const QString& holder) {
        if (!list || !list->holders())
            return nullptr;
        const std::optional<int> position = list->holders()->find(holder);
        if (!position)
            return nullptr;
        list->showUser(*position);
        list->openLedger();
        return qobject_cast<LedgerWindow*>(fixture.frame.topWindow());
    }
};

void trigger(QWidget* window, const char* name) {
    auto* action = window->findChild<QAction*>(QString::fromLatin1(name));
    QVERIFY2(action, name);
    action->trigger();
}

bool enabled(QWidget* window, const char* name) {
    auto* action = window->findChild<QAction*>(QString::fromLatin1(name));
    return action && action->isEnabled();
}

// Another look at the same books, as a program started afresh would have.
std::unique_ptr<BooksStore> lookAgain(Counter& counter, Kind kind,
                                      testdatabase::FreshDatabase* database) {
    if (kind == Kind::Local)
        return std::make_unique<LocalBooks>(counter.fixture.paths, counter.fixture.files);
    return valueOf(SharedBooks::open(database->connection(), counterNamed(u"检查"_qs)));
}

const RecordFields Rice{u"大米"_qs, u"2"_qs, u"袋"_qs, u"12.5"_qs, u"25"_qs, u"月底结清"_qs};

void addRice(LedgerWindow* ledger) {
    must(ledger->edits().addRecord(Rice, u"2026-12-09 09:30:15"_qs).status());
}

QString remarkOf(BooksStore& books, const QString& holder) {
    LedgerSheet sheet;
    const std::unique_ptr<HolderBook> book = books.book(holder);
    (void)valueOf(book->load(sheet));
    return sheet.cell(1, LedgerSheet::Remark);
}

// Keeps every counter away from the database as a stopped server would, and lets them back.
class ServerAway {
public:
    explicit ServerAway(const testdatabase::FreshDatabase& database) : m_name(database.name()) {
        m_admin = valueOf(PgConnection::connect(testdatabase::serverConnection()));
        set(false);
    }
    ~ServerAway() { back(); }
    void back() {
        if (m_away)
            set(true);
    }

private:
    void set(bool allowed) {
        const QByteArray name = m_name.toUtf8();
        const QByteArray change = QByteArray("ALTER DATABASE ") + name + " ALLOW_CONNECTIONS " +
                                  (allowed ? "true" : "false");
        must(m_admin->run(change.constData()).status());
        if (!allowed)
            must(m_admin
                     ->run("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                           "WHERE datname = $1",
                           {name})
                     .status());
        m_away = !allowed;
    }

    QString m_name;
    std::unique_ptr<PgConnection> m_admin;
    bool m_away = false;
};

} // namespace

// The books as a test case wants them: a fresh database for shared books (failing, or
// skipping outside CI, without the test server).
#define BOOKS_FOR_ROW()                                                                            \
    QFETCH(storefixture::Kind, kind);                                                              \
    std::unique_ptr<testdatabase::FreshDatabase> database;                                         \
    if (kind == Kind::Shared) {                                                                    \
        REQUIRE_TEST_SERVER();                                                                     \
        database = std::make_unique<testdatabase::FreshDatabase>();                                \
        QVERIFY2(!database->connection().isEmpty(), qPrintable(database->why()));                  \
    }

class TestSharedWindows : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { GuiFixture::prepareProcess(); }
    void eitherBooks_data();
    void signInAndPasswordChange_data() { eitherBooks_data(); }
    void signInAndPasswordChange();
    void holderChangesReachTheBooks_data() { eitherBooks_data(); }
    void holderChangesReachTheBooks();
    void ledgerIsSavedIntoTheBooks_data() { eitherBooks_data(); }
    void ledgerIsSavedIntoTheBooks();
    void otherCountersChangesShow();
    void secondCounterGetsTheLedgerReadOnly();
    void saveWhileTheServerIsAway();
    void typedChangesSurviveACrash_data();
    void typedChangesSurviveACrash();
    void chooseBooksBeforeSignIn_data();
    void chooseBooksBeforeSignIn();
    void startWithTheServerAway_data();
    void startWithTheServerAway();
    void uploadAndCopyBack();
    void localOnlyItemsSayWhatApplies();
};

void TestSharedWindows::eitherBooks_data() {
    QTest::addColumn<Kind>("kind");
    QTest::newRow("local") << Kind::Local;
    QTest::newRow("shared") << Kind::Shared;
}

void TestSharedWindows::signInAndPasswordChange() {
    BOOKS_FOR_ROW();
    Counter counter(kind, database.get(), u"前台"_qs);
    must(counter.books().changePassword(u"old-1"_qs));

    QVERIFY(!counter.signIn(u"wrong"_qs));
    QCOMPARE(counter.fixture.host.messageTexts(), QStringList{u"登录密码错误！"_qs});
    counter.fixture.frame.close(counter.fixture.frame.topWindow());
    UserListWindow* list = counter.signIn(u"old-1"_qs);
    QVERIFY(list);

    trigger(list, "actionChangePassword");
    QWidget* dialog = counter.fixture.frame.topWindow();
    for (const auto& [box, text] :
         {std::pair{"编辑框1", u"old-1"_qs}, std::pair{"编辑框2", u"new-2"_qs},
          std::pair{"编辑框3", u"new-2"_qs}})
        typeInto(GuiFixture::control<QLineEdit>(dialog, box), text);
    QTest::mouseClick(GuiFixture::control<QPushButton>(dialog, "按钮1"), Qt::LeftButton);
    QCOMPARE(counter.fixture.host.messageTexts().last(), u"密码修改成功！"_qs);
    const std::unique_ptr<BooksStore> again = lookAgain(counter, kind, database.get());
    QVERIFY(valueOf(again->passwordMatches(u"new-2"_qs)));
    QVERIFY(!valueOf(again->passwordMatches(u"old-1"_qs)));
}

void TestSharedWindows::holderChangesReachTheBooks() {
    BOOKS_FOR_ROW();
    Counter counter(kind, database.get(), u"前台"_qs);
    UserListWindow* list = counter.signIn();
    QVERIFY(list);
    for (const QString& name : {u"张三"_qs, u"李四"_qs}) {
        trigger(list, "actionNewUser");
        QWidget* dialog = counter.fixture.frame.topWindow();
        typeInto(GuiFixture::control<QLineEdit>(dialog, "编辑框1"), name);
        QTest::mouseClick(GuiFixture::control<QPushButton>(dialog, "按钮1"), Qt::LeftButton);
    }
    list->showUser(0);
    trigger(list, "actionRenameUser");
    QWidget* rename = counter.fixture.frame.topWindow();
    typeInto(GuiFixture::control<QLineEdit>(rename, "编辑框1"), u"李四"_qs);
    QTest::mouseClick(GuiFixture::control<QPushButton>(rename, "按钮1"), Qt::LeftButton);
    // The name another holder has is refused, and the dialog stays for another try.
    QCOMPARE(counter.fixture.host.messageTexts(), QStringList{u"此用户已存在！"_qs});
    typeInto(GuiFixture::control<QLineEdit>(rename, "编辑框1"), u"王五"_qs);
    QTest::mouseClick(GuiFixture::control<QPushButton>(rename, "按钮1"), Qt::LeftButton);
    QCOMPARE(listNames(list), (QStringList{u"王五"_qs, u"李四"_qs}));

    list->showUser(1);
    counter.fixture.host.answer(MessageAnswer::Ok);
    trigger(list, "actionDeleteUser");
    QCOMPARE(listNames(list), QStringList{u"王五"_qs});
    const std::unique_ptr<BooksStore> again = lookAgain(counter, kind, database.get());
    QCOMPARE(holdersOf(*again).users(), QStringList{u"王五"_qs});
    VERIFY_SCRIPT_DONE(counter.fixture.host);
}

void TestSharedWindows::ledgerIsSavedIntoTheBooks() {
    BOOKS_FOR_ROW();
    Counter counter(kind, database.get(), u"前台"_qs);
    QVERIFY(valueOf(counter.books().holders())->add(u"张三"_qs));
    UserListWindow* list = counter.signIn();
    LedgerWindow* ledger = counter.openLedger(list, u"张三"_qs);
    QVERIFY(ledger);
    QVERIFY(!ledger->isReadOnly());
    QVERIFY(!ledger->findChild<QToolBar*>(u"ledgerAccessBar"_qs)->isVisible());
    addRice(ledger);
    trigger(ledger, "actionSave");
    QCOMPARE(counter.fixture.host.messageTexts(), QStringList{u"文件已保存！"_qs});
    QVERIFY(!ledger->edits().hasUnsavedChanges());
    const std::unique_ptr<BooksStore> again = lookAgain(counter, kind, database.get());
    QCOMPARE(remarkOf(*again, u"张三"_qs), Rice.remark);

    // Closing saves what was typed since, as it always has.
    must(ledger->edits().editRecord(
        1, {Rice.product, Rice.quantity, Rice.unit, Rice.unitPrice, Rice.total, u"已结清"_qs}));
    counter.fixture.host.answer(MessageAnswer::Ok);
    trigger(ledger, "actionClose");
    QTRY_VERIFY(counter.fixture.frame.topWindow() == list);
    QCOMPARE(remarkOf(*again, u"张三"_qs), u"已结清"_qs);
    VERIFY_SCRIPT_DONE(counter.fixture.host);
}

void TestSharedWindows::otherCountersChangesShow() {
    FRESH_DATABASE(database);
    Counter front(Kind::Shared, &database, u"前台"_qs);
    Counter back(Kind::Shared, &database, u"后台"_qs);
    HolderList& frontHolders = *valueOf(front.books().holders());
    QVERIFY(frontHolders.add(u"甲"_qs));
    QVERIFY(frontHolders.add(u"乙"_qs));
    UserListWindow* backList = back.signIn();
    QVERIFY(backList);
    QCOMPARE(listNames(backList), (QStringList{u"甲"_qs, u"乙"_qs}));
    backList->showUser(1);

    QVERIFY(frontHolders.add(u"丙"_qs));
    QTRY_COMPARE_WITH_TIMEOUT(listNames(backList), (QStringList{u"甲"_qs, u"乙"_qs, u"丙"_qs}),
                              NoticeTimeout);
    QVERIFY(frontHolders.remove(0));
    QTRY_COMPARE_WITH_TIMEOUT(listNames(backList), (QStringList{u"乙"_qs, u"丙"_qs}),
                              NoticeTimeout);
    // The operator's choice stays on the same holder, wherever it moved.
    QCOMPARE(backList->selectedUserName(), std::optional<QString>(u"乙"_qs));
    QVERIFY(frontHolders.rename(1, u"丁"_qs));
    QTRY_COMPARE_WITH_TIMEOUT(listNames(backList), (QStringList{u"乙"_qs, u"丁"_qs}),
                              NoticeTimeout);
    QCOMPARE(backList->selectedUserName(), std::optional<QString>(u"乙"_qs));
}

void TestSharedWindows::secondCounterGetsTheLedgerReadOnly() {
    FRESH_DATABASE(database);
    Counter front(Kind::Shared, &database, u"前台"_qs);
    Counter back(Kind::Shared, &database, u"后台"_qs);
    QVERIFY(valueOf(front.books().holders())->add(u"张三"_qs));
    LedgerWindow* frontLedger = front.openLedger(front.signIn(), u"张三"_qs);
    LedgerWindow* backLedger = back.openLedger(back.signIn(), u"张三"_qs);
    QVERIFY(frontLedger && backLedger);
    QVERIFY(!frontLedger->isReadOnly());
    QVERIFY(backLedger->isReadOnly());
    auto* bar = backLedger->findChild<QToolBar*>(u"ledgerAccessBar"_qs);
    auto* notice = backLedger->findChild<QLabel*>(u"accessNotice"_qs);
    QVERIFY(bar->isVisible());
    QVERIFY2(notice->text().startsWith(u"只读：") && notice->text().contains(u"柜台“前台”"_qs),
             qPrintable(notice->text()));
    for (const char* item : {"actionSave", "actionOpen", "actionAddRecord", "actionEditRecord",
                             "actionDeleteRecord", "actionUndo"})
        QVERIFY2(!enabled(backLedger, item), item);
    // The bar takes its room from the grid, not from the window's design.
    const QTableView* grid = backLedger->grid();
    QVERIFY(grid->geometry().bottom() + bar->height() <= backLedger->height());

    // Neither counter writes over the other: the read-only one is refused by the books too.
    LedgerSheet mine;
    mine.applyTitles();
    QVERIFY(!backLedger->ledger().save(mine, QDateTime::currentDateTime()).ok());
    addRice(frontLedger);
    trigger(frontLedger, "actionSave");
    auto* reload = backLedger->findChild<QPushButton*>(u"reloadButton"_qs);
    QTRY_VERIFY_WITH_TIMEOUT(reload->isVisible(), NoticeTimeout);

    // Closing what cannot be saved and was not changed asks nothing about saving.
    back.fixture.host.answer(MessageAnswer::Ok);
    QVERIFY(backLedger->closeQuery());
    QVERIFY(back.fixture.host.questions().isEmpty());

    // Once the first counter gives the ledger up, reloading makes it this counter's.
    QSignalSpy givenUp(&backLedger->ledger(), &HolderBook::changedElsewhere);
    front.fixture.host.answer(MessageAnswer::Ok);
    trigger(frontLedger, "actionClose");
    QTRY_VERIFY_WITH_TIMEOUT(!givenUp.isEmpty(), NoticeTimeout);
    QTest::mouseClick(reload, Qt::LeftButton);
    QVERIFY(!backLedger->isReadOnly());
    QVERIFY(!bar->isVisible());
    QVERIFY(enabled(backLedger, "actionSave"));
    QCOMPARE(backLedger->sheet().cell(1, LedgerSheet::Remark), Rice.remark);
    // What is typed now goes to this counter's journal and into the books.
    addRice(backLedger);
    QVERIFY(backLedger->ledger().journal() && backLedger->edits().isRecording());
    trigger(backLedger, "actionSave");
    QCOMPARE(back.fixture.host.messageTexts().last(), u"文件已保存！"_qs);
    QCOMPARE(remarkOf(front.books(), u"张三"_qs), Rice.remark);
    VERIFY_SCRIPT_DONE(front.fixture.host);
    VERIFY_SCRIPT_DONE(back.fixture.host);
}

void TestSharedWindows::saveWhileTheServerIsAway() {
    FRESH_DATABASE(database);
    Counter front(Kind::Shared, &database, u"前台"_qs);
    QVERIFY(valueOf(front.books().holders())->add(u"张三"_qs));
    LedgerWindow* ledger = front.openLedger(front.signIn(), u"张三"_qs);
    QVERIFY(ledger);
    addRice(ledger);

    auto away = std::make_unique<ServerAway>(database);
    trigger(ledger, "actionSave");
    QCOMPARE(front.fixture.host.messages().size(), 1);
    QVERIFY(front.fixture.host.messages().first().text.startsWith(u"文件保存失败！"_qs));
    // Closing offers the failed save's choices; going back keeps the window and what was typed.
    front.fixture.host.answer(MessageAnswer::Ok);
    front.fixture.host.answerQuestion(3);
    trigger(ledger, "actionClose");
    QCOMPARE(front.fixture.host.questions().size(), 1);
    QCOMPARE(front.fixture.host.questions().first().buttons,
             (QStringList{u"重试"_qs, u"另存为…"_qs, u"不保存"_qs, u"返回"_qs}));
    QCOMPARE(front.fixture.frame.topWindow(), ledger);
    QCOMPARE(ledger->sheet().cell(1, LedgerSheet::Remark), Rice.remark);

    away->back();
    front.fixture.host.clearRecords();
    trigger(ledger, "actionSave");
    QCOMPARE(front.fixture.host.messageTexts(), QStringList{u"文件已保存！"_qs});
    QVERIFY(!ledger->isReadOnly());
    Counter back(Kind::Shared, &database, u"后台"_qs);
    QCOMPARE(remarkOf(back.books(), u"张三"_qs), Rice.remark);
    VERIFY_SCRIPT_DONE(front.fixture.host);
}

void TestSharedWindows::typedChangesSurviveACrash_data() {
    QTest::addColumn<bool>("serverAway");
    QTest::addColumn<bool>("savedElsewhere");
    QTest::newRow("crash") << false << false;
    QTest::newRow("crash while the server is away") << true << false;
    QTest::newRow("saved at another counter since") << false << true;
}

void TestSharedWindows::typedChangesSurviveACrash() {
    QFETCH(bool, serverAway);
    QFETCH(bool, savedElsewhere);
    FRESH_DATABASE(database);
    Counter front(Kind::Shared, &database, u"前台"_qs);
    QVERIFY(valueOf(front.books().holders())->add(u"张三"_qs));
    UserListWindow* list = front.signIn();
    LedgerWindow* ledger = front.openLedger(list, u"张三"_qs);
    QVERIFY(ledger);
    addRice(ledger);
    std::unique_ptr<ServerAway> away;
    if (serverAway) {
        away = std::make_unique<ServerAway>(database);
        trigger(ledger, "actionSave");
        QVERIFY(front.fixture.host.messages().last().text.startsWith(u"文件保存失败！"_qs));
    }
    // The program ends without a word: the window goes, nothing is saved.
    front.fixture.frame.close(ledger);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    away.reset();
    if (savedElsewhere) {
        Counter back(Kind::Shared, &database, u"后台"_qs);
        LedgerSheet theirs;
        const std::unique_ptr<HolderBook> book = back.books().book(u"张三"_qs);
        (void)valueOf(book->load(theirs));
        must(LedgerRecords::add(
                 theirs, {u"花生油"_qs, u"1"_qs, u"桶"_qs, u"80"_qs, u"80"_qs, u"后台记的"_qs},
                 u"2026-12-09 10:00:00"_qs)
                 .status());
        must(book->save(theirs, QDateTime::currentDateTime()));
    }

    front.fixture.host.clearRecords();
    if (!savedElsewhere)
        front.fixture.host.answer(MessageAnswer::Yes);
    ledger = front.openLedger(list, u"张三"_qs);
    QVERIFY(ledger);
    if (savedElsewhere) {
        // Changes written on another version never go onto this one; they are kept aside.
        QVERIFY2(front.fixture.host.messageTexts().first().contains(u"已另存在"_qs),
                 qPrintable(front.fixture.host.messageTexts().join(u'\n')));
        QCOMPARE(ledger->sheet().cell(1, LedgerSheet::Remark), u"后台记的"_qs);
        return;
    }
    QCOMPARE(front.fixture.host.messageTexts().first(), u"发现上次未保存的修改，是否恢复？"_qs);
    QCOMPARE(ledger->sheet().cell(1, LedgerSheet::Remark), Rice.remark);
    trigger(ledger, "actionSave");
    QCOMPARE(front.fixture.host.messageTexts().last(), u"文件已保存！"_qs);
    Counter back(Kind::Shared, &database, u"后台"_qs);
    QCOMPARE(remarkOf(back.books(), u"张三"_qs), Rice.remark);
    // Saved, the journal is gone: the next opening offers nothing.
    front.fixture.frame.close(ledger);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    front.fixture.host.clearRecords();
    QVERIFY(front.openLedger(list, u"张三"_qs));
    QCOMPARE(front.fixture.host.messageTexts(), QStringList());
    VERIFY_SCRIPT_DONE(front.fixture.host);
}

void TestSharedWindows::chooseBooksBeforeSignIn_data() {
    QTest::addColumn<QString>("variable");
    QTest::addColumn<bool>("reachable");
    QTest::addColumn<bool>("switched");
    QTest::newRow("saved and used at once") << QString() << true << true;
    QTest::newRow("server not there") << QString() << false << false;
    QTest::newRow("variable wins") << u"service=elsewhere"_qs << true << false;
}

void TestSharedWindows::chooseBooksBeforeSignIn() {
    QFETCH(QString, variable);
    QFETCH(bool, reachable);
    QFETCH(bool, switched);
    FRESH_DATABASE(database);
    const QByteArray before = qgetenv(DatabaseVariable);
    qputenv(DatabaseVariable, variable.toUtf8());
    const auto restore = qScopeGuard([&] { qputenv(DatabaseVariable, before); });
    {
        const std::unique_ptr<SharedBooks> other =
            valueOf(SharedBooks::open(database.connection()));
        QVERIFY(valueOf(other->holders())->add(u"共享的用户"_qs));
    }

    Counter counter(Kind::Local, nullptr, QString());
    auto* signIn = new SignInWindow(counter.fixture.services);
    counter.fixture.frame.open(signIn);
    QVERIFY(signIn->actions().first()->text() == u"连接共享账本…"_qs);
    signIn->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(signIn));
    QTest::keyClick(signIn, Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    auto* dialog = qobject_cast<BooksConnectionDialog*>(counter.fixture.frame.topWindow());
    QVERIFY(dialog);
    QCOMPARE(dialog->findChild<QLabel*>(u"environmentNote"_qs)->isVisibleTo(dialog),
             !variable.isEmpty());
    QVERIFY(dialog->findChild<QRadioButton*>(u"localChoice"_qs)->isChecked());
    dialog->findChild<QRadioButton*>(u"sharedChoice"_qs)->setChecked(true);
    const QString connection =
        reachable ? database.connection() : u"host=/nonexistent/vellumar dbname=账本"_qs;
    typeInto(dialog->findChild<QLineEdit*>(u"connectionTextField"_qs), connection);
    QTest::keyClick(dialog, Qt::Key_Return);

    QCOMPARE(counter.books().kind(), switched ? BooksStore::Kind::Shared : BooksStore::Kind::Local);
    const std::optional<BooksLocation> saved =
        valueOf(savedBooksChoice(counter.fixture.paths.settingsFile()));
    QCOMPARE(saved.has_value(), reachable);
    if (saved)
        QCOMPARE(saved->connection, connection);
    // Books that cannot be reached leave the dialog open for a correction.
    QCOMPARE(counter.fixture.frame.topWindow() == dialog, !reachable);
    if (!reachable) {
        QVERIFY(counter.fixture.host.messages().first().text.contains(u"没有改用这些账本"_qs));
        QTest::keyClick(dialog, Qt::Key_Escape);
    }
    QTRY_COMPARE(counter.fixture.frame.topWindow(), static_cast<QWidget*>(signIn));
    UserListWindow* list = counter.signIn();
    QVERIFY(list);
    QCOMPARE(listNames(list), switched ? QStringList{u"共享的用户"_qs} : QStringList());
}

void TestSharedWindows::startWithTheServerAway_data() {
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<bool>("opened");
    QTest::newRow("retry, then the local books") << QList<int>{0, 1} << true;
    QTest::newRow("stop") << QList<int>{2} << false;
}

void TestSharedWindows::startWithTheServerAway() {
    QFETCH(QList<int>, answers);
    QFETCH(bool, opened);
    qunsetenv(DatabaseVariable);
    GuiFixture fixture;
    const QString socketFolder = fixture.paths.programDirectory() + u"/no-server"_qs;
    must(saveBooksChoice(fixture.paths.settingsFile(),
                         {BooksLocation::Kind::Shared,
                          u"host="_qs + socketFolder + u" port=5999 dbname=账本"_qs,
                          {}}));
    for (int answer : answers)
        fixture.host.answerQuestion(answer);
    const std::unique_ptr<BooksInUse> books =
        openBooksAtStart(fixture.host, fixture.paths, fixture.files);
    QCOMPARE(books != nullptr, opened);
    if (books)
        QCOMPARE(books->store().kind(), BooksStore::Kind::Local);
    QCOMPARE(fixture.host.questions().size(), answers.size());
    const Question& asked = fixture.host.questions().first();
    QVERIFY2(asked.text.contains(socketFolder) && asked.text.contains(u"5999"_qs) &&
                 asked.text.contains(u"“账本”"_qs),
             qPrintable(asked.text));
    QCOMPARE(asked.buttons, (QStringList{u"重试"_qs, u"打开本机账本"_qs, u"退出"_qs}));
    VERIFY_SCRIPT_DONE(fixture.host);
}

void TestSharedWindows::uploadAndCopyBack() {
    FRESH_DATABASE(database);
    Counter counter(Kind::Shared, &database, u"前台"_qs);
    LocalBooks local(counter.fixture.paths, counter.fixture.files);
    HolderList& localHolders = *valueOf(local.holders());
    QVERIFY(localHolders.add(u"张三"_qs));
    {
        LedgerSheet sheet;
        const std::unique_ptr<HolderBook> book = local.book(u"张三"_qs);
        (void)valueOf(book->load(sheet));
        must(LedgerRecords::add(sheet, Rice, u"2026-12-09 09:30:15"_qs).status());
        must(book->save(sheet, QDateTime::currentDateTime()));
    }
    UserListWindow* list = counter.signIn();
    QVERIFY(list);
    QVERIFY(enabled(list, "actionUploadLocalBooks"));

    // Into empty shared books the copy is made at once.
    trigger(list, "actionUploadLocalBooks");
    QVERIFY2(counter.fixture.host.messageTexts().last().startsWith(u"本机账本已上传到"_qs),
             qPrintable(counter.fixture.host.messageTexts().join(u'\n')));
    QTRY_COMPARE_WITH_TIMEOUT(listNames(list), QStringList{u"张三"_qs}, NoticeTimeout);
    QCOMPARE(remarkOf(counter.books(), u"张三"_qs), Rice.remark);

    // Into books that are not empty, only after the operator has read the plan.
    QVERIFY(localHolders.add(u"李四"_qs));
    counter.fixture.host.answerQuestion(1);
    trigger(list, "actionUploadLocalBooks");
    QVERIFY(counter.fixture.host.questions().last().text.contains(u"李四"_qs));
    QCOMPARE(holdersOf(counter.books()).users(), QStringList{u"张三"_qs});
    counter.fixture.host.answerQuestion(0);
    trigger(list, "actionUploadLocalBooks");
    QTRY_COMPARE_WITH_TIMEOUT(listNames(list), (QStringList{u"张三"_qs, u"李四"_qs}),
                              NoticeTimeout);

    // And back: what only the shared books have reaches the local ones.
    QVERIFY(holdersOf(counter.books()).add(u"王五"_qs));
    counter.fixture.host.answerQuestion(0);
    trigger(list, "actionCopyToLocalBooks");
    QCOMPARE(LocalBooks(counter.fixture.paths, counter.fixture.files).holders().value()->users(),
             (QStringList{u"张三"_qs, u"李四"_qs, u"王五"_qs}));

    // The overview of what is owed reads the shared ledgers.
    trigger(list, "actionReceivables");
    auto* overview = qobject_cast<ReceivablesWindow*>(counter.fixture.frame.topWindow());
    QVERIFY(overview);
    auto* table = overview->findChild<QTableView*>(u"receivablesTable"_qs);
    QTRY_COMPARE(table->model()->rowCount(), 3);
    VERIFY_SCRIPT_DONE(counter.fixture.host);
}

void TestSharedWindows::localOnlyItemsSayWhatApplies() {
    FRESH_DATABASE(database);
    Counter shared(Kind::Shared, &database, u"前台"_qs);
    UserListWindow* list = shared.signIn();
    for (const char* item : {"actionRecycleBin", "actionBackups"}) {
        trigger(list, item);
        QCOMPARE(shared.fixture.frame.topWindow(), static_cast<QWidget*>(list));
        QCOMPARE(shared.fixture.host.messageTexts().last(), shared.books().safekeeping());
    }
    Counter local(Kind::Local, nullptr, QString());
    UserListWindow* localList = local.signIn();
    Q_EMIT localList->findChild<QMenu*>(u"menuFile"_qs)->aboutToShow();
    QVERIFY(!enabled(localList, "actionUploadLocalBooks"));
    QVERIFY(!enabled(localList, "actionCopyToLocalBooks"));
}

QTEST_MAIN(TestSharedWindows)
#include "test_sharedwindows.moc"
