// Benchmarks of the shared books on a PostgreSQL server, beside the local books: opening and
// saving a ledger of a million records, listing 10 000 holders, and 8 counters (processes)
// adding records at once, to holders of their own and all to the same holder, with a check
// that no record was lost or written twice.
//
//   shared_bench run SERVER [RECORDS]   all of it, in a database of its own on the server
//   shared_bench smoke [SERVER]         a quick run on small sizes (on the test run's server)
//
// SERVER is a libpq connection string of a role that may create databases (bench/run.sh
// starts a server of its own). Each measurement of time and memory runs in a fresh process.

#include "benchprocess.h"
#include "books/localbooks.h"
#include "ledger/ledgerrecords.h"
#include "ledgergenerator.h"
#include "sharedstore/pgconnection.h"
#include "sharedstore/sharedbooks.h"
#include "storage/datastore.h"
#include "storage/recordtable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cstdio>

using namespace vellumar;

namespace {

const QString Holder = QStringLiteral("基准测试");
const QString SharedHolder = QStringLiteral("共同的客户");
constexpr int Counters = 8;

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

int fail(const QString& message) {
    std::fprintf(stderr, "%s\n", qPrintable(message));
    return 1;
}

int fail(const Status& status) {
    return fail(status.message() + u' ' + status.detail());
}

void report(double seconds, const QString& extra = QString()) {
    out() << "RESULT " << seconds << ' ' << bench::peakMemoryKiB() << ' ' << extra << Qt::endl;
}

// The books a measurement works on: local books in a folder, or shared books.
std::unique_ptr<BooksStore> openBooks(const QString& kind, const QString& where,
                                      std::unique_ptr<DataPaths>& paths, LocalFileSystem& files,
                                      const QString& counter = QStringLiteral("基准")) {
    if (kind == u"local") {
        paths = std::make_unique<DataPaths>(where);
        if (!prepareDataDirectory(*paths))
            return nullptr;
        return std::make_unique<LocalBooks>(*paths, files);
    }
    LedgerEditor identity;
    identity.counter = counter;
    identity.host = QStringLiteral("bench");
    Result<std::unique_ptr<SharedBooks>> shared = SharedBooks::open(where, identity);
    if (!shared) {
        std::fprintf(stderr, "%s\n", qPrintable(shared.status().message()));
        return nullptr;
    }
    return std::move(shared).value();
}

// ----- measurements, each in a process of its own ---------------------------------------------

// Saves a generated ledger of that many records three times, as an operator would: the whole
// ledger new, then after adding one record, then after deleting the first record (every row
// below moves up). Reports the three times.
int measureSave(const QString& kind, const QString& where, int records) {
    std::unique_ptr<DataPaths> paths;
    LocalFileSystem files;
    std::unique_ptr<BooksStore> books = openBooks(kind, where, paths, files);
    if (!books)
        return fail(QStringLiteral("cannot open the books"));
    Result<HolderList*> holders = books->holders();
    if (!holders)
        return fail(holders.status());
    if (const std::optional<int> old = (*holders)->find(Holder))
        if (const UserChange removed = (*holders)->remove(*old); !removed)
            return fail(removed.status());
    if (const UserChange added = (*holders)->add(Holder); !added)
        return fail(added.status());
    std::unique_ptr<HolderBook> book = books->book(Holder);
    LedgerSheet sheet;
    if (const Result<HolderBook::Opened> opened = book->load(sheet); !opened)
        return fail(opened.status());
    bench::generateLedger(sheet, records);
    const auto timedSave = [&]() -> double {
        QElapsedTimer timer;
        timer.start();
        if (Status saved = book->save(sheet, QDateTime::currentDateTime()); !saved) {
            (void)fail(saved);
            return -1;
        }
        return timer.nsecsElapsed() / 1e9;
    };
    const double whole = timedSave();
    RecordFields fields;
    fields.product = QStringLiteral("又一条");
    if (whole < 0 || !LedgerRecords::add(sheet, fields, QStringLiteral("2026-12-10")).ok())
        return 1;
    const double oneMore = timedSave();
    sheet.removeRow(1);
    const double shifted = timedSave();
    if (oneMore < 0 || shifted < 0)
        return 1;
    report(whole, QStringLiteral("%1 %2").arg(oneMore).arg(shifted));
    return 0;
}

int measureOpen(const QString& kind, const QString& where) {
    std::unique_ptr<DataPaths> paths;
    LocalFileSystem files;
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<BooksStore> books = openBooks(kind, where, paths, files);
    if (!books)
        return fail(QStringLiteral("cannot open the books"));
    std::unique_ptr<HolderBook> book = books->book(Holder);
    LedgerSheet sheet;
    if (const Result<HolderBook::Opened> opened = book->load(sheet); !opened)
        return fail(opened.status());
    report(timer.nsecsElapsed() / 1e9, QString::number(sheet.rowCount()));
    return 0;
}

int measureList(const QString& kind, const QString& where) {
    std::unique_ptr<DataPaths> paths;
    LocalFileSystem files;
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<BooksStore> books = openBooks(kind, where, paths, files);
    if (!books)
        return fail(QStringLiteral("cannot open the books"));
    const Result<HolderList*> holders = books->holders();
    if (!holders)
        return fail(holders.status());
    const double listed = timer.nsecsElapsed() / 1e9;
    // And one more holder at the end of so long a list.
    timer.restart();
    if (const UserChange added = (*holders)->add(QStringLiteral("又一位")); !added)
        return fail(added.status());
    const double added = timer.nsecsElapsed() / 1e9;
    if (const UserChange removed = (*holders)->remove((*holders)->count() - 1); !removed)
        return fail(removed.status());
    report(listed, QStringLiteral("%1 %2").arg((*holders)->count()).arg(added));
    return 0;
}

// One counter adding its records, each a record written into the ledger and saved. With its
// own holder it keeps the ledger open; on the shared holder it takes turns with the others:
// open, add, save, close, and when another counter has the ledger, try again a moment later.
int runCounter(const QString& where, int index, const QString& mode, int records) {
    std::unique_ptr<DataPaths> paths;
    LocalFileSystem files;
    std::unique_ptr<BooksStore> books = openBooks(QStringLiteral("shared"), where, paths, files,
                                                  QStringLiteral("柜台%1").arg(index));
    if (!books)
        return fail(QStringLiteral("cannot open the books"));
    const bool sharedHolder = mode == u"same";
    const QString holder = sharedHolder ? SharedHolder : QStringLiteral("客户%1").arg(index);
    std::unique_ptr<HolderBook> book;
    LedgerSheet sheet;
    int waits = 0;
    for (int added = 0; added < records;) {
        if (!book) {
            book = books->book(holder);
            if (const Result<HolderBook::Opened> opened = book->load(sheet); !opened)
                return fail(opened.status());
            if (book->access() != HolderBook::Access::Editing) {
                book.reset();
                ++waits;
                QThread::usleep(500);
                continue;
            }
        }
        RecordFields fields;
        fields.product = QStringLiteral("柜台%1-第%2条").arg(index).arg(added);
        fields.quantity = QStringLiteral("1");
        fields.unitPrice = QStringLiteral("2.5");
        fields.total = QStringLiteral("2.5");
        if (const Result<int> row = LedgerRecords::add(sheet, fields, QStringLiteral("2026-12-09"));
            !row)
            return fail(row.status());
        if (Status saved = book->save(sheet, QDateTime::currentDateTime()); !saved)
            return fail(saved);
        ++added;
        if (sharedHolder)
            book.reset();
    }
    out() << "WAITS " << waits << Qt::endl;
    return 0;
}

// ----- the parent: set-up, children, tables ---------------------------------------------------

using bench::Measured;
using bench::ms;

Measured median(const QStringList& arguments, int runs) {
    return bench::runMedian(arguments, runs);
}

// A database of the benchmark's own on the server, dropped at the end.
class BenchDatabase {
public:
    explicit BenchDatabase(const QString& server) : m_server(server) {
        static int made = 0;
        m_name = QStringLiteral("vellumar_bench_%1_%2")
                     .arg(QCoreApplication::applicationPid())
                     .arg(++made);
        m_ok = execute(QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0 "
                                      "LC_COLLATE 'C' LC_CTYPE 'C'")
                           .arg(m_name));
    }
    ~BenchDatabase() {
        if (m_ok)
            (void)execute(QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(m_name));
    }
    bool ok() const { return m_ok; }
    QString connection() const { return m_server + QStringLiteral(" dbname=") + m_name; }

private:
    bool execute(const QString& sql) {
        Result<std::unique_ptr<PgConnection>> server = PgConnection::connect(m_server);
        if (!server) {
            (void)fail(server.status());
            return false;
        }
        if (Status ran = (*server)->runScript(sql.toUtf8().constData()); !ran) {
            (void)fail(ran);
            return false;
        }
        return true;
    }

