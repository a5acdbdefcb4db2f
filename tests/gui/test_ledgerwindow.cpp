#include "filesizelimit.h"
#include "guifixture.h"
#include "ledger/ledgerclosing.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgermodel.h"
#include "ledger/ledgerrecords.h"
#include "ledger/ledgersheet.h"
#include "ledger/ledgerwindow.h"
#include "ledger/sidepicture.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace vellumar;

namespace {

const QString User = QStringLiteral("张三");
const QString Notice = QStringLiteral("提示");

using Cells = QList<QStringList>;

LedgerWindow* openLedger(GuiFixture& fixture, const QString& user = User) {
    auto* window = new LedgerWindow(fixture.services, user);
    fixture.frame.open(window);
    // Keyboard shortcuts reach the active window only.
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        qWarning("the ledger window did not become active");
    return window;
}

QString ledgerPath(const GuiFixture& fixture, const QString& user = User) {
    return fixture.paths.ledgerFile(DataPaths::LedgerDirSlash, user);
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A ledger file with `records` records under the given titles, and free rows up to 1000.
void writeLedger(const QString& path, int records, const QStringList& titles = {},
                 const QString& product = QStringLiteral("大米")) {
    LedgerSheet sheet;
    if (titles.isEmpty())
        sheet.applyTitles();
    for (int column = 0; column < titles.size(); ++column)
        sheet.setCell(0, column, titles[column]);
    for (int row = 1; row <= records; ++row) {
        sheet.setCell(row, LedgerSheet::Serial, QString::number(row));
        sheet.setCell(row, LedgerSheet::Product, product + QString::number(row));
        sheet.setCell(row, LedgerSheet::UnitPrice, QStringLiteral("2.5"));
    }
    QVERIFY(LedgerFile::save(path, sheet).ok());
}

QStringList serials(const LedgerSheet& sheet, int rows) {
    QStringList texts;
    for (int row = 0; row < rows; ++row)
        texts.append(sheet.cell(row, LedgerSheet::Serial));
    return texts;
}

// Makes every save into the ledger folder fail: a file stands where the folder should be.
void breakLedgerFolder(const GuiFixture& fixture) {
    QVERIFY(QDir(fixture.paths.ledgerDirectory()).removeRecursively());
    writeBytes(fixture.paths.ledgerDirectory(), "not a folder");
}

QTableView* gridOf(LedgerWindow* window) {
    return GuiFixture::control<QTableView>(window, "高级表格1");
}

void selectRows(LedgerWindow* window, int firstSheetRow, int lastSheetRow, int column = 2) {
    QTableView* grid = gridOf(window);
    const QModelIndex top = grid->model()->index(LedgerModel::modelRow(firstSheetRow), column);
    const QModelIndex bottom = grid->model()->index(LedgerModel::modelRow(lastSheetRow), column);
    grid->setCurrentIndex(top);
    grid->selectionModel()->select(QItemSelection(top, bottom),
                                   QItemSelectionModel::ClearAndSelect);
}

QAction* action(LedgerWindow* window, const char* name) {
    return window->findChild<QAction*>(QString::fromLatin1(name));
}

// Makes a folder refuse every new file, even to root (the file system's immutable flag), for
// as long as it lives.
class ImmutableFolder {
public:
    explicit ImmutableFolder(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        m_active = setFlag(true);
    }
    ~ImmutableFolder() {
        if (m_active)
            setFlag(false);
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ImmutableFolder(const ImmutableFolder&) = delete;
    ImmutableFolder& operator=(const ImmutableFolder&) = delete;
    bool active() const { return m_active; }

private:
    bool setFlag(bool on) {
        int flags = 0;
        if (m_fd < 0 || ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) != 0)
            return false;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        return ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    int m_fd;
    bool m_active = false;
};

// What the ledger folder holds, names and bytes, to see that nothing in it changed.
QMap<QString, QByteArray> folderContents(const QString& folder) {
    QMap<QString, QByteArray> contents;
    const QDir dir(folder);
    for (const QFileInfo& entry :
         dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden))
        contents.insert(entry.fileName(),
                        entry.isSymLink() ? "link to " + QFile::encodeName(entry.symLinkTarget())
                        : entry.isDir()   ? QByteArray("folder")
                                          : readAll(entry.filePath()));
    return contents;
}

// The ways a holder's ledger cannot be saved.
enum class Unsavable { LongName, FolderNamedLikeFile, UnwritableFolder, LinkToText };

const QByteArray TextFile = "root:x:0:0:root:/root:/bin/bash\nshop:x:1000:1000::/home/shop:\n";

// Opens the ledger of a holder whose ledger cannot be saved; answers the user name, or an
// empty string with the test skipped.
QString prepareUnsavable(GuiFixture& fixture, Unsavable kind,
                         std::unique_ptr<ImmutableFolder>& lock, QString& linkTarget) {
    switch (kind) {
    case Unsavable::LongName:
        return QString(100, u'长'); // 300 bytes in UTF-8, past any file name
    case Unsavable::FolderNamedLikeFile:
        QDir().mkpath(ledgerPath(fixture));
        return User;
    case Unsavable::UnwritableFolder:
        writeLedger(ledgerPath(fixture), 2);
        lock = std::make_unique<ImmutableFolder>(fixture.paths.ledgerDirectory());
        return User;
    case Unsavable::LinkToText:
        linkTarget = fixture.paths.sourceDirectory() + u"/passwd-copy"_qs;
        writeBytes(linkTarget, TextFile);
        QFile::link(linkTarget, ledgerPath(fixture));
        return User;
    }
    return User;
}

void closeBy(bool byCommand, LedgerWindow* window) {
    if (byCommand)
        action(window, "actionClose")->trigger();
    else
        GuiFixture::closeFromFrame(window);
}

// Sends the grid a tooltip request over a cell, as resting the mouse there does.
QString tooltipOver(QTableView* grid, int modelRow, int column) {
    QToolTip::hideText();
    const QPoint at = grid->visualRect(grid->model()->index(modelRow, column)).center();
    QHelpEvent event(QEvent::ToolTip, at, grid->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(grid->viewport(), &event);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

} // namespace

Q_DECLARE_METATYPE(Unsavable)

class TestLedgerWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { GuiFixture::prepareProcess(); }
    void newLedgerOpensWithTitlesOverEmptyRows();
    void openingShowsTheFileUnderTheProgramsTitles();
    void menusAndShortcuts_data();
    void menusAndShortcuts();
    void menuTitlesOpenFromTheKeyboard_data();
    void menuTitlesOpenFromTheKeyboard();
    void gridFollowsTheWindowSize_data();
    void gridFollowsTheWindowSize();
    void titleRowIsNeverARecord();
    void closing_data();
    void closing();
    void saveCommand();
    void failedSaveIsReportedAndKeepsTheFile();
    void userNameDecidesWhereTheLedgerGoes_data();
    void userNameDecidesWhereTheLedgerGoes();
    void openAnotherLedger();
    void openRefusesWhatIsNotALedger();
    void openCancelled();
    void deleteRecords_data();
    void deleteRecords();
    void damagedLedgerIsKeptBeforeTheFirstSave();
    void recordWindowsOpenThroughFactories();
    void gridFollowsEveryChangeOfTheSheet();
    void unsavableLedgerCanBeClosed_data();
    void unsavableLedgerCanBeClosed();
    void linkedLedgerIsNeverWrittenThrough_data();
    void linkedLedgerIsNeverWrittenThrough();
    void failedCopyAsideKeepsTheFile();
    void recordInTheTitleRowIsKept();
    void cutOffCellsShowTheirTextAsTooltip_data();
    void cutOffCellsShowTheirTextAsTooltip();
    void smallestWindowKeepsEveryControlReachable();
};

void TestLedgerWindow::newLedgerOpensWithTitlesOverEmptyRows() {
    GuiFixture fixture;
    LedgerWindow* window = openLedger(fixture);
    QCOMPARE(window->windowTitle(), QStringLiteral("张三的账目"));
    QVERIFY(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    QVERIFY(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(window->isModal());

    auto* label = GuiFixture::control<QLabel>(window, "标签1");
    QCOMPARE(label->text(), QStringLiteral("张三的账目"));
    QCOMPARE(label->font().pixelSize(), 14);
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(label->geometry(), QRect(128, 0, 416, 24));
    auto* button = GuiFixture::control<QPushButton>(window, "按钮1");
    QCOMPARE(button->text(), QStringLiteral("合计"));
    QCOMPARE(button->geometry(), QRect(552, 0, 88, 24));
    auto* picture = GuiFixture::control<SidePicture>(window, "图片框1");
    QVERIFY(picture->hasPicture());
    QCOMPARE(picture->pos(), QPoint(8, 24));
    QCOMPARE(picture->width(), 112);

    QTableView* grid = gridOf(window);
    QCOMPARE(grid->pos(), QPoint(128, 24));
    QCOMPARE(window->sheet().rowCount(), 1000);
    QCOMPARE(grid->model()->rowCount(), 999);
    QCOMPARE(grid->model()->columnCount(), 8);
    const int widths[] = {40, 150, 100, 50, 80, 100, 170, 220};
    for (int column = 0; column < 8; ++column) {
        QCOMPARE(grid->model()->headerData(column, Qt::Horizontal).toString(),
                 LedgerSheet::titles()[column]);
        QCOMPARE(grid->columnWidth(column), widths[column]);
        QCOMPARE(grid->model()
                     ->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole)
                     .value<Qt::Alignment>(),
                 Qt::AlignCenter);
    }
    QVERIFY(grid->model()->index(0, 0).data().toString().isEmpty());
    QCOMPARE(window->sheet().firstFreeRow(), 1);
    VERIFY_SCRIPT_DONE(fixture.host);
    QVERIFY(fixture.host.messages().isEmpty());
}

void TestLedgerWindow::openingShowsTheFileUnderTheProgramsTitles() {
    GuiFixture fixture;
    writeLedger(ledgerPath(fixture), 3, {QStringLiteral("甲"), QStringLiteral("乙")});
    LedgerWindow* window = openLedger(fixture);
    QTableView* grid = gridOf(window);
    QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("商品名称"));
    QCOMPARE(grid->model()->index(2, 1).data().toString(), QStringLiteral("大米3"));
    QCOMPARE(window->sheet().firstFreeRow(), 4);
    // Unit centred, unit price and total right-aligned, the rest as the grid has it.
    const Qt::Alignment expected[] = {
        Qt::AlignLeft | Qt::AlignVCenter,  Qt::AlignLeft | Qt::AlignVCenter,
        Qt::AlignLeft | Qt::AlignVCenter,  Qt::AlignCenter,
        Qt::AlignRight | Qt::AlignVCenter, Qt::AlignRight | Qt::AlignVCenter,
        Qt::AlignLeft | Qt::AlignVCenter,  Qt::AlignLeft | Qt::AlignVCenter};
    for (int column = 0; column < 8; ++column)
        QCOMPARE(grid->model()->index(1, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
                 expected[column]);
    QVERIFY(fixture.host.messages().isEmpty());
}

void TestLedgerWindow::menusAndShortcuts_data() {
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QKeySequence>("keys");
    QTest::newRow("open") << u"文件"_qs << u"打开"_qs << QKeySequence(u"Ctrl+O"_qs);
    QTest::newRow("save") << u"文件"_qs << u"保存"_qs << QKeySequence(u"Ctrl+S"_qs);
    QTest::newRow("close") << u"文件"_qs << u"关闭"_qs << QKeySequence(u"Ctrl+Q"_qs);
    QTest::newRow("select all") << u"编辑"_qs << u"全选"_qs << QKeySequence(u"Ctrl+A"_qs);
    QTest::newRow("add") << u"编辑"_qs << u"增加记录"_qs << QKeySequence(u"Ctrl+N"_qs);
    QTest::newRow("edit") << u"编辑"_qs << u"编辑记录"_qs << QKeySequence();
    QTest::newRow("delete") << u"编辑"_qs << u"删除记录"_qs << QKeySequence(QKeySequence::Delete);
    QTest::newRow("help") << u"帮助"_qs << u"帮助文件"_qs << QKeySequence();
    QTest::newRow("about") << u"帮助"_qs << u"关于"_qs << QKeySequence();
}

void TestLedgerWindow::menusAndShortcuts() {
    QFETCH(QString, menu);
    QFETCH(QString, item);
    QFETCH(QKeySequence, keys);
    GuiFixture fixture;
    LedgerWindow* window = openLedger(fixture);
    QStringList titles;
    QAction* found = nullptr;
    for (QAction* title : window->menuBar()->actions()) {
        titles.append(title->text());
        if (title->text() == menu)
            for (QAction* entry : title->menu()->actions())
                if (entry->text() == item)
                    found = entry;
    }
    QCOMPARE(titles, (QStringList{u"文件"_qs, u"编辑"_qs, u"帮助"_qs}));
    QVERIFY(found);
    QCOMPARE(found->shortcut(), keys);
}

void TestLedgerWindow::menuTitlesOpenFromTheKeyboard_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("menu");
    QTest::newRow("Ctrl+F") << int(Qt::Key_F) << u"menuFile"_qs;
    QTest::newRow("Ctrl+D") << int(Qt::Key_D) << u"menuEdit"_qs;
    QTest::newRow("Ctrl+J") << int(Qt::Key_J) << u"menuHelp"_qs;
}

void TestLedgerWindow::menuTitlesOpenFromTheKeyboard() {
    QFETCH(int, key);
    QFETCH(QString, menu);
    GuiFixture fixture;
    LedgerWindow* window = openLedger(fixture);
    auto* popup = window->findChild<QMenu*>(menu);
    QTest::keyClick(gridOf(window), Qt::Key(key), Qt::ControlModifier);
    QTRY_VERIFY(popup->isVisible());
    popup->close();
}

void TestLedgerWindow::gridFollowsTheWindowSize_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("larger") << QSize(1100, 800);
    QTest::newRow("designed") << QSize(1024, 712);
    QTest::newRow("tiny") << QSize(120, 60);
}

void TestLedgerWindow::gridFollowsTheWindowSize() {
    QFETCH(QSize, size);
    GuiFixture fixture;
    LedgerWindow* window = openLedger(fixture);
    window->setMinimumSize(0, 0);
    window->resize(size);
    QTRY_COMPARE(window->size(), size);
    QTableView* grid = gridOf(window);
    QCOMPARE(grid->size(), QSize(std::max(0, size.width() - 150), std::max(0, size.height() - 85)));
    QCOMPARE(grid->pos(), QPoint(128, 24));
    auto* picture = GuiFixture::control<QWidget>(window, "图片框1");
    QCOMPARE(picture->geometry(), QRect(8, 24, 112, grid->height()));
}

// The titles are the header: no selection, cursor or deletion reaches them.
void TestLedgerWindow::titleRowIsNeverARecord() {
    GuiFixture fixture;
    writeLedger(ledgerPath(fixture), 5);
    LedgerWindow* window = openLedger(fixture);
    QTableView* grid = gridOf(window);
    QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!(grid->model()->flags(grid->model()->index(0, 1)) & Qt::ItemIsEditable));
    QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(grid->selectionModel()->selectedIndexes().size(), 999 * 8);
    grid->setCurrentIndex(grid->model()->index(0, 0));
    QTest::keyClick(grid, Qt::Key_Up);
    QCOMPARE(window->currentRow(), 1);

