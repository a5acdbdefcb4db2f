#include "filesizelimit.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgersheet.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace vellumar;

namespace {

using Cells = QList<QStringList>;

std::unique_ptr<LedgerSheet> sheetOf(const Cells& cells) {
    auto sheet = std::make_unique<LedgerSheet>(static_cast<int>(cells.size()));
    for (int row = 0; row < cells.size(); ++row)
        for (int column = 0; column < cells[row].size(); ++column)
            sheet->setCell(row, column, cells[row][column]);
    return sheet;
}

// Every cell of the sheet, short rows padded, so two sheets compare as plain lists.
Cells cellsOf(const LedgerSheet& sheet) {
    Cells cells;
    for (int row = 0; row < sheet.rowCount(); ++row) {
        QStringList line;
        for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
            line.append(sheet.cell(row, column));
        cells.append(line);
    }
    return cells;
}

Cells padded(Cells cells) {
    for (QStringList& row : cells)
        while (row.size() < LedgerSheet::ColumnCount)
            row.append(QString());
    return cells;
}

QByteArray bytesOf(const LedgerSheet& sheet) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const Status written = LedgerFile::write(buffer, sheet);
    if (!written)
        qFatal("%s", qPrintable(written.message()));
    return buffer.data();
}

Status readBytes(const QByteArray& bytes, LedgerSheet& sheet) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return LedgerFile::read(buffer, sheet);
}

QByteArray gb18030(const QString& text) {
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

// A sheet that a failed read must leave exactly as it was.
std::unique_ptr<LedgerSheet> sentinelSheet() {
    auto sheet = std::make_unique<LedgerSheet>(5);
    sheet->applyTitles();
    sheet->setCell(1, LedgerSheet::Serial, QStringLiteral("1"));
    sheet->setCell(1, LedgerSheet::Remark, QStringLiteral("原来的记录"));
    return sheet;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestLedgerFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void savedBytesAreSpreadsheetCsv();
    void roundTrip_data();
    void roundTrip();
    void readsOtherWriters_data();
    void readsOtherWriters();
    void rowsCrossingReadChunks_data();
    void rowsCrossingReadChunks();
    void refusesWhatIsNotALedger_data();
    void refusesWhatIsNotALedger();
    void missingFileIsReported();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void editedRowsStopBorrowingLoadedText();
    void randomBytesLoadOrAreRefused();
};

void TestLedgerFile::savedBytesAreSpreadsheetCsv() {
    const auto sheet = sheetOf({{QStringLiteral("序号"), QStringLiteral("商品名称")},
                                {QStringLiteral("1"), QStringLiteral("大米, 5kg"),
                                 QStringLiteral("2"), QStringLiteral("袋"), QString(), QString(),
                                 QString(), QStringLiteral("说\"好\"的\n第二行")},
                                {}});
    const QByteArray expected = "\xEF\xBB\xBF"
                                "\xE5\xBA\x8F\xE5\x8F\xB7,\xE5\x95\x86\xE5\x93\x81\xE5\x90\x8D"
                                "\xE7\xA7\xB0,,,,,,\r\n"
                                "1,\"\xE5\xA4\xA7\xE7\xB1\xB3, 5kg\",2,\xE8\xA2\x8B,,,,"
                                "\"\xE8\xAF\xB4\"\"\xE5\xA5\xBD\"\"\xE7\x9A\x84\n"
                                "\xE7\xAC\xAC\xE4\xBA\x8C\xE8\xA1\x8C\"\r\n"
                                ",,,,,,,\r\n";
    QCOMPARE(bytesOf(*sheet), expected);
}

void TestLedgerFile::roundTrip_data() {
    QTest::addColumn<Cells>("cells");
    const QStringList titles = LedgerSheet::titles();
    QTest::newRow("titles only") << Cells{titles};
    QTest::newRow("titles and free rows") << Cells{titles, {}, {}, {}};
    QTest::newRow("free row between records")
        << Cells{titles,
                 {QStringLiteral("1"), QStringLiteral("酱油")},
                 {},
                 {QStringLiteral("3"), QStringLiteral("醋")}};
    const QStringList awkward = {QStringLiteral("a,b"),          QStringLiteral("\"引号\""),
                                 QStringLiteral("行1\r\n行2"),   QStringLiteral("只有\n换行"),
                                 QStringLiteral("回车\r结尾\r"), QStringLiteral("  两边空格  "),
                                 QStringLiteral("表情😀符号"),    QStringLiteral("\"")};
    QTest::newRow("quotes, commas and line breaks") << Cells{titles, awkward};
    QTest::newRow("leading byte-order mark character")
        << Cells{{QStringLiteral("\uFEFF序号")}, {QStringLiteral("\uFEFF")}};
    QTest::newRow("first row empty") << Cells{{}, {QStringLiteral("1")}};
    QTest::newRow("only a line break") << Cells{{QStringLiteral("\r\n")}};
    QTest::newRow("long remark") << Cells{titles,
                                          {QStringLiteral("1"), QString(), QString(), QString(),
                                           QString(), QString(), QString(),
                                           QStringLiteral("长备注，").repeated(100000)}};
    Cells thousand{titles};
    for (int row = 1; row < 1000; ++row)
        thousand.append(row % 3 ? QStringList{QString::number(row), QStringLiteral("货%1").arg(row)}
                                : QStringList{});
    QTest::newRow("a thousand rows") << thousand;
}

void TestLedgerFile::roundTrip() {
    QFETCH(Cells, cells);
    const auto owned = sheetOf(cells);
    const LedgerSheet& saved = *owned;
    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("张三.z"));
    QVERIFY(LedgerFile::save(path, saved).ok());

    LedgerSheet loaded(3);
    const Status status = LedgerFile::load(path, loaded);
    QVERIFY2(status.ok(), qPrintable(status.message()));
    QCOMPARE(loaded.rowCount(), saved.rowCount());
    QCOMPARE(cellsOf(loaded), padded(cells));
    // Saving what was loaded gives the same bytes again.
    QCOMPARE(bytesOf(loaded), readAll(path));
}

