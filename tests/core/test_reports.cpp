// The figures behind statements, the overview and the status bar: which records a period
// takes, sums over blocks of rows that must equal "计算", the find, and the overview of every
// holder's ledger.

#include "checks.h"
#include "ledger/holderledger.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgerrecords.h"
#include "reports/ledgersearch.h"
#include "reports/rangetotals.h"
#include "reports/receivables.h"
#include "reports/statement.h"
#include "storage/datastore.h"
#include "storage/settingsfile.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace vellumar;

Q_DECLARE_METATYPE(vellumar::Period)
Q_DECLARE_METATYPE(vellumar::LedgerSearch::Direction)

namespace {

using Rows = QList<QStringList>; // product, total, date, remark

// A ledger of the given records from row 1 on, with free rows after them.
std::unique_ptr<LedgerSheet> ledgerOf(const Rows& records, int freeRows = 3) {
    auto sheet = std::make_unique<LedgerSheet>(int(records.size()) + 1 + freeRows);
    sheet->applyTitles();
    for (int n = 0; n < records.size(); ++n) {
        const int row = n + 1;
        sheet->setCell(row, LedgerSheet::Serial, QString::number(row));
        sheet->setCell(row, LedgerSheet::Product, records[n].value(0));
        sheet->setCell(row, LedgerSheet::Total, records[n].value(1));
        sheet->setCell(row, LedgerSheet::Date, records[n].value(2));
        sheet->setCell(row, LedgerSheet::Remark, records[n].value(3));
    }
    return sheet;
}

// A ledger of shop-like records whose totals need exact decimal sums (0.1 steps, negatives,
// text after the number, empty cells).
std::unique_ptr<LedgerSheet> generated(int records, unsigned seed) {
    QRandomGenerator random(seed);
    auto sheet = std::make_unique<LedgerSheet>(records + 5);
    sheet->applyTitles();
    const QStringList odd = {QString(), u"12元"_qs, u"-3.3"_qs, u"１５.５"_qs, u"abc"_qs};
    for (int row = 1; row <= records; ++row) {
        sheet->setCell(row, LedgerSheet::Serial, QString::number(row));
        const quint32 pick = random.bounded(20u);
        const QString total =
            pick < odd.size() ? odd[pick] : QString::number(random.bounded(100000) / 10.0);
        sheet->setCell(row, LedgerSheet::Total, total);
        sheet->setCell(row, LedgerSheet::Date,
                       u"2026-0%1-1%2 08:00:00"_qs.arg(1 + row % 9).arg(row % 10));
    }
    return sheet;
}

std::vector<int> rowsOf(std::initializer_list<int> rows) {
    return rows;
}

double directSum(const LedgerSheet& sheet, int first, int last) {
    DecimalNumber sum;
    for (int row = std::max(first, 1); row <= last && row < sheet.rowCount(); ++row)
        sum = sum.plus(DecimalNumber::fromText(sheet.cellView(row, LedgerSheet::Total)));
    return sum.toDouble();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestReports : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void recordDates_data();
    void recordDates();
    void periodRecords_data();
    void periodRecords();
    void wholeLedgerTotalIsTheTotalOfCalculate();
    void rangeSums_data();
    void rangeSums();
    void rangeSumsFollowChanges();
    void millionRowSelection();
    void find_data();
    void find();
    void overviewEqualsCalculate();
    void overviewStops();
    void settingsKeepTheirTextsAndRefuseDamage();
};

void TestReports::recordDates_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("date");
    const QDateTime morning(QDate(2026, 12, 9), QTime(9, 30, 15), Qt::UTC);
    const QDateTime midnight(QDate(2026, 12, 9), QTime(0, 0), Qt::UTC);
    QTest::newRow("the program's form") << u"2026-12-09 09:30:15"_qs << morning;
    QTest::newRow("date only") << u"2026-12-09"_qs << midnight;
    QTest::newRow("slashes, short") << u"2026/12/9 9:30:15"_qs << morning;
    QTest::newRow("dots") << u"2026.12.09"_qs << midnight;
    QTest::newRow("Chinese") << u"2026年12月9日"_qs << midnight;
    QTest::newRow("full width") << u"２０２６－１２－０９ ０９：３０：１５"_qs << morning;
    QTest::newRow("blanks around") << u"  2026-12-09 09:30:15 "_qs << morning;
    QTest::newRow("ISO with T") << u"2026-12-09T09:30:15"_qs << morning;
    QTest::newRow("no such day") << u"2026-02-30 10:00:00"_qs << QDateTime();
    QTest::newRow("no such hour") << u"2026-12-09 25:00:00"_qs << QDateTime();
    QTest::newRow("day first") << u"09/12/2026"_qs << QDateTime();
    QTest::newRow("words") << u"昨天"_qs << QDateTime();
    QTest::newRow("empty") << QString() << QDateTime();
    QTest::newRow("a number") << u"46000"_qs << QDateTime();
}

