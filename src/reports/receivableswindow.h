#pragma once

#include "frame/dialog.h"
#include "frame/services.h"
#include "reports/receivables.h"

#include <QStringList>

#include <optional>

class QLabel;
class QStandardItemModel;
class QSortFilterProxyModel;
class QTableView;

namespace vellumar {

class UserListWindow;
struct ReportDocument;

// Adds "应收汇总…" at the end of the user list's "文件" menu.
void addReceivablesItem(Services services, UserListWindow& window);

// What every holder owes: one row per holder in list order with the number of records, the
// ledger's total (as "计算" gives it), the first and the last record date; sortable by any
// column, the grand total under the table, and the whole printable and exportable. A ledger
// that cannot be read says so in its row and is left out of the grand total.
class ReceivablesWindow final : public Dialog {
    Q_OBJECT

public:
    enum Column { Holder, Records, Total, First, Last, Note, ColumnCount };

    ReceivablesWindow(Services services, QStringList holders, LedgerReader reader,
                      QWidget* parent = nullptr);

    void created() override;

    QTableView* table() const { return m_table; }
    const std::optional<ReceivablesOverview>& overview() const { return m_overview; }

private:
    void compute();
    void fill();
    QString cellText(const HolderSummary& holder, int column) const;
    QString grandTotalText() const;
    ReportDocument document() const;
    void preview();
    void print();
    void savePdf();
    void exportWorkbook();

    Services m_services;
    QStringList m_holders;
    LedgerReader m_reader;
    std::optional<ReceivablesOverview> m_overview;
    QStandardItemModel* m_model;
    QSortFilterProxyModel* m_sorted;
    QTableView* m_table;
    QLabel* m_grandTotal;
};

} // namespace vellumar
