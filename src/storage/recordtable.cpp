#include "storage/recordtable.h"

#include "storage/fileerror.h"
#include "storage/posixfile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <sqlite3.h>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace vellumar {

namespace {

// Marks a SQLite file as a record table of this program ("VELL").
constexpr int ApplicationId = 0x56454C4C;
constexpr int SchemaVersion = 1;

constexpr const char* Schema = R"sql(
CREATE TABLE records (id INTEGER PRIMARY KEY AUTOINCREMENT);
CREATE TABLE fields (
    record_id INTEGER NOT NULL,
    number INTEGER NOT NULL,
    value TEXT NOT NULL,
    PRIMARY KEY (record_id, number)
) WITHOUT ROWID;
)sql";

constexpr const char* NotesSchema =
    "CREATE TABLE IF NOT EXISTS notes (id INTEGER PRIMARY KEY AUTOINCREMENT, text TEXT NOT NULL)";

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// SQLite's result codes as the operator should read them; SQLite's own (English) words stay
// in the detail.
Status sqliteFailure(sqlite3* db, int rc, const QString& path) {
    const QString table = shown(path);
    QString sentence;
    switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        sentence = QStringLiteral("数据表“%1”正被另一个程序使用（也许本程序开了两次）。"
                                  "请关闭另一个程序后重试。");
        break;
    case SQLITE_READONLY:
        sentence = QStringLiteral("数据表“%1”只能读、不能写。请检查这个文件和它所在文件夹的"
                                  "权限，以及磁盘是否只读。");
        break;
    case SQLITE_PERM:
    case SQLITE_AUTH:
        sentence = QStringLiteral("没有权限使用数据表“%1”。请检查这个文件的权限。");
        break;
    case SQLITE_FULL:
        sentence = QStringLiteral("磁盘空间已满，无法写入数据表“%1”。请腾出空间后重试。");
        break;
    case SQLITE_IOERR: {
        const int systemError = db ? sqlite3_system_errno(db) : 0;
        const QString cause = fileErrorCause(systemError);
        sentence = QStringLiteral("读写数据表“%1”时出错。") +
                   (cause.isEmpty() ? QStringLiteral("磁盘或文件系统可能有故障。") : cause);
        break;
    }
    case SQLITE_CORRUPT:
        sentence = QStringLiteral("数据表“%1”已经损坏。请从备份恢复这个文件。");
        break;
    case SQLITE_NOTADB:
        sentence = QStringLiteral("文件“%1”不是本程序的数据表，或已经损坏。");
        break;
    case SQLITE_CANTOPEN:
        // Every change also makes a journal file beside the table, so the folder must take
        // new files too. (SQLite's errno here is not the one of the refusal; it is not used.)
        sentence = QStringLiteral("无法打开数据表“%1”或它旁边的日志文件。请检查这个文件和它"
                                  "所在的文件夹是否存在、是否允许写入新文件。");
        break;
    case SQLITE_NOMEM:
        sentence = QStringLiteral("内存不足，无法使用数据表“%1”。");
        break;
    case SQLITE_CONSTRAINT:
        sentence = QStringLiteral("数据表“%1”拒绝了这次修改。");
        break;
    default:
        sentence = QStringLiteral("使用数据表“%1”时出错。");
        break;
    }
    const char* message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    return Status::failure(sentence.arg(table), QString::fromUtf8(message) + QStringLiteral("（") +
                                                    QString::fromUtf8(sqlite3_errstr(rc)) +
                                                    QStringLiteral("）"));
}

