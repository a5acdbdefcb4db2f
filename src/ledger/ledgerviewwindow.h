#pragma once

#include "frame/dialog.h"
#include "ledger/ledgersheet.h"
#include "storage/status.h"

#include <memory>

class QTableView;

namespace Ui {
class LedgerViewWindow;
}

namespace vellumar {

// Shows a ledger file that belongs to no account holder of these books (a copy, a file set
// aside, a ledger of other books) without any way to change it: no record dialogs, no save.
// The notice at the top says so and tells the operator how such records reach a holder's
// ledger. It closes with its button, Esc or the close box, without a question: nothing in it
// can be lost.
class LedgerViewWindow final : public Dialog {
    Q_OBJECT

public:
    explicit LedgerViewWindow(QString path, QWidget* parent = nullptr);
    ~LedgerViewWindow() override;

    // Reads the file; the window is opened only once it has. The file is never written.
    Status load();

    const QString& path() const { return m_path; }
    const LedgerSheet& sheet() const { return m_sheet; }
    QTableView* grid() const;

private:
    void showRecordCount();

    QString m_path;
    std::unique_ptr<Ui::LedgerViewWindow> m_ui;
    LedgerSheet m_sheet;
};

} // namespace vellumar
