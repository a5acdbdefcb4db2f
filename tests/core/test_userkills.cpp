#include "accounts/userdirectory.h"
#include "checks.h"
#include "safety/safetypaths.h"
#include "storage/datastore.h"
#include "storage/filesystem.h"
#include "userbooks.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace vellumar;
using namespace userbooks;

// A real process adds, renames and deletes users, brings deleted ones back from the recycle
// bin, and saves ledgers and folders of backups for them, until it is killed (SIGKILL) at a
// random moment. It reports each change before it starts it and once it is done, so the test
// knows the books before and after the change it was killed in; opening the books afterwards
// must give one of the two, table, files, recycle bin and backups together.

namespace {

constexpr const char* ChildSwitch = "--change-users";

// What the child says, one line each: "begin<TAB>what<TAB>…" and "done".
void say(const QStringList& fields) {
    const QByteArray line = fields.join(u'\t').toUtf8() + '\n';
    qsizetype written = 0;
    while (written < line.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, line.constData() + written,
                                  static_cast<size_t>(line.size() - written));
        if (n <= 0)
            _exit(3);
        written += n;
    }
}

const QStringList& namePool() {
    static const QStringList names = {QStringLiteral("甲"),         QStringLiteral("乙"),
                                      QStringLiteral("丙"),         QStringLiteral("丁"),
                                      QStringLiteral("王五小卖部"), QStringLiteral("李四"),
                                      QStringLiteral("Anna"),       QStringLiteral("Bob Lee"),
                                      QStringLiteral("赵六 (2)"),   QStringLiteral("钱七")};
    return names;
}

// A ledger appears whole or not at all: written beside the data folder, then given its name.
bool saveLedger(const DataPaths& paths, FileSystem& files, const QString& name,
                const QByteArray& content) {
    const QString temporary = paths.programDirectory() + QStringLiteral("/ledger.tmp");
    QFile::remove(temporary);
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return false;
    file.close();
    return files.rename(temporary, paths.ledgerFile(DataPaths::LedgerDirSlash, name)).ok();
}

// A folder of backups appears whole or not at all, like a ledger.
bool saveBackups(const DataPaths& paths, FileSystem& files, const QString& name,
                 const QString& version) {
    const QString temporary = paths.programDirectory() + QStringLiteral("/backups.tmp");
    QDir(temporary).removeRecursively();
    QFile file(temporary + u'/' + version);
    if (!QDir().mkpath(temporary) || !file.open(QIODevice::WriteOnly))
        return false;
    file.close();
    return files.rename(temporary, SafetyPaths::holderFolder(paths, name)).ok();
}

// What a holder in the bin has: the ledger's content and the folder of backups' names, "-" for
// none.
QStringList binFiles(const RecycleBin& bin, const RecycledHolder& holder) {
    QFile ledger(bin.ledgerOf(holder.id));
    const QString content =
        ledger.open(QIODevice::ReadOnly) ? QString::fromUtf8(ledger.readAll()) : u"-"_qs;
    const QFileInfo backups(bin.backupsOf(holder.id));
    return {content, backups.isDir() ? contentOf(backups) : u"-"_qs};
}

