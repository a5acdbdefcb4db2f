#pragma once

#include "ledger/ledgersheet.h"

#include <QList>
#include <QStringList>

// Every cell of a sheet, short rows padded, so two sheets compare as plain lists.
using Cells = QList<QStringList>;

inline Cells cellsOf(const vellumar::LedgerSheet& sheet) {
    Cells cells;
    for (int row = 0; row < sheet.rowCount(); ++row) {
        QStringList line;
        for (int column = 0; column < vellumar::LedgerSheet::ColumnCount; ++column)
            line.append(sheet.cell(row, column));
        cells.append(line);
    }
    return cells;
}
