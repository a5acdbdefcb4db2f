#include "safety/journalfile.h"

#include "ledger/ledgerlimits.h"
#include "storage/usernames.h"

#include <QIODevice>
#include <QtEndian>

#include <array>

namespace vellumar::JournalFile {

namespace {

constexpr char Mark[] = "VELLJRN1";
constexpr qsizetype MarkSize = 8;
constexpr qsizetype FrameSize = 8; // length and CRC-32
constexpr quint8 LastKind = static_cast<quint8>(LedgerChange::Kind::Redo);

std::array<quint32, 256> makeCrcTable() {
    std::array<quint32, 256> table{};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

class Writer {
public:
    void byte(quint8 value) { m_bytes.append(static_cast<char>(value)); }
    void number(qint64 value) {
        char bytes[8];
        qToLittleEndian(value, bytes);
        m_bytes.append(bytes, 8);
    }
    void text(const QString& value) {
        const QByteArray utf8 = value.toUtf8();
        number32(static_cast<quint32>(utf8.size()));
        m_bytes.append(utf8);
    }
    void number32(quint32 value) {
        char bytes[4];
        qToLittleEndian(value, bytes);
        m_bytes.append(bytes, 4);
    }
    // The bytes with their frame in front.
    QByteArray framed() const {
        QByteArray out;
        out.reserve(FrameSize + m_bytes.size());
        char frame[FrameSize];
        qToLittleEndian(static_cast<quint32>(m_bytes.size()), frame);
        qToLittleEndian(crc32(m_bytes.constData(), m_bytes.size()), frame + 4);
        out.append(frame, FrameSize);
        out.append(m_bytes);
        return out;
    }

private:
    QByteArray m_bytes;
};

// Reads what a Writer wrote, never past the end: a payload that ends early is damaged.
class Reader {
public:
    explicit Reader(const QByteArray& bytes) : m_bytes(bytes) {}

    bool byte(quint8& value) {
        if (left() < 1)
            return false;
        value = static_cast<quint8>(m_bytes[m_at++]);
        return true;
    }
    bool number(qint64& value) {
        if (left() < 8)
            return false;
        value = qFromLittleEndian<qint64>(m_bytes.constData() + m_at);
        m_at += 8;
        return true;
    }
    bool text(QString& value, qsizetype maxCharacters) {
        if (left() < 4)
            return false;
        const quint32 size = qFromLittleEndian<quint32>(m_bytes.constData() + m_at);
        m_at += 4;
        // A cell's text takes at most three UTF-8 bytes a character.
        if (size > static_cast<quint64>(left()) || size > quint64(maxCharacters) * 3)
            return false;
        const QByteArrayView utf8(m_bytes.constData() + m_at, size);
        if (!utf8.isValidUtf8())
            return false;
        value = QString::fromUtf8(utf8);
        m_at += size;
        return value.size() <= maxCharacters;
    }
    bool atEnd() const { return left() == 0; }

private:
    qsizetype left() const { return m_bytes.size() - m_at; }
    const QByteArray& m_bytes;
    qsizetype m_at = 0;
};

Status damaged(int entry, const QString& what) {
    return Status::failure(QStringLiteral("修改记录的第 %1 项%2").arg(entry).arg(what));
}

bool readInt(Reader& reader, int& value) {
    qint64 wide = 0;
    if (!reader.number(wide) || wide < 0 || wide > LedgerLimits::MaxRows)
        return false;
    value = static_cast<int>(wide);
    return true;
}

bool decodeChange(const QByteArray& payload, LedgerChange& change) {
    Reader reader(payload);
    quint8 kind = 0;
    if (!reader.byte(kind) || kind < 1 || kind > LastKind)
        return false;
    change.kind = static_cast<LedgerChange::Kind>(kind);
    const qsizetype cell = LedgerLimits::MaxCellCharacters;
    RecordFields& f = change.fields;
    if (!readInt(reader, change.row) || !readInt(reader, change.count) ||
        !reader.text(f.product, cell) || !reader.text(f.quantity, cell) ||
        !reader.text(f.unit, cell) || !reader.text(f.unitPrice, cell) ||
        !reader.text(f.total, cell) || !reader.text(f.remark, cell) ||
        !reader.text(change.date, cell) || !reader.text(change.snapshot, 255))
        return false;
    // A snapshot is a file beside the journal, never a path that leads elsewhere.
    if (!change.snapshot.isEmpty() && !isSafeUserName(change.snapshot))
        return false;
    return reader.atEnd();
}

bool decodeHeader(const QByteArray& payload, FileIdentity& base) {
    Reader reader(payload);
    quint8 exists = 0;
    if (!reader.byte(exists) || exists > 1)
        return false;
    base.exists = exists == 1;
    return reader.number(base.device) && reader.number(base.inode) && reader.number(base.size) &&
           reader.number(base.modifiedNs) && reader.atEnd();
}

enum class Frame { Whole, End, Cut, Damaged };

// One framed payload; End when the device has nothing more.
Frame readFrame(QIODevice& device, QByteArray& payload, qint64& left) {
    char frame[FrameSize];
    const qint64 got = device.read(frame, FrameSize);
    if (got == 0)
        return Frame::End;
    if (got < FrameSize)
        return Frame::Cut;
    left -= FrameSize;
    const quint32 size = qFromLittleEndian<quint32>(frame);
    const quint32 crc = qFromLittleEndian<quint32>(frame + 4);
    // The length is believed only as far as the file goes, before anything is allocated.
    if (size > quint32(MaxEntryBytes))
        return Frame::Damaged;
    if (qint64(size) > left)
        return Frame::Cut;
    payload.resize(size);
    if (device.read(payload.data(), size) != qint64(size))
        return Frame::Cut;
    left -= size;
    return crc32(payload.constData(), payload.size()) == crc ? Frame::Whole : Frame::Damaged;
}

} // namespace

quint32 crc32(const char* data, qsizetype size) {
    static const std::array<quint32, 256> table = makeCrcTable();
    quint32 c = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i)
        c = table[(c ^ static_cast<quint8>(data[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

QByteArray header(const FileIdentity& base) {
    Writer writer;
    writer.byte(base.exists ? 1 : 0);
    writer.number(base.device);
    writer.number(base.inode);
    writer.number(base.size);
    writer.number(base.modifiedNs);
    return QByteArray(Mark, MarkSize) + writer.framed();
}

QByteArray entry(const LedgerChange& change) {
    Writer writer;
    writer.byte(static_cast<quint8>(change.kind));
    writer.number(change.row);
    writer.number(change.count);
    for (const QString* text : {&change.fields.product, &change.fields.quantity,
                                &change.fields.unit, &change.fields.unitPrice, &change.fields.total,
                                &change.fields.remark, &change.date, &change.snapshot})
        writer.text(*text);
    return writer.framed();
}

Result<Contents> read(QIODevice& device) {
    const QString notAJournal = QStringLiteral("这不是本程序的修改记录，或者它的开头已经损坏。");
    qint64 left = device.isSequential() ? MaxJournalBytes : device.size() - device.pos();
    if (left > MaxJournalBytes)
        return Status::failure(
            QStringLiteral("修改记录太大（超过 %1 MB），没有读取。").arg(MaxJournalBytes >> 20));
    char mark[MarkSize];
    if (device.read(mark, MarkSize) != MarkSize || QByteArrayView(mark, MarkSize) != Mark)
        return Status::failure(notAJournal);
    left -= MarkSize;
    Contents contents;
    QByteArray payload;
    if (readFrame(device, payload, left) != Frame::Whole || !decodeHeader(payload, contents.base))
        return Status::failure(notAJournal);
    for (;;) {
        const int number = static_cast<int>(contents.changes.size()) + 1;
        const Frame frame = readFrame(device, payload, left);
        if (frame == Frame::End)
            break;
        if (frame == Frame::Cut) {
            contents.damage =
                damaged(number, QStringLiteral("没有写完（也许程序正写着它时被中断了）。"));
            break;
        }
        LedgerChange change;
        if (frame == Frame::Damaged || !decodeChange(payload, change)) {
            contents.damage = damaged(number, QStringLiteral("已经损坏。"));
            break;
        }
        contents.changes.append(std::move(change));
    }
    return contents;
}

} // namespace vellumar::JournalFile
