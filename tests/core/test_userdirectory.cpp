#include "accounts/userdirectory.h"
#include "checks.h"
#include "filesizelimit.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgerrecords.h"
#include "safety/safetypaths.h"
#include "storage/datastore.h"
#include "userbooks.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <functional>
#include <optional>

using namespace vellumar;
using namespace userbooks;

namespace {

// The real file system, watched: a test can make any single call fail with an errno and act
// just before and just after each call (take a copy of the disk, make the table refuse).
class WatchedFileSystem final : public FileSystem {
public:
    enum class Operation { Kind, Rename, Remove, Copy, Link, MakeFolder, RemoveFolder, List };
    struct Call {
        Operation operation;
        int number; // 1 for the first call of this operation, 2 for the second …
        QString path;
    };

    // The errno the call fails with; 0 lets it through.
    std::function<int(const Call&)> failure;
    std::function<void(const Call&)> before;
    std::function<void(const Call&)> after;

    Result<Kind> kind(const QString& path) const override {
        return watched<Result<Kind>>(Operation::Kind, path, [&] { return m_real.kind(path); });
    }
    Status rename(const QString& from, const QString& to) override {
        return watched<Status>(Operation::Rename, from, [&] { return m_real.rename(from, to); });
    }
    Status remove(const QString& path) override {
        return watched<Status>(Operation::Remove, path, [&] { return m_real.remove(path); });
    }
    Status copy(const QString& from, const QString& to) override {
        return watched<Status>(Operation::Copy, from, [&] { return m_real.copy(from, to); });
    }
    Status link(const QString& from, const QString& to) override {
        return watched<Status>(Operation::Link, from, [&] { return m_real.link(from, to); });
    }
    Status makeFolder(const QString& path) override {
        return watched<Status>(Operation::MakeFolder, path,
                               [&] { return m_real.makeFolder(path); });
    }
    Status removeFolder(const QString& path) override {
        return watched<Status>(Operation::RemoveFolder, path,
                               [&] { return m_real.removeFolder(path); });
    }
    // Reading a folder changes nothing, so it is no moment a crash could matter at.
    Result<QStringList> list(const QString& folder) const override { return m_real.list(folder); }

private:
    template <typename Answer>
    Answer watched(Operation operation, const QString& path,
                   const std::function<Answer()>& real) const {
        const Call call{operation, ++m_counts[static_cast<int>(operation)], path};
        if (before)
            before(call);
        if (const int error = failure ? failure(call) : 0)
            return Status::failure(QStringLiteral("系统拒绝了（测试）。"), qt_error_string(error));
        Answer answer = real();
        if (after)
            after(call);
        return answer;
    }

    LocalFileSystem m_real;
    mutable int m_counts[8] = {};
};

using Operation = WatchedFileSystem::Operation;

QByteArray ledgerOf(const QString& owner) {
    return "ledger of " + owner.toUtf8();
}

// "甲" for a ledger file of 甲 holding 甲's records; "丁=乙" for 丁.z holding 乙's; "丁/" for a
// folder named 丁.z.
QStringList ledgerFiles(const QStringList& entries) {
    QStringList files;
    for (const QString& entry : entries) {
        const QStringList parts = entry.split(u'=');
        const QString owner = parts.value(1, parts[0]);
        if (entry.endsWith(u'/'))
            files.append(entry.chopped(1) + QStringLiteral(".z=folder"));
        else
            files.append(parts[0] + QStringLiteral(".z=") + QString::fromUtf8(ledgerOf(owner)));
    }
    return files;
}

void copyFolder(const QString& from, const QString& to) {
    QDirIterator entries(from,
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    QDir().mkpath(to);
    while (entries.hasNext()) {
        const QFileInfo entry(entries.next());
        const QString target = to + entry.filePath().mid(from.size());
        if (entry.isSymLink())
            QFile::link(entry.symLinkTarget(), target);
        else if (entry.isDir())
            QDir().mkpath(target);
        else
            QFile::copy(entry.filePath(), target);
    }
}

// A program folder with a user table and ledger files to start from.
struct Books {
    QTemporaryDir directory;
    DataPaths paths{directory.path()};
    WatchedFileSystem files;

    explicit Books(const QStringList& users, const QStringList& ledgers = {}) {
        must(prepareDataDirectory(paths));
        RecordTable table = valueOf(RecordTable::open(paths.userTable()));
        for (const QString& name : users)
            must(table.appendRecord({name}));
        for (const QString& entry : ledgers)
            writeLedger(entry);
    }

    QString ledgerPath(const QString& name) const {
        return paths.ledgerFile(DataPaths::LedgerDirSlash, name);
    }

    // "丁" writes 丁's ledger as 丁.z; "丁=乙" writes 乙's ledger as 丁.z.
    // "丁/" makes a folder named 丁.z.
    void writeLedger(const QString& entry) {
        if (entry.endsWith(u'/')) {
            QVERIFY(QDir().mkdir(ledgerPath(entry.chopped(1))));
            return;
        }
        const QStringList parts = entry.split(u'=');
        QFile file(ledgerPath(parts[0]));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ledgerOf(parts.value(1, parts[0])));
    }

    std::unique_ptr<UserDirectory> open() { return valueOf(UserDirectory::open(paths, files)); }
};

UserChange apply(UserDirectory& directory, const QString& operation, int position,
                 const QString& name) {
    if (operation == u"add")
        return directory.add(name);
    if (operation == u"rename")
        return directory.rename(position, name);
    return directory.remove(position);
}

} // namespace

