#pragma once

#include <QTableWidget>

#include <optional>

namespace vellumar {

// The one row chosen in a table of whole-row selection, if any, checked against how many
// items the window shows.
inline std::optional<int> chosenRow(const QTableWidget& table, qsizetype items) {
    const QList<QTableWidgetSelectionRange> ranges = table.selectedRanges();
    if (ranges.isEmpty())
        return std::nullopt;
    const int row = ranges.first().topRow();
    if (row < 0 || row >= items)
        return std::nullopt;
    return row;
}

} // namespace vellumar
