#include "checks.h"
#include "faultyfilesystem.h"
#include "ledger/holderledger.h"
#include "ledger/ledgerfile.h"
#include "storage/datastore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>

using namespace vellumar;

namespace {

const QString User = u"张三"_qs;
const QDateTime Moment(QDate(2026, 12, 9), QTime(9, 30, 15));
const QByteArray Damaged = "\xEF\xBB\xBF序号,商品名称\r\n1,\"没有结束的引号\r\n";
const QByteArray TextFile = "root:x:0:0:root:/root:/bin/bash\nshop:x:1000:1000::/home/shop:\n";

// A program folder of its own with the ledger folder ready.
struct Folder {
    QTemporaryDir directory;
    DataPaths paths{directory.path()};
    FaultyFileSystem files;
    Folder() { must(prepareDataDirectory(paths)); }

    QString ledgerOf(const QString& user) const {
        return paths.ledgerFile(DataPaths::LedgerDirSlash, user);
    }
    QStringList ledgerFolder() const {
        return QDir(paths.ledgerDirectory()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }
};

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

std::unique_ptr<LedgerSheet> ledgerWith(const QString& product) {
    auto sheet = std::make_unique<LedgerSheet>(3);
    sheet->applyTitles();
    sheet->setCell(1, LedgerSheet::Serial, u"1"_qs);
    sheet->setCell(1, LedgerSheet::Product, product);
    return sheet;
}

enum class Found { Nothing, Ledger, Damaged, LinkToText, Folder, Pipe };

} // namespace

Q_DECLARE_METATYPE(Found)

class TestHolderLedger : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void loading_data();
    void loading();
    void unreadableFileIsKeptAsideOnce();
    void keptCopyNeverTakesAnExistingName();
    void failedCopyAsideSavesNothing_data();
    void failedCopyAsideSavesNothing();
    void nameThatIsNoFileName_data();
    void nameThatIsNoFileName();
};

void TestHolderLedger::loading_data() {
    QTest::addColumn<Found>("found");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<bool>("keepsAside");
    QTest::addColumn<QString>("says");
    QTest::newRow("no file yet") << Found::Nothing << true << false << QString();
    QTest::newRow("a ledger") << Found::Ledger << true << false << QString();
    QTest::newRow("damaged") << Found::Damaged << false << true << u"引号没有结束"_qs;
    QTest::newRow("link to a text file")
        << Found::LinkToText << false << false << u"它是一个符号链接"_qs;
    QTest::newRow("folder") << Found::Folder << false << false << u"同名的是一个文件夹"_qs;
    QTest::newRow("pipe") << Found::Pipe << false << false << u"它不是一个普通文件"_qs;
}

// A file of the holder is read only when it is a regular file of its own; whatever else is
// there is left exactly as it was, by the opening and by every save.
void TestHolderLedger::loading() {
    QFETCH(Found, found);
    QFETCH(bool, loads);
    QFETCH(bool, keepsAside);
    QFETCH(QString, says);
    Folder folder;
    const QString path = folder.ledgerOf(User);
    const QString target = folder.paths.sourceDirectory() + u"/passwd-copy"_qs;
    switch (found) {
    case Found::Nothing:
        break;
    case Found::Ledger:
        must(LedgerFile::save(path, *ledgerWith(u"大米"_qs)));
        break;
    case Found::Damaged:
        writeBytes(path, Damaged);
        break;
    case Found::LinkToText:
        writeBytes(target, TextFile);
        QVERIFY(QFile::link(target, path));
        break;
    case Found::Folder:
        QVERIFY(QDir().mkpath(path));
        break;
    case Found::Pipe:
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        break;
    }
    HolderLedger ledger(folder.paths, folder.files, User);
    QCOMPARE(ledger.path(), path);
    LedgerSheet sheet;
    const Result<HolderLedger::Opened> opened = ledger.load(sheet);
    QCOMPARE(opened.ok(), loads);
    QCOMPARE(ledger.keepsAsideBeforeSaving(), keepsAside);
    QCOMPARE(ledger.foundUnreadableFile(), keepsAside);
    if (loads) {
        QCOMPARE(*opened, found == Found::Nothing ? HolderLedger::Opened::New
                                                  : HolderLedger::Opened::Loaded);
        QCOMPARE(sheet.cell(1, LedgerSheet::Product),
                 found == Found::Nothing ? QString() : u"大米"_qs);
        return;
    }
    QVERIFY2(opened.status().message().contains(says), qPrintable(opened.status().message()));
    if (found != Found::Damaged) // the reader's own words name the row, the window the file
        QVERIFY(opened.status().message().contains(QDir::toNativeSeparators(path)));
    QCOMPARE(sheet.rowCount(), 1000);
    QVERIFY(sheet.cell(1, LedgerSheet::Serial).isEmpty());

    // A save never writes through whatever is there instead of a file of the holder's own.
    const QStringList before = folder.ledgerFolder();
    const Status saved = ledger.save(*ledgerWith(u"新的"_qs), Moment);
    if (found == Found::Damaged) {
        QVERIFY(saved.ok());
        return;
    }
    QVERIFY(!saved.ok());
    QCOMPARE(folder.ledgerFolder(), before);
    QCOMPARE(QFileInfo(path).isSymLink(), found == Found::LinkToText);
    QCOMPARE(readAll(target), found == Found::LinkToText ? TextFile : QByteArray());
}

