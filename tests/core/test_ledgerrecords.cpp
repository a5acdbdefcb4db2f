#include "ledger/ledgerrecords.h"

#include <QTest>

using namespace vellumar;

namespace {

using Rows = QList<QStringList>;

// A sheet of rowCount rows whose first rows hold the given cells, from row 0 on.
std::unique_ptr<LedgerSheet> sheetOf(int rowCount, const Rows& rows) {
    auto sheet = std::make_unique<LedgerSheet>(rowCount);
    for (int row = 0; row < rows.size(); ++row)
        for (int column = 0; column < rows[row].size(); ++column)
            sheet->setCell(row, column, rows[row][column]);
    return sheet;
}

QStringList rowOf(const LedgerSheet& sheet, int row) {
    QStringList cells;
    for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
        cells << sheet.cell(row, column);
    return cells;
}

Rows allRows(const LedgerSheet& sheet) {
    Rows rows;
    for (int row = 0; row < sheet.rowCount(); ++row)
        rows << rowOf(sheet, row);
    return rows;
}

const QStringList record = {
    u"7"_qs,   u"大米"_qs, u"2"_qs, u"袋"_qs, u"50"_qs, u"100"_qs, u"2026-01-02 03:04:05"_qs,
    u"旧的"_qs};
const RecordFields typed = {u"农夫山泉"_qs, u"24"_qs, u"瓶"_qs,
                            u"1.5"_qs,      u"36"_qs, u"整箱\n进货"_qs};

} // namespace

Q_DECLARE_METATYPE(vellumar::RecordFields)

class TestLedgerRecords : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void serialNumbers_data();
    void serialNumbers();
    void titlesAfterLoading_data();
    void titlesAfterLoading();
    void newRecordRow_data();
    void newRecordRow();
    void addWritesEveryCell();
    void refusedRecordChangesNothing_data();
    void refusedRecordChangesNothing();
    void editRenumbersAndKeepsTheDate();
    void editOnlyBelowTheTitles_data();
    void editOnlyBelowTheTitles();
    void total_data();
    void total();
};

void TestLedgerRecords::serialNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("serial");
    QTest::newRow("digits") << u"12"_qs << true;
    QTest::newRow("zero") << u"0"_qs << true;
    QTest::newRow("blanks around") << u"  3\t"_qs << true;
    QTest::newRow("full width") << u"１２"_qs << true;
    QTest::newRow("full width with ideographic spaces") << u"\u3000３\u3000"_qs << true;
    QTest::newRow("mixed widths") << u"1２"_qs << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("blanks only") << u"  "_qs << false;
    QTest::newRow("title") << u"序号"_qs << false;
    QTest::newRow("sign") << u"-1"_qs << false;
    QTest::newRow("fraction") << u"1.5"_qs << false;
    QTest::newRow("two numbers") << u"1 2"_qs << false;
    QTest::newRow("digits and text") << u"1号"_qs << false;
    QTest::newRow("other script's digits") << u"\u0663"_qs << false;
    QTest::newRow("superscript") << u"\u00B2"_qs << false;
}

void TestLedgerRecords::serialNumbers() {
    QFETCH(QString, text);
    QFETCH(bool, serial);
    QCOMPARE(LedgerRecords::isSerialNumber(text), serial);
}

void TestLedgerRecords::titlesAfterLoading_data() {
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<Rows>("loaded");
    QTest::addColumn<int>("maxRows");
    QTest::addColumn<bool>("added");
    // What the sheet holds below the titles afterwards, from row 1 on.
    QTest::addColumn<Rows>("below");
    const QStringList other = {u"甲"_qs, u"乙"_qs};
    const QStringList unnumbered = {QString(), u"散装"_qs};
    QStringList fullWidth = record;
    fullWidth[0] = u" ７ "_qs;
    QTest::newRow("title row") << 4 << Rows{LedgerSheet::titles(), record} << 100 << false
                               << Rows{record, {}, {}};
    QTest::newRow("other texts are written over")
        << 3 << Rows{other, record} << 100 << false << Rows{record, {}};
    QTest::newRow("a record in row 0 is kept")
        << 3 << Rows{record, record} << 100 << true << Rows{record, record, {}};
    QTest::newRow("serial number in full width")
        << 2 << Rows{fullWidth} << 100 << true << Rows{fullWidth, {}};
    QTest::newRow("product without serial number is no record")
        << 2 << Rows{unnumbered} << 100 << false << Rows{QStringList()};
    QTest::newRow("empty sheet") << 0 << Rows{} << 100 << false << Rows{};
    QTest::newRow("at the ceiling a free last row makes room")
        << 3 << Rows{record, record} << 3 << true << Rows{record, record};
    // No room for the title row: nothing changes, and the window treats the file as unreadable.
    QTest::newRow("at the ceiling without a free row it is refused")
        << 2 << Rows{record, record} << 2 << true << Rows{};
}

