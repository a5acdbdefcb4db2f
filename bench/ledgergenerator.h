#pragma once

#include "ledger/ledgersheet.h"

namespace vellumar::bench {

// Fills the sheet with a shop's ledger of `records` goods records under the titles: Chinese
// product names, units, prices and totals, dates a few minutes apart, remarks of which some
// hold line breaks, quotes and commas. Free rows follow up to the thousand rows of a new
// ledger. The same seed gives the same ledger.
void generateLedger(LedgerSheet& sheet, int records, unsigned seed = 20261209);

} // namespace vellumar::bench