void TestHolderLedger::unreadableFileIsKeptAsideOnce() {
    Folder folder;
    const QString path = folder.ledgerOf(User);
    writeBytes(path, Damaged);
    HolderLedger ledger(folder.paths, folder.files, User);
    LedgerSheet sheet;
    QVERIFY(!ledger.load(sheet).ok());
    QVERIFY(ledger.save(*ledgerWith(u"第一次"_qs), Moment).ok());
    const QString kept = path + u".无法读取-20261209-093015"_qs;
    QCOMPARE(ledger.keptCopy(), kept);
    QCOMPARE(readAll(kept), Damaged);
    QVERIFY(!ledger.keepsAsideBeforeSaving());
    // The second save replaces a file the program wrote itself: no second copy.
    QVERIFY(ledger.save(*ledgerWith(u"第二次"_qs), Moment.addSecs(60)).ok());
    QCOMPARE(folder.ledgerFolder().size(), 2);
    LedgerSheet saved;
    must(LedgerFile::load(path, saved));
    QCOMPARE(saved.cell(1, LedgerSheet::Product), u"第二次"_qs);
    QCOMPARE(folder.files.calls(FaultyFileSystem::Operation::Copy), 1);
}

void TestHolderLedger::keptCopyNeverTakesAnExistingName() {
    Folder folder;
    const QString path = folder.ledgerOf(User);
    writeBytes(path, Damaged);
    const QString first = path + u".无法读取-20261209-093015"_qs;
    writeBytes(first, "an earlier copy");
    HolderLedger ledger(folder.paths, folder.files, User);
    LedgerSheet sheet;
    QVERIFY(!ledger.load(sheet).ok());
    QVERIFY(ledger.save(*ledgerWith(u"新的"_qs), Moment).ok());
    QCOMPARE(ledger.keptCopy(), path + u".无法读取-20261209-093015-2"_qs);
    QCOMPARE(readAll(ledger.keptCopy()), Damaged);
    QCOMPARE(readAll(first), QByteArray("an earlier copy"));
}

void TestHolderLedger::failedCopyAsideSavesNothing_data() {
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("cause");
    QTest::newRow("disk full") << ENOSPC << u"磁盘空间已满"_qs;
    QTest::newRow("no permission") << EACCES << u"没有权限"_qs;
    QTest::newRow("read-only disk") << EROFS << u"只读"_qs;
}

// Without its copy aside, the unreadable file is not written over; the operator reads what
// really failed, and the next save tries the copy again.
void TestHolderLedger::failedCopyAsideSavesNothing() {
    QFETCH(int, error);
    QFETCH(QString, cause);
    Folder folder;
    const QString path = folder.ledgerOf(User);
    writeBytes(path, Damaged);
    HolderLedger ledger(folder.paths, folder.files, User);
    LedgerSheet sheet;
    QVERIFY(!ledger.load(sheet).ok());
    folder.files.fail(FaultyFileSystem::Operation::Copy, error);

    const Status saved = ledger.save(*ledgerWith(u"新的"_qs), Moment);
    QVERIFY(!saved.ok());
    QVERIFY2(saved.message().startsWith(u"打开窗口时无法读取的原账目文件没能另存一份副本"_qs),
             qPrintable(saved.message()));
    QVERIFY2(saved.message().contains(cause), qPrintable(saved.message()));
    QCOMPARE(saved.detail(), qt_error_string(error));
    QCOMPARE(readAll(path), Damaged);
    QCOMPARE(folder.ledgerFolder(), QStringList{QFileInfo(path).fileName()});
    QVERIFY(ledger.keepsAsideBeforeSaving());
    QVERIFY(ledger.keptCopy().isEmpty());

    folder.files.failNothing();
    QVERIFY(ledger.save(*ledgerWith(u"新的"_qs), Moment).ok());
    QCOMPARE(readAll(ledger.keptCopy()), Damaged);
}

void TestHolderLedger::nameThatIsNoFileName_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("says");
    QTest::newRow("leads out of the folder") << u"../keep"_qs << u"不能用作文件名"_qs;
    QTest::newRow("folder separator") << u"a/b"_qs << u"不能用作文件名"_qs;
    QTest::newRow("too long for a file name") << QString(100, u'长') << u"文件名太长"_qs;
}

// Such a name reads nothing and writes nothing, and says why both times.
void TestHolderLedger::nameThatIsNoFileName() {
    QFETCH(QString, user);
    QFETCH(QString, says);
    Folder folder;
    const QString outside = folder.paths.sourceDirectory() + u"/keep.z"_qs;
    must(LedgerFile::save(outside, *ledgerWith(u"别人的"_qs)));
    const QByteArray before = readAll(outside);
    HolderLedger ledger(folder.paths, folder.files, user);
    LedgerSheet sheet;
    const Result<HolderLedger::Opened> opened = ledger.load(sheet);
    QVERIFY(!opened.ok());
    QVERIFY2(opened.status().message().contains(says), qPrintable(opened.status().message()));
    QVERIFY(!ledger.foundUnreadableFile()); // nothing to promise a copy of
    QVERIFY(sheet.cell(1, LedgerSheet::Product).isEmpty());
    const Status saved = ledger.save(*ledgerWith(u"新的"_qs), Moment);
    QVERIFY(!saved.ok());
    QVERIFY2(saved.message().contains(says), qPrintable(saved.message()));
    QCOMPARE(readAll(outside), before);
    QVERIFY(folder.ledgerFolder().isEmpty());
}

QTEST_GUILESS_MAIN(TestHolderLedger)
#include "test_holderledger.moc"
