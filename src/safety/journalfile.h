#pragma once

#include "ledger/ledgerchange.h"
#include "safety/fileidentity.h"
#include "storage/status.h"

#include <QByteArray>
#include <QList>

class QIODevice;

namespace vellumar::JournalFile {

// The recovery journal of one open ledger, as bytes. A journal starts with a mark and a header
// that names the ledger file its changes apply to (FileIdentity), then holds one entry per
// change. The header and every entry are framed alike: the length of what follows, its CRC-32
// and then the bytes themselves (numbers little-endian, texts UTF-8 after their length), so a
// change cut off by a crash or damaged later is found out and everything before it still
// counts.

// The most bytes one entry may have: six cells of a full ledger cell each, and room to spare.
constexpr qsizetype MaxEntryBytes = qsizetype(1) << 20;
// The largest journal that is read; beyond it the file is refused before it is read.
constexpr qint64 MaxJournalBytes = qint64(512) << 20;

QByteArray header(const FileIdentity& base);
QByteArray entry(const LedgerChange& change);

struct Contents {
    FileIdentity base;
    QList<LedgerChange> changes;
    // Ok when the journal ended with a whole entry; otherwise what was wrong with the first
    // entry that could not be read (everything before it is in changes).
    Status damage;
};

// Fails only when not even the header can be read (then nothing can be recovered); a damaged
// entry ends the changes and is told in damage.
Result<Contents> read(QIODevice& device);

// CRC-32 (IEEE 802.3), as zlib and PNG compute it.
quint32 crc32(const char* data, qsizetype size);

} // namespace vellumar::JournalFile
