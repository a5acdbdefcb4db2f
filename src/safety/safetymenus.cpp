#include "safety/safetymenus.h"

#include "accounts/userlistwindow.h"
#include "frame/frame.h"
#include "safety/backupwindow.h"
#include "safety/recyclebinwindow.h"

#include <QAction>
#include <QMenu>

namespace vellumar {

void installSafetyMenus(Services services, UserListWindow& window, QMenu& fileMenu,
                        QMenu& editMenu) {
    auto* backups = new QAction(QStringLiteral("备份与恢复"), &window);
    backups->setObjectName(QStringLiteral("actionBackups"));
    auto* bin = new QAction(QStringLiteral("回收站"), &window);
    bin->setObjectName(QStringLiteral("actionRecycleBin"));
    fileMenu.addAction(backups);
    editMenu.addAction(bin);

    // Shared books are kept safe by the server's administrator: the items say so.
    const auto keptElsewhere = [services] {
        BooksStore& books = services.books.store();
        if (books.keepsSafetyNets())
            return false;
        services.host.messageBox(books.safekeeping(), MessageFlags::IconInformation);
        return true;
    };
    QObject::connect(backups, &QAction::triggered, &window, [services, &window, keptElsewhere] {
        if (keptElsewhere())
            return;
        if (UserDirectory* directory = window.directory())
            services.frame.open(new BackupWindow(services, directory->users(),
                                                 window.selectedUserName().value_or(QString())));
    });
    QObject::connect(bin, &QAction::triggered, &window, [services, &window, keptElsewhere] {
        if (keptElsewhere())
            return;
        if (UserDirectory* directory = window.directory())
            services.frame.open(new RecycleBinWindow(services, *directory));
    });
    for (QMenu* menu : {&fileMenu, &editMenu})
        QObject::connect(menu, &QMenu::aboutToShow, &window, [&window, backups, bin] {
            for (QAction* action : {backups, bin})
                action->setEnabled(window.holders() != nullptr);
        });
}

} // namespace vellumar
