#pragma once

#include <QtGlobal>

namespace vellumar::LedgerLimits {

// The ceilings of a ledger. A file beyond them is refused by name before memory is spent on
// it, and the program itself never makes a ledger it could not read back: the record dialogs
// take no longer text, and no record is added past the last row.

// What one cell of a spreadsheet holds (Excel's own limit), far beyond any remark.
constexpr qsizetype MaxCellCharacters = 32767;

// Rows of one ledger, title row included: five times the largest ledger the program is
// measured with.
constexpr qsizetype MaxRows = 5'000'000;

// Bytes of one ledger file.
constexpr qint64 MaxFileBytes = qint64(512) << 20;

} // namespace vellumar::LedgerLimits
