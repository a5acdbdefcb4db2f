#pragma once

#include "frame/services.h"
#include "reports/ledgersearch.h"
#include "reports/rangetotals.h"

#include <QObject>
#include <QWidget>

class QLabel;
class QLineEdit;

namespace vellumar {

class LedgerWindow;

// A bar under the ledger that finds a text in the product names and remarks: Enter or F3
// finds the next record that holds it, Shift+Enter or Shift+F3 the one before, going round
// the ledger; Esc closes the bar.
class FindBar final : public QWidget {
    Q_OBJECT

public:
    explicit FindBar(QWidget* parent = nullptr);

    QString text() const;
    // Shows the bar with the text selected, ready for typing.
    void open();
    // Says what the last search found ("已回到开头继续查找", "找不到…").
    void tell(const QString& message);

Q_SIGNALS:
    void findRequested(LedgerSearch::Direction direction);
    void closed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_text;
    QLabel* m_message;
};

// What the ledger window gains for getting its books out: "打印对账单…" and "导出为 Excel…" at
// the end of "文件", "查找" at the end of "编辑" with its find bar, and a status bar with the
// number of selected records and the sum of their totals.
class LedgerExtras final : public QObject {
    Q_OBJECT

public:
    LedgerExtras(Services services, LedgerWindow& window);

    FindBar* findBar() const { return m_findBar; }
    // The status bar's text about the selection.
    QString selectionText() const;

private:
    void addMenuItems();
    void showStatement();
    void exportWorkbook();
    void startFinding();
    void find(LedgerSearch::Direction direction);
    void showSelection();
    void prepareSums();

    Services m_services;
    LedgerWindow& m_window;
    RangeTotals m_totals;
    FindBar* m_findBar;
    QLabel* m_selection;
};

} // namespace vellumar
