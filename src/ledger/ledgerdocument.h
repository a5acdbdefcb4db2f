#pragma once

#include "storage/datapaths.h"
#include "storage/status.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace vellumar {

// A ledger file the program is asked to open from outside: from the file manager or the
// command line, once the operator has signed in.
//
// The ledger of an account holder of these books opens as that holder's ledger, exactly as a
// double-click on the holder does. Any other file (a copy, a ledger of other books, a file set
// aside, a file in the ledger folder that belongs to nobody) is only looked at: nothing the
// operator does there can be saved over it or over any holder's ledger.
struct LedgerDocument {
    enum class Kind { HolderLedger, OtherFile };

    Kind kind = Kind::OtherFile;
    QString path;   // absolute, as given
    QString holder; // the account holder, for a holder's ledger
};

// The file the program was started with: the first argument after the program's name that is
// not an option (or any argument after "--"); a file:// address names a local file, and a
// relative path is taken from the current folder. Nothing when there is none.
std::optional<QString> documentArgument(const QStringList& arguments);

// Finds out what the file is; refuses what cannot be a ledger file at all (a missing file, a
// folder, a device), naming it. A file that is there is not read here.
Result<LedgerDocument> identifyLedgerDocument(const QString& path, const DataPaths& paths,
                                              const QStringList& holders);

// Why the program did not start, with a sentence that the file it was asked to open was not
// opened either, and what to do.
Status withDocumentNotOpened(const Status& refusal, const QString& path);

} // namespace vellumar
