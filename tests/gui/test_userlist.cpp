#include "accounts/adduserdialog.h"
#include "accounts/changepassworddialog.h"
#include "accounts/renameuserdialog.h"
#include "accounts/userlistwindow.h"
#include "guifixture.h"
#include "tablefaults.h"
#include "userlisthelpers.h"
#include "utilities/aboutwindow.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace vellumar;
using namespace userlist;

namespace {

QAction* menuItem(QWidget* window, const char* name) {
    return window->findChild<QAction*>(QString::fromLatin1(name));
}

QListWidget* listOf(QWidget* window) {
    return GuiFixture::control<QListWidget>(window, "列表框1");
}

} // namespace

class TestUserList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { GuiFixture::prepareProcess(); }
    void windowIsAsDesigned();
    void search_data();
    void search();
    void deleteUser_data();
    void deleteUser();
    void deleteWithoutSelectionAsksNothing();
    void deleteRefusedByTableChangesNothing();
    void deleteTouchesNoFileOutsideTheLedgers();
    void protectedLedgerKeepsItsUser_data();
    void protectedLedgerKeepsItsUser();
    void unreadableUserTableIsNotAnEmptyList_data();
    void unreadableUserTableIsNotAnEmptyList();
    void tableDamagedWhileOpenRefusesChanges_data();
    void tableDamagedWhileOpenRefusesChanges();
    void tableChangedElsewhereIsShownAgain();
    void interruptedChangeIsToldBeforeTheUsers();
    void saveOnlyConfirms();
    void exit_data();
    void exit();
    void doubleClickOpensSelectedLedger_data();
    void doubleClickOpensSelectedLedger();
    void toolsAndHelpHandOverCommandLines_data();
    void toolsAndHelpHandOverCommandLines();
    void menuItemsOpenTheirWindows_data();
    void menuItemsOpenTheirWindows();
};

