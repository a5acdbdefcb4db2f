#include "accounts/signinwindow.h"

#include "accounts/booksconnectiondialog.h"
#include "accounts/userlistwindow.h"
#include "frame/waitcursor.h"
#include "frame/windowstyle.h"
#include "ui_signinwindow.h"

#include <QAction>
#include <QPainter>

namespace vellumar {

SignInWindow::SignInWindow(Services services, QWidget* parent)
    : QWidget(parent), m_services(services), m_ui(std::make_unique<Ui::SignInWindow>()),
      m_background(QStringLiteral(":/pictures/signin_background.jpg")) {
    m_ui->setupUi(this);
    applyFrameKind(this, FrameKind::FixedWithMinimize);
    m_ui->编辑框1->setFocus();

    connect(m_ui->按钮1, &QPushButton::clicked, this, &SignInWindow::signIn);
    // Enter in the password box signs in, as the operator expects.
    connect(m_ui->编辑框1, &QLineEdit::returnPressed, this, &SignInWindow::signIn);

    // The choice of books is reached without a control of its own, so the window stays as it
    // was designed: by a shortcut, and from the window's context menu.
    auto* chooseBooks = new QAction(QStringLiteral("连接共享账本…"), this);
    chooseBooks->setObjectName(QStringLiteral("actionChooseBooks"));
    chooseBooks->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
    chooseBooks->setShortcutContext(Qt::WindowShortcut);
    addAction(chooseBooks);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(chooseBooks, &QAction::triggered, this,
            [this] { m_services.frame.open(new BooksConnectionDialog(m_services)); });
}

SignInWindow::~SignInWindow() = default;

void SignInWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), m_background);
}

void SignInWindow::signIn() {
    // The stored password is read afresh at every attempt. A table that cannot be read lets
    // nobody in, not even with the empty entry.
    const QString typed = m_ui->编辑框1->text();
    const Result<bool> right = [&]() -> Result<bool> {
        WaitCursor wait;
        return m_services.books.store().passwordMatches(typed);
    }();

    if (!right) {
        m_services.host.reportFailure(
            right.status().prefixed(QStringLiteral("无法读取密码，所以不能登录。")), QString(),
            MessageFlags::IconError);
        return;
    }
    if (!*right) {
        m_services.host.messageBox(QStringLiteral("登录密码错误！"), MessageFlags::IconWarning);
        m_ui->编辑框1->setFocus();
        return;
    }
    m_services.frame.open(new UserListWindow(m_services));
}

} // namespace vellumar
