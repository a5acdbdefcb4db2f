#include "sharedstore/ledgercopy.h"

#include "ledger/ledgerlimits.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <QtEndian>

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace vellumar::LedgerCopy {

namespace {

constexpr char Signature[] = "PGCOPY\n\377\r\n";
constexpr qsizetype SignatureSize = 11; // with its final NUL byte
constexpr qsizetype HeaderSize = SignatureSize + 4 + 4;
constexpr qsizetype ChunkSize = qsizetype(1) << 20;
constexpr int CellCount = LedgerSheet::ColumnCount;
// The holder, the version, the row number and the cells.
constexpr qint16 WrittenFields = 3 + CellCount;
// The row number and the cells.
constexpr qint16 ReadFields = 1 + CellCount;
// UTF-8 takes at most three bytes for one UTF-16 character.
constexpr qsizetype MaxCellBytes = 3 * LedgerLimits::MaxCellCharacters;
// The most one row of the COPY data can take.
constexpr qsizetype MaxRowBytes = 2 + (4 + 4) + CellCount * (4 + MaxCellBytes);

QString cellName(qsizetype row, int column) {
    return QStringLiteral("第 %1 行“%2”一栏").arg(row + 1).arg(LedgerSheet::titles().at(column));
}

// UTF-16 characters that these UTF-8 bytes decode to: one per sequence, two for a sequence
// of four bytes.
qsizetype utf16Length(QByteArrayView bytes) {
    qsizetype length = 0;
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        length += (b & 0xC0) != 0x80;
        length += b >= 0xF0;
    }
    return length;
}

quint32 readU32(const char* at) {
    return qFromBigEndian<quint32>(at);
}

qint32 readI32(const char* at) {
    return qFromBigEndian<qint32>(at);
}

qint16 readI16(const char* at) {
    return qFromBigEndian<qint16>(at);
}

Status damaged(const QString& what) {
    return Status::failure(
        QStringLiteral("服务器送来的账目数据不完整或已损坏，没有读入。请稍后再试；一直如此时，"
                       "请让管理员检查数据库。"),
        what);
}

} // namespace

const char* const CellColumns = "serial, product, quantity, unit, unit_price, total, date, remark";

Status checkStorable(const LedgerSheet& sheet) {
    qint64 bytes = 0;
    const std::vector<LedgerSheet::Row>& rows = sheet.rows();
    for (size_t row = 0; row < rows.size(); ++row) {
        if (rows[row].isEmpty())
            continue;
        for (int column = 0; column < CellCount; ++column) {
            const QStringView cell = rows[row].cell(column);
            if (cell.contains(QChar(0)))
                return Status::failure(
                    QStringLiteral("%1含有一个空字符（代码 0），共享账本的服务器不能保存它。"
                                   "请删掉这个字符后再保存。")
                        .arg(cellName(static_cast<qsizetype>(row), column)));
            if (!cell.isValidUtf16())
                return Status::failure(
                    QStringLiteral("%1含有一个残缺的字符，共享账本的服务器不能保存它。"
                                   "请改正这一栏后再保存。")
                        .arg(cellName(static_cast<qsizetype>(row), column)));
            bytes += cell.size();
        }
    }
    if (sheet.rowCount() > LedgerLimits::MaxRows || bytes > LedgerLimits::MaxFileBytes)
        return Status::failure(QStringLiteral("账目超过了一个账本能容纳的大小（最多 %1 行、"
                                              "%2 MB 文字），没有保存。")
                                   .arg(LedgerLimits::MaxRows)
                                   .arg(LedgerLimits::MaxFileBytes >> 20));
    return Status();
}

