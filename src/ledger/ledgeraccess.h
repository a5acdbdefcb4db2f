#pragma once

#include "frame/services.h"

#include <QObject>

class QLabel;
class QPushButton;
class QToolBar;

namespace vellumar {

class LedgerWindow;

// Tells the operator of a ledger window what other counters of shared books do to the same
// ledger, in a bar below the grid that shows only when there is something to say: that
// another counter has it open (the window is then read-only), that it was saved or given up
// elsewhere (with "重新载入"), or that it was lost while the server was away.
class LedgerAccess final : public QObject {
    Q_OBJECT

public:
    LedgerAccess(Services services, LedgerWindow& window);

    // Runs whenever the window's ledger was loaded: follows that book from now on.
    void ledgerLoaded();
    // The room the bar takes below the grid; 0 while hidden.
    int barHeight() const;

private:
    void showAccess();
    void changedElsewhere();
    void reload();
    void say(const QString& text, bool offerReload);

    Services m_services;
    LedgerWindow& m_window;
    QToolBar* m_bar;
    QLabel* m_notice;
    QPushButton* m_reload;
    QMetaObject::Connection m_accessChanged;
    QMetaObject::Connection m_changedElsewhere;
};

} // namespace vellumar
