#pragma once

#include "sharedstore/pgconnection.h"
#include "storage/status.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace vellumar {

// The connection of one counter to the shared books, kept alive: every operation runs on a
// live connection, a broken one is replaced by a new one first, and the change notices of the
// other counters arrive through the event loop as they are sent. When the connection breaks
// while nothing runs, a new one is tried every few seconds, so that notices keep coming and
// ledgers held open are taken again as soon as the server is back.
class SharedLink final : public QObject {
    Q_OBJECT

public:
    // Connects and makes or brings up to date the tables of the books.
    static Result<std::unique_ptr<SharedLink>> open(const QString& connection);
    ~SharedLink() override;

    const QString& connectionText() const { return m_connectionText; }
    // The server as the sentences name it.
    const QString& server() const { return m_server; }
    // Counts the connections made: a ledger lock taken on an older one is gone.
    int generation() const { return m_generation; }
    bool isConnected() const;
    // The server process of this counter's connection (as pg_stat_activity shows it); 0
    // while there is none.
    int backendPid() const { return isConnected() ? m_connection->backendPid() : 0; }

    // Runs work on a live connection. A connection found broken is replaced first (failing
    // with the server's address and what to do when the server cannot be reached), and work
    // that broke the connection before it sent its COMMIT runs once more on a new one.
    Status run(const std::function<Status(PgConnection&)>& work);

    // How long to wait between attempts while the server is away.
    void setRetryInterval(int milliseconds) { m_retry.setInterval(milliseconds); }

Q_SIGNALS:
    // A notice of another counter's change.
    void noticed(const QString& channel, const QString& payload);
    // A new connection replaced a broken one; what was held on the old one is gone.
    void reconnected();
    void connectionLost();

private:
    class Attempt;
    SharedLink(QString connectionText, std::unique_ptr<PgConnection> connection);
    Status connect();
    void adopt(std::unique_ptr<PgConnection> connection);
    void watch();
    void readNotices();
    void lose();
    void retry();
    void attemptEnded(std::unique_ptr<PgConnection> connection);

    QString m_connectionText;
    QString m_server;
    std::unique_ptr<PgConnection> m_connection;
    // Children of the link, so that one given up but not yet deleted goes with it.
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_retry;
    Attempt* m_attempt = nullptr;
    int m_generation = 0;
    int m_depth = 0;
};

} // namespace vellumar
