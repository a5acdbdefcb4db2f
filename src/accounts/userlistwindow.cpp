#include "accounts/userlistwindow.h"

#include "accounts/signinwindow.h"
#include "frame/windowstyle.h"
#include "ui_userlistwindow.h"

namespace vellumar {

UserListWindow::UserListWindow(Services services, QWidget* parent)
    : QMainWindow(parent), m_services(services), m_ui(std::make_unique<Ui::UserListWindow>()) {
    m_ui->setupUi(this);
    applyFrameKind(this, FrameKind::FixedWithMinimize);
}

UserListWindow::~UserListWindow() = default;

void UserListWindow::created() {
    // Signing in is over once this window exists.
    m_services.frame.close(m_services.frame.find<SignInWindow>());
    m_userTable = RecordTable::open(m_services.paths.userTable());
    fill();
}

void UserListWindow::fill() {
    if (!m_userTable)
        return;
    const int count = m_userTable->recordCount();
    for (int record = 1; record <= count; ++record)
        m_ui->列表框1->addItem(m_userTable->readField(record, 1));
}

bool UserListWindow::closeQuery() {
    return m_services.host.messageBox(QStringLiteral("确认要关闭此窗口？"),
                                      MessageFlags::IconWarning | MessageFlags::OkCancel) ==
           MessageAnswer::Ok;
}

} // namespace vellumar
