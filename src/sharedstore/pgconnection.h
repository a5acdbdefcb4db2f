#pragma once

#include "storage/status.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// libpq's own handles; only the implementation sees their insides.
struct pg_conn;
struct pg_result;

namespace vellumar {

// One answer of the server, cleared when it goes.
class PgResult {
public:
    PgResult() = default;
    explicit PgResult(pg_result* result) : m_result(result) {}
    PgResult(PgResult&&) noexcept = default;
    PgResult& operator=(PgResult&&) noexcept = default;

    // Whether the statement did what it was asked (a command, rows, or the start of a COPY).
    bool succeeded() const;
    // The SQLSTATE of a failure ("23505"), empty when there is none.
    QString sqlState() const;
    // The server's own words about a failure.
    QString errorText() const;

    int rowCount() const;
    // Rows a command changed (UPDATE, DELETE, INSERT).
    qint64 changedRows() const;
    // Whether a COMMIT really committed.
    bool isCommit() const;
    bool isNull(int row, int column) const;
    QString text(int row, int column) const;
    // A whole number in text form; nothing for NULL or anything else.
    std::optional<qint64> integer(int row, int column) const;
    bool boolean(int row, int column) const;

private:
    struct Clear {
        void operator()(pg_result* result) const;
    };
    std::unique_ptr<pg_result, Clear> m_result;
};

// A notice another connection sent with NOTIFY on a channel this one listens to.
struct PgNotice {
    QString channel;
    QString payload;
    int senderPid = 0;
};

// One connection to a PostgreSQL server through libpq, finished when it goes. Every statement
// with values takes them as parameters, never spliced into its text. A failure answers a
// Status with a Chinese sentence naming the server and libpq's or the server's own words as
// the detail.
class PgConnection {
public:
    // Connects by libpq's standard means: a key=value string or a postgresql:// URI, where
    // "service=name" takes the settings from pg_service.conf; a password comes from ~/.pgpass
    // (or PGPASSFILE) and TLS is as sslmode says. The program only adds a connect timeout
    // (which the text may override), its name for the server's activity view, and UTF-8.
    static Result<std::unique_ptr<PgConnection>> connect(const QString& connection);
    // Whether libpq can read the connection text at all, without connecting; refused with
    // libpq's words.
    static Status checkText(const QString& connection);
    // Starts to connect in the same way without waiting for the server: continueConnect()
    // takes it on whenever the socket is ready, and connectFailure() tells why it failed.
    // Nothing when there is no memory for it.
    static std::unique_ptr<PgConnection> start(const QString& connection);
    enum class Progress { WaitForRead, WaitForWrite, Connected, Failed };
    Progress continueConnect();
    Status connectFailure() const;

    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Where the connection goes, for sentences: the host or socket folder, port and database.
    const QString& server() const { return m_server; }
    // False once the connection was found broken (the server went away, the backend ended).
    bool isOk() const;
    // Reads what the server sent meanwhile without waiting, so that a connection the server
    // closed while nothing ran is seen as broken before the next statement is sent.
    bool poll();
    int socket() const;
    int backendPid() const;

    // Runs one statement; values are sent as text parameters $1, $2, … (never SQL NULL).
    PgResult exec(const char* sql, const QList<QByteArray>& values = {});
    // The same, with a failure made into a Status.
    Result<PgResult> run(const char* sql, const QList<QByteArray>& values = {});
    // Runs statements that take no values, one after the other (the schema's own text).
    Status runScript(const char* sql);
    // The Status of a failed result: a sentence chosen by its SQLSTATE and the connection's
    // state, with the server's words as the detail.
    Status failure(const PgResult& result) const;
    // The Status of a failure that left no result.
    Status connectionFailure() const;

    // COPY … FROM STDIN: the writer hands over the data in pieces of any size. A writer that
    // fails ends the COPY, and nothing of it stays.
    using CopySink = std::function<Status(QByteArrayView)>;
    Status copyIn(const char* sql, const std::function<Status(const CopySink&)>& writer);
    // COPY … TO STDOUT: the reader gets the data as it arrives. A reader that fails keeps the
    // first failure; the rest of the data is read and dropped so the connection stays usable.
    Status copyOut(const char* sql, const std::function<Status(QByteArrayView)>& reader);

    // Notices that have arrived, oldest first.
    QList<PgNotice> takeNotices();

    // Whether a COMMIT was sent since the last clearCommitSent(): a connection lost after
    // that leaves unknown whether the transaction took effect.
    bool commitSent() const { return m_commitSent; }
    void clearCommitSent() { m_commitSent = false; }
    void noteCommitSent() { m_commitSent = true; }

private:
    explicit PgConnection(pg_conn* connection);
    Status copyEndFailure();

    pg_conn* m_connection;
    QString m_server;
    bool m_commitSent = false;
};

// A transaction that is rolled back unless it is committed. Begins on construction; a failed
// BEGIN is kept as its status and every later step answers it.
class PgTransaction {
public:
    enum class Mode { ReadWrite, ReadOnlySnapshot };
    explicit PgTransaction(PgConnection& connection, Mode mode = Mode::ReadWrite);
    ~PgTransaction();
    PgTransaction(const PgTransaction&) = delete;
    PgTransaction& operator=(const PgTransaction&) = delete;

    const Status& begun() const { return m_begun; }
    Status commit();

private:
    PgConnection& m_connection;
    Status m_begun;
    bool m_open = false;
};

} // namespace vellumar
