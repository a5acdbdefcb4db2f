// The statement, the find bar, the selection sum and the receivables overview as the
// operator uses them; statements are read back from their PDF with pdftotext.

#include "checks.h"
#include "guifixture.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgermodel.h"
#include "ledger/ledgerrecords.h"
#include "ledger/ledgerwindow.h"
#include "reports/ledgerextras.h"
#include "reports/receivableswindow.h"
#include "reports/statementdialog.h"
#include "storage/settingsfile.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPdfWriter>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTest>

using namespace vellumar;

namespace {

const QString Holder = u"张三"_qs;
const QString LongRemark = u"这是一条很长的备注，"_qs.repeated(30) + u"结尾标记"_qs;

// Records of November and December 2026, one long remark, one date nobody can read.
void writeLedger(GuiFixture& fixture, int records) {
    LedgerSheet sheet(records + 10);
    sheet.applyTitles();
    for (int row = 1; row <= records; ++row) {
        const bool december = row % 2 == 0;
        const QStringList cells = {QString::number(row),
                                   (december ? u"十二月货品%1"_qs : u"十一月货品%1"_qs).arg(row),
                                   u"2"_qs,
                                   u"袋"_qs,
                                   u"0.05"_qs,
                                   u"0.1"_qs,
                                   december ? u"2026-12-0%1 10:00:00"_qs.arg(1 + row % 9)
                                            : u"2026-11-15 10:00:00"_qs,
                                   row == 4 ? LongRemark : QString()};
        for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
            sheet.setCell(row, column, cells[column]);
    }
    sheet.setCell(records + 1, LedgerSheet::Serial, QString::number(records + 1));
    sheet.setCell(records + 1, LedgerSheet::Product, u"日期不明的货品"_qs);
    sheet.setCell(records + 1, LedgerSheet::Total, u"7"_qs);
    sheet.setCell(records + 1, LedgerSheet::Date, u"上个月"_qs);
    must(LedgerFile::save(fixture.paths.ledgerFile(DataPaths::LedgerDirSlash, Holder), sheet));
}

LedgerWindow* openLedger(GuiFixture& fixture) {
    auto* window = new LedgerWindow(fixture.services, Holder);
    fixture.frame.open(window);
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        qWarning("the ledger window did not become active");
    return window;
}

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestReportWindows : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { GuiFixture::prepareProcess(); }
    void statementOfAPeriodAsPdf();
    void statementMenuItemsAfterTheDesignedOnes();
    void printingGoesThroughTheHost_data();
    void printingGoesThroughTheHost();
    void exportFromTheLedger_data();
    void exportFromTheLedger();
    void findBar();
    void selectionSum_data();
    void selectionSum();
    void barsLeaveTheGridItsPlace_data();
    void barsLeaveTheGridItsPlace();
    void receivablesOverview();
};

