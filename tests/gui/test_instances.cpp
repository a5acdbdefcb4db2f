#include "foldersnapshot.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// One copy of the program: an executable's folder (portable with the marker, or installed)
// and an operator's home whose data folder an installed copy uses.
struct Shop {
    QTemporaryDir top;
    bool portable;

    explicit Shop(bool portableCopy) : portable(portableCopy) {
        QDir().mkpath(programDirectory());
        if (portable) {
            QFile marker(programDirectory() + u"/portable"_qs);
            if (!marker.open(QIODevice::WriteOnly))
                qFatal("set-up failed: the marker");
        }
    }
    QString programDirectory() const { return top.filePath(u"program"_qs); }
    QString dataHome() const { return top.filePath(u"home/.local/share"_qs); }
    QString books() const {
        return (portable ? programDirectory() : dataHome() + u"/Vellumar"_qs) + u"/source"_qs;
    }

    std::unique_ptr<QProcess> start(QStringList arguments = {}) const {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_DATA_HOME"_qs, dataHome());
        environment.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
        process->setProcessEnvironment(environment);
        arguments.prepend(programDirectory());
        process->start(QStringLiteral(VELLUMAR_STARTPROBE), arguments);
        return process;
    }
};

bool waitForReady(QProcess& process) {
    QByteArray out;
    while (!out.contains("ready\n")) {
        if (!process.waitForReadyRead(30000))
            return false;
        out += process.readAllStandardOutput();
    }
    return true;
}

struct Ending {
    int exitCode = -1;
    QString output;
};

Ending finish(QProcess& process) {
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput())};
}

constexpr int AlreadyRunning = 2;

} // namespace

// Two starts of the program on the same books, each a process of its own, as a double-click
// too many or a second login makes them.
class TestInstances : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void secondStartIsRefused_data();
    void secondStartIsRefused();
    void lockOfAKilledProgramIsTakenOver();
    void installedStartMakesTheBooksInTheHome();
};

void TestInstances::secondStartIsRefused_data() {
    QTest::addColumn<bool>("portable");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("portable") << true << QStringList();
    QTest::newRow("installed") << false << QStringList();
    QTest::newRow("installed, opening a file") << false << QStringList{u"/tmp/别处/张三.z"_qs};
}

void TestInstances::secondStartIsRefused() {
    QFETCH(bool, portable);
    QFETCH(QStringList, arguments);
    Shop shop(portable);
    const std::unique_ptr<QProcess> first = shop.start();
    QVERIFY(waitForReady(*first));
    const QStringList before = folderSnapshot(shop.top.path());
    QVERIFY(QFileInfo::exists(shop.books() + u"/liebiao.edb"_qs));

    const std::unique_ptr<QProcess> second = shop.start(arguments);
    const Ending refused = finish(*second);
    QCOMPARE(refused.exitCode, AlreadyRunning);
    QVERIFY2(refused.output.contains(u"已经在运行"), qPrintable(refused.output));
    QVERIFY(refused.output.contains(QDir::toNativeSeparators(shop.books())));
    QVERIFY(!refused.output.contains(u"ready"));
    if (!arguments.isEmpty())
        QVERIFY(refused.output.contains(u"文件“/tmp/别处/张三.z”没有打开"));
    QCOMPARE(folderSnapshot(shop.top.path()), before);

    // The first one never noticed.
    QCOMPARE(first->state(), QProcess::Running);
    first->kill();
    QVERIFY(first->waitForFinished(30000));
}

void TestInstances::lockOfAKilledProgramIsTakenOver() {
    Shop shop(false);
    const std::unique_ptr<QProcess> killed = shop.start();
    QVERIFY(waitForReady(*killed));
    killed->kill();
    QVERIFY(killed->waitForFinished(30000));
    const QString lock = shop.books() + u"/.vellumar.lock"_qs;
    QVERIFY(QFileInfo::exists(lock));

    const std::unique_ptr<QProcess> next = shop.start({u"--quit-when-ready"_qs});
    const Ending ran = finish(*next);
    QCOMPARE(ran.exitCode, 0);
    QCOMPARE(ran.output, u"ready\n"_qs);
    // A program that ends as it should leaves no lock behind.
    QVERIFY(!QFileInfo::exists(lock));
}

void TestInstances::installedStartMakesTheBooksInTheHome() {
    Shop shop(false);
    const std::unique_ptr<QProcess> first = shop.start({u"--quit-when-ready"_qs});
    QCOMPARE(finish(*first).exitCode, 0);
    for (const QString& entry : {u"liebiao.edb"_qs, u"liebiao1.edb"_qs, u"用户"_qs})
        QVERIFY2(QFileInfo::exists(shop.books() + u'/' + entry), qPrintable(entry));
    // Nothing is written where the program is installed.
    QCOMPARE(QDir(shop.programDirectory())
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

QTEST_GUILESS_MAIN(TestInstances)
#include "test_instances.moc"
