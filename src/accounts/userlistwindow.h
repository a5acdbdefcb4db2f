#pragma once

#include "frame/frame.h"
#include "frame/services.h"
#include "storage/recordtable.h"

#include <QMainWindow>

#include <memory>
#include <optional>

namespace Ui {
class UserListWindow;
}

namespace vellumar {

// The main window after sign-in: every account holder of the user table, in table order.
class UserListWindow final : public QMainWindow, public WindowHandlers {
    Q_OBJECT

public:
    explicit UserListWindow(Services services, QWidget* parent = nullptr);
    ~UserListWindow() override;

    void created() override;
    bool closeQuery() override;

private:
    void fill();

    Services m_services;
    std::unique_ptr<Ui::UserListWindow> m_ui;
    std::optional<RecordTable> m_userTable;
};

} // namespace vellumar
