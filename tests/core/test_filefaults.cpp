// What the operator is told when the disk refuses a save or a table change: each message is
// made from what really failed, in plain Chinese, with the system's words kept as the detail.
// The faults are real ones: a full disk, a read-only disk, an immutable file, a name too long,
// a symbolic link, a locked or damaged table.

#include "checks.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgersheet.h"
#include "realfaults.h"
#include "storage/filesystem.h"
#include "storage/recordtable.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace vellumar;

namespace {

enum class Fault { DiskFull, ReadOnlyDisk, ImmutableFile, NameTooLong, SymbolicLink, Folder };

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// A sheet whose file is far larger than the little room a test disk has.
const LedgerSheet& bigSheet() {
    static LedgerSheet* sheet = [] {
        auto* made = new LedgerSheet(4000);
        made->applyTitles();
        for (int row = 1; row < made->rowCount(); ++row)
            made->setCell(row, LedgerSheet::Remark, QStringLiteral("很长很长的备注，写满一整行。"));
        return made;
    }();
    return *sheet;
}

// The operator's sentence must not fall back on the system's English: every Latin word in it
// must come from the file's own path.
void verifyNoEnglish(const QString& message, const QString& path) {
    QString withoutPath = message;
    withoutPath.remove(QDir::toNativeSeparators(path));
    const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
    QVERIFY2(!word.match(withoutPath).hasMatch(), qPrintable(message));
}

QStringList leftovers(const QString& folder, const QStringList& expected) {
    QStringList found = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : expected)
        found.removeAll(name);
    return found;
}

} // namespace

class TestFileFaults : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refusedSaveSaysWhy_data();
    void refusedSaveSaysWhy();
    void refusedTableChangeSaysWhy_data();
    void refusedTableChangeSaysWhy();
    void lockedTableIsAFailureNotAnEmptyTable();
    void unusableTableIsRefused_data();
    void unusableTableIsRefused();
    void fileOperationsNeverReplaceOrFollow_data();
    void fileOperationsNeverReplaceOrFollow();
};

void TestFileFaults::refusedSaveSaysWhy_data() {
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("cause");
    QTest::newRow("disk full") << Fault::DiskFull << QStringLiteral("磁盘空间已满");
    QTest::newRow("read-only disk") << Fault::ReadOnlyDisk << QStringLiteral("只读");
    QTest::newRow("immutable file") << Fault::ImmutableFile << QStringLiteral("不可更改");
    QTest::newRow("name too long") << Fault::NameTooLong << QStringLiteral("文件名太长");
    QTest::newRow("symbolic link") << Fault::SymbolicLink << QStringLiteral("符号链接");
    QTest::newRow("folder of that name") << Fault::Folder << QStringLiteral("文件夹");
}

void TestFileFaults::refusedSaveSaysWhy() {
    QFETCH(Fault, fault);
    QFETCH(QString, cause);
    const bool needsRealFaults =
        fault == Fault::DiskFull || fault == Fault::ReadOnlyDisk || fault == Fault::ImmutableFile;
    if (needsRealFaults)
        REQUIRE_REAL_FAULTS();

    const QByteArray old = "\xEF\xBB\xBF序号\r\n1,旧的记录\r\n";
    QTemporaryDir scratch;
    std::unique_ptr<realfaults::SmallDisk> disk;
    std::unique_ptr<realfaults::ReadOnlyView> view;
    QString folder = scratch.path();
    QString name = QStringLiteral("张三.z");
    QString other; // a file the save must not touch

    switch (fault) {
    case Fault::DiskFull:
        disk = std::make_unique<realfaults::SmallDisk>(256 * 1024);
        QVERIFY(disk->mounted());
        folder = disk->path();
        writeFile(folder + u'/' + name, old);
        QVERIFY(disk->fill());
        break;
    case Fault::ReadOnlyDisk:
        writeFile(folder + u'/' + name, old);
        view = std::make_unique<realfaults::ReadOnlyView>(folder);
        QVERIFY(view->mounted());
        folder = view->path();
        break;
    case Fault::ImmutableFile:
        writeFile(folder + u'/' + name, old);
        QVERIFY(realfaults::setImmutable(folder + u'/' + name, true));
        break;
    case Fault::NameTooLong:
        name = QString(100, QChar(u'长')) + QStringLiteral(".z"); // 302 bytes in UTF-8
        break;
    case Fault::SymbolicLink:
        other = scratch.filePath(QStringLiteral("passwd-copy"));
        writeFile(other, "root:x:0:0:root:/root:/bin/bash\n");
        QVERIFY(QFile::link(other, folder + u'/' + name));
        break;
    case Fault::Folder:
        QVERIFY(QDir(folder).mkdir(name));
        break;
    }
    const QString path = folder + u'/' + name;
    const QStringList before = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);

    const Status saved = LedgerFile::save(path, bigSheet());
    if (fault == Fault::ImmutableFile)
        QVERIFY(realfaults::setImmutable(path, false));

    QVERIFY(!saved.ok());
    QVERIFY2(saved.message().contains(cause), qPrintable(saved.message()));
    QVERIFY2(saved.message().contains(QDir::toNativeSeparators(path)), qPrintable(saved.message()));
    verifyNoEnglish(saved.message(), path);
    if (fault == Fault::DiskFull || fault == Fault::ReadOnlyDisk || fault == Fault::ImmutableFile)
        QCOMPARE(readAll(path), old);
    if (!other.isEmpty())
        QCOMPARE(readAll(other), QByteArray("root:x:0:0:root:/root:/bin/bash\n"));
    // Nothing half-written stays behind.
    QCOMPARE(leftovers(folder, before), QStringList());
}

