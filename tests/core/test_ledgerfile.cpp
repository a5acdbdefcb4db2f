#include "filesizelimit.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgerlimits.h"
#include "ledger/ledgersheet.h"
#include "sheetcells.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace vellumar;

namespace {

std::unique_ptr<LedgerSheet> sheetOf(const Cells& cells) {
    auto sheet = std::make_unique<LedgerSheet>(static_cast<int>(cells.size()));
    for (int row = 0; row < cells.size(); ++row)
        for (int column = 0; column < cells[row].size(); ++column)
            sheet->setCell(row, column, cells[row][column]);
    return sheet;
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

Status readBytes(const QByteArray& bytes, LedgerSheet& sheet,
                 const LedgerFile::MemoryProbe& memory = LedgerFile::availableMemory) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return LedgerFile::read(buffer, sheet, memory);
}

LedgerFile::MemoryProbe memoryOf(std::optional<qint64> bytes) {
    return [bytes] {
        return bytes;
    };
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool UnderAddressSanitizer = true;
#else
constexpr bool UnderAddressSanitizer = false;
#endif

// Bytes the heap gives out at the moment, small and mapped blocks together.
qint64 heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

// Address space this process has mapped, from /proc/self/statm.
qint64 mappedBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    return statm.readAll().split(' ').value(0).toLongLong() * sysconf(_SC_PAGESIZE);
}

// Lets the process map at most `bytes` more than it has now, for one scope: allocations past
// that fail as they would on a machine without memory to spare.
class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(qint64 bytes) {
        getrlimit(RLIMIT_AS, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = static_cast<rlim_t>(mappedBytes() + bytes);
        setrlimit(RLIMIT_AS, &limit);
    }
    ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &m_old); }
    AddressSpaceLimit(const AddressSpaceLimit&) = delete;
    AddressSpaceLimit& operator=(const AddressSpaceLimit&) = delete;

private:
    rlimit m_old{};
};