void TestLedgerFile::readsOtherWriters_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Cells>("expected");
    const Cells record = {{QStringLiteral("序号"), QStringLiteral("商品名称")},
                          {QStringLiteral("1"), QStringLiteral("白糖")}};
    QTest::newRow("UTF-8 without mark")
        << QStringLiteral("序号,商品名称\r\n1,白糖\r\n").toUtf8() << record;
    QTest::newRow("LF line ends") << QStringLiteral("序号,商品名称\n1,白糖\n").toUtf8() << record;
    QTest::newRow("CR line ends") << QStringLiteral("序号,商品名称\r1,白糖\r").toUtf8() << record;
    QTest::newRow("no line break at the end")
        << QStringLiteral("序号,商品名称\r\n1,白糖").toUtf8() << record;
    QTest::newRow("GB18030 without mark")
        << gb18030(QStringLiteral("序号,商品名称\r\n1,白糖\r\n")) << record;
    QTest::newRow("GB18030 with mark")
        << QByteArray("\x84\x31\x95\x33") + gb18030(QStringLiteral("序号,商品名称\r\n1,白糖\r\n"))
        << record;
    QTest::newRow("GB18030 quoted, four-byte character")
        << gb18030(QStringLiteral("序号,\"商品\"\"名称\"\"\"\r\n1,\"白糖😀\n二行\"\r\n"))
        << Cells{{QStringLiteral("序号"), QStringLiteral("商品\"名称\"")},
                 {QStringLiteral("1"), QStringLiteral("白糖😀\n二行")}};
    QTest::newRow("empty extra columns are not text")
        << QByteArray("a,b,c,d,e,f,g,h,,,\"\"\r\n")
        << Cells{{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                  QStringLiteral("d"), QStringLiteral("e"), QStringLiteral("f"),
                  QStringLiteral("g"), QStringLiteral("h")}};
    QTest::newRow("quote inside an unquoted field is kept")
        << QByteArray("5\"x,y\r\n") << Cells{{QStringLiteral("5\"x"), QStringLiteral("y")}};
    QTest::newRow("blank line is a free row")
        << QByteArray("a\r\n\r\nb\r\n") << Cells{{QStringLiteral("a")}, {}, {QStringLiteral("b")}};
    QTest::newRow("empty quoted field at the end")
        << QByteArray("a,\"\"") << Cells{{QStringLiteral("a")}};
}

void TestLedgerFile::readsOtherWriters() {
    QFETCH(QByteArray, bytes);
    QFETCH(Cells, expected);
    LedgerSheet sheet;
    const Status status = readBytes(bytes, sheet);
    QVERIFY2(status.ok(), qPrintable(status.message()));
    QCOMPARE(cellsOf(sheet), padded(expected));
}

void TestLedgerFile::rowsCrossingReadChunks_data() {
    QTest::addColumn<int>("shift");
    // The file is read a mebibyte at a time; move the interesting bytes across that mark.
    for (int shift = -6; shift <= 6; ++shift)
        QTest::addRow("shift %d", shift) << shift;
}

