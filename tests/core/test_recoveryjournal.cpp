#include "checks.h"
#include "ledger/holderledger.h"
#include "ledger/ledgeredits.h"
#include "ledger/ledgerfile.h"
#include "safety/journalfile.h"
#include "safety/recoveryjournal.h"
#include "safety/safetypaths.h"
#include "storage/datastore.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace vellumar;

namespace {

constexpr const char* ChildSwitch = "--add-records";
const QString User = u"张三"_qs;

RecordFields recordNumber(int n) {
    return {QStringLiteral("记录 %1").arg(n),
            QString::number(n),
            u"箱"_qs,
            u"2.5"_qs,
            QString::number(n * 2.5),
            n % 3 == 0 ? u"赊账\n月底结清"_qs : QString()};
}

QString dateOf(int n) {
    return QStringLiteral("2026-12-09 09:%1:00").arg(n % 60, 2, 10, QLatin1Char('0'));
}

// A holder's ledger with a few records, saved in the program folder.
void writeLedger(const DataPaths& paths, int records) {
    LedgerSheet sheet;
    sheet.applyTitles();
    for (int n = 1; n <= records; ++n)
        must(LedgerRecords::add(sheet, recordNumber(n), dateOf(n)).status());
    must(LedgerFile::save(paths.ledgerFile(DataPaths::LedgerDirSlash, User), sheet));
}

// The ledger as the window opens it: loaded, then the journal taken up.
struct OpenLedger {
    LocalFileSystem files;
    LedgerSheet sheet;
    LedgerEdits edits{sheet};
    HolderLedger ledger;
    explicit OpenLedger(const DataPaths& paths) : ledger(paths, files, User) {
        must(ledger.load(sheet).status());
        ledger.trackEdits(&edits);
    }
    void startRecording() { edits.setRecorder(ledger.journal()); }
};

// The child: opens the ledger as the window does and adds records through the real journal,
// saying "done N" once record N is in, until it is killed.
int runChild(const QString& folder) {
    const DataPaths paths(folder);
    OpenLedger open(paths);
    open.startRecording();
    const auto say = [](const QByteArray& line) {
        if (::write(STDOUT_FILENO, line.constData(), size_t(line.size())) != line.size())
            _exit(3);
    };
    say("ready\n");
    for (int n = 1; n < 1000000; ++n) {
        if (!open.edits.addRecord(recordNumber(1000 + n), dateOf(n)).ok() ||
            !open.edits.isRecording())
            return 4;
        say("done " + QByteArray::number(n) + '\n');
    }
    return 0;
}

QStringList productsOf(const LedgerSheet& sheet) {
    QStringList products;
    for (int row = 1; row < sheet.rowCount() && !sheet.isFree(row); ++row)
        products.append(sheet.cell(row, LedgerSheet::Product));
    return products;
}

QByteArray journalBytes(const QList<LedgerChange>& changes, const FileIdentity& base = {}) {
    QByteArray bytes = JournalFile::header(base);
    for (const LedgerChange& change : changes)
        bytes += JournalFile::entry(change);
    return bytes;
}

Result<JournalFile::Contents> readBytes(QByteArray bytes) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return JournalFile::read(buffer);
}

QList<LedgerChange> someChanges() {
    return {LedgerChange::added(recordNumber(1), dateOf(1)),
            LedgerChange::edited(1, recordNumber(2)),
            LedgerChange::deleted(3, 2),
            LedgerChange::step(LedgerChange::Kind::Undo),
            LedgerChange::step(LedgerChange::Kind::Redo),
            LedgerChange::opened(u"打开的文件-1.z"_qs)};
}

} // namespace

class TestRecoveryJournal : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void entriesReadBackAsWritten();
    void damagedEndKeepsWhatCameBefore_data();
    void damagedEndKeepsWhatCameBefore();
    void journalOfAnotherFileDoesNotFit();
    void killedWhileAddingRecordsLosesNothingDone();
    void recoveredJournalTakesFurtherChanges();
    void openedFileIsKeptWithTheJournal();
    void savingAndClosingTakeTheJournalAway();
};