    QString m_server;
    QString m_name;
    bool m_ok = false;
};

// Holders for the listing, made in one go: a transaction on each side.
bool makeHolders(BooksStore& shared, const QString& localFolder, int count) {
    Result<std::unique_ptr<BooksWriter>> writer = shared.writer();
    if (!writer)
        return fail(writer.status()) == 0;
    QStringList names;
    for (int n = 0; n < count; ++n)
        names.append(QStringLiteral("客户%1号").arg(n, 5, 10, QLatin1Char('0')));
    for (const QString& name : names)
        if (const UserChange added = (*writer)->addHolder(name); !added)
            return fail(added.status()) == 0;
    if (Status committed = (*writer)->commit(); !committed)
        return fail(committed) == 0;
    const DataPaths paths(localFolder);
    if (!prepareDataDirectory(paths))
        return false;
    Result<RecordTable> table = RecordTable::open(paths.userTable());
    if (!table)
        return fail(table.status()) == 0;
    return table
        ->change([&](RecordTable::Editor& editor) -> Status {
            for (const QString& name : names)
                if (Status appended = editor.appendRecord({name}); !appended)
                    return appended;
            return Status();
        })
        .ok();
}

// Every counter's records, each exactly once, in the ledgers the counters wrote.
QString checkRecords(BooksStore& books, const QStringList& holders, int perCounter) {
    QHash<QString, int> seen;
    for (const QString& holder : holders) {
        std::unique_ptr<HolderBook> book = books.book(holder);
        LedgerSheet sheet;
        if (const Result<HolderBook::Opened> opened = book->load(sheet); !opened)
            return opened.status().message();
        for (int row = 1; row < sheet.rowCount(); ++row)
            if (!sheet.isFree(row))
                ++seen[sheet.cell(row, LedgerSheet::Product)];
    }
    int lost = 0;
    int twice = 0;
    for (int counter = 0; counter < Counters; ++counter)
        for (int n = 0; n < perCounter; ++n) {
            const int found = seen.value(QStringLiteral("柜台%1-第%2条").arg(counter).arg(n));
            lost += found == 0;
            twice += found > 1;
        }
    const qsizetype stray = seen.size() - qsizetype(Counters) * perCounter + lost;
    if (lost || twice || stray)
        return QStringLiteral("%1 lost, %2 written twice, %3 strange")
            .arg(lost)
            .arg(twice)
            .arg(stray);
    return QString();
}

