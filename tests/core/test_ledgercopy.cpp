// A ledger in the COPY data the server sends: what the program writes reads back exactly, in
// pieces of any size, and what a damaged or hostile server sends is refused without reading
// past the data or taking memory it claims.

#include "checks.h"
#include "ledger/ledgerlimits.h"
#include "ledgersamples.h"
#include "sharedstore/ledgercopy.h"

#include <QRandomGenerator>
#include <QTest>
#include <QtEndian>

using namespace vellumar;
using namespace ledgersamples;

namespace {

// The data as the server sends it back for the sheet.
QByteArray sentFor(const LedgerSheet& sheet) {
    QByteArray data;
    must(LedgerCopy::write(std::nullopt, sheet, [&](QByteArrayView piece) {
        data.append(piece);
        return Status();
    }));
    return data;
}

// Reads the data handed over in pieces of the given size (0: all at once).
Result<LedgerCopy::Reader::Rows> readIn(const QByteArray& data, qsizetype rows, qsizetype piece) {
    Result<LedgerCopy::Reader> reader =
        LedgerCopy::Reader::start(rows, [] { return std::optional<qint64>(); });
    if (!reader)
        return reader.status();
    const qsizetype step = piece > 0 ? piece : std::max<qsizetype>(data.size(), 1);
    for (qsizetype at = 0; at < data.size(); at += step)
        if (Status fed =
                reader->feed(QByteArrayView(data).sliced(at, std::min(step, data.size() - at)));
            !fed)
            return fed;
    return reader->finish();
}

std::unique_ptr<LedgerSheet> sample() {
    return sheetOf(6, record(1, u"苹果"_qs, u"多行\r\n备注😀"_qs) + record(3, u"梨"_qs) +
                          QList<Cell>{{5, LedgerSheet::Remark, u"只有备注"_qs}});
}

// Byte offsets in the sample's data: the header is 19 bytes, then each row starts with its
// field count.
constexpr qsizetype FirstRow = 19;

QByteArray withInt32(QByteArray data, qsizetype at, qint32 value) {
    qToBigEndian<qint32>(value, data.data() + at);
    return data;
}

} // namespace

class TestLedgerCopy : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsBackWhatWasWritten_data();
    void readsBackWhatWasWritten();
    void rowsComeInAnyOrder();
    void refusesDamagedData_data();
    void refusesDamagedData();
    void everyCutIsRefused();
    void largeHostileData();
    void rowCountThatCannotFit();
};

void TestLedgerCopy::readsBackWhatWasWritten_data() {
    QTest::addColumn<int>("piece");
    QTest::newRow("whole") << 0;
    QTest::newRow("one byte at a time") << 1;
    QTest::newRow("seven bytes") << 7;
    QTest::newRow("a row and a bit") << 61;
}

void TestLedgerCopy::readsBackWhatWasWritten() {
    QFETCH(int, piece);
    const QString full(LedgerLimits::MaxCellCharacters, u'满');
    const std::unique_ptr<LedgerSheet> sheets[] = {
        sample(), sheetOf(1, {}),
        sheetOf(3, {{1, LedgerSheet::Product, full}, {1, LedgerSheet::Remark, full}}),
        sheetOf(3000, record(2999, u"最后一行"_qs))};
    for (const auto& sheet : sheets) {
        Result<LedgerCopy::Reader::Rows> rows = readIn(sentFor(*sheet), sheet->rowCount(), piece);
        QVERIFY2(rows.ok(), qPrintable(rows.status().detail()));
        LedgerSheet read(0);
        read.replaceRows(std::move(rows->rows), rows->text);
        QCOMPARE(difference(*sheet, read), QString());
    }
}

void TestLedgerCopy::rowsComeInAnyOrder() {
    const std::unique_ptr<LedgerSheet> sheet = sample();
    const std::vector<int> backwards = {5, 3, 1, 0};
    QByteArray data;
    must(LedgerCopy::write(
        std::nullopt, *sheet,
        [&](QByteArrayView piece) {
            data.append(piece);
            return Status();
        },
        &backwards));
    Result<LedgerCopy::Reader::Rows> rows = readIn(data, sheet->rowCount(), 0);
    QVERIFY2(rows.ok(), qPrintable(rows.status().detail()));
    LedgerSheet read(0);
    read.replaceRows(std::move(rows->rows), rows->text);
    QCOMPARE(difference(*sheet, read), QString());
}

