#pragma once

#include "host/conversions.h"
#include "ledger/ledgersheet.h"

#include <QObject>

#include <vector>

namespace vellumar {

// The number of records and the sum of their totals over any block of ledger rows, as the
// status bar shows them for the selection: summed as "计算" sums, and at once even when a
// million rows are selected. The sums of whole blocks of rows are kept and follow every
// change of the sheet; a block is summed again only after one of its rows changed.
class RangeTotals final : public QObject {
    Q_OBJECT

public:
    struct Sum {
        qint64 records = 0;
        DecimalNumber total;
    };

    explicit RangeTotals(const LedgerSheet& sheet, QObject* parent = nullptr);

    // Rows first to last of the sheet, both included, clipped to the rows below the titles.
    Sum over(int first, int last) const;

    // Sums up to `blocks` blocks not yet summed, so a large ledger can be made ready while
    // the operator looks at it; answers whether any are left.
    bool prepare(int blocks);

    static constexpr int BlockRows = 1024;

private:
    struct Block {
        bool known = false;
        qint64 records = 0;
        DecimalNumber total;
    };
    Sum direct(int first, int last) const;
    const Block& block(int index) const;
    void forgetFrom(int row);
    void forgetRow(int row);

    const LedgerSheet& m_sheet;
    mutable std::vector<Block> m_blocks;
};

} // namespace vellumar
