#pragma once

#include "frame/services.h"

#include <QObject>
#include <QString>

namespace vellumar {

class UserListWindow;

// Opens a ledger file from outside over the user list: an account holder's own ledger opens
// as that holder's ledger window (the holder selected in the list, as a double-click does);
// any other ledger file opens in a window that only shows it; a file that cannot be opened is
// reported by name and nothing else happens.
void openLedgerDocument(Services services, UserListWindow& list, const QString& path);

// Holds the file the program was started with (from the file manager or the command line)
// until the operator has signed in, then opens it once, over the user list. Nothing opens
// while nobody has signed in.
class StartDocument final : public QObject {
    Q_OBJECT

public:
    StartDocument(Services services, QString path, QObject* parent = nullptr);

private:
    void windowOpened(QWidget* window);

    Services m_services;
    QString m_path;
};

} // namespace vellumar
