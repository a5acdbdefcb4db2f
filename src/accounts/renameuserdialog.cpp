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
    if (const UserDirectory* directory = m_userList.directory())
        m_ui->编辑框1->setValidator(new UserNameValidator(directory->fileNameLimit(), this));
    m_ui->编辑框1->setFocus();
    connect(m_ui->按钮1, &QPushButton::clicked, this, &RenameUserDialog::rename);
    connect(m_ui->按钮2, &QPushButton::clicked, this, [this] { m_services.frame.close(this); });
}

RenameUserDialog::~RenameUserDialog() = default;

void RenameUserDialog::rename() {
    // The user being renamed is whoever is selected when the operator confirms.
    const std::optional<int> position = m_userList.selectedPosition();
    if (position) {
        UserDirectory* directory = m_userList.directory();
        if (!directory) {
            m_services.host.messageBox(userTableUnavailableMessage(), MessageFlags::IconWarning);
            return;
        }
        // A refused name leaves everything as it was and the dialog open for another try.
        if (const UserChange renamed = directory->rename(*position, m_ui->编辑框1->text());
            !renamed) {
            reportUserChange(m_services.host, renamed);
            return;
        }
    }
    m_services.frame.close(this);
}

} // namespace vellumar
