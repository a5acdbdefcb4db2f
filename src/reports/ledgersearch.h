#pragma once

#include "ledger/ledgersheet.h"

#include <QStringView>

#include <optional>

namespace vellumar::LedgerSearch {

enum class Direction { Next, Previous };

struct Found {
    int row;      // the sheet row
    int column;   // the column the text was found in
    bool wrapped; // the search went past the end (or the start) of the ledger to find it
};

// Looks for the text in the product names and remarks of the records, letter case aside,
// starting after (or before) the row given and going round the ledger once; the row itself
// comes last. Nothing for the empty text or when no record holds it.
std::optional<Found> find(const LedgerSheet& sheet, QStringView text, int fromRow,
                          Direction direction);

} // namespace vellumar::LedgerSearch