void TestLedgerFile::rowsCrossingReadChunks() {
    QFETCH(int, shift);
    const qsizetype chunk = qsizetype(1) << 20;
    QByteArray bytes("\xEF\xBB\xBF");
    const QByteArray filler(chunk - 3 - 10 + shift, 'x');
    bytes += filler + "\r\n";
    // Around the mark: a CRLF, a quoted field with an escaped quote and a three-byte character.
    bytes += "1,\"\xE4\xB8\xAD\"\"\xE6\x96\x87\r\n\",\xE6\x96\x87\r\n2\r3\n";
    LedgerSheet sheet;
    const Status status = readBytes(bytes, sheet);
    QVERIFY2(status.ok(), qPrintable(status.message()));
    QCOMPARE(sheet.rowCount(), 4);
    QCOMPARE(sheet.cell(0, 0).size(), filler.size());
    QCOMPARE(sheet.cell(1, 1), QStringLiteral("中\"文\r\n"));
    QCOMPARE(sheet.cell(1, 2), QStringLiteral("文"));
    QCOMPARE(sheet.cell(2, 0), QStringLiteral("2"));
    QCOMPARE(sheet.cell(3, 0), QStringLiteral("3"));
}

void TestLedgerFile::refusesWhatIsNotALedger_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    QTest::newRow("text in a ninth column")
        << QByteArray("a,b\r\n1,2,3,4,5,6,7,8,9\r\n") << QStringLiteral("第 2 行在第八列之后");
    QTest::newRow("quote never closed")
        << QByteArray("a,\"b\r\nc,d\r\n") << QStringLiteral("第 1 行的引号没有结束");
    QTest::newRow("text after closing quote")
        << QByteArray("\"a\"b,c\r\n") << QStringLiteral("第 1 行的引号后面");
    QTest::newRow("zero bytes") << QByteArray("a,b\0c", 5) << QStringLiteral("非文字");
    QTest::newRow("empty file") << QByteArray() << QStringLiteral("空的");
    QTest::newRow("mark only") << QByteArray("\xEF\xBB\xBF") << QStringLiteral("空的");
    QTest::newRow("mark with broken UTF-8")
        << QByteArray("\xEF\xBB\xBF\xE4\xB8,b\r\n") << QStringLiteral("UTF-8");
    QTest::newRow("neither UTF-8 nor GB18030")
        << QByteArray("a,\x80\xFF\r\n") << QStringLiteral("编码无法识别");
    QTest::newRow("GB18030 character cut by a comma")
        << QByteArray("a,\xC9,b\r\n") << QStringLiteral("编码无法识别");
    QTest::newRow("GB18030 character cut at the end")
        << QByteArray("a,b\xC9") << QStringLiteral("编码无法识别");
    QTest::newRow("picture") << QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16)
                             << QStringLiteral("非文字");
}

void TestLedgerFile::refusesWhatIsNotALedger() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    const auto kept = sentinelSheet();
    LedgerSheet& sheet = *kept;
    const Cells before = cellsOf(sheet);
    const Status status = readBytes(bytes, sheet);
    QVERIFY(!status.ok());
    QVERIFY2(status.message().contains(reason), qPrintable(status.message()));
    QCOMPARE(cellsOf(sheet), before);
}

void TestLedgerFile::missingFileIsReported() {
    QTemporaryDir directory;
    const auto sheet = sentinelSheet();
    const Status status = LedgerFile::load(directory.filePath(QStringLiteral("无.z")), *sheet);
    QVERIFY2(status.message().contains(QStringLiteral("不存在")), qPrintable(status.message()));
    QCOMPARE(sheet->cell(1, LedgerSheet::Remark), QStringLiteral("原来的记录"));
}

void TestLedgerFile::failedSaveKeepsOldFile_data() {
    QTest::addColumn<bool>("diskFull");
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder is a file") << false << QStringLiteral("不存在");
    QTest::newRow("file size limit") << true << QStringLiteral("最大大小");
}

