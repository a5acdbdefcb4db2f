#include "reports/rangetotals.h"

#include "reports/statement.h"

#include <algorithm>

namespace vellumar {

RangeTotals::RangeTotals(const LedgerSheet& sheet, QObject* parent)
    : QObject(parent), m_sheet(sheet) {
    connect(&sheet, &LedgerSheet::rowChanged, this, &RangeTotals::forgetRow);
    connect(&sheet, &LedgerSheet::rowsRemoved, this, &RangeTotals::forgetFrom);
    connect(&sheet, &LedgerSheet::rowInserted, this, &RangeTotals::forgetFrom);
    connect(&sheet, &LedgerSheet::rowsInserted, this, &RangeTotals::forgetFrom);
    connect(&sheet, &LedgerSheet::contentReplaced, this, [this] { m_blocks.clear(); });
}

void RangeTotals::forgetRow(int row) {
    const auto index = size_t(row / BlockRows);
    if (index < m_blocks.size())
        m_blocks[index].known = false;
}

// Rows from here on have moved: every block they fall into is summed again when asked.
void RangeTotals::forgetFrom(int row) {
    m_blocks.resize(std::min(m_blocks.size(), size_t(std::max(row, 0) / BlockRows)));
}

RangeTotals::Sum RangeTotals::direct(int first, int last) const {
    Sum sum;
    for (int row = first; row <= last; ++row) {
        if (!isReportedRow(m_sheet, row))
            continue;
        ++sum.records;
        sum.total =
            sum.total.plus(DecimalNumber::fromText(m_sheet.cellView(row, LedgerSheet::Total)));
    }
    return sum;
}

const RangeTotals::Block& RangeTotals::block(int index) const {
    if (size_t(index) >= m_blocks.size())
        m_blocks.resize(size_t(index) + 1);
    Block& found = m_blocks[size_t(index)];
    if (!found.known) {
        const int first = std::max(1, index * BlockRows);
        const int last = std::min(m_sheet.rowCount() - 1, (index + 1) * BlockRows - 1);
        const Sum sum = direct(first, last);
        found = {true, sum.records, sum.total};
    }
    return found;
}

bool RangeTotals::prepare(int blocks) {
    const int count = (m_sheet.rowCount() + BlockRows - 1) / BlockRows;
    for (int index = 0; index < count; ++index) {
        if (size_t(index) < m_blocks.size() && m_blocks[size_t(index)].known)
            continue;
        if (blocks-- <= 0)
            return true;
        block(index);
    }
    return false;
}

RangeTotals::Sum RangeTotals::over(int first, int last) const {
    first = std::max(first, 1);
    last = std::min(last, m_sheet.rowCount() - 1);
    if (first > last)
        return {};
    // Block 0 starts below the titles, so a range from row 1 takes it whole.
    const int firstWhole = first == 1 ? 0 : (first + BlockRows - 1) / BlockRows;
    const int endWhole = (last + 1) / BlockRows; // one past the last whole block
    if (endWhole - firstWhole < 2)
        return direct(first, last);
    // The part before the first whole block, the whole blocks, the part after them. Exact
    // decimal sums do not depend on the order they are added in; a sum that had to be worked
    // in double precision does, so then the rows are added one by one, in order, as "计算" does.
    Sum sum = direct(first, firstWhole * BlockRows - 1);
    for (int index = firstWhole; index < endWhole; ++index) {
        const Block& whole = block(index);
        sum.records += whole.records;
        sum.total = sum.total.plus(whole.total);
    }
    const Sum tail = direct(endWhole * BlockRows, last);
    sum.records += tail.records;
    sum.total = sum.total.plus(tail.total);
    if (!sum.total.isExact())
        return direct(first, last);
    return sum;
}

} // namespace vellumar