// A prepared statement that is always finished, so no view keeps the file locked.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, qint64 value) {
        if (m_rc == SQLITE_OK)
            m_rc = sqlite3_bind_int64(m_stmt, index, value);
    }
    void bind(int index, const QString& text) {
        if (m_rc != SQLITE_OK)
            return;
        const QByteArray utf8 = text.toUtf8();
        m_rc = sqlite3_bind_text(m_stmt, index, utf8.constData(), static_cast<int>(utf8.size()),
                                 SQLITE_TRANSIENT);
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() {
        if (m_rc != SQLITE_OK && m_rc != SQLITE_ROW)
            return m_rc;
        m_rc = sqlite3_step(m_stmt);
        return m_rc;
    }
    qint64 integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    QString text(int column) const {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        const int size = sqlite3_column_bytes(m_stmt, column);
        return data ? QString::fromUtf8(data, size) : QString();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc;
};

bool isStepFailure(int rc) {
    return rc != SQLITE_ROW && rc != SQLITE_DONE;
}

int execute(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// The answer of a query that yields one integer.
Result<qint64> singleInteger(sqlite3* db, const QString& path, const char* sql) {
    Statement statement(db, sql);
    const int rc = statement.step();
    if (rc == SQLITE_ROW)
        return statement.integer(0);
    return sqliteFailure(db, rc == SQLITE_DONE ? SQLITE_CORRUPT : rc, path);
}

Result<bool> hasTable(sqlite3* db, const QString& path, const char* name) {
    Statement statement(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
    statement.bind(1, QString::fromLatin1(name));
    const int rc = statement.step();
    if (isStepFailure(rc))
        return sqliteFailure(db, rc, path);
    return rc == SQLITE_ROW;
}

// A table lives in a regular file of its own; a link or anything else is never opened.
Status checkRegularFile(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        if (errno == ENOENT)
            return Status::failure(QStringLiteral("找不到数据表文件“%1”。").arg(shown(path)));
        return fileFailure(FileAction::Read, path, errno);
    }
    if (!S_ISREG(info.st_mode))
        return S_ISDIR(info.st_mode)
                   ? fileFailure(FileAction::Read, path, EISDIR)
                   : notARegularFile(FileAction::Read, path, S_ISLNK(info.st_mode));
    return Status();
}

struct Opened {
    sqlite3* db = nullptr;
    int rc = SQLITE_OK;
};

Opened openConnection(const QString& path, int flags) {
    Opened opened;
    const QByteArray file = QFile::encodeName(path);
    opened.rc =
        sqlite3_open_v2(file.constData(), &opened.db, flags | SQLITE_OPEN_NOFOLLOW, nullptr);
    if (opened.rc != SQLITE_OK)
        return opened;
    // Another view of the same table may be writing; wait for it rather than fail.
    sqlite3_busy_timeout(opened.db, 5000);
    sqlite3_extended_result_codes(opened.db, 1);
    opened.rc = execute(opened.db, "PRAGMA synchronous = FULL");
    return opened;
}

QString notATableMessage(const QString& path) {
    return QStringLiteral("文件“%1”不是本程序的数据表，或已经损坏。").arg(shown(path));
}

} // namespace

struct RecordTable::Connection {
    sqlite3* db = nullptr;
    QString path;
    ~Connection() { sqlite3_close(db); }

    Status failure(int rc) const { return sqliteFailure(db, rc, path); }

    // Runs a change as one transaction; the table is untouched unless all of it succeeds.
    template <typename Change> Status transaction(Change&& change) {
        if (const int rc = execute(db, "BEGIN IMMEDIATE"); rc != SQLITE_OK)
            return failure(rc);
        Status status = change();
        if (status.ok()) {
            if (const int rc = execute(db, "COMMIT"); rc != SQLITE_OK)
                status = failure(rc);
        }
        if (!status.ok() && !sqlite3_get_autocommit(db))
            execute(db, "ROLLBACK");
        return status;
    }

    // The database id of record n (from 1); nothing when there is no such record.
    Result<std::optional<qint64>> recordId(int record) const {
        if (record < 1)
            return std::optional<qint64>();
        Statement statement(db, "SELECT id FROM records ORDER BY id LIMIT 1 OFFSET ?1");
        statement.bind(1, record - 1);
        const int rc = statement.step();
        if (isStepFailure(rc))
            return failure(rc);
        if (rc == SQLITE_DONE)
            return std::optional<qint64>();
        return std::optional<qint64>(statement.integer(0));
    }

    Status run(Statement& statement) const {
        const int rc = statement.step();
        return isStepFailure(rc) ? failure(rc) : Status();
    }
};

RecordTable::Editor::~Editor() = default;

class RecordTable::ConnectionEditor final : public RecordTable::Editor {
public:
    explicit ConnectionEditor(Connection& connection) : m_connection(connection) {}

    Status appendRecord(const QStringList& fields) override {
        sqlite3* db = m_connection.db;
        Statement insert(db, "INSERT INTO records DEFAULT VALUES");
        if (Status status = m_connection.run(insert); !status)
            return status;
        const qint64 id = sqlite3_last_insert_rowid(db);
        for (qsizetype n = 0; n < fields.size(); ++n)
            if (Status status = put(id, static_cast<int>(n + 1), fields[n]); !status)
                return status;
        return Status();
    }

    Status writeField(int record, int field, const QString& value) override {
        const Result<std::optional<qint64>> id = m_connection.recordId(record);
        if (!id)
            return id.status();
        if (!*id || field < 1)
            return Status::failure(QStringLiteral("数据表“%1”中没有第 %2 条记录。")
                                       .arg(shown(m_connection.path))
                                       .arg(record));
        return put(**id, field, value);
    }

    Status deleteRecords(int first, int count) override {
        if (first < 1 || count < 0)
            return Status::failure(QStringLiteral("数据表“%1”中没有第 %2 条记录。")
                                       .arg(shown(m_connection.path))
                                       .arg(first));
        static constexpr const char* Doomed =
            "(SELECT id FROM records ORDER BY id LIMIT ?2 OFFSET ?1)";
        for (const char* sql :
             {"DELETE FROM fields WHERE record_id IN ", "DELETE FROM records WHERE id IN "}) {
            const QByteArray full = QByteArray(sql) + QByteArray(Doomed);
            Statement statement(m_connection.db, full.constData());
            statement.bind(1, first - 1);
            statement.bind(2, count);
            if (Status status = m_connection.run(statement); !status)
                return status;
        }
        return Status();
    }

    Result<qint64> addNote(const QString& text) override {
        if (const int rc = execute(m_connection.db, NotesSchema); rc != SQLITE_OK)
            return m_connection.failure(rc);
        Statement insert(m_connection.db, "INSERT INTO notes (text) VALUES (?1)");
        insert.bind(1, text);
        if (Status status = m_connection.run(insert); !status)
            return status;
        return static_cast<qint64>(sqlite3_last_insert_rowid(m_connection.db));
    }

    Status removeNote(qint64 id) override {
        const Result<bool> exists = hasTable(m_connection.db, m_connection.path, "notes");
        if (!exists)
            return exists.status();
        if (!*exists)
            return Status();
        Statement remove(m_connection.db, "DELETE FROM notes WHERE id = ?1");
        remove.bind(1, id);
        return m_connection.run(remove);
    }

private:
    Status put(qint64 id, int field, const QString& value) {
        Statement statement(m_connection.db, "INSERT OR REPLACE INTO fields (record_id, number, "
                                             "value) VALUES (?1, ?2, ?3)");
        statement.bind(1, id);
        statement.bind(2, field);
        statement.bind(3, value);
        return m_connection.run(statement);
    }

    Connection& m_connection;
};

RecordTable::RecordTable(QString path, std::unique_ptr<Connection> connection)
    : m_path(std::move(path)), m_connection(std::move(connection)) {}

RecordTable::RecordTable(RecordTable&&) noexcept = default;
RecordTable& RecordTable::operator=(RecordTable&&) noexcept = default;
RecordTable::~RecordTable() = default;

Result<RecordTable> RecordTable::open(const QString& path) {
    if (Status regular = checkRegularFile(path); !regular)
        return regular;

    auto connection = std::make_unique<Connection>();
    connection->path = path;
    const Opened opened = openConnection(path, SQLITE_OPEN_READWRITE);
    connection->db = opened.db;
    if (opened.rc != SQLITE_OK)
        return connection->failure(opened.rc);

    // Only a file that carries this program's mark and layout is used; anything else is left
    // as it is, so a damaged or foreign file is never "repaired" into an empty table.
    const Result<qint64> applicationId =
        singleInteger(connection->db, path, "PRAGMA application_id");
    if (!applicationId) {
        const int rc = sqlite3_errcode(connection->db);
        if ((rc & 0xFF) == SQLITE_NOTADB || (rc & 0xFF) == SQLITE_CORRUPT)
            return Status::failure(notATableMessage(path), applicationId.status().detail());
        return applicationId.status();
    }
    if (*applicationId != ApplicationId)
        return Status::failure(notATableMessage(path));
    for (const char* name : {"records", "fields"}) {
        const Result<bool> present = hasTable(connection->db, path, name);
        if (!present)
            return present.status();
        if (!*present)
            return Status::failure(notATableMessage(path));
    }
    return RecordTable(path, std::move(connection));
}

Status RecordTable::create(const QString& path, int emptyRecords) {
    // Build the table under a name of its own beside the final one, then give it the final
    // name in one step that fails rather than replace a file that is there.
    const QString temporary =
        QStringLiteral("%1.new-%2-%3")
            .arg(path)
            .arg(::getpid())
            .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
    Status status;
    {
        Connection connection;
        connection.path = path;
        const Opened opened = openConnection(temporary, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        connection.db = opened.db;
        if (opened.rc != SQLITE_OK) {
            status = connection.failure(opened.rc);
        } else {
            status = connection.transaction([&] {
                const QByteArray pragmas = QByteArray("PRAGMA application_id = ") +
                                           QByteArray::number(ApplicationId) +
                                           QByteArray("; PRAGMA user_version = ") +
                                           QByteArray::number(SchemaVersion) + QByteArray(";");
                for (const char* sql : {pragmas.constData(), Schema})
                    if (const int rc = execute(connection.db, sql); rc != SQLITE_OK)
                        return connection.failure(rc);
                for (int i = 0; i < emptyRecords; ++i)
                    if (const int rc = execute(connection.db, "INSERT INTO records DEFAULT VALUES");
                        rc != SQLITE_OK)
                        return connection.failure(rc);
                return Status();
            });
        }
    }
    if (status.ok()) {
        if (const int error = PosixFile::renameWithoutReplacing(temporary, path); error != 0)
            status = fileFailure(FileAction::Write, path, error);
    }
    if (!status.ok()) {
        QFile::remove(temporary);
        QFile::remove(temporary + QStringLiteral("-journal"));
    }
    return status;
}

Result<int> RecordTable::recordCount() const {
    const Result<qint64> count =
        singleInteger(m_connection->db, m_path, "SELECT count(*) FROM records");
    if (!count)
        return count.status();
    return static_cast<int>(*count);
}

Result<QString> RecordTable::readField(int record, int field) const {
    if (record < 1 || field < 1)
        return QString();
    Statement statement(m_connection->db,
                        "SELECT value FROM fields WHERE number = ?2 AND record_id = "
                        "(SELECT id FROM records ORDER BY id LIMIT 1 OFFSET ?1)");
    statement.bind(1, record - 1);
    statement.bind(2, field);
    const int rc = statement.step();
    if (isStepFailure(rc))
        return m_connection->failure(rc);
    return rc == SQLITE_ROW ? statement.text(0) : QString();
}

Result<QStringList> RecordTable::readColumn(int field) const {
    Statement statement(m_connection->db, "SELECT f.value FROM records r LEFT JOIN fields f "
                                          "ON f.record_id = r.id AND f.number = ?1 ORDER BY r.id");
    statement.bind(1, field);
    QStringList values;
    for (;;) {
        const int rc = statement.step();
        if (rc == SQLITE_DONE)
            return values;
        if (rc != SQLITE_ROW)
            return m_connection->failure(rc);
        values.append(statement.text(0));
    }
}

Result<QList<RecordTable::Note>> RecordTable::notes() const {
    const Result<bool> present = hasTable(m_connection->db, m_path, "notes");
    if (!present)
        return present.status();
    QList<Note> all;
    if (!*present)
        return all;
    Statement statement(m_connection->db, "SELECT id, text FROM notes ORDER BY id");
    for (;;) {
        const int rc = statement.step();
        if (rc == SQLITE_DONE)
            return all;
        if (rc != SQLITE_ROW)
            return m_connection->failure(rc);
        all.append(Note{statement.integer(0), statement.text(1)});
    }
}

Status RecordTable::change(const std::function<Status(Editor&)>& changes) {
    return m_connection->transaction([&] {
        ConnectionEditor editor(*m_connection);
        return changes(editor);
    });
}

Status RecordTable::writeField(int record, int field, const QString& value) {
    return change([&](Editor& editor) { return editor.writeField(record, field, value); });
}

Status RecordTable::appendRecord(const QStringList& fields) {
    return change([&](Editor& editor) { return editor.appendRecord(fields); });
}

Status RecordTable::deleteRecords(int first, int count) {
    return change([&](Editor& editor) { return editor.deleteRecords(first, count); });
}

} // namespace vellumar