void TestReports::recordDates() {
    QFETCH(QString, text);
    QFETCH(QDateTime, date);
    const std::optional<QDateTime> read = readRecordDate(text);
    QCOMPARE(read.value_or(QDateTime()), date);
}

void TestReports::periodRecords_data() {
    QTest::addColumn<Period>("period");
    QTest::addColumn<std::vector<int>>("rows");
    QTest::addColumn<std::vector<int>>("undated");
    QTest::addColumn<QString>("total");
    const QDate december(2026, 12, 15);
    QTest::newRow("everything, undated included")
        << Period::all() << rowsOf({1, 2, 3, 4, 5, 6}) << rowsOf({}) << u"141.2"_qs;
    QTest::newRow("this month, both ends of it")
        << Period::month(december) << rowsOf({2, 3}) << rowsOf({5, 6}) << u"30.3"_qs;
    QTest::newRow("last month") << Period::lastMonth(december) << rowsOf({1}) << rowsOf({5, 6})
                                << u"0.1"_qs;
    QTest::newRow("this year") << Period::year(december) << rowsOf({1, 2, 3}) << rowsOf({5, 6})
                               << u"30.4"_qs;
    QTest::newRow("open start") << Period{QDate(), QDate(2026, 12, 1)} << rowsOf({1, 2})
                                << rowsOf({5, 6}) << u"0.3"_qs;
    QTest::newRow("nothing in it")
        << Period{QDate(2020, 1, 1), QDate(2020, 1, 2)} << rowsOf({}) << rowsOf({5, 6}) << u"0"_qs;
}

void TestReports::periodRecords() {
    QFETCH(Period, period);
    QFETCH(std::vector<int>, rows);
    QFETCH(std::vector<int>, undated);
    QFETCH(QString, total);
    const auto sheet = ledgerOf({{u"大米"_qs, u"0.1"_qs, u"2026-11-30 23:59:59"_qs},
                                 {u"面粉"_qs, u"0.2"_qs, u"2026-12-01 00:00:00"_qs},
                                 {u"白糖"_qs, u"30.1"_qs, u"2026/12/31"_qs},
                                 {u"花生油"_qs, u"100"_qs, u"2027-01-01 00:00:00"_qs},
                                 {u"酱油"_qs, u"10"_qs, u"上周"_qs},
                                 {u"醋"_qs, u"0.8"_qs, QString()}});
    const Statement statement = Statement::build(*sheet, period);
    QCOMPARE(statement.rows, rows);
    QCOMPARE(statement.undatedRows, undated);
    QCOMPARE(numberToText(statement.total.toDouble()), total);
}

void TestReports::wholeLedgerTotalIsTheTotalOfCalculate() {
    for (unsigned seed : {1u, 2u, 3u}) {
        const auto sheet = generated(3000, seed);
        // A row some other program left without a serial number counts for "计算" too.
        sheet->setCell(3001, LedgerSheet::Total, u"7.7"_qs);
        const Statement statement = Statement::build(*sheet, Period::all());
        QCOMPARE(statement.total.toDouble(), LedgerRecords::total(*sheet));
        QCOMPARE(statement.rows.size(), size_t(3001));
    }
}

void TestReports::rangeSums_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    const int block = RangeTotals::BlockRows;
    QTest::newRow("one row") << 5 << 5;
    QTest::newRow("titles and first record") << 0 << 1;
    QTest::newRow("within a block") << 10 << 900;
    QTest::newRow("across two blocks") << block - 3 << block + 3;
    QTest::newRow("whole blocks and parts") << 17 << 6 * block + 11;
    QTest::newRow("exactly whole blocks") << block << 4 * block - 1;
    QTest::newRow("everything") << 1 << 9000;
    QTest::newRow("past the end") << 8000 << 20000;
    QTest::newRow("backwards is nothing") << 50 << 40;
}

void TestReports::rangeSums() {
    QFETCH(int, first);
    QFETCH(int, last);
    const auto sheet = generated(8500, 7);
    RangeTotals totals(*sheet);
    for (int pass = 0; pass < 2;
         ++pass) { // the first pass fills the kept sums, the second uses them
        const RangeTotals::Sum sum = totals.over(first, last);
        QCOMPARE(sum.total.toDouble(), directSum(*sheet, first, last));
        qint64 records = 0;
        for (int row = std::max(first, 1); row <= std::min(last, sheet->rowCount() - 1); ++row)
            records += isReportedRow(*sheet, row);
        QCOMPARE(sum.records, records);
    }
}

