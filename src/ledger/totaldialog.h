#pragma once

#include "frame/dialog.h"
#include "frame/services.h"
#include "ledger/ledgersheet.h"

#include <QPointer>

#include <memory>

namespace Ui {
class TotalDialog;
}

namespace vellumar {

// Adds up the totals of the ledger on "计算" and shows the change due on the amount the
// customer paid. It only reads the ledger.
//
// The change is paid − sum, recomputed on every change of the paid box, and also on every
// change of the sum box once a change is shown, so the three boxes never disagree.
class TotalDialog final : public Dialog {
    Q_OBJECT

public:
    explicit TotalDialog(Services services, const LedgerSheet& sheet, QWidget* parent = nullptr);
    ~TotalDialog() override;

private:
    void showLedgerTotal();
    void showChange();

    Services m_services;
    QPointer<const LedgerSheet> m_sheet;
    std::unique_ptr<Ui::TotalDialog> m_ui;
};

} // namespace vellumar