int runChild(const QString& folder, quint32 seed) {
    const DataPaths paths(folder);
    LocalFileSystem files;
    Result<std::unique_ptr<UserDirectory>> opened = UserDirectory::open(paths, files);
    if (!opened)
        return 2;
    UserDirectory& directory = **opened;
    QRandomGenerator random(seed);
    if (!QDir().mkpath(SafetyPaths::backupRoot(paths)))
        return 6;
    say({QStringLiteral("ready")});
    for (int step = 0; step < 100000; ++step) {
        const QString name = namePool()[random.bounded(int(namePool().size()))];
        const int count = directory.count();
        const int position = count ? random.bounded(count) : 0;
        const int choice = random.bounded(100);
        UserChange change;
        if (count < 2 || choice < 30) {
            if (directory.find(name))
                continue;
            say({QStringLiteral("begin"), QStringLiteral("add"), name});
            change = directory.add(name);
        } else if (choice < 55) {
            if (directory.find(name))
                continue;
            say({QStringLiteral("begin"), QStringLiteral("rename"), QString::number(position),
                 name});
            change = directory.rename(position, name);
        } else if (choice < 70) {
            say({QStringLiteral("begin"), QStringLiteral("remove"), QString::number(position)});
            change = directory.remove(position);
        } else if (choice < 80) {
            const Result<RecycleBin::Listing> bin = directory.recycleBin().holders();
            if (!bin)
                return 7;
            if (bin->holders.isEmpty())
                continue;
            const RecycledHolder holder = bin->holders[random.bounded(int(bin->holders.size()))];
            if (directory.find(holder.name))
                continue;
            say(QStringList{QStringLiteral("begin"), QStringLiteral("restore"), holder.name} +
                binFiles(directory.recycleBin(), holder));
            change = directory.restore(holder.id);
        } else if (choice < 88) {
            const QString holder = directory.users()[position];
            if (QFileInfo::exists(SafetyPaths::holderFolder(paths, holder)))
                continue;
            const QString version = QStringLiteral("v%1.z").arg(step);
            say({QStringLiteral("begin"), QStringLiteral("backups"), holder,
                 QStringLiteral("[%1]").arg(version)});
            if (!saveBackups(paths, files, holder, version))
                return 8;
        } else {
            const QString holder = directory.users()[position];
            if (QFileInfo::exists(paths.ledgerFile(DataPaths::LedgerDirSlash, holder)))
                continue;
            const QString content = QStringLiteral("账本 %1-%2").arg(seed).arg(step);
            say({QStringLiteral("begin"), QStringLiteral("ledger"), holder, content});
            if (!saveLedger(paths, files, holder, content.toUtf8()))
                return 4;
        }
        if (!change)
            return 5;
        say({QStringLiteral("done")});
    }
    return 0;
}

// The books as the test expects them: users in order, whose ledger each file holds, whose
// backups each folder holds, and who is in the recycle bin with what.
struct Books {
    struct Recycled {
        QString name;
        QString ledger;  // "-" for none
        QString backups; // "-" for none
    };
    QStringList users;
    QMap<QString, QString> ledgers; // user name -> content
    QMap<QString, QString> backups; // user name -> the names in the folder
    QList<Recycled> bin;

    QString described() const {
        QStringList files;
        for (auto it = ledgers.cbegin(); it != ledgers.cend(); ++it)
            files.append(it.key() + QStringLiteral(".z=") + it.value());
        QStringList folders;
        for (auto it = backups.cbegin(); it != backups.cend(); ++it)
            folders.append(it.key() + u'=' + it.value());
        QStringList recycled;
        for (const Recycled& holder : bin)
            recycled.append(binEntry(holder.name, holder.ledger == u"-" ? QString() : holder.ledger,
                                     holder.backups != u"-"));
        return describe(users, files, 0, recycled, folders);
    }

    Books after(const QStringList& change) const {
        Books next = *this;
        const QString& what = change.value(1);
        if (what == u"add") {
            next.users.append(change.value(2));
        } else if (what == u"rename") {
            const int position = change.value(2).toInt();
            const QString old = next.users[position];
            next.users[position] = change.value(3);
            if (next.ledgers.contains(old))
                next.ledgers.insert(change.value(3), next.ledgers.take(old));
            if (next.backups.contains(old))
                next.backups.insert(change.value(3), next.backups.take(old));
        } else if (what == u"remove") {
            const QString name = next.users.takeAt(change.value(2).toInt());
            next.bin.append({name, next.ledgers.take(name), next.backups.take(name)});
            for (QString* file : {&next.bin.last().ledger, &next.bin.last().backups})
                if (file->isNull())
                    *file = u"-"_qs;
        } else if (what == u"restore") {
            const QString name = change.value(2);
            for (qsizetype i = 0; i < next.bin.size(); ++i) {
                const Recycled& holder = next.bin[i];
                if (holder.name != name || holder.ledger != change.value(3) ||
                    holder.backups != change.value(4))
                    continue;
                next.users.append(name);
                if (holder.ledger != u"-")
                    next.ledgers.insert(name, holder.ledger);
                if (holder.backups != u"-")
                    next.backups.insert(name, holder.backups);
                next.bin.removeAt(i);
                break;
            }
        } else if (what == u"ledger") {
            next.ledgers.insert(change.value(2), change.value(3));
        } else if (what == u"backups") {
            next.backups.insert(change.value(2), change.value(3));
        }
        return next;
    }
};

} // namespace

