// libFuzzer target: any bytes either load as a ledger or are refused with a reason; what loads
// saves and loads back to the same cells, and a refusal leaves the sheet as it was.

#include "ledger/ledgerfile.h"
#include "ledger/ledgersheet.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

using namespace vellumar;

namespace {

bool sameCells(const LedgerSheet& a, const LedgerSheet& b) {
    if (a.rowCount() != b.rowCount())
        return false;
    for (int row = 0; row < a.rowCount(); ++row)
        for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
            if (a.cellView(row, column) != b.cellView(row, column))
                return false;
    return true;
}

Status readFrom(QByteArray bytes, LedgerSheet& sheet) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return LedgerFile::read(buffer, sheet);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    LedgerSheet sheet(2);
    sheet.setCell(1, LedgerSheet::Remark, QStringLiteral("原来的记录"));
    const Status status = readFrom(bytes, sheet);
    if (!status.ok()) {
        if (status.message().isEmpty() || sheet.rowCount() != 2 ||
            sheet.cellView(1, LedgerSheet::Remark) != u"原来的记录")
            std::abort();
        return 0;
    }
    QBuffer saved;
    saved.open(QIODevice::WriteOnly);
    if (!LedgerFile::write(saved, sheet).ok())
        std::abort();
    LedgerSheet again;
    if (!readFrom(saved.data(), again).ok() || !sameCells(sheet, again))
        std::abort();
    return 0;
}
