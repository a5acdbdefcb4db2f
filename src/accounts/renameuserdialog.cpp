#include "accounts/renameuserdialog.h"

#include "accounts/accountmessages.h"
#include "accounts/userlistwindow.h"
#include "frame/windowstyle.h"
#include "storage/usernames.h"
#include "ui_renameuserdialog.h"

#include <QFileInfo>

namespace vellumar {

namespace {

// A dangling link counts too: renaming onto it would replace it.
bool somethingAt(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

RenameUserDialog::RenameUserDialog(Services services, UserListWindow& userList, QWidget* parent)
    : Dialog(parent), m_services(services), m_userList(userList),
      m_ui(std::make_unique<Ui::RenameUserDialog>()) {
    m_ui->setupUi(this);
    applyFrameKind(this, FrameKind::Dialog);
    m_ui->编辑框1->setFocus();
    connect(m_ui->按钮1, &QPushButton::clicked, this, &RenameUserDialog::rename);
    connect(m_ui->按钮2, &QPushButton::clicked, this, [this] { m_services.frame.close(this); });
}

RenameUserDialog::~RenameUserDialog() = default;

void RenameUserDialog::rename() {
    // The user being renamed is whoever is selected when the operator confirms.
    const std::optional<int> position = m_userList.selectedPosition();
    if (position && !renameSelectedUser(*position, m_ui->编辑框1->text()))
        return;
    m_services.frame.close(this);
}

bool RenameUserDialog::renameSelectedUser(int position, const QString& newName) {
    const QString oldName = m_userList.userName(position);
    if (!isSafeUserName(newName)) {
        m_services.host.messageBox(invalidUserNameMessage());
        return false;
    }
    if (newName == oldName)
        return true;
    // Two users must never share one ledger, and an existing ledger is never overwritten.
    const QString oldPath = m_services.paths.ledgerFile(DataPaths::LedgerDirSlash, oldName);
    const QString newPath = m_services.paths.ledgerFile(DataPaths::LedgerDirSlash, newName);
    if (m_userList.findUser(newName) || somethingAt(newPath)) {
        m_services.host.messageBox(userExistsMessage());
        return false;
    }

    // The ledger moves first. A user whose ledger was never saved has no file to move; a ledger
    // that exists but cannot move keeps the old name, so it is never cut off from its user.
    bool moved = false;
    if (isSafeUserName(oldName) && somethingAt(oldPath)) {
        if (!m_services.host.renameFile(oldPath, newPath)) {
            m_services.host.messageBox(
                QStringLiteral("无法给账本文件“%1”改名，用户名没有修改。\n\n请检查该文件是否"
                               "正被其他程序使用，或文件夹是否可以写入，然后重试。")
                    .arg(oldPath),
                MessageFlags::IconWarning);
            return false;
        }
        moved = true;
    }
    if (Status status = m_userList.renameUser(position, newName); !status) {
        if (moved)
            m_services.host.renameFile(newPath, oldPath);
        reportUserTableFailure(m_services.host, status);
        return false;
    }
    return true;
}

} // namespace vellumar
