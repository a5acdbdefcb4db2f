#include "testdatabase.h"

#include "sharedstore/pgconnection.h"

#include <QCoreApplication>

#include <atomic>

namespace testdatabase {

namespace {

using vellumar::PgConnection;
using vellumar::PgResult;

std::unique_ptr<PgConnection> connectTo(const QString& connection, QString* why) {
    vellumar::Result<std::unique_ptr<PgConnection>> made = PgConnection::connect(connection);
    if (!made) {
        *why = made.status().message() + u' ' + made.status().detail();
        return nullptr;
    }
    return std::move(made).value();
}

} // namespace

QString serverConnection() {
    return qEnvironmentVariable("VELLUMAR_TEST_DATABASE");
}

FreshDatabase::FreshDatabase(const char* encoding) {
    static std::atomic<int> made{0};
    m_name = QStringLiteral("vellumar_test_%1_%2")
                 .arg(QCoreApplication::applicationPid())
                 .arg(made.fetch_add(1));
    std::unique_ptr<PgConnection> server = connectTo(serverConnection(), &m_why);
    if (!server)
        return;
    // A name is an identifier, not a value: it is made of digits and letters here.
    const QByteArray create = "CREATE DATABASE " + m_name.toUtf8() + " ENCODING '" + encoding +
                              "' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0";
    const PgResult created = server->exec(create.constData());
    if (!created.succeeded()) {
        m_why = created.errorText();
        return;
    }
    m_connection = serverConnection() + QStringLiteral(" dbname=") + m_name;
}

FreshDatabase::~FreshDatabase() {
    if (m_connection.isEmpty())
        return;
    QString why;
    std::unique_ptr<PgConnection> server = connectTo(serverConnection(), &why);
    if (!server)
        qFatal("cannot drop test database %s: %s", qPrintable(m_name), qPrintable(why));
    const QByteArray drop = "DROP DATABASE " + m_name.toUtf8() + " WITH (FORCE)";
    const PgResult dropped = server->exec(drop.constData());
    if (!dropped.succeeded())
        qFatal("cannot drop test database %s: %s", qPrintable(m_name),
               qPrintable(dropped.errorText()));
}

QString FreshDatabase::execute(const QString& sql) const {
    QString why;
    std::unique_ptr<PgConnection> database = connectTo(m_connection, &why);
    if (!database)
        return why;
    const vellumar::Status ran = database->runScript(sql.toUtf8().constData());
    return ran ? QString() : ran.message() + u' ' + ran.detail();
}

QString FreshDatabase::query(const QString& sql) const {
    QString why;
    std::unique_ptr<PgConnection> database = connectTo(m_connection, &why);
    if (!database)
        return QStringLiteral("(no connection: %1)").arg(why);
    const PgResult answer = database->exec(sql.toUtf8().constData());
    if (!answer.succeeded())
        return QStringLiteral("(failed: %1)").arg(answer.errorText());
    return answer.text(0, 0);
}

} // namespace testdatabase