void TestFileFaults::refusedTableChangeSaysWhy_data() {
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("cause");
    QTest::newRow("disk full") << Fault::DiskFull << QStringLiteral("磁盘空间已满");
    QTest::newRow("read-only disk") << Fault::ReadOnlyDisk << QStringLiteral("只能读");
    QTest::newRow("immutable folder") << Fault::ImmutableFile << QStringLiteral("允许写入新文件");
}

void TestFileFaults::refusedTableChangeSaysWhy() {
    QFETCH(Fault, fault);
    QFETCH(QString, cause);
    REQUIRE_REAL_FAULTS();

    QTemporaryDir scratch;
    std::unique_ptr<realfaults::SmallDisk> disk;
    std::unique_ptr<realfaults::ReadOnlyView> view;
    QString folder = scratch.path();
    if (fault == Fault::DiskFull) {
        disk = std::make_unique<realfaults::SmallDisk>(256 * 1024);
        QVERIFY(disk->mounted());
        folder = disk->path();
    }
    const QString created = folder + QStringLiteral("/liebiao.edb");
    must(RecordTable::create(created));
    {
        RecordTable table = valueOf(RecordTable::open(created));
        must(table.appendRecord({QStringLiteral("张三")}));
    }
    if (fault == Fault::DiskFull)
        QVERIFY(disk->fill());
    if (fault == Fault::ReadOnlyDisk) {
        view = std::make_unique<realfaults::ReadOnlyView>(folder);
        QVERIFY(view->mounted());
        folder = view->path();
    }
    // A folder that takes no new file: the table's journal cannot be made beside it.
    if (fault == Fault::ImmutableFile)
        QVERIFY(realfaults::setImmutable(folder, true));
    const QString path = folder + QStringLiteral("/liebiao.edb");
    RecordTable table = valueOf(RecordTable::open(path));
    const Status written = table.appendRecord({QString(20000, QChar(u'李'))});
    if (fault == Fault::ImmutableFile)
        QVERIFY(realfaults::setImmutable(folder, false));
    QVERIFY(!written.ok());
    QVERIFY2(written.message().contains(cause), qPrintable(written.message()));
    QVERIFY(!written.detail().isEmpty());
    verifyNoEnglish(written.message(), path);
    // The table is as it was.
    QCOMPARE(valueOf(table.readColumn(1)), QStringList{QStringLiteral("张三")});
}

void TestFileFaults::lockedTableIsAFailureNotAnEmptyTable() {
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("liebiao1.edb"));
    must(RecordTable::create(path, 1));
    RecordTable table = valueOf(RecordTable::open(path));
    must(table.writeField(1, 1, QStringLiteral("$argon2id$stored")));

    // Another program holds the table for itself.
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

    const Result<QString> read = table.readField(1, 1);
    QVERIFY(!read.ok());
    QVERIFY2(read.status().message().contains(QStringLiteral("正被另一个程序使用")),
             qPrintable(read.status().message()));
    verifyNoEnglish(read.status().message(), path);

    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    QCOMPARE(valueOf(table.readField(1, 1)), QStringLiteral("$argon2id$stored"));
}

enum class TableDamage { SymbolicLink, DamagedPages, NotATable };

void TestFileFaults::unusableTableIsRefused_data() {
    QTest::addColumn<TableDamage>("damage");
    QTest::addColumn<QString>("cause");
    QTest::newRow("symbolic link") << TableDamage::SymbolicLink << QStringLiteral("符号链接");
    QTest::newRow("damaged pages") << TableDamage::DamagedPages << QStringLiteral("已经损坏");
    QTest::newRow("not a table") << TableDamage::NotATable << QStringLiteral("不是本程序的数据表");
}