void TestUserList::windowIsAsDesigned() {
    GuiFixture fixture;
    UserListWindow* window = openUserList(fixture, {QStringLiteral("乙"), QStringLiteral("甲")});
    QCOMPARE(window->windowTitle(), QStringLiteral("用户列表"));
    QCOMPARE(window->size(), QSize(261, 551));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QVERIFY(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(GuiFixture::control<QPushButton>(window, "按钮1")->text(), QStringLiteral("搜索"));
    QVERIFY(!listOf(window)->isSortingEnabled());
    QCOMPARE(listNames(window), (QStringList{QStringLiteral("乙"), QStringLiteral("甲")}));
    QVERIFY(!window->selectedUserName());

    // The four menus and their items, in order, with no keyboard shortcuts; the safety nets'
    // and the shared books' items come after the designed ones.
    const QList<QStringList> expected = {
        {QStringLiteral("文件"), QStringLiteral("保存"), QStringLiteral("退出"), QString(),
         QStringLiteral("应收汇总…"), QStringLiteral("备份与恢复"), QString(),
         QStringLiteral("上传本机账本…"), QStringLiteral("复制到本机账本…")},
        {QStringLiteral("编辑"), QStringLiteral("新建用户"), QStringLiteral("修改用户"),
         QStringLiteral("删除用户"), QStringLiteral("修改登录密码"), QStringLiteral("回收站")},
        {QStringLiteral("工具"), QStringLiteral("windows资源管理器"), QStringLiteral("打开计算器"),
         QStringLiteral("开启IE浏览器"), QStringLiteral("打开记事本")},
        {QStringLiteral("帮助"), QStringLiteral("帮助文件"), QStringLiteral("关于")}};
    QList<QStringList> shown;
    for (QAction* menuAction : window->menuBar()->actions()) {
        QStringList captions{menuAction->text()};
        for (QAction* item : menuAction->menu()->actions()) {
            captions.append(item->text());
            QVERIFY2(item->shortcut().isEmpty(), qPrintable(item->text()));
        }
        shown.append(captions);
    }
    QCOMPARE(shown, expected);
}

void TestUserList::search_data() {
    QTest::addColumn<QStringList>("users");
    QTest::addColumn<int>("selectedBefore");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("pressEnter");
    QTest::addColumn<int>("selectedAfter");

    const QStringList users = {QStringLiteral("张三丰"), QStringLiteral("李四"),
                               QStringLiteral("张三"), QStringLiteral("Anna Lee")};
    QTest::newRow("exact match wins over an earlier partial one")
        << users << -1 << QStringLiteral("张三") << false << 2;
    QTest::newRow("part of a name") << users << -1 << QStringLiteral("四") << false << 1;
    QTest::newRow("first of several partial matches")
        << users << 3 << QStringLiteral("张") << false << 0;
    QTest::newRow("letter case ignored in part of a name")
        << users << -1 << QStringLiteral("lee") << false << 3;
    QTest::newRow("Enter in the search box searches")
        << users << -1 << QStringLiteral("李四") << true << 1;
    QTest::newRow("no match keeps the selection")
        << users << 1 << QStringLiteral("王") << false << 1;
    QTest::newRow("empty search box does nothing") << users << 2 << QString() << false << 2;
    QTest::newRow("empty list") << QStringList() << -1 << QStringLiteral("张") << false << -1;
}

void TestUserList::search() {
    QFETCH(QStringList, users);
    QFETCH(int, selectedBefore);
    QFETCH(QString, text);
    QFETCH(bool, pressEnter);
    QFETCH(int, selectedAfter);
    GuiFixture fixture;
    UserListWindow* window = openUserList(fixture, users);
    if (selectedBefore >= 0)
        select(window, selectedBefore);

    auto* box = GuiFixture::control<QLineEdit>(window, "编辑框1");
    typeInto(box, text);
    if (pressEnter)
        QTest::keyClick(box, Qt::Key_Return);
    else
        QTest::mouseClick(GuiFixture::control<QPushButton>(window, "按钮1"), Qt::LeftButton);

    QCOMPARE(window->selectedPosition().value_or(-1), selectedAfter);
    if (selectedAfter >= 0) {
        const QRect shown = listOf(window)->visualItemRect(listOf(window)->item(selectedAfter));
        QVERIFY(listOf(window)->viewport()->rect().contains(shown));
    }
    QCOMPARE(listNames(window), users);
    QVERIFY(fixture.host.messages().isEmpty());
}

void TestUserList::deleteUser_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QStringList>("remaining");
    const QStringList users = {QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")};
    QTest::newRow("first") << 0 << QStringList{users[1], users[2]};
    QTest::newRow("middle") << 1 << QStringList{users[0], users[2]};
    QTest::newRow("last") << 2 << QStringList{users[0], users[1]};
}

void TestUserList::deleteUser() {
    QFETCH(int, position);
    QFETCH(QStringList, remaining);
    GuiFixture fixture;
    const QStringList users = {QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")};
    for (const QString& user : users)
        writeLedger(fixture.paths, user);
    UserListWindow* window = openUserList(fixture, users);
    select(window, position);

    fixture.host.answer(MessageAnswer::Ok);
    menuItem(window, "actionDeleteUser")->trigger();

    QCOMPARE(fixture.host.messages().size(), 1);
    QCOMPARE(fixture.host.messages().first().text, QStringLiteral("确认删除？"));
    QCOMPARE(fixture.host.messages().first().flags, 0x01);
    QCOMPARE(fixture.host.messages().first().title, QString());
    // The users below move up in the list and the table alike.
    QCOMPARE(listNames(window), remaining);
    QCOMPARE(tableNames(fixture.paths), remaining);
    QVERIFY(!QFile::exists(ledgerPath(fixture.paths, users[position])));
    // The ledger waits in the recycle bin, as it was.
    const RecycleBin::Listing bin = valueOf(window->directory()->recycleBin().holders());
    QCOMPARE(bin.holders.size(), 1);
    QCOMPARE(bin.holders.first().name, users[position]);
    QCOMPARE(bin.holders.first().position, position);
    QFile kept(window->directory()->recycleBin().ledgerOf(bin.holders.first().id));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), "ledger of " + users[position].toUtf8());
    for (const QString& user : remaining)
        QCOMPARE(ledgerContent(fixture.paths, user), "ledger of " + user.toUtf8());
    QVERIFY(!window->selectedUserName());
    VERIFY_SCRIPT_DONE(fixture.host);

    // Cancelling leaves list, table and ledgers as they are.
    select(window, 0);
    fixture.host.answer(MessageAnswer::Cancel);
    menuItem(window, "actionDeleteUser")->trigger();
    QCOMPARE(listNames(window), remaining);
    QCOMPARE(tableNames(fixture.paths), remaining);
    QVERIFY(QFile::exists(ledgerPath(fixture.paths, remaining[0])));
    VERIFY_SCRIPT_DONE(fixture.host);
}

