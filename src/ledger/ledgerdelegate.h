#pragma once

#include <QStyledItemDelegate>

class QAbstractItemModel;
class QTableView;

namespace vellumar {

// Draws the ledger's cells as the grid does and gives every cell that does not show its whole
// text a tooltip with all of it: text cut off at the column's edge, or a remark whose line
// breaks the grid shows as return marks. Whether a text is cut off is decided with the cell's
// real width and font when the tooltip is asked for, so it follows every column resize.
class LedgerDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Whether the cell shows less than its whole text in the given place.
    bool showsLessThanAll(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};

// Shows a ledger in the view as every ledger grid draws it: cells through LedgerDelegate, one
// line a row, rows told apart by their serial number (no row header), and a title row that is
// only a header (clicking it neither selects a column nor sorts).
void showLedgerIn(QTableView* view, QAbstractItemModel* ledger);

} // namespace vellumar
