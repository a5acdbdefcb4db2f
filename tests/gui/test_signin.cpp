#include "accounts/signinwindow.h"
#include "accounts/userlistwindow.h"
#include "checks.h"
#include "frame/application.h"
#include "guifixture.h"
#include "storage/passwordstore.h"
#include "storage/recordtable.h"
#include "tablefaults.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTimer>

using namespace vellumar;

namespace {

void setStoredPassword(const DataPaths& paths, const QString& password) {
    auto table = RecordTable::open(paths.passwordTable());
    QVERIFY(table);
    QVERIFY(PasswordStore(*table).change(password).ok());
}

SignInWindow* openSignIn(GuiFixture& fixture) {
    auto* window = new SignInWindow(fixture.services);
    fixture.frame.open(window);
    return window;
}

void typeAndClick(QWidget* window, const QString& text) {
    auto* box = GuiFixture::control<QLineEdit>(window, "编辑框1");
    box->clear();
    QTest::keyClicks(box, text);
    QTest::mouseClick(GuiFixture::control<QPushButton>(window, "按钮1"), Qt::LeftButton);
}

} // namespace

class TestSignIn : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { GuiFixture::prepareProcess(); }
    void qtSpeaksChinese_data();
    void qtSpeaksChinese();
    void windowIsAsDesigned();
    void passwordShowsStars();
    void signInOutcome_data();
    void signInOutcome();
    void enterInPasswordBoxSignsIn();
    void storedPasswordIsReadAtEveryAttempt();
    void unreadablePasswordLetsNobodyIn_data();
    void unreadablePasswordLetsNobodyIn();
    void closeBoxBeforeSignInEndsProgram();
    void userListCloseQuery_data();
    void userListCloseQuery();
    void userListShowsUsersInTableOrder();
    void damagedTableStopsTheProgram();
    void programEndsWithExitCodeZero_data();
    void programEndsWithExitCodeZero();
};

void TestSignIn::qtSpeaksChinese_data() {
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("chinese");
    QTest::newRow("edit menu of a text box") << "QLineEdit"
                                             << "&Copy"
                                             << "复制(&C)";
    QTest::newRow("file dialog") << "QFileDialog"
                                 << "Look in:"
                                 << "查找范围：";
    QTest::newRow("standard button") << "QPlatformTheme"
                                     << "Cancel"
                                     << "取消";
}

// Qt's own menus and dialogs follow the program's language whatever the system locale is.
void TestSignIn::qtSpeaksChinese() {
    QFETCH(QString, context);
    QFETCH(QString, english);
    QFETCH(QString, chinese);
    QCOMPARE(
        QCoreApplication::translate(context.toLatin1().constData(), english.toLatin1().constData()),
        chinese);
}

void TestSignIn::windowIsAsDesigned() {
    GuiFixture fixture;
    SignInWindow* window = openSignIn(fixture);
    QCOMPARE(window->windowTitle(), QStringLiteral("Vellumar"));
    QCOMPARE(window->size(), QSize(374, 268));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QVERIFY(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(window->isModal());
    QVERIFY(!window->windowIcon().isNull());

    struct Expected {
        const char* name;
        QRect geometry;
    };
    for (const Expected& expected :
         {Expected{"图片框1", QRect(0, 0, 380, 88)}, Expected{"透明标签1", QRect(64, 120, 120, 24)},
          Expected{"编辑框1", QRect(168, 120, 144, 24)},
          Expected{"按钮1", QRect(136, 176, 96, 24)}}) {
        auto* control = GuiFixture::control<QWidget>(window, expected.name);
        QVERIFY2(control, expected.name);
        QCOMPARE(control->geometry(), expected.geometry);
    }
    QVERIFY(!GuiFixture::control<QLabel>(window, "图片框1")->pixmap().isNull());
    QCOMPARE(GuiFixture::control<QLabel>(window, "透明标签1")->text(),
             QStringLiteral("请输入管理密码："));
    QCOMPARE(GuiFixture::control<QPushButton>(window, "按钮1")->text(), QStringLiteral("登录"));
    QVERIFY(GuiFixture::control<QLineEdit>(window, "编辑框1")->text().isEmpty());
    // Only the password box and the button take the focus, in that order.
    QCOMPARE(window->focusWidget(), GuiFixture::control<QWidget>(window, "编辑框1"));
    QCOMPARE(window->focusWidget()->nextInFocusChain(),
             GuiFixture::control<QWidget>(window, "按钮1"));
    QCOMPARE(GuiFixture::control<QWidget>(window, "透明标签1")->focusPolicy(), Qt::NoFocus);
}

void TestSignIn::passwordShowsStars() {
    GuiFixture fixture;
    auto* box = GuiFixture::control<QLineEdit>(openSignIn(fixture), "编辑框1");
    QCOMPARE(box->echoMode(), QLineEdit::Password);
    QCOMPARE(box->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, box),
             int(u'*'));
    QTest::keyClicks(box, QStringLiteral("ab c"));
    QCOMPARE(box->displayText(), QStringLiteral("****"));
}

