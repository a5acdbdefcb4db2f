#include "accounts/signinwindow.h"
#include "accounts/userlistwindow.h"
#include "checks.h"
#include "frame/startdocument.h"
#include "guifixture.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgersheet.h"
#include "ledger/ledgerviewwindow.h"
#include "ledger/ledgerwindow.h"
#include "storage/recordtable.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace vellumar;

namespace {

const QString Holder = u"张三"_qs;

void writeLedger(const QString& path, const QString& product, int records = 2) {
    QDir().mkpath(QFileInfo(path).path());
    LedgerSheet sheet;
    sheet.applyTitles();
    for (int row = 1; row <= records; ++row) {
        sheet.setCell(row, LedgerSheet::Serial, QString::number(row));
        sheet.setCell(row, LedgerSheet::Product, product);
    }
    must(LedgerFile::save(path, sheet));
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void signIn(GuiFixture& fixture) {
    auto* signIn = new SignInWindow(fixture.services);
    fixture.frame.open(signIn);
    QTest::mouseClick(GuiFixture::control<QPushButton>(signIn, "按钮1"), Qt::LeftButton);
}

} // namespace

// A ledger file the program is started with (from the file manager) opens after sign-in: a
// holder's ledger as that holder's ledger window, any other file only to be looked at.
class TestStartDocument : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { GuiFixture::prepareProcess(); }
    void opensAfterSignIn_data();
    void opensAfterSignIn();
    void nothingOpensBeforeSignIn();
    void viewerCannotChangeTheFile();
};

void TestStartDocument::opensAfterSignIn_data() {
    QTest::addColumn<QString>("file");  // relative to the data folder
    QTest::addColumn<QString>("opens"); // class of the window on top; empty: only the list
    QTest::addColumn<QString>("message");
    QTest::newRow("a holder's ledger")
        << u"source/用户/张三.z"_qs << u"vellumar::LedgerWindow"_qs << QString();
    QTest::newRow("a copy elsewhere")
        << u"副本/张三.z"_qs << u"vellumar::LedgerViewWindow"_qs << QString();
    QTest::newRow("a file of nobody in the ledger folder")
        << u"source/用户/王五.z"_qs << u"vellumar::LedgerViewWindow"_qs << QString();
    QTest::newRow("a file that is no ledger") << u"坏的.z"_qs << QString() << u"第八列"_qs;
    QTest::newRow("a file that is gone") << u"没有.z"_qs << QString() << u"不存在"_qs;
}

void TestStartDocument::opensAfterSignIn() {
    QFETCH(QString, file);
    QFETCH(QString, opens);
    QFETCH(QString, message);
    GuiFixture fixture;
    must(valueOf(RecordTable::open(fixture.paths.userTable())).appendRecord({u"李四"_qs}));
    must(valueOf(RecordTable::open(fixture.paths.userTable())).appendRecord({Holder}));
    const QString root = fixture.paths.programDirectory() + u'/';
    writeLedger(root + u"source/用户/张三.z"_qs, u"大米"_qs);
    writeLedger(root + u"source/用户/王五.z"_qs, u"面粉"_qs);
    writeLedger(root + u"副本/张三.z"_qs, u"花生油"_qs, 3);
    QFile table(root + u"坏的.z"_qs);
    QVERIFY(table.open(QIODevice::WriteOnly));
    table.write("1,2,3,4,5,6,7,8,9\r\n");
    table.close();
    const QString path = root + file;
    const QByteArray before = bytesOf(path);

    StartDocument start(fixture.services, path);
    signIn(fixture);
    auto* list = fixture.frame.find<UserListWindow>();
    QVERIFY(list);
    if (opens.isEmpty()) {
        QTRY_COMPARE(fixture.host.messages().size(), 1);
        const QString shown = fixture.host.messages().first().text;
        QVERIFY2(shown.contains(u"无法打开文件：" + QDir::toNativeSeparators(path)),
                 qPrintable(shown));
        QVERIFY2(shown.contains(message), qPrintable(shown));
        QCOMPARE(fixture.windows(), QList<QWidget*>{list});
    } else {
        QTRY_COMPARE(fixture.windows().size(), 2);
        QWidget* top = fixture.frame.topWindow();
        QCOMPARE(QString::fromLatin1(top->metaObject()->className()), opens);
        QVERIFY(top->isModal());
        QVERIFY(fixture.host.messages().isEmpty());
        if (auto* ledger = qobject_cast<LedgerWindow*>(top)) {
            QCOMPARE(ledger->ledger().userName(), Holder);
            QCOMPARE(list->selectedUserName(), std::optional<QString>(Holder));
            QCOMPARE(ledger->sheet().cell(1, LedgerSheet::Product), u"大米"_qs);
        } else {
            auto* viewer = qobject_cast<LedgerViewWindow*>(top);
            QCOMPARE(viewer->sheet().cell(1, LedgerSheet::Product),
                     QString::fromUtf8(file.startsWith(u"副本") ? "花生油" : "面粉"));
            QVERIFY(viewer->windowTitle().startsWith(QFileInfo(path).fileName()));
        }
    }
    // Opening changes no file: the one opened, nor anyone's ledger.
    QCOMPARE(bytesOf(path), before);
}

