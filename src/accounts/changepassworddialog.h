#pragma once

#include "frame/dialog.h"
#include "frame/services.h"

#include <memory>

namespace Ui {
class ChangePasswordDialog;
}

namespace vellumar {

// Replaces the administrator password after checking the current one and a repeated entry of
// the new one. Refusals and failures leave the dialog open with everything typed.
class ChangePasswordDialog final : public Dialog {
    Q_OBJECT

public:
    explicit ChangePasswordDialog(Services services, QWidget* parent = nullptr);
    ~ChangePasswordDialog() override;

private:
    void change();

    Services m_services;
    std::unique_ptr<Ui::ChangePasswordDialog> m_ui;
};

} // namespace vellumar