class TestUserDirectory : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void opensInTableOrder();
    void changes_data();
    void changes();
    void namesLeadingOutOfTheFolderTouchNoFile_data();
    void namesLeadingOutOfTheFolderTouchNoFile();
    void failedStepLeavesBeforeOrAfter_data();
    void failedStepLeavesBeforeOrAfter();
    void crashBetweenStepsIsSettled_data();
    void crashBetweenStepsIsSettled();
    void crashWithBothFilesThereKeepsBoth_data();
    void crashWithBothFilesThereKeepsBoth();
    void tableChangedElsewhereIsNoticed();
    void unreadableTableRefusesEveryChange();
    void unknownNoteIsLeftAlone();
    void recycledHolderComesBackAfterARestart_data();
    void recycledHolderComesBackAfterARestart();
    void restoreRefusedWhileTheNameIsTaken();
    void crashWithBackupsAlongIsSettled_data();
    void crashWithBackupsAlongIsSettled();
};

void TestUserDirectory::opensInTableOrder() {
    Books books({QStringLiteral("乙"), QStringLiteral("甲"), QString(), QStringLiteral("乙")});
    const std::unique_ptr<UserDirectory> directory = books.open();
    QCOMPARE(directory->users(), (QStringList{QStringLiteral("乙"), QStringLiteral("甲"), QString(),
                                              QStringLiteral("乙")}));
    QCOMPARE(directory->find(QStringLiteral("乙")), std::optional<int>(0));
    QCOMPARE(directory->find(QString()), std::optional<int>(2));
    QCOMPARE(directory->find(QStringLiteral("丙")), std::nullopt);
    QVERIFY(directory->warnings().isEmpty());
    QCOMPARE(directory->fileNameLimit(), 255);
}