void TestStartDocument::nothingOpensBeforeSignIn() {
    GuiFixture fixture;
    const QString path = fixture.paths.programDirectory() + u"/副本.z"_qs;
    writeLedger(path, u"大米"_qs);
    StartDocument start(fixture.services, path);
    auto* signIn = new SignInWindow(fixture.services);
    fixture.frame.open(signIn);
    // A wrong password: still nothing but the sign-in window.
    fixture.host.clearRecords();
    QTest::keyClicks(GuiFixture::control<QWidget>(signIn, "编辑框1"), u"wrong"_qs);
    QTest::mouseClick(GuiFixture::control<QPushButton>(signIn, "按钮1"), Qt::LeftButton);
    QCoreApplication::processEvents();
    QCOMPARE(fixture.windows(), QList<QWidget*>{signIn});
    QCOMPARE(fixture.host.messageTexts(), QStringList{u"登录密码错误！"_qs});
}

void TestStartDocument::viewerCannotChangeTheFile() {
    GuiFixture fixture;
    const QString path = fixture.paths.programDirectory() + u"/别的账簿/赵六.z"_qs;
    writeLedger(path, u"茶叶"_qs, 12);
    const QByteArray before = bytesOf(path);
    signIn(fixture);
    auto* list = fixture.frame.find<UserListWindow>();
    QTRY_COMPARE(fixture.frame.topWindow(), static_cast<QWidget*>(list));
    openLedgerDocument(fixture.services, *list, path);
    auto* viewer = qobject_cast<LedgerViewWindow*>(fixture.frame.topWindow());
    QVERIFY(viewer);
    QCOMPARE(GuiFixture::control<QLabel>(viewer, "recordCountLabel")->text(), u"共 12 条记录"_qs);
    QVERIFY(GuiFixture::control<QLabel>(viewer, "viewedFileLabel")
                ->text()
                .contains(QDir::toNativeSeparators(path)));
    // Nothing in it edits, adds or saves.
    QVERIFY(viewer->findChildren<QAction*>().isEmpty());
    QTableView* grid = viewer->grid();
    QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    grid->setCurrentIndex(grid->model()->index(0, 1));
    QTest::keyClick(grid, Qt::Key_Delete);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {},
                       grid->visualRect(grid->model()->index(0, 1)).center());
    QCOMPARE(viewer->sheet().cell(1, LedgerSheet::Product), u"茶叶"_qs);
    // Esc leaves it without a question.
    QTest::keyClick(viewer, Qt::Key_Escape);
    QTRY_COMPARE(fixture.windows(), QList<QWidget*>{list});
    QVERIFY(fixture.host.messages().isEmpty());
    QCOMPARE(bytesOf(path), before);
}

QTEST_MAIN(TestStartDocument)
#include "test_startdocument.moc"