void TestReportWindows::statementOfAPeriodAsPdf() {
    GuiFixture fixture;
    writeLedger(fixture, 60);
    LedgerWindow* ledger = openLedger(fixture);
    ledger->findChild<QAction*>(u"actionStatement"_qs)->trigger();
    auto* dialog = qobject_cast<StatementDialog*>(fixture.frame.topWindow());
    QVERIFY(dialog);
    dialog->findChild<QComboBox*>(u"periodChoice"_qs)->setCurrentIndex(StatementDialog::ThisMonth);
    dialog->findChild<QLineEdit*>(u"shopHeading"_qs)->setText(u"城东百货商店"_qs);
    QTemporaryDir output;
    const QString pdf = output.filePath(u"对账单.pdf"_qs);
    fixture.host.chooseSaveFile(pdf);
    QTest::mouseClick(dialog->findChild<QPushButton*>(u"pdfButton"_qs), Qt::LeftButton);
    QTRY_VERIFY(fixture.frame.topWindow() == ledger); // closed once saved

    const QString text = run(u"pdftotext"_qs, {u"-layout"_qs, pdf, u"-"_qs});
    QVERIFY2(!text.isEmpty(), "pdftotext read nothing");
    for (const QString& expected :
         {u"城东百货商店"_qs, u"对账单"_qs, u"账户：张三"_qs, u"2026-12-01 至 2026-12-31"_qs,
          u"十二月货品2"_qs, u"十二月货品60"_qs, u"本期合计（总金额）：3"_qs, u"记录数：30 条"_qs,
          u"打印日期：2026-12-09 09:30:15"_qs, u"日期不明的货品"_qs, u"结尾标记"_qs})
        QVERIFY2(text.contains(expected), qPrintable(expected));
    QVERIFY(!text.contains(u"十一月货品"_qs));
    // One title row on every page, and each page numbered of all.
    const int pages = int(text.count(u'\f'));
    QVERIFY2(pages >= 2, qPrintable(QString::number(pages)));
    // (the records whose date cannot be read are a table of their own, with its own titles)
    QCOMPARE(int(text.count(u"商品名称"_qs)), pages + 1);
    QVERIFY(text.contains(u"第 %1 页 / 共 %1 页"_qs.arg(pages)));
    // The long remark is wrapped over lines, never cut: every piece of it is printed.
    // (counted by a character of it, since a line may end inside any word)
    QCOMPARE(int(text.count(u'很')), 30);
    // The fonts travel with the file.
    const QStringList fonts = run(u"pdffonts"_qs, {pdf}).split(u'\n', Qt::SkipEmptyParts).mid(2);
    QVERIFY(!fonts.isEmpty());
    for (const QString& font : fonts)
        QVERIFY2(font.contains(u" yes "_qs), qPrintable(font));
    // The heading is kept for the next statement.
    QCOMPARE(valueOf(SettingsFile::load(fixture.paths.settingsFile()))
                 .value(StatementDialog::HeadingKey.toString()),
             u"城东百货商店"_qs);
}

void TestReportWindows::statementMenuItemsAfterTheDesignedOnes() {
    GuiFixture fixture;
    LedgerWindow* ledger = openLedger(fixture);
    const auto captions = [ledger](const char* menu) {
        QStringList texts;
        for (QAction* action : ledger->findChild<QMenu*>(QString::fromLatin1(menu))->actions())
            texts.append(action->text());
        return texts;
    };
    QCOMPARE(captions("menuFile"),
             (QStringList{u"打开"_qs, u"保存"_qs, QString(), u"关闭"_qs, QString(),
                          u"打印对账单…"_qs, u"导出为 Excel…"_qs}));
    QCOMPARE(captions("menuEdit").last(), u"查找"_qs);
    QCOMPARE(ledger->findChild<QAction*>(u"actionStatement"_qs)->shortcut(),
             QKeySequence(u"Ctrl+P"_qs));
    QCOMPARE(ledger->findChild<QAction*>(u"actionFind"_qs)->shortcut(), QKeySequence(u"F3"_qs));
}

void TestReportWindows::printingGoesThroughTheHost_data() {
    QTest::addColumn<bool>("confirm");
    QTest::newRow("printed") << true;
    QTest::newRow("printer dialog cancelled") << false;
}

// The printer gets the statement's pages; the dialog closes once it is printed and stays when
// the operator cancels the printer dialog.
void TestReportWindows::printingGoesThroughTheHost() {
    QFETCH(bool, confirm);
    GuiFixture fixture;
    writeLedger(fixture, 4);
    LedgerWindow* ledger = openLedger(fixture);
    QTemporaryDir output;
    const QString pdf = output.filePath(u"printed.pdf"_qs);
    fixture.host.setPrintTarget([&pdf](const PagePainter& paint) {
        QPdfWriter writer(pdf);
        return paint(writer);
    });
    ledger->findChild<QAction*>(u"actionStatement"_qs)->trigger();
    auto* dialog = qobject_cast<StatementDialog*>(fixture.frame.topWindow());
    QVERIFY(dialog);
    fixture.host.answerPrint(confirm);
    QTest::mouseClick(dialog->findChild<QPushButton*>(u"printButton"_qs), Qt::LeftButton);
    QCOMPARE(fixture.host.printJobs().size(), confirm ? 1 : 0);
    QCOMPARE(QFile::exists(pdf), confirm);
    if (confirm) {
        QCOMPARE(fixture.host.printJobs().first().title, u"对账单"_qs);
        QTRY_VERIFY(fixture.frame.topWindow() == ledger);
        QVERIFY(run(u"pdftotext"_qs, {pdf, u"-"_qs}).contains(u"记录数：5 条"_qs));
    } else {
        QCOMPARE(fixture.frame.topWindow(), dialog);
    }
}

