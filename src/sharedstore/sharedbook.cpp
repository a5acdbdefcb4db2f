#include "sharedstore/sharedbook.h"

#include "sharedstore/sharedtables.h"

#include <QRandomGenerator>

namespace vellumar {

namespace {

QString newSaveToken() {
    QRandomGenerator* random = QRandomGenerator::system();
    return QStringLiteral("%1%2")
        .arg(random->generate64(), 16, 16, QLatin1Char('0'))
        .arg(random->generate64(), 16, 16, QLatin1Char('0'));
}

} // namespace

SharedHolderBook::SharedHolderBook(SharedLink& link, LedgerEditor counter, QString holder,
                                   FileSystem* files, QString journalRoot)
    : m_link(link), m_counter(std::move(counter)), m_holder(std::move(holder)), m_files(files),
      m_journalRoot(std::move(journalRoot)),
      m_serverKey(static_cast<qint64>(QStringView(m_journalRoot)
                                          .mid(m_journalRoot.lastIndexOf(u'/') + 1)
                                          .toULongLong(nullptr, 16))) {
    connect(&m_link, &SharedLink::noticed, this,
            [this](const QString& channel, const QString& payload) {
                if (m_loaded && channel == QLatin1String(SharedTables::LedgersChannel) &&
                    payload == QString::number(m_id))
                    Q_EMIT changedElsewhere();
            });
    // The lock went with the old connection: it is taken again at once, before another
    // counter can, when it is still free.
    connect(&m_link, &SharedLink::reconnected, this, [this] {
        if (m_editing && !m_closed)
            (void)m_link.run(
                [this](PgConnection& connection) { return retakeIfNeeded(connection); });
    });
}

FileIdentity SharedHolderBook::identity() const {
    FileIdentity identity;
    identity.exists = true;
    // The server by its digest, the ledger by id and version: every save gives the ledger a
    // new version.
    identity.device = m_serverKey;
    identity.inode = m_id;
    identity.modifiedNs = m_version;
    return identity;
}

QString SharedHolderBook::journalFolder() const {
    return m_journalRoot + u'/' + QString::number(m_id) + QStringLiteral("/未保存的修改");
}

Result<std::optional<LeftJournal>> SharedHolderBook::leftJournal() const {
    // A ledger only looked at here changes nothing: what a run left stays for when it is
    // this counter's again.
    if (!m_journal)
        return std::optional<LeftJournal>();
    return Recovery::find(*m_files, journalFolder(), identity());
}

Status SharedHolderBook::closedWithoutSaving() {
    return m_journal ? m_journal->discard() : Status();
}

SharedHolderBook::~SharedHolderBook() {
    release();
}

QString SharedHolderBook::location() const {
    return QStringLiteral("%1 上用户“%2”的账本").arg(m_link.server(), m_holder);
}

Result<bool> SharedHolderBook::take(PgConnection& connection) {
    const Result<bool> taken = SharedTables::takeLedger(connection, m_id);
    if (!taken)
        return taken.status();
    if (*taken) {
        const Result<bool> noted = SharedTables::noteEditor(connection, m_id, m_counter);
        if (!noted)
            return noted.status();
        m_lockGeneration = m_link.generation();
        m_editor.reset();
        return true;
    }
    // Nothing known of the other counter (it is just opening the ledger) still means it
    // has it.
    const Result<std::optional<LedgerEditor>> editor = SharedTables::editorOf(connection, m_id);
    m_editor = editor && *editor ? **editor : LedgerEditor();
    return false;
}

Status SharedHolderBook::retakeIfNeeded(PgConnection& connection) {
    if (!m_editing || m_lockGeneration == m_link.generation())
        return Status();
    const Result<bool> taken = take(connection);
    if (!taken)
        return taken.status();
    if (!*taken) {
        m_editing = false;
        m_lockLost = true;
        Q_EMIT accessChanged();
    }
    return Status();
}

Result<HolderBook::Opened> SharedHolderBook::load(LedgerSheet& sheet) {
    if (m_closed)
        return refusal();
    release();
    m_loaded = false;
    m_lockLost = false;
    m_editor.reset();
    bool gone = false;
    std::optional<SharedTables::LedgerState> state;
    const Status loaded = m_link.run([&](PgConnection& connection) -> Status {
        gone = false;
        const Result<std::optional<qint64>> id = SharedTables::findHolder(connection, m_holder);
        if (!id)
            return id.status();
        if (!*id) {
            gone = true;
            return Status();
        }
        m_id = **id;
        const Result<bool> taken = take(connection);
        if (!taken)
            return taken.status();
        m_editing = *taken;
        // The version and the rows from one snapshot.
        PgTransaction transaction(connection, PgTransaction::Mode::ReadOnlySnapshot);
        if (!transaction.begun())
            return transaction.begun();
        const Result<std::optional<SharedTables::LedgerState>> found =
            SharedTables::ledgerState(connection, m_id, false);
        if (!found)
            return found.status();
        if (!*found) {
            gone = true;
            return Status();
        }
        m_onServer.clear();
        if ((*found)->rows)
            if (Status read =
                    SharedTables::readLedger(connection, m_id, **found, sheet, &m_onServer);
                !read)
                return read;
        state = **found;
        return transaction.commit();
    });
    if (!loaded || gone) {
        // Nobody is kept out of a ledger that did not open.
        release();
        if (!loaded)
            return loaded.prefixed(QStringLiteral("账本没有打开。"));
        return Status::failure(
            QStringLiteral("用户“%1”已不在共享账本中（也许刚在别的柜台被删除或改名）。请在用户"
                           "列表中核对后再打开。")
                .arg(m_holder));
    }
    m_version = state->version;
    m_loaded = true;
    m_journal.reset();
    if (m_files && !m_journalRoot.isEmpty() && m_editing)
        m_journal = std::make_unique<RecoveryJournal>(*m_files, journalFolder(), identity());
    return state->rows ? Opened::Loaded : Opened::New;
}

Status SharedHolderBook::refusal() const {
    if (m_closed)
        return Status::failure(QStringLiteral("账本已经关闭，没有保存。"));
    if (!m_loaded)
        return Status::failure(
            QStringLiteral("这个账本没有从服务器读出来。为了不覆盖服务器上的账目，这里不能保存；"
                           "如需保留窗口中的内容，请另存一份副本，然后关闭并重新打开账本。"));
    const QString who = m_editor.value_or(LedgerEditor()).describe();
    if (m_lockLost)
        return Status::failure(
            QStringLiteral("与服务器的连接中断期间，%1打开了这个账本，这里已改为只读，账目没有"
                           "保存。请把账目另存一份副本，再与对方核对。")
                .arg(who));
    return Status::failure(QStringLiteral("这个账本正在%1打开，这里只能查看，账目没有保存。如需"
                                          "保留这里的改动，请另存一份副本。")
                               .arg(who));
}

Status SharedHolderBook::save(const LedgerSheet& sheet, const QDateTime&) {
    if (m_closed || !m_loaded || !m_editing)
        return refusal();
    const QString token = newSaveToken();
    bool gone = false;
    std::optional<QString> movedBy;
    qint64 version = 0;
    const Status saved = m_link.run([&](PgConnection& connection) -> Status {
        gone = false;
        movedBy.reset();
        if (Status retaken = retakeIfNeeded(connection); !retaken)
            return retaken;
        if (!m_editing)
            return Status(); // another counter has it now: refused below
        PgTransaction transaction(connection);
        if (!transaction.begun())
            return transaction.begun();
        // Other saves of this ledger wait until this one is over.
        const Result<std::optional<SharedTables::LedgerState>> found =
            SharedTables::ledgerState(connection, m_id, true);
        if (!found)
            return found.status();
        if (!*found) {
            gone = true;
            return Status();
        }
        // What the server holds is known here only at the version loaded or saved last.
        bool known = (*found)->version == m_version;
        if (!known) {
            // A save from here whose answer was lost with the connection did go through.
            const bool ours = !m_lastSaveToken.isEmpty() &&
                              (*found)->saveToken == m_lastSaveToken &&
                              (*found)->version == m_version + 1;
            if (!ours) {
                movedBy = (*found)->savedBy;
                return Status();
            }
        }
        Result<SharedTables::SavedLedger> written = SharedTables::writeLedger(
            connection, m_id, **found, sheet, m_counter, token, known ? &m_onServer : nullptr);
        if (!written)
            return written.status();
        m_lastSaveToken = token;
        if (Status committed = transaction.commit(); !committed)
            return committed;
        version = written->version;
        m_onServer = std::move(written->fingerprints);
        return Status();
    });
    if (!saved)
        return saved.prefixed(QStringLiteral("账目没有保存到共享账本。"));
    if (!m_editing)
        return refusal();
    if (gone)
        return Status::failure(QStringLiteral("用户“%1”已在别的柜台被删除，账目没有保存。如需"
                                              "保留这些账目，请另存一份副本。")
                                   .arg(m_holder));
    if (movedBy)
        return Status::failure(
            QStringLiteral("这个账本在这里打开之后，已由%1保存过。为了不覆盖对方的账目，这次没有"
                           "保存。请把账目另存一份副本，重新打开账本后再核对。")
                .arg(movedBy->isEmpty() ? QStringLiteral("另一个柜台") : *movedBy));
    m_version = version;
    // The journal starts again from the version saved; what it cannot tidy is told, and the
    // save stands.
    m_tidiedUp = m_journal ? m_journal->restart(identity()) : Status();
    return Status();
}

void SharedHolderBook::release() {
    if (m_editing && m_lockGeneration == m_link.generation() && m_link.isConnected())
        (void)m_link.run([this](PgConnection& connection) {
            return SharedTables::releaseLedger(connection, m_id);
        });
    m_editing = false;
}

void SharedHolderBook::close() {
    release();
    m_closed = true;
}

} // namespace vellumar
