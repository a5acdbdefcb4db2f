// libFuzzer target: whatever a server may send as a ledger's COPY data is read or refused, the
// same whether it comes whole or in pieces, and never read past; what is read writes back and
// reads again to the same rows. The first four bytes of an input are the row count the
// holder's record would give.

#include "sharedstore/ledgercopy.h"

#include <QtEndian>

#include <cstdint>
#include <cstdlib>

using namespace vellumar;

namespace {

// Row counts beyond this only cost the fuzzer time; the reader's own ceiling is tested apart.
constexpr quint32 MostRows = 100000;

Result<LedgerCopy::Reader::Rows> read(QByteArrayView data, qsizetype rows, qsizetype piece) {
    Result<LedgerCopy::Reader> reader =
        LedgerCopy::Reader::start(rows, [] { return std::optional<qint64>(); });
    if (!reader)
        return reader.status();
    for (qsizetype at = 0; at < data.size(); at += piece)
        if (Status fed = reader->feed(data.sliced(at, std::min(piece, data.size() - at))); !fed)
            return fed;
    return reader->finish();
}

bool sameRows(const std::vector<LedgerSheet::Row>& a, const std::vector<LedgerSheet::Row>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t row = 0; row < a.size(); ++row)
        for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
            if (a[row].cell(column) != b[row].cell(column))
                return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    const qsizetype rows = qFromBigEndian<quint32>(data) % (MostRows + 1);
    const QByteArrayView copy(reinterpret_cast<const char*>(data) + 4,
                              static_cast<qsizetype>(size) - 4);
    const Result<LedgerCopy::Reader::Rows> whole =
        read(copy, rows, std::max<qsizetype>(copy.size(), 1));
    const Result<LedgerCopy::Reader::Rows> pieces = read(copy, rows, 1 + size % 61);
    if (whole.ok() != pieces.ok())
        std::abort();
    if (!whole.ok()) {
        if (whole.status().message().isEmpty())
            std::abort();
        return 0;
    }
    if (!sameRows(whole->rows, pieces->rows))
        std::abort();
    LedgerSheet sheet(0);
    sheet.replaceRows(whole->rows, whole->text);
    QByteArray written;
    if (!LedgerCopy::write(std::nullopt, sheet, [&](QByteArrayView piece) {
             written.append(piece);
             return Status();
         }).ok())
        std::abort();
    const Result<LedgerCopy::Reader::Rows> again = read(written, rows, written.size());
    if (!again.ok() || !sameRows(whole->rows, again->rows))
        std::abort();
    return 0;
}