void TestRecoveryJournal::entriesReadBackAsWritten() {
    FileIdentity base;
    base.exists = true;
    base.inode = 42;
    base.size = 1234;
    base.modifiedNs = 1765272615123456789;
    const Result<JournalFile::Contents> read = readBytes(journalBytes(someChanges(), base));
    QVERIFY(read.ok());
    QVERIFY(read->damage.ok());
    QCOMPARE(read->base, base);
    QCOMPARE(read->changes, someChanges());
}

void TestRecoveryJournal::damagedEndKeepsWhatCameBefore_data() {
    QTest::addColumn<int>("cutFromEnd");  // bytes taken off the end
    QTest::addColumn<int>("flipFromEnd"); // a byte changed this far from the end (0: none)
    QTest::addColumn<QByteArray>("appended");
    QTest::addColumn<int>("whole"); // changes read
    QTest::addColumn<QString>("says");
    const int all = int(someChanges().size());
    QTest::newRow("last entry cut short") << 5 << 0 << QByteArray() << all - 1 << "没有写完";
    QTest::newRow("only its frame left") << int(JournalFile::entry(someChanges().last()).size()) - 3
                                         << 0 << QByteArray() << all - 1 << "没有写完";
    QTest::newRow("a byte of it changed") << 0 << 4 << QByteArray() << all - 1 << "已经损坏";
    QTest::newRow("a length far beyond the file")
        << 0 << 0 << QByteArray("\xFF\xFF\x0F\x00\x00\x00\x00\x00", 8) << all << "没有写完";
    QTest::newRow("a length beyond any entry")
        << 0 << 0 << QByteArray("\xFF\xFF\xFF\xFF\x00\x00\x00\x00", 8) + QByteArray(64, 'x') << all
        << "已经损坏";
    QTest::newRow("nothing wrong") << 0 << 0 << QByteArray() << all << QString();
}

// A crash in the middle of writing an entry, or damage later, costs that entry and nothing
// before it; a length read from the file is never believed beyond the file.
void TestRecoveryJournal::damagedEndKeepsWhatCameBefore() {
    QFETCH(int, cutFromEnd);
    QFETCH(int, flipFromEnd);
    QFETCH(QByteArray, appended);
    QFETCH(int, whole);
    QFETCH(QString, says);
    QByteArray bytes = journalBytes(someChanges());
    bytes.chop(cutFromEnd);
    if (flipFromEnd > 0)
        bytes[bytes.size() - flipFromEnd] = char(bytes[bytes.size() - flipFromEnd] ^ 0x20);
    bytes += appended;
    const Result<JournalFile::Contents> read = readBytes(bytes);
    QVERIFY(read.ok());
    QCOMPARE(read->changes, someChanges().mid(0, whole));
    QCOMPARE(read->damage.ok(), says.isEmpty());
    QVERIFY2(read->damage.message().contains(says), qPrintable(read->damage.message()));

    // Not even a header: nothing to recover, and said so.
    QVERIFY(!readBytes(bytes.left(12)).ok());
    QVERIFY(!readBytes("a ledger, not a journal").ok());
}

void TestRecoveryJournal::journalOfAnotherFileDoesNotFit() {
    QTemporaryDir folder;
    const DataPaths paths(folder.path());
    must(prepareDataDirectory(paths));
    writeLedger(paths, 3);
    {
        OpenLedger open(paths);
        open.startRecording();
        QVERIFY(open.edits.addRecord(recordNumber(9), dateOf(9)).ok());
    }
    LocalFileSystem files;
    const QString journal = SafetyPaths::journalFolder(paths, User);
    const FileIdentity now =
        valueOf(FileIdentity::of(paths.ledgerFile(DataPaths::LedgerDirSlash, User)));
    QVERIFY(valueOf(Recovery::find(files, journal, now))->fitsLedger);
    // The ledger file replaced (saved elsewhere, restored from a backup): never replayed onto it.
    writeLedger(paths, 3);
    const FileIdentity replaced =
        valueOf(FileIdentity::of(paths.ledgerFile(DataPaths::LedgerDirSlash, User)));
    const std::optional<LeftJournal> left = valueOf(Recovery::find(files, journal, replaced));
    QVERIFY(left && !left->fitsLedger);
    QCOMPARE(left->contents.changes.size(), 1);
    // Set aside, not deleted: the same bytes under a name with the moment.
    const QString aside = valueOf(
        Recovery::setAside(files, journal, QDateTime(QDate(2026, 12, 9), QTime(9, 30, 15))));
    QCOMPARE(aside, journal + u"-20261209-093015"_qs);
    QVERIFY(!QFileInfo::exists(journal));
    QCOMPARE(valueOf(Recovery::find(files, aside, replaced))->contents.changes.size(), 1);
}