Status write(std::optional<Stored> stored, const LedgerSheet& sheet,
             const std::function<Status(QByteArrayView)>& sink, const std::vector<int>* onlyRows) {
    QStringEncoder encoder(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
    QByteArray buffer;
    buffer.resize(ChunkSize);
    char* out = buffer.data();
    const auto room = [&] {
        return buffer.size() - (out - buffer.data());
    };
    const auto flush = [&]() -> Status {
        const Status sent = sink(QByteArrayView(buffer.constData(), out - buffer.constData()));
        out = buffer.data();
        return sent;
    };

    std::memcpy(out, Signature, SignatureSize);
    out += SignatureSize;
    qToBigEndian<qint32>(0, out);     // flags
    qToBigEndian<qint32>(0, out + 4); // no header extension
    out += 8;

    const std::vector<LedgerSheet::Row>& rows = sheet.rows();
    const size_t count = onlyRows ? onlyRows->size() : rows.size();
    for (size_t n = 0; n < count; ++n) {
        const size_t row = onlyRows ? static_cast<size_t>(onlyRows->at(n)) : n;
        if (row >= rows.size())
            continue;
        const LedgerSheet::Row& cells = rows[row];
        if (cells.isEmpty())
            continue;
        qsizetype needed = 2 + 2 * (4 + 8) + (4 + 4); // with room for the place either way
        for (int column = 0; column < CellCount; ++column)
            needed += 4 + encoder.requiredSpace(cells.cell(column).size());
        if (needed > room()) {
            if (Status sent = flush(); !sent)
                return sent;
            if (needed > buffer.size())
                buffer.resize(needed);
            out = buffer.data();
        }
        qToBigEndian<qint16>(stored ? WrittenFields : ReadFields, out);
        out += 2;
        if (stored) {
            for (const qint64 value : {stored->holderId, stored->layout}) {
                qToBigEndian<qint32>(8, out);
                qToBigEndian<qint64>(value, out + 4);
                out += 12;
            }
        }
        qToBigEndian<qint32>(4, out);
        qToBigEndian<qint32>(static_cast<qint32>(row), out + 4);
        out += 8;
        for (int column = 0; column < CellCount; ++column) {
            char* const start = out + 4;
            char* const end = encoder.appendToBuffer(start, cells.cell(column));
            qToBigEndian<qint32>(static_cast<qint32>(end - start), out);
            out = end;
        }
    }
    if (room() < 2)
        if (Status sent = flush(); !sent)
            return sent;
    qToBigEndian<qint16>(-1, out); // the end of the data
    out += 2;
    return flush();
}

std::vector<Fingerprint> fingerprints(const std::vector<LedgerSheet::Row>& rows) {
    // Picks the quickest implementation; safe to call again. It can fail only for want of a
    // random source, which the hash does not use.
    [[maybe_unused]] const int initialised = sodium_init();
    std::vector<Fingerprint> prints(rows.size());
    for (size_t row = 0; row < rows.size(); ++row) {
        if (rows[row].isEmpty())
            continue;
        crypto_generichash_state state;
        crypto_generichash_init(&state, nullptr, 0, Fingerprint().size());
        for (int column = 0; column < CellCount; ++column) {
            const QStringView cell = rows[row].cell(column);
            // The length too, so that cells cannot trade characters unseen.
            const quint32 length = qToLittleEndian(static_cast<quint32>(cell.size()));
            crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(&length),
                                      sizeof length);
            crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(cell.utf16()),
                                      static_cast<unsigned long long>(cell.size()) * 2);
        }
        crypto_generichash_final(&state, prints[row].data(), prints[row].size());
        // A row with text never shares the zero fingerprint with the rows without.
        if (prints[row] == Fingerprint())
            prints[row][0] = 1;
    }
    return prints;
}

// ----- reading --------------------------------------------------------------------------------

Result<Reader> Reader::start(qsizetype rowCount, const LedgerFile::MemoryProbe& memory) {
    if (rowCount < 0 || rowCount > LedgerLimits::MaxRows)
        return damaged(QStringLiteral("row count %1").arg(rowCount));
    const qint64 needed = static_cast<qint64>(rowCount) * qint64(sizeof(LedgerSheet::Row));
    if (const std::optional<qint64> free = memory ? memory() : std::nullopt; free && needed > *free)
        return Status::failure(
            QStringLiteral("账本有 %1 行，这台电脑现在没有足够的空闲内存来打开它。请关闭一些"
                           "程序后再试。")
                .arg(rowCount));
    try {
        return Reader(rowCount);
    } catch (const std::bad_alloc&) {
        return Status::failure(QStringLiteral("内存不足，账本没有打开。"));
    }
}

struct Reader::TextBlocks {
    static constexpr qsizetype BlockCharacters = qsizetype(1) << 20;
    std::vector<std::unique_ptr<char16_t[]>> blocks;
    char16_t* next = nullptr;
    qsizetype room = 0;

    // Room for that many characters that stays where it is.
    char16_t* place(qsizetype length) {
        if (length > room) {
            room = std::max(length, BlockCharacters);
            blocks.push_back(std::make_unique_for_overwrite<char16_t[]>(static_cast<size_t>(room)));
            next = blocks.back().get();
        }
        char16_t* const at = next;
        next += length;
        room -= length;
        return at;
    }
};

Reader::Reader(qsizetype rowCount)
    : m_rows(static_cast<size_t>(rowCount)), m_text(std::make_shared<TextBlocks>()),
      m_seen(static_cast<size_t>(rowCount)) {}

Status Reader::feed(QByteArrayView data) {
    if (m_done)
        return data.isEmpty() ? Status() : damaged(QStringLiteral("data after the end"));
    if (m_pending.isEmpty()) {
        const Result<qsizetype> used = parse(data);
        if (!used)
            return used.status();
        m_pending = data.sliced(*used).toByteArray();
    } else {
        // A row that comes in small pieces is looked at again only once the piece it waits
        // for can be there, so reading it stays linear in its size.
        m_pending.append(data);
        if (m_pending.size() >= m_needed) {
            const Result<qsizetype> used = parse(m_pending);
            if (!used)
                return used.status();
            m_pending.remove(0, *used);
        }
    }
    // Whatever waits for the rest of its row can never be more than one row.
    if (m_pending.size() > MaxRowBytes + HeaderSize)
        return damaged(QStringLiteral("row of more than %1 bytes").arg(MaxRowBytes));
    return Status();
}

