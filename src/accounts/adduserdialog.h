#pragma once

#include "frame/dialog.h"
#include "frame/services.h"

#include <memory>

namespace Ui {
class AddUserDialog;
}

namespace vellumar {

class UserListWindow;

// Adds a new account holder at the end of the user directory. The dialog closes after every
// "确认添加", whether the user was added or refused.
class AddUserDialog final : public Dialog {
    Q_OBJECT

public:
    AddUserDialog(Services services, UserListWindow& userList, QWidget* parent = nullptr);
    ~AddUserDialog() override;

private:
    void add();

    Services m_services;
    UserListWindow& m_userList;
    std::unique_ptr<Ui::AddUserDialog> m_ui;
};

} // namespace vellumar