// Runs the 8 counters at once; answers records a second, or a negative number on failure.
double runCounters(BooksStore& books, const QString& connection, const QString& mode,
                   int perCounter, int& waits, QString& check) {
    QStringList holders;
    if (mode == u"same") {
        holders.append(SharedHolder);
    } else {
        for (int n = 0; n < Counters; ++n)
            holders.append(QStringLiteral("客户%1").arg(n));
    }
    HolderList* list = *books.holders();
    for (const QString& holder : holders)
        if (!list->find(holder))
            if (const UserChange added = list->add(holder); !added)
                return -1;
    QList<QProcess*> children;
    QElapsedTimer timer;
    timer.start();
    for (int n = 0; n < Counters; ++n) {
        auto* child = new QProcess;
        child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child->start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("counter"), connection, QString::number(n), mode,
                      QString::number(perCounter)});
        children.append(child);
    }
    bool ok = true;
    waits = 0;
    for (QProcess* child : children) {
        ok = child->waitForFinished(1800000) && child->exitCode() == 0 && ok;
        const QString output = QString::fromUtf8(child->readAllStandardOutput());
        waits += output.section(QStringLiteral("WAITS "), 1).trimmed().toInt();
        delete child;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    check = checkRecords(books, holders, perCounter);
    return ok ? Counters * perCounter / seconds : -1;
}

