// Shared books while their server stops and starts again: every operation fails with a
// sentence naming the server, nothing typed is lost, and the counters connect again by
// themselves once it is back, with their ledgers still theirs.

#include "checks.h"
#include "ledgersamples.h"
#include "sharedstore/sharedbooks.h"
#include "storefixture.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using namespace vellumar;
using namespace ledgersamples;
using namespace storefixture;

namespace {

// The test's own server, on a socket in a folder of its own, which the test stops and starts.
class PrivateServer {
public:
    PrivateServer()
        : m_folder(
              QStringLiteral("/tmp/vellumar-restart-%1").arg(QCoreApplication::applicationPid())) {
        m_connection = script(u"start"_qs).trimmed();
    }
    ~PrivateServer() { (void)script(u"stop"_qs); }

    const QString& folder() const { return m_folder; }
    // Empty when the server did not start.
    const QString& connection() const { return m_connection; }
    QString failure() const { return m_failure; }

    bool halt() { return !script(u"halt"_qs).isNull(); }
    bool resume() { return !script(u"resume"_qs).isNull(); }

private:
    // What the script printed; a null text when it failed.
    QString script(const QString& command) {
        QProcess process;
        process.start(QStringLiteral("sh"), {QStringLiteral(VELLUMAR_PG_SCRIPT), command, m_folder,
                                             QStringLiteral("fast")});
        if (!process.waitForFinished(120000) || process.exitCode() != 0) {
            m_failure = QString::fromLocal8Bit(process.readAllStandardError());
            return QString();
        }
        return QString::fromLocal8Bit(process.readAllStandardOutput()) + u' ';
    }

    QString m_folder;
    QString m_connection;
    QString m_failure;
};

} // namespace

class TestSharedRestart : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void failuresNameTheServerAndWorkGoesOnAfter();
    void countersConnectAgainByThemselves();

private:
    std::unique_ptr<PrivateServer> m_server;
};

void TestSharedRestart::initTestCase() {
    // The same server the fixture runs: without the test command's server, none here either.
    REQUIRE_TEST_SERVER();
    m_server = std::make_unique<PrivateServer>();
    QVERIFY2(!m_server->connection().isEmpty(), qPrintable(m_server->failure()));
}

void TestSharedRestart::cleanupTestCase() {
    m_server.reset();
}

void TestSharedRestart::failuresNameTheServerAndWorkGoesOnAfter() {
    std::unique_ptr<SharedBooks> front =
        valueOf(SharedBooks::open(m_server->connection(), counterNamed(u"前台"_qs)));
    HolderList& list = holdersOf(*front);
    QVERIFY(list.add(u"甲"_qs));
    LedgerSheet opened;
    std::unique_ptr<HolderBook> book = front->book(u"甲"_qs);
    QCOMPARE(valueOf(book->load(opened)), HolderBook::Opened::New);
    must(book->save(*sheetOf(5, record(1, u"一"_qs, u"停机前"_qs)), QDateTime::currentDateTime()));

    QVERIFY2(m_server->halt(), qPrintable(m_server->failure()));
    const QString where = QStringLiteral("本机套接字目录 %1（端口 5432）上的数据库“postgres”")
                              .arg(m_server->folder());
    const UserChange added = list.add(u"乙"_qs);
    QCOMPARE(added.refusal(), UserChange::Refusal::Failed);
    QVERIFY2(added.status().message().contains(where) &&
                 added.status().message().contains(u"用户没有添加"),
             qPrintable(added.status().message()));
    QCOMPARE(list.users(), QStringList{u"甲"_qs});
    // Nobody signs in while the password cannot be read.
    const Result<bool> signedIn = front->passwordMatches(QString());
    QVERIFY(!signedIn.ok());
    QVERIFY(signedIn.status().message().contains(where));
    const std::unique_ptr<LedgerSheet> typed = sheetOf(5, record(1, u"一"_qs, u"停机时打的"_qs));
    const Status notSaved = book->save(*typed, QDateTime::currentDateTime());
    QVERIFY(!notSaved.ok());
    QVERIFY2(notSaved.message().contains(where), qPrintable(notSaved.message()));
    QCOMPARE(typed->cell(1, LedgerSheet::Remark), u"停机时打的"_qs);

    QVERIFY2(m_server->resume(), qPrintable(m_server->failure()));
    // The save that failed goes through now, on a new connection with the ledger still ours.
    must(book->save(*typed, QDateTime::currentDateTime()));
    QCOMPARE(book->access(), HolderBook::Access::Editing);
    QVERIFY(list.add(u"乙"_qs));
    std::unique_ptr<SharedBooks> back =
        valueOf(SharedBooks::open(m_server->connection(), counterNamed(u"后台"_qs)));
    LedgerSheet seen;
    std::unique_ptr<HolderBook> backBook = back->book(u"甲"_qs);
    (void)valueOf(backBook->load(seen));
    QCOMPARE(backBook->access(), HolderBook::Access::ReadOnly);
    QCOMPARE(seen.cell(1, LedgerSheet::Remark), u"停机时打的"_qs);
    QCOMPARE(holdersOf(*back).users(), (QStringList{u"甲"_qs, u"乙"_qs}));
}

void TestSharedRestart::countersConnectAgainByThemselves() {
    std::unique_ptr<SharedBooks> front =
        valueOf(SharedBooks::open(m_server->connection(), counterNamed(u"前台"_qs)));
    std::unique_ptr<SharedBooks> back =
        valueOf(SharedBooks::open(m_server->connection(), counterNamed(u"后台"_qs)));
    for (SharedBooks* books : {front.get(), back.get()})
        books->link().setRetryInterval(200);
    HolderList& backList = holdersOf(*back);
    const QStringList before = backList.users();
    LedgerSheet sheet;
    std::unique_ptr<HolderBook> frontBook = front->book(u"甲"_qs);
    (void)valueOf(frontBook->load(sheet));
    QCOMPARE(frontBook->access(), HolderBook::Access::Editing);

    QSignalSpy lost(&back->link(), &SharedLink::connectionLost);
    QVERIFY2(m_server->halt(), qPrintable(m_server->failure()));
    QTRY_VERIFY_WITH_TIMEOUT(!lost.isEmpty(), 5000);
    QVERIFY2(m_server->resume(), qPrintable(m_server->failure()));
    // Neither counter does anything: both connect again, and the front one takes its ledger.
    QTRY_VERIFY_WITH_TIMEOUT(front->link().isConnected() && back->link().isConnected(), 15000);
    std::unique_ptr<SharedBooks> third =
        valueOf(SharedBooks::open(m_server->connection(), counterNamed(u"第三"_qs)));
    std::unique_ptr<HolderBook> thirdBook = third->book(u"甲"_qs);
    (void)valueOf(thirdBook->load(sheet));
    QCOMPARE(thirdBook->access(), HolderBook::Access::ReadOnly);
    // And the notices come again.
    QVERIFY(holdersOf(*front).add(u"丙"_qs));
    QTRY_COMPARE_WITH_TIMEOUT(backList.users(), before + QStringList{u"丙"_qs}, 1000);
}

QTEST_GUILESS_MAIN(TestSharedRestart)
#include "test_sharedrestart.moc"
