#include "accounts/adduserdialog.h"
#include "accounts/changepassworddialog.h"
#include "accounts/renameuserdialog.h"
#include "accounts/userlistwindow.h"
#include "guifixture.h"
#include "storage/passwordhash.h"
#include "storage/passwordstore.h"
#include "tablefaults.h"
#include "userlisthelpers.h"
#include "utilities/aboutwindow.h"

#include <QAction>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>

using namespace vellumar;
using namespace userlist;

namespace {

struct Control {
    const char* name;
    QRect geometry;
    QString caption; // label and button captions; empty for edit boxes
};

void checkControls(QWidget* window, const QList<Control>& controls) {
    for (const Control& expected : controls) {
        auto* control = GuiFixture::control<QWidget>(window, expected.name);
        QVERIFY2(control, expected.name);
        QCOMPARE(control->geometry(), expected.geometry);
        if (auto* label = qobject_cast<QLabel*>(control))
            QCOMPARE(label->text(), expected.caption);
        if (auto* button = qobject_cast<QPushButton*>(control))
            QCOMPARE(button->text(), expected.caption);
        if (auto* box = qobject_cast<QLineEdit*>(control)) {
            QVERIFY(box->text().isEmpty());
            QVERIFY2(!box->accessibleName().isEmpty(), expected.name);
        }
    }
}

QPushButton* button(QWidget* window, const char* name) {
    return GuiFixture::control<QPushButton>(window, name);
}

QLineEdit* box(QWidget* window, const char* name) {
    return GuiFixture::control<QLineEdit>(window, name);
}

QStringList texts(const ScriptedHost& host) {
    return host.messageTexts();
}

void storePassword(const DataPaths& paths, const QString& password) {
    auto table = RecordTable::open(paths.passwordTable());
    QVERIFY(PasswordStore(*table).change(password).ok());
}

QString storedPassword(const DataPaths& paths) {
    return valueOf(valueOf(RecordTable::open(paths.passwordTable())).readField(1, 1));
}

template <typename Dialog> Dialog* openDialog(GuiFixture& fixture, UserListWindow* list) {
    auto* dialog = new Dialog(fixture.services, *list);
    fixture.frame.open(dialog);
    return dialog;
}

} // namespace

class TestUserDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { GuiFixture::prepareProcess(); }
    void dialogsAreAsDesigned_data();
    void dialogsAreAsDesigned();
    void addUser_data();
    void addUser();
    void addUserWithEnterAndCancel();
    void addUserRefusedByTable();
    void nameBoxIsCappedInFileNameBytes_data();
    void nameBoxIsCappedInFileNameBytes();
    void renameUser_data();
    void renameUser();
    void renameCancelChangesNothing();
    void renameWhenLedgerCannotMove();
    void renameRefusedByTablePutsLedgerBack();
    void changePassword_data();
    void changePassword();
    void passwordWriteFailureIsReported();
    void unreadablePasswordChangesNothing_data();
    void unreadablePasswordChangesNothing();
    void aboutWindowTexts();
};

void TestUserDialogs::dialogsAreAsDesigned_data() {
    QTest::addColumn<QString>("which");
    QTest::newRow("add user") << QStringLiteral("add");
    QTest::newRow("rename user") << QStringLiteral("rename");
    QTest::newRow("change password") << QStringLiteral("password");
}

