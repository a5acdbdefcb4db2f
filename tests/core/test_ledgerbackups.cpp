#include "checks.h"
#include "faultyfilesystem.h"
#include "ledger/holderledger.h"
#include "ledger/ledgeredits.h"
#include "ledger/ledgerfile.h"
#include "safety/ledgerbackups.h"
#include "safety/safetypaths.h"
#include "safety/tablebackups.h"
#include "storage/datastore.h"
#include "storage/recordtable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace vellumar;

namespace {

const QString User = u"张三"_qs;
const QDateTime Now(QDate(2026, 12, 9), QTime(18, 0));

// A list of version moments told briefly: "40x0" is forty versions today a minute apart,
// "1x0..119" one version on each of the 120 days before today, "5x-3" five versions three
// days from now (a clock set back).
QList<BackupVersion> versionsFrom(const QStringList& groups, qint64 size = 1000) {
    QList<BackupVersion> all;
    for (const QString& group : groups) {
        const int count = group.section(u"x"_qs, 0, 0).toInt();
        const QString days = group.section(u"x"_qs, 1);
        const int from = days.section(u".."_qs, 0, 0).toInt();
        const int to = days.contains(u"..") ? days.section(u".."_qs, 1).toInt() : from;
        for (int day = from; day <= to; ++day)
            for (int n = 0; n < count; ++n)
                all.append({QString(), Now.addDays(-day).addSecs(-60 * (n + 1)), size});
    }
    std::sort(all.begin(), all.end(),
              [](const BackupVersion& a, const BackupVersion& b) { return a.savedAt > b.savedAt; });
    return all;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Folder {
    QTemporaryDir directory;
    DataPaths paths{directory.path()};
    FaultyFileSystem files;
    Folder() { must(prepareDataDirectory(paths)); }
    QString ledger() const { return paths.ledgerFile(DataPaths::LedgerDirSlash, User); }
    QString backups() const { return SafetyPaths::holderFolder(paths, User); }
    QStringList versionFiles() const {
        return QDir(backups()).entryList({u"*.z"_qs}, QDir::Files, QDir::Name);
    }
};

std::unique_ptr<LedgerSheet> ledgerWith(const QString& product, int records = 1) {
    auto sheet = std::make_unique<LedgerSheet>(4);
    sheet->applyTitles();
    for (int n = 1; n <= records; ++n)
        must(LedgerRecords::add(*sheet, {product, u"2"_qs, u"袋"_qs, u"2.5"_qs, u"5"_qs, {}},
                                u"2026-12-09"_qs)
                 .status());
    return sheet;
}

qint64 inodeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? qint64(info.st_ino) : -1;
}

} // namespace

class TestLedgerBackups : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void historyIsBoundedByCountAgeAndSize_data();
    void historyIsBoundedByCountAgeAndSize();
    void pruningTouchesOnlyVersions();
    void saveKeepsThePreviousVersion();
    void fileChangedSinceOpeningIsCheckedFirst_data();
    void fileChangedSinceOpeningIsCheckedFirst();
    void versionThatCannotBeKeptStopsTheSave();
    void restoreKeepsTheCurrentVersion();
    void damagedVersionIsNotRestored();
    void tablesAreCopiedOnceADay();
};