void TestLedgerCopy::refusesDamagedData_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("rows");
    const QByteArray good = sentFor(*sample());
    const qsizetype firstLength = FirstRow + 2; // the row number's length
    const qsizetype firstNumber = firstLength + 4;
    const qsizetype firstCell = firstNumber + 4;

    QByteArray signature = good;
    signature[0] = 'X';
    QTest::newRow("no signature") << signature << 6;
    QTest::newRow("header extension") << withInt32(good, 15, 4) << 6;
    QByteArray fields = good;
    qToBigEndian<qint16>(10, fields.data() + FirstRow);
    QTest::newRow("ten fields") << fields << 6;
    QTest::newRow("row number of eight bytes") << withInt32(good, firstLength, 8) << 6;
    QTest::newRow("row number beyond the rows") << withInt32(good, firstNumber, 6) << 6;
    QTest::newRow("negative row number") << withInt32(good, firstNumber, -1) << 6;
    QTest::newRow("fewer rows than sent") << good << 4;
    QTest::newRow("NULL cell") << withInt32(good, firstCell, -1) << 6;
    QTest::newRow("cell longer than the data") << withInt32(good, firstCell, 1 << 20) << 6;
    QTest::newRow("cell claims two gigabytes") << withInt32(good, firstCell, 0x7FFFFFFF) << 6;
    // The second row claims the first row's number.
    QByteArray repeated = good;
    const qsizetype second = repeated.indexOf(QByteArray("\x00\x00\x00\x03", 4), firstCell);
    QVERIFY(second > 0);
    qToBigEndian<qint32>(1, repeated.data() + second);
    QTest::newRow("a row twice") << repeated << 6;
    QByteArray notUtf8 = good;
    notUtf8[notUtf8.indexOf("\xE8\x8B\xB9")] = '\xFF'; // the first byte of 苹
    QTest::newRow("text that is not UTF-8") << notUtf8 << 6;
    QTest::newRow("data after the end") << good + "x" << 6;
    QTest::newRow("no end") << good.chopped(2) << 6;
    QTest::newRow("nothing") << QByteArray() << 6;
}

void TestLedgerCopy::refusesDamagedData() {
    QFETCH(QByteArray, data);
    QFETCH(int, rows);
    for (const qsizetype piece : {0, 1, 13}) {
        const Result<LedgerCopy::Reader::Rows> read = readIn(data, rows, piece);
        QVERIFY2(!read.ok(), qPrintable(QStringLiteral("read in pieces of %1").arg(piece)));
        QVERIFY(read.status().message().contains(u"损坏"));
    }
}

void TestLedgerCopy::everyCutIsRefused() {
    const QByteArray good = sentFor(*sample());
    for (qsizetype size = 0; size < good.size(); ++size)
        QVERIFY2(!readIn(good.first(size), 6, 0).ok(), qPrintable(QString::number(size)));
}

void TestLedgerCopy::largeHostileData() {
    // Megabytes of noise after a good header, and the same noise alone.
    QByteArray noise(4 << 20, Qt::Uninitialized);
    QRandomGenerator random(20261209);
    random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    const QByteArray header = sentFor(*sheetOf(1, {})).first(FirstRow);
    for (const QByteArray& data : {QByteArray(header + noise), noise})
        for (const qsizetype piece : {0, 65536})
            QVERIFY(!readIn(data, 1000, piece).ok());
    // A row that never ends is refused once it is longer than any row can be.
    QByteArray endless = header;
    endless += QByteArray("\x00\x09\x00\x00\x00\x04\x00\x00\x00\x01", 10);
    for (int cell = 0; cell < 8; ++cell)
        endless += QByteArray("\x00\x01\x7F\xFD", 4) + QByteArray(98301, 'a');
    endless += QByteArray(2 << 20, 'b');
    Result<LedgerCopy::Reader> reader = LedgerCopy::Reader::start(5);
    QVERIFY(reader.ok());
    Status fed;
    for (qsizetype at = 0; fed && at < endless.size(); at += 4096)
        fed = reader->feed(
            QByteArrayView(endless).sliced(at, std::min<qsizetype>(4096, endless.size() - at)));
    QVERIFY(!fed.ok() || !reader->finish().ok());
}

void TestLedgerCopy::rowCountThatCannotFit() {
    QVERIFY(!LedgerCopy::Reader::start(LedgerLimits::MaxRows + 1).ok());
    QVERIFY(!LedgerCopy::Reader::start(-1).ok());
    // Rows that would not fit into the memory the system has free are refused before they
    // take any.
    const Result<LedgerCopy::Reader> tooMany = LedgerCopy::Reader::start(
        LedgerLimits::MaxRows, [] { return std::optional<qint64>(1 << 20); });
    QVERIFY(!tooMany.ok());
    QVERIFY2(tooMany.status().message().contains(u"内存"), qPrintable(tooMany.status().message()));
}

QTEST_GUILESS_MAIN(TestLedgerCopy)
#include "test_ledgercopy.moc"
