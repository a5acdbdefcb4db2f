#pragma once

#include "frame/frame.h"
#include "frame/services.h"
#include "storage/recordtable.h"
#include "storage/status.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class UserListWindow;
}

namespace vellumar {

// The main window after sign-in: every account holder of the user table, in table order. List
// item i is always table record i + 1; every change below keeps the two in step.
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

    // The user the operator has selected: the one the ledger, rename and delete act on.
    std::optional<int> selectedPosition() const;
    std::optional<QString> selectedUserName() const;

    int userCount() const;
    QString userName(int position) const;
    // Position of the user with exactly this name (letter case counts), if any.
    std::optional<int> findUser(const QString& name) const;
    // Makes the user the selection and scrolls the list to it.
    void showUser(int position);

    // Add a user at the end, or give the user at a position a new name, in the table and the
    // list alike. When the table refuses the change the list stays as it was.
    Status appendUser(const QString& name);
    Status renameUser(int position, const QString& name);

    // Opens the selected user's ledger; with no user selected nothing opens.
    void openLedger();

private:
    void fill();
    void search();
    void deleteUser();
    void confirmSave();
    void exit();
    void connectMenus();
    Status removeUser(int position);
    Status userTableMissing() const;

    Services m_services;
    std::unique_ptr<Ui::UserListWindow> m_ui;
    std::optional<RecordTable> m_userTable;
    LedgerWindowFactory m_ledgerWindowFactory;
};

} // namespace vellumar