void TestLedgerFile::failedSaveKeepsOldFile() {
    QFETCH(bool, diskFull);
    QFETCH(QString, reason);
    QTemporaryDir directory;
    QString path = directory.filePath(QStringLiteral("李四.z"));
    const QByteArray old = "\xEF\xBB\xBF"
                           "old\r\n";
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    LedgerSheet sheet(20000);
    sheet.applyTitles();
    for (int row = 1; row < sheet.rowCount(); ++row)
        sheet.setCell(row, LedgerSheet::Product, QStringLiteral("很多很多的商品"));

    Status status;
    if (diskFull) {
        FileSizeLimit limit(64 * 1024);
        status = LedgerFile::save(path, sheet);
    } else {
        // A folder that cannot exist, because a file of that name is in the way.
        path = path + QStringLiteral("/王五.z");
        status = LedgerFile::save(path, sheet);
        path = directory.filePath(QStringLiteral("李四.z"));
    }
    QVERIFY(!status.ok());
    QVERIFY2(status.message().contains(reason), qPrintable(status.message()));
    QCOMPARE(readAll(path), old);
    // Nothing half-written is left beside it.
    QCOMPARE(QDir(directory.path()).entryList(QDir::Files), QStringList{QStringLiteral("李四.z")});
}

void TestLedgerFile::editedRowsStopBorrowingLoadedText() {
    LedgerSheet sheet;
    QVERIFY(readBytes(QByteArray("a,b,c\r\nd,e,f\r\n"), sheet).ok());
    sheet.setCell(1, 1, QStringLiteral("新"));
    sheet.removeRow(0);
    // Loading again lets go of the first file's text; the cells must not point into it.
    LedgerSheet other;
    QVERIFY(readBytes(QByteArray("x\r\n"), other).ok());
    QCOMPARE(cellsOf(sheet),
             padded({{QStringLiteral("d"), QStringLiteral("新"), QStringLiteral("f")}}));
    QVERIFY(readBytes(QByteArray("y,z\r\n"), sheet).ok());
    QCOMPARE(cellsOf(sheet), padded({{QStringLiteral("y"), QStringLiteral("z")}}));
}

// Arbitrary and damaged bytes either load or are refused with a reason, never anything else;
// what loads saves and loads back to the same cells.
void TestLedgerFile::randomBytesLoadOrAreRefused() {
    QRandomGenerator random(20261209);
    const QByteArray valid = bytesOf(
        *sheetOf({LedgerSheet::titles(),
                  {QStringLiteral("1"), QStringLiteral("红枣"), QStringLiteral("2.5"),
                   QStringLiteral("斤"), QStringLiteral("18"), QStringLiteral("45"),
                   QStringLiteral("2026-12-09 09:30:15"), QStringLiteral("送货\r\n\"加急\", 周五")},
                  {}}));
    static constexpr char symbols[] = ",\"\r\n\r\n\xEF\xBB\xBF\x84\x31\x95\x33\xC9\xE4\xB8\xAD"
                                      "a1 \xFF\x80";
    const QByteArray alphabet(symbols, sizeof(symbols) - 1);
    int loaded = 0;
    for (int round = 0; round < 4000; ++round) {
        QByteArray bytes;
        switch (round % 3) {
        case 0: // bytes from an alphabet rich in what the reader looks at
            for (int n = random.bounded(40); n > 0; --n)
                bytes += alphabet[random.bounded(int(alphabet.size()))];
            break;
        case 1: // a real ledger with a few bytes changed, inserted or cut
            bytes = valid;
            for (int n = 1 + random.bounded(4); n > 0; --n) {
                const int at = random.bounded(int(bytes.size()));
                const char byte = alphabet[random.bounded(int(alphabet.size()))];
                switch (random.bounded(3)) {
                case 0:
                    bytes[at] = byte;
                    break;
                case 1:
                    bytes.insert(at, byte);
                    break;
                default:
                    bytes.truncate(at);
                    break;
                }
                if (bytes.isEmpty())
                    break;
            }
            break;
        default: // any bytes at all
            for (int n = random.bounded(60); n > 0; --n)
                bytes += char(random.bounded(256));
            break;
        }
        const auto kept = sentinelSheet();
        LedgerSheet& sheet = *kept;
        const Cells before = cellsOf(sheet);
        const Status status = readBytes(bytes, sheet);
        if (!status.ok()) {
            QVERIFY(!status.message().isEmpty());
            QCOMPARE(cellsOf(sheet), before);
            continue;
        }
        ++loaded;
        QVERIFY(sheet.rowCount() >= 1);
        LedgerSheet again;
        QVERIFY(readBytes(bytesOf(sheet), again).ok());
        QCOMPARE(cellsOf(again), cellsOf(sheet));
    }
    // Both outcomes must have been exercised for the test to mean anything.
    QVERIFY(loaded > 250);
    QVERIFY(loaded < 3600);
}

QTEST_GUILESS_MAIN(TestLedgerFile)
#include "test_ledgerfile.moc"
