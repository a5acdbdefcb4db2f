#include "checks.h"
#include "foldersnapshot.h"
#include "ledger/ledgerdocument.h"
#include "realfaults.h"
#include "storage/datalocation.h"
#include "storage/instancelock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>
#include <utime.h>

using namespace vellumar;

namespace {

void makeFile(const QString& path, const QByteArray& content = {}) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("set-up failed: %s", qPrintable(path));
}

} // namespace

class TestDataLocation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void portableOrInstalled_data();
    void portableOrInstalled();
    void installedWithoutAUserFolderCannotStart();
    void installedFolderIsMadePrivate();
    void pathsOfTwoRoots();
    void secondLockIsRefusedAndChangesNothing();
    void oldLockOfARunningProgramIsNotTakenOver();
    void lockThatCannotBeMadeIsAFailure();
    void readOnlyBooksAreRefusedWithTheReason();
    void documentArgument_data();
    void documentArgument();
    void identifyDocument_data();
    void identifyDocument();
};

void TestDataLocation::portableOrInstalled_data() {
    QTest::addColumn<QStringList>("beside");    // entries beside the executable ("x/": folder)
    QTest::addColumn<QStringList>("installed"); // entries under the installation prefix
    QTest::addColumn<bool>("portable");
    QTest::addColumn<QString>("programFiles"); // relative to the prefix

    const QStringList sharedHelp{u"share/vellumar/help/"_qs};
    QTest::newRow("a source folder beside it")
        << QStringList{u"source/"_qs} << sharedHelp << true << u"bin"_qs;
    QTest::newRow("the portable marker")
        << QStringList{u"portable"_qs, u"help/"_qs} << QStringList() << true << u"bin"_qs;
    QTest::newRow("marker with text in it")
        << QStringList{u"portable=yes"_qs} << QStringList() << true << u"bin"_qs;
    QTest::newRow("installed: guide in the share folder")
        << QStringList() << sharedHelp << false << u"share/vellumar"_qs;
    QTest::newRow("installed, the guide beside it")
        << QStringList{u"help/"_qs} << QStringList() << false << u"bin"_qs;
    QTest::newRow("a folder named portable is no marker")
        << QStringList{u"portable/"_qs} << sharedHelp << false << u"share/vellumar"_qs;
    QTest::newRow("a file named source is no books")
        << QStringList{u"source"_qs} << sharedHelp << false << u"share/vellumar"_qs;
}

void TestDataLocation::portableOrInstalled() {
    QFETCH(QStringList, beside);
    QFETCH(QStringList, installed);
    QFETCH(bool, portable);
    QFETCH(QString, programFiles);
    QTemporaryDir prefix;
    const QString bin = prefix.filePath(u"bin"_qs);
    QVERIFY(QDir().mkpath(bin));
    const auto make = [](const QString& folder, const QStringList& entries) {
        for (const QString& entry : entries) {
            const QStringList nameAndText = entry.split(u'=');
            if (entry.endsWith(u'/'))
                QDir().mkpath(folder + u'/' + entry);
            else
                makeFile(folder + u'/' + nameAndText[0], nameAndText.value(1).toUtf8());
        }
    };
    make(bin, beside);
    make(prefix.path(), installed);
    const QString perUser = prefix.filePath(u"home/.local/share/Vellumar"_qs);
    const QStringList before = folderSnapshot(prefix.path());

    const DataLocation location = valueOf(locateData(bin + u'/', perUser));
    QCOMPARE(location.mode == DataLocation::Mode::Portable, portable);
    QCOMPARE(location.dataDirectory, portable ? bin : perUser);
    QCOMPARE(location.programFilesDirectory, prefix.filePath(programFiles));
    // Deciding changes nothing; the books' folder is made only when asked for.
    QCOMPARE(folderSnapshot(prefix.path()), before);
    QVERIFY(!QFileInfo::exists(prefix.filePath(u"home"_qs)));

    const QStringList programBefore = folderSnapshot(bin);
    must(createDataFolder(location));
    const DataPaths paths = location.paths();
    QVERIFY(QFileInfo(paths.sourceDirectory()).isDir());
    QCOMPARE(paths.sourceDirectory(), location.dataDirectory + u"/source"_qs);
    QCOMPARE(paths.helpCommandLine(), location.programFilesDirectory + u"\\help\\*help.doc"_qs);
    // An installed program writes nothing where it is installed.
    if (!portable)
        QCOMPARE(folderSnapshot(bin), programBefore);
}

