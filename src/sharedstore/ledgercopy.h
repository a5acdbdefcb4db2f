#pragma once

#include "ledger/ledgerfile.h"
#include "ledger/ledgersheet.h"
#include "storage/status.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vellumar {

// A ledger travels to and from the server in COPY's binary format: a row of the table of
// ledger rows per sheet row that holds any text, each cell as its UTF-8 bytes with their
// length in front, so no cell text ever needs escaping. Rows without any text are left out;
// the row count kept with the holder brings them back, so a ledger loads back to the same
// cells and the same number of rows.
namespace LedgerCopy {

// The columns in the order the COPY sends them, after the holder and the row number.
extern const char* const CellColumns;

// Whether the server can keep every cell exactly as it is: PostgreSQL's text holds no NUL
// character, and a broken surrogate pair has no UTF-8 form. Also refused: a ledger whose text
// is beyond what a ledger may hold, so that every ledger the server keeps loads back.
Status checkStorable(const LedgerSheet& sheet);

// Where written rows belong: a holder's ledger in one layout (the version whose save wrote
// the ledger whole).
struct Stored {
    qint64 holderId = 0;
    qint64 layout = 0;
};

// Writes the rows for COPY ledger_rows (holder_id, layout, row_number, cells…) FROM STDIN
// (FORMAT binary), a megabyte at a time: every row with text, or only the rows listed.
// Without a place, the rows are written as the server sends them back (row_number, cells…),
// which is what Reader reads.
Status write(std::optional<Stored> stored, const LedgerSheet& sheet,
             const std::function<Status(QByteArrayView)>& sink,
             const std::vector<int>* onlyRows = nullptr);

// What a row holds, in 16 bytes (BLAKE2b of its cells): rows with the same fingerprint hold
// the same cells. A row without text has the zero fingerprint.
using Fingerprint = std::array<std::uint8_t, 16>;
std::vector<Fingerprint> fingerprints(const std::vector<LedgerSheet::Row>& rows);

// Reads what COPY (SELECT row_number, cells…) TO STDOUT (FORMAT binary) sends, in pieces of
// any size and its rows in any order (sorting a million rows would cost the server more than
// reading them). Nothing the server sends is trusted: every length is checked against what is
// there and what a cell may hold, every row number against the row count, and no row may come
// twice.
class Reader {
public:
    // rowCount comes from the holder's record and has been checked against the ceiling.
    static Result<Reader>
    start(qsizetype rowCount, const LedgerFile::MemoryProbe& memory = LedgerFile::availableMemory);

    Status feed(QByteArrayView data);

    // The rows read, and the memory their text lives in: it must be kept as long as the rows
    // (LedgerSheet::replaceRows keeps it).
    struct Rows {
        std::vector<LedgerSheet::Row> rows;
        LedgerSheet::BorrowedText text;
    };
    // The sheet's rows, once the end of the data has come.
    Result<Rows> finish();

private:
    explicit Reader(qsizetype rowCount);
    // Reads the header and whole rows from the data; answers how many bytes it used.
    Result<qsizetype> parse(QByteArrayView data);
    Status takeRow(QByteArrayView row, int rowNumber, const qsizetype (&cellAt)[8],
                   const qsizetype (&cellSize)[8]);

    std::vector<LedgerSheet::Row> m_rows;
    QByteArray m_pending;
    // The bytes m_pending must have before another look can take a step.
    qsizetype m_needed = 0;
    QString m_scratch;
    // The rows' text, in large blocks rather than one allocation a row.
    struct TextBlocks;
    std::shared_ptr<TextBlocks> m_text;
    bool m_headerRead = false;
    bool m_done = false;
    std::vector<bool> m_seen;
    qint64 m_bytes = 0;
};

} // namespace LedgerCopy

} // namespace vellumar
