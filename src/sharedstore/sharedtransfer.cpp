#include "sharedstore/sharedtransfer.h"

#include "sharedstore/sharedschema.h"
#include "sharedstore/sharedtables.h"

namespace vellumar::SharedTransfer {

namespace {

class SharedReader : public BooksWriter {
public:
    SharedReader(std::unique_ptr<PgConnection> connection, PgTransaction::Mode mode)
        : m_connection(std::move(connection)), m_transaction(*m_connection, mode) {}

    const Status& begun() const { return m_transaction.begun(); }

    Result<QStringList> holders() override {
        const Result<SharedTables::HolderListing> listing =
            SharedTables::listHolders(*m_connection);
        if (!listing)
            return listing.status();
        QStringList names;
        names.reserve(listing->holders.size());
        for (const SharedTables::Holder& holder : listing->holders)
            names.append(holder.name);
        return names;
    }

    Result<QString> passwordHash() override { return SharedTables::passwordHash(*m_connection); }

    Result<bool> readLedger(const QString& holder, LedgerSheet& sheet) override {
        const Result<Found> found = find(holder, false);
        if (!found)
            return found.status();
        if (!found->state.rows)
            return false;
        if (Status read = SharedTables::readLedger(*m_connection, found->id, found->state, sheet);
            !read)
            return read.prefixed(QStringLiteral("用户“%1”的账本无法读取：").arg(holder));
        return true;
    }

    Result<QString> ledgerRevision(const QString& holder) override {
        const Result<Found> found = find(holder, false);
        if (!found)
            return found.status();
        return QString::number(found->state.version);
    }

    // A reader only reads.
    UserChange addHolder(const QString&) override { return UserChange::failed(readOnly()); }
    Status writeLedger(const QString&, const LedgerSheet&) override { return readOnly(); }
    Status setPasswordHash(const QString&) override { return readOnly(); }
    Status commit() override { return m_transaction.commit(); }

protected:
    static Status missing(const QString& holder) {
        return Status::failure(
            QStringLiteral("用户“%1”不在共享账本中（也许刚在别的柜台被删除或改名）。").arg(holder));
    }
    static Status readOnly() { return Status::failure(QStringLiteral("只读取账本时不能修改。")); }

    struct Found {
        qint64 id = 0;
        SharedTables::LedgerState state;
    };
    // The holder and the state of their ledger; lockForSave as in ledgerState().
    Result<Found> find(const QString& holder, bool lockForSave) {
        const Result<std::optional<qint64>> id = SharedTables::findHolder(*m_connection, holder);
        if (!id)
            return id.status();
        if (!*id)
            return missing(holder);
        const Result<std::optional<SharedTables::LedgerState>> state =
            SharedTables::ledgerState(*m_connection, **id, lockForSave);
        if (!state)
            return state.status();
        if (!*state)
            return missing(holder);
        return Found{**id, **state};
    }

    std::unique_ptr<PgConnection> m_connection;
    PgTransaction m_transaction;
};

class SharedWriter final : public SharedReader {
public:
    SharedWriter(std::unique_ptr<PgConnection> connection, LedgerEditor counter)
        : SharedReader(std::move(connection), PgTransaction::Mode::ReadWrite),
          m_counter(std::move(counter)) {}

    // Holder changes of all counters take turns with this copy from here on.
    Status start() { return SharedTables::nextRevision(*m_connection).status(); }

    UserChange addHolder(const QString& name) override {
        const Result<std::optional<qint64>> id = SharedTables::insertHolder(*m_connection, name);
        if (!id)
            return UserChange::failed(id.status());
        if (!*id)
            return UserChange::refused(UserChange::Refusal::NameInUse,
                                       Status::failure(QStringLiteral("此用户已存在！")));
        m_holdersChanged = true;
        return UserChange();
    }

    Status writeLedger(const QString& holder, const LedgerSheet& sheet) override {
        const Result<std::optional<qint64>> id = SharedTables::findHolder(*m_connection, holder);
        if (!id)
            return id.status();
        if (!*id)
            return missing(holder);
        const Result<bool> held = SharedTables::holdLedgerForChange(*m_connection, **id);
        if (!held)
            return held.status();
        if (!*held) {
            const Result<std::optional<LedgerEditor>> editor =
                SharedTables::editorOf(*m_connection, **id);
            const LedgerEditor who = editor && *editor ? **editor : LedgerEditor();
            return Status::failure(
                QStringLiteral("用户“%1”的账本正在%2打开，不能替换。请等对方关闭账本后再试。")
                    .arg(holder, who.describe()));
        }
        const Result<Found> found = find(holder, true);
        if (!found)
            return found.status();
        return SharedTables::writeLedger(*m_connection, found->id, found->state, sheet, m_counter,
                                         QStringLiteral("copy"))
            .status();
    }

    Status setPasswordHash(const QString& hash) override {
        return SharedTables::storePasswordHash(*m_connection, hash);
    }

    Status commit() override {
        if (m_holdersChanged)
            if (Status announced = SharedTables::announceHolders(*m_connection); !announced)
                return announced;
        return m_transaction.commit();
    }

private:
    LedgerEditor m_counter;
    bool m_holdersChanged = false;
};

Result<std::unique_ptr<PgConnection>> connectReady(const QString& connection) {
    Result<std::unique_ptr<PgConnection>> made = PgConnection::connect(connection);
    if (!made)
        return made;
    if (Status prepared = SharedTables::prepareSession(**made); !prepared)
        return prepared;
    return made;
}

} // namespace

Result<std::unique_ptr<BooksReader>> openReader(const QString& connection) {
    Result<std::unique_ptr<PgConnection>> made = connectReady(connection);
    if (!made)
        return made.status();
    auto reader = std::make_unique<SharedReader>(std::move(made).value(),
                                                 PgTransaction::Mode::ReadOnlySnapshot);
    if (!reader->begun())
        return reader->begun();
    return std::unique_ptr<BooksReader>(std::move(reader));
}

Result<std::unique_ptr<BooksWriter>> openWriter(const QString& connection,
                                                const LedgerEditor& counter) {
    Result<std::unique_ptr<PgConnection>> made = connectReady(connection);
    if (!made)
        return made.status();
    auto writer = std::make_unique<SharedWriter>(std::move(made).value(), counter);
    if (!writer->begun())
        return writer->begun();
    if (Status started = writer->start(); !started)
        return started;
    return std::unique_ptr<BooksWriter>(std::move(writer));
}

} // namespace vellumar::SharedTransfer