void TestUserList::deleteWithoutSelectionAsksNothing() {
    GuiFixture fixture;
    UserListWindow* window = openUserList(fixture, {QStringLiteral("甲")});
    // A list that has the focus but no chosen user has nothing to delete.
    listOf(window)->setFocus();
    listOf(window)->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    menuItem(window, "actionDeleteUser")->trigger();
    menuItem(window, "actionRenameUser")->trigger();
    QVERIFY(fixture.host.messages().isEmpty());
    QCOMPARE(fixture.windows(), QList<QWidget*>{window});
    QCOMPARE(tableNames(fixture.paths), QStringList{QStringLiteral("甲")});
}

void TestUserList::deleteRefusedByTableChangesNothing() {
    GuiFixture fixture;
    const QStringList users = {QStringLiteral("甲"), QStringLiteral("乙")};
    writeLedger(fixture.paths, users[1]);
    UserListWindow* window = openUserList(fixture, users);
    select(window, 1);
    fixture.host.answer(MessageAnswer::Ok);
    {
        FileWritesFail failing;
        menuItem(window, "actionDeleteUser")->trigger();
    }
    QCOMPARE(fixture.host.messages().size(), 2);
    QVERIFY(fixture.host.messages().last().text.startsWith(QStringLiteral("用户“乙”没有删除。")));
    QVERIFY(!fixture.host.messages().last().detail.isEmpty());
    QCOMPARE(fixture.host.messages().last().flags, 0x30);
    QCOMPARE(listNames(window), users);
    QCOMPARE(tableNames(fixture.paths), users);
    QVERIFY(QFile::exists(ledgerPath(fixture.paths, users[1])));
}

// A table written by an older copy of the program may hold a name that leads out of the ledger
// folder; deleting that user must not delete the file it points at.
void TestUserList::deleteTouchesNoFileOutsideTheLedgers() {
    GuiFixture fixture;
    const QString outside = fixture.paths.sourceDirectory() + QStringLiteral("/keep.z");
    QFile file(outside);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    UserListWindow* window = openUserList(fixture, {QStringLiteral("../keep")});
    select(window, 0);
    fixture.host.answer(MessageAnswer::Ok);
    menuItem(window, "actionDeleteUser")->trigger();
    QVERIFY(listNames(window).isEmpty());
    QVERIFY(tableNames(fixture.paths).isEmpty());
    QVERIFY(QFile::exists(outside));
}

void TestUserList::protectedLedgerKeepsItsUser_data() {
    QTest::addColumn<bool>("rename");
    QTest::addColumn<QString>("message");
    QTest::newRow("delete") << false << "用户“乙”没有删除，因为其账本文件无法移到回收站";
    QTest::newRow("rename") << true << "账本文件无法改名，用户名没有修改。";
}

// A ledger the system will not let go of (immutable here) is never left behind by its user:
// the user stays, with the ledger, and the operator learns why.
void TestUserList::protectedLedgerKeepsItsUser() {
    QFETCH(bool, rename);
    QFETCH(QString, message);
    GuiFixture fixture;
    const QStringList users = {QStringLiteral("甲"), QStringLiteral("乙")};
    writeLedger(fixture.paths, users[1]);
    UserListWindow* window = openUserList(fixture, users);
    select(window, 1);
    const ImmutableFile guarded(ledgerPath(fixture.paths, users[1]));
    if (!guarded.active())
        QSKIP("this file system does not let the test protect a file");
    if (rename) {
        auto* dialog = new RenameUserDialog(fixture.services, *window);
        fixture.frame.open(dialog);
        putInto(GuiFixture::control<QLineEdit>(dialog, "编辑框1"), QStringLiteral("丙"));
        QTest::mouseClick(GuiFixture::control<QPushButton>(dialog, "按钮1"), Qt::LeftButton);
    } else {
        fixture.host.answer(MessageAnswer::Ok);
        menuItem(window, "actionDeleteUser")->trigger();
    }
    const ScriptedHost::Message& shown = fixture.host.messages().last();
    QVERIFY2(shown.text.contains(message), qPrintable(shown.text));
    // The system's reason, in plain words and in its own.
    QVERIFY2(shown.text.contains(QStringLiteral("系统不允许改动这个文件")), qPrintable(shown.text));
    QVERIFY(!shown.detail.isEmpty());
    QCOMPARE(shown.flags, 0x30);
    QCOMPARE(listNames(window), users);
    QCOMPARE(tableNames(fixture.paths), users);
    QCOMPARE(ledgerContent(fixture.paths, users[1]), QByteArray("ledger of 乙"));
    QCOMPARE(QDir(fixture.paths.ledgerDirectory()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("乙.z")});
}

