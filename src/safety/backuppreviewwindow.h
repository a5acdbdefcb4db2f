#pragma once

#include "frame/dialog.h"
#include "frame/services.h"
#include "ledger/ledgersheet.h"
#include "safety/ledgerbackups.h"

#include <memory>

namespace Ui {
class BackupPreviewWindow;
}

namespace vellumar {

class LedgerModel;

// One kept version of a holder's ledger in a grid laid out like the ledger window's, only to
// look at: nothing in it can be changed or saved.
class BackupPreviewWindow final : public Dialog {
    Q_OBJECT

public:
    explicit BackupPreviewWindow(Services services, QWidget* parent = nullptr);
    ~BackupPreviewWindow() override;

    // Reads the version; the window is shown only when this succeeded.
    Status load(const QString& holder, const BackupVersion& version);

    const LedgerSheet& sheet() const { return m_sheet; }

private:
    Services m_services;
    std::unique_ptr<Ui::BackupPreviewWindow> m_ui;
    LedgerSheet m_sheet{0};
    LedgerModel* m_model = nullptr;
};

} // namespace vellumar
