#include "ledger/ledgeraccess.h"

#include "ledger/ledgerclosing.h"
#include "ledger/ledgerwindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolBar>

namespace vellumar {

LedgerAccess::LedgerAccess(Services services, LedgerWindow& window)
    : QObject(&window), m_services(services), m_window(window) {
    m_bar = new QToolBar(&window);
    m_bar->setObjectName(QStringLiteral("ledgerAccessBar"));
    m_bar->setAccessibleName(QStringLiteral("账目状态"));
    m_bar->setWindowTitle(QStringLiteral("账目状态"));
    m_bar->setMovable(false);
    m_bar->setFloatable(false);
    m_bar->toggleViewAction()->setEnabled(false);
    auto* content = new QWidget(m_bar);
    auto* layout = new QHBoxLayout(content);
    layout->setContentsMargins(6, 2, 6, 2);
    m_notice = new QLabel(content);
    m_notice->setObjectName(QStringLiteral("accessNotice"));
    // One line: the bar takes as little from the grid as it can.
    m_notice->setWordWrap(false);
    m_notice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette palette = m_notice->palette();
    palette.setColor(QPalette::WindowText, QColor(150, 60, 0));
    m_notice->setPalette(palette);
    m_reload = new QPushButton(QStringLiteral("重新载入"), content);
    m_reload->setObjectName(QStringLiteral("reloadButton"));
    layout->addWidget(m_notice, 1);
    layout->addWidget(m_reload);
    m_bar->addWidget(content);
    window.addToolBar(Qt::BottomToolBarArea, m_bar);
    m_bar->hide();
    connect(m_reload, &QPushButton::clicked, this, &LedgerAccess::reload);
}

int LedgerAccess::barHeight() const {
    return m_bar->isVisible() ? m_bar->sizeHint().height() : 0;
}

void LedgerAccess::ledgerLoaded() {
    disconnect(m_accessChanged);
    disconnect(m_changedElsewhere);
    HolderBook& book = m_window.ledger();
    m_accessChanged = connect(&book, &HolderBook::accessChanged, this, &LedgerAccess::showAccess);
    m_changedElsewhere =
        connect(&book, &HolderBook::changedElsewhere, this, &LedgerAccess::changedElsewhere);
    showAccess();
}

void LedgerAccess::say(const QString& text, bool offerReload) {
    m_notice->setText(text);
    m_notice->setToolTip(text);
    m_notice->setAccessibleName(text);
    m_reload->setVisible(offerReload);
    const bool wasVisible = m_bar->isVisible();
    m_bar->setVisible(!text.isEmpty());
    if (wasVisible != m_bar->isVisible())
        m_window.placeGrid();
}

void LedgerAccess::showAccess() {
    const HolderBook& book = m_window.ledger();
    const bool readOnly = book.access() == HolderBook::Access::ReadOnly;
    const bool hadIt = !m_window.isReadOnly();
    m_window.setReadOnly(readOnly);
    if (!readOnly) {
        say(QString(), false);
        return;
    }
    const QString who = book.editor().value_or(LedgerEditor()).describe();
    if (hadIt && m_window.edits().hasUnsavedChanges())
        say(QStringLiteral("只读：与服务器的连接中断期间，%1打开了此账目。这里没有保存的改动不能"
                           "再保存到共享账本；关闭窗口时可以把它们另存一份副本。")
                .arg(who),
            false);
    else
        say(QStringLiteral("只读：现在正在%1打开此账目，这里只能查看，不能修改或保存。").arg(who),
            false);
}

void LedgerAccess::changedElsewhere() {
    if (m_window.isReadOnly())
        say(QStringLiteral("只读：另一个柜台刚保存或关闭了此账目。点“重新载入”查看最新的账目；"
                           "对方已关闭时，这里就可以修改了。"),
            true);
    else
        say(QStringLiteral("另一个柜台改动了此账目，这里保存时不会覆盖对方的账目。点“重新载入”"
                           "查看最新的账目（这里没有保存的改动会丢失）。"),
            true);
}

void LedgerAccess::reload() {
    if (m_window.edits().hasUnsavedChanges()) {
        if (!m_services.host.confirmDeliberately(
                QStringLiteral("重新载入会丢掉这里没有保存的改动，无法恢复。\n\n确定重新载入吗？"),
                QStringLiteral("重新载入"), QStringLiteral("返回"), MessageFlags::IconWarning,
                noticeTitle()))
            return;
    }
    if (const Status reloaded = m_window.reloadLedger(); !reloaded) {
        m_services.host.reportFailure(reloaded, QStringLiteral("账目没有重新载入：\n"),
                                      MessageFlags::IconWarning, noticeTitle());
        return;
    }
    ledgerLoaded();
}

} // namespace vellumar
