#pragma once

#include "books/booksstore.h"
#include "sharedstore/ledgercopy.h"
#include "sharedstore/sharedlink.h"
#include "storage/filesystem.h"

#include <memory>

namespace vellumar {

// One holder's ledger in the shared books. Loading takes the ledger's lock, which lives as
// long as this counter's connection: a second counter gets the ledger read-only and is told
// who has it. Every save also checks the ledger's version in its transaction, so that even a
// counter whose lock went with a broken connection never writes over what another counter
// saved meanwhile. When the connection comes back, the lock is taken again if it is still
// free; else the ledger turns read-only.
//
// Where it is given a place on this computer, the changes typed since the load or the last
// save go to a recovery journal there, as for a local ledger, named by the server, the holder's
// id and the ledger's version: a crash, also while the server is away, loses nothing, and the
// journal is only ever replayed onto the very version it was written on.
class SharedHolderBook final : public HolderBook {
    Q_OBJECT

public:
    // The link must outlive the book. journalRoot: this server's folder of journals, its last
    // part a digest of the server's address; files: how to write there (none: no journal).
    SharedHolderBook(SharedLink& link, LedgerEditor counter, QString holder, FileSystem* files,
                     QString journalRoot);
    ~SharedHolderBook() override;

    const QString& userName() const override { return m_holder; }
    QString location() const override;
    QString filePath() const override { return QString(); }
    Result<Opened> load(LedgerSheet& sheet) override;
    Access access() const override { return m_editing ? Access::Editing : Access::ReadOnly; }
    std::optional<LedgerEditor> editor() const override { return m_editor; }
    bool foundUnreadableFile() const override { return false; }
    Status save(const LedgerSheet& sheet, const QDateTime& now) override;
    QString keptCopy() const override { return QString(); }
    void close() override;

    RecoveryJournal* journal() const override { return m_journal.get(); }
    Result<std::optional<LeftJournal>> leftJournal() const override;
    Status closedWithoutSaving() override;
    Status tidiedUp() const override { return m_tidiedUp; }

    // The ledger as the journal names it: the server, the holder's id and the ledger's version.
    FileIdentity identity() const;
    QString journalFolder() const;

private:
    // Takes the lock on the connection the link has now; answers whether it got it.
    Result<bool> take(PgConnection& connection);
    Status retakeIfNeeded(PgConnection& connection);
    Status refusal() const;
    void release();

    SharedLink& m_link;
    LedgerEditor m_counter;
    QString m_holder;
    qint64 m_id = 0;
    bool m_loaded = false;
    bool m_editing = false;
    bool m_lockLost = false;
    bool m_closed = false;
    // The connection the lock was taken on (SharedLink::generation()).
    int m_lockGeneration = 0;
    qint64 m_version = 0;
    // What the last save attempted here called itself: a save whose COMMIT went through
    // unanswered is recognised by it.
    QString m_lastSaveToken;
    std::optional<LedgerEditor> m_editor;
    // What the server holds at m_version, row by row, so that a save writes only what changed.
    std::vector<LedgerCopy::Fingerprint> m_onServer;
    FileSystem* m_files = nullptr;
    QString m_journalRoot;
    qint64 m_serverKey = 0; // the journal root's digest, naming the server in the journal
    std::unique_ptr<RecoveryJournal> m_journal;
    Status m_tidiedUp;
};

} // namespace vellumar