    action(window, "actionSelectAll")->trigger();
    fixture.host.answer(MessageAnswer::Yes);
    QTest::keyClick(grid, Qt::Key_Delete);
    QCOMPARE(window->sheet().rowCount(), 1);
    QCOMPARE(grid->model()->rowCount(), 0);
    QCOMPARE(window->sheet().cell(0, 0), QStringLiteral("序号"));
    QCOMPARE(window->currentRow(), -1);
    VERIFY_SCRIPT_DONE(fixture.host);
}

void TestLedgerWindow::closing_data() {
    QTest::addColumn<bool>("byCommand");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("saveFails");
    QTest::addColumn<bool>("closes");
    for (const bool byCommand : {false, true}) {
        const char* way = byCommand ? "关闭" : "close box";
        QTest::addRow("%s: OK saves and closes", way)
            << byCommand << int(MessageAnswer::Ok) << false << true;
        QTest::addRow("%s: Cancel keeps it open", way)
            << byCommand << int(MessageAnswer::Cancel) << false << false;
        QTest::addRow("%s: failed save asks what to do", way)
            << byCommand << int(MessageAnswer::Ok) << true << false;
    }
}

// The close box and "关闭" ask differently, each once, and both save before closing.
void TestLedgerWindow::closing() {
    QFETCH(bool, byCommand);
    QFETCH(int, answer);
    QFETCH(bool, saveFails);
    QFETCH(bool, closes);
    GuiFixture fixture;
    QPointer<LedgerWindow> window = openLedger(fixture);
    window->sheet().setCell(1, LedgerSheet::Serial, QStringLiteral("1"));
    if (saveFails) {
        breakLedgerFolder(fixture);
        fixture.host.answerQuestion(3); // 返回
    }
    fixture.host.answer(answer);
    if (byCommand)
        action(window, "actionClose")->trigger();
    else
        GuiFixture::closeFromFrame(window);

    const auto& messages = fixture.host.messages();
    QCOMPARE(messages.first().text,
             byCommand ? QStringLiteral("确认要关闭？") : QStringLiteral("确认要关闭此窗口？"));
    QCOMPARE(messages.first().flags, 0x31);
    QCOMPARE(messages.first().title, byCommand ? Notice : QString());
    QCOMPARE(messages.size(), 1);
    QCOMPARE(fixture.host.questions().size(), saveFails ? 1 : 0);
    if (saveFails)
        QVERIFY(fixture.host.questions().first().text.startsWith(u"文件保存失败！\n"_qs));
    QCOMPARE(QFileInfo::exists(ledgerPath(fixture)), closes);
    if (closes)
        QTRY_VERIFY(window.isNull());
    else
        QCOMPARE(fixture.windows(), QList<QWidget*>{window.data()});
    VERIFY_SCRIPT_DONE(fixture.host);
}