void TestUserDirectory::changes_data() {
    QTest::addColumn<QStringList>("ledgers"); // before; the users are always 甲, 乙, 丙
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("refusal");
    QTest::addColumn<QString>("message"); // the start of it
    QTest::addColumn<QStringList>("usersAfter");
    QTest::addColumn<QStringList>("ledgersAfter");

    const QString jia = QStringLiteral("甲"), yi = QStringLiteral("乙"),
                  bing = QStringLiteral("丙"), ding = QStringLiteral("丁");
    const QStringList users = {jia, yi, bing};
    const int none = int(UserChange::Refusal::None);
    const int invalid = int(UserChange::Refusal::InvalidName);
    const int inUse = int(UserChange::Refusal::NameInUse);
    const int failed = int(UserChange::Refusal::Failed);
    const QString inTheWay = QStringLiteral("账本文件夹里已经有一个文件");

    QTest::newRow("add goes last, with no ledger yet")
        << QStringList{jia} << "add" << -1 << ding << none << QString() << users + QStringList{ding}
        << QStringList{jia};
    QTest::newRow("add a name in use") << QStringList{yi} << "add" << -1 << yi << inUse
                                       << "此用户已存在！" << users << QStringList{yi};
    QTest::newRow("add over a ledger of nobody")
        << QStringList{QStringLiteral("丁=前任")} << "add" << -1 << ding << failed << inTheWay
        << users << QStringList{QStringLiteral("丁=前任")};
    QTest::newRow("add a folder separator") << QStringList() << "add" << -1 << QStringLiteral("a/b")
                                            << invalid << "用户名无效！" << users << QStringList();
    // "name.z" must fit in the folder's 255 bytes; a Chinese character takes three.
    QTest::newRow("add the longest Latin name")
        << QStringList() << "add" << -1 << QString(253, u'n') << none << QString()
        << users + QStringList{QString(253, u'n')} << QStringList();
    QTest::newRow("add a Latin name one too long")
        << QStringList() << "add" << -1 << QString(254, u'n') << invalid << "用户名无效！" << users
        << QStringList();
    QTest::newRow("add the longest Chinese name")
        << QStringList() << "add" << -1 << QString(84, QChar(u'长')) << none << QString()
        << users + QStringList{QString(84, QChar(u'长'))} << QStringList();
    QTest::newRow("add a Chinese name one too long")
        << QStringList() << "add" << -1 << QString(85, QChar(u'长')) << invalid << "用户名无效！"
        << users << QStringList();

    QTest::newRow("rename moves the ledger")
        << QStringList{jia, yi} << "rename" << 1 << ding << none << QString()
        << QStringList{jia, ding, bing} << QStringList{jia, QStringLiteral("丁=乙")};
    QTest::newRow("rename a user who never saved")
        << QStringList{jia} << "rename" << 1 << ding << none << QString()
        << QStringList{jia, ding, bing} << QStringList{jia};
    QTest::newRow("rename to the own name")
        << QStringList{yi} << "rename" << 1 << yi << none << QString() << users << QStringList{yi};
    QTest::newRow("rename to a name in use")
        << QStringList{jia, yi} << "rename" << 1 << jia << inUse << "此用户已存在！" << users
        << QStringList{jia, yi};
    QTest::newRow("rename over a ledger of nobody")
        << QStringList{yi, QStringLiteral("丁=前任")} << "rename" << 1 << ding << failed << inTheWay
        << users << QStringList{yi, QStringLiteral("丁=前任")};
    QTest::newRow("rename to a name too long")
        << QStringList{yi} << "rename" << 1 << QString(85, QChar(u'长')) << invalid
        << "用户名无效！" << users << QStringList{yi};
    QTest::newRow("rename with no such user") << QStringList{yi} << "rename" << 3 << ding << failed
                                              << QString() << users << QStringList{yi};

    QTest::newRow("delete takes the ledger along")
        << QStringList{jia, yi, bing} << "remove" << 1 << QString() << none << QString()
        << QStringList{jia, bing} << QStringList{jia, bing};
    QTest::newRow("delete a user who never saved")
        << QStringList{jia} << "remove" << 1 << QString() << none << QString()
        << QStringList{jia, bing} << QStringList{jia};
    QTest::newRow("delete a user whose ledger name is a folder")
        << QStringList{QStringLiteral("乙/")} << "remove" << 1 << QString() << failed
        << "用户“乙”没有删除。" << users << QStringList{QStringLiteral("乙/")};
    QTest::newRow("rename moves whatever has the ledger name")
        << QStringList{QStringLiteral("乙/")} << "rename" << 1 << ding << none << QString()
        << QStringList{jia, ding, bing} << QStringList{QStringLiteral("丁/")};
    QTest::newRow("delete the last user") << QStringList{bing} << "remove" << 2 << QString() << none
                                          << QString() << QStringList{jia, yi} << QStringList();
}

