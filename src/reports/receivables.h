#pragma once

#include "books/booksstore.h"
#include "host/conversions.h"
#include "ledger/ledgersheet.h"
#include "storage/datapaths.h"
#include "storage/status.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vellumar {

// Reads one holder's ledger into the sheet, titles placed, as the ledger window would show it.
// Answers false when the holder has no ledger yet. It is called from several threads at once,
// each with a sheet of its own.
using LedgerReader = std::function<Result<bool>(const QString& holder, LedgerSheet& sheet)>;

// The ledgers in the data folder, read by the rules the ledger window reads them by (a name
// that is no file name, a link or a folder is refused; a file the reader refuses is unreadable).
LedgerReader localLedgerReader(const DataPaths& paths);

// The ledgers as one reader of the books reads them (shared books: one consistent state of
// the server's). The calls take turns on the reader, whichever thread they come from.
LedgerReader booksLedgerReader(std::shared_ptr<BooksReader> reader);

// What the overview shows of one holder.
struct HolderSummary {
    QString holder;
    Status status;          // a ledger that cannot be read says why here
    bool hasLedger = false; // false: nothing saved yet, so nothing owed
    qint64 records = 0;
    DecimalNumber total; // column 5 summed as "计算" sums it
    // The earliest and the latest record date that can be read; invalid when there is none.
    QDateTime first;
    QDateTime last;
    qint64 undated = 0; // records whose date cannot be read

    bool readable() const { return status.ok(); }
};

// The figures of one ledger.
HolderSummary summarise(const QString& holder, const LedgerSheet& sheet);

struct ReceivablesOverview {
    std::vector<HolderSummary> holders; // in the order given
    DecimalNumber grandTotal;           // over the ledgers that could be read
    qint64 records = 0;
    int unreadable = 0;
};

// Called now and then with how many ledgers are done; false stops the work.
using OverviewProgress = std::function<bool(int done, int total)>;

// Reads every holder's ledger, on as many threads as given (0: one per core), and sums each.
// Nothing when the progress callback stopped it.
std::optional<ReceivablesOverview> computeOverview(const QStringList& holders,
                                                   const LedgerReader& reader,
                                                   const OverviewProgress& progress = {},
                                                   int threads = 0);

} // namespace vellumar