void TestLedgerWindow::saveCommand() {
    GuiFixture fixture;
    LedgerWindow* window = openLedger(fixture);
    window->sheet().setCell(1, LedgerSheet::Serial, QStringLiteral("1"));
    window->sheet().setCell(1, LedgerSheet::Remark, QStringLiteral("第一行\n第二行, \"引号\""));
    action(window, "actionSave")->trigger();
    const QByteArray first = readAll(ledgerPath(fixture));
    QFile::remove(ledgerPath(fixture));
    QTest::keyClick(gridOf(window), Qt::Key_S, Qt::ControlModifier);

    QCOMPARE(fixture.host.messages().size(), 2);
    for (const auto& message : fixture.host.messages()) {
        QCOMPARE(message.text, QStringLiteral("文件已保存！"));
        QCOMPARE(message.flags, 0x30);
        QCOMPARE(message.title, Notice);
    }
    QCOMPARE(readAll(ledgerPath(fixture)), first);
    LedgerSheet saved;
    QVERIFY(LedgerFile::load(ledgerPath(fixture), saved).ok());
    QCOMPARE(saved.rowCount(), 1000);
    QCOMPARE(saved.cell(1, LedgerSheet::Remark), window->sheet().cell(1, LedgerSheet::Remark));
    QCOMPARE(saved.cell(0, LedgerSheet::Remark), QStringLiteral("备注"));
}

