#pragma once

#include "books/booksstore.h"
#include "host/host.h"
#include "ledger/ledgersheet.h"

#include <functional>

namespace vellumar {

// The title of the ledger's notices and questions.
const QString& noticeTitle();

// The save that comes before a ledger window closes. A ledger that cannot be saved can still
// be closed, but never loses what was typed without the operator saying so: after a failed
// save the operator reads what went wrong and chooses to try again, to save a copy elsewhere,
// to close without saving (after a warning that the changes will be lost), or to go back to
// the ledger.
class SaveBeforeClosing {
public:
    using Work = std::function<Status()>;
    // Runs a file step that may take a while (under a wait cursor, say); by default directly.
    using Runner = std::function<Status(const Work&)>;

    // The answers of the question after a failed save, in the order of its buttons.
    enum Choice { Retry = 0, SaveCopy, Discard, Back };

    SaveBeforeClosing(Host& host, HolderBook& ledger, const LedgerSheet& sheet, Runner runner = {});

    // Answers whether the window may close now.
    bool run();

private:
    Status saveHere();
    // Asks for a place and saves a copy there; nothing when the operator cancelled.
    std::optional<Status> saveCopy();
    bool confirmDiscard();
    bool closeWithoutSaving();
    QString suggestedCopyPath() const;

    Host& m_host;
    HolderBook& m_ledger;
    const LedgerSheet& m_sheet;
    Runner m_runner;
};

} // namespace vellumar