// A real process adds records through the journal until it is killed (SIGKILL) at a random
// moment; the ledger opened afterwards recovers every record the child had finished adding,
// and at most the one it was adding, in order and cell for cell.
void TestRecoveryJournal::killedWhileAddingRecordsLosesNothingDone() {
    QRandomGenerator random(20261209);
    QElapsedTimer clock;
    clock.start();
    int rounds = 0;
    int recovered = 0;
    for (; rounds < 20 && clock.elapsed() < 20000; ++rounds) {
        QTemporaryDir folder;
        const DataPaths paths(folder.path());
        must(prepareDataDirectory(paths));
        writeLedger(paths, 2);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(ChildSwitch), folder.path()});
        QByteArray output;
        while (!output.contains("ready\n") && child.waitForReadyRead(10000))
            output += child.readAllStandardOutput();
        QVERIFY2(output.startsWith("ready\n"), output.constData());
        ::usleep(random.bounded(5000u, 150000u));
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        output += child.readAllStandardOutput();
        int done = 0;
        for (const QByteArray& line : output.split('\n'))
            if (line.startsWith("done "))
                done = line.mid(5).toInt();

        OpenLedger reopened(paths);
        const std::optional<LeftJournal> left = valueOf(reopened.ledger.leftJournal());
        if (!left) {
            // Killed before its first change was written: nothing to recover, nothing lost.
            QCOMPARE(done, 0);
            continue;
        }
        QVERIFY(left->fitsLedger);
        const LedgerEdits::Replayed replayed =
            reopened.edits.replay(left->contents.changes, left->folder);
        QVERIFY2(replayed.stoppedBy.ok(), qPrintable(replayed.stoppedBy.message()));
        const int made = replayed.made;
        QVERIFY2(made == done || made == done + 1,
                 qPrintable(QStringLiteral("%1 said done, %2 recovered").arg(done).arg(made)));
        QStringList expected = {u"记录 1"_qs, u"记录 2"_qs};
        for (int n = 1; n <= made; ++n)
            expected.append(QStringLiteral("记录 %1").arg(1000 + n));
        QCOMPARE(productsOf(reopened.sheet), expected);
        if (made > 0)
            QCOMPARE(LedgerRecords::fieldsAt(reopened.sheet, 2 + made), recordNumber(1000 + made));
        recovered += made;
    }
    QVERIFY2(rounds >= 5, qPrintable(QStringLiteral("only %1 rounds").arg(rounds)));
    QVERIFY(recovered > 0);
    qInfo("%d kills, %d records recovered", rounds, recovered);
}

