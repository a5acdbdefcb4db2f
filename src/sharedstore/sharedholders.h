#pragma once

#include "books/booksstore.h"
#include "sharedstore/sharedlink.h"
#include "sharedstore/sharedtables.h"

#include <functional>

namespace vellumar {

// The holders of the shared books as this counter last read them. Every change is one
// transaction that checks on the server what it changes: the holder still has the id and the
// name shown here, no other holder has the new name (the table's unique names decide, so two
// counters can never both get one), a holder's ledger open at another counter is not deleted.
// The list follows other counters' changes as their notices arrive.
class SharedHolderList final : public HolderList {
    Q_OBJECT

public:
    // Reads the holders; nothing but the failure when they cannot be read.
    static Result<std::unique_ptr<SharedHolderList>> open(SharedLink& link);

    const QStringList& users() const override { return m_names; }
    qsizetype fileNameLimit() const override;
    bool isValidName(const QString& name) const override;
    UserChange add(const QString& name) override;
    UserChange rename(int position, const QString& newName) override;
    QList<Status> warnings() const override { return {}; }

    // Reads the holders afresh; usersReloaded() when they changed.
    Status reload();

protected:
    UserChange removeAt(int position, const QDateTime& now) override;

private:
    explicit SharedHolderList(SharedLink& link);
    // Runs a change to the holders as one transaction. The list's revision moves first, so
    // that changes from all counters take turns; the work answers whether it changed anything,
    // and only then is the change announced and committed. Answers the revision the holders
    // have with the change (0 when the work changed nothing).
    Result<qint64> change(const std::function<Result<bool>(PgConnection&)>& work);
    // Puts a change of this counter's into the list: directly when the list was up to date
    // before it, else by reading the list afresh.
    void apply(qint64 revision, const std::function<void()>& change);
    void take(SharedTables::HolderListing listing);

    SharedLink& m_link;
    QList<SharedTables::Holder> m_holders;
    QStringList m_names;
    qint64 m_revision = -1;
};

} // namespace vellumar