void TestLedgerWindow::failedSaveIsReportedAndKeepsTheFile() {
    GuiFixture fixture;
    writeLedger(ledgerPath(fixture), 2);
    const QByteArray before = readAll(ledgerPath(fixture));
    LedgerWindow* window = openLedger(fixture);
    for (int row = 1; row < 1000; ++row)
        window->sheet().setCell(row, LedgerSheet::Product, QStringLiteral("改过的商品名称"));
    {
        FileSizeLimit diskFull(before.size());
        action(window, "actionSave")->trigger();
    }
    QCOMPARE(fixture.host.messages().size(), 1);
    const auto& message = fixture.host.messages().last();
    QVERIFY2(message.text.startsWith(u"文件保存失败！\n"_qs), qPrintable(message.text));
    QVERIFY2(message.text.contains(u"最大大小"_qs), qPrintable(message.text));
    QCOMPARE(message.flags, 0x30);
    QCOMPARE(message.title, Notice);
    QCOMPARE(readAll(ledgerPath(fixture)), before);
    QCOMPARE(QDir(fixture.paths.ledgerDirectory()).entryList(QDir::Files).size(), 1);
}

void TestLedgerWindow::userNameDecidesWhereTheLedgerGoes_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<bool>("saved");
    QTest::newRow("empty name: a user of its own") << QString() << true;
    QTest::newRow("leads out of the ledger folder") << QStringLiteral("../keep") << false;
    QTest::newRow("folder separator") << QStringLiteral("a/b") << false;
}

// A name from an old user table that is no plain file name is never read or written; the
// file it points at stays as it was.
void TestLedgerWindow::userNameDecidesWhereTheLedgerGoes() {
    QFETCH(QString, user);
    QFETCH(bool, saved);
    GuiFixture fixture;
    const QString outside = fixture.paths.sourceDirectory() + QStringLiteral("/keep.z");
    writeLedger(outside, 3);
    const QByteArray before = readAll(outside);
    LedgerWindow* window = openLedger(fixture, user);
    QCOMPARE(window->sheet().cell(1, LedgerSheet::Serial), QString());
    // Such a name is told at opening already, not only when the first save is refused.
    QCOMPARE(fixture.host.messages().size(), saved ? 0 : 1);
    if (!saved)
        QVERIFY(fixture.host.messages().first().text.contains(u"不能用作文件名"_qs));

    action(window, "actionSave")->trigger();
    QCOMPARE(fixture.host.messages().size(), saved ? 1 : 2);
    QCOMPARE(fixture.host.messages().last().text.startsWith(u"文件已保存！"_qs), saved);
    if (saved)
        QVERIFY(QFileInfo::exists(ledgerPath(fixture, user)));
    QCOMPARE(readAll(outside), before);
    QCOMPARE(QDir(fixture.paths.sourceDirectory()).entryList({u"*.z"_qs}, QDir::Files).size(), 1);
}