void TestReports::rangeSumsFollowChanges() {
    const auto sheet = generated(6000, 11);
    RangeTotals totals(*sheet);
    QVERIFY(!totals.prepare(1000)); // everything summed and kept
    const auto check = [&] {
        const int last = sheet->rowCount() - 1;
        QCOMPARE(totals.over(1, last).total.toDouble(), LedgerRecords::total(*sheet));
        QCOMPARE(totals.over(2000, 4500).total.toDouble(), directSum(*sheet, 2000, 4500));
    };
    sheet->setCell(3000, LedgerSheet::Total, u"1000000.01"_qs);
    check();
    sheet->removeRows(100, 1500);
    check();
    sheet->insertRow(5);
    sheet->setCell(5, LedgerSheet::Total, u"0.07"_qs);
    check();
    sheet->appendRow();
    sheet->setCell(sheet->rowCount() - 1, LedgerSheet::Total, u"-2"_qs);
    check();
    // A deletion taken back by undo: the rows come back as one block.
    LedgerSheet::TakenRows taken = sheet->takeRows(1500, 2000);
    check();
    sheet->insertRows(1500, std::move(taken));
    check();
    auto other = generated(5000, 12);
    std::vector<LedgerSheet::Row> rows = other->rows();
    sheet->replaceRows(std::move(rows));
    check();
}

// What a select-all of a million records shows in the status bar: the sum of "计算".
void TestReports::millionRowSelection() {
    const auto sheet = generated(1000000, 5);
    RangeTotals totals(*sheet);
    const RangeTotals::Sum all = totals.over(1, sheet->rowCount() - 1);
    QCOMPARE(all.total.toDouble(), LedgerRecords::total(*sheet));
    QCOMPARE(all.records, 1000000);
    const RangeTotals::Sum part = totals.over(123457, 876543);
    QCOMPARE(part.total.toDouble(), directSum(*sheet, 123457, 876543));
    QCOMPARE(part.records, 876543 - 123457 + 1);
}

void TestReports::find_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("from");
    QTest::addColumn<LedgerSearch::Direction>("direction");
    QTest::addColumn<int>("row"); // 0: not found
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("wrapped");
    using D = LedgerSearch::Direction;
    const int product = LedgerSheet::Product;
    const int remark = LedgerSheet::Remark;
    QTest::newRow("next") << u"米"_qs << 1 << D::Next << 3 << product << false;
    QTest::newRow("letter case aside") << u"COLA"_qs << 0 << D::Next << 2 << product << false;
    QTest::newRow("in a remark, over lines") << u"月底"_qs << 0 << D::Next << 4 << remark << false;
    QTest::newRow("wraps to the start") << u"米"_qs << 3 << D::Next << 1 << product << true;
    QTest::newRow("previous") << u"米"_qs << 3 << D::Previous << 1 << product << false;
    QTest::newRow("previous wraps to the end")
        << u"米"_qs << 1 << D::Previous << 3 << product << true;
    QTest::newRow("only itself") << u"cola"_qs << 2 << D::Next << 2 << product << true;
    QTest::newRow("from no row, backwards")
        << u"米"_qs << -1 << D::Previous << 3 << product << false;
    QTest::newRow("no match") << u"茶叶"_qs << 1 << D::Next << 0 << 0 << false;
    QTest::newRow("empty text") << QString() << 1 << D::Next << 0 << 0 << false;
    QTest::newRow("not in other columns") << u"2026"_qs << 1 << D::Next << 0 << 0 << false;
}

void TestReports::find() {
    QFETCH(QString, text);
    QFETCH(int, from);
    QFETCH(LedgerSearch::Direction, direction);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(bool, wrapped);
    const auto sheet =
        ledgerOf({{u"大米"_qs, u"1"_qs, u"2026-12-09 09:30:15"_qs},
                  {u"Coca-Cola"_qs, u"2"_qs, u"2026-12-09 09:30:15"_qs},
                  {u"糯米"_qs, u"3"_qs, u"2026-12-09 09:30:15"_qs},
                  {u"酱油"_qs, u"4"_qs, u"2026-12-09 09:30:15"_qs, u"赊账\n月底结清"_qs}});
    const std::optional<LedgerSearch::Found> found =
        LedgerSearch::find(*sheet, text, from, direction);
    QCOMPARE(found.has_value(), row > 0);
    if (!found)
        return;
    QCOMPARE(found->row, row);
    QCOMPARE(found->column, column);
    QCOMPARE(found->wrapped, wrapped);
}

