#include "storage/recordtable.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstdio>

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

// A prepared statement that is always finished, so no view keeps the file locked.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) : m_db(db) {
        m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool prepared() const { return m_rc == SQLITE_OK; }
    void bind(int index, qint64 value) { sqlite3_bind_int64(m_stmt, index, value); }
    void bind(int index, const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_stmt, index, utf8.constData(), static_cast<int>(utf8.size()),
                          SQLITE_TRANSIENT);
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() {
        if (!prepared())
            return m_rc;
        return m_rc = sqlite3_step(m_stmt);
    }
    qint64 integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    QString text(int column) const {
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        const int size = sqlite3_column_bytes(m_stmt, column);
        return data ? QString::fromUtf8(data, size) : QString();
    }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(m_db)); }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc;
};

bool execute(sqlite3* db, const char* sql, QString* error = nullptr) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK && error)
        *error = QString::fromUtf8(message ? message : sqlite3_errstr(rc));
    sqlite3_free(message);
    return rc == SQLITE_OK;
}

std::optional<qint64> pragmaValue(sqlite3* db, const char* sql) {
    Statement statement(db, sql);
    if (statement.step() != SQLITE_ROW)
        return std::nullopt;
    return statement.integer(0);
}

bool hasTable(sqlite3* db, const char* name) {
    Statement statement(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
    statement.bind(1, QString::fromLatin1(name));
    return statement.step() == SQLITE_ROW;
}

sqlite3* openConnection(const QString& path, int flags) {
    sqlite3* db = nullptr;
    const QByteArray file = QFile::encodeName(path);
    if (sqlite3_open_v2(file.constData(), &db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    // Another view of the same table may be writing; wait for it rather than fail.
    sqlite3_busy_timeout(db, 5000);
    execute(db, "PRAGMA synchronous = FULL");
    return db;
}

QString notATableMessage(const QString& path) {
    return QStringLiteral("文件“%1”不是本程序的数据表，或已经损坏。").arg(path);
}

} // namespace

struct RecordTable::Connection {
    sqlite3* db = nullptr;
    ~Connection() { sqlite3_close(db); }

    // Runs a change as one transaction; the table is untouched unless all of it succeeds.
    template <typename Change> Status transaction(Change&& change) {
        QString error;
        if (!execute(db, "BEGIN IMMEDIATE", &error))
            return Status::failure(QStringLiteral("数据表正忙或无法写入：") + error);
        Status status = change();
        if (status.ok() && !execute(db, "COMMIT", &error))
            status = Status::failure(QStringLiteral("数据表写入失败：") + error);
        if (!status.ok())
            execute(db, "ROLLBACK");
        return status;
    }

    // The database id of record n (from 1), if there is one.
    std::optional<qint64> recordId(int record) const {
        if (record < 1)
            return std::nullopt;
        Statement statement(db, "SELECT id FROM records ORDER BY id LIMIT 1 OFFSET ?1");
        statement.bind(1, record - 1);
        if (statement.step() != SQLITE_ROW)
            return std::nullopt;
        return statement.integer(0);
    }
};

RecordTable::RecordTable(QString path, std::unique_ptr<Connection> connection)
    : m_path(std::move(path)), m_connection(std::move(connection)) {}

RecordTable::RecordTable(RecordTable&&) noexcept = default;
RecordTable& RecordTable::operator=(RecordTable&&) noexcept = default;
RecordTable::~RecordTable() = default;

std::optional<RecordTable> RecordTable::open(const QString& path, QString* error) {
    auto fail = [&](const QString& message) -> std::optional<RecordTable> {
        if (error)
            *error = message;
        return std::nullopt;
    };
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("找不到数据表文件“%1”。").arg(path));

    auto connection = std::make_unique<Connection>();
    connection->db = openConnection(path, SQLITE_OPEN_READWRITE);
    if (!connection->db)
        return fail(QStringLiteral("无法打开数据表文件“%1”。").arg(path));

    // Only a file that carries this program's mark and layout is used; anything else is left
    // as it is, so a damaged or foreign file is never "repaired" into an empty table.
    const auto applicationId = pragmaValue(connection->db, "PRAGMA application_id");
    if (!applicationId || *applicationId != ApplicationId || !hasTable(connection->db, "records") ||
        !hasTable(connection->db, "fields"))
        return fail(notATableMessage(path));

    return RecordTable(path, std::move(connection));
}

Status RecordTable::create(const QString& path, int emptyRecords) {
    if (QFileInfo::exists(path))
        return Status::failure(QStringLiteral("数据表文件“%1”已经存在。").arg(path));

    // Build the table beside its final name, then move it into place in one step.
    const QString temporary = path + QStringLiteral(".new");
    QFile::remove(temporary);
    QFile::remove(temporary + QStringLiteral("-journal"));
    Status status;
    {
        Connection connection;
        connection.db = openConnection(temporary, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        if (!connection.db)
            return Status::failure(QStringLiteral("无法创建数据表文件“%1”。").arg(path));
        status = connection.transaction([&] {
            QString error;
            const QByteArray pragmas = QByteArray("PRAGMA application_id = ") +
                                       QByteArray::number(ApplicationId) +
                                       QByteArray("; PRAGMA user_version = ") +
                                       QByteArray::number(SchemaVersion) + QByteArray(";");
            if (!execute(connection.db, pragmas.constData(), &error) ||
                !execute(connection.db, Schema, &error))
                return Status::failure(QStringLiteral("无法创建数据表：") + error);
            for (int i = 0; i < emptyRecords; ++i)
                if (!execute(connection.db, "INSERT INTO records DEFAULT VALUES", &error))
                    return Status::failure(QStringLiteral("无法创建数据表：") + error);
            return Status();
        });
    }
    if (status.ok() && std::rename(QFile::encodeName(temporary).constData(),
                                   QFile::encodeName(path).constData()) != 0)
        status = Status::failure(QStringLiteral("无法创建数据表文件“%1”。").arg(path));
    if (!status.ok())
        QFile::remove(temporary);
    return status;
}

int RecordTable::recordCount() const {
    return static_cast<int>(
        pragmaValue(m_connection->db, "SELECT count(*) FROM records").value_or(0));
}

QString RecordTable::readField(int record, int field) const {
    Statement statement(m_connection->db,
                        "SELECT value FROM fields WHERE number = ?2 AND record_id = "
                        "(SELECT id FROM records ORDER BY id LIMIT 1 OFFSET ?1)");
    statement.bind(1, record - 1);
    statement.bind(2, field);
    if (record < 1 || field < 1 || statement.step() != SQLITE_ROW)
        return QString();
    return statement.text(0);
}

Status RecordTable::writeField(int record, int field, const QString& value) {
    return m_connection->transaction([&] {
        const auto id = m_connection->recordId(record);
        if (!id || field < 1)
            return Status::failure(QStringLiteral("数据表中没有第 %1 条记录。").arg(record));
        Statement statement(m_connection->db,
                            "INSERT OR REPLACE INTO fields (record_id, number, value) "
                            "VALUES (?1, ?2, ?3)");
        statement.bind(1, *id);
        statement.bind(2, field);
        statement.bind(3, value);
        if (statement.step() != SQLITE_DONE)
            return Status::failure(QStringLiteral("数据表写入失败：") + statement.error());
        return Status();
    });
}

Status RecordTable::appendRecord() {
    return m_connection->transaction([&] {
        QString error;
        if (!execute(m_connection->db, "INSERT INTO records DEFAULT VALUES", &error))
            return Status::failure(QStringLiteral("数据表写入失败：") + error);
        return Status();
    });
}

Status RecordTable::deleteRecords(int first, int count) {
    if (first < 1 || count < 0)
        return Status::failure(QStringLiteral("数据表中没有第 %1 条记录。").arg(first));
    return m_connection->transaction([&] {
        static constexpr const char* Doomed =
            "(SELECT id FROM records ORDER BY id LIMIT ?2 OFFSET ?1)";
        for (const char* sql : {"DELETE FROM fields WHERE record_id IN ", "DELETE FROM records "
                                                                          "WHERE id IN "}) {
            const QByteArray full = QByteArray(sql) + QByteArray(Doomed);
            Statement statement(m_connection->db, full.constData());
            statement.bind(1, first - 1);
            statement.bind(2, count);
            if (statement.step() != SQLITE_DONE)
                return Status::failure(QStringLiteral("数据表写入失败：") + statement.error());
        }
        return Status();
    });
}

} // namespace vellumar