// A ledger edited in a spreadsheet may have lost its title row; its first record must not be
// written over.
void TestLedgerRecords::titlesAfterLoading() {
    QFETCH(int, rowCount);
    QFETCH(Rows, loaded);
    QFETCH(int, maxRows);
    QFETCH(bool, added);
    QFETCH(Rows, below);
    auto owned = sheetOf(rowCount, loaded);
    LedgerSheet& sheet = *owned;
    const Rows before = allRows(sheet);
    const Result<bool> placed = LedgerRecords::placeTitles(sheet, maxRows);
    if (below.isEmpty() && !loaded.isEmpty()) {
        QVERIFY(!placed.ok());
        QCOMPARE(allRows(sheet), before);
        return;
    }
    QVERIFY(placed.ok());
    QCOMPARE(*placed, added);
    QCOMPARE(rowOf(sheet, 0), LedgerSheet::titles());
    Rows after = allRows(sheet).mid(1);
    for (QStringList& row : after)
        if (row.join(QString()).isEmpty())
            row.clear();
    QCOMPARE(after, below);
    // The search for a free row finds what is really free below the titles.
    const int free = sheet.firstFreeRow();
    QVERIFY(free == -1 || (free >= 1 && sheet.isFree(free)));
}

void TestLedgerRecords::newRecordRow_data() {
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("rowsAfter");
    const QStringList leftover = {QString(), u"残留"_qs, {}, {}, {}, {}, u"2020-01-01"_qs};
    QTest::newRow("titles only") << 1000 << Rows{LedgerSheet::titles()} << 1 << 1000;
    QTest::newRow("after records") << 10 << Rows{LedgerSheet::titles(), record, record} << 3 << 10;
    QTest::newRow("gap above the last record")
        << 10 << Rows{LedgerSheet::titles(), record, leftover, record} << 2 << 10;
    QTest::newRow("full sheet grows") << 3 << Rows{LedgerSheet::titles(), record, record} << 3 << 4;
    QTest::newRow("title row with an empty first cell")
        << 5 << Rows{{QString(), u"商品名称"_qs}, record} << 2 << 5;
    QTest::newRow("only an empty title row") << 1 << Rows{} << 1 << 2;
    QTest::newRow("no rows at all") << 0 << Rows{} << 1 << 2;
}

void TestLedgerRecords::newRecordRow() {
    QFETCH(int, rowCount);
    QFETCH(Rows, rows);
    QFETCH(int, row);
    QFETCH(int, rowsAfter);
    auto owned = sheetOf(rowCount, rows);
    LedgerSheet& sheet = *owned;
    const Result<int> target = LedgerRecords::rowForNewRecord(sheet);
    QVERIFY(target.ok());
    QCOMPARE(*target, row);
    QCOMPARE(sheet.rowCount(), rowsAfter);
    // Asked again without writing, it gives the same row and the sheet stays as it is.
    QCOMPARE(*LedgerRecords::rowForNewRecord(sheet), row);
    QCOMPARE(sheet.rowCount(), rowsAfter);
}

void TestLedgerRecords::addWritesEveryCell() {
    auto owned = sheetOf(5, {LedgerSheet::titles(), record, record});
    LedgerSheet& sheet = *owned;
    sheet.setCell(2, LedgerSheet::Serial, QString()); // a free row that still holds old cells
    const Rows before = allRows(sheet);
    QList<int> changed;
    connect(&sheet, &LedgerSheet::rowChanged, this, [&changed](int row) { changed << row; });

    const Result<int> added = LedgerRecords::add(sheet, typed, u"2026-12-24 18:05:09"_qs);
    QVERIFY(added.ok());
    QCOMPARE(*added, 2);
    QCOMPARE(rowOf(sheet, 2), (QStringList{u"2"_qs, u"农夫山泉"_qs, u"24"_qs, u"瓶"_qs, u"1.5"_qs,
                                           u"36"_qs, u"2026-12-24 18:05:09"_qs, u"整箱\n进货"_qs}));
    for (int row : {0, 1, 3, 4})
        QCOMPARE(rowOf(sheet, row), before[row]);
    QCOMPARE(QSet<int>(changed.begin(), changed.end()), QSet<int>{2});

    // The next record goes below, the serial numbers of the others stay.
    QCOMPARE(*LedgerRecords::add(sheet, {}, u"d"_qs), 3);
    QCOMPARE(rowOf(sheet, 3), (QStringList{u"3"_qs, {}, {}, {}, {}, {}, u"d"_qs, {}}));
    QCOMPARE(sheet.cell(1, LedgerSheet::Serial), u"7"_qs);
}

void TestLedgerRecords::refusedRecordChangesNothing_data() {
    QTest::addColumn<RecordFields>("fields");
    QTest::addColumn<int>("maxRows");
    QTest::addColumn<QString>("message");
    const QString longest = QString(LedgerLimits::MaxCellCharacters, u'长');
    RecordFields longProduct = typed;
    longProduct.product = longest + u'x';
    RecordFields longRemark = typed;
    longRemark.remark = longest + u'x';
    QTest::newRow("product past the cell limit") << longProduct << 1000 << u"“商品名称”太长"_qs;
    QTest::newRow("remark past the cell limit") << longRemark << 1000 << u"“备注”太长"_qs;
    QTest::newRow("no row left below the ceiling")
        << typed << 4 << u"账目已经有 4 行，达到了一本账目的上限"_qs;
}

