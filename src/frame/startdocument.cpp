#include "frame/startdocument.h"

#include "accounts/userlistwindow.h"
#include "frame/frame.h"
#include "ledger/ledgerdocument.h"
#include "ledger/ledgerviewwindow.h"

#include <QDir>
#include <QPointer>

namespace vellumar {

void openLedgerDocument(Services services, UserListWindow& list, const QString& path) {
    const QString cannotOpen =
        QStringLiteral("无法打开文件：") + QDir::toNativeSeparators(path) + u'\n';
    const QStringList holders = list.directory() ? list.directory()->users() : QStringList();
    const Result<LedgerDocument> document = identifyLedgerDocument(path, services.paths, holders);
    if (!document) {
        services.host.reportFailure(document.status(), cannotOpen);
        return;
    }
    if (document->kind == LedgerDocument::Kind::HolderLedger) {
        if (const std::optional<int> position = list.directory()->find(document->holder)) {
            list.showUser(*position);
            list.openLedger();
            return;
        }
    }
    auto* viewer = new LedgerViewWindow(document->path);
    if (const Status loaded = viewer->load(); !loaded) {
        delete viewer;
        services.host.reportFailure(loaded, cannotOpen);
        return;
    }
    services.frame.open(viewer);
}

StartDocument::StartDocument(Services services, QString path, QObject* parent)
    : QObject(parent), m_services(services), m_path(std::move(path)) {
    connect(&m_services.frame, &Frame::windowOpened, this, &StartDocument::windowOpened);
}

void StartDocument::windowOpened(QWidget* window) {
    auto* list = qobject_cast<UserListWindow*>(window);
    if (!list)
        return;
    disconnect(&m_services.frame, &Frame::windowOpened, this, &StartDocument::windowOpened);
    // After the sign-in's handler has finished: opening is the last thing a handler does.
    QMetaObject::invokeMethod(
        this,
        [this, list = QPointer<UserListWindow>(list)] {
            if (list && m_services.frame.topWindow() == list)
                openLedgerDocument(m_services, *list, m_path);
        },
        Qt::QueuedConnection);
}

} // namespace vellumar