void TestLedgerWindow::openAnotherLedger() {
    GuiFixture fixture;
    const QString other = ledgerPath(fixture, QStringLiteral("李四"));
    writeLedger(other, 4, {}, QStringLiteral("酱油"));
    const QByteArray otherBefore = readAll(other);
    writeLedger(ledgerPath(fixture), 1);
    LedgerWindow* window = openLedger(fixture);
    fixture.host.chooseFile(other);
    QTest::keyClick(gridOf(window), Qt::Key_O, Qt::ControlModifier);

    QCOMPARE(fixture.host.fileDialogs().size(), 1);
    const QList<FileFilter>& filters = fixture.host.fileDialogs().first();
    QCOMPARE(filters.size(), 2);
    QCOMPARE(filters[0].description, QStringLiteral("数据库文件（*.z）"));
    QCOMPARE(filters[0].pattern, QStringLiteral("*.z"));
    QCOMPARE(filters[1].description, QStringLiteral("全部文件（*.*）"));
    QCOMPARE(filters[1].pattern, QStringLiteral("*.*"));
    QCOMPARE(window->sheet().cell(4, LedgerSheet::Product), QStringLiteral("酱油4"));
    QCOMPARE(window->windowTitle(), QStringLiteral("张三的账目"));

    action(window, "actionSave")->trigger();
    QCOMPARE(readAll(ledgerPath(fixture)), otherBefore);
    QCOMPARE(readAll(other), otherBefore);
    VERIFY_SCRIPT_DONE(fixture.host);
}

void TestLedgerWindow::openRefusesWhatIsNotALedger() {
    GuiFixture fixture;
    LedgerWindow* window = openLedger(fixture);
    window->sheet().setCell(1, LedgerSheet::Serial, QStringLiteral("1"));
    const QString table = fixture.paths.userTable();
    const QByteArray tableBefore = readAll(table);
    fixture.host.chooseFile(table);
    action(window, "actionOpen")->trigger();

    QCOMPARE(window->sheet().rowCount(), 1000);
    QCOMPARE(window->sheet().cell(1, LedgerSheet::Serial), QStringLiteral("1"));
    const auto& message = fixture.host.messages().last();
    QVERIFY2(message.text.startsWith(u"无法打开文件："_qs + QDir::toNativeSeparators(table)),
             qPrintable(message.text));
    QCOMPARE(message.flags, 0x30);
    QVERIFY(!QFileInfo::exists(ledgerPath(fixture)));
    QCOMPARE(readAll(table), tableBefore);
    VERIFY_SCRIPT_DONE(fixture.host);
}

void TestLedgerWindow::openCancelled() {
    GuiFixture fixture;
    LedgerWindow* window = openLedger(fixture);
    window->sheet().setCell(3, LedgerSheet::Product, QStringLiteral("留着"));
    fixture.host.chooseFile(QString());
    action(window, "actionOpen")->trigger();
    QCOMPARE(window->sheet().cell(3, LedgerSheet::Product), QStringLiteral("留着"));
    QVERIFY(fixture.host.messages().isEmpty());
    VERIFY_SCRIPT_DONE(fixture.host);
}

void TestLedgerWindow::deleteRecords_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("serialsAfter");
    QTest::newRow("rows 3 to 5") << 3 << 5 << int(MessageAnswer::Yes)
                                 << QStringList{u"序号"_qs, u"1"_qs, u"2"_qs, u"6"_qs, {}};
    QTest::newRow("one cell in row 4")
        << 4 << 4 << int(MessageAnswer::Yes)
        << QStringList{u"序号"_qs, u"1"_qs, u"2"_qs, u"3"_qs, u"5"_qs, u"6"_qs, {}};
    QTest::newRow("answered No") << 3 << 5 << int(MessageAnswer::No)
                                 << QStringList{u"序号"_qs, u"1"_qs, u"2"_qs, u"3"_qs,
                                                u"4"_qs,    u"5"_qs, u"6"_qs, {}};
    QTest::newRow("free rows go too")
        << 6 << 8 << int(MessageAnswer::Yes)
        << QStringList{u"序号"_qs, u"1"_qs, u"2"_qs, u"3"_qs, u"4"_qs, u"5"_qs, {}};
}

void TestLedgerWindow::deleteRecords() {
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(int, answer);
    QFETCH(QStringList, serialsAfter);
    GuiFixture fixture;
    writeLedger(ledgerPath(fixture), 6);
    const QByteArray fileBefore = readAll(ledgerPath(fixture));
    LedgerWindow* window = openLedger(fixture);
    selectRows(window, first, last);
    fixture.host.answer(answer);
    action(window, "actionDeleteRecord")->trigger();

    const auto& question = fixture.host.messages().first();
    QCOMPARE(question.text, QStringLiteral("确认删除该条记录？"));
    QCOMPARE(question.flags, 0x34);
    QCOMPARE(question.title, Notice);
    const int deleted = answer == MessageAnswer::Yes ? last - first + 1 : 0;
    QCOMPARE(window->sheet().rowCount(), 1000 - deleted);
    QCOMPARE(gridOf(window)->model()->rowCount(), 999 - deleted);
    QCOMPARE(serials(window->sheet(), int(serialsAfter.size())), serialsAfter);
    QCOMPARE(readAll(ledgerPath(fixture)), fileBefore);
    VERIFY_SCRIPT_DONE(fixture.host);
}

void TestLedgerWindow::damagedLedgerIsKeptBeforeTheFirstSave() {
    GuiFixture fixture;
    const QString path = ledgerPath(fixture);
    const QByteArray damaged = "\xEF\xBB\xBF序号,商品名称\r\n1,\"没有结束的引号\r\n";
    writeBytes(path, damaged);
    LedgerWindow* window = openLedger(fixture);

    QCOMPARE(fixture.host.messages().size(), 1);
    const auto& warning = fixture.host.messages().first();
    QVERIFY2(warning.text.startsWith(u"账目文件无法读取："_qs + QDir::toNativeSeparators(path)),
             qPrintable(warning.text));
    QCOMPARE(warning.flags, 0x30);
    QCOMPARE(window->sheet().rowCount(), 1000);
    QCOMPARE(gridOf(window)->model()->headerData(0, Qt::Horizontal).toString(), u"序号"_qs);
    QCOMPARE(readAll(path), damaged);

    action(window, "actionSave")->trigger();
    action(window, "actionSave")->trigger();
    const QString kept = path + QStringLiteral(".无法读取-20261209-093015");
    QCOMPARE(readAll(kept), damaged);
    LedgerSheet saved;
    QVERIFY(LedgerFile::load(path, saved).ok());
    // One copy only: the second save replaces a file the program wrote itself.
    QCOMPARE(QDir(fixture.paths.ledgerDirectory()).entryList(QDir::Files).size(), 2);
    QCOMPARE(fixture.host.messageTexts().mid(1),
             (QStringList{u"文件已保存！"_qs, u"文件已保存！"_qs}));
}