// Each holder's total in the overview is what "计算" shows once the ledger is open, whatever
// the file: generated ledgers, one whose title row was removed elsewhere, one in GB18030,
// and ledgers that cannot be read or do not exist yet.
void TestReports::overviewEqualsCalculate() {
    QTemporaryDir folder;
    const DataPaths paths(folder.path());
    must(prepareDataDirectory(paths));
    QStringList holders;
    for (int n = 0; n < 12; ++n) {
        const QString holder = u"客户%1"_qs.arg(n);
        holders.append(holder);
        must(LedgerFile::save(paths.ledgerFile(DataPaths::LedgerDirSlash, holder),
                              *generated(200 + 50 * n, unsigned(n))));
    }
    const auto file = [&](const QString& holder) {
        holders.append(holder);
        return paths.ledgerFile(DataPaths::LedgerDirSlash, holder);
    };
    writeBytes(file(u"无标题行"_qs),
               "1,大米,2,袋,5,10,2026-12-01 08:00:00,\r\n2,面粉,1,袋,0.3,0.3,,\r\n");
    QStringEncoder gb18030("GB18030");
    writeBytes(file(u"国标码"_qs),
               QByteArray(gb18030(u"序号,商品名称,数量,单位,单价,总金额,日期,备注\r\n"
                                  "1,茶,1,包,0.1,0.1,2026-12-02 08:00:00,\r\n"
                                  "2,糖,1,包,0.2,0.2,2026-12-03 08:00:00,\r\n"_qs)));
    writeBytes(file(u"损坏"_qs), "\xEF\xBB\xBF序号,商品名称\r\n1,\"没有结束的引号\r\n");
    QVERIFY(::symlink("/etc/passwd", QFile::encodeName(file(u"链接"_qs)).constData()) == 0);
    holders.append(u"新客户"_qs);

    const std::optional<ReceivablesOverview> overview =
        computeOverview(holders, localLedgerReader(paths), {}, 2);
    QVERIFY(overview);
    QCOMPARE(overview->holders.size(), size_t(holders.size()));
    DecimalNumber grand;
    for (const HolderSummary& summary : overview->holders) {
        LedgerSheet sheet;
        LocalFileSystem files;
        HolderLedger ledger(paths, files, summary.holder);
        const Result<HolderLedger::Opened> opened = ledger.load(sheet);
        QVERIFY2(summary.readable() == opened.ok(), qPrintable(summary.holder));
        if (!opened)
            continue;
        QCOMPARE(summary.total.toDouble(), LedgerRecords::total(sheet));
        QCOMPARE(summary.hasLedger, *opened == HolderLedger::Opened::Loaded);
        grand = grand.plus(DecimalNumber::fromText(numberToText(LedgerRecords::total(sheet))));
    }
    QCOMPARE(overview->unreadable, 2);
    QCOMPARE(overview->grandTotal.toDouble(), grand.toDouble());
    const HolderSummary& untitled = overview->holders[12];
    QCOMPARE(untitled.records, 2); // the first record is not taken for a title row
    QCOMPARE(untitled.first, QDateTime(QDate(2026, 12, 1), QTime(8, 0), Qt::UTC));
    QCOMPARE(untitled.undated, 1);
    QCOMPARE(numberToText(overview->holders[13].total.toDouble()), u"0.3"_qs);
    QCOMPARE(overview->holders[15].readable(), false); // a link is never read through
    QCOMPARE(overview->holders[16].hasLedger, false);
    QCOMPARE(overview->holders[16].records, 0);
}

void TestReports::overviewStops() {
    const LedgerReader slow = [](const QString&, LedgerSheet&) -> Result<bool> {
        ::usleep(2000);
        return false;
    };
    QStringList holders;
    for (int n = 0; n < 500; ++n)
        holders.append(QString::number(n));
    int calls = 0;
    for (int threads : {1, 2}) {
        calls = 0;
        const auto stopped = computeOverview(
            holders, slow, [&](int, int) { return ++calls < 3; }, threads);
        QVERIFY(!stopped);
    }
}

void TestReports::settingsKeepTheirTextsAndRefuseDamage() {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"settings.json"_qs);
    SettingsFile settings = valueOf(SettingsFile::load(path));
    QCOMPARE(settings.value(u"statement/heading"_qs), QString());
    const QString heading = u"城东 \"百货\" 商店\n电话 123"_qs;
    settings.setValue(u"statement/heading"_qs, heading);
    must(settings.save());
    QCOMPARE(valueOf(SettingsFile::load(path)).value(u"statement/heading"_qs), heading);

    const QByteArray damaged = "{\"statement/heading\": \"城东";
    writeBytes(path, damaged);
    QVERIFY(!SettingsFile::load(path).ok());
    writeBytes(path, "{\"statement/heading\": 5}");
    QVERIFY(!SettingsFile::load(path).ok());
    writeBytes(path, QByteArray(SettingsFile::MaxBytes + 10, ' '));
    QVERIFY(!SettingsFile::load(path).ok());
}

QTEST_GUILESS_MAIN(TestReports)
#include "test_reports.moc"
