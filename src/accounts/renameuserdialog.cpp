#include "accounts/renameuserdialog.h"

#include "accounts/accountmessages.h"
#include "accounts/userlistwindow.h"
#include "accounts/usernamevalidator.h"
#include "frame/windowstyle.h"
#include "ui_renameuserdialog.h"

namespace vellumar {

RenameUserDialog::RenameUserDialog(Services services, UserListWindow& userList, QWidget* parent)
    : Dialog(parent), m_services(services), m_userList(userList),
      m_ui(std::make_unique<Ui::RenameUserDialog>()) {
    m_ui->setupUi(this);
    applyFrameKind(this, FrameKind::Dialog);
    if (const HolderList* holders = m_userList.holders())
        m_ui->编辑框1->setValidator(new UserNameValidator(holders->fileNameLimit(), this));
    m_ui->编辑框1->setFocus();
    connect(m_ui->按钮1, &QPushButton::clicked, this, &RenameUserDialog::rename);
    connect(m_ui->按钮2, &QPushButton::clicked, this, [this] { m_services.frame.close(this); });
}

RenameUserDialog::~RenameUserDialog() = default;

void RenameUserDialog::rename() {
    // The user being renamed is whoever is selected when the operator confirms.
    const std::optional<int> position = m_userList.selectedPosition();
    if (position) {
        HolderList* holders = m_userList.holders();
        if (!holders) {
            m_services.host.messageBox(userTableUnavailableMessage(), MessageFlags::IconWarning);
            return;
        }
        const UserChange renamed = m_userList.changeHolders(
            [&](HolderList& list) { return list.rename(*position, m_ui->编辑框1->text()); });
        // A refused name leaves everything as it was and the dialog open for another try.
        if (!renamed) {
            reportUserChange(m_services.host, renamed);
            return;
        }
    }
    m_services.frame.close(this);
}

} // namespace vellumar