void TestUserList::unreadableUserTableIsNotAnEmptyList_data() {
    addTableFaultRows(false);
}

// A user table that cannot be read must not look like one without users: the list says so,
// and nothing that would change the users can be chosen.
void TestUserList::unreadableUserTableIsNotAnEmptyList() {
    QFETCH(int, fault);
    GuiFixture fixture;
    writeUsers(fixture.paths, {QStringLiteral("甲")});
    const TableFault broken(fixture.paths.userTable(), TableFault::Kind(fault));
    auto* window = new UserListWindow(fixture.services);
    fixture.frame.open(window);

    QCOMPARE(fixture.host.messages().size(), 1);
    const ScriptedHost::Message& shown = fixture.host.messages().first();
    QVERIFY2(shown.text.startsWith(QStringLiteral("无法读取用户表，现在不能显示、添加、修改或删除"
                                                  "用户。\n")),
             qPrintable(shown.text));
    QVERIFY(shown.text.contains(QStringLiteral("liebiao.edb")));
    QCOMPARE(shown.flags, 0x30);
    auto* notice = window->findChild<QLabel*>(QStringLiteral("userTableUnavailable"));
    QVERIFY(notice && notice->isVisible());
    QVERIFY(notice->text().startsWith(QStringLiteral("无法读取用户表")));
    QVERIFY(!listOf(window)->isEnabled());
    for (const char* item : {"actionNewUser", "actionRenameUser", "actionDeleteUser"}) {
        QVERIFY2(!menuItem(window, item)->isEnabled(), item);
        menuItem(window, item)->trigger();
    }
    QCOMPARE(fixture.windows(), QList<QWidget*>{window});
    QCOMPARE(fixture.host.messages().size(), 1);
    QVERIFY(broken.untouched());
}

void TestUserList::tableDamagedWhileOpenRefusesChanges_data() {
    QTest::addColumn<QString>("change");
    QTest::newRow("add") << "add";
    QTest::newRow("rename") << "rename";
    QTest::newRow("delete") << "delete";
}

void TestUserList::tableDamagedWhileOpenRefusesChanges() {
    QFETCH(QString, change);
    GuiFixture fixture;
    const QStringList users = {QStringLiteral("甲"), QStringLiteral("乙")};
    writeLedger(fixture.paths, users[1]);
    UserListWindow* window = openUserList(fixture, users);
    select(window, 1);
    const TableFault broken(fixture.paths.userTable(), TableFault::Kind::Damaged);
    if (change == u"delete") {
        fixture.host.answer(MessageAnswer::Ok);
        menuItem(window, "actionDeleteUser")->trigger();
    } else {
        menuItem(window, change == u"add" ? "actionNewUser" : "actionRenameUser")->trigger();
        QWidget* dialog = fixture.frame.topWindow();
        putInto(GuiFixture::control<QLineEdit>(dialog, "编辑框1"), QStringLiteral("丙"));
        QTest::mouseClick(GuiFixture::control<QPushButton>(dialog, "按钮1"), Qt::LeftButton);
    }
    const ScriptedHost::Message& shown = fixture.host.messages().last();
    QVERIFY2(shown.text.contains(QStringLiteral("liebiao.edb")), qPrintable(shown.text));
    QCOMPARE(shown.flags, 0x30);
    QCOMPARE(listNames(window), users);
    QVERIFY(broken.untouched());
    QCOMPARE(QDir(fixture.paths.ledgerDirectory()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("乙.z")});
}