// A device whose content changes between the reader's two passes, as a file that another
// program writes while it is being opened.
class ChangingDevice final : public QIODevice {
public:
    ChangingDevice(QByteArray first, QByteArray second)
        : m_contents{std::move(first), std::move(second)} {
        open(QIODevice::ReadOnly);
    }
    qint64 size() const override { return m_contents[0].size(); }
    bool seek(qint64 position) override {
        if (position == 0 && !m_surveyed)
            m_surveyed = true;
        else
            m_pass = 1;
        m_at = position;
        return QIODevice::seek(position);
    }

protected:
    qint64 readData(char* data, qint64 most) override {
        const QByteArray& bytes = m_contents[m_pass];
        const qint64 count = std::clamp<qint64>(bytes.size() - m_at, 0, most);
        std::memcpy(data, bytes.constData() + m_at, static_cast<size_t>(count));
        m_at += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_contents[2];
    int m_pass = 0;
    bool m_surveyed = false;
    qint64 m_at = 0;
};

// A ledger of `rows` records with Chinese text and numbers, about 60 bytes a row.
QByteArray plainLedger(int rows) {
    QByteArray bytes = "\xEF\xBB\xBF";
    bytes += LedgerSheet::titles().join(u',').toUtf8() + "\r\n";
    for (int row = 1; row <= rows; ++row)
        bytes += QStringLiteral("%1,红富士苹果,%2,斤,6.5,%3,2026-12-09 09:30:15,\r\n")
                     .arg(row)
                     .arg(row % 7)
                     .arg(row % 7 * 6.5)
                     .toUtf8();
    return bytes;
}

QByteArray gb18030(const QString& text) {
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

// Rows of plain letters, which take exactly their length in the reader's shared blocks of text
// (2^19 characters), leaving `roomLeft` characters in the first block, then a last line of
// `lastLine` bytes that are no character, without a line break.
QByteArray blockFilledThen(int roomLeft, int lastLine) {
    constexpr int BlockCharacters = 1 << 19;
    constexpr int Filler = 1000;
    QByteArray bytes;
    int used = 0;
    while (BlockCharacters - used - Filler >= roomLeft + Filler) {
        bytes += QByteArray(Filler, 'a') + "\r\n";
        used += Filler;
    }
    bytes += QByteArray(BlockCharacters - used - roomLeft, 'b') + "\r\n";
    return bytes + QByteArray(lastLine, '\xFF');
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
    void refusesWithAReason_data();
    void refusesWithAReason();
    void missingFileIsReported();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void editedRowsStopBorrowingLoadedText();
    void randomBytesLoadOrAreRefused();
    void gb18030DecodesAtMostOneCharacterPerByte();
    void loadsAtTheCeilings_data();
    void loadsAtTheCeilings();
    void rowCeiling_data();
    void rowCeiling();
    void fileSizeCeilingBeforeReading_data();
    void fileSizeCeilingBeforeReading();
    void systemTellsItsFreeMemory();
    void refusesWhatMemoryCannotHold_data();
    void refusesWhatMemoryCannotHold();
    void memoryEstimateIsHonest_data();
    void memoryEstimateIsHonest();
    void failedAllocationIsARefusal();
    void fileChangedWhileRead_data();
    void fileChangedWhileRead();
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
    const QString fullCell = QStringLiteral("长备注，").repeated(8192).left(32767);
    QTest::newRow("remark as long as a cell may be")
        << Cells{titles,
                 {QStringLiteral("1"), QString(), QString(), QString(), QString(), QString(),
                  QString(), fullCell}};
    QTest::newRow("every cell as long as it may be")
        << Cells{titles, QStringList(LedgerSheet::ColumnCount, fullCell), {QStringLiteral("3")}};
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
    // Rows of full cells up to a few bytes before the mark.
    const qsizetype fillerEnd = chunk - 8 + shift;
    int fillerRows = 0;
    while (bytes.size() < fillerEnd) {
        const qsizetype length = std::min<qsizetype>(fillerEnd - bytes.size() - 2, 32767);
        bytes += QByteArray(length, 'x') + "\r\n";
        ++fillerRows;
    }
    QCOMPARE(bytes.size(), fillerEnd);
    // Around the mark: a CRLF, a quoted field with an escaped quote and a three-byte character.
    bytes += "1,\"\xE4\xB8\xAD\"\"\xE6\x96\x87\r\n\",\xE6\x96\x87\r\n2\r3\n";
    LedgerSheet sheet;
    const Status status = readBytes(bytes, sheet);
    QVERIFY2(status.ok(), qPrintable(status.message()));
    QCOMPARE(sheet.rowCount(), fillerRows + 3);
    QCOMPARE(sheet.cell(0, 0).size(), 32767);
    QCOMPARE(sheet.cell(fillerRows, 1), QStringLiteral("中\"文\r\n"));
    QCOMPARE(sheet.cell(fillerRows, 2), QStringLiteral("文"));
    QCOMPARE(sheet.cell(fillerRows + 1, 0), QStringLiteral("2"));
    QCOMPARE(sheet.cell(fillerRows + 2, 0), QStringLiteral("3"));
}

void TestLedgerFile::refusesWithAReason_data() {
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
    // The reader decodes GB18030 text straight into the memory it set aside for a row. A last
    // line without a line break and without a comma, whose bytes each decode to one character
    // (bytes that are no character at all), needs the most room for its bytes: as a row long
    // enough for memory of its own, and as one that meets the end of a shared block. Under
    // AddressSanitizer a single character written past the room fails these rows.
    const QString unreadable = QStringLiteral("编码无法识别");
    for (const int length : {131072, 131073, 131074, 200000}) {
        QTest::addRow("last line of %d unreadable bytes", length)
            << QByteArray(length, '\xFF') << unreadable;
        QTest::addRow("last line of %d unreadable bytes after a row", length)
            << gb18030(QStringLiteral("序号,商品名称\r\n")) + QByteArray(length, '\xFF')
            << unreadable;
    }
    for (const int lastLine : {2, 100})
        for (int offset = -1; offset <= 2; ++offset)
            QTest::addRow("last line of %d unreadable bytes, room %+d", lastLine, offset)
                << blockFilledThen(lastLine + offset, lastLine) << unreadable;

    // Beyond the ceilings of a ledger.
    const QByteArray full(32767, 'a');
    QTest::newRow("first cell one character too long")
        << QByteArray(32768, 'a') + "\r\n"
        << QStringLiteral("第 1 行第 1 列有 32768 个字，超过了一个格子最多 32767 个字的限制。");
    QTest::newRow("last cell, second row")
        << "a\r\n" + QByteArray(7, ',') + full + "b"
        << QStringLiteral("第 2 行第 8 列有 32768 个字，超过了一个格子最多 32767 个字的限制。");
    QTest::newRow("Chinese characters")
        << QStringLiteral("1,").toUtf8() + QStringLiteral("字").repeated(40000).toUtf8()
        << QStringLiteral("第 1 行第 2 列有 40000 个字");
    QTest::newRow("GB18030 characters")
        << gb18030(QStringLiteral("1,\"") + QStringLiteral("字").repeated(32768) + u'"')
        << QStringLiteral("第 1 行第 2 列有 32768 个字");
    QTest::newRow("quoted cell of quotes") << "\"" + QByteArray(2 * 32768, '"') + "\"\r\n"
                                           << QStringLiteral("第 1 行第 1 列有 32768 个字");
    QTest::newRow("row longer than any ledger row")
        << "a\r\n" + QByteArray(3 << 20, 'x')
        << QStringLiteral("第 2 行超过了 1048570 字节，比八个格子各写满 32767 个字还要长");
    QTest::newRow("row of commas")
        << QByteArray(1 << 21, ',') << QStringLiteral("第 1 行超过了 1048570 字节");
    QTest::newRow("quote running on") << "a,\"" + QByteArray(3 << 20, 'x') + "\"\r\n"
                                      << QStringLiteral("第 1 行的引号在 1048570 字节之内没有结束");
}

void TestLedgerFile::refusesWithAReason() {
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

// What the reader's room for a row rests on: the GB18030 decoder, handed a field and the ASCII
// byte after it as the reader does, gives at most one character per byte. Every one- and
// two-byte sequence, and four-byte ones across their ranges, before each delimiter.
void TestLedgerFile::gb18030DecodesAtMostOneCharacterPerByte() {
    QStringDecoder decoder("GB18030", QStringDecoder::Flag::ConvertInitialBom);
    QVERIFY(decoder.isValid());
    QList<QByteArray> sequences;
    for (int first = 0x80; first <= 0xFF; ++first) {
        sequences.append(QByteArray(1, char(first)));
        for (int second = 0x01; second <= 0xFF; ++second)
            sequences.append(QByteArray(1, char(first)) + char(second));
        for (int second = 0x30; second <= 0x39; ++second)
            for (const int third : {0x81, 0x9A, 0xC4, 0xFE, 0x30})
                for (const int fourth : {0x30, 0x35, 0x39, 0x81})
                    sequences.append(QByteArray(1, char(first)) + char(second) + char(third) +
                                     char(fourth));
    }
    QList<QChar> out(16);
    for (const QByteArray& sequence : std::as_const(sequences)) {
        for (const char delimiter : {',', '"', '\r', '\n'}) {
            const QByteArray bytes = sequence + delimiter;
            QChar* end = decoder.appendToBuffer(out.data(), bytes);
            if (end - out.data() > bytes.size())
                QFAIL(qPrintable(QStringLiteral("%1 decodes to %2 characters")
                                     .arg(QString::fromLatin1(bytes.toHex(' ')))
                                     .arg(end - out.data())));
        }
    }
}

// The longest rows a ledger may hold, in each of the ways they take the most bytes.
void TestLedgerFile::loadsAtTheCeilings_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("cell");
    const QString quotes(32767, u'"');
    QByteArray quoted = "\"" + QByteArray(2 * 32767, '"') + "\"";
    QTest::newRow("cell of quotes") << quoted + "\r\n" << quotes;
    // Characters that GB18030 writes with four bytes, every cell full and quoted, no line break.
    const QString wide = QString(32767, QChar(0x00C0));
    QByteArray row;
    for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
        row += (column ? ",\"" : "\"") + gb18030(wide) + "\"";
    QVERIFY(gb18030(wide).size() == 4 * 32767);
    QTest::newRow("four-byte GB18030 characters") << row << wide;
    QTest::newRow("four-byte GB18030 characters, line break") << row + "\r\n" << wide;
    const QString chinese = QStringLiteral("字").repeated(32767);
    QTest::newRow("Chinese UTF-8") << QStringList(8, chinese).join(u',').toUtf8() << chinese;
}

void TestLedgerFile::loadsAtTheCeilings() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, cell);
    LedgerSheet sheet;
    const Status status = readBytes(bytes, sheet);
    QVERIFY2(status.ok(), qPrintable(status.message()));
    QCOMPARE(sheet.rowCount(), 1);
    QCOMPARE(sheet.cell(0, 0), cell);
}