void TestReportWindows::exportFromTheLedger_data() {
    QTest::addColumn<bool>("chosen");
    QTest::newRow("saved") << true;
    QTest::newRow("file dialog cancelled") << false;
}

void TestReportWindows::exportFromTheLedger() {
    QFETCH(bool, chosen);
    GuiFixture fixture;
    writeLedger(fixture, 10);
    LedgerWindow* ledger = openLedger(fixture);
    QTemporaryDir output;
    const QString workbook = output.filePath(u"账目.xlsx"_qs);
    fixture.host.chooseSaveFile(chosen ? workbook : QString());
    ledger->findChild<QAction*>(u"actionExportExcel"_qs)->trigger();
    QCOMPARE(fixture.host.saveDialogs().size(), 1);
    QVERIFY(fixture.host.saveDialogs().first().suggestedPath.endsWith(u"张三的账目.xlsx"_qs));
    QCOMPARE(QFile::exists(workbook), chosen);
    QCOMPARE(fixture.host.progressTexts().size(), chosen ? 1 : 0);
    if (chosen)
        QVERIFY(fixture.host.messageTexts().last().startsWith(u"已导出 11 行"_qs));
}

void TestReportWindows::findBar() {
    GuiFixture fixture;
    writeLedger(fixture, 10);
    LedgerWindow* ledger = openLedger(fixture);
    FindBar* bar = ledger->findChild<FindBar*>();
    QVERIFY(!bar->isVisible());
    QTest::keyClick(ledger, Qt::Key_F3);
    QTRY_VERIFY(bar->isVisible());
    auto* text = bar->findChild<QLineEdit*>(u"findText"_qs);
    QTRY_VERIFY(text->hasFocus());
    text->setText(u"十二月货品"_qs); // typed by an input method
    QTest::keyClick(text, Qt::Key_Return);
    QCOMPARE(ledger->currentRow(), 2);
    QTest::keyClick(text, Qt::Key_Return);
    QCOMPARE(ledger->currentRow(), 4);
    QTest::keyClick(text, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(ledger->currentRow(), 2);
    QTest::keyClick(text, Qt::Key_Return, Qt::ShiftModifier); // round to the last one
    QCOMPARE(ledger->currentRow(), 10);
    QVERIFY(bar->findChild<QLabel*>(u"findMessage"_qs)->text().contains(u"从末尾继续"_qs));
    text->setText(u"没有的东西"_qs);
    QTest::keyClick(text, Qt::Key_Return);
    QCOMPARE(ledger->currentRow(), 10);
    QCOMPARE(bar->findChild<QLabel*>(u"findMessage"_qs)->text(), u"找不到“没有的东西”"_qs);
    QTest::keyClick(text, Qt::Key_Escape);
    QTRY_VERIFY(!bar->isVisible());
    QTRY_VERIFY(ledger->grid()->hasFocus());
}

void TestReportWindows::selectionSum_data() {
    QTest::addColumn<int>("first"); // sheet rows; 0: select all
    QTest::addColumn<int>("last");
    QTest::addColumn<QString>("shown");
    QTest::newRow("one record") << 3 << 3 << u"已选 1 条记录，总金额合计：0.1"_qs;
    QTest::newRow("ten records, exact") << 1 << 10 << u"已选 10 条记录，总金额合计：1"_qs;
    QTest::newRow("with free rows") << 8 << 15 << u"已选 4 条记录，总金额合计：7.3"_qs;
    QTest::newRow("select all") << 0 << 0 << u"已选 11 条记录，总金额合计：8"_qs;
}

void TestReportWindows::selectionSum() {
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(QString, shown);
    GuiFixture fixture;
    writeLedger(fixture, 10);
    LedgerWindow* ledger = openLedger(fixture);
    auto* summary = ledger->findChild<QLabel*>(u"selectionSummary"_qs);
    QTableView* grid = ledger->grid();
    if (first == 0) {
        ledger->findChild<QAction*>(u"actionSelectAll"_qs)->trigger();
    } else {
        const QModelIndex top = grid->model()->index(LedgerModel::modelRow(first), 1);
        const QModelIndex bottom = grid->model()->index(LedgerModel::modelRow(last), 5);
        grid->selectionModel()->select(QItemSelection(top, bottom),
                                       QItemSelectionModel::ClearAndSelect);
    }
    QCOMPARE(summary->text(), shown);
    // A record changed under the selection changes the sum shown.
    ledger->sheet().setCell(first == 0 ? 1 : first, LedgerSheet::Total, u"100"_qs);
    QTRY_VERIFY(summary->text() != shown);
    grid->clearSelection();
    QCOMPARE(summary->text(), u"未选择记录"_qs);
}

void TestReportWindows::barsLeaveTheGridItsPlace_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("designed") << QSize(1024, 712);
    QTest::newRow("larger") << QSize(1100, 800);
    QTest::newRow("smallest") << QSize(648, 400);
}

