#include "accounts/adduserdialog.h"

#include "accounts/accountmessages.h"
#include "accounts/userlistwindow.h"
#include "frame/windowstyle.h"
#include "storage/usernames.h"
#include "ui_adduserdialog.h"

namespace vellumar {

AddUserDialog::AddUserDialog(Services services, UserListWindow& userList, QWidget* parent)
    : Dialog(parent), m_services(services), m_userList(userList),
      m_ui(std::make_unique<Ui::AddUserDialog>()) {
    m_ui->setupUi(this);
    applyFrameKind(this, FrameKind::Dialog);
    m_ui->编辑框1->setFocus();
    connect(m_ui->按钮1, &QPushButton::clicked, this, &AddUserDialog::add);
    connect(m_ui->按钮2, &QPushButton::clicked, this, [this] { m_services.frame.close(this); });
}

AddUserDialog::~AddUserDialog() = default;

void AddUserDialog::add() {
    // The name is taken exactly as typed: it is the list item, the table record and the base
    // name of the user's ledger file.
    const QString name = m_ui->编辑框1->text();
    if (!isSafeUserName(name)) {
        m_services.host.messageBox(invalidUserNameMessage());
    } else if (const std::optional<int> existing = m_userList.findUser(name)) {
        m_services.host.messageBox(userExistsMessage());
        // Point the operator at the user who already has that name.
        m_userList.showUser(*existing);
    } else if (Status status = m_userList.appendUser(name); !status) {
        reportUserTableFailure(m_services.host, status);
    }
    m_services.frame.close(this);
}

} // namespace vellumar
