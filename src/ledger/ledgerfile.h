#pragma once

#include "ledger/ledgersheet.h"
#include "storage/status.h"

#include <QString>

#include <functional>
#include <optional>

class QIODevice;

namespace vellumar {

// Ledger files are CSV that spreadsheet programs open as they are: UTF-8 with a byte-order
// mark, CRLF line ends, fields quoted where they hold commas, quotes or line breaks, and
// every row of the sheet (titles and free rows included), so a saved ledger loads back to
// the same cells and the same number of rows.
//
// Reading also takes files without the mark and files in GB18030/GBK, which Chinese
// spreadsheet programs write. Nothing is dropped silently: short rows are padded, and a file
// with text beyond the eighth column is refused rather than cut. Reading never changes the
// sheet unless the whole file was read.
//
// A file beyond the ceilings of a ledger (LedgerLimits: its size, its rows, the characters of
// one cell) is refused with a sentence that says which, and so is one that would need more
// memory than the system has free; the refusal comes before memory is spent on what is too
// large, and a failed allocation is a refusal too, never an abort. What a load holds is the
// text as UTF-16 (two bytes a character, so about two thirds of a Chinese file's size) and
// some 40 bytes a row, plus a few megabytes while it reads.
namespace LedgerFile {

// How many bytes of memory the system can still give; nothing when it cannot tell.
using MemoryProbe = std::function<std::optional<qint64>()>;
// MemAvailable of /proc/meminfo.
std::optional<qint64> availableMemory();

// When the probe cannot tell, the ceilings alone bound what a load takes.
Status read(QIODevice& device, LedgerSheet& sheet, const MemoryProbe& memory = availableMemory);
// With followLinks false a symbolic link is refused rather than read through: the ledgers in
// the data folder are read only from regular files of their own.
Status load(const QString& path, LedgerSheet& sheet, bool followLinks = true);

Status write(QIODevice& device, const LedgerSheet& sheet);
// Crash-safe (SafeFileWriter): the old file stays whole until the new one is complete, and a
// symbolic link or anything else that is not a regular file is never written through.
Status save(const QString& path, const LedgerSheet& sheet);

} // namespace LedgerFile

} // namespace vellumar