void TestUserDirectory::changes() {
    QFETCH(QStringList, ledgers);
    QFETCH(QString, operation);
    QFETCH(int, position);
    QFETCH(QString, name);
    QFETCH(int, refusal);
    QFETCH(QString, message);
    QFETCH(QStringList, usersAfter);
    QFETCH(QStringList, ledgersAfter);
    Books books({QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")}, ledgers);
    const std::unique_ptr<UserDirectory> directory = books.open();
    QSignalSpy added(directory.get(), &UserDirectory::userAdded);
    QSignalSpy renamed(directory.get(), &UserDirectory::userRenamed);
    QSignalSpy removed(directory.get(), &UserDirectory::userRemoved);

    const UserChange change = apply(*directory, operation, position, name);

    QCOMPARE(int(change.refusal()), refusal);
    QVERIFY2(change.status().message().startsWith(message), qPrintable(change.status().message()));
    // A deleted user waits in the recycle bin, with the ledger they had.
    QStringList binAfter;
    if (operation == u"remove" && change.ok()) {
        const QString gone = QStringList{u"甲"_qs, u"乙"_qs, u"丙"_qs}[position];
        binAfter.append(
            binEntry(gone, ledgers.contains(gone) ? QString::fromUtf8(ledgerOf(gone)) : QString()));
    }
    QCOMPARE(describeDisk(books.paths),
             describe(usersAfter, ledgerFiles(ledgersAfter), 0, binAfter));
    // What the directory shows is what the table holds, and it says which user changed.
    QCOMPARE(directory->users(), usersAfter);
    const bool changed =
        usersAfter != QStringList{QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")};
    QCOMPARE(added.size(), changed && operation == u"add" ? 1 : 0);
    QCOMPARE(renamed.size(), changed && operation == u"rename" ? 1 : 0);
    QCOMPARE(removed.size(), changed && operation == u"remove" ? 1 : 0);
    for (const QSignalSpy* spy : {&added, &renamed, &removed})
        if (!spy->isEmpty())
            QCOMPARE(spy->first().first().toInt(),
                     operation == u"add" ? int(usersAfter.size()) - 1 : position);
}

void TestUserDirectory::namesLeadingOutOfTheFolderTouchNoFile_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("usersAfter");
    QTest::newRow("rename") << "rename" << QStringList{QStringLiteral("新名")};
    QTest::newRow("delete") << "remove" << QStringList();
}

// A table from an older copy of the program may hold a name that is no plain file name in the
// ledger folder; changing that user must not touch the file the name points at.
void TestUserDirectory::namesLeadingOutOfTheFolderTouchNoFile() {
    QFETCH(QString, operation);
    QFETCH(QStringList, usersAfter);
    Books books({QStringLiteral("../keep")});
    const QString outside = books.paths.sourceDirectory() + QStringLiteral("/keep.z");
    {
        QFile file(outside);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a ledger");
    }
    const std::unique_ptr<UserDirectory> directory = books.open();
    QVERIFY(apply(*directory, operation, 0, QStringLiteral("新名")).ok());
    QCOMPARE(directory->users(), usersAfter);
    const QStringList binAfter =
        operation == u"remove" ? QStringList{binEntry(u"../keep"_qs)} : QStringList();
    QCOMPARE(describeDisk(books.paths), describe(usersAfter, {}, 0, binAfter));
    QFile file(outside);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("not a ledger"));
}

void TestUserDirectory::failedStepLeavesBeforeOrAfter_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("failing");         // "Rename 2" fails the second rename
    QTest::addColumn<int>("tableRefusesAfterRename"); // from that rename on; 0 never
    QTest::addColumn<QString>("message");             // a part of it
    QTest::addColumn<bool>("doneAtOnce");             // the books are in the after state
    QTest::addColumn<bool>("doneAfterReopening");

    QTest::newRow("rename: the ledger cannot move")
        << "rename" << QStringList{QStringLiteral("Rename 1")} << 0
        << "账本文件无法改名，用户名没有修改。" << false << false;
    QTest::newRow("rename: the table refuses after the move")
        << "rename" << QStringList() << 1 << "用户名没有修改。" << false << false;
    QTest::newRow("rename: the table refuses, the ledger cannot move back")
        << "rename" << QStringList{QStringLiteral("Rename 2")} << 1
        << "程序下次启动时会把这次改名做完" << false << true;
    QTest::newRow("rename: the ledger cannot be looked at")
        << "rename" << QStringList{QStringLiteral("Kind 2")} << 0 << "用户名没有修改。" << false
        << false;

    QTest::newRow("delete: the ledger cannot be moved")
        << "remove" << QStringList{QStringLiteral("Rename 1")} << 0
        << "用户“乙”没有删除，因为其账本文件无法移到回收站" << false << false;
    QTest::newRow("delete: the table refuses")
        << "remove" << QStringList() << 1 << "用户“乙”没有删除。" << false << false;
    QTest::newRow("delete: the table refuses, the ledger cannot go back")
        << "remove" << QStringList{QStringLiteral("Rename 2")} << 1 << "程序下次启动时会把它放回去"
        << false << false;
    QTest::newRow("delete: the recycle bin cannot be made")
        << "remove" << QStringList{QStringLiteral("MakeFolder 1")} << 0 << "用户“乙”没有删除。"
        << false << false;
    QTest::newRow("delete: the ledger cannot be looked at")
        << "remove" << QStringList{QStringLiteral("Kind 1")} << 0 << "用户“乙”没有删除。" << false
        << false;
}

