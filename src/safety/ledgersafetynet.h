#pragma once

#include "frame/services.h"
#include "storage/status.h"

#include <QObject>

class QAction;
class QMenu;

namespace vellumar {

class LedgerWindow;

// What the ledger window adds to keep its records safe: "撤销" and "重做" after the items of
// its "编辑" menu, a word to the operator when the recovery journal cannot be written, and,
// once the ledger is loaded, the changes an earlier run left unsaved (asked for before the
// grid shows). The rules live in the core (LedgerEdits, HolderLedger, RecoveryJournal); this
// only asks and shows.
class LedgerSafetyNet final : public QObject {
    Q_OBJECT

public:
    LedgerSafetyNet(Services services, LedgerWindow& window, QMenu& editMenu);

    QAction* undoAction() const { return m_undo; }
    QAction* redoAction() const { return m_redo; }

    // Runs once the holder's ledger is in the grid: offers what a crash left unsaved, then
    // starts writing the journal.
    void ledgerLoaded();

private:
    // Answers whether the journal can take the changes from now on.
    bool recover();
    void showRows(int first, int count);
    void journalRefused(const Status& why);

    Services m_services;
    LedgerWindow& m_window;
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
};

} // namespace vellumar