class TestUserKills : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void killedAtAnyMomentLeavesBeforeOrAfter();
};

void TestUserKills::killedAtAnyMomentLeavesBeforeOrAfter() {
    QTemporaryDir folder;
    const DataPaths paths(folder.path());
    QVERIFY(prepareDataDirectory(paths).ok());
    LocalFileSystem files;

    constexpr int Rounds = 400;
    constexpr qint64 Budget = 45000; // milliseconds; a slow (sanitizer) build does fewer rounds
    QRandomGenerator random(20261209);
    QElapsedTimer clock;
    clock.start();
    Books books;
    QMap<QString, int> killedIn; // "rename, before" -> how often
    int rounds = 0;
    int changes = 0;
    for (; rounds < Rounds && clock.elapsed() < Budget; ++rounds) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(
            QCoreApplication::applicationFilePath(),
            {QString::fromLatin1(ChildSwitch), folder.path(), QString::number(random.generate())});
        QByteArray output;
        while (!output.contains("ready\n") && child.waitForReadyRead(10000))
            output += child.readAllStandardOutput();
        QVERIFY2(output.startsWith("ready\n"), output.constData());
        // Kill it somewhere in the next few changes.
        ::usleep(random.bounded(60000u));
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        output += child.readAllStandardOutput();
        // A child that stopped by itself met a change it could not make.
        QVERIFY2(child.exitStatus() == QProcess::CrashExit,
                 qPrintable(QStringLiteral("the child ended with %1").arg(child.exitCode())));

        std::optional<QStringList> inFlight;
        for (const QByteArray& line : output.split('\n')) {
            const QStringList fields = QString::fromUtf8(line).split(u'\t');
            if (fields.first() == u"begin") {
                inFlight = fields;
            } else if (fields.first() == u"done" && inFlight) {
                books = books.after(*inFlight);
                inFlight.reset();
                ++changes;
            }
        }
        QFile::remove(paths.programDirectory() + QStringLiteral("/ledger.tmp"));
        QDir(paths.programDirectory() + QStringLiteral("/backups.tmp")).removeRecursively();

        // Opening the books settles whatever the kill cut short.
        const Result<std::unique_ptr<UserDirectory>> settled = UserDirectory::open(paths, files);
        QVERIFY2(settled.ok(), qPrintable(settled.status().message()));
        QVERIFY((*settled)->warnings().isEmpty());
        const QString found = describeDisk(paths);
        const QString before = books.described();
        const std::optional<Books> done =
            inFlight ? std::optional<Books>(books.after(*inFlight)) : std::nullopt;
        QString outcome = QStringLiteral("before");
        if (found != before) {
            QVERIFY2(done && found == done->described(),
                     qPrintable(
                         QStringLiteral("round %1, killed in %2\n found:  %3\n before: %4"
                                        "\n after:  %5")
                             .arg(rounds)
                             .arg(inFlight ? inFlight->join(u' ') : QStringLiteral("nothing"),
                                  found, before, done ? done->described() : QStringLiteral("-"))));
            books = *done;
            outcome = QStringLiteral("after");
        }
        QVERIFY((*settled)->users() == books.users);
        killedIn[(inFlight ? inFlight->value(1) : QStringLiteral("between")) +
                 QStringLiteral(", ") + outcome] += 1;
    }
    QVERIFY2(rounds >= 100, qPrintable(QStringLiteral("only %1 rounds").arg(rounds)));
    QStringList figures;
    for (auto it = killedIn.cbegin(); it != killedIn.cend(); ++it)
        figures.append(it.key() + QStringLiteral(": ") + QString::number(it.value()));
    qInfo("%d kills in %lld ms, %d changes completed; killed in %s", rounds, clock.elapsed(),
          changes, qPrintable(figures.join(QStringLiteral("; "))));
}

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], ChildSwitch) == 0)
        return runChild(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toUInt());
    TestUserKills test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_userkills.moc"