// Another copy of the program changed the table: the list shows the table again rather than
// act on a position that now means someone else.
void TestUserList::tableChangedElsewhereIsShownAgain() {
    GuiFixture fixture;
    writeLedger(fixture.paths, QStringLiteral("乙"));
    UserListWindow* window = openUserList(fixture, {QStringLiteral("甲"), QStringLiteral("乙")});
    select(window, 1);
    must(valueOf(RecordTable::open(fixture.paths.userTable())).deleteRecords(1, 1));

    fixture.host.answer(MessageAnswer::Ok);
    menuItem(window, "actionDeleteUser")->trigger();
    QVERIFY2(fixture.host.messages().last().text.contains(QStringLiteral("已重新读取")),
             qPrintable(fixture.host.messages().last().text));
    QCOMPARE(listNames(window), QStringList{QStringLiteral("乙")});
    QCOMPARE(tableNames(fixture.paths), QStringList{QStringLiteral("乙")});
    QCOMPARE(ledgerContent(fixture.paths, QStringLiteral("乙")), QByteArray("ledger of 乙"));
    QVERIFY(!window->selectedPosition());
    VERIFY_SCRIPT_DONE(fixture.host);
}

void TestUserList::interruptedChangeIsToldBeforeTheUsers() {
    GuiFixture fixture;
    {
        auto table = valueOf(RecordTable::open(fixture.paths.userTable()));
        must(table.appendRecord({QStringLiteral("甲")}));
        must(table.change([](RecordTable::Editor& editor) {
            return editor.addNote(QStringLiteral("not one of ours")).status();
        }));
    }
    UserListWindow* window = openUserList(fixture);
    QCOMPARE(fixture.host.messages().size(), 1);
    QCOMPARE(fixture.host.messages().first().flags, 0x30);
    QCOMPARE(fixture.host.messages().first().detail, QStringLiteral("not one of ours"));
    QCOMPARE(listNames(window), QStringList{QStringLiteral("甲")});
    QVERIFY(listOf(window)->isEnabled());
}

void TestUserList::saveOnlyConfirms() {
    GuiFixture fixture;
    UserListWindow* window = openUserList(fixture);
    menuItem(window, "actionSave")->trigger();
    QCOMPARE(fixture.host.messages().size(), 1);
    QCOMPARE(fixture.host.messages().first().text, QStringLiteral("记录已保存！"));
    QCOMPARE(fixture.host.messages().first().flags, 0);
    QCOMPARE(fixture.host.messages().first().title, QString());
}

void TestUserList::exit_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("OK") << int(MessageAnswer::Ok) << true;
    QTest::newRow("Cancel") << int(MessageAnswer::Cancel) << false;
}

void TestUserList::exit() {
    QFETCH(int, answer);
    QFETCH(bool, closes);
    GuiFixture fixture;
    QSignalSpy ended(&fixture.frame, &Frame::lastWindowClosed);
    UserListWindow* window = openUserList(fixture);
    fixture.host.answer(answer);
    menuItem(window, "actionExit")->trigger();
    // Asked once: leaving through the menu does not also ask the close question.
    QCOMPARE(fixture.host.messages().size(), 1);
    QCOMPARE(fixture.host.messages().first().text, QStringLiteral("确认退出？"));
    QCOMPARE(fixture.host.messages().first().flags, 0x01);
    QCOMPARE(ended.size(), closes ? 1 : 0);
    QCOMPARE(fixture.windows().isEmpty(), closes);
    VERIFY_SCRIPT_DONE(fixture.host);
}

void TestUserList::doubleClickOpensSelectedLedger_data() {
    QTest::addColumn<bool>("onItem");
    QTest::addColumn<bool>("factoryGivesWindow");
    QTest::addColumn<QStringList>("asked");
    QTest::newRow("on a user") << true << true << QStringList{QStringLiteral("乙")};
    QTest::newRow("beside the users") << false << true << QStringList();
    QTest::newRow("no window made") << true << false << QStringList{QStringLiteral("乙")};
}