int runAll(const QString& server, int records, int holders, int perCounter, int runs) {
    // A database for each part, so that none finds the others' holders.
    BenchDatabase ledgerDatabase(server);
    BenchDatabase listDatabase(server);
    BenchDatabase counterDatabase(server);
    if (!ledgerDatabase.ok() || !listDatabase.ok() || !counterDatabase.ok())
        return 1;
    QTemporaryDir localFolder;
    QTemporaryDir listFolder;
    const QString shared = ledgerDatabase.connection();

    out() << "\n| Books | Records | Save whole | Save after adding a record | Save after deleting "
             "the first record | Open (connect, load, lock) | Peak memory at open |\n"
             "|---|---:|---:|---:|---:|---:|---:|\n";
    const QString sizeText = QString::number(records);
    for (const auto& [kind, where] : {std::pair{QStringLiteral("local"), localFolder.path()},
                                      std::pair{QStringLiteral("shared"), shared}}) {
        const Measured save = median({QStringLiteral("save"), kind, where, sizeText}, runs);
        const Measured open = median({QStringLiteral("open"), kind, where}, runs);
        if (!save.ok || !open.ok)
            return fail(QStringLiteral("the %1 ledger measurement failed").arg(kind));
        out() << "| " << (kind == u"local" ? "local (CSV file)" : "shared (PostgreSQL)") << " | "
              << records << " | " << ms(save.seconds) << " | " << ms(save.extra.value(0).toDouble())
              << " | " << ms(save.extra.value(1).toDouble()) << " | " << ms(open.seconds) << " | "
              << QString::number(open.peakMiB, 'f', 0) << " MiB |\n";
    }

    std::unique_ptr<DataPaths> paths;
    LocalFileSystem files;
    std::unique_ptr<BooksStore> listBooks =
        openBooks(QStringLiteral("shared"), listDatabase.connection(), paths, files);
    if (!listBooks || !makeHolders(*listBooks, listFolder.path(), holders))
        return fail(QStringLiteral("cannot make the holders"));
    out() << "\n| Books | Holders | Open the list | Add one more |\n|---|---:|---:|---:|\n";
    for (const auto& [kind, where] :
         {std::pair{QStringLiteral("local"), listFolder.path()},
          std::pair{QStringLiteral("shared"), listDatabase.connection()}}) {
        const Measured listed = median({QStringLiteral("list"), kind, where}, runs);
        if (!listed.ok)
            return fail(QStringLiteral("listing the %1 holders failed").arg(kind));
        out() << "| " << kind << " | " << listed.extra.value(0) << " | " << ms(listed.seconds)
              << " | " << ms(listed.extra.value(1).toDouble()) << " |\n";
    }

    std::unique_ptr<BooksStore> counterBooks =
        openBooks(QStringLiteral("shared"), counterDatabase.connection(), paths, files);
    if (!counterBooks)
        return fail(QStringLiteral("cannot open the counters' books"));
    out() << "\n| 8 counters at once | Records | Records a second | Lost or written twice | "
             "Turns waited |\n|---|---:|---:|---|---:|\n";
    for (const QString& mode : {QStringLiteral("own"), QStringLiteral("same")}) {
        int waits = 0;
        QString check;
        const int count = mode == u"same" ? perCounter / 4 : perCounter;
        const double rate =
            runCounters(*counterBooks, counterDatabase.connection(), mode, count, waits, check);
        if (rate < 0)
            return fail(QStringLiteral("the counters failed (%1)").arg(mode));
        out() << "| " << (mode == u"own" ? "each to a holder of its own" : "all to the same holder")
              << " | " << Counters * count << " | " << QString::number(rate, 'f', 0) << " | "
              << (check.isEmpty() ? QStringLiteral("none") : check) << " | " << waits << " |\n";
        if (!check.isEmpty())
            return fail(check);
    }
    out().flush();
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    const QString command = arguments.value(0);
    if (command == u"save")
        return measureSave(arguments.value(1), arguments.value(2), arguments.value(3).toInt());
    if (command == u"open")
        return measureOpen(arguments.value(1), arguments.value(2));
    if (command == u"list")
        return measureList(arguments.value(1), arguments.value(2));
    if (command == u"counter")
        return runCounter(arguments.value(1), arguments.value(2).toInt(), arguments.value(3),
                          arguments.value(4).toInt());
    if (command == u"run") {
        const int records = arguments.size() > 2 ? arguments.value(2).toInt() : 1000000;
        return runAll(arguments.value(1), records, 10000, 200, 3);
    }
    if (command == u"smoke") {
        // Under CTest the test run's own server.
        const QString server = arguments.size() > 1
                                   ? arguments.value(1)
                                   : qEnvironmentVariable("VELLUMAR_TEST_DATABASE");
        const int failed = runAll(server, 1000, 100, 8, 1);
        if (failed == 0)
            out() << "smoke run passed" << Qt::endl;
        return failed;
    }
    std::fprintf(stderr, "usage: shared_bench run SERVER [RECORDS] | smoke SERVER\n");
    return 2;
}
