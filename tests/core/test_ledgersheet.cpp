#include "ledger/ledgerfile.h"
#include "ledger/ledgersheet.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

using namespace vellumar;

namespace {

// Fills rows 1..count with records whose serial number is the row index.
void fillRecords(LedgerSheet& sheet, int count) {
    for (int row = 1; row <= count; ++row) {
        sheet.setCell(row, LedgerSheet::Serial, QString::number(row));
        sheet.setCell(row, LedgerSheet::Product, QStringLiteral("商品%1").arg(row));
    }
}

} // namespace

class TestLedgerSheet : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void newSheetIsEmpty();
    void cellsAreIndependent_data();
    void cellsAreIndependent();
    void outsideTheSheetReadsEmptyAndIgnoresWrites();
    void firstFreeRow_data();
    void firstFreeRow();
    void removeRowMovesRowsUp();
    void removeRowsInOneStep_data();
    void removeRowsInOneStep();
    void firstFreeRowFollowsEveryChange();
    void takenRowsKeepTheirTextAndGoBack_data();
    void takenRowsKeepTheirTextAndGoBack();
};

void TestLedgerSheet::newSheetIsEmpty() {
    LedgerSheet sheet;
    QCOMPARE(sheet.rowCount(), 1000);
    QCOMPARE(sheet.cell(999, 7), QString());
    sheet.applyTitles();
    QCOMPARE(sheet.cell(0, 0), QStringLiteral("序号"));
    QCOMPARE(sheet.cell(0, 7), QStringLiteral("备注"));
    QCOMPARE(sheet.firstFreeRow(), 1);
}

void TestLedgerSheet::cellsAreIndependent_data() {
    QTest::addColumn<int>("column");
    for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
        QTest::addRow("column %d", column) << column;
}

// Growing, shrinking or emptying one cell leaves the other seven as they were.
void TestLedgerSheet::cellsAreIndependent() {
    QFETCH(int, column);
    LedgerSheet sheet(3);
    for (int c = 0; c < LedgerSheet::ColumnCount; ++c)
        sheet.setCell(1, c, QStringLiteral("cell%1").arg(c));
    for (const QString& text :
         {QStringLiteral("一段很长很长的备注\r\n第二行"), QString(), QStringLiteral("x"),
          // past 65535 characters a row keeps its cell boundaries differently
          QStringLiteral("长").repeated(70000), QStringLiteral("y")}) {
        sheet.setCell(1, column, text);
        for (int c = 0; c < LedgerSheet::ColumnCount; ++c)
            QCOMPARE(sheet.cell(1, c), c == column ? text : QStringLiteral("cell%1").arg(c));
    }
}

void TestLedgerSheet::outsideTheSheetReadsEmptyAndIgnoresWrites() {
    LedgerSheet sheet(2);
    QSignalSpy changed(&sheet, &LedgerSheet::rowChanged);
    sheet.setCell(2, 0, QStringLiteral("x"));
    sheet.setCell(-1, 0, QStringLiteral("x"));
    sheet.setCell(0, 8, QStringLiteral("x"));
    QCOMPARE(changed.size(), 0);
    QCOMPARE(sheet.cell(5, 0), QString());
    QCOMPARE(sheet.cell(0, -1), QString());
}

void TestLedgerSheet::firstFreeRow_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("gap");
    QTest::addColumn<bool>("titles");
    QTest::addColumn<int>("expected");
    QTest::newRow("titles only") << 10 << 0 << -1 << true << 1;
    QTest::newRow("no titles: row 0 is still no record row") << 10 << 0 << -1 << false << 1;
    QTest::newRow("after records") << 10 << 4 << -1 << true << 5;
    QTest::newRow("gap between records") << 10 << 6 << 3 << true << 3;
    QTest::newRow("full sheet") << 10 << 9 << -1 << true << -1;
}

void TestLedgerSheet::firstFreeRow() {
    QFETCH(int, rows);
    QFETCH(int, records);
    QFETCH(int, gap);
    QFETCH(bool, titles);
    QFETCH(int, expected);
    LedgerSheet sheet(rows);
    if (titles)
        sheet.applyTitles();
    fillRecords(sheet, records);
    if (gap > 0)
        sheet.setCell(gap, LedgerSheet::Serial, QString());
    QCOMPARE(sheet.firstFreeRow(), expected);
}

void TestLedgerSheet::removeRowMovesRowsUp() {
    LedgerSheet sheet(8);
    sheet.applyTitles();
    fillRecords(sheet, 6);
    QSignalSpy removed(&sheet, &LedgerSheet::rowRemoved);
    sheet.removeRow(3);
    QCOMPARE(sheet.rowCount(), 7);
    QCOMPARE(sheet.cell(3, LedgerSheet::Serial), QStringLiteral("4"));
    QCOMPARE(sheet.cell(2, LedgerSheet::Product), QStringLiteral("商品2"));
    QCOMPARE(removed.size(), 1);
    QCOMPARE(sheet.appendRow(), 7);
    QCOMPARE(sheet.rowCount(), 8);
}

