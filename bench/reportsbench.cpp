// Measures the reports on large books: the receivables overview of many holders' ledgers, and
// the status bar's count and sum when every record of a million-record ledger is selected.
// Each measurement runs in a fresh child process, so its time and peak memory are its own.
//
//   reports_bench overview DIR [HOLDERS RECORDS]   ledgers in DIR (made once), median of three
//   reports_bench selection FILE                    select-all in the ledger window on FILE
//   reports_bench smoke                             a quick run of both, small

#include "benchprocess.h"
#include "ledgergenerator.h"

#include "books/localbooks.h"
#include "frame/application.h"
#include "frame/frame.h"
#include "frame/services.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgerrecords.h"
#include "ledger/ledgerwindow.h"
#include "reports/receivables.h"
#include "storage/datapaths.h"
#include "storage/datastore.h"
#include "storage/recordtable.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

using namespace vellumar;

namespace {

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

using bench::BenchHost;
using bench::Measured;
using bench::peakMemoryKiB;

int fail(const QString& message) {
    std::fprintf(stderr, "%s\n", qPrintable(message));
    return 1;
}

QString holderName(int n) {
    return QStringLiteral("客户%1").arg(n, 4, 10, QLatin1Char('0'));
}

// A program folder with `holders` holders, each with a generated ledger of `records` records.
int prepareBooks(const QString& folder, int holders, int records) {
    const DataPaths paths(folder);
    if (QFileInfo::exists(paths.ledgerFile(DataPaths::LedgerDirSlash, holderName(holders - 1))))
        return 0;
    QDir().mkpath(folder);
    if (Status prepared = prepareDataDirectory(paths); !prepared)
        return fail(prepared.message());
    for (int n = 0; n < holders; ++n) {
        LedgerSheet sheet;
        bench::generateLedger(sheet, records, unsigned(n + 1));
        if (Status saved =
                LedgerFile::save(paths.ledgerFile(DataPaths::LedgerDirSlash, holderName(n)), sheet);
            !saved)
            return fail(saved.message());
    }
    out() << "wrote " << holders << " ledgers of " << records << " records into " << folder
          << Qt::endl;
    return 0;
}

// One overview of every holder's ledger in the folder, as the window computes it.
int measureOverview(const QString& folder, int holders, int threads) {
    const DataPaths paths(folder);
    QStringList names;
    for (int n = 0; n < holders; ++n)
        names.append(holderName(n));
    QElapsedTimer timer;
    timer.start();
    const std::optional<ReceivablesOverview> overview =
        computeOverview(names, localLedgerReader(paths), {}, threads);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!overview || overview->unreadable != 0)
        return fail(QStringLiteral("the overview failed"));
    out() << "RESULT " << seconds << ' ' << peakMemoryKiB() << ' ' << overview->records << ' '
          << numberToText(overview->grandTotal.toDouble()) << Qt::endl;
    return 0;
}

// Select-all in the ledger window on the file: the time until the status bar shows the count
// and sum, once at once after opening and once after the window had a moment to itself.
int measureSelection(const QString& file) {
    BenchHost host;
    Frame frame;
    QTemporaryDir folder;
    const DataPaths paths(folder.path());
    LocalFileSystem files;
    BooksInUse books{std::make_unique<LocalBooks>(paths, files), BooksLocation()};
    Services services{host, frame, paths, files, books};
    const QString holder = QStringLiteral("基准测试");
    if (!prepareDataDirectory(paths).ok() ||
        (::link(
             QFile::encodeName(file).constData(),
             QFile::encodeName(paths.ledgerFile(DataPaths::LedgerDirSlash, holder)).constData()) !=
             0 &&
         !QFile::copy(file, paths.ledgerFile(DataPaths::LedgerDirSlash, holder))))
        return fail(QStringLiteral("could not prepare the program folder"));
    auto* window = new LedgerWindow(services, holder);
    frame.open(window);
    auto* summary = window->findChild<QLabel*>(QStringLiteral("selectionSummary"));
    QAction* selectAll = window->findChild<QAction*>(QStringLiteral("actionSelectAll"));
    const auto timeSelectAll = [&] {
        window->grid()->clearSelection();
        QElapsedTimer timer;
        timer.start();
        selectAll->trigger();
        const double seconds = timer.nsecsElapsed() / 1e9;
        return seconds;
    };
    const double cold = timeSelectAll();
    const QString shown = summary->text();
    // The window sums blocks of rows while it is idle.
    QElapsedTimer idle;
    idle.start();
    while (idle.elapsed() < 3000)
        QCoreApplication::processEvents();
    const double warm = timeSelectAll();
    if (summary->text() != shown)
        return fail(QStringLiteral("the sum changed: ") + shown + QStringLiteral(" / ") +
                    summary->text());
    const QString expected = numberToText(LedgerRecords::total(window->sheet()));
    if (!shown.endsWith(expected))
        return fail(QStringLiteral("the sum is not the total: ") + shown);
    out() << "RESULT " << warm << ' ' << peakMemoryKiB() << ' ' << cold << Qt::endl;
    frame.close(window);
    return 0;
}

