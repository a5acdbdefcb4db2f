// libFuzzer target: any bytes are either refused as a journal (no header) or read as the changes
// they hold up to the first one that is damaged; what was read writes back to bytes that read
// the same again.

#include "safety/journalfile.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

using namespace vellumar;

namespace {

Result<JournalFile::Contents> readFrom(QByteArray bytes) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return JournalFile::read(buffer);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const Result<JournalFile::Contents> read = readFrom(bytes);
    if (!read.ok()) {
        if (read.status().message().isEmpty())
            std::abort();
        return 0;
    }
    if (!read->damage.ok() && read->damage.message().isEmpty())
        std::abort();
    QByteArray again = JournalFile::header(read->base);
    for (const LedgerChange& change : read->changes)
        again += JournalFile::entry(change);
    // What was read whole is a prefix of the input, byte for byte.
    if (!bytes.startsWith(again))
        std::abort();
    const Result<JournalFile::Contents> reread = readFrom(again);
    if (!reread.ok() || !reread->damage.ok() || reread->changes != read->changes ||
        !(reread->base == read->base))
        std::abort();
    return 0;
}
