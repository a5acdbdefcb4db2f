#include "sharedstore/sharedtables.h"

#include "ledger/ledgerrecords.h"
#include "sharedstore/ledgercopy.h"
#include "sharedstore/pgfailure.h"
#include "sharedstore/sharedschema.h"

#include <QSysInfo>

#include <algorithm>

#include <pwd.h>
#include <unistd.h>

namespace vellumar::SharedTables {

namespace {

QByteArray number(qint64 value) {
    return QByteArray::number(value);
}

QByteArray text(const QString& value) {
    return value.toUtf8();
}

QString signedInUser() {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[1024];
    if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return qEnvironmentVariable("USER");
}

} // namespace

Status prepareSession(PgConnection& connection) {
    if (Status prepared = SharedSchema::prepare(connection); !prepared)
        return prepared;
    // A change that waits this long for another counter's (an upload, say) gives up and
    // says so, rather than holding the window.
    return connection.run("SET lock_timeout = '20s'").status();
}

LedgerEditor thisCounter(const QString& counterName) {
    LedgerEditor editor;
    editor.host = QSysInfo::machineHostName();
    editor.counter = counterName.isEmpty() ? editor.host : counterName;
    editor.osUser = signedInUser();
    return editor;
}

Result<HolderListing> listHolders(PgConnection& connection) {
    // One statement sees one snapshot: the revision belongs to exactly these holders.
    const Result<PgResult> rows =
        connection.run("SELECT (SELECT revision FROM holder_list_revision), id, name FROM holders "
                       "ORDER BY position");
    if (!rows)
        return rows.status();
    HolderListing listing;
    if (rows->rowCount() == 0) {
        const Result<PgResult> revision =
            connection.run("SELECT revision FROM holder_list_revision");
        if (!revision)
            return revision.status();
        listing.revision = revision->integer(0, 0).value_or(0);
        return listing;
    }
    listing.revision = rows->integer(0, 0).value_or(0);
    listing.holders.reserve(rows->rowCount());
    for (int row = 0; row < rows->rowCount(); ++row)
        listing.holders.append(Holder{rows->integer(row, 1).value_or(0), rows->text(row, 2)});
    return listing;
}

Result<std::optional<qint64>> findHolder(PgConnection& connection, const QString& name) {
    const Result<PgResult> found =
        connection.run("SELECT id FROM holders WHERE name = $1", {text(name)});
    if (!found)
        return found.status();
    if (found->rowCount() == 0)
        return std::optional<qint64>();
    return found->integer(0, 0);
}

Result<qint64> nextRevision(PgConnection& connection) {
    const Result<PgResult> bumped = connection.run(
        "UPDATE holder_list_revision SET revision = revision + 1 RETURNING revision");
    if (!bumped)
        return bumped.status();
    const std::optional<qint64> revision = bumped->integer(0, 0);
    if (!revision)
        return Status::failure(QStringLiteral("%1 里的共享账本缺少一张记录用的表，请让管理员检查。")
                                   .arg(connection.server()));
    return *revision;
}

Result<std::optional<qint64>> insertHolder(PgConnection& connection, const QString& name) {
    PgResult inserted =
        connection.exec("INSERT INTO holders (name) VALUES ($1) RETURNING id", {text(name)});
    if (!inserted.succeeded()) {
        if (inserted.sqlState() == SqlState::UniqueViolation)
            return std::optional<qint64>();
        return connection.failure(inserted);
    }
    return inserted.integer(0, 0);
}

Result<NameChange> renameHolder(PgConnection& connection, qint64 id, const QString& oldName,
                                const QString& newName) {
    PgResult renamed = connection.exec("UPDATE holders SET name = $3 WHERE id = $1 AND name = $2",
                                       {number(id), text(oldName), text(newName)});
    if (!renamed.succeeded()) {
        if (renamed.sqlState() == SqlState::UniqueViolation)
            return NameChange::NameInUse;
        return connection.failure(renamed);
    }
    return renamed.changedRows() == 1 ? NameChange::Done : NameChange::Gone;
}

Result<bool> deleteHolder(PgConnection& connection, qint64 id, const QString& name) {
    const Result<PgResult> deleted =
        connection.run("DELETE FROM holders WHERE id = $1 AND name = $2", {number(id), text(name)});
    if (!deleted)
        return deleted.status();
    return deleted->changedRows() == 1;
}

Status announceHolders(PgConnection& connection) {
    return connection.run("SELECT pg_notify($1, '')", {QByteArray(HoldersChannel)}).status();
}

Status announceLedger(PgConnection& connection, qint64 id) {
    return connection.run("SELECT pg_notify($1, $2)", {QByteArray(LedgersChannel), number(id)})
        .status();
}

Result<QString> passwordHash(PgConnection& connection) {
    const Result<PgResult> stored =
        connection.run("SELECT value FROM settings WHERE name = 'password'");
    if (!stored)
        return stored.status();
    return stored->rowCount() == 0 ? QString() : stored->text(0, 0);
}

Status storePasswordHash(PgConnection& connection, const QString& hash) {
    return connection
        .run("INSERT INTO settings (name, value) VALUES ('password', $1) "
             "ON CONFLICT (name) DO UPDATE SET value = excluded.value",
             {text(hash)})
        .status();
}

Result<std::optional<LedgerState>> ledgerState(PgConnection& connection, qint64 id,
                                               bool lockForSave) {
    const char* const read =
        "SELECT ledger_rows, ledger_version, coalesce(save_token, ''), coalesce(saved_by, ''), "
        "ledger_layout FROM holders WHERE id = $1";
    const char* const locking =
        "SELECT ledger_rows, ledger_version, coalesce(save_token, ''), coalesce(saved_by, ''), "
        "ledger_layout FROM holders WHERE id = $1 FOR UPDATE";
    const Result<PgResult> found = connection.run(lockForSave ? locking : read, {number(id)});
    if (!found)
        return found.status();
    if (found->rowCount() == 0)
        return std::optional<LedgerState>();
    LedgerState state;
    state.rows = found->integer(0, 0);
    state.version = found->integer(0, 1).value_or(0);
    state.saveToken = found->text(0, 2);
    state.savedBy = found->text(0, 3);
    state.layout = found->integer(0, 4).value_or(0);
    return std::optional<LedgerState>(state);
}

Status readLedger(PgConnection& connection, qint64 id, const LedgerState& state, LedgerSheet& sheet,
                  std::vector<LedgerCopy::Fingerprint>* fingerprints) {
    Result<LedgerCopy::Reader> reader = LedgerCopy::Reader::start(state.rows.value_or(0));
    if (!reader)
        return reader.status();
    // COPY takes no parameters; the values in it are the holder's id and layout, numbers.
    const QByteArray copy = QByteArrayLiteral("COPY (SELECT row_number, ") +
                            LedgerCopy::CellColumns +
                            QByteArrayLiteral(" FROM ledger_rows WHERE holder_id = ") + number(id) +
                            QByteArrayLiteral(" AND layout = ") + number(state.layout) +
                            QByteArrayLiteral(") TO STDOUT (FORMAT binary)");
    if (Status read = connection.copyOut(copy.constData(),
                                         [&](QByteArrayView data) { return reader->feed(data); });
        !read)
        return read;
    Result<LedgerCopy::Reader::Rows> loaded = reader->finish();
    if (!loaded)
        return loaded.status();
    // What the server holds, before the titles go in.
    std::vector<LedgerCopy::Fingerprint> prints;
    if (fingerprints)
        prints = LedgerCopy::fingerprints(loaded->rows);
    sheet.replaceRows(std::move(loaded->rows), std::move(loaded->text));
    if (const Result<bool> titled = LedgerRecords::placeTitles(sheet); !titled) {
        sheet.replaceRows(std::vector<LedgerSheet::Row>(LedgerSheet::InitialRowCount));
        return titled.status();
    }
    if (fingerprints)
        *fingerprints = std::move(prints);
    return Status();
}

namespace {

// The rows whose fingerprints differ: those the server has to lose, and those to write.
struct RowChanges {
    std::vector<int> gone;
    std::vector<int> written;
};

RowChanges changedRows(const std::vector<LedgerCopy::Fingerprint>& before,
                       const std::vector<LedgerCopy::Fingerprint>& after) {
    RowChanges changes;
    const LedgerCopy::Fingerprint none{};
    for (size_t row = 0; row < std::max(before.size(), after.size()); ++row) {
        const LedgerCopy::Fingerprint& was = row < before.size() ? before[row] : none;
        const LedgerCopy::Fingerprint& is = row < after.size() ? after[row] : none;
        if (was == is)
            continue;
        if (was != none)
            changes.gone.push_back(static_cast<int>(row));
        if (is != none)
            changes.written.push_back(static_cast<int>(row));
    }
    return changes;
}

// The rows as a PostgreSQL array, for "= ANY($n::integer[])".
QByteArray rowArray(const std::vector<int>& rows) {
    QByteArray text = "{";
    for (size_t n = 0; n < rows.size(); ++n) {
        if (n)
            text += ',';
        text += QByteArray::number(rows[n]);
    }
    return text + '}';
}

Status copyRows(PgConnection& connection, qint64 id, qint64 layout, const LedgerSheet& sheet,
                const std::vector<int>* onlyRows) {
    const QByteArray copy = QByteArrayLiteral("COPY ledger_rows (holder_id, layout, row_number, ") +
                            LedgerCopy::CellColumns +
                            QByteArrayLiteral(") FROM STDIN (FORMAT binary)");
    return connection.copyIn(copy.constData(), [&](const PgConnection::CopySink& sink) {
        return LedgerCopy::write(LedgerCopy::Stored{id, layout}, sheet, sink, onlyRows);
    });
}

} // namespace

Result<SavedLedger> writeLedger(PgConnection& connection, qint64 id, const LedgerState& state,
                                const LedgerSheet& sheet, const LedgerEditor& by,
                                const QString& saveToken,
                                const std::vector<LedgerCopy::Fingerprint>* onServer) {
    if (Status storable = LedgerCopy::checkStorable(sheet); !storable)
        return storable;
    SavedLedger saved;
    saved.version = state.version + 1;
    saved.fingerprints = LedgerCopy::fingerprints(sheet.rows());
    qint64 layout = state.layout;
    const RowChanges changes = onServer ? changedRows(*onServer, saved.fingerprints) : RowChanges();
    // Rows written again under their old keys cost the server a look at the dead ones; beyond
    // a quarter of the ledger, writing it whole under new keys is quicker.
    const size_t changed = changes.gone.size() + changes.written.size();

    if (onServer && changed <= std::max<size_t>(1000, saved.fingerprints.size() / 4)) {
        if (!changes.gone.empty())
            if (const Result<PgResult> dropped =
                    connection.run("DELETE FROM ledger_rows WHERE holder_id = $1 AND layout = $2 "
                                   "AND row_number = ANY($3::integer[])",
                                   {number(id), number(layout), rowArray(changes.gone)});
                !dropped)
                return dropped.status();
        if (!changes.written.empty())
            if (Status written = copyRows(connection, id, layout, sheet, &changes.written);
                !written)
                return written;
    } else {
        layout = saved.version;
        if (Status written = copyRows(connection, id, layout, sheet, nullptr); !written)
            return written;
        if (const Result<PgResult> cleared =
                connection.run("DELETE FROM ledger_rows WHERE holder_id = $1 AND layout <> $2",
                               {number(id), number(layout)});
            !cleared)
            return cleared.status();
    }
    const Result<PgResult> stamped = connection.run(
        "UPDATE holders SET ledger_rows = $2, ledger_version = $3, ledger_layout = $4, "
        "saved_by = $5, saved_at = now(), save_token = $6 WHERE id = $1",
        {number(id), number(sheet.rowCount()), number(saved.version), number(layout),
         text(by.describe()), text(saveToken)});
    if (!stamped)
        return stamped.status();
    if (stamped->changedRows() != 1)
        return Status::failure(QStringLiteral("账本所属的用户已在别的柜台被删除，账目没有保存。"));
    if (Status announced = announceLedger(connection, id); !announced)
        return announced;
    return saved;
}

Result<bool> takeLedger(PgConnection& connection, qint64 id) {
    const Result<PgResult> taken = connection.run("SELECT pg_try_advisory_lock($1, $2)",
                                                  {number(LedgerLockSpace), number(id)});
    if (!taken)
        return taken.status();
    return taken->boolean(0, 0);
}

Result<bool> holdLedgerForChange(PgConnection& connection, qint64 id) {
    const Result<PgResult> taken = connection.run("SELECT pg_try_advisory_xact_lock($1, $2)",
                                                  {number(LedgerLockSpace), number(id)});
    if (!taken)
        return taken.status();
    return taken->boolean(0, 0);
}

Result<bool> noteEditor(PgConnection& connection, qint64 id, const LedgerEditor& editor) {
    PgResult noted = connection.exec(
        "INSERT INTO ledger_editors (holder_id, counter, host, os_user, since, backend_pid) "
        "VALUES ($1, $2, $3, $4, now(), pg_backend_pid()) "
        "ON CONFLICT (holder_id) DO UPDATE SET counter = excluded.counter, host = excluded.host, "
        "os_user = excluded.os_user, since = excluded.since, backend_pid = excluded.backend_pid",
        {number(id), text(editor.counter), text(editor.host), text(editor.osUser)});
    if (!noted.succeeded()) {
        if (noted.sqlState() == u"23503") // the holder went meanwhile
            return false;
        return connection.failure(noted);
    }
    return true;
}

Result<std::optional<LedgerEditor>> editorOf(PgConnection& connection, qint64 id) {
    // A note whose counter no longer holds the lock (it crashed, its connection broke) is
    // left over, not an editor.
    const Result<PgResult> found = connection.run(
        "SELECT e.counter, e.host, e.os_user, (extract(epoch FROM e.since) * 1000)::bigint "
        "FROM ledger_editors e WHERE e.holder_id = $1 AND EXISTS (SELECT 1 FROM pg_locks l "
        "WHERE l.locktype = 'advisory' AND l.classid = $2::bigint::oid "
        "AND l.objid = $1::bigint::oid AND l.objsubid = 2 AND l.pid = e.backend_pid "
        "AND l.granted)",
        {number(id), number(LedgerLockSpace)});
    if (!found)
        return found.status();
    if (found->rowCount() == 0)
        return std::optional<LedgerEditor>();
    LedgerEditor editor;
    editor.counter = found->text(0, 0);
    editor.host = found->text(0, 1);
    editor.osUser = found->text(0, 2);
    if (const std::optional<qint64> since = found->integer(0, 3))
        editor.since = QDateTime::fromMSecsSinceEpoch(*since);
    return std::optional<LedgerEditor>(editor);
}

Status releaseLedger(PgConnection& connection, qint64 id) {
    if (const Result<PgResult> dropped =
            connection.run("DELETE FROM ledger_editors WHERE holder_id = $1 AND "
                           "backend_pid = pg_backend_pid()",
                           {number(id)});
        !dropped)
        return dropped.status();
    if (const Result<PgResult> unlocked = connection.run("SELECT pg_advisory_unlock($1, $2)",
                                                         {number(LedgerLockSpace), number(id)});
        !unlocked)
        return unlocked.status();
    return announceLedger(connection, id);
}

} // namespace vellumar::SharedTables
