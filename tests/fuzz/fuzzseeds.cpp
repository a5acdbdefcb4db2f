// Writes seed inputs for the fuzz targets: real ledgers from the benchmark's generator in the
// encodings and line ends the reader takes, files around the reader's limits, and number
// texts.
//
//   fuzz_seeds small DIR     the small seeds kept with the sources (tests/fuzz/seeds)
//   fuzz_seeds large DIR     seeds of up to a few megabytes, made before each run

#include "ledgergenerator.h"

#include "ledger/ledgerfile.h"
#include "ledger/ledgersheet.h"
#include "safety/journalfile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cstdio>

using namespace vellumar;

namespace {

bool save(const QString& directory, const QString& name, const QByteArray& bytes) {
    QFile file(QDir(directory).filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        return false;
    }
    return true;
}

// The generator's ledger as the program saves it: UTF-8 with a mark, CRLF.
QByteArray ledger(int records) {
    LedgerSheet sheet;
    bench::generateLedger(sheet, records);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!LedgerFile::write(buffer, sheet).ok())
        std::abort();
    return buffer.data();
}

QByteArray withoutMark(const QByteArray& bytes) {
    return bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
}

QByteArray withoutFinalBreak(QByteArray bytes) {
    while (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
    return bytes;
}

QByteArray toGb18030(const QByteArray& utf8, bool mark) {
    QStringEncoder encoder("GB18030");
    const QByteArray encoded = encoder.encode(QString::fromUtf8(withoutMark(utf8)));
    return mark ? QByteArray("\x84\x31\x95\x33") + encoded : encoded;
}

// Each form of a ledger the reader takes, under a name that says which.
bool saveForms(const QString& directory, const QString& stem, const QByteArray& utf8) {
    QByteArray lf = utf8;
    lf.replace("\r\n", "\n");
    QByteArray cr = utf8;
    cr.replace("\r\n", "\r");
    return save(directory, stem + QStringLiteral("_utf8_mark.z"), utf8) &&
           save(directory, stem + QStringLiteral("_utf8_no_final_break.z"),
                withoutFinalBreak(withoutMark(utf8))) &&
           save(directory, stem + QStringLiteral("_utf8_lf.z"), withoutMark(lf)) &&
           save(directory, stem + QStringLiteral("_utf8_cr.z"), cr) &&
           save(directory, stem + QStringLiteral("_gb18030.z"), toGb18030(utf8, false)) &&
           save(directory, stem + QStringLiteral("_gb18030_mark_no_final_break.z"),
                withoutFinalBreak(toGb18030(utf8, true)));
}

bool small(const QString& directory) {
    const QByteArray records = ledger(30);
    // The generator pads to a thousand free rows; a short file keeps the seeds quick.
    const qsizetype end = records.indexOf("\r\n,,,,,,,\r\n");
    if (!saveForms(directory, QStringLiteral("ledger"), records.left(end + 2)))
        return false;
    // A last line at the length where the reader gives a row memory of its own (2^17
    // characters), of bytes that are no character, without a line break: one byte more is
    // the row the reader once overran.
    return save(directory, QStringLiteral("unreadable_last_line.z"),
                QByteArray(qsizetype(1) << 17, '\xFF')) &&
           save(directory, QStringLiteral("quoted.z"),
                QByteArray("\"a,\"\"b\"\"\r\nc\",\xE4\xB8\xAD,\"\"\r\n\r\n,,,,,,,\r\n")) &&
           save(directory, QStringLiteral("gbk_short.z"),
                toGb18030(QStringLiteral("序号,商品名称\r\n1,白糖😀\r\n2").toUtf8(), false));
}

bool large(const QString& directory) {
    const QByteArray records = ledger(14000);
    // Rows of letters that leave exactly 100 characters of room in the reader's first block of
    // text (2^19 characters), then a last line as above of 99 bytes: any character more in
    // the file before it is the other row the reader once overran.
    QByteArray filling;
    for (int row = 0; row < 524; ++row)
        filling += QByteArray(1000, 'a') + "\r\n";
    filling += QByteArray(188, 'b') + "\r\n" + QByteArray(99, '\xFF');
    // Every cell as long as a cell may be.
    const QByteArray full = QByteArray(32767, 'x');
    QByteArray fullRow = full;
    for (int column = 1; column < LedgerSheet::ColumnCount; ++column)
        fullRow += ',' + full;
    return save(directory, QStringLiteral("ledger_14000_utf8_no_final_break.z"),
                withoutFinalBreak(withoutMark(records))) &&
           save(directory, QStringLiteral("ledger_14000_gb18030_mark_no_final_break.z"),
                withoutFinalBreak(toGb18030(records, true))) &&
           save(directory, QStringLiteral("block_filled.z"), filling) &&
           save(directory, QStringLiteral("full_cells.z"), fullRow + "\r\n" + fullRow);
}

bool numbers(const QString& directory) {
    const char* const texts[] = {"2.5",
                                 "-3.75",
                                 "  7.5  ",
                                 "3.5kg",
                                 "1,5",
                                 "2e3",
                                 "2e",
                                 "-0",
                                 ".5",
                                 "5.",
                                 "0.30000000000000004",
                                 "1.7976931348623157E+308",
                                 "5E-324",
                                 "1e999",
                                 "-1e-400",
                                 "\xE6\xBA\xA2\xE5\x87\xBA",
                                 "-\xE6\xBA\xA2\xE5\x87\xBA", // 溢出, -溢出
                                 "\xEF\xBC\x91\xEF\xBC\x92\xEF\xBC\x8E\xEF\xBC\x95", // １２．５
                                 "\xE3\x80\x80\x38",
                                 "0.000000000000001",
                                 "9.5E-16",
                                 "123456789012345.67"};
    int n = 0;
    for (const char* text : texts)
        if (!save(directory, QStringLiteral("number_%1.txt").arg(++n, 2, 10, QLatin1Char('0')),
                  QByteArray(text)))
            return false;
    return true;
}

// Journals of unsaved changes: every kind of change, a cut end, and (large) a long session of
// records with remarks as the recovery journal writes them.
bool journals(const QString& directory, bool large) {
    FileIdentity base;
    base.exists = true;
    base.inode = 1209;
    base.size = 76000;
    base.modifiedNs = 1765272615000000000;
    const RecordFields fields = {QStringLiteral("康师傅红烧牛肉面"),
                                 QStringLiteral("3"),
                                 QStringLiteral("箱"),
                                 QStringLiteral("2.5"),
                                 QStringLiteral("7.5"),
                                 QStringLiteral("赊账\n月底结清")};
    QByteArray all = JournalFile::header(base);
    for (const LedgerChange& change :
         {LedgerChange::added(fields, QStringLiteral("2026-12-09 09:30:15")),
          LedgerChange::edited(2, fields), LedgerChange::deleted(3, 40),
          LedgerChange::step(LedgerChange::Kind::Undo),
          LedgerChange::step(LedgerChange::Kind::Redo),
          LedgerChange::opened(QStringLiteral("打开的文件-1.z"))})
        all += JournalFile::entry(change);
    if (!large)
        return save(directory, QStringLiteral("journal_every_kind"), all) &&
               save(directory, QStringLiteral("journal_cut_end"), all.chopped(5)) &&
               save(directory, QStringLiteral("journal_header_only"),
                    JournalFile::header(FileIdentity()));
    QByteArray session = JournalFile::header(base);
    for (int n = 0; session.size() < (qsizetype(3) << 19); ++n) {
        RecordFields record = fields;
        record.product = QStringLiteral("商品 %1").arg(n);
        record.remark = QString(n % 97, QChar(u'备'));
        session += JournalFile::entry(
            n % 11 == 10 ? LedgerChange::step(LedgerChange::Kind::Undo)
                         : LedgerChange::added(record, QStringLiteral("2026-12-09 09:30:15")));
    }
    return save(directory, QStringLiteral("journal_session"), session);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: fuzz_seeds small|large DIR\n");
        return 2;
    }
    const QString kind = arguments[1];
    const QString directory = arguments[2];
    QDir().mkpath(directory + QStringLiteral("/ledger"));
    QDir().mkpath(directory + QStringLiteral("/number"));
    QDir().mkpath(directory + QStringLiteral("/journal"));
    const QString journal = directory + QStringLiteral("/journal");
    if (kind == QStringLiteral("small"))
        return small(directory + QStringLiteral("/ledger")) &&
                       numbers(directory + QStringLiteral("/number")) && journals(journal, false)
                   ? 0
                   : 1;
    if (kind == QStringLiteral("large"))
        return large(directory + QStringLiteral("/ledger")) && journals(journal, true) ? 0 : 1;
    std::fprintf(stderr, "usage: fuzz_seeds small|large DIR\n");
    return 2;
}