void TestUserDialogs::dialogsAreAsDesigned() {
    QFETCH(QString, which);
    GuiFixture fixture;
    UserListWindow* list = openUserList(fixture);
    QWidget* dialog = nullptr;
    QList<Control> controls;
    QStringList tabOrder;
    if (which == u"password") {
        dialog = new ChangePasswordDialog(fixture.services);
        fixture.frame.open(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("修改登录密码"));
        QCOMPARE(dialog->size(), QSize(357, 245));
        controls = {
            {"标签1", QRect(72, 22, 104, 32), QStringLiteral("原密码：")},
            {"编辑框1", QRect(144, 24, 128, 24), {}},
            {"标签4", QRect(80, 56, 296, 24), QStringLiteral("（注：如未设密码，此项为空。）")},
            {"标签2", QRect(72, 80, 64, 32), QStringLiteral("修改密码：")},
            {"编辑框2", QRect(144, 80, 128, 24), {}},
            {"标签3", QRect(72, 120, 72, 32), QStringLiteral("确认密码：")},
            {"编辑框3", QRect(144, 120, 128, 24), {}},
            {"按钮1", QRect(64, 168, 80, 24), QStringLiteral("修改")},
            {"按钮2", QRect(192, 168, 80, 24), QStringLiteral("取消")}};
        tabOrder = {QStringLiteral("编辑框1"), QStringLiteral("编辑框2"), QStringLiteral("编辑框3"),
                    QStringLiteral("按钮1"), QStringLiteral("按钮2")};
        for (const char* name : {"编辑框1", "编辑框2", "编辑框3"}) {
            QLineEdit* entry = box(dialog, name);
            QCOMPARE(entry->echoMode(), QLineEdit::Password);
            QCOMPARE(
                entry->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, entry),
                int(u'*'));
        }
    } else {
        const bool add = which == u"add";
        dialog = add ? static_cast<QWidget*>(openDialog<AddUserDialog>(fixture, list))
                     : openDialog<RenameUserDialog>(fixture, list);
        QCOMPARE(dialog->windowTitle(),
                 add ? QStringLiteral("增加新纪录") : QStringLiteral("修改纪录"));
        QCOMPARE(dialog->size(), QSize(281, 143));
        controls = {{"标签1", QRect(48, 20, 72, 32), QStringLiteral("用户名：")},
                    {"编辑框1", QRect(112, 24, 128, 24), {}},
                    {"按钮1", QRect(48, 72, 72, 24),
                     add ? QStringLiteral("确认添加") : QStringLiteral("确认修改")},
                    {"按钮2", QRect(152, 72, 72, 24), QStringLiteral("取消")}};
        tabOrder = {QStringLiteral("编辑框1"), QStringLiteral("按钮1"), QStringLiteral("按钮2")};
        QCOMPARE(box(dialog, "编辑框1")->echoMode(), QLineEdit::Normal);
    }
    checkControls(dialog, controls);
    QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
    QVERIFY(!(dialog->windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(button(dialog, "按钮1")->isDefault());
    // The focus starts in the first box and follows the layout.
    QWidget* focus = dialog->focusWidget();
    for (const QString& name : tabOrder) {
        QCOMPARE(focus->objectName(), name);
        focus = focus->nextInFocusChain();
        while (focus->focusPolicy() == Qt::NoFocus)
            focus = focus->nextInFocusChain();
    }
}

void TestUserDialogs::addUser_data() {
    QTest::addColumn<QStringList>("users");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("selected");

    const QStringList users = {QStringLiteral("张三"), QStringLiteral("Anna")};
    const QString exists = QStringLiteral("此用户已存在！");
    const QString invalid = QStringLiteral("用户名无效！");
    QTest::newRow("new name goes last")
        << users << QStringLiteral("李四") << (users + QStringList{QStringLiteral("李四")})
        << QString() << -1;
    QTest::newRow("empty name into an empty list")
        << QStringList() << QString() << QStringList{QString()} << QString() << -1;
    QTest::newRow("name already held") << users << QStringLiteral("Anna") << users << exists << 1;
    QTest::newRow("other letter case is another name")
        << users << QStringLiteral("anna") << (users + QStringList{QStringLiteral("anna")})
        << QString() << -1;
    QTest::newRow("part of a held name is another name")
        << users << QStringLiteral("张") << (users + QStringList{QStringLiteral("张")}) << QString()
        << -1;
    QTest::newRow("slash") << users << QStringLiteral("../../x") << users << invalid << -1;
    QTest::newRow("backslash") << users << QStringLiteral("a\\b") << users << invalid << -1;
    QTest::newRow("dot") << users << QStringLiteral(".") << users << invalid << -1;
    QTest::newRow("dot dot") << users << QStringLiteral("..") << users << invalid << -1;
    QTest::newRow("control character")
        << users << QStringLiteral("a\u0001b") << users << invalid << -1;
    QTest::newRow("dots inside a name are fine")
        << users << QStringLiteral("A.B..") << (users + QStringList{QStringLiteral("A.B..")})
        << QString() << -1;
    // The ledger file name "name.z" must fit the folder's 255 bytes: 85 Chinese characters
    // take 257 of them.
    QTest::newRow("name too long for a file name")
        << users << QString(85, QChar(u'长')) << users << invalid << -1;
    // A ledger left behind under the name is never handed to a new user.
    QTest::newRow("ledger file without a user")
        << users << QStringLiteral("遗留") << users << QStringLiteral("账本文件夹里已经有一个文件")
        << -1;
}

void TestUserDialogs::addUser() {
    QFETCH(QStringList, users);
    QFETCH(QString, typed);
    QFETCH(QStringList, after);
    QFETCH(QString, message);
    QFETCH(int, selected);
    GuiFixture fixture;
    writeLedger(fixture.paths, QStringLiteral("遗留"));
    UserListWindow* list = openUserList(fixture, users);
    auto* dialog = openDialog<AddUserDialog>(fixture, list);
    putInto(box(dialog, "编辑框1"), typed);
    QTest::mouseClick(button(dialog, "按钮1"), Qt::LeftButton);

    QCOMPARE(listNames(list), after);
    QCOMPARE(tableNames(fixture.paths), after);
    checkMessage(fixture.host, message);
    QCOMPARE(list->selectedPosition().value_or(-1), selected);
    // A file left behind is never moved or changed on the way.
    QCOMPARE(ledgerContent(fixture.paths, QStringLiteral("遗留")), QByteArray("ledger of 遗留"));
    // The dialog closes after every confirmation, added or refused.
    QCOMPARE(fixture.windows(), QList<QWidget*>{list});
    // Nothing reaches the disk outside the ledger folder.
    QVERIFY(!QFileInfo::exists(fixture.paths.programDirectory() + QStringLiteral("/x.z")));
}

void TestUserDialogs::addUserWithEnterAndCancel() {
    GuiFixture fixture;
    UserListWindow* list = openUserList(fixture, {QStringLiteral("甲")});
    auto* dialog = openDialog<AddUserDialog>(fixture, list);
    typeInto(box(dialog, "编辑框1"), QStringLiteral("乙"));
    QTest::mouseClick(button(dialog, "按钮2"), Qt::LeftButton);
    QCOMPARE(fixture.windows(), QList<QWidget*>{list});
    QCOMPARE(tableNames(fixture.paths), QStringList{QStringLiteral("甲")});

    dialog = openDialog<AddUserDialog>(fixture, list);
    QVERIFY(box(dialog, "编辑框1")->text().isEmpty());
    typeInto(box(dialog, "编辑框1"), QStringLiteral("乙"));
    QTest::keyClick(box(dialog, "编辑框1"), Qt::Key_Return);
    QCOMPARE(fixture.windows(), QList<QWidget*>{list});
    const QStringList both = {QStringLiteral("甲"), QStringLiteral("乙")};
    QCOMPARE(tableNames(fixture.paths), both);

    // The user just added is the last record: deleting it at once removes exactly that one.
    select(list, 1);
    fixture.host.answer(MessageAnswer::Ok);
    list->findChild<QAction*>(QStringLiteral("actionDeleteUser"))->trigger();
    QCOMPARE(tableNames(fixture.paths), QStringList{QStringLiteral("甲")});
    VERIFY_SCRIPT_DONE(fixture.host);
}

void TestUserDialogs::addUserRefusedByTable() {
    GuiFixture fixture;
    UserListWindow* list = openUserList(fixture, {QStringLiteral("甲")});
    auto* dialog = openDialog<AddUserDialog>(fixture, list);
    typeInto(box(dialog, "编辑框1"), QStringLiteral("乙"));
    {
        FileWritesFail failing;
        QTest::mouseClick(button(dialog, "按钮1"), Qt::LeftButton);
    }
    checkMessage(fixture.host, QStringLiteral("用户没有添加。"));
    QVERIFY(!fixture.host.messages().first().detail.isEmpty());
    QCOMPARE(listNames(list), QStringList{QStringLiteral("甲")});
    QCOMPARE(tableNames(fixture.paths), QStringList{QStringLiteral("甲")});
}

void TestUserDialogs::nameBoxIsCappedInFileNameBytes_data() {
    QTest::addColumn<bool>("add");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("typed"); // one Latin letter is typed with the keyboard
    QTest::addColumn<QString>("after");
    const QString latin = QString(253, u'n'), chinese = QString(84, QChar(u'长'));
    for (const bool add : {true, false}) {
        const char* dialog = add ? "add: " : "rename: ";
        // "name.z" fits the folder's 255 bytes; a Chinese character takes three of them.
        QTest::addRow("%sLatin at the cap", dialog) << add << latin << "n" << latin;
        QTest::addRow("%sChinese at the cap", dialog) << add << chinese << "长" << chinese;
        QTest::addRow("%sa letter still fits after the Chinese", dialog)
            << add << chinese << "n" << chinese + u'n';
        QTest::addRow("%sa Chinese character no longer fits", dialog)
            << add << latin.left(251) << "长" << latin.left(251);
        QTest::addRow("%sa Chinese character just fits", dialog)
            << add << latin.left(250) << "长" << latin.left(250) + u'长';
        QTest::addRow("%sa pasted name too long is refused whole", dialog)
            << add << QString() << QString(86, QChar(u'长')) << QString();
    }
}

void TestUserDialogs::nameBoxIsCappedInFileNameBytes() {
    QFETCH(bool, add);
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(QString, after);
    GuiFixture fixture;
    UserListWindow* list = openUserList(fixture, {QStringLiteral("甲")});
    select(list, 0);
    QWidget* dialog = add ? static_cast<QWidget*>(openDialog<AddUserDialog>(fixture, list))
                          : openDialog<RenameUserDialog>(fixture, list);
    QLineEdit* name = box(dialog, "编辑框1");
    name->setText(before);
    name->end(false);
    if (typed == u"n")
        QTest::keyClick(name, Qt::Key_N);
    else
        name->insert(typed);
    QCOMPARE(name->text(), after);
}

void TestUserDialogs::renameUser_data() {
    QTest::addColumn<QStringList>("ledgers"); // names with a saved ledger before the rename
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("after");
    // The one message shown, if any: the program's own words exactly, or the start of a failure
    // report (which carries the warning icon).
    QTest::addColumn<QString>("message");
    // Ledger files afterwards: name -> whose records it holds.
    QTest::addColumn<QStringList>("ledgerFiles");
    QTest::addColumn<QStringList>("ledgerOwners");

    // Users 甲, 乙, 丙; 乙 is selected.
    const QString jia = QStringLiteral("甲"), yi = QStringLiteral("乙"),
                  bing = QStringLiteral("丙"), ding = QStringLiteral("丁"),
                  wu = QStringLiteral("戊");
    const QString exists = QStringLiteral("此用户已存在！");
    const QString invalid = QStringLiteral("用户名无效！");
    const QString orphan = QStringLiteral("账本文件夹里已经有一个文件");
    QTest::newRow("ledger moves with the name")
        << QStringList{jia, yi} << ding << QStringList{jia, ding, bing} << QString()
        << QStringList{jia, ding} << QStringList{jia, yi};
    QTest::newRow("never saved: list and table only")
        << QStringList{jia} << ding << QStringList{jia, ding, bing} << QString() << QStringList{jia}
        << QStringList{jia};
    QTest::newRow("own name changes nothing") << QStringList{yi} << yi << QStringList{jia, yi, bing}
                                              << QString() << QStringList{yi} << QStringList{yi};
    QTest::newRow("another user's name is refused")
        << QStringList{jia, yi} << jia << QStringList{jia, yi, bing} << exists
        << QStringList{jia, yi} << QStringList{jia, yi};
    QTest::newRow("another user's name without ledgers is refused")
        << QStringList() << bing << QStringList{jia, yi, bing} << exists << QStringList()
        << QStringList();
    QTest::newRow("a ledger file without a user is never taken over")
        << QStringList{yi, wu} << wu << QStringList{jia, yi, bing} << orphan << QStringList{yi, wu}
        << QStringList{yi, wu};
    QTest::newRow("a name too long for a file name")
        << QStringList{yi} << QString(86, QChar(u'长')) << QStringList{jia, yi, bing} << invalid
        << QStringList{yi} << QStringList{yi};
    QTest::newRow("folder in the name")
        << QStringList{yi} << QStringLiteral("../丁") << QStringList{jia, yi, bing} << invalid
        << QStringList{yi} << QStringList{yi};
    QTest::newRow("dot dot") << QStringList{yi} << QStringLiteral("..")
                             << QStringList{jia, yi, bing} << invalid << QStringList{yi}
                             << QStringList{yi};
    QTest::newRow("line break") << QStringList{yi} << QStringLiteral("丁\n")
                                << QStringList{jia, yi, bing} << invalid << QStringList{yi}
                                << QStringList{yi};
    QTest::newRow("empty name is allowed")
        << QStringList{yi} << QString() << QStringList{jia, QString(), bing} << QString()
        << QStringList{QString()} << QStringList{yi};
}

void TestUserDialogs::renameUser() {
    QFETCH(QStringList, ledgers);
    QFETCH(QString, typed);
    QFETCH(QStringList, after);
    QFETCH(QString, message);
    QFETCH(QStringList, ledgerFiles);
    QFETCH(QStringList, ledgerOwners);
    GuiFixture fixture;
    for (const QString& name : ledgers)
        writeLedger(fixture.paths, name);
    UserListWindow* list =
        openUserList(fixture, {QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")});
    select(list, 1);
    auto* dialog = openDialog<RenameUserDialog>(fixture, list);
    putInto(box(dialog, "编辑框1"), typed);
    QTest::mouseClick(button(dialog, "按钮1"), Qt::LeftButton);

    QCOMPARE(listNames(list), after);
    QCOMPARE(tableNames(fixture.paths), after);
    QCOMPARE(list->selectedPosition(), std::optional<int>(1));
    checkMessage(fixture.host, message);
    // A refused name leaves the dialog open for another try.
    QCOMPARE(fixture.windows().size(), message.isEmpty() ? 1 : 2);

    QStringList onDisk =
        QDir(fixture.paths.ledgerDirectory()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QStringList expectedFiles;
    for (const QString& name : ledgerFiles)
        expectedFiles.append(name + QStringLiteral(".z"));
    onDisk.sort();
    expectedFiles.sort();
    QCOMPARE(onDisk, expectedFiles);
    for (qsizetype i = 0; i < ledgerFiles.size(); ++i)
        QCOMPARE(ledgerContent(fixture.paths, ledgerFiles[i]),
                 "ledger of " + ledgerOwners[i].toUtf8());
}

void TestUserDialogs::renameCancelChangesNothing() {
    GuiFixture fixture;
    writeLedger(fixture.paths, QStringLiteral("甲"));
    UserListWindow* list = openUserList(fixture, {QStringLiteral("甲")});
    select(list, 0);
    auto* dialog = openDialog<RenameUserDialog>(fixture, list);
    QVERIFY(box(dialog, "编辑框1")->text().isEmpty());
    typeInto(box(dialog, "编辑框1"), QStringLiteral("乙"));
    QTest::mouseClick(button(dialog, "按钮2"), Qt::LeftButton);
    QCOMPARE(fixture.windows(), QList<QWidget*>{list});
    QCOMPARE(tableNames(fixture.paths), QStringList{QStringLiteral("甲")});
    QVERIFY(QFile::exists(ledgerPath(fixture.paths, QStringLiteral("甲"))));
    QVERIFY(fixture.host.messages().isEmpty());
}

void TestUserDialogs::renameWhenLedgerCannotMove() {
    GuiFixture fixture;
    writeLedger(fixture.paths, QStringLiteral("甲"));
    UserListWindow* list = openUserList(fixture, {QStringLiteral("甲")});
    select(list, 0);
    auto* dialog = openDialog<RenameUserDialog>(fixture, list);
    typeInto(box(dialog, "编辑框1"), QStringLiteral("乙"));
    fixture.files.fail(FaultyFileSystem::Operation::Rename);
    QTest::mouseClick(button(dialog, "按钮1"), Qt::LeftButton);

    // The user keeps the name its ledger is filed under.
    QCOMPARE(fixture.host.messages().size(), 1);
    QCOMPARE(fixture.host.messages().first().flags, 0x30);
    QCOMPARE(listNames(list), QStringList{QStringLiteral("甲")});
    QCOMPARE(tableNames(fixture.paths), QStringList{QStringLiteral("甲")});
    QCOMPARE(ledgerContent(fixture.paths, QStringLiteral("甲")), QByteArray("ledger of 甲"));
    QCOMPARE(fixture.windows().size(), 2);
}

void TestUserDialogs::renameRefusedByTablePutsLedgerBack() {
    GuiFixture fixture;
    writeLedger(fixture.paths, QStringLiteral("甲"));
    UserListWindow* list = openUserList(fixture, {QStringLiteral("甲")});
    select(list, 0);
    auto* dialog = openDialog<RenameUserDialog>(fixture, list);
    typeInto(box(dialog, "编辑框1"), QStringLiteral("乙"));
    {
        FileWritesFail failing;
        QTest::mouseClick(button(dialog, "按钮1"), Qt::LeftButton);
    }
    checkMessage(fixture.host, QStringLiteral("用户名没有修改。"));
    QCOMPARE(listNames(list), QStringList{QStringLiteral("甲")});
    QCOMPARE(tableNames(fixture.paths), QStringList{QStringLiteral("甲")});
    QCOMPARE(ledgerContent(fixture.paths, QStringLiteral("甲")), QByteArray("ledger of 甲"));
    QVERIFY(!QFile::exists(ledgerPath(fixture.paths, QStringLiteral("乙"))));
}

void TestUserDialogs::changePassword_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("oldTyped");
    QTest::addColumn<QString>("newTyped");
    QTest::addColumn<QString>("confirmTyped");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("signsInAfter");

    const QString wrongOld = QStringLiteral("原始密码填写有误！");
    const QString mismatch = QStringLiteral("确认密码不一致！");
    const QString done = QStringLiteral("密码修改成功！");
    const QString pw = QStringLiteral("Shop88");
    const QString next = QStringLiteral("新密码9");
    QTest::newRow("changed") << pw << pw << next << next << done << next;
    QTest::newRow("no password set, empty old box")
        << QString() << QString() << next << next << done << next;
    QTest::newRow("no password set, typed old box")
        << QString() << QStringLiteral("x") << next << next << wrongOld << QString();
    QTest::newRow("wrong old reported before a mismatch")
        << pw << QStringLiteral("shop88") << next << QStringLiteral("other") << wrongOld << pw;
    QTest::newRow("old with a trailing space")
        << pw << QStringLiteral("Shop88 ") << next << next << wrongOld << pw;
    QTest::newRow("confirmation differs")
        << pw << pw << next << QStringLiteral("新密码8") << mismatch << pw;
    QTest::newRow("empty new password clears it")
        << pw << pw << QString() << QString() << done << QString();
}

void TestUserDialogs::changePassword() {
    QFETCH(QString, stored);
    QFETCH(QString, oldTyped);
    QFETCH(QString, newTyped);
    QFETCH(QString, confirmTyped);
    QFETCH(QString, message);
    QFETCH(QString, signsInAfter);
    GuiFixture fixture;
    storePassword(fixture.paths, stored);
    UserListWindow* list = openUserList(fixture);
    list->findChild<QAction*>(QStringLiteral("actionChangePassword"))->trigger();
    QWidget* dialog = fixture.frame.topWindow();
    typeInto(box(dialog, "编辑框1"), oldTyped);
    typeInto(box(dialog, "编辑框2"), newTyped);
    typeInto(box(dialog, "编辑框3"), confirmTyped);
    QTest::mouseClick(button(dialog, "按钮1"), Qt::LeftButton);

    QCOMPARE(texts(fixture.host), QStringList{message});
    QCOMPARE(fixture.host.messages().first().flags, 0);
    QCOMPARE(fixture.host.messages().first().title, QString());
    const bool changed = message == u"密码修改成功！";
    QCOMPARE(fixture.windows().size(), changed ? 1 : 2);
    if (!changed) {
        // Everything typed stays for the operator to correct.
        QCOMPARE(box(dialog, "编辑框1")->text(), oldTyped);
        QCOMPARE(box(dialog, "编辑框3")->text(), confirmTyped);
    }
    const QString field = storedPassword(fixture.paths);
    QVERIFY(passwordMatches(field, signsInAfter));
    if (!signsInAfter.isEmpty()) {
        QVERIFY(!passwordMatches(field, QString()));
        QVERIFY(!field.contains(signsInAfter)); // kept as a hash, never as typed
    } else {
        QVERIFY(field.isEmpty());
    }
}

void TestUserDialogs::passwordWriteFailureIsReported() {
    GuiFixture fixture;
    storePassword(fixture.paths, QStringLiteral("old"));
    const QString before = storedPassword(fixture.paths);
    UserListWindow* list = openUserList(fixture);
    list->findChild<QAction*>(QStringLiteral("actionChangePassword"))->trigger();
    QWidget* dialog = fixture.frame.topWindow();
    typeInto(box(dialog, "编辑框1"), QStringLiteral("old"));
    typeInto(box(dialog, "编辑框2"), QStringLiteral("new"));
    typeInto(box(dialog, "编辑框3"), QStringLiteral("new"));
    {
        FileWritesFail failing;
        QTest::mouseClick(button(dialog, "按钮1"), Qt::LeftButton);
    }
    QCOMPARE(texts(fixture.host).size(), 1);
    // What failed is said after the message the operator knows.
    QVERIFY(texts(fixture.host).first().startsWith(QStringLiteral("密码修改失败！\n")));
    QVERIFY(!fixture.host.messages().first().detail.isEmpty());
    QCOMPARE(fixture.host.messages().first().flags, 0x30);
    QCOMPARE(fixture.windows().size(), 2);
    QCOMPARE(storedPassword(fixture.paths), before);
}

void TestUserDialogs::unreadablePasswordChangesNothing_data() {
    addTableFaultRows(true);
}

// With no password set the empty old-password box passes; a table that cannot be read must
// not pass for one without a password.
void TestUserDialogs::unreadablePasswordChangesNothing() {
    QFETCH(int, fault);
    GuiFixture fixture;
    storePassword(fixture.paths, QString());
    UserListWindow* list = openUserList(fixture);
    list->findChild<QAction*>(QStringLiteral("actionChangePassword"))->trigger();
    QWidget* dialog = fixture.frame.topWindow();
    typeInto(box(dialog, "编辑框2"), QStringLiteral("new"));
    typeInto(box(dialog, "编辑框3"), QStringLiteral("new"));
    {
        const TableFault broken(fixture.paths.passwordTable(), TableFault::Kind(fault));
        QTest::mouseClick(button(dialog, "按钮1"), Qt::LeftButton);
        QVERIFY(broken.untouched());
    }
    QCOMPARE(texts(fixture.host).size(), 1);
    QVERIFY2(texts(fixture.host).first().startsWith(QStringLiteral("无法读取密码，密码没有修改。")),
             qPrintable(texts(fixture.host).first()));
    QVERIFY(texts(fixture.host).first().contains(QStringLiteral("liebiao1.edb")));
    QCOMPARE(fixture.host.messages().first().flags, 0x30);
    QCOMPARE(fixture.windows().size(), 2);
    QCOMPARE(box(dialog, "编辑框3")->text(), QStringLiteral("new"));
    QCOMPARE(storedPassword(fixture.paths), QString());

    // Once the table can be read again, the same entries change it.
    QTest::mouseClick(button(dialog, "按钮1"), Qt::LeftButton);
    QCOMPARE(texts(fixture.host).last(), QStringLiteral("密码修改成功！"));
    QVERIFY(passwordMatches(storedPassword(fixture.paths), QStringLiteral("new")));
}

void TestUserDialogs::aboutWindowTexts() {
    GuiFixture fixture;
    UserListWindow* list = openUserList(fixture);
    list->findChild<QAction*>(QStringLiteral("actionAbout"))->trigger();
    QWidget* about = fixture.frame.topWindow();
    QCOMPARE(about->windowTitle(), QStringLiteral("关于"));
    QCOMPARE(about->size(), QSize(383, 283));
    QCOMPARE(about->minimumSize(), about->maximumSize());
    checkControls(about,
                  {{"标签1", QRect(0, 0, 383, 56), QStringLiteral("VellumarV1.0")},
                   {"标签2", QRect(96, 56, 280, 32), QStringLiteral("产品名称：Vellumar")},
                   {"标签3", QRect(96, 80, 248, 40), QStringLiteral("版本：v1.0.0\n")},
                   {"标签5", QRect(96, 112, 248, 40), QStringLiteral("制作日期：2011年10月\n")},
                   {"标签4", QRect(96, 144, 248, 40), QStringLiteral("制作者：Quorve")},
                   {"按钮1", QRect(144, 228, 80, 24), QStringLiteral("确定")}});

    auto* banner = GuiFixture::control<QLabel>(about, "标签1");
    QCOMPARE(banner->font().pixelSize(), 29);
    QCOMPARE(banner->font().weight(), QFont::Normal);
    QCOMPARE(banner->alignment(), Qt::AlignCenter);
    if (QFontDatabase::families().contains(QStringLiteral("AR PL UKai CN")))
        QVERIFY(banner->font().families().contains(QStringLiteral("AR PL UKai CN")));
    const QImage picture = banner->grab().toImage();
    QCOMPARE(picture.pixelColor(2, 2), QColor(0, 136, 255));
    bool red = false;
    for (int x = 0; x < picture.width() && !red; ++x)
        for (int y = 0; y < picture.height() && !red; ++y)
            red = picture.pixelColor(x, y) == QColor(255, 0, 0);
    QVERIFY(red);

    auto* notice = GuiFixture::control<QLabel>(about, "标签6");
    QVERIFY(notice->text().startsWith(QStringLiteral("警告：")));
    QVERIFY(notice->text().endsWith(u'\n'));
    QVERIFY(notice->wordWrap());
    // The notice stays clear of the button below it.
    const QRect button = GuiFixture::control<QWidget>(about, "按钮1")->geometry();
    const int textBottom = notice->y() + notice->heightForWidth(notice->width());
    QVERIFY2(textBottom <= button.top() + notice->fontMetrics().height(),
             qPrintable(QString::number(textBottom)));

    QTest::keyClick(about, Qt::Key_Return);
    QCOMPARE(fixture.windows(), QList<QWidget*>{list});
    QVERIFY(fixture.host.messages().isEmpty());
}

QTEST_MAIN(TestUserDialogs)
#include "test_userdialogs.moc"
