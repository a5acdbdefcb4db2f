#pragma once

#include "books/booksstore.h"
#include "sharedstore/ledgercopy.h"
#include "sharedstore/sharedlink.h"

namespace vellumar {

// One holder's ledger in the shared books. Loading takes the ledger's lock, which lives as
// long as this counter's connection: a second counter gets the ledger read-only and is told
// who has it. Every save also checks the ledger's version in its transaction, so that even a
// counter whose lock went with a broken connection never writes over what another counter
// saved meanwhile. When the connection comes back, the lock is taken again if it is still
// free; else the ledger turns read-only.
class SharedHolderBook final : public HolderBook {
    Q_OBJECT

public:
    // The link must outlive the book.
    SharedHolderBook(SharedLink& link, LedgerEditor counter, QString holder);
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
};

} // namespace vellumar