void TestDataLocation::installedWithoutAUserFolderCannotStart() {
    QTemporaryDir prefix;
    const Result<DataLocation> location = locateData(prefix.path(), QString());
    QVERIFY(!location);
    QVERIFY(location.status().message().contains(u"数据文件夹"));
}

void TestDataLocation::installedFolderIsMadePrivate() {
    QTemporaryDir home;
    const QString perUser = home.filePath(u".local/share/Vellumar"_qs);
    const DataLocation location = valueOf(locateData(home.filePath(u"bin"_qs), perUser));
    must(createDataFolder(location));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(perUser).constData(), &info), 0);
    QCOMPARE(int(info.st_mode & 0777), 0700);
    QVERIFY(QFileInfo(perUser + u"/source"_qs).isDir());
    // A second start finds it all there.
    must(createDataFolder(location));
}

void TestDataLocation::pathsOfTwoRoots() {
    const DataPaths paths(u"/home/shop/.local/share/Vellumar/"_qs, u"/usr/share/vellumar"_qs);
    QCOMPARE(paths.userTable(), u"/home/shop/.local/share/Vellumar/source/liebiao.edb"_qs);
    QCOMPARE(paths.ledgerFile(DataPaths::LedgerDirBackslash, u"李四"_qs),
             u"/home/shop/.local/share/Vellumar/source/用户/李四.z"_qs);
    QCOMPARE(paths.helpDirectory(), u"/usr/share/vellumar/help"_qs);
    QCOMPARE(paths.helpCommandLine(), u"/usr/share/vellumar\\help\\*help.doc"_qs);
    QVERIFY(paths.instanceLockFile().startsWith(paths.sourceDirectory() + u'/'));
    // One root, as a portable copy has it: the guide beside the books.
    const DataPaths portable(u"/opt/shop"_qs);
    QCOMPARE(portable.helpCommandLine(), u"/opt/shop\\help\\*help.doc"_qs);
}

void TestDataLocation::secondLockIsRefusedAndChangesNothing() {
    QTemporaryDir books;
    const QString lockFile = books.filePath(u".vellumar.lock"_qs);
    {
        InstanceLock first(lockFile);
        QVERIFY(first.held());
        const QStringList before = folderSnapshot(books.path());
        InstanceLock second(lockFile);
        QCOMPARE(second.state(), InstanceLock::State::HeldByAnother);
        QVERIFY(second.refusal().message().contains(u"已经在运行"));
        QVERIFY(second.refusal().message().contains(QDir::toNativeSeparators(books.path())));
        QCOMPARE(folderSnapshot(books.path()), before);
    }
    // The first start is over: the next one takes the books.
    QVERIFY(!QFileInfo::exists(lockFile));
    QVERIFY(InstanceLock(lockFile).held());
}

// The program runs all day: its lock is never taken over for its age.
void TestDataLocation::oldLockOfARunningProgramIsNotTakenOver() {
    QTemporaryDir books;
    const QString lockFile = books.filePath(u".vellumar.lock"_qs);
    InstanceLock running(lockFile);
    QVERIFY(running.held());
    const utimbuf hoursAgo{::time(nullptr) - 3 * 3600, ::time(nullptr) - 3 * 3600};
    QCOMPARE(::utime(QFile::encodeName(lockFile).constData(), &hoursAgo), 0);
    InstanceLock late(lockFile);
    QCOMPARE(late.state(), InstanceLock::State::HeldByAnother);
    QVERIFY(QFileInfo::exists(lockFile));
}

void TestDataLocation::lockThatCannotBeMadeIsAFailure() {
    QTemporaryDir books;
    // The data folder's place is taken by a file.
    makeFile(books.filePath(u"source"_qs));
    const QString lockFile = books.filePath(u"source/.vellumar.lock"_qs);
    InstanceLock lock(lockFile);
    QCOMPARE(lock.state(), InstanceLock::State::Failed);
    QVERIFY(lock.refusal().message().contains(QDir::toNativeSeparators(lockFile)));
    QVERIFY(!lock.refusal().detail().isEmpty());
}

void TestDataLocation::readOnlyBooksAreRefusedWithTheReason() {
    REQUIRE_REAL_FAULTS();
    QTemporaryDir books;
    makeFile(books.filePath(u"liebiao.edb"_qs), "x");
    realfaults::ReadOnlyView view(books.path());
    QVERIFY(view.mounted());
    InstanceLock lock(view.path() + u"/.vellumar.lock"_qs);
    QCOMPARE(lock.state(), InstanceLock::State::Failed);
    QVERIFY2(lock.refusal().message().contains(u"只读"), qPrintable(lock.refusal().message()));
    QVERIFY(!lock.refusal().detail().isEmpty());
}

