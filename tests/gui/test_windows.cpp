#include "accounts/adduserdialog.h"
#include "accounts/changepassworddialog.h"
#include "accounts/renameuserdialog.h"
#include "accounts/signinwindow.h"
#include "accounts/userlistwindow.h"
#include "checks.h"
#include "guifixture.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgerwindow.h"
#include "ledger/recorddialog.h"
#include "ledger/totaldialog.h"
#include "storage/recordtable.h"
#include "utilities/aboutwindow.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>

#include <functional>

using namespace vellumar;

namespace {

// Signs in with the empty password of a fresh install and answers the user list.
UserListWindow* signIn(GuiFixture& fixture) {
    auto* signInWindow = new SignInWindow(fixture.services);
    fixture.frame.open(signInWindow);
    QTest::mouseClick(GuiFixture::control<QPushButton>(signInWindow, "按钮1"), Qt::LeftButton);
    return qobject_cast<UserListWindow*>(fixture.frame.topWindow());
}

void addUser(const DataPaths& paths, const QString& name) {
    must(valueOf(RecordTable::open(paths.userTable())).appendRecord({name}));
}

void trigger(QWidget* window, const char* action) {
    auto* found = window->findChild<QAction*>(QString::fromLatin1(action));
    QVERIFY2(found, action);
    found->trigger();
}

struct WindowDesign {
    const char* caption;
    QSize size;
    bool fixed;
    bool minimizeBox;
    bool maximizeBox;
    std::function<QWidget*(GuiFixture&, UserListWindow&, LedgerSheet&)> make;
};

const QList<WindowDesign>& designs() {
    static const QList<WindowDesign> all = {
        {"Vellumar",
         {374, 268},
         true,
         true,
         false,
         [](GuiFixture& f, UserListWindow&, LedgerSheet&) {
             return new SignInWindow(f.services);
         }},
        {"增加新纪录",
         {281, 143},
         true,
         false,
         false,
         [](GuiFixture& f, UserListWindow& list, LedgerSheet&) {
             return new AddUserDialog(f.services, list);
         }},
        {"修改纪录",
         {281, 143},
         true,
         false,
         false,
         [](GuiFixture& f, UserListWindow& list, LedgerSheet&) {
             return new RenameUserDialog(f.services, list);
         }},
        {"修改登录密码",
         {357, 245},
         true,
         false,
         false,
         [](GuiFixture& f, UserListWindow&, LedgerSheet&) {
             return new ChangePasswordDialog(f.services);
         }},
        {"张三的账目",
         {1024, 712},
         false,
         true,
         true,
         [](GuiFixture& f, UserListWindow&, LedgerSheet&) {
             return new LedgerWindow(f.services, QStringLiteral("张三"));
         }},
        {"增加记录",
         {395, 297},
         true,
         false,
         false,
         [](GuiFixture& f, UserListWindow&, LedgerSheet& sheet) {
             return new AddRecordDialog(f.services, *new LedgerEdits(sheet, &sheet));
         }},
        {"编辑记录",
         {395, 297},
         true,
         false,
         false,
         [](GuiFixture& f, UserListWindow&, LedgerSheet& sheet) {
             return new EditRecordDialog(f.services, *new LedgerEdits(sheet, &sheet), 1);
         }},
        {"合计",
         {345, 243},
         true,
         false,
         false,
         [](GuiFixture& f, UserListWindow&, LedgerSheet& sheet) {
             return new TotalDialog(f.services, sheet);
         }},
        {"关于",
         {383, 283},
         true,
         false,
         false,
         [](GuiFixture& f, UserListWindow&, LedgerSheet&) {
             return new AboutWindow(f.services);
         }},
    };
    return all;
}

} // namespace

class TestWindows : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { GuiFixture::prepareProcess(); }
    void catalogue_data();
    void catalogue();
    void reopenedDialogShowsItsDesign();
    void aShopDayFromSignInToSavedLedger();
};

void TestWindows::catalogue_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < designs().size(); ++i)
        QTest::newRow(designs()[i].caption) << i;
}

// Every window opens modal, with its caption, its designed size, its frame and the icon.
void TestWindows::catalogue() {
    QFETCH(int, index);
    const WindowDesign& design = designs()[index];
    GuiFixture fixture;
    UserListWindow* list = signIn(fixture);
    QVERIFY(list);
    LedgerSheet sheet;
    sheet.applyTitles();
    sheet.setCell(1, LedgerSheet::Serial, QStringLiteral("1"));

    QWidget* window = design.make(fixture, *list, sheet);
    fixture.frame.open(window);
    QCOMPARE(fixture.frame.topWindow(), window);
    QCOMPARE(window->windowTitle(), QString::fromUtf8(design.caption));
    QCOMPARE(window->size(), design.size);
    QCOMPARE(window->minimumSize() == window->maximumSize(), design.fixed);
    QCOMPARE(bool(window->windowFlags() & Qt::WindowMinimizeButtonHint), design.minimizeBox);
    QCOMPARE(bool(window->windowFlags() & Qt::WindowMaximizeButtonHint), design.maximizeBox);
    QCOMPARE(window->windowModality(), Qt::ApplicationModal);
    QVERIFY(!window->windowIcon().isNull());
    // Nothing English reaches the operator: only the product's own name and the fixed names of
    // the tools may hold Latin letters.
    static const QStringList allowed = {QStringLiteral("Vellumar"), QStringLiteral("VellumarV"),
                                        QStringLiteral("v"),        QStringLiteral("windows"),
                                        QStringLiteral("IE"),       QStringLiteral("Quorve")};
    // The file kinds and keys the report commands name.
    static const QStringList reportWords = {QStringLiteral("Excel"), QStringLiteral("PDF"),
                                            QStringLiteral("F"), QStringLiteral("Shift"),
                                            QStringLiteral("Esc")};
    QStringList texts = {window->windowTitle()};
    for (QObject* child : window->findChildren<QObject*>()) {
        for (const char* property : {"text", "title", "toolTip", "placeholderText"}) {
            const QVariant value = child->property(property);
            if (value.typeId() == QMetaType::QString)
                texts.append(value.toString());
        }
    }
    static const QRegularExpression word(QStringLiteral("[A-Za-z]+"));
    for (const QString& text : std::as_const(texts))
        for (const QRegularExpressionMatch& match : word.globalMatch(text))
            QVERIFY2(allowed.contains(match.captured()) || reportWords.contains(match.captured()),
                     qPrintable(text));
}