// A table that cannot be used is reported, never read as empty, and never changed.
void TestFileFaults::unusableTableIsRefused() {
    QFETCH(TableDamage, damage);
    QFETCH(QString, cause);
    QTemporaryDir scratch;
    const QString real = scratch.filePath(QStringLiteral("real.edb"));
    const QString path = scratch.filePath(QStringLiteral("liebiao.edb"));
    must(RecordTable::create(real));
    {
        RecordTable table = valueOf(RecordTable::open(real));
        must(table.change([](RecordTable::Editor& editor) {
            for (int n = 0; n < 200; ++n)
                if (Status added = editor.appendRecord(
                        {QStringLiteral("用户 %1").arg(n), QString(200, u'字')});
                    !added)
                    return added;
            return Status();
        }));
    }
    switch (damage) {
    case TableDamage::SymbolicLink:
        QVERIFY(QFile::link(real, path));
        break;
    case TableDamage::DamagedPages: {
        QVERIFY(QFile::copy(real, path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        // Everything after the first page (the header) is overwritten.
        QVERIFY(file.seek(4096));
        QVERIFY(file.write(QByteArray(file.size() - 4096, '\x5A')) > 0);
        break;
    }
    case TableDamage::NotATable:
        writeFile(path, QByteArray(8192, '\xA5'));
        break;
    }
    const QByteArray before = readAll(real);
    const QByteArray damaged = readAll(path);

    Status failure;
    if (Result<RecordTable> table = RecordTable::open(path); !table) {
        failure = table.status();
    } else {
        const Result<QStringList> names = table->readColumn(1);
        QVERIFY2(!names.ok(), "a damaged table must not read as a list of users");
        failure = names.status();
    }
    QVERIFY(!failure.ok());
    QVERIFY2(failure.message().contains(cause), qPrintable(failure.message()));
    verifyNoEnglish(failure.message(), path);
    QCOMPARE(readAll(real), before);
    QCOMPARE(readAll(path), damaged);
}

enum class FileStep { RenameOntoFile, CopyOntoFile, CopyFromLink, RemoveFolder };

void TestFileFaults::fileOperationsNeverReplaceOrFollow_data() {
    QTest::addColumn<FileStep>("step");
    QTest::addColumn<QString>("cause");
    QTest::newRow("rename onto a file") << FileStep::RenameOntoFile << QStringLiteral("已经存在");
    QTest::newRow("copy onto a file") << FileStep::CopyOntoFile << QStringLiteral("已经存在");
    QTest::newRow("copy from a link") << FileStep::CopyFromLink << QStringLiteral("符号链接");
    QTest::newRow("remove a folder") << FileStep::RemoveFolder << QStringLiteral("文件夹");
}

void TestFileFaults::fileOperationsNeverReplaceOrFollow() {
    QFETCH(FileStep, step);
    QFETCH(QString, cause);
    QTemporaryDir scratch;
    const QString a = scratch.filePath(QStringLiteral("甲.z"));
    const QString b = scratch.filePath(QStringLiteral("乙.z"));
    writeFile(a, "ledger of 甲");
    LocalFileSystem files;
    Status done;
    switch (step) {
    case FileStep::RenameOntoFile:
        writeFile(b, "ledger of 乙");
        done = files.rename(a, b);
        break;
    case FileStep::CopyOntoFile:
        writeFile(b, "ledger of 乙");
        done = files.copy(a, b);
        break;
    case FileStep::CopyFromLink:
        QVERIFY(QFile::link(a, b));
        done = files.copy(b, scratch.filePath(QStringLiteral("副本.z")));
        break;
    case FileStep::RemoveFolder:
        QVERIFY(QDir(scratch.path()).mkdir(QStringLiteral("乙.z")));
        done = files.remove(b);
        break;
    }
    QVERIFY(!done.ok());
    QVERIFY2(done.message().contains(cause), qPrintable(done.message()));
    QCOMPARE(readAll(a), QByteArray("ledger of 甲"));
    if (step == FileStep::RenameOntoFile || step == FileStep::CopyOntoFile)
        QCOMPARE(readAll(b), QByteArray("ledger of 乙"));
    QVERIFY(!QFileInfo::exists(scratch.filePath(QStringLiteral("副本.z"))));
    QCOMPARE(leftovers(scratch.path(), {QStringLiteral("甲.z"), QStringLiteral("乙.z")}),
             QStringList());
}

QTEST_GUILESS_MAIN(TestFileFaults)
#include "test_filefaults.moc"