// Rows are counted from the line breaks before any is made when no quote can hide a line
// break; otherwise while they are made.
void TestLedgerFile::rowCeiling_data() {
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("reason");
    const int max = int(LedgerLimits::MaxRows);
    const QString counted =
        QStringLiteral("文件有 5000001 行，超过了账目最多 5000000 行（含标题行）的限制。");
    const QString made = QStringLiteral("文件的行数超过了账目最多 5000000 行（含标题行）的限制。");
    QTest::newRow("blank lines at the ceiling") << QByteArray() << max << QString();
    QTest::newRow("blank lines beyond") << QByteArray() << max + 1 << counted;
    QTest::newRow("quoted, at the ceiling") << QByteArray("\"a\"") << max << QString();
    QTest::newRow("quoted, beyond") << QByteArray("\"a\"") << max + 1 << made;
    QTest::newRow("far beyond")
        << QByteArray() << 3 * max
        << QStringLiteral("文件有 15000000 行，超过了账目最多 5000000 行（含标题行）的限制。");
}

void TestLedgerFile::rowCeiling() {
    QFETCH(QByteArray, head);
    QFETCH(int, rows);
    QFETCH(QString, reason);
    QByteArray bytes = head + QByteArray(rows, '\n');
    const auto kept = sentinelSheet();
    const Cells before = cellsOf(*kept);
    const Status status = readBytes(bytes, *kept);
    bytes.clear();
    if (reason.isEmpty()) {
        QVERIFY2(status.ok(), qPrintable(status.message()));
        QCOMPARE(kept->rowCount(), rows);
    } else {
        QCOMPARE(status.message(), reason);
        QCOMPARE(cellsOf(*kept), before);
    }
}