void TestSignIn::signInOutcome_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("signsIn");
    QTest::newRow("no password, empty entry") << QString() << QString() << true;
    QTest::newRow("no password, typed text") << QString() << QStringLiteral("x") << false;
    QTest::newRow("right password") << QStringLiteral("Shop88") << QStringLiteral("Shop88") << true;
    QTest::newRow("letter case differs")
        << QStringLiteral("Shop88") << QStringLiteral("SHOP88") << false;
    QTest::newRow("leading space")
        << QStringLiteral("Shop88") << QStringLiteral(" Shop88") << false;
    QTest::newRow("trailing space")
        << QStringLiteral("Shop88") << QStringLiteral("Shop88 ") << false;
    QTest::newRow("empty entry with password set")
        << QStringLiteral("Shop88") << QString() << false;
}

void TestSignIn::signInOutcome() {
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, signsIn);
    GuiFixture fixture;
    setStoredPassword(fixture.paths, stored);
    QPointer<SignInWindow> window = openSignIn(fixture);

    typeAndClick(window, typed);

    if (signsIn) {
        QVERIFY(fixture.host.messages().isEmpty());
        QCOMPARE(fixture.windows().size(), 1);
        QVERIFY(qobject_cast<UserListWindow*>(fixture.windows().first()));
        QTRY_VERIFY(window.isNull());
    } else {
        QCOMPARE(fixture.host.messages().size(), 1);
        const ScriptedHost::Message& message = fixture.host.messages().first();
        QCOMPARE(message.text, QStringLiteral("登录密码错误！"));
        QCOMPARE(message.flags, 0x30);
        QCOMPARE(message.title, QString());
        QCOMPARE(fixture.windows(), QList<QWidget*>{window.data()});
        QCOMPARE(GuiFixture::control<QLineEdit>(window, "编辑框1")->text(), typed);
    }
    VERIFY_SCRIPT_DONE(fixture.host);
}

void TestSignIn::enterInPasswordBoxSignsIn() {
    GuiFixture fixture;
    setStoredPassword(fixture.paths, QStringLiteral("k"));
    SignInWindow* window = openSignIn(fixture);
    auto* box = GuiFixture::control<QLineEdit>(window, "编辑框1");
    QTest::keyClick(box, Qt::Key_K);
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(fixture.windows().size(), 1);
    QVERIFY(qobject_cast<UserListWindow*>(fixture.windows().first()));
}

void TestSignIn::storedPasswordIsReadAtEveryAttempt() {
    GuiFixture fixture;
    setStoredPassword(fixture.paths, QStringLiteral("old"));
    SignInWindow* window = openSignIn(fixture);
    typeAndClick(window, QStringLiteral("new"));
    QCOMPARE(fixture.host.messages().size(), 1);

    setStoredPassword(fixture.paths, QStringLiteral("new"));
    typeAndClick(window, QStringLiteral("new"));
    QCOMPARE(fixture.host.messages().size(), 1);
    QVERIFY(qobject_cast<UserListWindow*>(fixture.frame.topWindow()));
}

void TestSignIn::unreadablePasswordLetsNobodyIn_data() {
    addTableFaultRows(true);
}

// With no password set the empty entry signs in; a table that goes bad while the window is
// open must not pass for one without a password.
void TestSignIn::unreadablePasswordLetsNobodyIn() {
    QFETCH(int, fault);
    GuiFixture fixture;
    setStoredPassword(fixture.paths, QString());
    QPointer<SignInWindow> window = openSignIn(fixture);
    {
        const TableFault broken(fixture.paths.passwordTable(), TableFault::Kind(fault));
        typeAndClick(window, QString());
        QCOMPARE(fixture.host.messages().size(), 1);
        const ScriptedHost::Message& message = fixture.host.messages().first();
        QVERIFY2(message.text.startsWith(QStringLiteral("无法读取密码，所以不能登录。")),
                 qPrintable(message.text));
        // What is wrong with which file, in plain words; SQLite's or the system's own below.
        QVERIFY2(message.text.contains(QStringLiteral("liebiao1.edb")), qPrintable(message.text));
        QCOMPARE(message.flags, 0x10);
        QCOMPARE(fixture.windows(), QList<QWidget*>{window.data()});
        QVERIFY(broken.untouched());
    }
    // Once the table can be read again, the same entry signs in.
    typeAndClick(window, QString());
    QCOMPARE(fixture.host.messages().size(), 1);
    QVERIFY(qobject_cast<UserListWindow*>(fixture.frame.topWindow()));
}

