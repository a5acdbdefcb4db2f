#include "books/localbooks.h"
#include "checks.h"
#include "faultyfilesystem.h"
#include "ledger/ledgerclosing.h"
#include "ledger/ledgerfile.h"
#include "scriptedhost.h"
#include "storage/datastore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace vellumar;

namespace {

const QString User = u"张三"_qs;
const QString Own = u"<own>"_qs; // a save-file answer: the holder's own ledger file

enum Button { Retry = 0, SaveCopy, Discard, Back };
enum Warning { CloseUnsaved = 0, KeepIt };

} // namespace

class TestLedgerClosing : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void savedLedgerClosesWithoutAQuestion();
    void afterAFailedSave_data();
    void afterAFailedSave();
    void questionSaysWhatReallyFailed();
};

void TestLedgerClosing::savedLedgerClosesWithoutAQuestion() {
    QTemporaryDir directory;
    DataPaths paths(directory.path());
    must(prepareDataDirectory(paths));
    FaultyFileSystem files;
    ScriptedHost host;
    LocalBooks books(paths, files);
    const std::unique_ptr<HolderBook> book = books.book(User);
    HolderBook& ledger = *book;
    LedgerSheet sheet;
    sheet.applyTitles();
    QVERIFY(SaveBeforeClosing(host, ledger, sheet).run());
    QVERIFY(QFileInfo(ledger.filePath()).isFile());
    QVERIFY(host.questions().isEmpty());
    QVERIFY(host.messages().isEmpty());
    VERIFY_SCRIPT_DONE(host);
}

void TestLedgerClosing::afterAFailedSave_data() {
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QStringList>("saveFiles");
    // The file step (counted from 1) before which the fault goes away; 0: never.
    QTest::addColumn<int>("repairedAt");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<int>("questions");
    QTest::addColumn<QString>("copy");
    QTest::addColumn<bool>("ownFileWritten");

    QTest::newRow("back to the ledger")
        << QList<int>{Back} << QStringList{} << 0 << false << 1 << QString() << false;
    QTest::newRow("retry fails again, then back")
        << QList<int>{Retry, Back} << QStringList{} << 0 << false << 2 << QString() << false;
    QTest::newRow("retry after the fault is gone")
        << QList<int>{Retry} << QStringList{} << 2 << true << 1 << QString() << true;
    QTest::newRow("copy elsewhere") << QList<int>{SaveCopy} << QStringList{u"copy.z"_qs} << 0
                                    << true << 1 << u"copy.z"_qs << false;
    QTest::newRow("copy dialog cancelled asks again")
        << QList<int>{SaveCopy, Back} << QStringList{QString()} << 0 << false << 2 << QString()
        << false;
    QTest::newRow("copy that fails asks again")
        << QList<int>{SaveCopy, SaveCopy} << QStringList{u"missing/copy.z"_qs, u"copy.z"_qs} << 0
        << true << 2 << u"copy.z"_qs << false;
    QTest::newRow("copy onto the own file is a retry")
        << QList<int>{SaveCopy, Back} << QStringList{Own} << 0 << false << 2 << QString() << false;
    QTest::newRow("close unsaved after the warning")
        << QList<int>{Discard, CloseUnsaved} << QStringList{} << 0 << true << 2 << QString()
        << false;
    QTest::newRow("warning answered back asks again")
        << QList<int>{Discard, KeepIt, Back} << QStringList{} << 0 << false << 3 << QString()
        << false;
}