void TestLedgerBackups::historyIsBoundedByCountAgeAndSize_data() {
    QTest::addColumn<QStringList>("groups");
    QTest::addColumn<qint64>("size"); // of each version, the ledger being 1000 bytes
    QTest::addColumn<QList<int>>("gone");

    QList<int> tenOldest;
    for (int i = 30; i < 40; ++i)
        tenOldest.append(i);
    QTest::newRow("forty today: the newest thirty stay")
        << QStringList{u"40x0"_qs} << qint64(1000) << tenOldest;
    QList<int> beyondNinetyDays;
    for (int i = 90; i < 120; ++i)
        beyondNinetyDays.append(i);
    QTest::newRow("one a day for 120 days: ninety days stay")
        << QStringList{u"1x0..119"_qs} << qint64(1000) << beyondNinetyDays;
    // 50 today (indexes 0-49), then one a day on days 1 to 99 (50-148): the newest thirty of
    // today stay, and one of each of the 89 days before it that are within ninety days.
    QList<int> mixed;
    for (int i = 30; i < 50; ++i)
        mixed.append(i);
    for (int i = 50 + 89; i < 149; ++i)
        mixed.append(i);
    QTest::newRow("busy today and a long past")
        << QStringList{u"50x0"_qs, u"1x1..99"_qs} << qint64(1000) << mixed;
    QTest::newRow("a clock set back keeps the younger looking ones")
        << QStringList{u"35x-2"_qs} << qint64(1000) << QList<int>();
    // Ten times the ledger and 16 MiB: versions of 4 MiB each, at most four of them.
    QList<int> overSize;
    for (int i = 4; i < 20; ++i)
        overSize.append(i);
    QTest::newRow("large versions: the size bounds them")
        << QStringList{u"20x0"_qs} << qint64(4) * 1024 * 1024 << overSize;
    QTest::newRow("even larger: the newest three always stay")
        << QStringList{u"5x0"_qs} << qint64(64) * 1024 * 1024 << QList<int>{3, 4};
}

// The bounds at a moment the test sets, not the machine's clock.
void TestLedgerBackups::historyIsBoundedByCountAgeAndSize() {
    QFETCH(QStringList, groups);
    QFETCH(qint64, size);
    QFETCH(QList<int>, gone);
    const QList<BackupVersion> versions = versionsFrom(groups, size);
    QCOMPARE(LedgerBackups::beyondBounds(versions, Now, 1000), gone);
}