void TestLedgerWindow::recordWindowsOpenThroughFactories() {
    GuiFixture fixture;
    writeLedger(ledgerPath(fixture), 2);
    LedgerWindow* window = openLedger(fixture);
    QStringList opened;
    QList<int> rows;
    const auto factory = [&](const QString& name) {
        return [&, name](LedgerWindow& ledger) -> QWidget* {
            opened.append(name);
            rows.append(ledger.currentRow());
            auto* made = new QWidget;
            // Modal like every window; closed again at once so the ledger takes input.
            QTimer::singleShot(0, made, [&fixture, made] { fixture.frame.close(made); });
            return made;
        };
    };
    window->setRecordDialogFactories(
        {factory(u"add"_qs), factory(u"edit"_qs), factory(u"totals"_qs), factory(u"about"_qs)});
    QTableView* grid = gridOf(window);

    const auto onlyLedgerOpen = [&fixture, window] {
        return fixture.windows() == QList<QWidget*>{window};
    };
    QTest::keyClick(grid, Qt::Key_N, Qt::ControlModifier);
    QTRY_VERIFY(onlyLedgerOpen());
    QTest::mouseClick(GuiFixture::control<QPushButton>(window, "按钮1"), Qt::LeftButton);
    QTRY_VERIFY(onlyLedgerOpen());
    action(window, "actionAbout")->trigger();
    QTRY_VERIFY(onlyLedgerOpen());
    // Editing needs a row under the cursor; a double-click on a free row does nothing.
    grid->setCurrentIndex(grid->model()->index(1, 3));
    action(window, "actionEditRecord")->trigger();
    QTRY_VERIFY(onlyLedgerOpen());
    const auto doubleClick = [grid](int modelRow) {
        const QRect cell = grid->visualRect(grid->model()->index(modelRow, 1));
        // A double-click follows a click, as it does under the operator's hand.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    };
    doubleClick(0);
    QTRY_VERIFY(onlyLedgerOpen());
    doubleClick(5);
    QCOMPARE(opened, (QStringList{u"add"_qs, u"totals"_qs, u"about"_qs, u"edit"_qs, u"edit"_qs}));
    QCOMPARE(rows.mid(3), (QList<int>{2, 1}));
}

// The grid shows what the record dialogs write into the sheet, at once and consistently.
void TestLedgerWindow::gridFollowsEveryChangeOfTheSheet() {
    GuiFixture fixture;
    LedgerWindow* window = openLedger(fixture);
    QTableView* grid = gridOf(window);
    QAbstractItemModelTester tester(grid->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    LedgerSheet& sheet = window->sheet();
    sheet.setCell(1, LedgerSheet::Remark, QStringLiteral("两行\r\n备注"));
    QCOMPARE(grid->model()->index(0, 7).data().toString(), QStringLiteral("两行↵备注"));
    QCOMPARE(grid->model()->index(0, 7).data(Qt::ToolTipRole).toString(),
             QStringLiteral("两行\r\n备注"));
    sheet.setCell(0, LedgerSheet::Product, QStringLiteral("品名"));
    QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("品名"));
    QCOMPARE(sheet.appendRow(), 1000);
    QCOMPARE(grid->model()->rowCount(), 1000);
    sheet.removeRows(10, 500);
    QCOMPARE(grid->model()->rowCount(), 500);
    sheet.removeRow(0);
    QCOMPARE(grid->model()->rowCount(), 499);
    sheet.replaceRows(std::vector<LedgerSheet::Row>(3));
    QCOMPARE(grid->model()->rowCount(), 2);
    sheet.replaceRows({});
    QCOMPARE(grid->model()->rowCount(), 0);
    sheet.applyTitles();
    QCOMPARE(grid->model()->headerData(7, Qt::Horizontal).toString(), QStringLiteral("备注"));
}

void TestLedgerWindow::unsavableLedgerCanBeClosed_data() {
    QTest::addColumn<Unsavable>("kind");
    QTest::addColumn<bool>("byCommand");
    QTest::addColumn<bool>("saveCopy");
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("warnedAtOpening");
    struct Case {
        const char* name;
        Unsavable kind;
        const char16_t* cause;
        const char16_t* warning;
    };
    const Case cases[] = {
        {"name too long", Unsavable::LongName, u"文件名太长", u"文件名太长"},
        {"folder named like the file", Unsavable::FolderNamedLikeFile, u"同名的是一个文件夹",
         u"同名的是一个文件夹"},
        {"unwritable folder", Unsavable::UnwritableFolder, u"系统不允许改动", u""},
        {"link to a text file", Unsavable::LinkToText, u"它是一个符号链接", u"它是一个符号链接"},
    };
    for (const Case& c : cases)
        for (const bool byCommand : {false, true})
            for (const bool saveCopy : {false, true})
                QTest::addRow("%s, %s, %s", c.name, byCommand ? "关闭" : "close box",
                              saveCopy ? "copy elsewhere" : "closed unsaved")
                    << c.kind << byCommand << saveCopy << QString::fromUtf16(c.cause)
                    << QString::fromUtf16(c.warning);
}

// Both ways of closing, after a save that fails for a real reason: the operator reads that
// reason, may go back, and then leaves with a copy elsewhere or without saving; the ledger
// folder, and a link's target, stay exactly as they were.
void TestLedgerWindow::unsavableLedgerCanBeClosed() {
    QFETCH(Unsavable, kind);
    QFETCH(bool, byCommand);
    QFETCH(bool, saveCopy);
    QFETCH(QString, cause);
    QFETCH(QString, warnedAtOpening);
    GuiFixture fixture;
    std::unique_ptr<ImmutableFolder> lock;
    QString linkTarget;
    const QString user = prepareUnsavable(fixture, kind, lock, linkTarget);
    if (lock && !lock->active())
        QSKIP("this file system cannot make a folder immutable");
    const auto before = folderContents(fixture.paths.ledgerDirectory());

    QPointer<LedgerWindow> window = openLedger(fixture, user);
    QCOMPARE(fixture.host.messages().size(), warnedAtOpening.isEmpty() ? 0 : 1);
    if (!warnedAtOpening.isEmpty()) {
        const QString warning = fixture.host.messages().first().text;
        QVERIFY2(warning.contains(warnedAtOpening), qPrintable(warning));
        // There is no file to keep a copy of, so none is promised.
        QVERIFY2(!warning.contains(u"副本"_qs), qPrintable(warning));
    }
    fixture.host.clearRecords();
    RecordFields fields;
    fields.product = u"今天的货"_qs;
    const Result<int> added = LedgerRecords::add(window->sheet(), fields, u"d"_qs);
    QVERIFY(added.ok());

    fixture.host.answer(MessageAnswer::Ok);
    fixture.host.answerQuestion(SaveBeforeClosing::Back);
    closeBy(byCommand, window);
    QCOMPARE(fixture.windows(), QList<QWidget*>{window.data()});
    QCOMPARE(fixture.host.questions().size(), 1);
    const Question& failed = fixture.host.questions().first();
    QVERIFY2(failed.text.startsWith(u"文件保存失败！\n"_qs), qPrintable(failed.text));
    QVERIFY2(failed.text.contains(cause), qPrintable(failed.text));

    const QString copy = fixture.paths.programDirectory() + u"/副本.z"_qs;
    fixture.host.answer(MessageAnswer::Ok);
    if (saveCopy) {
        fixture.host.answerQuestion(SaveBeforeClosing::SaveCopy);
        fixture.host.chooseSaveFile(copy);
    } else {
        fixture.host.answerQuestion(SaveBeforeClosing::Discard);
        fixture.host.answerQuestion(0); // 不保存，关闭
    }
    closeBy(byCommand, window);
    QTRY_VERIFY(window.isNull());
    VERIFY_SCRIPT_DONE(fixture.host);

    QCOMPARE(folderContents(fixture.paths.ledgerDirectory()), before);
    if (!linkTarget.isEmpty())
        QCOMPARE(readAll(linkTarget), TextFile);
    QCOMPARE(QFileInfo::exists(copy), saveCopy);
    if (saveCopy) {
        LedgerSheet saved;
        QVERIFY(LedgerFile::load(copy, saved).ok());
        QCOMPARE(saved.cell(*added, LedgerSheet::Product), u"今天的货"_qs);
    }
}

void TestLedgerWindow::linkedLedgerIsNeverWrittenThrough_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("save") << u"save"_qs;
    QTest::newRow("add a record, save") << u"add"_qs;
    QTest::newRow("open another ledger, save") << u"open"_qs;
    QTest::newRow("delete everything, save") << u"delete"_qs;
}