void TestUserDirectory::failedStepLeavesBeforeOrAfter() {
    QFETCH(QString, operation);
    QFETCH(QStringList, failing);
    QFETCH(int, tableRefusesAfterRename);
    QFETCH(QString, message);
    QFETCH(bool, doneAtOnce);
    QFETCH(bool, doneAfterReopening);
    const QStringList users = {QStringLiteral("甲"), QStringLiteral("乙")};
    Books books(users, users);
    const bool rename = operation == u"rename";
    const QString before = describe(users, ledgerFiles(users));
    const QString after =
        rename ? describe({QStringLiteral("甲"), QStringLiteral("丁")},
                          ledgerFiles({QStringLiteral("甲"), QStringLiteral("丁=乙")}))
               : describe({QStringLiteral("甲")}, ledgerFiles({QStringLiteral("甲")}), 0,
                          {binEntry(u"乙"_qs, QString::fromUtf8(ledgerOf(u"乙"_qs)))});

    const std::unique_ptr<UserDirectory> directory = books.open();
    const QStringList names = {QStringLiteral("Kind"),         QStringLiteral("Rename"),
                               QStringLiteral("Remove"),       QStringLiteral("Copy"),
                               QStringLiteral("Link"),         QStringLiteral("MakeFolder"),
                               QStringLiteral("RemoveFolder"), QStringLiteral("List")};
    books.files.failure = [&](const WatchedFileSystem::Call& call) {
        const QString which =
            names[static_cast<int>(call.operation)] + u' ' + QString::number(call.number);
        return failing.contains(which) ? EACCES : 0;
    };
    std::optional<FileSizeLimit> tableRefuses;
    books.files.after = [&](const WatchedFileSystem::Call& call) {
        if (call.operation == Operation::Rename && call.number == tableRefusesAfterRename)
            tableRefuses.emplace(0);
    };

    const UserChange change = apply(*directory, operation, 1, QStringLiteral("丁"));
    tableRefuses.reset();
    QVERIFY(!change.ok());
    QCOMPARE(change.refusal(), UserChange::Refusal::Failed);
    QVERIFY2(change.status().message().contains(message), qPrintable(change.status().message()));
    QVERIFY(!change.status().detail().isEmpty());
    // The directory shows what the table holds, whatever the files did.
    QCOMPARE(directory->users(), tableUsers(books.paths));
    const QStringList usersAfter = rename ? QStringList{QStringLiteral("甲"), QStringLiteral("丁")}
                                          : QStringList{QStringLiteral("甲")};
    QCOMPARE(directory->users(), doneAtOnce ? usersAfter : users);

    books.files.failure = nullptr;
    books.files.after = nullptr;
    const std::unique_ptr<UserDirectory> reopened = books.open();
    QCOMPARE(describeDisk(books.paths), doneAfterReopening ? after : before);
    QVERIFY(reopened->warnings().isEmpty());
}

void TestUserDirectory::crashBetweenStepsIsSettled_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("hasLedger");
    // The first moment at which a crash leaves the change done: "after Rename 1" is just after
    // the first rename returned, "before Remove 1" just before the first remove began.
    QTest::addColumn<QString>("firstDone");
    QTest::newRow("add") << "add" << false << QString();
    QTest::newRow("rename with a ledger") << "rename" << true << "after Rename 1";
    QTest::newRow("rename without a ledger") << "rename" << false << QString();
    // A delete is done by its last step, the record's deletion: every moment before is undone.
    QTest::newRow("delete with a ledger") << "remove" << true << QString();
    QTest::newRow("delete without a ledger") << "remove" << false << QString();
}

// The disk as a crash would leave it at every moment between two file steps: opening the books
// from that copy gives the state before the change or after it, and nothing in between.
void TestUserDirectory::crashBetweenStepsIsSettled() {
    QFETCH(QString, operation);
    QFETCH(bool, hasLedger);
    QFETCH(QString, firstDone);
    const QStringList users = {QStringLiteral("甲"), QStringLiteral("乙")};
    const QStringList ledgers = hasLedger ? users : QStringList{QStringLiteral("甲")};
    Books books(users, ledgers);
    const std::unique_ptr<UserDirectory> directory = books.open();

    QTemporaryDir copies;
    QStringList moments;
    const QStringList names = {QStringLiteral("Kind"),         QStringLiteral("Rename"),
                               QStringLiteral("Remove"),       QStringLiteral("Copy"),
                               QStringLiteral("Link"),         QStringLiteral("MakeFolder"),
                               QStringLiteral("RemoveFolder"), QStringLiteral("List")};
    const auto copyAt = [&](const QString& when, const WatchedFileSystem::Call& call) {
        const QString moment = when + u' ' + names[static_cast<int>(call.operation)] + u' ' +
                               QString::number(call.number);
        copyFolder(books.paths.programDirectory(),
                   copies.filePath(QString::number(moments.size())));
        moments.append(moment);
    };
    books.files.before = [&](const WatchedFileSystem::Call& call) {
        copyAt(QStringLiteral("before"), call);
    };
    books.files.after = [&](const WatchedFileSystem::Call& call) {
        copyAt(QStringLiteral("after"), call);
    };
    const QString ding = QStringLiteral("丁");
    QVERIFY(apply(*directory, operation, 1, ding).ok());
    books.files.before = nullptr;
    books.files.after = nullptr;
    const QString after = describeDisk(books.paths);
    QVERIFY(!moments.isEmpty());

    const QString before = describe(users, ledgerFiles(ledgers));
    bool done = false;
    for (qsizetype i = 0; i < moments.size(); ++i) {
        done = done || moments[i] == firstDone;
        const DataPaths paths(copies.filePath(QString::number(i)));
        WatchedFileSystem files;
        Result<std::unique_ptr<UserDirectory>> settled = UserDirectory::open(paths, files);
        QVERIFY2(settled.ok(), qPrintable(moments[i]));
        QVERIFY2((*settled)->warnings().isEmpty(), qPrintable(moments[i]));
        const QString found = describeDisk(paths);
        const QString expected = done ? after : before;
        QVERIFY2(found == expected, qPrintable(moments[i] + QStringLiteral(": ") + found +
                                               QStringLiteral(" != ") + expected));
        QVERIFY2((*settled)->users() == tableUsers(paths), qPrintable(moments[i]));
    }
    // Every change with a file step has a moment when it is done before the last step.
    QCOMPARE(done, !firstDone.isEmpty());
}

