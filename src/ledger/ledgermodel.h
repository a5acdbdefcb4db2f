#pragma once

#include <QAbstractTableModel>

namespace vellumar {

class LedgerSheet;

// The ledger sheet as the grid shows it: sheet row 0 (the titles) is the header, model row r is
// sheet row r + 1. Cells are read straight from the sheet when they are painted, so a ledger
// of any size costs the grid nothing until it is scrolled into view. Nothing is edited in
// place: every change goes through the record dialogs, which write the sheet.
class LedgerModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit LedgerModel(LedgerSheet& sheet, QObject* parent = nullptr);

    static int sheetRow(int modelRow) { return modelRow + 1; }
    static int modelRow(int sheetRow) { return sheetRow - 1; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // How the record cells of a column are aligned in the grid.
    static Qt::Alignment alignment(int column);
    // The width of a column in pixels, as the ledger window lays it out.
    static int columnWidth(int column);

private:
    void rowChanged(int row);
    void beginRowRemoval(int first, int count);
    void endRowRemoval();
    void beginRowInsert(int row);
    void beginRowsInsert(int first, int count);
    void endRowInsert();

    LedgerSheet& m_sheet;
    // A change that touches the title row shifts every model row, so it resets the model.
    bool m_resetting = false;
};

} // namespace vellumar