// A symbolic link in the ledger folder is not the holder's ledger: nothing is read through it
// and no command writes through it, so its target keeps every byte.
void TestLedgerWindow::linkedLedgerIsNeverWrittenThrough() {
    QFETCH(QString, command);
    GuiFixture fixture;
    std::unique_ptr<ImmutableFolder> unused;
    QString target;
    prepareUnsavable(fixture, Unsavable::LinkToText, unused, target);
    const QString other = fixture.paths.sourceDirectory() + u"/other.z"_qs;
    writeLedger(other, 3);
    const auto before = folderContents(fixture.paths.ledgerDirectory());
    LedgerWindow* window = openLedger(fixture);
    QCOMPARE(window->sheet().cell(1, LedgerSheet::Serial), QString());

    if (command == u"add") {
        QTest::keyClick(gridOf(window), Qt::Key_N, Qt::ControlModifier);
        QWidget* dialog = fixture.frame.topWindow();
        QVERIFY(dialog != window);
        QTest::mouseClick(GuiFixture::control<QPushButton>(dialog, "按钮1"), Qt::LeftButton);
        QCOMPARE(window->sheet().cell(1, LedgerSheet::Serial), u"1"_qs);
    } else if (command == u"open") {
        fixture.host.chooseFile(other);
        action(window, "actionOpen")->trigger();
        QCOMPARE(window->sheet().cell(3, LedgerSheet::Serial), u"3"_qs);
    } else if (command == u"delete") {
        action(window, "actionSelectAll")->trigger();
        fixture.host.answer(MessageAnswer::Yes);
        action(window, "actionDeleteRecord")->trigger();
    }
    action(window, "actionSave")->trigger();
    const auto& refused = fixture.host.messages().last();
    QVERIFY2(refused.text.startsWith(u"文件保存失败！\n"_qs), qPrintable(refused.text));
    QVERIFY(refused.text.contains(u"它是一个符号链接"_qs));
    QCOMPARE(readAll(target), TextFile);
    QCOMPARE(folderContents(fixture.paths.ledgerDirectory()), before);
    VERIFY_SCRIPT_DONE(fixture.host);
}

