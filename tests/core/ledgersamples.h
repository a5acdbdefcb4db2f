#pragma once

#include "ledger/ledgersheet.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <memory>
#include <tuple>

// Ledgers for round trips through the books, and an exact comparison of two.
namespace ledgersamples {

using vellumar::LedgerSheet;

struct Cell {
    int row;
    int column;
    QString text;
};

// A sheet of that many rows with the titles and the given cells.
inline std::unique_ptr<LedgerSheet> sheetOf(int rows, const QList<Cell>& cells) {
    auto sheet = std::make_unique<LedgerSheet>(rows);
    sheet->applyTitles();
    for (const Cell& cell : cells)
        sheet->setCell(cell.row, cell.column, cell.text);
    return sheet;
}

// A record in a row, its serial number being its row.
inline QList<Cell> record(int row, const QString& product, const QString& remark = QString()) {
    return {{row, LedgerSheet::Serial, QString::number(row)},
            {row, LedgerSheet::Product, product},
            {row, LedgerSheet::Quantity, QStringLiteral("2")},
            {row, LedgerSheet::Unit, QStringLiteral("箱")},
            {row, LedgerSheet::UnitPrice, QStringLiteral("1.1")},
            {row, LedgerSheet::Total, QStringLiteral("2.2")},
            {row, LedgerSheet::Date, QStringLiteral("2026-12-09 09:30:15")},
            {row, LedgerSheet::Remark, remark}};
}

// The first difference between two sheets, cell by cell; empty when they are the same.
inline QString difference(const LedgerSheet& expected, const LedgerSheet& actual) {
    if (expected.rowCount() != actual.rowCount())
        return QStringLiteral("%1 rows, expected %2")
            .arg(actual.rowCount())
            .arg(expected.rowCount());
    for (int row = 0; row < expected.rowCount(); ++row)
        for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
            if (expected.cellView(row, column) != actual.cellView(row, column))
                return QStringLiteral("row %1 column %2: \"%3\", expected \"%4\"")
                    .arg(row)
                    .arg(column)
                    .arg(actual.cell(row, column).left(80), expected.cell(row, column).left(80));
    return QString();
}

} // namespace ledgersamples

Q_DECLARE_METATYPE(ledgersamples::Cell)