// A dialog closed and opened again starts from its design, not from what was typed before.
void TestWindows::reopenedDialogShowsItsDesign() {
    GuiFixture fixture;
    UserListWindow* list = signIn(fixture);
    trigger(list, "actionNewUser");
    auto* box = GuiFixture::control<QLineEdit>(fixture.frame.topWindow(), "编辑框1");
    QTest::keyClicks(box, QStringLiteral("typed"));
    QTest::keyClick(box, Qt::Key_Escape);
    QCOMPARE(fixture.frame.topWindow(), list);
    trigger(list, "actionNewUser");
    QCOMPARE(GuiFixture::control<QLineEdit>(fixture.frame.topWindow(), "编辑框1")->text(),
             QString());
}

// The road of one typical use, through the program's own windows and files.
void TestWindows::aShopDayFromSignInToSavedLedger() {
    GuiFixture fixture;
    addUser(fixture.paths, QStringLiteral("张三"));
    UserListWindow* list = signIn(fixture);
    auto* users = GuiFixture::control<QListWidget>(list, "列表框1");
    const QPoint onUser = users->visualItemRect(users->item(0)).center();
    QTest::mouseClick(users->viewport(), Qt::LeftButton, {}, onUser);
    QTest::mouseDClick(users->viewport(), Qt::LeftButton, {}, onUser);

    auto* ledger = qobject_cast<LedgerWindow*>(fixture.frame.topWindow());
    QVERIFY(ledger);
    QCOMPARE(ledger->windowTitle(), QStringLiteral("张三的账目"));

    trigger(ledger, "actionAddRecord");
    QWidget* add = fixture.frame.topWindow();
    QVERIFY(qobject_cast<AddRecordDialog*>(add));
    GuiFixture::control<QLineEdit>(add, "编辑框1")->insert(QStringLiteral("苹果"));
    QTest::keyClicks(GuiFixture::control<QLineEdit>(add, "编辑框2"), QStringLiteral("3"));
    GuiFixture::control<QLineEdit>(add, "编辑框3")->insert(QStringLiteral("斤"));
    QTest::keyClicks(GuiFixture::control<QLineEdit>(add, "编辑框4"), QStringLiteral("2.5"));
    QCOMPARE(GuiFixture::control<QLineEdit>(add, "编辑框6")->text(), QStringLiteral("7.5"));
    QTest::keyClick(GuiFixture::control<QLineEdit>(add, "编辑框4"), Qt::Key_Return);
    QCOMPARE(fixture.frame.topWindow(), ledger);
    QCOMPARE(ledger->sheet().cell(1, LedgerSheet::Total), QStringLiteral("7.5"));

    QTest::mouseClick(GuiFixture::control<QPushButton>(ledger, "按钮1"), Qt::LeftButton);
    QWidget* totals = fixture.frame.topWindow();
    QVERIFY(qobject_cast<TotalDialog*>(totals));
    QTest::mouseClick(GuiFixture::control<QPushButton>(totals, "按钮2"), Qt::LeftButton);
    QTest::keyClicks(GuiFixture::control<QLineEdit>(totals, "编辑框3"), QStringLiteral("10"));
    QCOMPARE(GuiFixture::control<QLineEdit>(totals, "编辑框4")->text(), QStringLiteral("2.5"));
    QTest::mouseClick(GuiFixture::control<QPushButton>(totals, "按钮1"), Qt::LeftButton);
    QCOMPARE(fixture.frame.topWindow(), ledger);

    fixture.host.answer(MessageAnswer::Ok);
    trigger(ledger, "actionClose");
    QCOMPARE(fixture.frame.topWindow(), list);
    VERIFY_SCRIPT_DONE(fixture.host);

    const QString file =
        fixture.paths.ledgerFile(DataPaths::LedgerDirSlash, QStringLiteral("张三"));
    QVERIFY(QFileInfo::exists(file));
    LedgerSheet saved;
    QVERIFY(LedgerFile::load(file, saved).ok());
    QCOMPARE(saved.cell(1, LedgerSheet::Product), QStringLiteral("苹果"));
    QCOMPARE(saved.cell(1, LedgerSheet::Date), QStringLiteral("2026-12-09 09:30:15"));
}

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
