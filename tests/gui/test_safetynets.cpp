// The safety nets as the operator meets them: undo and redo in the ledger window, the question
// about changes a crash left unsaved, the recycle bin and the backup window.

#include "accounts/userlistwindow.h"
#include "guifixture.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgermodel.h"
#include "ledger/ledgerwindow.h"
#include "safety/backuppreviewwindow.h"
#include "safety/backupwindow.h"
#include "safety/recyclebinwindow.h"
#include "safety/safetypaths.h"
#include "userlisthelpers.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

using namespace vellumar;
using namespace userlist;

namespace {

const QString User = u"张三"_qs;
const QString Notice = u"提示"_qs;

QString holderLedger(const GuiFixture& fixture, const QString& user = User) {
    return fixture.paths.ledgerFile(DataPaths::LedgerDirSlash, user);
}

// A ledger of `records` records whose products are 货1, 货2 …, saved as the holder's.
void saveLedger(const QString& path, int records, const QString& product = u"货"_qs) {
    LedgerSheet sheet;
    sheet.applyTitles();
    for (int n = 1; n <= records; ++n)
        QVERIFY(LedgerRecords::add(
                    sheet,
                    {product + QString::number(n), u"2"_qs, u"袋"_qs, u"2.5"_qs, u"5"_qs, {}},
                    u"2026-12-09 09:30:15"_qs)
                    .ok());
    QVERIFY(LedgerFile::save(path, sheet).ok());
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

LedgerWindow* openLedger(GuiFixture& fixture) {
    auto* window = new LedgerWindow(fixture.services, User);
    fixture.frame.open(window);
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        qWarning("the ledger window did not become active");
    return window;
}

QTableView* gridOf(QWidget* window) {
    return GuiFixture::control<QTableView>(window, "高级表格1");
}

QAction* action(QWidget* window, const char* name) {
    return window->findChild<QAction*>(QString::fromLatin1(name));
}

QStringList products(const LedgerSheet& sheet) {
    QStringList texts;
    for (int row = 1; row < sheet.rowCount() && !sheet.isFree(row); ++row)
        texts.append(sheet.cell(row, LedgerSheet::Product));
    return texts;
}

QStringList cellsOf(const QTableWidget* table, int row) {
    QStringList cells;
    for (int column = 0; column < table->columnCount(); ++column)
        cells.append(table->item(row, column)->text());
    return cells;
}

QString journalOf(const GuiFixture& fixture) {
    return SafetyPaths::journalFolder(fixture.paths, User);
}

// The window closed the way a crash closes it: no question, no save; the journal stays.
void crash(GuiFixture& fixture, LedgerWindow* window) {
    fixture.frame.close(window);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestSafetyNets : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { GuiFixture::prepareProcess(); }
    void undoAndRedoFromTheEditMenu_data();
    void undoAndRedoFromTheEditMenu();
    void unsavedChangesComeBackAfterACrash_data();
    void unsavedChangesComeBackAfterACrash();
    void journalOfAnEarlierFileIsSetAside();
    void recycleBinRestoresAndDeletesForGood();
    void backupWindowRestoresAVersion();
};

void TestSafetyNets::undoAndRedoFromTheEditMenu_data() {
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("undoText");
    QTest::newRow("delete every record") << "delete all"
                                         << "撤销 删除记录";
    QTest::newRow("delete the bottom rows") << "delete bottom"
                                            << "撤销 删除记录";
    QTest::newRow("add a record") << "add"
                                  << "撤销 增加记录";
}

// The items follow the edit menu's designed ones, name the step they undo and redo, are greyed
// when there is nothing to do, and answer Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z.
void TestSafetyNets::undoAndRedoFromTheEditMenu() {
    QFETCH(QString, step);
    QFETCH(QString, undoText);
    GuiFixture fixture;
    saveLedger(holderLedger(fixture), 30);
    LedgerWindow* window = openLedger(fixture);
    QTableView* grid = gridOf(window);
    QAbstractItemModelTester tester(grid->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto* menu = window->findChild<QMenu*>(u"menuEdit"_qs);
    QStringList items;
    for (QAction* item : menu->actions())
        if (!item->isSeparator())
            items.append(item->text());
    QCOMPARE(items.mid(0, 6), (QStringList{u"全选"_qs, u"增加记录"_qs, u"编辑记录"_qs,
                                           u"删除记录"_qs, u"撤销"_qs, u"重做"_qs}));
    QAction* undo = action(window, "actionUndo");
    QAction* redo = action(window, "actionRedo");
    QVERIFY(!undo->isEnabled() && !redo->isEnabled());
    QCOMPARE(undo->shortcut(), QKeySequence(u"Ctrl+Z"_qs));
    QCOMPARE(redo->shortcuts(),
             (QList<QKeySequence>{QKeySequence(u"Ctrl+Y"_qs), QKeySequence(u"Ctrl+Shift+Z"_qs)}));

    LedgerSheet& sheet = window->sheet();
    QStringList before;
    for (int row = 0; row < sheet.rowCount(); ++row)
        before.append(sheet.cell(row, LedgerSheet::Serial) + sheet.cell(row, LedgerSheet::Product));
    const int rowsBefore = sheet.rowCount();
    if (step.startsWith(u"delete")) {
        if (step == u"delete all")
            action(window, "actionSelectAll")->trigger();
        else
            grid->selectionModel()->select(QItemSelection(grid->model()->index(rowsBefore - 4, 0),
                                                          grid->model()->index(rowsBefore - 2, 7)),
                                           QItemSelectionModel::ClearAndSelect);
        fixture.host.answer(MessageAnswer::Yes);
        action(window, "actionDeleteRecord")->trigger();
    } else {
        QVERIFY(window->edits().addRecord({u"方便面"_qs, {}, {}, {}, {}, {}}, u"d"_qs).ok());
    }
    QVERIFY(sheet.rowCount() != rowsBefore || sheet.cell(31, LedgerSheet::Product) == u"方便面");
    QVERIFY(undo->isEnabled());
    QCOMPARE(undo->text(), undoText);

    QTest::keyClick(grid, Qt::Key_Z, Qt::ControlModifier);
    QStringList after;
    for (int row = 0; row < sheet.rowCount(); ++row)
        after.append(sheet.cell(row, LedgerSheet::Serial) + sheet.cell(row, LedgerSheet::Product));
    QCOMPARE(after, before);
    QCOMPARE(grid->model()->rowCount(), rowsBefore - 1);
    QVERIFY(!undo->isEnabled());
    QCOMPARE(redo->text(), u"重做"_qs + undoText.mid(2));
    // What came back is what the grid shows the operator.
    QVERIFY(grid->selectionModel()->hasSelection());

    QTest::keyClick(grid, Qt::Key_Y, Qt::ControlModifier);
    QVERIFY(undo->isEnabled());
    QTest::keyClick(grid, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(grid, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(undo->isEnabled() && !redo->isEnabled());
    VERIFY_SCRIPT_DONE(fixture.host);
}

void TestSafetyNets::unsavedChangesComeBackAfterACrash_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("cutBytes"); // taken off the journal's end after the crash
    QTest::addColumn<QStringList>("productsAfter");
    const QStringList saved = {u"货1"_qs, u"货2"_qs};
    QTest::newRow("recovered") << int(MessageAnswer::Yes) << 0
                               << saved + QStringList{u"甲"_qs, u"乙"_qs};
    QTest::newRow("last change cut short")
        << int(MessageAnswer::Yes) << 3 << saved + QStringList{u"甲"_qs};
    QTest::newRow("not recovered") << int(MessageAnswer::No) << 0 << saved;
}

// Changes made and never saved come back when the ledger is opened after a crash and the
// operator says so, before the grid is shown; otherwise they are kept aside, never deleted.
void TestSafetyNets::unsavedChangesComeBackAfterACrash() {
    QFETCH(int, answer);
    QFETCH(int, cutBytes);
    QFETCH(QStringList, productsAfter);
    GuiFixture fixture;
    saveLedger(holderLedger(fixture), 2);
    const QByteArray file = readAll(holderLedger(fixture));
    {
        LedgerWindow* window = openLedger(fixture);
        QVERIFY(window->edits().addRecord({u"甲"_qs, {}, {}, {}, {}, {}}, u"d"_qs).ok());
        QVERIFY(window->edits().addRecord({u"乙"_qs, {}, {}, {}, {}, {}}, u"d"_qs).ok());
        QVERIFY(QFileInfo::exists(journalOf(fixture)));
        crash(fixture, window);
    }
    const QString journalFile = journalOf(fixture) + u"/修改记录"_qs;
    QVERIFY(QFile::resize(journalFile, QFileInfo(journalFile).size() - cutBytes));

    fixture.host.answer(answer);
    LedgerWindow* window = openLedger(fixture);
    const QStringList texts = fixture.host.messageTexts();
    QCOMPARE(texts.first(), u"发现上次未保存的修改，是否恢复？"_qs);
    QCOMPARE(fixture.host.messages().first().flags,
             MessageFlags::IconQuestion | MessageFlags::YesNo);
    QCOMPARE(products(window->sheet()), productsAfter);
    QVERIFY(gridOf(window)->isVisible());
    const bool recovered = answer == MessageAnswer::Yes;
    QCOMPARE(window->edits().hasUnsavedChanges(), recovered);
    QCOMPARE(readAll(holderLedger(fixture)), file);
    if (recovered) {
        QCOMPARE(texts.size(), 2);
        QVERIFY2(
            texts[1].startsWith(QStringLiteral("已恢复 %1 项修改。").arg(productsAfter.size() - 2)),
            qPrintable(texts[1]));
        QCOMPARE(texts[1].contains(u"末尾不完整"_qs), cutBytes > 0);
        // The damaged journal is kept as it was before it is written anew.
        QCOMPARE(QFileInfo::exists(journalOf(fixture) + u"-不完整-20261209-093015"_qs),
                 cutBytes > 0);
        // The journal stays until the ledger is saved, and then goes.
        QVERIFY(QFileInfo::exists(journalOf(fixture)));
        action(window, "actionSave")->trigger();
        QVERIFY(!QFileInfo::exists(journalOf(fixture)));
    } else {
        QCOMPARE(texts.size(), 1);
        QVERIFY(!QFileInfo::exists(journalOf(fixture)));
        QVERIFY(QFileInfo::exists(journalOf(fixture) + u"-20261209-093015"_qs));
    }
    VERIFY_SCRIPT_DONE(fixture.host);
}

// Changes made on a file that has since been replaced are never replayed onto the new one:
// no question, a word of where they are kept.
void TestSafetyNets::journalOfAnEarlierFileIsSetAside() {
    GuiFixture fixture;
    saveLedger(holderLedger(fixture), 2);
    {
        LedgerWindow* window = openLedger(fixture);
        QVERIFY(window->edits().addRecord({u"甲"_qs, {}, {}, {}, {}, {}}, u"d"_qs).ok());
        crash(fixture, window);
    }
    QVERIFY(QFile::remove(holderLedger(fixture)));
    saveLedger(holderLedger(fixture), 5, u"新"_qs);
    LedgerWindow* window = openLedger(fixture);
    QCOMPARE(fixture.host.messages().size(), 1);
    const QString text = fixture.host.messages().first().text;
    QVERIFY2(text.contains(u"账目文件在那之后已经改变"_qs), qPrintable(text));
    QVERIFY2(text.contains(QDir::toNativeSeparators(journalOf(fixture) + u"-20261209-093015"_qs)),
             qPrintable(text));
    QCOMPARE(products(window->sheet()).size(), 5);
    QVERIFY(!window->edits().hasUnsavedChanges());
}

// Deleted from the list, the holder is in the bin with time and records; restored, they are at
// the end of the list with the same ledger; a taken name refuses; deleted for good after a
// second question, they are gone.
void TestSafetyNets::recycleBinRestoresAndDeletesForGood() {
    GuiFixture fixture;
    const QStringList users = {u"甲"_qs, u"乙"_qs, u"丙"_qs};
    saveLedger(holderLedger(fixture, users[1]), 4);
    const QByteArray ledger = readAll(holderLedger(fixture, users[1]));
    UserListWindow* list = openUserList(fixture, users);
    for (const QTime& at : {QTime(9, 30, 15), QTime(9, 31)}) {
        fixture.host.setNow(QDateTime(QDate(2026, 12, 9), at));
        select(list, 1);
        fixture.host.answer(MessageAnswer::Ok);
        action(list, "actionDeleteUser")->trigger();
    }
    QCOMPARE(listNames(list), QStringList{u"甲"_qs});
    QVERIFY(action(list, "actionRecycleBin")->isEnabled());
    action(list, "actionRecycleBin")->trigger();
    auto* bin = qobject_cast<RecycleBinWindow*>(fixture.frame.topWindow());
    QVERIFY(bin);
    auto* table = GuiFixture::control<QTableWidget>(bin, "deletedHolders");
    QCOMPARE(table->rowCount(), 2);
    // The latest deleted first: 丙, who had no ledger, then 乙 with four records.
    QCOMPARE(cellsOf(table, 0),
             (QStringList{u"丙"_qs, u"2026-12-09 09:31:00"_qs, u"0"_qs, u"第 2 位"_qs}));
    QCOMPARE(cellsOf(table, 1).mid(2), (QStringList{u"4"_qs, u"第 2 位"_qs}));

    // 乙 back at the end, with the same bytes.
    table->selectRow(1);
    QTest::mouseClick(GuiFixture::control<QPushButton>(bin, "restoreButton"), Qt::LeftButton);
    QCOMPARE(listNames(list), (QStringList{u"甲"_qs, u"乙"_qs}));
    QCOMPARE(readAll(holderLedger(fixture, users[1])), ledger);
    QCOMPARE(table->rowCount(), 1);

    // A holder named 丙 again keeps the old 丙 in the bin.
    QVERIFY(list->directory()->add(u"丙"_qs).ok());
    table->selectRow(0);
    QTest::mouseClick(GuiFixture::control<QPushButton>(bin, "restoreButton"), Qt::LeftButton);
    QCOMPARE(fixture.host.messageTexts().last(), u"此用户已存在！"_qs);
    QCOMPARE(table->rowCount(), 1);

    fixture.host.answerQuestion(1); // 取消
    QTest::mouseClick(GuiFixture::control<QPushButton>(bin, "purgeButton"), Qt::LeftButton);
    QCOMPARE(table->rowCount(), 1);
    fixture.host.answerQuestion(0); // 彻底删除
    QTest::mouseClick(GuiFixture::control<QPushButton>(bin, "purgeButton"), Qt::LeftButton);
    QCOMPARE(fixture.host.questions().last().defaultButton, 1);
    QCOMPARE(table->rowCount(), 0);
    QVERIFY(QDir(SafetyPaths::recycleRoot(fixture.paths))
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                .isEmpty());
    QVERIFY(!GuiFixture::control<QPushButton>(bin, "restoreButton")->isEnabled());
    VERIFY_SCRIPT_DONE(fixture.host);
}

// Saved three times, the first version restored from the backup window: the ledger is that
// version again, the one it replaced is a version too, and the list shows it.
void TestSafetyNets::backupWindowRestoresAVersion() {
    GuiFixture fixture;
    // Each save a minute after the one before, as the file's time says.
    const auto savedAt = [&](int minute) {
        QFile file(holderLedger(fixture));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime(QDate(2026, 12, 9), QTime(9, minute)),
                                 QFileDevice::FileModificationTime));
    };
    saveLedger(holderLedger(fixture), 1);
    savedAt(1);
    const QByteArray first = readAll(holderLedger(fixture));
    for (int records = 2; records <= 3; ++records) {
        LedgerWindow* window = openLedger(fixture);
        QVERIFY(window->edits()
                    .addRecord({u"新"_qs, u"2"_qs, u"袋"_qs, u"2.5"_qs, u"5"_qs, {}}, u"d"_qs)
                    .ok());
        action(window, "actionSave")->trigger();
        fixture.frame.close(window);
        savedAt(records);
    }
    fixture.host.clearRecords();
    UserListWindow* list = openUserList(fixture, {u"李四"_qs, User});
    select(list, 1);
    // Stopped while it reads the versions, the window lists them without their figures.
    fixture.host.cancelNextProgress();
    action(list, "actionBackups")->trigger();
    auto* backups = qobject_cast<BackupWindow*>(fixture.frame.topWindow());
    QVERIFY(backups);
    QCOMPARE(fixture.host.progressTexts(), QStringList{u"正在读取“张三”的 2 个版本…"_qs});
    auto* versions = GuiFixture::control<QTableWidget>(backups, "versions");
    QCOMPARE(cellsOf(versions, 0).mid(1, 2), (QStringList{u"未读取"_qs, u"未读取"_qs}));
    fixture.frame.close(backups);
    action(list, "actionBackups")->trigger();
    backups = qobject_cast<BackupWindow*>(fixture.frame.topWindow());
    QVERIFY(backups);
    QCOMPARE(GuiFixture::control<QListWidget>(backups, "holders")->currentItem()->text(), User);
    versions = GuiFixture::control<QTableWidget>(backups, "versions");
    QCOMPARE(versions->rowCount(), 2);
    QCOMPARE(cellsOf(versions, 0).mid(1, 2), (QStringList{u"2"_qs, u"10"_qs}));
    QCOMPARE(cellsOf(versions, 1).mid(1, 2), (QStringList{u"1"_qs, u"5"_qs}));

    versions->selectRow(1);
    QTest::mouseClick(GuiFixture::control<QPushButton>(backups, "previewButton"), Qt::LeftButton);
    auto* preview = qobject_cast<BackupPreviewWindow*>(fixture.frame.topWindow());
    QVERIFY(preview);
    QCOMPARE(products(preview->sheet()), QStringList{u"货1"_qs});
    fixture.frame.close(preview);

    fixture.host.answerQuestion(0);
    QTest::mouseClick(GuiFixture::control<QPushButton>(backups, "restoreButton"), Qt::LeftButton);
    QCOMPARE(readAll(holderLedger(fixture)), first);
    QCOMPARE(versions->rowCount(), 3);
    QCOMPARE(cellsOf(versions, 0).mid(1, 2), (QStringList{u"3"_qs, u"15"_qs}));
    QVERIFY2(fixture.host.messageTexts().last().startsWith(u"“张三”的账目已恢复为"_qs),
             qPrintable(fixture.host.messageTexts().last()));
    VERIFY_SCRIPT_DONE(fixture.host);
}

QTEST_MAIN(TestSafetyNets)
#include "test_safetynets.moc"