// On the disk: only files named as versions go, the newest first in the list as they are named.
void TestLedgerBackups::pruningTouchesOnlyVersions() {
    Folder folder;
    QVERIFY(QDir().mkpath(folder.backups() + u"/未保存的修改"_qs));
    const QList<BackupVersion> versions = versionsFrom({u"1x0..99"_qs});
    for (const BackupVersion& version : versions) {
        QFile file(folder.backups() + u'/' + version.savedAt.toString(u"yyyyMMdd-HHmmss"_qs) +
                   u".z"_qs);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("v");
    }
    for (const QString& other : {u"说明.txt"_qs, u"20261209.z"_qs, u"20261209-093015.z.bak"_qs}) {
        QFile file(folder.backups() + u'/' + other);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    LedgerBackups backups(folder.files, folder.backups());
    const QList<BackupVersion> listed = valueOf(backups.versions());
    QCOMPARE(listed.size(), 100);
    QCOMPARE(listed.first().savedAt, versions.first().savedAt);
    must(backups.prune(Now, 1000));
    QCOMPARE(valueOf(backups.versions()).size(), 90);
    QCOMPARE(valueOf(backups.versions()).last().savedAt, versions[89].savedAt);
    QCOMPARE(QDir(folder.backups()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 94);
}

// A save keeps the version it replaces as a second name of the same file (no copy), and a
// save that changes nothing keeps no second copy of it.
void TestLedgerBackups::saveKeepsThePreviousVersion() {
    Folder folder;
    must(LedgerFile::save(folder.ledger(), *ledgerWith(u"第一版"_qs)));
    const QByteArray first = readAll(folder.ledger());
    const qint64 firstInode = inodeOf(folder.ledger());
    LedgerSheet sheet;
    LedgerEdits edits(sheet);
    HolderLedger ledger(folder.paths, folder.files, User);
    ledger.trackEdits(&edits);
    QVERIFY(ledger.load(sheet).ok());
    QVERIFY(edits.addRecord({u"新的"_qs, {}, {}, {}, {}, {}}, u"d"_qs).ok());
    QVERIFY(ledger.save(sheet, Now).ok());
    QCOMPARE(folder.versionFiles().size(), 1);
    const QString kept = folder.backups() + u'/' + folder.versionFiles().first();
    QCOMPARE(readAll(kept), first);
    QCOMPARE(inodeOf(kept), firstInode);
    QCOMPARE(folder.files.calls(FaultyFileSystem::Operation::Copy), 0);
    QVERIFY(ledger.tidiedUp().ok());

    QVERIFY(ledger.save(sheet, Now.addSecs(60)).ok()); // nothing changed since
    QCOMPARE(folder.versionFiles().size(), 1);
    QVERIFY(edits.addRecord({u"再一个"_qs, {}, {}, {}, {}, {}}, u"d"_qs).ok());
    QVERIFY(ledger.save(sheet, Now.addSecs(120)).ok());
    QCOMPARE(folder.versionFiles().size(), 2);

    // Where the disk gives no second name, a copy does.
    folder.files.fail(FaultyFileSystem::Operation::Link, EXDEV);
    QVERIFY(edits.addRecord({u"第三个"_qs, {}, {}, {}, {}, {}}, u"d"_qs).ok());
    const QByteArray third = readAll(folder.ledger());
    QVERIFY(ledger.save(sheet, Now.addSecs(180)).ok());
    QCOMPARE(folder.versionFiles().size(), 3);
    QCOMPARE(folder.files.calls(FaultyFileSystem::Operation::Copy), 1);
    QCOMPARE(readAll(valueOf(ledger.backups().versions()).first().path), third);
}

void TestLedgerBackups::fileChangedSinceOpeningIsCheckedFirst_data() {
    QTest::addColumn<QByteArray>("written"); // by another program, after the opening
    QTest::addColumn<bool>("asVersion");
    QTest::newRow("a ledger that loads") << QByteArray("序号,商品名称\r\n1,别处改的\r\n") << true;
    QTest::newRow("a damaged file") << QByteArray("序号,商品名称\r\n1,\"没有结束\r\n") << false;
}

// A file that is not the one read at opening counts as a version only once it has been read;
// one that does not load is copied aside, as an unreadable file is, and never becomes one.
void TestLedgerBackups::fileChangedSinceOpeningIsCheckedFirst() {
    QFETCH(QByteArray, written);
    QFETCH(bool, asVersion);
    Folder folder;
    must(LedgerFile::save(folder.ledger(), *ledgerWith(u"第一版"_qs)));
    HolderLedger ledger(folder.paths, folder.files, User);
    LedgerSheet sheet;
    QVERIFY(ledger.load(sheet).ok());
    QVERIFY(QFile::remove(folder.ledger()));
    {
        QFile file(folder.ledger());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(written);
    }
    QVERIFY(ledger.save(*ledgerWith(u"窗口里的"_qs), Now).ok());
    QCOMPARE(folder.versionFiles().size(), asVersion ? 1 : 0);
    if (asVersion)
        QCOMPARE(readAll(folder.backups() + u'/' + folder.versionFiles().first()), written);
    else
        QCOMPARE(readAll(ledger.keptCopy()), written);
}

// Without its previous version kept, a ledger is not written over.
void TestLedgerBackups::versionThatCannotBeKeptStopsTheSave() {
    Folder folder;
    must(LedgerFile::save(folder.ledger(), *ledgerWith(u"第一版"_qs)));
    const QByteArray first = readAll(folder.ledger());
    QVERIFY(QDir().mkpath(SafetyPaths::backupRoot(folder.paths)));
    {
        QFile blocker(folder.backups()); // a file where the holder's folder goes
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    HolderLedger ledger(folder.paths, folder.files, User);
    LedgerSheet sheet;
    QVERIFY(ledger.load(sheet).ok());
    const Status saved = ledger.save(*ledgerWith(u"第二版"_qs), Now);
    QVERIFY(!saved.ok());
    QVERIFY2(saved.message().startsWith(u"账目的上一个版本没能备份"_qs),
             qPrintable(saved.message()));
    QVERIFY(!saved.detail().isEmpty());
    QCOMPARE(readAll(folder.ledger()), first);
}

// Saved ten times, the third version restored: the ledger is that version byte for byte, and
// the one it replaced is kept as a version too.
void TestLedgerBackups::restoreKeepsTheCurrentVersion() {
    Folder folder;
    LedgerSheet sheet;
    LedgerEdits edits(sheet);
    HolderLedger ledger(folder.paths, folder.files, User);
    ledger.trackEdits(&edits);
    QVERIFY(ledger.load(sheet).ok());
    QList<QByteArray> saves;
    for (int n = 1; n <= 10; ++n) {
        QVERIFY(
            edits.addRecord({QStringLiteral("第%1次").arg(n), {}, {}, {}, {}, {}}, u"d"_qs).ok());
        QVERIFY(ledger.save(sheet, Now.addSecs(n)).ok());
        saves.append(readAll(folder.ledger()));
        // Each save a second later than the one before, as the file's time says.
        QFile file(folder.ledger());
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(Now.addSecs(n), QFileDevice::FileModificationTime));
    }
    QList<BackupVersion> versions = valueOf(ledger.backups().versions());
    QCOMPARE(versions.size(), 9);
    const BackupVersion third = versions[versions.size() - 3];
    QCOMPARE(readAll(third.path), saves[2]);
    QCOMPARE(valueOf(LedgerBackups::summarize(third.path)).records, 3);

    HolderLedger restorer(folder.paths, folder.files, User);
    QVERIFY(restorer.restore(third.path, Now.addSecs(100)).ok());
    QCOMPARE(readAll(folder.ledger()), saves[2]);
    versions = valueOf(restorer.backups().versions());
    QCOMPARE(versions.size(), 10);
    QCOMPARE(readAll(versions.first().path), saves[9]);
    QCOMPARE(readAll(third.path), saves[2]);
}

void TestLedgerBackups::damagedVersionIsNotRestored() {
    Folder folder;
    must(LedgerFile::save(folder.ledger(), *ledgerWith(u"现在的"_qs)));
    const QByteArray now = readAll(folder.ledger());
    QVERIFY(QDir().mkpath(folder.backups()));
    const QString damaged = folder.backups() + u"/20261201-080000.z"_qs;
    {
        QFile file(damaged);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("序号\r\n\"没有结束");
    }
    HolderLedger restorer(folder.paths, folder.files, User);
    const Status restored = restorer.restore(damaged, Now);
    QVERIFY(!restored.ok());
    QVERIFY2(restored.message().startsWith(u"这个版本无法读取，没有恢复。"_qs),
             qPrintable(restored.message()));
    QCOMPARE(readAll(folder.ledger()), now);
    QCOMPARE(folder.versionFiles(), QStringList{u"20261201-080000.z"_qs});
}

// The first start of a day copies both tables (they open with the same records); later starts
// that day copy nothing; thirty days of copies are kept.
void TestLedgerBackups::tablesAreCopiedOnceADay() {
    Folder folder;
    {
        RecordTable users = valueOf(RecordTable::open(folder.paths.userTable()));
        must(users.appendRecord({u"张三"_qs}));
        must(users.appendRecord({u"李四"_qs}));
    }
    const QString root = SafetyPaths::tableBackupRoot(folder.paths);
    for (int day = TableBackups::KeptDays + 2; day >= 0; --day)
        QCOMPARE(valueOf(TableBackups::backUpIfDue(folder.paths, folder.files, Now.addDays(-day))),
                 true);
    QCOMPARE(valueOf(TableBackups::backUpIfDue(folder.paths, folder.files, Now.addSecs(60))),
             false);
    const QStringList days =
        QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    QCOMPARE(days.size(), TableBackups::KeptDays);
    QCOMPARE(days.last(), u"20261209"_qs);
    QCOMPARE(days.first(), Now.addDays(1 - TableBackups::KeptDays).toString(u"yyyyMMdd"_qs));
    RecordTable copy = valueOf(RecordTable::open(root + u"/20261209/liebiao.edb"_qs));
    QCOMPARE(valueOf(copy.readColumn(1)), (QStringList{u"张三"_qs, u"李四"_qs}));
    QVERIFY(RecordTable::open(root + u"/20261209/liebiao1.edb"_qs).ok());
}

QTEST_GUILESS_MAIN(TestLedgerBackups)
#include "test_ledgerbackups.moc"