void TestUserList::doubleClickOpensSelectedLedger() {
    QFETCH(bool, onItem);
    QFETCH(bool, factoryGivesWindow);
    QFETCH(QStringList, asked);
    GuiFixture fixture;
    UserListWindow* window = openUserList(fixture, {QStringLiteral("甲"), QStringLiteral("乙")});
    QStringList names;
    window->setLedgerWindowFactory([&](const QString& name) -> QWidget* {
        names.append(name);
        return factoryGivesWindow ? new QWidget : nullptr;
    });

    QListWidget* list = listOf(window);
    const QPoint where = onItem ? list->visualItemRect(list->item(1)).center()
                                : QPoint(20, list->viewport()->height() - 10);
    // A real double-click: a first click, then the second one that the system reports as double.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, where);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, where);

    QCOMPARE(names, asked);
    QCOMPARE(fixture.windows().size(), onItem && factoryGivesWindow ? 2 : 1);
    if (onItem)
        QCOMPARE(window->selectedUserName(), std::optional<QString>(QStringLiteral("乙")));

    // Without a selection the ledger hook opens nothing.
    names.clear();
    list->clearSelection();
    window->openLedger();
    QVERIFY(names.isEmpty());
}

void TestUserList::toolsAndHelpHandOverCommandLines_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("commandLine");
    QTest::newRow("explorer") << QStringLiteral("actionExplorer")
                              << QStringLiteral("C:\\WINDOWS\\explorer.exe");
    QTest::newRow("calculator") << QStringLiteral("actionCalculator")
                                << QStringLiteral("C:\\WINDOWS\\system32\\calc.exe");
    QTest::newRow("browser") << QStringLiteral("actionBrowser")
                             << QStringLiteral(
                                    "C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE");
    QTest::newRow("notepad") << QStringLiteral("actionNotepad")
                             << QStringLiteral("C:\\WINDOWS\\NOTEPAD.EXE");
    QTest::newRow("help") << QStringLiteral("actionHelp") << QStringLiteral("\\help\\*help.doc");
}

void TestUserList::toolsAndHelpHandOverCommandLines() {
    QFETCH(QString, item);
    QFETCH(QString, commandLine);
    GuiFixture fixture;
    UserListWindow* window = openUserList(fixture);
    if (item == u"actionHelp")
        commandLine.prepend(fixture.paths.programDirectory());
    QAction* action = window->findChild<QAction*>(item);
    // Each selection starts one more, and nothing is said either way.
    action->trigger();
    action->trigger();
    QCOMPARE(fixture.host.commandLines(), (QStringList{commandLine, commandLine}));
    QVERIFY(fixture.host.messages().isEmpty());
    QCOMPARE(fixture.windows(), QList<QWidget*>{window});
}

void TestUserList::menuItemsOpenTheirWindows_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("opened");
    QTest::newRow("new user") << QStringLiteral("actionNewUser")
                              << QStringLiteral("vellumar::AddUserDialog");
    QTest::newRow("rename user") << QStringLiteral("actionRenameUser")
                                 << QStringLiteral("vellumar::RenameUserDialog");
    QTest::newRow("password") << QStringLiteral("actionChangePassword")
                              << QStringLiteral("vellumar::ChangePasswordDialog");
    QTest::newRow("about") << QStringLiteral("actionAbout")
                           << QStringLiteral("vellumar::AboutWindow");
}

void TestUserList::menuItemsOpenTheirWindows() {
    QFETCH(QString, item);
    QFETCH(QString, opened);
    GuiFixture fixture;
    UserListWindow* window = openUserList(fixture, {QStringLiteral("甲")});
    select(window, 0);
    window->findChild<QAction*>(item)->trigger();
    QCOMPARE(fixture.windows().size(), 2);
    QWidget* dialog = fixture.frame.topWindow();
    QCOMPARE(QString::fromLatin1(dialog->metaObject()->className()), opened);
    QVERIFY(dialog->isModal());
    QVERIFY(!dialog->windowIcon().isNull());

    // The close box closes it without a question; so does Esc on the next opening.
    GuiFixture::closeFromFrame(dialog);
    QCOMPARE(fixture.windows(), QList<QWidget*>{window});
    window->findChild<QAction*>(item)->trigger();
    QTest::keyClick(fixture.frame.topWindow(), Qt::Key_Escape);
    QCOMPARE(fixture.windows(), QList<QWidget*>{window});
    QVERIFY(fixture.host.messages().isEmpty());
    QCOMPARE(listNames(window), QStringList{QStringLiteral("甲")});
}

QTEST_MAIN(TestUserList)
#include "test_userlist.moc"