Measured median(const QStringList& arguments, int runs) {
    return bench::runMedian(arguments, runs);
}

int overview(const QString& folder, int holders, int records, int runs) {
    if (const int prepared = prepareBooks(folder, holders, records); prepared != 0)
        return prepared;
    const QString count = QString::number(holders);
    for (int threads : {0, 1}) {
        const Measured measured = median(
            {QStringLiteral("measure-overview"), folder, count, QString::number(threads)}, runs);
        if (!measured.ok)
            return fail(QStringLiteral("the overview could not be measured"));
        out() << "Overview of " << holders << " holders x " << records << " records ("
              << (threads == 0 ? QStringLiteral("all cores") : QStringLiteral("one thread"))
              << "): " << QString::number(measured.seconds * 1000, 'f', 0) << " ms, peak "
              << QString::number(measured.peakMiB, 'f', 0) << " MiB; " << measured.extra.value(0)
              << " records, grand total " << measured.extra.value(1) << Qt::endl;
    }
    return 0;
}

int selection(const QString& file, int runs) {
    const Measured measured = median({QStringLiteral("measure-selection"), file}, runs);
    if (!measured.ok)
        return fail(QStringLiteral("the selection could not be measured"));
    out() << "Select-all with the status bar's count and sum: "
          << QString::number(measured.extra.value(0).toDouble() * 1000, 'f', 1)
          << " ms at once after opening, " << QString::number(measured.seconds * 1000, 'f', 1)
          << " ms once the window was idle; "
          << "peak " << QString::number(measured.peakMiB, 'f', 0) << " MiB" << Qt::endl;
    return 0;
}

int smoke() {
    QTemporaryDir folder;
    if (overview(folder.filePath(QStringLiteral("books")), 20, 100, 1) != 0)
        return 1;
    LedgerSheet sheet;
    bench::generateLedger(sheet, 1000);
    const QString file = folder.filePath(QStringLiteral("ledger.z"));
    if (Status saved = LedgerFile::save(file, sheet); !saved)
        return fail(saved.message());
    return selection(file, 1);
}

} // namespace

int main(int argc, char* argv[]) {
    const QStringList arguments = bench::commandArguments(argc, argv);
    const QString command = arguments.value(0);
    if (command == QStringLiteral("measure-selection")) {
        bench::preferOffscreen();
        QApplication application(argc, argv);
        prepareApplication(application);
        return measureSelection(arguments.value(1));
    }
    QCoreApplication application(argc, argv);
    if (command == QStringLiteral("measure-overview"))
        return measureOverview(arguments.value(1), arguments.value(2).toInt(),
                               arguments.value(3).toInt());
    if (command == QStringLiteral("overview"))
        return overview(arguments.value(1), arguments.value(2, QStringLiteral("1000")).toInt(),
                        arguments.value(3, QStringLiteral("1000")).toInt(), 3);
    if (command == QStringLiteral("selection"))
        return selection(arguments.value(1), 3);
    if (command == QStringLiteral("smoke"))
        return smoke();
    std::fprintf(stderr, "usage: reports_bench overview DIR [HOLDERS RECORDS] | selection FILE | "
                         "smoke\n");
    return 2;
}
