#pragma once

#include "frame/dialog.h"
#include "frame/services.h"

#include <memory>

namespace Ui {
class RenameUserDialog;
}

namespace vellumar {

class UserListWindow;

// Gives the selected user a new name through the user directory, which moves the ledger with
// it. A refused name leaves everything as it was and the dialog open for another try.
class RenameUserDialog final : public Dialog {
    Q_OBJECT

public:
    RenameUserDialog(Services services, UserListWindow& userList, QWidget* parent = nullptr);
    ~RenameUserDialog() override;

private:
    void rename();

    Services m_services;
    UserListWindow& m_userList;
    std::unique_ptr<Ui::RenameUserDialog> m_ui;
};

} // namespace vellumar
