#pragma once

#include <QString>
#include <QtGlobal>

// The shared books' tests run against the test command's own PostgreSQL server
// (scripts/pg-test-server.sh, started by CTest as a fixture), whose connection string comes in
// VELLUMAR_TEST_DATABASE. Each test case works in a database of its own, made for it and
// dropped after it.
namespace testdatabase {

// The test server's connection string; empty when none is configured.
QString serverConnection();

// A new database on the test server, dropped (with whatever is still connected to it) when
// this goes.
class FreshDatabase {
public:
    // The encoding is the database's text encoding; the books need UTF8.
    explicit FreshDatabase(const char* encoding = "UTF8");
    ~FreshDatabase();
    FreshDatabase(const FreshDatabase&) = delete;
    FreshDatabase& operator=(const FreshDatabase&) = delete;

    // Empty when the database could not be made; why() says why.
    const QString& connection() const { return m_connection; }
    const QString& name() const { return m_name; }
    const QString& why() const { return m_why; }

    // Runs statements on the database as the test server's superuser; answers the server's
    // words on failure, empty on success.
    QString execute(const QString& sql) const;
    // The first column of the first row of a query, as text.
    QString query(const QString& sql) const;

private:
    QString m_name;
    QString m_connection;
    QString m_why;
};

} // namespace testdatabase

// Skips a test that needs the test server when none is configured, except where every test is
// required (VELLUMAR_REQUIRE_ALL_TESTS, as in CI): there it fails.
#define REQUIRE_TEST_SERVER()                                                                      \
    do {                                                                                           \
        if (testdatabase::serverConnection().isEmpty()) {                                          \
            if (qEnvironmentVariableIsSet("VELLUMAR_REQUIRE_ALL_TESTS"))                           \
                QFAIL("no test server: VELLUMAR_TEST_DATABASE is not set");                        \
            QSKIP("no test server: VELLUMAR_TEST_DATABASE is not set");                            \
        }                                                                                          \
    } while (false)

// A fresh database for the test case, or the test fails with the server's reason.
#define FRESH_DATABASE(variable)                                                                   \
    REQUIRE_TEST_SERVER();                                                                         \
    testdatabase::FreshDatabase variable;                                                          \
    if (variable.connection().isEmpty())                                                           \
    QFAIL(qPrintable(QStringLiteral("cannot make a test database: ") + variable.why()))
