#include "windowtour.h"

#include "accounts/signinwindow.h"
#include "accounts/userdirectory.h"
#include "accounts/userlistwindow.h"
#include "checks.h"
#include "frame/startdocument.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgersheet.h"
#include "ledger/ledgerwindow.h"
#include "openelsewhere.h"
#include "safety/safetypaths.h"
#include "storage/recordtable.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace vellumar;

namespace {

const QString Holder = QStringLiteral("张三");

QString viewedCopy(const GuiFixture& fixture) {
    return fixture.paths.programDirectory() + QStringLiteral("/副本/张三（十二月备份）.z");
}

void prepareData(GuiFixture& fixture) {
    RecordTable users = valueOf(RecordTable::open(fixture.paths.userTable()));
    for (const QString& name :
         {Holder, QStringLiteral("李四"), QStringLiteral("特级西湖龙井茶庄（城东分店）")})
        must(users.appendRecord({name}));

    LedgerSheet sheet;
    sheet.applyTitles();
    const QStringList products = {QStringLiteral("特级西湖龙井明前茶叶礼盒装（半斤）"),
                                  QStringLiteral("大米"), QStringLiteral("花生油 5L")};
    for (int row = 1; row <= 12; ++row) {
        const QStringList cells = {QString::number(row),
                                   products[row % products.size()],
                                   QString::number(row * 2),
                                   QStringLiteral("袋"),
                                   QStringLiteral("12.5"),
                                   QString::number(row * 25),
                                   QStringLiteral("2026-12-09 09:30:15"),
                                   row == 2 ? QStringLiteral("赊账，月底结清\n已电话通知")
                                            : QString()};
        for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
            sheet.setCell(row, column, cells[column]);
    }
    must(LedgerFile::save(fixture.paths.ledgerFile(DataPaths::LedgerDirSlash, Holder), sheet));
    // A copy kept elsewhere, which opens only to be looked at.
    QDir().mkpath(fixture.paths.programDirectory() + QStringLiteral("/副本"));
    must(LedgerFile::save(viewedCopy(fixture), sheet));

    // Two earlier versions of the ledger, and a holder deleted into the recycle bin.
    const QString versions = SafetyPaths::holderFolder(fixture.paths, Holder);
    QDir().mkpath(versions);
    must(LedgerFile::save(versions + QStringLiteral("/20261209-083000.z"), sheet));
    sheet.removeRows(8, 5);
    must(LedgerFile::save(versions + QStringLiteral("/20261208-173000.z"), sheet));
    const QString gone = QStringLiteral("王五小卖部");
    must(users.appendRecord({gone}));
    must(LedgerFile::save(fixture.paths.ledgerFile(DataPaths::LedgerDirSlash, gone), sheet));
    std::unique_ptr<UserDirectory> directory =
        valueOf(UserDirectory::open(fixture.paths, fixture.files));
    must(directory->remove(3, QDateTime(QDate(2026, 12, 8), QTime(18, 5, 12))).status());
}

void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void trigger(QWidget* window, const char* action) {
    if (auto* found = window->findChild<QAction*>(QString::fromLatin1(action)))
        found->trigger();
    settle();
}

// Runs an opening step and visits what it opened, then closes that again.
void visitOpened(GuiFixture& fixture, const QString& name, const std::function<void()>& open,
                 const WindowVisitor& visit) {
    QWidget* before = fixture.frame.topWindow();
    open();
    settle();
    QWidget* opened = fixture.frame.topWindow();
    if (!opened || opened == before) {
        qWarning("%s did not open", qPrintable(name));
        return;
    }
    visit(name, opened);
    fixture.frame.close(opened);
    settle();
}

} // namespace