// A ledger that cannot be saved can always be closed, and never loses what was typed unless
// the operator chose that after a warning.
void TestLedgerClosing::afterAFailedSave() {
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, saveFiles);
    QFETCH(int, repairedAt);
    QFETCH(bool, closes);
    QFETCH(int, questions);
    QFETCH(QString, copy);
    QFETCH(bool, ownFileWritten);

    QTemporaryDir directory;
    DataPaths paths(directory.path());
    must(prepareDataDirectory(paths));
    FaultyFileSystem files;
    ScriptedHost host;
    LocalBooks books(paths, files);
    const std::unique_ptr<HolderBook> book = books.book(User);
    HolderBook& ledger = *book;
    // A folder named like the ledger file: every save of the holder's own file fails.
    QVERIFY(QDir().mkpath(ledger.filePath()));
    LedgerSheet sheet;
    sheet.applyTitles();
    sheet.setCell(1, LedgerSheet::Serial, u"1"_qs);
    sheet.setCell(1, LedgerSheet::Product, u"今天的货"_qs);

    for (int answer : answers)
        host.answerQuestion(answer);
    for (const QString& file : saveFiles)
        host.chooseSaveFile(file == Own      ? ledger.filePath()
                            : file.isEmpty() ? QString()
                                             : directory.filePath(file));
    int saves = 0;
    const auto runner = [&](const SaveBeforeClosing::Work& work) {
        if (work && ++saves == repairedAt)
            QDir(ledger.filePath()).removeRecursively();
        return work();
    };
    QCOMPARE(SaveBeforeClosing(host, ledger, sheet, runner).run(), closes);
    VERIFY_SCRIPT_DONE(host);

    QCOMPARE(host.questions().size(), questions);
    QCOMPARE(QFileInfo(ledger.filePath()).isFile(), ownFileWritten);
    QCOMPARE(QFileInfo(ledger.filePath()).isDir(), !ownFileWritten);
    QCOMPARE(host.saveDialogs().size(), saveFiles.size());
    for (const ScriptedHost::SaveDialog& dialog : host.saveDialogs()) {
        QCOMPARE(dialog.filters.first().pattern, u"*.z"_qs);
        QCOMPARE(dialog.suggestedPath, QDir::homePath() + u"/张三的账目.z"_qs);
    }
    if (!copy.isEmpty()) {
        LedgerSheet saved;
        must(LedgerFile::load(directory.filePath(copy), saved));
        QCOMPARE(saved.cell(1, LedgerSheet::Product), u"今天的货"_qs);
        QCOMPARE(host.messageTexts(),
                 QStringList{u"账目已另存到“%1”。\n原来的账目文件没有改动。"_qs.arg(
                     QDir::toNativeSeparators(directory.filePath(copy)))});
    } else {
        QVERIFY(host.messages().isEmpty());
        QVERIFY(!QFileInfo::exists(directory.filePath(u"copy.z"_qs)));
    }
}

// The question carries the save's own failure, and its buttons say what each choice does;
// Enter retries and Esc goes back, but closing unsaved takes a deliberate click.
void TestLedgerClosing::questionSaysWhatReallyFailed() {
    QTemporaryDir directory;
    DataPaths paths(directory.path());
    must(prepareDataDirectory(paths));
    FaultyFileSystem files;
    ScriptedHost host;
    LocalBooks books(paths, files);
    const std::unique_ptr<HolderBook> book = books.book(User);
    HolderBook& ledger = *book;
    QVERIFY(QDir().mkpath(ledger.filePath()));
    LedgerSheet sheet;
    const Status failure = ledger.save(sheet, host.now());
    QVERIFY(!failure.ok());
    host.answerQuestion(Discard);
    host.answerQuestion(KeepIt);
    host.answerQuestion(Back);
    QVERIFY(!SaveBeforeClosing(host, ledger, sheet).run());
    VERIFY_SCRIPT_DONE(host);

    const Question& failed = host.questions().first();
    QVERIFY2(failed.text.startsWith(u"文件保存失败！\n"_qs + failure.message()),
             qPrintable(failed.text));
    QVERIFY(failure.message().contains(u"同名的是一个文件夹"_qs));
    QCOMPARE(failed.detail, failure.detail());
    QVERIFY(!failed.detail.isEmpty());
    QCOMPARE(failed.buttons, (QStringList{u"重试"_qs, u"另存为…"_qs, u"不保存"_qs, u"返回"_qs}));
    QCOMPARE(failed.defaultButton, int(Retry));
    QCOMPARE(failed.cancelButton, int(Back));
    QCOMPARE(failed.icon, MessageFlags::IconWarning);
    QCOMPARE(failed.title, u"提示"_qs);

    const Question& warning = host.questions().at(1);
    QVERIFY(warning.text.contains(u"改动将全部丢失"_qs));
    QCOMPARE(warning.buttons, (QStringList{u"不保存，关闭"_qs, u"返回"_qs}));
    QCOMPARE(warning.defaultButton, int(KeepIt));
    QCOMPARE(warning.cancelButton, int(KeepIt));
    QCOMPARE(host.questions().at(2).text, failed.text);
}

QTEST_GUILESS_MAIN(TestLedgerClosing)
#include "test_ledgerclosing.moc"
