#include "accounts/changepassworddialog.h"

#include "frame/waitcursor.h"
#include "frame/windowstyle.h"
#include "ui_changepassworddialog.h"

namespace vellumar {

ChangePasswordDialog::ChangePasswordDialog(Services services, QWidget* parent)
    : Dialog(parent), m_services(services), m_ui(std::make_unique<Ui::ChangePasswordDialog>()) {
    m_ui->setupUi(this);
    applyFrameKind(this, FrameKind::Dialog);
    m_ui->编辑框1->setFocus();
    connect(m_ui->按钮1, &QPushButton::clicked, this, &ChangePasswordDialog::change);
    connect(m_ui->按钮2, &QPushButton::clicked, this, [this] { m_services.frame.close(this); });
}

ChangePasswordDialog::~ChangePasswordDialog() = default;

void ChangePasswordDialog::change() {
    const QString oldPassword = m_ui->编辑框1->text();
    const QString newPassword = m_ui->编辑框2->text();

    // The current password is checked before the two new entries are compared. A table that
    // cannot be read proves nothing, so nothing is changed.
    BooksStore& books = m_services.books.store();
    const Result<bool> oldIsRight = [&] {
        WaitCursor wait;
        return books.passwordMatches(oldPassword);
    }();
    if (!oldIsRight) {
        m_services.host.reportFailure(oldIsRight.status(),
                                      QStringLiteral("无法读取密码，密码没有修改。"));
        return;
    }
    if (!*oldIsRight) {
        m_services.host.messageBox(QStringLiteral("原始密码填写有误！"));
        return;
    }
    if (newPassword != m_ui->编辑框3->text()) {
        m_services.host.messageBox(QStringLiteral("确认密码不一致！"));
        return;
    }

    const Status written = [&] {
        WaitCursor wait;
        return books.changePassword(newPassword);
    }();
    if (!written) {
        m_services.host.reportFailure(written, QStringLiteral("密码修改失败！\n"));
        return;
    }
    m_services.host.messageBox(QStringLiteral("密码修改成功！"));
    m_services.frame.close(this);
}

} // namespace vellumar
