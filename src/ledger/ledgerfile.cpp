#include "ledger/ledgerfile.h"

#include "ledger/ledgerlimits.h"
#include "storage/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace vellumar::LedgerFile {

namespace {

constexpr qsizetype ChunkSize = qsizetype(1) << 20;
constexpr char Utf8Bom[] = "\xEF\xBB\xBF";
constexpr char Gb18030Bom[] = "\x84\x31\x95\x33";

// The most bytes one UTF-16 character of a cell can take in a file: four for the GB18030
// characters written with four bytes, and two for a quote inside a quoted cell.
constexpr qsizetype MaxBytesPerCharacter = 4;
// A row longer than this cannot be eight cells within the cell limit, whatever its bytes are:
// every cell full, with its two quotes and its comma, and a CRLF.
constexpr qsizetype MaxRowBytes =
    LedgerSheet::ColumnCount * (MaxBytesPerCharacter * LedgerLimits::MaxCellCharacters + 3) + 2;
// An unfinished row always fits into the read buffer with room to read on.
static_assert(MaxRowBytes < ChunkSize);

// Memory a load takes besides the rows and their text: the read buffer, the text block being
// filled, and a long row's own block together with the copy the row makes of it.
constexpr qint64 WorkingMemory = 8 * ChunkSize;

enum class Encoding { Utf8, Gb18030 };

QString rowMessage(const char16_t* pattern, qsizetype row) {
    return QString::fromUtf16(pattern).arg(row + 1);
}

QString megabytes(qint64 bytes) {
    return QString::number(static_cast<qint64>(std::ceil(double(bytes) / (1 << 20))));
}

Status fileTooLarge(qint64 bytes) {
    return Status::failure(QStringLiteral("文件大小为 %1 MB，超过了账目文件最大 %2 MB 的限制。")
                               .arg(megabytes(bytes), megabytes(LedgerLimits::MaxFileBytes)),
                           QStringLiteral("%1 字节").arg(bytes));
}

// ---------------------------------------------------------------------------------------------
// First pass: the encoding, the byte-order mark, how many rows and characters the file can
// hold, read in chunks so that only the sheet itself takes memory in proportion to the file.

struct Survey {
    Encoding encoding = Encoding::Utf8;
    qsizetype bomSize = 0;
    qint64 bytes = 0;
    qsizetype rowBound = 0; // an upper bound of the rows; exact when rowsExact
    bool rowsExact = false; // no quotes, so every line break ends a row
    qint64 characters = 0;  // UTF-16 characters the text decodes to, at most
};

// The bytes at the end of a chunk that begin a UTF-8 sequence the chunk cuts off.
qsizetype unfinishedUtf8Tail(const char* data, qsizetype size) {
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(data[size - back]);
        if ((byte & 0xC0) == 0x80)
            continue;
        const qsizetype length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

qsizetype countLineBreaks(const char* data, qsizetype size, bool& crEndsPrevious) {
    qsizetype breaks = 0;
    const char* const end = data + size;
    // A CR at the end of the previous chunk was a line break of its own unless an LF follows.
    if (crEndsPrevious && size > 0 && data[0] != '\n')
        ++breaks;
    crEndsPrevious = false;
    for (const char* p = data; (p = static_cast<const char*>(std::memchr(p, '\n', end - p))); ++p)
        ++breaks;
    for (const char* p = data; (p = static_cast<const char*>(std::memchr(p, '\r', end - p))); ++p) {
        if (p + 1 == end)
            crEndsPrevious = true;
        else if (p[1] != '\n')
            ++breaks;
    }
    return breaks;
}

// What the characters of the text will take: ASCII bytes, UTF-8 continuation bytes, and the
// lead bytes of four-byte UTF-8 sequences (which become two UTF-16 characters).
struct ByteClasses {
    qint64 ascii = 0;
    qint64 continuation = 0;
    qint64 fourByteLeads = 0;
};

// Counted eight bytes at a time in byte-wide lanes, which are added up before they overflow.
void countByteClasses(const char* data, qsizetype size, ByteClasses& classes) {
    constexpr std::uint64_t High = 0x8080808080808080;
    constexpr std::uint64_t Lanes = 0x00FF00FF00FF00FF;
    const auto sumLanes = [](std::uint64_t lanes) {
        const std::uint64_t pairs = (lanes & Lanes) + ((lanes >> 8) & Lanes);
        return qint64((pairs * 0x0001000100010001) >> 48);
    };
    qint64 nonAscii = 0;
    qsizetype i = 0;
    while (i + 8 <= size) {
        std::uint64_t high = 0;
        std::uint64_t continuation = 0;
        std::uint64_t fourByteLeads = 0;
        for (int words = 0; words < 255 && i + 8 <= size; ++words, i += 8) {
            std::uint64_t w = 0;
            std::memcpy(&w, data + i, sizeof w);
            // Bit 7 of each byte, then whether bit 6 (10xxxxxx) or bits 6 to 4 (11110xxx) join it.
            high += (w & High) >> 7;
            continuation += (w & ~(w << 1) & High) >> 7;
            fourByteLeads += (w & (w << 1) & (w << 2) & (w << 3) & High) >> 7;
        }
        nonAscii += sumLanes(high);
        classes.continuation += sumLanes(continuation);
        classes.fourByteLeads += sumLanes(fourByteLeads);
    }
    for (; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        nonAscii += byte >= 0x80;
        classes.continuation += (byte & 0xC0) == 0x80;
        classes.fourByteLeads += byte >= 0xF0;
    }
    classes.ascii += size - nonAscii;
}

// Reads of a chunk at most, and no larger than a small file needs.
qsizetype chunkFor(const QIODevice& device) {
    return device.isSequential() ? ChunkSize : std::clamp<qint64>(device.size() + 1, 1, ChunkSize);
}

Status survey(QIODevice& device, Survey& result) {
    const qsizetype chunk = chunkFor(device);
    std::vector<char> buffer(static_cast<size_t>(chunk + 4));
    qsizetype carried = 0;
    qint64 total = 0;
    qsizetype breaks = 0;
    bool crPending = false;
    bool validUtf8 = true;
    bool quotes = false;
    char lastByte = 0;
    ByteClasses classes;
    QByteArray head;
    for (;;) {
        const qint64 count = device.read(buffer.data() + carried, chunk);
        if (count < 0)
            return Status::failure(QStringLiteral("读取文件时出错。"), device.errorString());
        if (count == 0)
            break;
        const char* fresh = buffer.data() + carried;
        if (head.size() < 4)
            head.append(fresh, std::min<qsizetype>(count, 4 - head.size()));
        total += count;
        // A file that grows while it is read is held to the same ceiling.
        if (total > LedgerLimits::MaxFileBytes)
            return fileTooLarge(total);
        if (std::memchr(fresh, '\0', static_cast<size_t>(count)))
            return Status::failure(QStringLiteral("其中含有非文字的内容，不是账目文件。"));
        breaks += countLineBreaks(fresh, count, crPending);
        quotes = quotes || std::memchr(fresh, '"', static_cast<size_t>(count));
        countByteClasses(fresh, count, classes);
        lastByte = fresh[count - 1];

        const qsizetype size = carried + count;
        carried = 0;
        if (validUtf8) {
            const qsizetype tail = unfinishedUtf8Tail(buffer.data(), size);
            validUtf8 = QByteArrayView(buffer.data(), size - tail).isValidUtf8();
            if (validUtf8 && tail > 0) {
                std::memmove(buffer.data(), buffer.data() + size - tail, static_cast<size_t>(tail));
                carried = tail;
            }
        }
    }
    if (crPending)
        ++breaks;
    if (carried > 0)
        validUtf8 = false; // the file ends inside a character

    if (head.startsWith(Utf8Bom)) {
        if (!validUtf8)
            return Status::failure(
                QStringLiteral("文件标明为 UTF-8 编码，但其中有无法识别的字节，可能已经损坏。"));
        result.encoding = Encoding::Utf8;
        result.bomSize = 3;
    } else if (head.startsWith(Gb18030Bom)) {
        result.encoding = Encoding::Gb18030;
        result.bomSize = 4;
    } else {
        result.encoding = validUtf8 ? Encoding::Utf8 : Encoding::Gb18030;
        result.bomSize = 0;
    }
    if (total <= result.bomSize)
        return Status::failure(QStringLiteral("文件是空的，没有任何账目内容。"));

    result.bytes = total;
    // Without quotes no line break can stand inside a cell, so the rows are known exactly: a
    // file of blank lines is refused here, before any memory is spent on its rows.
    result.rowsExact = !quotes;
    const bool endsWithBreak = lastByte == '\n' || lastByte == '\r';
    result.rowBound = breaks + (result.rowsExact && endsWithBreak ? 0 : 1);
    if (result.rowsExact && result.rowBound > LedgerLimits::MaxRows)
        return Status::failure(
            QStringLiteral("文件有 %1 行，超过了账目最多 %2 行（含标题行）的限制。")
                .arg(result.rowBound)
                .arg(LedgerLimits::MaxRows));
    // UTF-8: one character per sequence, two for a four-byte one. GB18030: one per ASCII byte,
    // and at most one per two other bytes in a text that decodes at all.
    const qint64 other = total - classes.ascii;
    result.characters = result.encoding == Encoding::Utf8
                            ? total - classes.continuation + classes.fourByteLeads
                            : classes.ascii + (other + 1) / 2;
    return Status();
}

// What loading the surveyed file takes: the rows (at most as many as the bound), their text,
// and the working memory.
qint64 memoryNeeded(const Survey& survey) {
    const qint64 rows = std::min<qint64>(survey.rowBound, LedgerLimits::MaxRows);
    return rows * qint64(sizeof(LedgerSheet::Row)) + survey.characters * qint64(sizeof(char16_t)) +
           WorkingMemory;
}

Status checkMemory(const Survey& survey, const MemoryProbe& probe) {
    const std::optional<qint64> available = probe ? probe() : std::nullopt;
    if (!available)
        return Status(); // the system cannot tell; the ceilings alone bound the load
    const qint64 needed = memoryNeeded(survey);
    if (needed <= *available)
        return Status();
    return Status::failure(
        QStringLiteral("打开这个文件大约需要 %1 MB 内存，而本机现在只有 %2 MB 可用。"
                       "请关闭其他程序后再试。")
            .arg(megabytes(needed), QString::number(*available >> 20)),
        QStringLiteral("需要 %1 字节，可用 %2 字节").arg(needed).arg(*available));
}

// ---------------------------------------------------------------------------------------------
// Second pass: fields of one row at a time, found in the bytes and then decoded straight into
// large blocks of text that the rows borrow.

struct Field {
    qsizetype begin = 0; // content, without the surrounding quotes
    qsizetype end = 0;
    bool escapedQuotes = false; // holds "" pairs that stand for one quote
    bool delimited = true;      // an ASCII byte (comma, quote, line break) follows the content
};

// The fields of one row that fall into the sheet's columns.
struct RowFields {
    std::array<Field, LedgerSheet::ColumnCount> field;
    int count = 0;
    bool textBeyond = false; // a field after the last column holds text

    void add(const Field& found) {
        if (count < LedgerSheet::ColumnCount)
            field[static_cast<size_t>(count++)] = found;
        else if (found.end > found.begin)
            textBeyond = true;
    }
};

enum class RowScan { Complete, NeedMore, NeedMoreInQuotes, UnfinishedQuote, TextAfterQuote };

// Reads one CSV row from data[pos, size). `last` says no bytes follow size.
RowScan scanRow(const char* data, qsizetype pos, qsizetype size, bool last, RowFields& fields,
                qsizetype& next) {
    fields = RowFields();
    qsizetype p = pos;
    for (;;) {
        Field field;
        if (p < size && data[p] == '"') {
            qsizetype q = p + 1;
            for (;;) {
                const void* quote = q < size ? std::memchr(data + q, '"', size - q) : nullptr;
                if (!quote)
                    return last ? RowScan::UnfinishedQuote : RowScan::NeedMoreInQuotes;
                const qsizetype k = static_cast<const char*>(quote) - data;
                if (k + 1 == size && !last)
                    return RowScan::NeedMoreInQuotes;
                if (k + 1 < size && data[k + 1] == '"') {
                    field.escapedQuotes = true;
                    q = k + 2;
                    continue;
                }
                field.begin = p + 1;
                field.end = k;
                p = k + 1;
                break;
            }
            if (p < size && data[p] != ',' && data[p] != '\r' && data[p] != '\n')
                return RowScan::TextAfterQuote;
        } else {
            qsizetype q = p;
            while (q < size && data[q] != ',' && data[q] != '\r' && data[q] != '\n')
                ++q;
            if (q == size && !last)
                return RowScan::NeedMore;
            field.begin = p;
            field.end = q;
            field.delimited = q < size;
            p = q;
        }
        fields.add(field);

        if (p == size) {
            next = p;
            return RowScan::Complete;
        }
        if (data[p] == ',') {
            ++p;
            continue;
        }
        if (data[p] == '\n') {
            next = p + 1;
            return RowScan::Complete;
        }
        // A CR, alone or followed by an LF.
        if (p + 1 == size && !last)
            return RowScan::NeedMore;
        next = (p + 1 < size && data[p + 1] == '\n') ? p + 2 : p + 1;
        return RowScan::Complete;
    }
}

// Large blocks of UTF-16 text, filled one row after another.
class TextBlocks {
public:
    // Room for `count` characters, valid until the next reserve().
    char16_t* reserve(qsizetype count) {
        m_reserved = count;
        m_ownBlock = count > BlockSize / 4;
        if (m_ownBlock) {
            // A long row gets a block of its own, so the current block is not cut short.
            m_blocks.emplace_back(new char16_t[static_cast<size_t>(count)]);
            return m_blocks.back().get();
        }
        if (count > m_room) {
            m_blocks.emplace_back(new char16_t[BlockSize]);
            m_free = m_blocks.back().get();
            m_room = BlockSize;
        }
        return m_free;
    }
    // The text just written at the reserved place stays: a row borrows it.
    void keep(qsizetype count) {
        Q_ASSERT(count <= m_reserved);
        if (!m_ownBlock) {
            m_free += count;
            m_room -= count;
        }
    }
    // The text just written at the reserved place is not needed (the row copied it).
    void drop() {
        if (m_ownBlock)
            m_blocks.pop_back();
        m_ownBlock = false;
    }

private:
    static constexpr qsizetype BlockSize = qsizetype(1) << 19;
    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    char16_t* m_free = nullptr;
    qsizetype m_room = 0;
    qsizetype m_reserved = 0;
    bool m_ownBlock = false;
};

// Decodes field bytes to UTF-16. Fields end at ASCII bytes (commas, quotes, line breaks),
// which never occur inside a UTF-8 or GB18030 character, so each field decodes on its own.
//
// The decoders give at most one UTF-16 character for each byte they are handed: UTF-8 and
// GB18030 take two to four bytes for a character outside ASCII (two characters for four bytes
// at most), and a byte that is no character becomes one replacement character. A field
// therefore takes at most its bytes plus one: the ASCII byte after it, which the GB18030
// decoder is handed along (see segment()).
class FieldDecoder {
public:
    explicit FieldDecoder(Encoding encoding)
        : m_encoding(encoding),
          m_decoder(encoding == Encoding::Utf8
                        ? QStringDecoder(QStringDecoder::Utf8,
                                         QStringDecoder::Flag::Stateless |
                                             QStringDecoder::Flag::ConvertInitialBom)
                        : QStringDecoder("GB18030", QStringDecoder::Flag::ConvertInitialBom)) {}

    bool isValid() const { return m_decoder.isValid(); }
    bool hasError() const { return m_error || m_decoder.hasError(); }

    // The most characters field() writes for the field.
    static qsizetype bound(const Field& field) { return field.end - field.begin + 1; }

    char16_t* field(const char* data, const Field& field, char16_t* out) {
        if (!field.escapedQuotes)
            return segment(data, field.begin, field.end, field.delimited, false, out);
        qsizetype from = field.begin;
        for (;;) {
            const auto* quote = static_cast<const char*>(
                std::memchr(data + from, '"', static_cast<size_t>(field.end - from)));
            if (!quote)
                return segment(data, from, field.end, true, false, out);
            const qsizetype at = quote - data;
            out = segment(data, from, at, true, true, out); // keeps one quote of the pair
            from = at + 2;
        }
    }

private:
    // Decodes data[begin, end); when `delimited`, data[end] is an ASCII byte that is decoded
    // along (and kept when `keepDelimiter`), which also shows whether the bytes before it
    // ended inside a character.
    char16_t* segment(const char* data, qsizetype begin, qsizetype end, bool delimited,
                      bool keepDelimiter, char16_t* out) {
        qsizetype p = begin;
        while (p < end && static_cast<unsigned char>(data[p]) < 0x80)
            *out++ = static_cast<char16_t>(data[p++]);
        if (p < end) {
            if (m_encoding == Encoding::Utf8) {
                out = toUtf16(
                    m_decoder.appendToBuffer(toQChar(out), QByteArrayView(data + p, end - p)));
            } else {
                // The GB18030 decoder holds back a cut-off character; the ASCII byte after the
                // field must come out as itself. A field at the very end of the file has none,
                // so a comma stands in for it: that is the one character beyond the field's
                // bytes that bound() counts.
                const QByteArrayView bytes = delimited ? QByteArrayView(data + p, end + 1 - p)
                                                       : QByteArrayView(data + p, end - p);
                char16_t* before = out;
                out = toUtf16(m_decoder.appendToBuffer(toQChar(out), bytes));
                const char expected = delimited ? data[end] : ',';
                if (!delimited)
                    out = toUtf16(m_decoder.appendToBuffer(toQChar(out), QByteArrayView(",", 1)));
                if (out == before || out[-1] != static_cast<char16_t>(expected)) {
                    m_error = true;
                    return out;
                }
                --out; // the delimiter is added below when it is wanted
            }
        }
        if (keepDelimiter)
            *out++ = static_cast<char16_t>(data[end]);
        return out;
    }

    static QChar* toQChar(char16_t* p) { return reinterpret_cast<QChar*>(p); }
    static char16_t* toUtf16(QChar* p) { return reinterpret_cast<char16_t*>(p); }

    Encoding m_encoding;
    QStringDecoder m_decoder;
    bool m_error = false;
};

Status rowTooLong(qsizetype row, bool inQuotes) {
    if (inQuotes)
        return Status::failure(
            QStringLiteral("第 %1 行的引号在 %2 字节之内没有结束：文件可能已经损坏，或者其中有"
                           "格子的文字超过了一个格子最多 %3 个字的限制。")
                .arg(row + 1)
                .arg(MaxRowBytes)
                .arg(LedgerLimits::MaxCellCharacters));
    return Status::failure(QStringLiteral("第 %1 行超过了 %2 字节，比八个格子各写满 %3 个字还要长，"
                                          "超过了账目一行的限制。")
                               .arg(row + 1)
                               .arg(MaxRowBytes)
                               .arg(LedgerLimits::MaxCellCharacters));
}

// The first cell of the row longer than a cell may be, as a refusal.
Status checkCellSizes(qsizetype row, const LedgerSheet::Row::Ends& ends) {
    std::uint32_t begin = 0;
    for (size_t column = 0; column < ends.size(); ++column) {
        const qsizetype size = ends[column] - begin;
        if (size > LedgerLimits::MaxCellCharacters)
            return Status::failure(
                QStringLiteral("第 %1 行第 %2 列有 %3 个字，超过了一个格子最多 %4 个字的限制。")
                    .arg(row + 1)
                    .arg(column + 1)
                    .arg(size)
                    .arg(LedgerLimits::MaxCellCharacters));
        begin = ends[column];
    }
    return Status();
}

Status parse(QIODevice& device, const Survey& survey, LedgerSheet& sheet) {
    FieldDecoder decoder(survey.encoding);
    if (!decoder.isValid())
        return Status::failure(QStringLiteral("文件是 GB18030 编码，但本机缺少这种编码的支持。"));
    if (!device.seek(survey.bomSize))
        return Status::failure(QStringLiteral("读取文件时出错。"), device.errorString());

    std::vector<LedgerSheet::Row> rows;
    rows.reserve(static_cast<size_t>(std::min(survey.rowBound, LedgerLimits::MaxRows)));
    auto text = std::make_shared<TextBlocks>();
    RowFields fields;

    // A small file is read whole into a buffer of its size (and one byte to spare).
    std::vector<char> buffer(static_cast<size_t>(chunkFor(device)));
    qsizetype pos = 0;
    qsizetype filled = 0;
    qint64 parsed = survey.bomSize;
    bool last = false;
    for (;;) {
        if (pos == filled && last)
            break;
        qsizetype next = 0;
        const RowScan scan = scanRow(buffer.data(), pos, filled, last, fields, next);
        const qsizetype row = static_cast<qsizetype>(rows.size());
        if (scan == RowScan::UnfinishedQuote)
            return Status::failure(rowMessage(u"第 %1 行的引号没有结束，文件可能不完整。", row));
        if (scan == RowScan::TextAfterQuote)
            return Status::failure(
                rowMessage(u"第 %1 行的引号后面紧跟着其他文字，不是有效的账目文件。", row));
        if (scan == RowScan::NeedMore || scan == RowScan::NeedMoreInQuotes) {
            // Keep the unfinished row, make room and read on, unless it is already longer
            // than any row of a ledger can be.
            const qsizetype kept = filled - pos;
            if (kept > MaxRowBytes)
                return rowTooLong(row, scan == RowScan::NeedMoreInQuotes);
            std::memmove(buffer.data(), buffer.data() + pos, static_cast<size_t>(kept));
            pos = 0;
            filled = kept;
            if (filled == static_cast<qsizetype>(buffer.size()))
                buffer.resize(static_cast<size_t>(ChunkSize)); // the file has grown
            const qint64 count =
                device.read(buffer.data() + filled, static_cast<qint64>(buffer.size()) - filled);
            if (count < 0)
                return Status::failure(QStringLiteral("读取文件时出错。"), device.errorString());
            // What was checked in the first pass must be what is read now.
            parsed += count;
            if (parsed > survey.bytes)
                return Status::failure(
                    QStringLiteral("文件在读取的过程中被改动了，请稍后再打开。"));
            filled += count;
            last = count == 0;
            continue;
        }

        if (fields.textBeyond)
            return Status::failure(
                rowMessage(u"第 %1 行在第八列之后还有内容，不是本程序的账目文件。", row));
        if (row == LedgerLimits::MaxRows)
            return Status::failure(
                QStringLiteral("文件的行数超过了账目最多 %1 行（含标题行）的限制。")
                    .arg(LedgerLimits::MaxRows));

        qsizetype bound = 0;
        for (int column = 0; column < fields.count; ++column)
            bound += FieldDecoder::bound(fields.field[static_cast<size_t>(column)]);
        char16_t* const start = text->reserve(bound);
        char16_t* out = start;
        LedgerSheet::Row::Ends ends{};
        for (int column = 0; column < LedgerSheet::ColumnCount; ++column) {
            if (column < fields.count)
                out = decoder.field(buffer.data(), fields.field[static_cast<size_t>(column)], out);
            Q_ASSERT(out - start <= bound);
            ends[static_cast<size_t>(column)] = static_cast<std::uint32_t>(out - start);
        }
        if (decoder.hasError())
            return Status::failure(QStringLiteral(
                "文件的文字编码无法识别（既不是 UTF-8，也不是 GB18030/GBK），不是账目文件。"));
        if (Status sized = checkCellSizes(row, ends); !sized)
            return sized;
        const qsizetype length = out - start;
        if (length == 0) {
            rows.emplace_back();
        } else {
            rows.emplace_back(QString::fromRawData(reinterpret_cast<const QChar*>(start), length),
                              ends);
            // A long row keeps a copy of its own; its text need not stay in the blocks.
            if (rows.back().cell(0).utf16() == start)
                text->keep(length);
            else
                text->drop();
        }
        pos = next;
    }
    if (parsed != survey.bytes)
        return Status::failure(QStringLiteral("文件在读取的过程中被改动了，请稍后再打开。"));

    // Line breaks inside remarks may have made the bound generous. The surplus is address
    // space the rows never touched, not memory, and copying the rows to give it back would
    // take memory twice over for a moment.
    sheet.replaceRows(std::move(rows), std::move(text));
    return Status();
}

// ---------------------------------------------------------------------------------------------
// Writing: rows encoded into a buffer that goes to the device a megabyte at a time.

bool needsQuotes(QStringView text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u',' || u == u'"' || u == u'\r' || u == u'\n')
            return true;
    }
    return false;
}