Result<qsizetype> Reader::parse(QByteArrayView data) {
    qsizetype at = 0;
    const qsizetype size = data.size();
    const char* const bytes = data.data();
    m_needed = 0;
    if (!m_headerRead) {
        if (size < HeaderSize) {
            m_needed = HeaderSize;
            return qsizetype(0);
        }
        if (std::memcmp(bytes, Signature, SignatureSize) != 0)
            return damaged(QStringLiteral("no COPY signature"));
        const quint32 extension = readU32(bytes + SignatureSize + 4);
        if (extension != 0)
            return damaged(QStringLiteral("header extension of %1 bytes").arg(extension));
        at = HeaderSize;
        m_headerRead = true;
    }
    while (!m_done) {
        if (size - at < 2) {
            m_needed = 2;
            break;
        }
        const qint16 fields = readI16(bytes + at);
        if (fields == -1) {
            m_done = true;
            at += 2;
            if (at != size)
                return damaged(QStringLiteral("data after the end"));
            break;
        }
        if (fields != ReadFields)
            return damaged(QStringLiteral("%1 fields in a row").arg(fields));
        // The whole row must be there before any of it is taken.
        qsizetype end = at + 2;
        qsizetype cellAt[CellCount];
        qsizetype cellSize[CellCount];
        qint32 rowNumber = -1;
        bool complete = true;
        for (int field = 0; field < ReadFields; ++field) {
            if (size - end < 4) {
                m_needed = end + 4 - at;
                complete = false;
                break;
            }
            const qint32 length = readI32(bytes + end);
            end += 4;
            const qsizetype limit = field == 0 ? 4 : MaxCellBytes;
            if (length < 0 || length > limit || (field == 0 && length != 4))
                return damaged(QStringLiteral("field %1 of %2 bytes").arg(field).arg(length));
            if (size - end < length) {
                m_needed = end + length - at;
                complete = false;
                break;
            }
            if (field == 0) {
                rowNumber = readI32(bytes + end);
            } else {
                cellAt[field - 1] = end;
                cellSize[field - 1] = length;
            }
            end += length;
        }
        if (!complete)
            break;
        if (Status taken = takeRow(data, rowNumber, cellAt, cellSize); !taken)
            return taken;
        at = end;
    }
    return at;
}

Status Reader::takeRow(QByteArrayView data, int rowNumber, const qsizetype (&cellAt)[8],
                       const qsizetype (&cellSize)[8]) {
    if (rowNumber < 0 || rowNumber >= static_cast<qint64>(m_rows.size()))
        return damaged(QStringLiteral("row %1 of %2").arg(rowNumber).arg(m_rows.size()));
    if (m_seen[static_cast<size_t>(rowNumber)])
        return damaged(QStringLiteral("row %1 twice").arg(rowNumber));
    m_seen[static_cast<size_t>(rowNumber)] = true;
    qsizetype length = 0;
    qsizetype rowBytes = 0;
    for (int column = 0; column < CellCount; ++column) {
        const qsizetype cell = utf16Length(data.sliced(cellAt[column], cellSize[column]));
        if (cell > LedgerLimits::MaxCellCharacters)
            return damaged(QStringLiteral("cell of %1 characters").arg(cell));
        length += cell;
        rowBytes += cellSize[column];
    }
    m_bytes += rowBytes;
    if (m_bytes > LedgerLimits::MaxFileBytes)
        return damaged(
            QStringLiteral("more than %1 bytes of text").arg(LedgerLimits::MaxFileBytes));
    if (length == 0)
        return Status();

    // Decoded into a scratch buffer with room for whatever the bytes may give, so that text
    // that is not UTF-8 is refused without ever writing past the buffer.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                     QStringConverter::Flag::Stateless);
    qsizetype room = 0;
    for (int column = 0; column < CellCount; ++column)
        room += decoder.requiredSpace(cellSize[column]);
    if (m_scratch.size() < room)
        m_scratch.resize(room);
    QChar* const start = m_scratch.data();
    QChar* out = start;
    LedgerSheet::Row::Ends ends{};
    for (int column = 0; column < CellCount; ++column) {
        out = decoder.appendToBuffer(out, data.sliced(cellAt[column], cellSize[column]));
        ends[static_cast<size_t>(column)] = static_cast<std::uint32_t>(out - start);
    }
    if (decoder.hasError() || out - start != length)
        return damaged(QStringLiteral("text that is not UTF-8"));
    char16_t* const kept = m_text->place(length);
    std::memcpy(kept, start, static_cast<size_t>(length) * sizeof(char16_t));
    m_rows[static_cast<size_t>(rowNumber)] =
        LedgerSheet::Row(QString::fromRawData(reinterpret_cast<const QChar*>(kept), length), ends);
    return Status();
}

Result<Reader::Rows> Reader::finish() {
    if (!m_done || !m_pending.isEmpty())
        return damaged(QStringLiteral("the data ended early"));
    return Rows{std::move(m_rows), std::move(m_text)};
}

} // namespace vellumar::LedgerCopy