void TestLedgerSheet::removeRowsInOneStep_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("serialsLeft");
    QTest::newRow("middle") << 3 << 3 << QStringList{u"序号"_qs, u"1"_qs, u"2"_qs, u"6"_qs, {}};
    QTest::newRow("all records and free rows") << 1 << 7 << QStringList{u"序号"_qs};
    QTest::newRow("clipped at the end")
        << 5 << 50 << QStringList{u"序号"_qs, u"1"_qs, u"2"_qs, u"3"_qs, u"4"_qs};
    QTest::newRow("nothing") << 2 << 0 << QStringList{u"序号"_qs, u"1"_qs, u"2"_qs, u"3"_qs,
                                                      u"4"_qs,    u"5"_qs, u"6"_qs, {}};
}

// Deleting a block of rows gives what deleting them one by one from the bottom up gives, and
// listeners hear of it before and after.
void TestLedgerSheet::removeRowsInOneStep() {
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(QStringList, serialsLeft);
    LedgerSheet sheet(8);
    sheet.applyTitles();
    fillRecords(sheet, 6);
    int rowsWhenAsked = -1;
    connect(&sheet, &LedgerSheet::rowsAboutToBeRemoved, this,
            [&] { rowsWhenAsked = sheet.rowCount(); });
    QSignalSpy removed(&sheet, &LedgerSheet::rowsRemoved);
    sheet.removeRows(first, count);
    QStringList serials;
    for (int row = 0; row < sheet.rowCount(); ++row)
        serials.append(sheet.cell(row, LedgerSheet::Serial));
    QCOMPARE(serials, serialsLeft);
    QCOMPARE(removed.size(), count > 0 ? 1 : 0);
    if (count > 0)
        QCOMPARE(rowsWhenAsked, 8);
}

// The search for a free row starts where the last one ended; whatever happens to the sheet,
// it must find what a search from row 1 finds, and never the title row, whatever row 0 holds.
void TestLedgerSheet::firstFreeRowFollowsEveryChange() {
    QRandomGenerator random(4242);
    LedgerSheet sheet(60);
    sheet.applyTitles();
    const auto fromTheTop = [&sheet] {
        for (int row = 1; row < sheet.rowCount(); ++row)
            if (sheet.cell(row, LedgerSheet::Serial).isEmpty())
                return row;
        return -1;
    };
    for (int step = 0; step < 5000; ++step) {
        const int rows = sheet.rowCount();
        switch (random.bounded(8)) {
        case 0:
        case 1: // the add dialog: first free row gets a record
            if (const int free = sheet.firstFreeRow(); free >= 0)
                sheet.setCell(free, LedgerSheet::Serial, QString::number(free));
            break;
        case 2:
            sheet.setCell(random.bounded(rows + 1), LedgerSheet::Serial, QString());
            break;
        case 3:
            sheet.removeRows(random.bounded(rows + 1), random.bounded(4));
            break;
        case 4:
            sheet.appendRow();
            break;
        case 5:
            sheet.insertRow(random.bounded(rows + 1));
            break;
        case 6: {
            const int first = random.bounded(rows + 1);
            LedgerSheet::TakenRows taken = sheet.takeRows(first, random.bounded(rows + 1));
            if (random.bounded(2))
                sheet.insertRows(first, std::move(taken));
            break;
        }
        default:
            sheet.setCell(random.bounded(rows + 1), LedgerSheet::Serial, QStringLiteral("9"));
            break;
        }
        QCOMPARE(sheet.firstFreeRow(), fromTheTop());
    }
}

void TestLedgerSheet::takenRowsKeepTheirTextAndGoBack_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::newRow("a few from the top") << 1 << 2;
    QTest::newRow("most, the title row staying") << 1 << 9;
    QTest::newRow("everything") << 0 << 11;
    QTest::newRow("the last row") << 10 << 1;
}

// Rows taken out of a loaded sheet point into the loader's text; they keep it alive after the
// sheet has let go of it (another file loaded), and go back exactly where they were.
void TestLedgerSheet::takenRowsKeepTheirTextAndGoBack() {
    QFETCH(int, first);
    QFETCH(int, count);
    QByteArray bytes = "序号,商品名称,数量\r\n";
    for (int row = 1; row <= 10; ++row)
        bytes += QByteArray::number(row) + ",商品" + QByteArray::number(row) + ",2\r\n";
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    LedgerSheet sheet(0);
    QVERIFY(LedgerFile::read(buffer, sheet).ok());
    QStringList before;
    for (int row = 0; row < sheet.rowCount(); ++row)
        before.append(sheet.cell(row, LedgerSheet::Product));

    const auto products = [&sheet] {
        QStringList texts;
        for (int row = 0; row < sheet.rowCount(); ++row)
            texts.append(sheet.cell(row, LedgerSheet::Product));
        return texts;
    };
    QSignalSpy inserted(&sheet, &LedgerSheet::rowsInserted);
    LedgerSheet::TakenRows taken = sheet.takeRows(first, count);
    QCOMPARE(taken.count(), count);
    QCOMPARE(products(), before.mid(0, first) + before.mid(first + count));
    sheet.insertRows(first, std::move(taken));
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted.first(), (QVariantList{first, count}));
    QCOMPARE(products(), before);

    // Taken again, they outlive the sheet's own hold on the text (another file loaded).
    taken = sheet.takeRows(first, count);
    sheet.replaceRows({});
    for (int n = 0; n < count; ++n)
        QCOMPARE(taken.at(n).cell(LedgerSheet::Product).toString(), before[first + n]);
    sheet.insertRows(0, std::move(taken));
    QCOMPARE(products(), before.mid(first, count));
}

QTEST_GUILESS_MAIN(TestLedgerSheet)
#include "test_ledgersheet.moc"