void TestUserDirectory::crashWithBothFilesThereKeepsBoth_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("warning");
    QTest::newRow("rename") << "rename"
                            << "不属于任何用户";
    QTest::newRow("delete") << "remove"
                            << "另有一份旧账本";
}

// A crash that leaves a file under both names (a half-done move on a file system that moves
// by linking, or a ledger saved again meanwhile) is never settled by deleting either: both
// stay, the user keeps the old state, and the operator is told which files to look at.
void TestUserDirectory::crashWithBothFilesThereKeepsBoth() {
    QFETCH(QString, operation);
    QFETCH(QString, warning);
    const QStringList users = {QStringLiteral("甲"), QStringLiteral("乙")};
    Books books(users, users);
    const std::unique_ptr<UserDirectory> directory = books.open();
    QTemporaryDir copy;
    books.files.after = [&](const WatchedFileSystem::Call& call) {
        if (call.operation == Operation::Rename && call.number == 1)
            copyFolder(books.paths.programDirectory(), copy.path() + QStringLiteral("/books"));
    };
    QVERIFY(apply(*directory, operation, 1, QStringLiteral("丁")).ok());

    const DataPaths paths(copy.path() + QStringLiteral("/books"));
    {
        QFile again(paths.ledgerFile(DataPaths::LedgerDirSlash, QStringLiteral("乙")));
        QVERIFY(again.open(QIODevice::WriteOnly));
        again.write("saved again");
    }
    QString whole = describeDisk(paths);
    QVERIFY(whole.contains(u"; notes: 1"_qs));
    WatchedFileSystem real;
    const std::unique_ptr<UserDirectory> settled = valueOf(UserDirectory::open(paths, real));
    QCOMPARE(settled->users(), users);
    QCOMPARE(settled->warnings().size(), 1);
    QVERIFY2(settled->warnings().first().message().contains(warning),
             qPrintable(settled->warnings().first().message()));
    // Every file stays where it was; only the note is gone.
    QCOMPARE(describeDisk(paths), whole.remove(u"; notes: 1"_qs));
}

void TestUserDirectory::tableChangedElsewhereIsNoticed() {
    Books books({QStringLiteral("甲"), QStringLiteral("乙")}, {QStringLiteral("乙")});
    const std::unique_ptr<UserDirectory> first = books.open();
    const std::unique_ptr<UserDirectory> second = books.open();
    QVERIFY(first->remove(0).ok());
    QSignalSpy reloaded(second.get(), &UserDirectory::usersReloaded);

    // The second one still shows 乙 at position 1, where the table now has nobody.
    const UserChange change = second->rename(1, QStringLiteral("丙"));
    QCOMPARE(change.refusal(), UserChange::Refusal::Failed);
    QVERIFY(change.status().message().contains(QStringLiteral("已重新读取")));
    QCOMPARE(reloaded.size(), 1);
    QCOMPARE(second->users(), QStringList{QStringLiteral("乙")});
    const QStringList bin = {binEntry(u"甲"_qs)};
    QCOMPARE(describeDisk(books.paths),
             describe({QStringLiteral("乙")}, ledgerFiles({QStringLiteral("乙")}), 0, bin));
    // Now that it shows the table again, the same user can be renamed.
    QVERIFY(second->rename(0, QStringLiteral("丙")).ok());
    QCOMPARE(describeDisk(books.paths),
             describe({QStringLiteral("丙")}, ledgerFiles({QStringLiteral("丙=乙")}), 0, bin));
}