char* putUtf8(char* out, QStringView text, bool doubleQuotes) {
    const char16_t* p = text.utf16();
    const char16_t* const end = p + text.size();
    while (p < end) {
        const char32_t u = *p++;
        if (u < 0x80) {
            *out++ = static_cast<char>(u);
            if (doubleQuotes && u == u'"')
                *out++ = '"';
        } else if (u < 0x800) {
            *out++ = static_cast<char>(0xC0 | (u >> 6));
            *out++ = static_cast<char>(0x80 | (u & 0x3F));
        } else if (QChar::isHighSurrogate(u) && p < end && QChar::isLowSurrogate(*p)) {
            const char32_t code = QChar::surrogateToUcs4(static_cast<char16_t>(u), *p++);
            *out++ = static_cast<char>(0xF0 | (code >> 18));
            *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (code & 0x3F));
        } else {
            // A surrogate without its partner has no UTF-8 form; it becomes U+FFFD.
            const char32_t code = QChar::isSurrogate(u) ? 0xFFFD : u;
            *out++ = static_cast<char>(0xE0 | (code >> 12));
            *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

class Output {
public:
    explicit Output(QIODevice& device) : m_device(device), m_buffer(FlushSize * 2) {}

    char* room(qsizetype bytes) {
        if (m_used + bytes > static_cast<qsizetype>(m_buffer.size())) {
            flush();
            if (bytes > static_cast<qsizetype>(m_buffer.size()))
                m_buffer.resize(static_cast<size_t>(bytes));
        }
        return m_buffer.data() + m_used;
    }
    void advance(const char* to) {
        m_used = to - m_buffer.data();
        if (m_used >= FlushSize)
            flush();
    }
    void flush() {
        if (m_used > 0 && m_ok && m_device.write(m_buffer.data(), m_used) != m_used)
            m_ok = false;
        m_used = 0;
    }
    bool ok() const { return m_ok; }

private:
    static constexpr qsizetype FlushSize = qsizetype(1) << 20;
    QIODevice& m_device;
    std::vector<char> m_buffer;
    qsizetype m_used = 0;
    bool m_ok = true;
};

} // namespace

std::optional<qint64> availableMemory() {
    std::FILE* info = std::fopen("/proc/meminfo", "re");
    if (!info)
        return std::nullopt;
    std::optional<qint64> available;
    char line[256];
    long long kib = 0;
    while (std::fgets(line, sizeof line, info))
        if (std::sscanf(line, "MemAvailable: %lld kB", &kib) == 1) {
            available = qint64(kib) * 1024;
            break;
        }
    std::fclose(info);
    return available;
}

Status read(QIODevice& device, LedgerSheet& sheet, const MemoryProbe& memory) {
    // The size alone refuses a file far too large, before a byte of it is read.
    if (!device.isSequential() && device.size() > LedgerLimits::MaxFileBytes)
        return fileTooLarge(device.size());
    try {
        Survey found;
        if (!device.seek(0))
            return Status::failure(QStringLiteral("读取文件时出错。"), device.errorString());
        if (Status surveyed = survey(device, found); !surveyed)
            return surveyed;
        if (Status enough = checkMemory(found, memory); !enough)
            return enough;
        return parse(device, found, sheet);
    } catch (const std::bad_alloc&) {
        // Everything the load had taken is given back; the sheet is as it was.
        return Status::failure(
            QStringLiteral("本机的内存不够，无法打开这个文件。请关闭其他程序后再试。"));
    }
}

Status load(const QString& path, LedgerSheet& sheet, bool followLinks) {
    QFile file;
    if (Status opened = openForReading(file, path, followLinks); !opened)
        return opened;
    return read(file, sheet);
}

Status write(QIODevice& device, const LedgerSheet& sheet) {
    Output output(device);
    char* out = output.room(3);
    out = std::copy_n(Utf8Bom, 3, out);
    output.advance(out);
    for (const LedgerSheet::Row& row : sheet.rows()) {
        qsizetype bound = 2 + LedgerSheet::ColumnCount * 3;
        for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
            bound += row.cell(column).size() * 3;
        out = output.room(bound);
        for (int column = 0; column < LedgerSheet::ColumnCount; ++column) {
            if (column > 0)
                *out++ = ',';
            const QStringView cell = row.cell(column);
            if (needsQuotes(cell)) {
                *out++ = '"';
                out = putUtf8(out, cell, true);
                *out++ = '"';
            } else {
                out = putUtf8(out, cell, false);
            }
        }
        *out++ = '\r';
        *out++ = '\n';
        output.advance(out);
    }
    output.flush();
    if (!output.ok())
        return Status::failure(QStringLiteral("写入账目时出错，原文件保持不变。"),
                               device.errorString());
    return Status();
}

Status save(const QString& path, const LedgerSheet& sheet) {
    SafeFileWriter file(path);
    if (Status opened = file.open(); !opened)
        return opened;
    if (Status written = write(file.device(), sheet); !written) {
        // The device knows what the system said; that is the truer reason.
        const Status refused = file.writeFailure();
        file.discard();
        return refused.ok() ? written : refused;
    }
    return file.commit();
}

} // namespace vellumar::LedgerFile
