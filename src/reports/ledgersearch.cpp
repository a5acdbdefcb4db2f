#include "reports/ledgersearch.h"

namespace vellumar::LedgerSearch {

std::optional<Found> find(const LedgerSheet& sheet, QStringView text, int fromRow,
                          Direction direction) {
    const int last = sheet.rowCount() - 1; // records are rows 1 .. last
    if (text.isEmpty() || last < 1)
        return std::nullopt;
    const int step = direction == Direction::Next ? 1 : -1;
    const bool inside = fromRow >= 1 && fromRow <= last;
    // From the start (or the end) when the search does not start at a record.
    int row = inside ? fromRow : (step > 0 ? 0 : last + 1);
    for (int visited = 0; visited < last; ++visited) {
        row += step;
        if (row > last)
            row = 1;
        else if (row < 1)
            row = last;
        for (const int column : {int(LedgerSheet::Product), int(LedgerSheet::Remark)})
            if (sheet.cellView(row, column).contains(text, Qt::CaseInsensitive)) {
                const bool wrapped = inside && (step > 0 ? row <= fromRow : row >= fromRow);
                return Found{row, column, wrapped};
            }
    }
    return std::nullopt;
}

} // namespace vellumar::LedgerSearch
