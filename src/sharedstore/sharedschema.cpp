#include "sharedstore/sharedschema.h"

#include "sharedstore/sharedtables.h"

namespace vellumar::SharedSchema {

namespace {

// What each version adds, in order; the version number itself is written beside it.
constexpr const char* Steps[CurrentVersion] = {
    // 1: the books.
    R"sql(
CREATE TABLE schema_version (version integer NOT NULL);
INSERT INTO schema_version VALUES (0);
CREATE TABLE settings (name text PRIMARY KEY, value text NOT NULL);
CREATE SEQUENCE holder_positions;
CREATE TABLE holders (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    position bigint NOT NULL UNIQUE DEFAULT nextval('holder_positions'),
    name text NOT NULL UNIQUE,
    ledger_rows integer CHECK (ledger_rows BETWEEN 0 AND 5000000),
    ledger_version bigint NOT NULL DEFAULT 0,
    ledger_layout bigint NOT NULL DEFAULT 0
);
ALTER SEQUENCE holder_positions OWNED BY holders.position;
CREATE TABLE holder_list_revision (revision bigint NOT NULL);
INSERT INTO holder_list_revision VALUES (0);
CREATE TABLE ledger_rows (
    holder_id bigint NOT NULL REFERENCES holders (id) ON DELETE CASCADE,
    layout bigint NOT NULL,
    row_number integer NOT NULL CHECK (row_number >= 0),
    serial text NOT NULL,
    product text NOT NULL,
    quantity text NOT NULL,
    unit text NOT NULL,
    unit_price text NOT NULL,
    total text NOT NULL,
    date text NOT NULL,
    remark text NOT NULL,
    PRIMARY KEY (holder_id, layout, row_number)
);
)sql",
    // 2: working together.
    R"sql(
CREATE TABLE ledger_editors (
    holder_id bigint PRIMARY KEY REFERENCES holders (id) ON DELETE CASCADE,
    counter text NOT NULL,
    host text NOT NULL,
    os_user text NOT NULL,
    since timestamptz NOT NULL DEFAULT now(),
    backend_pid integer NOT NULL
);
ALTER TABLE holders
    ADD COLUMN saved_by text,
    ADD COLUMN saved_at timestamptz,
    ADD COLUMN save_token text;
)sql",
};

Status checkEncoding(PgConnection& connection) {
    const Result<PgResult> encoding = connection.run("SHOW server_encoding");
    if (!encoding)
        return encoding.status();
    const QString name = encoding->text(0, 0);
    if (name.compare(u"UTF8", Qt::CaseInsensitive) != 0)
        return Status::failure(QStringLiteral("%1 的文字编码是 %2，存不下账本里的所有文字。"
                                              "请让管理员用 UTF8 编码新建数据库"
                                              "（createdb -E UTF8 …）。")
                                   .arg(connection.server(), name));
    return Status();
}

Status tooNew(const PgConnection& connection, int found) {
    return Status::failure(
        QStringLiteral("%1 里的共享账本是更新版本的 Vellumar 建立的（结构版本 %2，本程序只认识"
                       "到版本 %3）。为了不损坏账本，本程序不使用它。请先把本柜台的 Vellumar "
                       "更新到最新版本。")
            .arg(connection.server())
            .arg(found)
            .arg(CurrentVersion));
}

// Runs the next step if one is due; answers the version the database is at afterwards.
Result<int> step(PgConnection& connection, int targetVersion) {
    PgTransaction transaction(connection);
    if (!transaction.begun())
        return transaction.begun();
    // Counters that start on a new database at once make its tables one after the other.
    if (const Result<PgResult> locked =
            connection.run("SELECT pg_advisory_xact_lock($1, 0)",
                           {QByteArray::number(SharedTables::SchemaLockSpace)});
        !locked)
        return locked.status();
    const Result<int> found = version(connection);
    if (!found)
        return found;
    if (*found > CurrentVersion)
        return tooNew(connection, *found);
    if (*found >= targetVersion)
        return *found;
    const int next = *found + 1;
    if (Status made = connection.runScript(Steps[next - 1]); !made)
        return made.prefixed(
            QStringLiteral("共享账本的数据表没能建立或升级到版本 %1，什么也没有改动。").arg(next));
    if (const Result<PgResult> numbered =
            connection.run("UPDATE schema_version SET version = $1", {QByteArray::number(next)});
        !numbered)
        return numbered.status();
    if (Status committed = transaction.commit(); !committed)
        return committed;
    return next;
}

} // namespace

Result<int> version(PgConnection& connection) {
    const Result<PgResult> exists =
        connection.run("SELECT to_regclass('schema_version') IS NOT NULL");
    if (!exists)
        return exists.status();
    if (!exists->boolean(0, 0))
        return 0;
    const Result<PgResult> found = connection.run("SELECT version FROM schema_version");
    if (!found)
        return found.status();
    const std::optional<qint64> number =
        found->rowCount() == 1 ? found->integer(0, 0) : std::nullopt;
    if (!number || *number < 0)
        return Status::failure(
            QStringLiteral("%1 里记录数据表版本的表已损坏，程序不使用这个数据库。请让管理员检查。")
                .arg(connection.server()));
    return static_cast<int>(*number);
}

Status prepare(PgConnection& connection, int targetVersion) {
    if (Status encoded = checkEncoding(connection); !encoded)
        return encoded;
    for (;;) {
        const Result<int> reached = step(connection, targetVersion);
        if (!reached)
            return reached.status();
        if (*reached >= targetVersion)
            return Status();
    }
}

} // namespace vellumar::SharedSchema