void TestSignIn::closeBoxBeforeSignInEndsProgram() {
    GuiFixture fixture;
    QSignalSpy ended(&fixture.frame, &Frame::lastWindowClosed);
    QPointer<SignInWindow> window = openSignIn(fixture);
    GuiFixture::closeFromFrame(window);
    QCOMPARE(ended.size(), 1);
    QVERIFY(fixture.windows().isEmpty());
    QVERIFY(fixture.host.messages().isEmpty());
    QTRY_VERIFY(window.isNull());
}

void TestSignIn::userListCloseQuery_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("OK") << 0 << true;
    QTest::newRow("Cancel") << 1 << false;
}

void TestSignIn::userListCloseQuery() {
    QFETCH(int, answer);
    QFETCH(bool, closes);
    GuiFixture fixture;
    QSignalSpy ended(&fixture.frame, &Frame::lastWindowClosed);
    typeAndClick(openSignIn(fixture), QString());
    QWidget* userList = fixture.frame.topWindow();
    QCOMPARE(userList->windowTitle(), QStringLiteral("用户列表"));
    QCOMPARE(userList->size(), QSize(261, 551));

    fixture.host.answer(answer);
    GuiFixture::closeFromFrame(userList);
    QCOMPARE(fixture.host.messages().size(), 1);
    QCOMPARE(fixture.host.messages().first().text, QStringLiteral("确认要关闭此窗口？"));
    QCOMPARE(fixture.host.messages().first().flags, 0x31);
    QCOMPARE(ended.size(), closes ? 1 : 0);
    QCOMPARE(fixture.windows().isEmpty(), closes);
    VERIFY_SCRIPT_DONE(fixture.host);
}

void TestSignIn::userListShowsUsersInTableOrder() {
    GuiFixture fixture;
    {
        auto users = valueOf(RecordTable::open(fixture.paths.userTable()));
        for (const QString& name : {QStringLiteral("王五"), QStringLiteral("Anna"), QString()})
            must(users.appendRecord({name}));
    }
    typeAndClick(openSignIn(fixture), QString());
    auto* list = GuiFixture::control<QListWidget>(fixture.frame.topWindow(), "列表框1");
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->item(0)->text(), QStringLiteral("王五"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("Anna"));
    QCOMPARE(list->item(2)->text(), QString());
    QCOMPARE(list->currentRow(), -1);
}

void TestSignIn::damagedTableStopsTheProgram() {
    GuiFixture fixture;
    QFile::remove(fixture.paths.passwordTable());
    {
        QFile file(fixture.paths.passwordTable());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a table");
    }
    QCOMPARE(runProgram(fixture.host, fixture.paths, fixture.files), 1);
    QCOMPARE(fixture.host.messages().size(), 1);
    QVERIFY(fixture.host.messages().first().text.contains(fixture.paths.passwordTable()));
    QCOMPARE(fixture.host.messages().first().flags, 0x10);
    QVERIFY(fixture.windows().isEmpty());
    QFile file(fixture.paths.passwordTable());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("not a table"));
}

void TestSignIn::programEndsWithExitCodeZero_data() {
    QTest::addColumn<bool>("signInFirst");
    QTest::newRow("close box of the sign-in window") << false;
    QTest::newRow("signed in, user list closed with OK") << true;
}

// The whole program in this process: the event loop ends with 0 once the last window is gone.
void TestSignIn::programEndsWithExitCodeZero() {
    QFETCH(bool, signInFirst);
    GuiFixture fixture;
    if (signInFirst)
        fixture.host.answer(MessageAnswer::Ok);
    QTimer operatorHand;
    operatorHand.setInterval(10);
    connect(&operatorHand, &QTimer::timeout, this, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (!window->isVisible())
                continue;
            if (auto* signIn = qobject_cast<SignInWindow*>(window)) {
                if (signInFirst)
                    QTest::mouseClick(GuiFixture::control<QPushButton>(signIn, "按钮1"),
                                      Qt::LeftButton);
                else
                    GuiFixture::closeFromFrame(signIn);
            } else if (qobject_cast<UserListWindow*>(window)) {
                GuiFixture::closeFromFrame(window);
            }
        }
    });
    operatorHand.start();
    QCOMPARE(runProgram(fixture.host, fixture.paths, fixture.files), 0);
    QCOMPARE(fixture.host.messages().size(), signInFirst ? 1 : 0);
    VERIFY_SCRIPT_DONE(fixture.host);
}

QTEST_MAIN(TestSignIn)
#include "test_signin.moc"