void TestDataLocation::documentArgument_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("document"); // relative to the current folder; empty: none
    const QString program = u"/usr/bin/vellumar"_qs;
    QTest::newRow("none") << QStringList{program} << QString();
    QTest::newRow("absolute") << QStringList{program, u"/home/shop/张三.z"_qs}
                              << u"/home/shop/张三.z"_qs;
    QTest::newRow("relative") << QStringList{program, u"账目/张三.z"_qs} << u"账目/张三.z"_qs;
    QTest::newRow("an address") << QStringList{program, u"file:///home/shop/%E5%BC%A0.z"_qs}
                                << u"/home/shop/张.z"_qs;
    QTest::newRow("options are passed over")
        << QStringList{program, u"-style"_qs, u"--reverse"_qs, u"a.z"_qs} << u"a.z"_qs;
    QTest::newRow("after --, a name like an option")
        << QStringList{program, u"--"_qs, u"-a.z"_qs} << u"-a.z"_qs;
    QTest::newRow("the first file only") << QStringList{program, u"a.z"_qs, u"b.z"_qs} << u"a.z"_qs;
}

void TestDataLocation::documentArgument() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, document);
    const std::optional<QString> found = vellumar::documentArgument(arguments);
    QCOMPARE(found.has_value(), !document.isEmpty());
    if (found)
        QCOMPARE(*found, QDir::current().absoluteFilePath(document));
}

void TestDataLocation::identifyDocument_data() {
    QTest::addColumn<QString>("given");   // relative to the test's folder
    QTest::addColumn<QString>("holder");  // empty: another file
    QTest::addColumn<QString>("refusal"); // part of the message; empty: none
    const QString ledgers = u"books/source/用户/"_qs;
    QTest::newRow("a holder's ledger") << ledgers + u"张三.z"_qs << u"张三"_qs << QString();
    QTest::newRow("by a roundabout path")
        << u"books/source/../source/用户/./张三.z"_qs << u"张三"_qs << QString();
    QTest::newRow("through a link to it") << u"link.z"_qs << u"张三"_qs << QString();
    QTest::newRow("a file of nobody in the ledger folder")
        << ledgers + u"王五.z"_qs << QString() << QString();
    QTest::newRow("a copy set aside")
        << ledgers + u"张三.z.无法读取-20261209-093015"_qs << QString() << QString();
    QTest::newRow("another folder, a holder's name")
        << u"copies/张三.z"_qs << QString() << QString();
    QTest::newRow("name in another case") << ledgers + u"ab.z"_qs << QString() << QString();
    QTest::newRow("missing") << u"copies/没有.z"_qs << QString() << u"不存在"_qs;
    QTest::newRow("a folder") << u"copies"_qs << QString() << u"文件夹"_qs;
    QTest::newRow("a device") << u"/dev/null"_qs << QString() << u"不是一个普通文件"_qs;
}

void TestDataLocation::identifyDocument() {
    QFETCH(QString, given);
    QFETCH(QString, holder);
    QFETCH(QString, refusal);
    QTemporaryDir folder;
    const DataPaths paths(folder.filePath(u"books"_qs));
    for (const char* name : {"张三.z", "王五.z", "ab.z", "张三.z.无法读取-20261209-093015"})
        makeFile(paths.ledgerDirectory() + u'/' + QString::fromUtf8(name));
    makeFile(folder.filePath(u"copies/张三.z"_qs));
    QVERIFY(QFile::link(paths.ledgerDirectory() + u"/张三.z"_qs, folder.filePath(u"link.z"_qs)));
    const QString path = QDir::isAbsolutePath(given) ? given : folder.filePath(given);

    const Result<LedgerDocument> document =
        identifyLedgerDocument(path, paths, {u"张三"_qs, u"AB"_qs, u"李四"_qs});
    if (!refusal.isEmpty()) {
        QVERIFY(!document);
        QVERIFY2(document.status().message().contains(refusal),
                 qPrintable(document.status().message()));
        QVERIFY(document.status().message().contains(QDir::toNativeSeparators(path)));
        return;
    }
    QVERIFY(document.ok());
    QCOMPARE(document->kind == LedgerDocument::Kind::HolderLedger, !holder.isEmpty());
    QCOMPARE(document->holder, holder);
    QCOMPARE(document->path, QFileInfo(path).absoluteFilePath());
}

QTEST_GUILESS_MAIN(TestDataLocation)
#include "test_datalocation.moc"
