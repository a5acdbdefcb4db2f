#include "sharedstore/sharedlink.h"

#include "sharedstore/sharedtables.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>

namespace vellumar {

namespace {

constexpr int RetryMilliseconds = 3000;
// An attempt in the background that has not got through by then is given up.
constexpr int AttemptMilliseconds = 15000;

// Makes a new connection ready for the books: the tables as this program knows them, and the
// notices of the other counters.
Status prepare(PgConnection& connection) {
    if (Status prepared = SharedTables::prepareSession(connection); !prepared)
        return prepared;
    // A channel is a name, not a value: LISTEN takes no parameters.
    for (const char* channel : {SharedTables::HoldersChannel, SharedTables::LedgersChannel})
        if (Status listening =
                connection.run(QByteArray(QByteArrayLiteral("LISTEN ") + channel).constData())
                    .status();
            !listening)
            return listening;
    return Status();
}

// A notifier may be given up from inside its own signal: it stops at once and goes later.
void dropNotifier(QSocketNotifier*& notifier) {
    if (!notifier)
        return;
    notifier->setEnabled(false);
    notifier->deleteLater();
    notifier = nullptr;
}

} // namespace

// A connection being made in the background while the server is away, driven by its socket
// so that the window never waits for it.
class SharedLink::Attempt final : public QObject {
public:
    Attempt(SharedLink& link, std::unique_ptr<PgConnection> connection)
        : QObject(&link), m_link(link), m_connection(std::move(connection)) {}

    void begin() {
        m_deadline.start();
        step(PgConnection::Progress::WaitForWrite);
    }

private:
    void step(PgConnection::Progress progress) {
        dropNotifier(m_notifier);
        if (progress == PgConnection::Progress::WaitForRead ||
            progress == PgConnection::Progress::WaitForWrite) {
            if (m_deadline.hasExpired(AttemptMilliseconds) || m_connection->socket() < 0)
                return m_link.attemptEnded(nullptr);
            m_notifier = new QSocketNotifier(m_connection->socket(),
                                             progress == PgConnection::Progress::WaitForRead
                                                 ? QSocketNotifier::Read
                                                 : QSocketNotifier::Write,
                                             this);
            connect(m_notifier, &QSocketNotifier::activated, this,
                    [this] { step(m_connection->continueConnect()); });
            return;
        }
        m_link.attemptEnded(progress == PgConnection::Progress::Connected ? std::move(m_connection)
                                                                          : nullptr);
    }

    SharedLink& m_link;
    std::unique_ptr<PgConnection> m_connection;
    QSocketNotifier* m_notifier = nullptr;
    QElapsedTimer m_deadline;
};

SharedLink::SharedLink(QString connectionText, std::unique_ptr<PgConnection> connection)
    : m_connectionText(std::move(connectionText)) {
    m_retry.setInterval(RetryMilliseconds);
    m_retry.setSingleShot(true);
    QObject::connect(&m_retry, &QTimer::timeout, this, &SharedLink::retry);
    adopt(std::move(connection));
}

SharedLink::~SharedLink() = default;

Result<std::unique_ptr<SharedLink>> SharedLink::open(const QString& connection) {
    Result<std::unique_ptr<PgConnection>> made = PgConnection::connect(connection);
    if (!made)
        return made.status();
    if (Status prepared = prepare(**made); !prepared)
        return prepared;
    return std::unique_ptr<SharedLink>(new SharedLink(connection, std::move(made).value()));
}

bool SharedLink::isConnected() const {
    return m_connection && m_connection->isOk();
}

void SharedLink::adopt(std::unique_ptr<PgConnection> connection) {
    dropNotifier(m_notifier);
    m_connection = std::move(connection);
    m_server = m_connection->server();
    ++m_generation;
    m_retry.stop();
    watch();
}

Status SharedLink::connect() {
    Result<std::unique_ptr<PgConnection>> made = PgConnection::connect(m_connectionText);
    if (!made)
        return made.status();
    if (Status prepared = prepare(**made); !prepared)
        return prepared;
    adopt(std::move(made).value());
    Q_EMIT reconnected();
    return Status();
}

void SharedLink::watch() {
    // Notices come through the event loop; a program without one reads them after each
    // operation instead.
    if (!QCoreApplication::instance() || m_connection->socket() < 0)
        return;
    m_notifier = new QSocketNotifier(m_connection->socket(), QSocketNotifier::Read, this);
    QObject::connect(m_notifier, &QSocketNotifier::activated, this, &SharedLink::readNotices);
}

void SharedLink::readNotices() {
    if (!m_connection)
        return;
    const int own = m_connection->backendPid();
    for (const PgNotice& notice : m_connection->takeNotices()) {
        if (notice.senderPid == own)
            continue;
        // Told once the operation that read them is over, never in the middle of it.
        QMetaObject::invokeMethod(
            this, [this, notice] { Q_EMIT noticed(notice.channel, notice.payload); },
            Qt::QueuedConnection);
    }
    if (!m_connection->isOk())
        lose();
}

void SharedLink::lose() {
    // The socket of a broken connection is always readable; it must not be watched.
    dropNotifier(m_notifier);
    if (!m_retry.isActive() && !m_attempt && QCoreApplication::instance())
        m_retry.start();
    Q_EMIT connectionLost();
}

void SharedLink::retry() {
    if (isConnected() || m_attempt || m_depth > 0)
        return;
    std::unique_ptr<PgConnection> started = PgConnection::start(m_connectionText);
    if (!started) {
        m_retry.start();
        return;
    }
    m_attempt = new Attempt(*this, std::move(started));
    m_attempt->begin();
}

void SharedLink::attemptEnded(std::unique_ptr<PgConnection> connection) {
    // The attempt may end from inside its own notifier's signal: it goes once that is over.
    if (m_attempt) {
        m_attempt->deleteLater();
        m_attempt = nullptr;
    }
    if (isConnected())
        return;
    if (connection && prepare(*connection)) {
        adopt(std::move(connection));
        Q_EMIT reconnected();
        return;
    }
    m_retry.start();
}

Status SharedLink::run(const std::function<Status(PgConnection&)>& work) {
    for (int attempt = 0;; ++attempt) {
        const bool live = m_connection && m_connection->poll();
        if (!live) {
            // Work already running holds the connection; only the outermost may replace it.
            if (m_depth > 0)
                return m_connection->connectionFailure();
            if (m_connection && m_notifier)
                lose();
            if (Status made = connect(); !made)
                return made;
        }
        m_connection->clearCommitSent();
        ++m_depth;
        const Status done = work(*m_connection);
        --m_depth;
        readNotices();
        const bool broken = !m_connection->isOk();
        if (broken && !done && m_connection->commitSent())
            return Status::failure(
                QStringLiteral("与共享账本（%1）的连接在确认修改的那一刻中断了，无法确定这次修改"
                               "是否已经生效。服务器恢复后，请先核对一下再继续。")
                    .arg(m_server),
                done.detail());
        // Work that never sent its COMMIT changed nothing on the server and may run again.
        if (!broken || done || attempt > 0 || m_depth > 0)
            return done;
    }
}

} // namespace vellumar