// A ledger the program writes must be one it can read back: no cell past the limit, no row
// past the ceiling.
void TestLedgerRecords::refusedRecordChangesNothing() {
    QFETCH(RecordFields, fields);
    QFETCH(int, maxRows);
    QFETCH(QString, message);
    auto owned = sheetOf(4, {LedgerSheet::titles(), record, record, record});
    LedgerSheet& sheet = *owned;
    const Rows before = allRows(sheet);
    const Result<int> added = LedgerRecords::add(sheet, fields, u"d"_qs, maxRows);
    QVERIFY(!added.ok());
    QVERIFY2(added.status().message().startsWith(message), qPrintable(added.status().message()));
    QCOMPARE(allRows(sheet), before);
    if (maxRows > 4) {
        const Status edited = LedgerRecords::edit(sheet, 2, fields);
        QVERIFY(!edited.ok());
        QVERIFY(edited.message().startsWith(message));
        QCOMPARE(allRows(sheet), before);
    }
}

void TestLedgerRecords::editRenumbersAndKeepsTheDate() {
    auto owned = sheetOf(5, {LedgerSheet::titles(), record, record, record});
    LedgerSheet& sheet = *owned;
    QCOMPARE(LedgerRecords::fieldsAt(sheet, 3),
             (RecordFields{u"大米"_qs, u"2"_qs, u"袋"_qs, u"50"_qs, u"100"_qs, u"旧的"_qs}));
    QVERIFY(LedgerRecords::edit(sheet, 3, typed).ok());
    QCOMPARE(rowOf(sheet, 3), (QStringList{u"3"_qs, u"农夫山泉"_qs, u"24"_qs, u"瓶"_qs, u"1.5"_qs,
                                           u"36"_qs, u"2026-01-02 03:04:05"_qs, u"整箱\n进货"_qs}));
    QCOMPARE(rowOf(sheet, 2), record);
    // Exactly the cell limit is still a cell.
    RecordFields longest = typed;
    longest.remark = QString(LedgerLimits::MaxCellCharacters, u'长');
    QVERIFY(LedgerRecords::edit(sheet, 4, longest).ok());
    QCOMPARE(sheet.cell(4, LedgerSheet::Remark).size(), LedgerLimits::MaxCellCharacters);
    QCOMPARE(sheet.cell(4, LedgerSheet::Date), QString()); // a free row gets no date
}

void TestLedgerRecords::editOnlyBelowTheTitles_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("editable");
    QTest::newRow("no row") << -1 << false;
    QTest::newRow("titles") << 0 << false;
    QTest::newRow("first record") << 1 << true;
    QTest::newRow("last row") << 2 << true;
    QTest::newRow("past the end") << 3 << false;
}

void TestLedgerRecords::editOnlyBelowTheTitles() {
    QFETCH(int, row);
    QFETCH(bool, editable);
    auto owned = sheetOf(3, {LedgerSheet::titles(), record});
    LedgerSheet& sheet = *owned;
    const Rows before = allRows(sheet);
    QCOMPARE(LedgerRecords::isEditable(sheet, row), editable);
    QCOMPARE(LedgerRecords::edit(sheet, row, typed).ok(), editable);
    if (!editable) {
        QCOMPARE(allRows(sheet), before);
        QCOMPARE(LedgerRecords::fieldsAt(sheet, row), RecordFields());
    }
}

void TestLedgerRecords::total_data() {
    QTest::addColumn<QStringList>("totals");
    QTest::addColumn<double>("sum");
    QTest::newRow("none") << QStringList{} << 0.0;
    QTest::newRow("10 and 20.5") << QStringList{u"10"_qs, u"20.5"_qs} << 30.5;
    QTest::newRow("empty and free rows add nothing")
        << QStringList{{}, u"10"_qs, {}, u"2.5"_qs} << 12.5;
    QTest::newRow("text without a number") << QStringList{u"abc"_qs, u"12元"_qs, u"-2"_qs} << 10.0;
    QTest::newRow("full-width digits") << QStringList{u"１０"_qs, u"5"_qs} << 15.0;
}

void TestLedgerRecords::total() {
    QFETCH(QStringList, totals);
    QFETCH(double, sum);
    LedgerSheet sheet(int(totals.size()) + 1);
    sheet.applyTitles();
    sheet.setCell(0, LedgerSheet::Total, u"999"_qs); // the title row never counts
    for (int i = 0; i < totals.size(); ++i)
        sheet.setCell(i + 1, LedgerSheet::Total, totals[i]);
    QCOMPARE(LedgerRecords::total(sheet), sum);
}

QTEST_GUILESS_MAIN(TestLedgerRecords)
#include "test_ledgerrecords.moc"