void tourWindows(GuiFixture& fixture, const WindowVisitor& visit) {
    prepareData(fixture);
    auto* signIn = new SignInWindow(fixture.services);
    fixture.frame.open(signIn);
    settle();
    visit(QStringLiteral("SignInWindow"), signIn);
    visitOpened(
        fixture, QStringLiteral("BooksConnectionDialog"),
        [&] { trigger(signIn, "actionChooseBooks"); }, visit);

    QTest::mouseClick(signIn->findChild<QPushButton*>(QStringLiteral("按钮1")), Qt::LeftButton);
    settle();
    QWidget* userList = fixture.frame.topWindow();
    visit(QStringLiteral("UserListWindow"), userList);

    auto* list = userList->findChild<QListWidget*>(QStringLiteral("列表框1"));
    list->setCurrentRow(0);
    list->item(0)->setSelected(true);
    visitOpened(
        fixture, QStringLiteral("AddUserDialog"), [&] { trigger(userList, "actionNewUser"); },
        visit);
    visitOpened(
        fixture, QStringLiteral("RenameUserDialog"), [&] { trigger(userList, "actionRenameUser"); },
        visit);
    visitOpened(
        fixture, QStringLiteral("ChangePasswordDialog"),
        [&] { trigger(userList, "actionChangePassword"); }, visit);
    visitOpened(
        fixture, QStringLiteral("AboutWindow"), [&] { trigger(userList, "actionAbout"); }, visit);
    visitOpened(
        fixture, QStringLiteral("ReceivablesWindow"),
        [&] { trigger(userList, "actionReceivables"); }, visit);
    visitOpened(
        fixture, QStringLiteral("RecycleBinWindow"), [&] { trigger(userList, "actionRecycleBin"); },
        visit);
    visitOpened(
        fixture, QStringLiteral("BackupWindow"), [&] { trigger(userList, "actionBackups"); },
        [&](const QString& name, QWidget* backups) {
            visit(name, backups);
            visitOpened(
                fixture, QStringLiteral("BackupPreviewWindow"),
                [&] {
                    QTest::mouseClick(
                        backups->findChild<QPushButton*>(QStringLiteral("previewButton")),
                        Qt::LeftButton);
                },
                visit);
        });

    // A real double-click: a first click, then the second one the system reports as double.
    const QPoint holder = list->visualItemRect(list->item(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, holder);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, holder);
    settle();
    QWidget* ledger = fixture.frame.topWindow();
    if (ledger == userList) {
        qWarning("the ledger window did not open");
        return;
    }
    visit(QStringLiteral("LedgerWindow"), ledger);

    auto* grid = ledger->findChild<QTableView*>(QStringLiteral("高级表格1"));
    visitOpened(
        fixture, QStringLiteral("AddRecordDialog"), [&] { trigger(ledger, "actionAddRecord"); },
        visit);
    visitOpened(
        fixture, QStringLiteral("EditRecordDialog"),
        [&] {
            grid->setCurrentIndex(grid->model()->index(0, 1));
            trigger(ledger, "actionEditRecord");
        },
        visit);
    visitOpened(
        fixture, QStringLiteral("TotalDialog"),
        [&] {
            QTest::mouseClick(ledger->findChild<QPushButton*>(QStringLiteral("按钮1")),
                              Qt::LeftButton);
        },
        visit);
    visitOpened(
        fixture, QStringLiteral("AboutWindow (ledger)"), [&] { trigger(ledger, "actionAbout"); },
        visit);
    visitOpened(
        fixture, QStringLiteral("StatementDialog"), [&] { trigger(ledger, "actionStatement"); },
        visit);

    // The same ledger while another counter has it open.
    fixture.frame.close(ledger);
    settle();
    LedgerEditor front;
    front.counter = QStringLiteral("前台");
    front.host = QStringLiteral("shop-1");
    front.osUser = QStringLiteral("anna");
    front.since = QDateTime(QDate(2026, 12, 9), QTime(9, 30, 15));
    BooksInUse elsewhere(std::make_unique<OpenElsewhereBooks>(fixture.paths, fixture.files, front),
                         BooksLocation());
    const Services readOnly{fixture.host, fixture.frame, fixture.paths, fixture.files, elsewhere};
    visitOpened(
        fixture, QStringLiteral("LedgerWindow (read-only)"),
        [&] { fixture.frame.open(new LedgerWindow(readOnly, Holder)); }, visit);

    // A ledger file from the file manager that belongs to no holder.
    visitOpened(
        fixture, QStringLiteral("LedgerViewWindow"),
        [&] {
            openLedgerDocument(fixture.services, *qobject_cast<UserListWindow*>(userList),
                               viewedCopy(fixture));
        },
        visit);
}