// The copy aside goes through the program's file operations; when it fails, nothing is
// saved over the unreadable file, and the window can still be closed.
void TestLedgerWindow::failedCopyAsideKeepsTheFile() {
    GuiFixture fixture;
    const QString path = ledgerPath(fixture);
    const QByteArray damaged = "\xEF\xBB\xBF序号,商品名称\r\n1,\"没有结束的引号\r\n";
    writeBytes(path, damaged);
    QPointer<LedgerWindow> window = openLedger(fixture);
    fixture.host.clearRecords();
    fixture.files.fail(FaultyFileSystem::Operation::Copy, ENOSPC);

    action(window, "actionSave")->trigger();
    QCOMPARE(fixture.host.messages().size(), 1);
    const auto& refused = fixture.host.messages().first();
    QVERIFY2(refused.text.startsWith(
                 u"文件保存失败！\n打开窗口时无法读取的原账目文件没能另存一份副本"_qs),
             qPrintable(refused.text));
    QVERIFY(refused.text.contains(u"磁盘空间已满"_qs));
    QCOMPARE(refused.detail, qt_error_string(ENOSPC));
    QCOMPARE(readAll(path), damaged);
    QCOMPARE(QDir(fixture.paths.ledgerDirectory()).entryList(QDir::Files).size(), 1);

    fixture.host.answer(MessageAnswer::Ok);
    fixture.host.answerQuestion(SaveBeforeClosing::Discard);
    fixture.host.answerQuestion(0);
    GuiFixture::closeFromFrame(window);
    QTRY_VERIFY(window.isNull());
    QCOMPARE(readAll(path), damaged);
    VERIFY_SCRIPT_DONE(fixture.host);
}

// A ledger whose title row was removed in a spreadsheet keeps its first record.
void TestLedgerWindow::recordInTheTitleRowIsKept() {
    GuiFixture fixture;
    LedgerSheet file(4);
    for (int row = 0; row < 3; ++row) {
        file.setCell(row, LedgerSheet::Serial, QString::number(row + 1));
        file.setCell(row, LedgerSheet::Product, u"酱油%1"_qs.arg(row + 1));
    }
    QVERIFY(LedgerFile::save(ledgerPath(fixture), file).ok());
    LedgerWindow* window = openLedger(fixture);
    QTableView* grid = gridOf(window);
    QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), u"序号"_qs);
    QCOMPARE(grid->model()->index(0, 1).data().toString(), u"酱油1"_qs);
    QCOMPARE(grid->model()->index(2, 1).data().toString(), u"酱油3"_qs);
    QCOMPARE(window->sheet().rowCount(), 5);

    action(window, "actionSave")->trigger();
    LedgerSheet saved;
    QVERIFY(LedgerFile::load(ledgerPath(fixture), saved).ok());
    QCOMPARE(saved.cell(0, LedgerSheet::Product), u"商品名称"_qs);
    QCOMPARE(saved.cell(1, LedgerSheet::Product), u"酱油1"_qs);
    QCOMPARE(saved.rowCount(), 5);
}

void TestLedgerWindow::cutOffCellsShowTheirTextAsTooltip_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("tooltip");
    const QString tea = u"特级西湖龙井明前茶叶礼盒装五百克"_qs;
    QTest::newRow("short name") << 1 << u"大米"_qs << 0 << QString();
    QTest::newRow("name cut off") << 1 << tea << 0 << tea;
    QTest::newRow("same name in a wide column") << 1 << tea << 600 << QString();
    QTest::newRow("number that fits") << 5 << u"7.5"_qs << 0 << QString();
    QTest::newRow("long number cut off")
        << 5 << u"12345678901234.5"_qs << 0 << u"12345678901234.5"_qs;
    QTest::newRow("remark over two lines") << 7 << u"两行\n备注"_qs << 0 << u"两行\n备注"_qs;
    QTest::newRow("markup shows as typed") << 1 << u"<b>"_qs + tea << 0 << u"&lt;b&gt;"_qs + tea;
    QTest::newRow("empty cell") << 2 << QString() << 0 << QString();
}

void TestLedgerWindow::cutOffCellsShowTheirTextAsTooltip() {
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QString, tooltip);
    GuiFixture fixture;
    LedgerWindow* window = openLedger(fixture);
    window->sheet().setCell(1, LedgerSheet::Serial, u"1"_qs);
    window->sheet().setCell(1, column, text);
    QTableView* grid = gridOf(window);
    if (width > 0)
        grid->setColumnWidth(column, width);
    const QString shown = tooltipOver(grid, 0, column);
    if (tooltip.isEmpty())
        QVERIFY2(shown.isEmpty(), qPrintable(shown));
    else
        QVERIFY2(shown.contains(tooltip), qPrintable(shown));
    QToolTip::hideText();
}

// Narrowed and lowered as far as it goes, the window still shows every control whole.
void TestLedgerWindow::smallestWindowKeepsEveryControlReachable() {
    GuiFixture fixture;
    LedgerWindow* window = openLedger(fixture);
    window->resize(320, 200);
    QTRY_COMPARE(window->size(), window->minimumSize());
    QVERIFY(window->width() >= 640);
    for (const char* name : {"标签1", "按钮1", "图片框1", "高级表格1"}) {
        auto* control = GuiFixture::control<QWidget>(window, name);
        const QRect place(control->mapTo(window, QPoint(0, 0)), control->size());
        QVERIFY2(window->rect().contains(place), name);
    }
    for (QAction* menu : window->menuBar()->actions())
        QVERIFY(window->menuBar()->rect().contains(window->menuBar()->actionGeometry(menu)));
    QTableView* grid = gridOf(window);
    QCOMPARE(grid->size(), QSize(window->width() - 150, window->height() - 85));
    QVERIFY(grid->viewport()->height() >= 5 * grid->verticalHeader()->defaultSectionSize());
}

QTEST_MAIN(TestLedgerWindow)
#include "test_ledgerwindow.moc"
