#include "accounts/adduserdialog.h"

#include "accounts/accountmessages.h"
#include "accounts/userlistwindow.h"
#include "accounts/usernamevalidator.h"
#include "frame/windowstyle.h"
#include "ui_adduserdialog.h"

namespace vellumar {

AddUserDialog::AddUserDialog(Services services, UserListWindow& userList, QWidget* parent)
    : Dialog(parent), m_services(services), m_userList(userList),
      m_ui(std::make_unique<Ui::AddUserDialog>()) {
    m_ui->setupUi(this);
    applyFrameKind(this, FrameKind::Dialog);
    if (const HolderList* holders = m_userList.holders())
        m_ui->编辑框1->setValidator(new UserNameValidator(holders->fileNameLimit(), this));
    m_ui->编辑框1->setFocus();
    connect(m_ui->按钮1, &QPushButton::clicked, this, &AddUserDialog::add);
    connect(m_ui->按钮2, &QPushButton::clicked, this, [this] { m_services.frame.close(this); });
}

AddUserDialog::~AddUserDialog() = default;

void AddUserDialog::add() {
    // The name is taken exactly as typed: it is the list item, the table record and the base
    // name of the user's ledger file.
    const QString name = m_ui->编辑框1->text();
    if (HolderList* holders = m_userList.holders()) {
        const UserChange added =
            m_userList.changeHolders([&](HolderList& list) { return list.add(name); });
        reportUserChange(m_services.host, added);
        // Point the operator at the user who already has that name.
        if (added.refusal() == UserChange::Refusal::NameInUse)
            if (const std::optional<int> existing = holders->find(name))
                m_userList.showUser(*existing);
    } else {
        m_services.host.messageBox(userTableUnavailableMessage(), MessageFlags::IconWarning);
    }
    m_services.frame.close(this);
}

} // namespace vellumar