// After a recovery the journal holds what was made again (a damaged end left out), and the
// changes that follow it, so a second crash loses nothing either.
void TestRecoveryJournal::recoveredJournalTakesFurtherChanges() {
    QTemporaryDir folder;
    const DataPaths paths(folder.path());
    must(prepareDataDirectory(paths));
    writeLedger(paths, 1);
    const QString journalFile =
        SafetyPaths::journalFolder(paths, User) + u'/' + RecoveryJournal::FileName;
    {
        OpenLedger open(paths);
        open.startRecording();
        for (int n = 2; n <= 4; ++n)
            QVERIFY(open.edits.addRecord(recordNumber(n), dateOf(n)).ok());
    }
    QVERIFY(QFile::resize(journalFile, QFileInfo(journalFile).size() - 3));
    {
        OpenLedger open(paths);
        const std::optional<LeftJournal> left = valueOf(open.ledger.leftJournal());
        QCOMPARE(left->contents.changes.size(), 2);
        QVERIFY(!left->contents.damage.ok());
        QCOMPARE(open.edits.replay(left->contents.changes, left->folder).made, 2);
        QVERIFY(open.ledger.journal()->resume(left->contents.changes).ok());
        open.startRecording();
        QVERIFY(open.edits.addRecord(recordNumber(5), dateOf(5)).ok());
        open.edits.undo();
    }
    OpenLedger again(paths);
    const std::optional<LeftJournal> left = valueOf(again.ledger.leftJournal());
    QVERIFY(left->contents.damage.ok());
    QCOMPARE(again.edits.replay(left->contents.changes, left->folder).made, 4);
    QCOMPARE(productsOf(again.sheet), (QStringList{u"记录 1"_qs, u"记录 2"_qs, u"记录 3"_qs}));
}

// "打开" shows another file; the journal keeps a copy of what was shown, so the file may change
// or go before the changes are recovered, and undoing it afterwards still gives the ledger back.
void TestRecoveryJournal::openedFileIsKeptWithTheJournal() {
    QTemporaryDir folder;
    const DataPaths paths(folder.path());
    must(prepareDataDirectory(paths));
    writeLedger(paths, 2);
    const QString other = folder.filePath(u"别人的.z"_qs);
    {
        LedgerSheet sheet;
        sheet.applyTitles();
        must(LedgerRecords::add(sheet, recordNumber(77), dateOf(77)).status());
        must(LedgerFile::save(other, sheet));
    }
    {
        OpenLedger open(paths);
        open.startRecording();
        QVERIFY(open.edits.openFile(other).ok());
        QVERIFY(open.edits.addRecord(recordNumber(78), dateOf(78)).ok());
    }
    QVERIFY(QFile::remove(other));
    OpenLedger reopened(paths);
    const std::optional<LeftJournal> left = valueOf(reopened.ledger.leftJournal());
    QCOMPARE(reopened.edits.replay(left->contents.changes, left->folder).made, 2);
    QCOMPARE(productsOf(reopened.sheet), (QStringList{u"记录 77"_qs, u"记录 78"_qs}));
    reopened.edits.undo();
    reopened.edits.undo();
    QCOMPARE(productsOf(reopened.sheet), (QStringList{u"记录 1"_qs, u"记录 2"_qs}));
}

void TestRecoveryJournal::savingAndClosingTakeTheJournalAway() {
    QTemporaryDir folder;
    const DataPaths paths(folder.path());
    must(prepareDataDirectory(paths));
    writeLedger(paths, 1);
    const QString journal = SafetyPaths::journalFolder(paths, User);
    OpenLedger open(paths);
    open.startRecording();
    // Only looking leaves nothing behind; the first change makes the journal.
    QVERIFY(!QFileInfo::exists(journal));
    QVERIFY(open.edits.addRecord(recordNumber(2), dateOf(2)).ok());
    QVERIFY(QFileInfo::exists(journal));
    must(open.ledger.save(open.sheet, QDateTime(QDate(2026, 12, 9), QTime(10, 0))));
    QVERIFY(!QFileInfo::exists(journal));
    QVERIFY(!open.edits.hasUnsavedChanges());
    // The next change starts a journal on the file just saved.
    QVERIFY(open.edits.addRecord(recordNumber(3), dateOf(3)).ok());
    const FileIdentity saved =
        valueOf(FileIdentity::of(paths.ledgerFile(DataPaths::LedgerDirSlash, User)));
    QVERIFY(valueOf(open.ledger.leftJournal())->fitsLedger);
    QCOMPARE(valueOf(open.ledger.leftJournal())->contents.base, saved);
    must(open.ledger.closedWithoutSaving());
    QVERIFY(!QFileInfo::exists(journal));
}

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], ChildSwitch) == 0)
        return runChild(QString::fromLocal8Bit(argv[2]));
    TestRecoveryJournal test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_recoveryjournal.moc"