// The grid keeps its designed rule (window − 150 wide, − 85 high) and the status bar with
// the find bar open never covers it.
void TestReportWindows::barsLeaveTheGridItsPlace() {
    QFETCH(QSize, size);
    GuiFixture fixture;
    LedgerWindow* ledger = openLedger(fixture);
    QTest::keyClick(ledger, Qt::Key_F3);
    ledger->resize(size);
    QTRY_COMPARE(ledger->grid()->size(), QSize(size.width() - 150, size.height() - 85));
    const QRect grid(ledger->grid()->mapTo(ledger, QPoint(0, 0)), ledger->grid()->size());
    const QRect status = ledger->statusBar()->geometry();
    QVERIFY2(
        grid.bottom() < status.top(),
        qPrintable(
            u"grid ends at %1, status bar starts at %2"_qs.arg(grid.bottom()).arg(status.top())));
}

void TestReportWindows::receivablesOverview() {
    GuiFixture fixture;
    writeLedger(fixture, 10); // 张三: 11 records, 8
    const QString other = u"李四"_qs;
    LedgerSheet sheet(3);
    sheet.applyTitles();
    sheet.setCell(1, LedgerSheet::Serial, u"1"_qs);
    sheet.setCell(1, LedgerSheet::Total, u"12.5"_qs);
    sheet.setCell(1, LedgerSheet::Date, u"2026-10-01 08:00:00"_qs);
    must(LedgerFile::save(fixture.paths.ledgerFile(DataPaths::LedgerDirSlash, other), sheet));
    QFile damaged(fixture.paths.ledgerFile(DataPaths::LedgerDirSlash, u"王五"_qs));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("\xEF\xBB\xBF"
                  "1,\"unfinished\r\n");
    damaged.close();

    auto* window = new ReceivablesWindow(fixture.services, {Holder, other, u"王五"_qs, u"赵六"_qs},
                                         localLedgerReader(fixture.paths));
    fixture.frame.open(window);
    QTableView* table = window->table();
    QCOMPARE(table->model()->rowCount(), 4);
    const auto cell = [table](int row, int column) {
        return table->model()->index(row, column).data().toString();
    };
    QCOMPARE(cell(0, ReceivablesWindow::Records), u"11"_qs);
    QCOMPARE(cell(0, ReceivablesWindow::Total), u"8"_qs);
    QCOMPARE(cell(0, ReceivablesWindow::First), u"2026-11-15"_qs);
    QCOMPARE(cell(0, ReceivablesWindow::Last), u"2026-12-09"_qs);
    QCOMPARE(cell(1, ReceivablesWindow::Total), u"12.5"_qs);
    QCOMPARE(cell(2, ReceivablesWindow::Records), QString()); // unreadable, never 0
    QVERIFY(cell(2, ReceivablesWindow::Note).startsWith(u"账目无法读取"_qs));
    QCOMPARE(cell(3, ReceivablesWindow::Note), u"还没有账目"_qs);
    QCOMPARE(window->findChild<QLabel*>(u"grandTotal"_qs)->text(),
             u"共 4 个账户，12 条记录，应收合计：20.5（另有 1 本账目无法读取，没有计入）"_qs);
    // Sorted by the total as numbers: 12.5 above 8 going down.
    table->sortByColumn(ReceivablesWindow::Total, Qt::DescendingOrder);
    QCOMPARE(cell(0, ReceivablesWindow::Holder), other);
    QCOMPARE(cell(1, ReceivablesWindow::Holder), Holder);
}

QTEST_MAIN(TestReportWindows)
#include "test_reportwindows.moc"
