#include "sharedstore/pgconnection.h"

#include "sharedstore/pgfailure.h"

#include <QStringList>
#include <libpq-fe.h>

#include <climits>
#include <vector>

namespace vellumar {

namespace {

// libpq indents the hint lines of its messages with a tab; in a message box each line stands
// on its own.
QString trimmed(const char* text) {
    if (!text)
        return QString();
    QStringList lines = QString::fromUtf8(text).trimmed().split(u'\n');
    for (QString& line : lines)
        line = line.trimmed();
    return lines.join(u'\n');
}

// Gives up on an unreachable server after this long unless the connection text says otherwise.
constexpr const char* DefaultConnectTimeout = "10";

// Connects with the text as libpq reads it. Later keywords win: the text may set its own
// timeout, but the encoding stays ours.
template <typename Connect> pg_conn* connectWith(const QString& connection, Connect connect) {
    const QByteArray text = connection.toUtf8();
    const char* const keywords[] = {"connect_timeout", "fallback_application_name", "dbname",
                                    "client_encoding", nullptr};
    const char* const values[] = {DefaultConnectTimeout, "vellumar", text.constData(), "UTF8",
                                  nullptr};
    return connect(keywords, values, /*expand_dbname=*/1);
}

} // namespace

// ----- PgResult -------------------------------------------------------------------------------

void PgResult::Clear::operator()(pg_result* result) const {
    PQclear(result);
}

bool PgResult::succeeded() const {
    switch (PQresultStatus(m_result.get())) {
    case PGRES_COMMAND_OK:
    case PGRES_TUPLES_OK:
    case PGRES_COPY_IN:
    case PGRES_COPY_OUT:
        return true;
    default:
        return false;
    }
}

QString PgResult::sqlState() const {
    if (!m_result)
        return QString();
    return trimmed(PQresultErrorField(m_result.get(), PG_DIAG_SQLSTATE));
}

QString PgResult::errorText() const {
    return m_result ? trimmed(PQresultErrorMessage(m_result.get())) : QString();
}

int PgResult::rowCount() const {
    return m_result ? PQntuples(m_result.get()) : 0;
}

qint64 PgResult::changedRows() const {
    const char* changed = m_result ? PQcmdTuples(m_result.get()) : nullptr;
    return changed && *changed ? QByteArrayView(changed).toLongLong() : 0;
}

bool PgResult::isCommit() const {
    return m_result && QByteArrayView(PQcmdStatus(m_result.get())) == "COMMIT";
}

bool PgResult::isNull(int row, int column) const {
    return !m_result || row >= rowCount() || column >= PQnfields(m_result.get()) ||
           PQgetisnull(m_result.get(), row, column);
}

QString PgResult::text(int row, int column) const {
    if (isNull(row, column))
        return QString();
    return QString::fromUtf8(PQgetvalue(m_result.get(), row, column),
                             PQgetlength(m_result.get(), row, column));
}

std::optional<qint64> PgResult::integer(int row, int column) const {
    if (isNull(row, column))
        return std::nullopt;
    bool ok = false;
    const qint64 value = QByteArrayView(PQgetvalue(m_result.get(), row, column),
                                        PQgetlength(m_result.get(), row, column))
                             .toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

bool PgResult::boolean(int row, int column) const {
    return !isNull(row, column) && PQgetvalue(m_result.get(), row, column)[0] == 't';
}

// ----- PgConnection ---------------------------------------------------------------------------

PgConnection::PgConnection(pg_conn* connection) : m_connection(connection) {
    // libpq would print the server's notices to stderr; a connection the server ends says so
    // through the next statement's failure instead.
    PQsetNoticeProcessor(
        m_connection, [](void*, const char*) {}, nullptr);
    m_server = describeServer(trimmed(PQhost(connection)), trimmed(PQport(connection)),
                              trimmed(PQdb(connection)));
}

PgConnection::~PgConnection() {
    PQfinish(m_connection);
}

std::unique_ptr<PgConnection> PgConnection::start(const QString& connection) {
    pg_conn* started = connectWith(connection, PQconnectStartParams);
    if (!started)
        return nullptr;
    return std::unique_ptr<PgConnection>(new PgConnection(started));
}

Result<std::unique_ptr<PgConnection>> PgConnection::connect(const QString& connection) {
    pg_conn* made = connectWith(connection, PQconnectdbParams);
    if (!made)
        return Status::failure(QStringLiteral("内存不足，无法连接共享账本。"));
    std::unique_ptr<PgConnection> opened(new PgConnection(made));
    if (PQstatus(made) != CONNECTION_OK)
        return opened->connectFailure();
    return Result<std::unique_ptr<PgConnection>>(std::move(opened));
}

Status PgConnection::checkText(const QString& connection) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(connection.toUtf8().constData(), &error);
    const QString detail = trimmed(error);
    PQfreemem(error);
    if (!options)
        return Status::failure(
            QStringLiteral("共享账本的连接设置无法识别。请写成 libpq 的连接字符串"
                           "（例如 host=服务器 dbname=账本 user=用户名）、postgresql:// 开头的"
                           "地址，或者 service=服务名。"),
            detail);
    PQconninfoFree(options);
    return Status();
}

PgConnection::Progress PgConnection::continueConnect() {
    switch (PQconnectPoll(m_connection)) {
    case PGRES_POLLING_READING:
        return Progress::WaitForRead;
    case PGRES_POLLING_WRITING:
        return Progress::WaitForWrite;
    case PGRES_POLLING_OK:
        m_server = describeServer(trimmed(PQhost(m_connection)), trimmed(PQport(m_connection)),
                                  trimmed(PQdb(m_connection)));
        return Progress::Connected;
    default:
        return Progress::Failed;
    }
}

Status PgConnection::connectFailure() const {
    return vellumar::connectFailure(m_server, trimmed(PQerrorMessage(m_connection)));
}

bool PgConnection::isOk() const {
    return PQstatus(m_connection) == CONNECTION_OK;
}

bool PgConnection::poll() {
    if (!isOk())
        return false;
    PQconsumeInput(m_connection);
    return isOk();
}

int PgConnection::socket() const {
    return PQsocket(m_connection);
}

int PgConnection::backendPid() const {
    return PQbackendPID(m_connection);
}

PgResult PgConnection::exec(const char* sql, const QList<QByteArray>& values) {
    std::vector<const char*> pointers;
    std::vector<int> lengths;
    pointers.reserve(static_cast<size_t>(values.size()));
    lengths.reserve(static_cast<size_t>(values.size()));
    for (const QByteArray& value : values) {
        // constData() is never null, so an empty text is the empty text and not NULL.
        pointers.push_back(value.constData());
        lengths.push_back(static_cast<int>(value.size()));
    }
    return PgResult(PQexecParams(m_connection, sql, static_cast<int>(values.size()), nullptr,
                                 pointers.data(), lengths.data(), nullptr, 0));
}

Result<PgResult> PgConnection::run(const char* sql, const QList<QByteArray>& values) {
    PgResult result = exec(sql, values);
    if (!result.succeeded())
        return failure(result);
    return result;
}

Status PgConnection::runScript(const char* sql) {
    const PgResult result(PQexec(m_connection, sql));
    if (!result.succeeded())
        return failure(result);
    return Status();
}

Status PgConnection::failure(const PgResult& result) const {
    QString detail = result.errorText();
    if (detail.isEmpty())
        detail = trimmed(PQerrorMessage(m_connection));
    return statementFailure(m_server, result.sqlState(), detail, !isOk());
}

Status PgConnection::connectionFailure() const {
    return statementFailure(m_server, QString(), trimmed(PQerrorMessage(m_connection)), !isOk());
}

Status PgConnection::copyEndFailure() {
    // What the server made of the COPY comes as its final result.
    Status status;
    while (PGresult* raw = PQgetResult(m_connection)) {
        const PgResult result(raw);
        if (status.ok() && !result.succeeded())
            status = failure(result);
    }
    return status;
}

Status PgConnection::copyIn(const char* sql, const std::function<Status(const CopySink&)>& writer) {
    const PgResult started(PQexec(m_connection, sql));
    if (!started.succeeded())
        return failure(started);
    const CopySink sink = [this](QByteArrayView data) -> Status {
        while (!data.isEmpty()) {
            const qsizetype piece = std::min<qsizetype>(data.size(), INT_MAX / 2);
            if (PQputCopyData(m_connection, data.data(), static_cast<int>(piece)) != 1)
                return connectionFailure();
            data = data.sliced(piece);
        }
        return Status();
    };
    const Status written = writer(sink);
    // A failed writer ends the COPY with an error, so the server keeps none of it.
    const QByteArray reason = written ? QByteArray() : written.message().toUtf8();
    if (PQputCopyEnd(m_connection, written ? nullptr : reason.constData()) != 1) {
        const Status ended = connectionFailure();
        (void)copyEndFailure();
        return written ? ended : written;
    }
    const Status ended = copyEndFailure();
    return written ? ended : written;
}

Status PgConnection::copyOut(const char* sql, const std::function<Status(QByteArrayView)>& reader) {
    const PgResult started(PQexec(m_connection, sql));
    if (!started.succeeded())
        return failure(started);
    Status status;
    for (;;) {
        char* buffer = nullptr;
        const int size = PQgetCopyData(m_connection, &buffer, /*async=*/0);
        if (size < 0)
            break; // -1: done, -2: failed; the final result says which
        if (status.ok())
            status = reader(QByteArrayView(buffer, size));
        PQfreemem(buffer);
    }
    const Status ended = copyEndFailure();
    return status.ok() ? ended : status;
}

QList<PgNotice> PgConnection::takeNotices() {
    QList<PgNotice> notices;
    if (isOk())
        PQconsumeInput(m_connection);
    while (PGnotify* notice = PQnotifies(m_connection)) {
        notices.append(PgNotice{QString::fromUtf8(notice->relname),
                                QString::fromUtf8(notice->extra), notice->be_pid});
        PQfreemem(notice);
    }
    return notices;
}

// ----- PgTransaction --------------------------------------------------------------------------

PgTransaction::PgTransaction(PgConnection& connection, Mode mode) : m_connection(connection) {
    const char* begin = mode == Mode::ReadOnlySnapshot
                            ? "BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY"
                            : "BEGIN";
    const Result<PgResult> begun = m_connection.run(begin);
    m_begun = begun.status();
    m_open = begun.ok();
}

PgTransaction::~PgTransaction() {
    // A broken connection has ended the transaction on the server already.
    if (m_open && m_connection.isOk())
        (void)m_connection.exec("ROLLBACK");
}

Status PgTransaction::commit() {
    if (!m_begun)
        return m_begun;
    m_open = false;
    m_connection.noteCommitSent();
    PgResult result = m_connection.exec("COMMIT");
    if (!result.succeeded())
        return m_connection.failure(result);
    // A transaction that an error ended answers COMMIT with ROLLBACK.
    if (!result.isCommit())
        return Status::failure(
            QStringLiteral("服务器撤消了这次修改，什么也没有改变。请再试一次。"));
    return Status();
}

} // namespace vellumar