// A file past the size ceiling is refused from its size; one at the ceiling is read (and this
// one, all zero bytes, refused for what the first bytes are).
void TestLedgerFile::fileSizeCeilingBeforeReading_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("reason");
    QTest::newRow("one byte over")
        << LedgerLimits::MaxFileBytes + 1
        << QStringLiteral("文件大小为 513 MB，超过了账目文件最大 512 MB 的限制。");
    QTest::newRow("two gigabytes")
        << (qint64(2) << 30)
        << QStringLiteral("文件大小为 2048 MB，超过了账目文件最大 512 MB 的限制。");
    QTest::newRow("at the ceiling")
        << LedgerLimits::MaxFileBytes << QStringLiteral("其中含有非文字的内容，不是账目文件。");
}

void TestLedgerFile::fileSizeCeilingBeforeReading() {
    QFETCH(qint64, size);
    QFETCH(QString, reason);
    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("大.z"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(size)); // sparse: no disk space, nothing to read but zeros
    }
    const auto kept = sentinelSheet();
    const Cells before = cellsOf(*kept);
    const Status status = LedgerFile::load(path, *kept);
    QCOMPARE(status.message(), reason);
    QCOMPARE(cellsOf(*kept), before);
}

// Without an answer from the system the memory check would be skipped for every load.
void TestLedgerFile::systemTellsItsFreeMemory() {
    const std::optional<qint64> available = LedgerFile::availableMemory();
    QVERIFY(available.has_value());
    QVERIFY(*available > 0);
}

void TestLedgerFile::refusesWhatMemoryCannotHold_data() {
    QTest::addColumn<std::optional<qint64>>("available");
    QTest::addColumn<bool>("loads");
    QTest::newRow("nothing free") << std::optional<qint64>(0) << false;
    QTest::newRow("a megabyte free") << std::optional<qint64>(1 << 20) << false;
    QTest::newRow("plenty free") << std::optional<qint64>(qint64(1) << 40) << true;
    QTest::newRow("the system cannot tell") << std::optional<qint64>() << true;
}

void TestLedgerFile::refusesWhatMemoryCannotHold() {
    QFETCH(std::optional<qint64>, available);
    QFETCH(bool, loads);
    const auto kept = sentinelSheet();
    const Cells before = cellsOf(*kept);
    const Status status = readBytes(plainLedger(1000), *kept, memoryOf(available));
    QCOMPARE(status.ok(), loads);
    if (!loads) {
        QVERIFY2(status.message().startsWith(
                     QStringLiteral("打开这个文件大约需要 9 MB 内存，而本机现在只有")),
                 qPrintable(status.message()));
        QCOMPARE(cellsOf(*kept), before);
    }
}