void TestUserDirectory::unreadableTableRefusesEveryChange() {
    Books books({QStringLiteral("甲")}, {QStringLiteral("甲")});
    const std::unique_ptr<UserDirectory> directory = books.open();
    {
        QFile table(books.paths.userTable());
        QVERIFY(table.open(QIODevice::WriteOnly));
        table.write(QByteArray(8192, 'x'));
    }
    QCOMPARE(directory->add(QStringLiteral("乙")).refusal(), UserChange::Refusal::Failed);
    QCOMPARE(directory->rename(0, QStringLiteral("乙")).refusal(), UserChange::Refusal::Failed);
    QCOMPARE(directory->remove(0).refusal(), UserChange::Refusal::Failed);
    QCOMPARE(directory->users(), QStringList{QStringLiteral("甲")});
    QCOMPARE(QDir(books.paths.ledgerDirectory()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("甲.z")});

    const Result<std::unique_ptr<UserDirectory>> reopened =
        UserDirectory::open(books.paths, books.files);
    QVERIFY(!reopened.ok());
    QVERIFY(reopened.status().message().contains(books.paths.userTable()));
}

void TestUserDirectory::unknownNoteIsLeftAlone() {
    Books books({QStringLiteral("甲")});
    {
        RecordTable table = valueOf(RecordTable::open(books.paths.userTable()));
        must(table.change([](RecordTable::Editor& editor) -> Status {
            return editor.addNote(QStringLiteral("{\"step\":\"unheard of\"}")).status();
        }));
    }
    const std::unique_ptr<UserDirectory> directory = books.open();
    QCOMPARE(directory->users(), QStringList{QStringLiteral("甲")});
    QCOMPARE(directory->warnings().size(), 1);
    QCOMPARE(describeDisk(books.paths), describe({QStringLiteral("甲")}, {}, 1));
}

void TestUserDirectory::recycledHolderComesBackAfterARestart_data() {
    QTest::addColumn<bool>("ledger");
    QTest::addColumn<bool>("backups");
    QTest::newRow("ledger and backups") << true << true;
    QTest::newRow("ledger only") << true << false;
    QTest::newRow("never saved") << false << false;
}

// Deleted, the program closed and started again, restored: the holder is back at the end of
// the list with the very same ledger file and backups, and the bin is empty again.
void TestUserDirectory::recycledHolderComesBackAfterARestart() {
    QFETCH(bool, ledger);
    QFETCH(bool, backups);
    const QString yi = QStringLiteral("乙");
    Books books({QStringLiteral("甲"), yi, QStringLiteral("丙")});
    QByteArray bytes;
    if (ledger) {
        LedgerSheet sheet;
        sheet.applyTitles();
        for (int n = 1; n <= 3; ++n)
            must(LedgerRecords::add(sheet, {QStringLiteral("货%1").arg(n), u"2"_qs, {}, {}, {}, {}},
                                    u"d"_qs)
                     .status());
        must(LedgerFile::save(books.ledgerPath(yi), sheet));
        QFile file(books.ledgerPath(yi));
        QVERIFY(file.open(QIODevice::ReadOnly));
        bytes = file.readAll();
    }
    if (backups) {
        QVERIFY(QDir().mkpath(SafetyPaths::holderFolder(books.paths, yi)));
        QFile version(SafetyPaths::holderFolder(books.paths, yi) + u"/20261201-080000.z"_qs);
        QVERIFY(version.open(QIODevice::WriteOnly));
    }
    const QString before = describeDisk(books.paths);
    const QDateTime deletedAt(QDate(2026, 12, 9), QTime(9, 30, 15));
    QVERIFY(books.open()->remove(1, deletedAt).ok());

    const std::unique_ptr<UserDirectory> restarted = books.open();
    const RecycleBin::Listing bin = valueOf(restarted->recycleBin().holders());
    QCOMPARE(bin.holders.size(), 1);
    const RecycledHolder& holder = bin.holders.first();
    QCOMPARE(holder.name, yi);
    QCOMPARE(holder.deletedAt, deletedAt);
    QCOMPARE(holder.position, 1);
    QCOMPARE(holder.records, ledger ? 3 : 0);
    QCOMPARE(holder.hasLedger, ledger);
    QCOMPARE(holder.hasBackups, backups);
    QSignalSpy added(restarted.get(), &UserDirectory::userAdded);
    QVERIFY(restarted->restore(holder.id).ok());
    QCOMPARE(restarted->users(), (QStringList{QStringLiteral("甲"), QStringLiteral("丙"), yi}));
    QCOMPARE(added.size(), 1);
    QCOMPARE(added.first().first().toInt(), 2);
    QVERIFY(valueOf(restarted->recycleBin().holders()).holders.isEmpty());
    if (ledger) {
        QFile file(books.ledgerPath(yi));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes);
    }
    // The same files as before the delete; only the user's place in the list is new.
    QString expected = before;
    expected.replace(QStringLiteral("users: 甲|乙|丙"), QStringLiteral("users: 甲|丙|乙"));
    QCOMPARE(describeDisk(books.paths), expected);
}

