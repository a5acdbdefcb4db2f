#include "sharedstore/sharedholders.h"

#include "storage/usernames.h"

#include <climits>

namespace vellumar {

namespace {

UserChange nameInUse() {
    return UserChange::refused(UserChange::Refusal::NameInUse,
                               Status::failure(QStringLiteral("此用户已存在！")));
}

UserChange invalidName() {
    return UserChange::refused(UserChange::Refusal::InvalidName,
                               Status::failure(QStringLiteral("用户名无效！")));
}

UserChange goneElsewhere(const QString& name, const QString& notDone) {
    return UserChange::failed(Status::failure(
        QStringLiteral("%1用户“%2”刚刚已在别的柜台被删除或改名。用户列表已重新读取，请核对后"
                       "再试。")
            .arg(notDone, name)));
}

} // namespace

SharedHolderList::SharedHolderList(SharedLink& link) : m_link(link) {
    connect(&m_link, &SharedLink::noticed, this, [this](const QString& channel) {
        if (channel == QLatin1String(SharedTables::HoldersChannel))
            (void)reload();
    });
    // Notices sent while the connection was down never came.
    connect(
        &m_link, &SharedLink::reconnected, this, [this] { (void)reload(); }, Qt::QueuedConnection);
}

Result<std::unique_ptr<SharedHolderList>> SharedHolderList::open(SharedLink& link) {
    std::unique_ptr<SharedHolderList> list(new SharedHolderList(link));
    if (Status read = list->reload(); !read)
        return read;
    return Result<std::unique_ptr<SharedHolderList>>(std::move(list));
}

qsizetype SharedHolderList::fileNameLimit() const {
    // Every holder of the shared books can be copied to local books, whose ledger files
    // have names of at most this many bytes on the usual file systems.
    return NAME_MAX;
}

bool SharedHolderList::isValidName(const QString& name) const {
    return isSafeUserName(name) && fitsLedgerFileName(name, fileNameLimit());
}

Status SharedHolderList::reload() {
    Result<SharedTables::HolderListing> listing = Status();
    const Status read = m_link.run([&](PgConnection& connection) {
        listing = SharedTables::listHolders(connection);
        return listing.status();
    });
    if (!read)
        return read.prefixed(QStringLiteral("无法读取共享账本的用户列表。"));
    if (listing->revision == m_revision)
        return Status();
    const bool first = m_revision < 0;
    take(std::move(listing).value());
    if (!first)
        Q_EMIT usersReloaded();
    return Status();
}

void SharedHolderList::take(SharedTables::HolderListing listing) {
    m_revision = listing.revision;
    m_holders = std::move(listing.holders);
    m_names.clear();
    m_names.reserve(m_holders.size());
    for (const SharedTables::Holder& holder : m_holders)
        m_names.append(holder.name);
}

void SharedHolderList::apply(qint64 revision, const std::function<void()>& change) {
    // When another counter changed the holders too, the server knows the order; should the
    // list not be readable now, this change at least shows until the next notice.
    if (revision != m_revision + 1 && reload().ok())
        return;
    m_revision = revision;
    change();
}

Result<qint64> SharedHolderList::change(const std::function<Result<bool>(PgConnection&)>& work) {
    qint64 revision = 0;
    const Status done = m_link.run([&](PgConnection& connection) -> Status {
        revision = 0;
        PgTransaction transaction(connection);
        if (!transaction.begun())
            return transaction.begun();
        const Result<qint64> next = SharedTables::nextRevision(connection);
        if (!next)
            return next.status();
        const Result<bool> changed = work(connection);
        if (!changed)
            return changed.status();
        if (!*changed)
            return Status(); // rolled back
        if (Status announced = SharedTables::announceHolders(connection); !announced)
            return announced;
        if (Status committed = transaction.commit(); !committed)
            return committed;
        revision = *next;
        return Status();
    });
    if (!done)
        return done;
    return revision;
}

UserChange SharedHolderList::add(const QString& name) {
    // Whether the name is in use is the server's to say: this list may be a moment behind.
    if (!isValidName(name))
        return invalidName();
    std::optional<qint64> id;
    const Result<qint64> revision = change([&](PgConnection& connection) -> Result<bool> {
        const Result<std::optional<qint64>> inserted = SharedTables::insertHolder(connection, name);
        if (!inserted)
            return inserted.status();
        id = *inserted; // nothing when another counter took the name a moment ago
        return id.has_value();
    });
    if (!revision)
        return UserChange::failed(revision.status().prefixed(QStringLiteral("用户没有添加。")));
    if (!id) {
        (void)reload();
        return nameInUse();
    }
    apply(*revision, [&] {
        m_holders.append(SharedTables::Holder{*id, name});
        m_names.append(name);
        Q_EMIT userAdded(count() - 1);
    });
    return UserChange();
}

UserChange SharedHolderList::rename(int position, const QString& newName) {
    if (position < 0 || position >= count())
        return UserChange::failed(Status::failure(QStringLiteral("所选的用户已不在用户表中。")));
    const SharedTables::Holder holder = m_holders[position];
    if (!isValidName(newName))
        return invalidName();
    if (newName == holder.name)
        return UserChange();
    SharedTables::NameChange outcome = SharedTables::NameChange::Gone;
    const Result<qint64> revision = change([&](PgConnection& connection) -> Result<bool> {
        // By id: a ledger open at another counter keeps its holder under the new name.
        const Result<SharedTables::NameChange> changed =
            SharedTables::renameHolder(connection, holder.id, holder.name, newName);
        if (!changed)
            return changed.status();
        outcome = *changed;
        return outcome == SharedTables::NameChange::Done;
    });
    if (!revision)
        return UserChange::failed(revision.status().prefixed(QStringLiteral("用户名没有修改。")));
    switch (outcome) {
    case SharedTables::NameChange::NameInUse:
        (void)reload();
        return nameInUse();
    case SharedTables::NameChange::Gone:
        (void)reload();
        return goneElsewhere(holder.name, QStringLiteral("用户名没有修改。"));
    case SharedTables::NameChange::Done:
        break;
    }
    apply(*revision, [&] {
        m_holders[position].name = newName;
        m_names[position] = newName;
        Q_EMIT userRenamed(position);
    });
    return UserChange();
}

UserChange SharedHolderList::removeAt(int position, const QDateTime&) {
    if (position < 0 || position >= count())
        return UserChange::failed(Status::failure(QStringLiteral("所选的用户已不在用户表中。")));
    const SharedTables::Holder holder = m_holders[position];
    const QString notDeleted = QStringLiteral("用户“%1”没有删除。").arg(holder.name);
    bool gone = false;
    std::optional<LedgerEditor> openAt;
    const Result<qint64> revision = change([&](PgConnection& connection) -> Result<bool> {
        gone = false;
        openAt.reset();
        // A ledger open at another counter would be saved back for a holder who is gone.
        const Result<bool> held = SharedTables::holdLedgerForChange(connection, holder.id);
        if (!held)
            return held.status();
        if (!*held) {
            const Result<std::optional<LedgerEditor>> editor =
                SharedTables::editorOf(connection, holder.id);
            openAt = editor && *editor ? **editor : LedgerEditor();
            return false;
        }
        const Result<bool> deleted = SharedTables::deleteHolder(connection, holder.id, holder.name);
        if (!deleted)
            return deleted.status();
        gone = !*deleted;
        return *deleted;
    });
    if (!revision)
        return UserChange::failed(revision.status().prefixed(notDeleted));
    if (openAt)
        return UserChange::failed(
            Status::failure(QStringLiteral("%1这个用户的账本正在%2打开。请等对方关闭账本后再删除。")
                                .arg(notDeleted, openAt->describe())));
    if (gone) {
        (void)reload();
        return goneElsewhere(holder.name, notDeleted);
    }
    apply(*revision, [&] {
        m_holders.removeAt(position);
        m_names.removeAt(position);
        Q_EMIT userRemoved(position);
    });
    return UserChange();
}

} // namespace vellumar