// The memory a load is judged by is at least what the loaded sheet then holds, and not
// wildly more: the least free memory with which a file still loads is found by bisection.
void TestLedgerFile::memoryEstimateIsHonest_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("Chinese records") << plainLedger(100000);
    QTest::newRow("GB18030 records") << gb18030(QString::fromUtf8(plainLedger(100000).mid(3)));
    QTest::newRow("quoted remarks with line breaks")
        << QStringLiteral("1,\"备注\n第二行\"\r\n").repeated(100000).toUtf8();
    QTest::newRow("long rows")
        << QByteArray(QByteArray(7, ',') + QByteArray(32767, 'a') + "\r\n").repeated(100);
}

void TestLedgerFile::memoryEstimateIsHonest() {
    if (UnderAddressSanitizer)
        QSKIP("the sanitizer's allocator does not report the heap in use");
    QFETCH(QByteArray, bytes);
    qint64 refused = 0;
    qint64 loads = qint64(1) << 34;
    while (loads - refused > 65536) {
        const qint64 middle = (refused + loads) / 2;
        LedgerSheet sheet;
        (readBytes(bytes, sheet, memoryOf(middle)).ok() ? loads : refused) = middle;
    }
    LedgerSheet sheet;
    const qint64 before = heapInUse();
    QVERIFY(readBytes(bytes, sheet, memoryOf(loads)).ok());
    const qint64 held = heapInUse() - before;
    // Besides what the sheet keeps, a load works with a few megabytes of buffers.
    const qint64 working = qint64(8) << 20;
    QVERIFY2(held <= loads, "the estimate is below what the load holds");
    QVERIFY2(loads - working <= held + held / 4, "the estimate is far above what the load holds");
}

// Memory that runs out in the middle of a load ends it with a refusal, not an abort, and the
// sheet is as it was.
void TestLedgerFile::failedAllocationIsARefusal() {
    if (UnderAddressSanitizer)
        QSKIP("the sanitizer maps its own shadow memory and cannot run under a limit");
    const QByteArray bytes = plainLedger(1000000);
    const auto kept = sentinelSheet();
    const Cells before = cellsOf(*kept);
    Status status;
    {
        AddressSpaceLimit limit(32 << 20);
        status = readBytes(bytes, *kept, memoryOf(qint64(1) << 40));
    }
    QCOMPARE(status.message(),
             QStringLiteral("本机的内存不够，无法打开这个文件。请关闭其他程序后再试。"));
    QCOMPARE(cellsOf(*kept), before);
    // And with the memory back the same file loads.
    QVERIFY(readBytes(bytes, *kept, memoryOf(qint64(1) << 40)).ok());
}

// The first pass vouches for the bytes (no zero bytes, the encoding, the ceilings); a file
// that changes before the second pass is refused rather than read unchecked.
void TestLedgerFile::fileChangedWhileRead_data() {
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<bool>("loads");
    QTest::newRow("unchanged") << QByteArray("a,b\r\nc,d\r\n") << true;
    QTest::newRow("grown") << QByteArray("a,b\r\nc,d\r\ne,\0\r\n", 15) << false;
    QTest::newRow("shrunk") << QByteArray("a,b\r\n") << false;
    QTest::newRow("grown past a read") << QByteArray(3 << 20, '\n') << false;
}

void TestLedgerFile::fileChangedWhileRead() {
    QFETCH(QByteArray, second);
    QFETCH(bool, loads);
    ChangingDevice device(QByteArray("a,b\r\nc,d\r\n"), second);
    const auto kept = sentinelSheet();
    const Cells before = cellsOf(*kept);
    const Status status = LedgerFile::read(device, *kept);
    if (loads) {
        QVERIFY2(status.ok(), qPrintable(status.message()));
        QCOMPARE(kept->cell(1, 1), QStringLiteral("d"));
    } else {
        QCOMPARE(status.message(), QStringLiteral("文件在读取的过程中被改动了，请稍后再打开。"));
        QCOMPARE(cellsOf(*kept), before);
    }
}

QTEST_GUILESS_MAIN(TestLedgerFile)
#include "test_ledgerfile.moc"