void TestUserDirectory::restoreRefusedWhileTheNameIsTaken() {
    const QString yi = QStringLiteral("乙");
    Books books({QStringLiteral("甲"), yi}, {yi});
    const std::unique_ptr<UserDirectory> directory = books.open();
    QVERIFY(directory->remove(1).ok());
    QVERIFY(directory->add(yi).ok());
    const QString before = describeDisk(books.paths);
    const RecycledHolder holder = valueOf(directory->recycleBin().holders()).holders.first();
    const UserChange change = directory->restore(holder.id);
    QCOMPARE(change.refusal(), UserChange::Refusal::NameInUse);
    QCOMPARE(change.status().message(), QStringLiteral("此用户已存在！"));
    QCOMPARE(describeDisk(books.paths), before);
    // Once the name is free again, the holder comes back.
    QVERIFY(directory->rename(1, QStringLiteral("新乙")).ok());
    QVERIFY(directory->restore(holder.id).ok());
    QCOMPARE(directory->users(), (QStringList{QStringLiteral("甲"), QStringLiteral("新乙"), yi}));
    QCOMPARE(describeDisk(books.paths), describe(directory->users(), ledgerFiles({yi}), 0, {}));
}

void TestUserDirectory::crashWithBackupsAlongIsSettled_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("ledger");
    QTest::newRow("rename with ledger and backups") << "rename" << true;
    QTest::newRow("rename with backups only") << "rename" << false;
    QTest::newRow("delete with ledger and backups") << "remove" << true;
    QTest::newRow("restore with ledger and backups") << "restore" << true;
    QTest::newRow("restore never saved") << "restore" << false;
}

// The disk as a crash would leave it at every moment between two file steps of a change that
// moves a user's backups along: opened from there, the books are as before the change or as
// after it, and once after, after for every later moment.
void TestUserDirectory::crashWithBackupsAlongIsSettled() {
    QFETCH(QString, operation);
    QFETCH(bool, ledger);
    const QString yi = QStringLiteral("乙");
    Books books({QStringLiteral("甲"), yi}, ledger ? QStringList{yi} : QStringList());
    QVERIFY(QDir().mkpath(SafetyPaths::holderFolder(books.paths, yi)));
    {
        QFile version(SafetyPaths::holderFolder(books.paths, yi) + u"/20261201-080000.z"_qs);
        QVERIFY(version.open(QIODevice::WriteOnly));
    }
    std::unique_ptr<UserDirectory> directory = books.open();
    QString entry;
    if (operation == u"restore") {
        QVERIFY(directory->remove(1).ok());
        entry = valueOf(directory->recycleBin().holders()).holders.first().id;
    }
    const QString before = describeDisk(books.paths);

    QTemporaryDir copies;
    QStringList moments;
    const auto copyAt = [&](const WatchedFileSystem::Call& call) {
        copyFolder(books.paths.programDirectory(),
                   copies.filePath(QString::number(moments.size())));
        moments.append(QString::number(int(call.operation)) + u' ' + QString::number(call.number));
    };
    books.files.before = copyAt;
    books.files.after = copyAt;
    const UserChange change = operation == u"restore"
                                  ? directory->restore(entry)
                                  : apply(*directory, operation, 1, QStringLiteral("丁"));
    QVERIFY2(change.ok(), qPrintable(change.status().message()));
    books.files.before = nullptr;
    books.files.after = nullptr;
    const QString after = describeDisk(books.paths);
    QVERIFY(after != before);

    bool done = false;
    for (qsizetype i = 0; i < moments.size(); ++i) {
        const DataPaths paths(copies.filePath(QString::number(i)));
        WatchedFileSystem files;
        const Result<std::unique_ptr<UserDirectory>> settled = UserDirectory::open(paths, files);
        QVERIFY2(settled.ok(), qPrintable(moments[i]));
        QVERIFY2((*settled)->warnings().isEmpty(), qPrintable(moments[i]));
        const QString found = describeDisk(paths);
        QVERIFY2(found == before || found == after,
                 qPrintable(moments[i] + QStringLiteral(": ") + found));
        QVERIFY2(!done || found == after, qPrintable(moments[i] + QStringLiteral(" went back")));
        done = found == after;
    }
}

QTEST_GUILESS_MAIN(TestUserDirectory)
#include "test_userdirectory.moc"
