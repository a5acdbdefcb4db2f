#pragma once

#include "books/booksstore.h"
#include "ledger/ledgersheet.h"
#include "sharedstore/ledgercopy.h"
#include "sharedstore/pgconnection.h"
#include "storage/status.h"

#include <QList>
#include <QString>

#include <optional>

// The statements on the shared books' tables, each given its values as parameters. What
// changes the books runs inside a transaction the caller holds; the caller also decides
// what a refusal means to the operator.
namespace vellumar::SharedTables {

// The first key of the advisory locks the program takes: on a holder's ledger (the second key
// is the holder's id) and while the tables are made (second key 0).
inline constexpr int LedgerLockSpace = 0x56454C4C;
inline constexpr int SchemaLockSpace = 0x56454C4D;

// The channels of the change notices.
inline constexpr char HoldersChannel[] = "vellumar_holders";
inline constexpr char LedgersChannel[] = "vellumar_ledgers";

// Makes a new connection ready for the books: the tables as this program knows them
// (SharedSchema::prepare), and no statement waiting for long on another counter's work.
Status prepareSession(PgConnection& connection);

// This counter as others see it beside a ledger it has open: the counter's name (the
// computer's name when none is given), the computer and its signed-in user.
LedgerEditor thisCounter(const QString& counterName = QString());

struct Holder {
    qint64 id = 0;
    QString name;
};
struct HolderListing {
    qint64 revision = 0; // moves with every change to the holders
    QList<Holder> holders;
};

// Every holder in list order, with the list's revision, from one snapshot.
Result<HolderListing> listHolders(PgConnection& connection);
Result<std::optional<qint64>> findHolder(PgConnection& connection, const QString& name);

// Changes to the holders, each inside the caller's transaction. nextRevision() goes first: it
// makes changes to the holders from all counters take turns, and answers the revision the
// list has with this change.
Result<qint64> nextRevision(PgConnection& connection);
// Nothing when another holder has the name.
Result<std::optional<qint64>> insertHolder(PgConnection& connection, const QString& name);
enum class NameChange { Done, NameInUse, Gone };
// Gone when no holder has that id and old name any more.
Result<NameChange> renameHolder(PgConnection& connection, qint64 id, const QString& oldName,
                                const QString& newName);
// False when no holder has that id and name any more. The ledger goes with the holder.
Result<bool> deleteHolder(PgConnection& connection, qint64 id, const QString& name);
// Tell the other counters when the transaction commits.
Status announceHolders(PgConnection& connection);
Status announceLedger(PgConnection& connection, qint64 id);

// The administrator password's hash; empty when none is set.
Result<QString> passwordHash(PgConnection& connection);
Status storePasswordHash(PgConnection& connection, const QString& hash);

struct LedgerState {
    std::optional<qint64> rows; // nothing until the ledger is first saved
    qint64 version = 0;         // moves with every save
    qint64 layout = 0;          // the key of the ledger's rows: the version that wrote them all
    QString saveToken;          // what the last save called itself
    QString savedBy;            // who saved it last, for sentences
};
// Nothing when the holder is gone. With lockForSave, other saves of the ledger wait until
// the caller's transaction ends.
Result<std::optional<LedgerState>> ledgerState(PgConnection& connection, qint64 id,
                                               bool lockForSave);
// Reads the rows of the ledger in that state (which has rows) into the sheet and puts the
// titles in; call inside a snapshot transaction together with ledgerState(). The
// fingerprints, when asked for, are those of the rows as the server holds them. On failure
// the sheet is as it was, or (a ledger with no room for its titles) holds empty rows only.
Status readLedger(PgConnection& connection, qint64 id, const LedgerState& state, LedgerSheet& sheet,
                  std::vector<LedgerCopy::Fingerprint>* fingerprints = nullptr);

struct SavedLedger {
    qint64 version = 0;
    std::vector<LedgerCopy::Fingerprint> fingerprints; // of the rows now on the server
};
// Replaces the holder's ledger, found in that state by ledgerState() with lockForSave, with
// the sheet. Given the fingerprints of the rows the server holds in that state, only the rows
// that changed are written, as long as they are not too many: adding a record to a ledger of
// a million saves one row. Otherwise the whole ledger is written under a new layout, whose
// keys never meet the old rows', and the old layout goes after it.
Result<SavedLedger> writeLedger(PgConnection& connection, qint64 id, const LedgerState& state,
                                const LedgerSheet& sheet, const LedgerEditor& by,
                                const QString& saveToken,
                                const std::vector<LedgerCopy::Fingerprint>* onServer = nullptr);

// The ledger lock of a holder, held by the connection until it is given up or the connection
// ends: answers whether it was free and is now taken.
Result<bool> takeLedger(PgConnection& connection, qint64 id);
// The same lock for the caller's transaction only, for changes that must not happen while
// another counter has the ledger open (deleting the holder, replacing the ledger).
Result<bool> holdLedgerForChange(PgConnection& connection, qint64 id);
// Notes this counter beside a ledger it has taken, replacing what a counter that has gone
// left there. False when the holder is gone.
Result<bool> noteEditor(PgConnection& connection, qint64 id, const LedgerEditor& editor);
// Who has the ledger open now, as far as the tables tell.
Result<std::optional<LedgerEditor>> editorOf(PgConnection& connection, qint64 id);
Status releaseLedger(PgConnection& connection, qint64 id);

} // namespace vellumar::SharedTables
