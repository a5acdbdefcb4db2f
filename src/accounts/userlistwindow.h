#pragma once

#include "accounts/userdirectory.h"
#include "frame/frame.h"
#include "frame/services.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

class QLabel;

namespace Ui {
class UserListWindow;
}

namespace vellumar {

// The main window after sign-in: every account holder of the user directory, in table order.
// The list only shows the directory: list item i is always user i, and every change goes
// through the directory, which keeps the table and the ledger files in step.
class UserListWindow final : public QMainWindow, public WindowHandlers {
    Q_OBJECT

public:
    // Makes the window that shows one user's ledger; nothing when there is none to show.
    using LedgerWindowFactory = std::function<QWidget*(const QString& userName)>;

    explicit UserListWindow(Services services, QWidget* parent = nullptr);
    ~UserListWindow() override;

    void created() override;
    bool closeQuery() override;

    void setLedgerWindowFactory(LedgerWindowFactory factory);

    // The users and the changes to them; nothing while the user table cannot be read.
    UserDirectory* directory() const { return m_directory.get(); }

    // The user the operator has selected: the one the ledger, rename and delete act on.
    std::optional<int> selectedPosition() const;
    std::optional<QString> selectedUserName() const;

    int userCount() const;
    QString userName(int position) const;
    // Makes the user the selection and scrolls the list to it.
    void showUser(int position);

    // Opens the selected user's ledger; with no user selected nothing opens.
    void openLedger();

private:
    void openDirectory();
    void showUnavailable(const Status& why);
    void showAll();
    void search();
    void deleteUser();
    void confirmSave();
    void exit();
    void connectMenus();

    Services m_services;
    std::unique_ptr<Ui::UserListWindow> m_ui;
    std::unique_ptr<UserDirectory> m_directory;
    QLabel* m_unavailable = nullptr;
    LedgerWindowFactory m_ledgerWindowFactory;
};

} // namespace vellumar
