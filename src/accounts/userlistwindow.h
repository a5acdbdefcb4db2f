#pragma once

#include "accounts/userdirectory.h"
#include "books/booksstore.h"
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

// The main window after sign-in: every account holder of the books, in list order. The list
// only shows the books' holders: list item i is always holder i, and every change goes
// through the holder list, which keeps the holders and their ledgers in step. Changes made at
// other counters of shared books show as they arrive.
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

    // The holders and the changes to them; nothing while they cannot be read.
    HolderList* holders() const { return m_holders; }
    // The user directory of the local books (with its recycle bin); nothing for shared books
    // and while the user table cannot be read.
    UserDirectory* directory() const { return m_holders ? m_holders->directory() : nullptr; }

    // The user the operator has selected: the one the ledger, rename and delete act on.
    std::optional<int> selectedPosition() const;
    std::optional<QString> selectedUserName() const;

    int userCount() const;
    QString userName(int position) const;
    // Makes the user the selection and scrolls the list to it.
    void showUser(int position);

    // Opens the selected user's ledger; with no user selected nothing opens.
    void openLedger();

    // Runs a change the operator asked for on the holders (there must be holders). Should the
    // list be read afresh meanwhile, because it changed elsewhere, the selection goes: it was
    // made in a list that is no longer there.
    UserChange changeHolders(const std::function<UserChange(HolderList&)>& change);

private:
    void openHolders();
    void showUnavailable(const Status& why);
    void showAll();
    // The holders were read afresh: the list shows them, the same holder still selected.
    void reloaded();
    void search();
    void deleteUser();
    void confirmSave();
    void exit();
    void connectMenus();

    Services m_services;
    std::unique_ptr<Ui::UserListWindow> m_ui;
    HolderList* m_holders = nullptr;
    QLabel* m_unavailable = nullptr;
    LedgerWindowFactory m_ledgerWindowFactory;
    bool m_changing = false;
};

} // namespace vellumar
