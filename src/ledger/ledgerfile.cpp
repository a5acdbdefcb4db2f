#include "ledger/ledgerfile.h"

#include "storage/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <memory>

namespace vellumar::LedgerFile {

namespace {

constexpr qsizetype ChunkSize = qsizetype(1) << 20;
// More rows than any shop keeps; a file claiming more is refused before memory is spent on it.
constexpr qsizetype MaxRows = 50'000'000;
constexpr qsizetype MaxRowChars = qsizetype(1) << 30;
constexpr char Utf8Bom[] = "\xEF\xBB\xBF";
constexpr char Gb18030Bom[] = "\x84\x31\x95\x33";

enum class Encoding { Utf8, Gb18030 };

QString rowMessage(const char16_t* pattern, qsizetype row) {
    return QString::fromUtf16(pattern).arg(row + 1);
}

// ---------------------------------------------------------------------------------------------
// First pass: the encoding, the byte-order mark and an upper bound of the row count, read in
// chunks so that only the sheet itself takes memory in proportion to the file.

struct Survey {
    Encoding encoding = Encoding::Utf8;
    qsizetype bomSize = 0;
    qsizetype rowBound = 0;
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

Status survey(QIODevice& device, Survey& result) {
    std::vector<char> buffer(static_cast<size_t>(ChunkSize + 4));
    qsizetype carried = 0;
    qsizetype total = 0;
    qsizetype breaks = 0;
    bool crPending = false;
    bool validUtf8 = true;
    QByteArray head;
    for (;;) {
        const qint64 count = device.read(buffer.data() + carried, ChunkSize);
        if (count < 0)
            return Status::failure(QStringLiteral("读取文件时出错。"));
        if (count == 0)
            break;
        const char* fresh = buffer.data() + carried;
        if (head.size() < 4)
            head.append(fresh, std::min<qsizetype>(count, 4 - head.size()));
        total += count;
        if (std::memchr(fresh, '\0', static_cast<size_t>(count)))
            return Status::failure(QStringLiteral("其中含有非文字的内容，不是账目文件。"));
        breaks += countLineBreaks(fresh, count, crPending);

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
    if (breaks >= MaxRows)
        return Status::failure(QStringLiteral("文件的行数太多，无法作为账目打开。"));
    result.rowBound = breaks + 1;
    return Status();
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

enum class RowScan { Complete, NeedMore, UnfinishedQuote, TextAfterQuote };

// Reads one CSV row from data[pos, size). `last` says no bytes follow size.
RowScan scanRow(const char* data, qsizetype pos, qsizetype size, bool last,
                std::vector<Field>& fields, qsizetype& next) {
    fields.clear();
    qsizetype p = pos;
    for (;;) {
        Field field;
        if (p < size && data[p] == '"') {
            qsizetype q = p + 1;
            for (;;) {
                const void* quote = q < size ? std::memchr(data + q, '"', size - q) : nullptr;
                if (!quote)
                    return last ? RowScan::UnfinishedQuote : RowScan::NeedMore;
                const qsizetype k = static_cast<const char*>(quote) - data;
                if (k + 1 == size && !last)
                    return RowScan::NeedMore;
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
        fields.push_back(field);

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
    char16_t* reserve(qsizetype count) {
        if (count > BlockSize / 4) {
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
    // Marks the text just written at the reserved place as taken.
    void commit(const char16_t* start, qsizetype count) {
        if (start == m_free) {
            m_free += count;
            m_room -= count;
        }
    }

private:
    static constexpr qsizetype BlockSize = qsizetype(1) << 19;
    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    char16_t* m_free = nullptr;
    qsizetype m_room = 0;
};

// Decodes field bytes to UTF-16. Fields end at ASCII bytes (commas, quotes, line breaks),
// which never occur inside a UTF-8 or GB18030 character, so each field decodes on its own.
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
                // field must come out as itself.
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

Status parse(QIODevice& device, const Survey& survey, LedgerSheet& sheet) {
    FieldDecoder decoder(survey.encoding);
    if (!decoder.isValid())
        return Status::failure(QStringLiteral("文件是 GB18030 编码，但本机缺少这种编码的支持。"));
    if (!device.seek(survey.bomSize))
        return Status::failure(QStringLiteral("读取文件时出错。"));

    std::vector<LedgerSheet::Row> rows;
    rows.reserve(static_cast<size_t>(survey.rowBound));
    auto text = std::make_shared<TextBlocks>();
    std::vector<Field> fields;
    fields.reserve(LedgerSheet::ColumnCount + 1);

    std::vector<char> buffer(static_cast<size_t>(ChunkSize));
    qsizetype pos = 0;
    qsizetype filled = 0;
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
        if (scan == RowScan::NeedMore) {
            // Keep the unfinished row, make room and read on.
            const qsizetype kept = filled - pos;
            std::memmove(buffer.data(), buffer.data() + pos, static_cast<size_t>(kept));
            pos = 0;
            filled = kept;
            if (filled == static_cast<qsizetype>(buffer.size()))
                buffer.resize(buffer.size() * 2);
            const qint64 count =
                device.read(buffer.data() + filled, static_cast<qint64>(buffer.size()) - filled);
            if (count < 0)
                return Status::failure(QStringLiteral("读取文件时出错。"));
            filled += count;
            last = count == 0;
            continue;
        }

        for (size_t extra = LedgerSheet::ColumnCount; extra < fields.size(); ++extra)
            if (fields[extra].end > fields[extra].begin)
                return Status::failure(
                    rowMessage(u"第 %1 行在第八列之后还有内容，不是本程序的账目文件。", row));
        const qsizetype bytes = next - pos;
        if (bytes > MaxRowChars)
            return Status::failure(rowMessage(u"第 %1 行太长，无法作为账目打开。", row));

        char16_t* const start = text->reserve(bytes);
        char16_t* out = start;
        LedgerSheet::Row::Ends ends{};
        const size_t used = std::min<size_t>(fields.size(), LedgerSheet::ColumnCount);
        for (size_t column = 0; column < LedgerSheet::ColumnCount; ++column) {
            if (column < used)
                out = decoder.field(buffer.data(), fields[column], out);
            ends[column] = static_cast<std::uint32_t>(out - start);
        }
        if (decoder.hasError())
            return Status::failure(QStringLiteral(
                "文件的文字编码无法识别（既不是 UTF-8，也不是 GB18030/GBK），不是账目文件。"));
        const qsizetype length = out - start;
        if (length == 0) {
            rows.emplace_back();
        } else {
            text->commit(start, length);
            rows.emplace_back(QString::fromRawData(reinterpret_cast<const QChar*>(start), length),
                              ends);
        }
        pos = next;
    }

    // Line breaks inside remarks made the bound generous; give back a large surplus.
    if (rows.capacity() > rows.size() + rows.size() / 4 + 1024)
        rows.shrink_to_fit();
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

Status read(QIODevice& device, LedgerSheet& sheet) {
    Survey found;
    if (!device.seek(0))
        return Status::failure(QStringLiteral("读取文件时出错。"));
    if (Status surveyed = survey(device, found); !surveyed)
        return surveyed;
    return parse(device, found, sheet);
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
