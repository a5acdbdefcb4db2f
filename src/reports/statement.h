#pragma once

#include "host/conversions.h"
#include "ledger/ledgersheet.h"
#include "reports/recorddates.h"

#include <vector>

namespace vellumar {

// Whether a row of the ledger is one a report shows: any row below the titles that holds
// anything. The free rows a ledger keeps at its end hold nothing; a row some other program
// left without a serial number still counts, as it does for "计算".
bool isReportedRow(const LedgerSheet& sheet, int row);

// One holder's records over a period, as a statement lists them.
struct Statement {
    Period period;
    // The rows of the records dated within the period, in ledger order.
    std::vector<int> rows;
    // With a period chosen: the rows whose date cannot be read, so they can be listed apart
    // rather than dropped. With the whole ledger they are among the rows above.
    std::vector<int> undatedRows;
    // The sum of the total column over `rows`, worked as "计算" works it.
    DecimalNumber total;

    static Statement build(const LedgerSheet& sheet, const Period& period);
};

} // namespace vellumar
