// Measures how the ledger behaves at shop-counter sizes and far beyond: loading, saving, the
// search for a free row, opening the ledger window until its grid has been painted, and
// scrolling a million-row grid. Every measurement runs in a fresh child process, so its peak
// memory is its own.
//
//   ledger_bench generate DIR          writes ledger_1000.z, ledger_100000.z, ledger_1000000.z
//   ledger_bench run DIR [SIZES...]    measures and prints the table
//   ledger_bench hostile DIR           writes files beyond and at a ledger's ceilings into DIR,
//                                      measures loading or refusing each, prints the table
//   ledger_bench safety DIR [SIZES...] measures the safety nets on the ledgers in DIR: one undo
//                                      step of deleting every record, the journal write per
//                                      added record, keeping a version and restoring one
//   ledger_bench smoke                 a quick run on 1000 records in a temporary folder
//   ledger_bench screenshot FILE PNG [W H]   opens the window on a ledger file, saves a picture

#include "benchprocess.h"
#include "ledgergenerator.h"

#include "books/localbooks.h"
#include "frame/application.h"
#include "frame/frame.h"
#include "frame/services.h"
#include "host/conversions.h"
#include "host/host.h"
#include "ledger/holderledger.h"
#include "ledger/ledgeredits.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgerlimits.h"
#include "ledger/ledgerrecords.h"
#include "ledger/ledgersheet.h"
#include "ledger/ledgerwindow.h"
#include "safety/safetypaths.h"
#include "storage/datapaths.h"
#include "storage/datastore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUndoStack>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

using namespace vellumar;

namespace {

const QList<int> DefaultSizes = {1000, 100000, 1000000};
const QString UserName = QStringLiteral("基准测试");

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

using bench::currentMemoryKiB;
using bench::peakMemoryKiB;
using bench::resetPeakMemory;

QString ledgerFileName(int records) {
    return QStringLiteral("ledger_%1.z").arg(records);
}

using bench::BenchHost;

// What one child process reports: seconds for the measured step, and extra figures.
void report(double seconds, const QString& extra = QString()) {
    out() << "RESULT " << seconds << ' ' << peakMemoryKiB() << ' ' << extra << Qt::endl;
}

int fail(const QString& message) {
    std::fprintf(stderr, "%s\n", qPrintable(message));
    return 1;
}

// ----- measurements, each in its own process -------------------------------------------------

int measureLoad(const QString& file) {
    LedgerSheet sheet;
    QElapsedTimer timer;
    timer.start();
    const Status loaded = LedgerFile::load(file, sheet);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!loaded)
        return fail(loaded.message());
    report(seconds, QString::number(sheet.rowCount()));
    return 0;
}

int measureSave(const QString& file) {
    LedgerSheet sheet;
    if (const Status loaded = LedgerFile::load(file, sheet); !loaded)
        return fail(loaded.message());
    QTemporaryDir directory(QFileInfo(file).absolutePath() + QStringLiteral("/save-XXXXXX"));
    const QString target = directory.filePath(QStringLiteral("saved.z"));
    QElapsedTimer timer;
    timer.start();
    const Status saved = LedgerFile::save(target, sheet);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!saved)
        return fail(saved.message());
    report(seconds, QString::number(QFileInfo(target).size()));
    return 0;
}

// Loads a file that may well be refused; the time is until the answer, either way.
int measureAttempt(const QString& file) {
    LedgerSheet sheet;
    QElapsedTimer timer;
    timer.start();
    const Status loaded = LedgerFile::load(file, sheet);
    const double seconds = timer.nsecsElapsed() / 1e9;
    report(seconds, loaded ? QStringLiteral("loaded %1 rows").arg(sheet.rowCount())
                           : QStringLiteral("refused: ") + loaded.message());
    return 0;
}

// The add-record dialog asks for the row of a new record each time, which is the sheet's
// search for a free row; the first question after a load walks the ledger, the following
// ones start where the last one ended.
int measureFreeRow(const QString& file) {
    LedgerSheet sheet;
    if (const Status loaded = LedgerFile::load(file, sheet); !loaded)
        return fail(loaded.message());
    QElapsedTimer timer;
    timer.start();
    const Result<int> first = LedgerRecords::rowForNewRecord(sheet);
    const double firstSeconds = timer.nsecsElapsed() / 1e9;
    if (!first)
        return fail(first.status().message());
    constexpr int Adds = 1000;
    timer.restart();
    for (int n = 0; n < Adds; ++n) {
        const Result<int> row = LedgerRecords::rowForNewRecord(sheet);
        if (!row)
            return fail(row.status().message());
        sheet.setCell(*row, LedgerSheet::Serial, QString::number(*row));
    }
    const double perAdd = timer.nsecsElapsed() / 1e9 / Adds;
    report(firstSeconds, QStringLiteral("%1 %2").arg(*first).arg(perAdd * 1e6, 0, 'f', 2));
    return 0;
}

// "计算" in the totals dialog: the total column summed exactly in decimal, every row read.
int measureSum(const QString& file) {
    LedgerSheet sheet;
    if (const Status loaded = LedgerFile::load(file, sheet); !loaded)
        return fail(loaded.message());
    QElapsedTimer timer;
    timer.start();
    const double sum = LedgerRecords::total(sheet);
    report(timer.nsecsElapsed() / 1e9, numberToText(sum));
    return 0;
}

// A program folder whose user ledger is the given file. The window reads its holder's ledger
// only from a regular file, never through a symbolic link, so the file is hard-linked where
// it can be and copied where not.
bool prepareProgramFolder(const QTemporaryDir& folder, const QString& ledger,
                          const DataPaths& paths) {
    if (!folder.isValid() || !prepareDataDirectory(paths).ok())
        return false;
    const QString target = paths.ledgerFile(DataPaths::LedgerDirSlash, UserName);
    if (::link(QFile::encodeName(ledger).constData(), QFile::encodeName(target).constData()) == 0)
        return true;
    return QFile::copy(ledger, target);
}

class PaintWatch : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

struct OpenWindow {
    BenchHost host;
    Frame frame;
    QTemporaryDir folder;
    DataPaths paths{folder.path()};
    LocalFileSystem files;
    BooksInUse books{std::make_unique<LocalBooks>(paths, files), BooksLocation()};
    Services services{host, frame, paths, files, books};
    LedgerWindow* window = nullptr;
};

// Opens the ledger window as the user list does and waits until its grid has been painted.
bool openLedger(OpenWindow& open, const QString& file, double& seconds) {
    if (!prepareProgramFolder(open.folder, file, open.paths))
        return false;
    PaintWatch watch;
    QElapsedTimer timer;
    timer.start();
    open.window = new LedgerWindow(open.services, UserName);
    open.window->grid()->viewport()->installEventFilter(&watch);
    open.frame.open(open.window);
    while (!watch.painted && timer.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    seconds = timer.nsecsElapsed() / 1e9;
    open.window->grid()->viewport()->removeEventFilter(&watch);
    return watch.painted;
}

int measureOpen(const QString& file) {
    OpenWindow open;
    double seconds = 0;
    if (!openLedger(open, file, seconds))
        return fail(QStringLiteral("the grid was never painted"));
    report(seconds, QString::number(open.window->sheet().rowCount()));
    return 0;
}

// Scrolls page by page, row by row and by dragging the thumb to far places; every step is
// painted at once, as the operator would see it.
int measureScroll(const QString& file) {
    OpenWindow open;
    double seconds = 0;
    if (!openLedger(open, file, seconds))
        return fail(QStringLiteral("the grid was never painted"));
    QTableView* view = open.window->grid();
    QScrollBar* bar = view->verticalScrollBar();
    QList<double> steps;
    QElapsedTimer timer;
    const auto step = [&](int value) {
        timer.restart();
        bar->setValue(value);
        view->viewport()->repaint();
        steps.append(timer.nsecsElapsed() / 1e6);
    };
    for (int n = 0; n < 200; ++n)
        step(bar->value() + bar->pageStep());
    for (int n = 0; n < 200; ++n)
        step(bar->value() + bar->singleStep());
    for (int n = 0; n <= 100; ++n)
        step(int(qint64(bar->maximum()) * ((n * 37) % 101) / 100));
    // Then everything is selected and deleted, as "全选" and "删除记录" do.
    timer.restart();
    view->selectAll();
    open.window->sheet().removeRows(1, open.window->sheet().rowCount() - 1);
    view->viewport()->repaint();
    const double deleteAll = timer.nsecsElapsed() / 1e6;

    std::sort(steps.begin(), steps.end());
    double total = 0;
    for (double ms : steps)
        total += ms;
    const double mean = total / steps.size();
    const double p99 = steps[int(steps.size() * 0.99)];
    report(mean / 1000, QStringLiteral("%1 %2 %3 %4")
                            .arg(p99, 0, 'f', 2)
                            .arg(steps.last(), 0, 'f', 2)
                            .arg(steps.size())
                            .arg(deleteAll, 0, 'f', 0));
    return 0;
}

// "全选" and "删除记录" on the whole ledger, then "撤销": the time of the undo until the grid
// is painted, and what the two steps took beyond the memory the open window held.
int measureUndo(const QString& file) {
    OpenWindow open;
    double seconds = 0;
    if (!openLedger(open, file, seconds))
        return fail(QStringLiteral("the grid was never painted"));
    QTableView* view = open.window->grid();
    LedgerSheet& sheet = open.window->sheet();
    const int rows = sheet.rowCount();
    const QString lastProduct = sheet.cell(rows - 1, LedgerSheet::Product);
    QCoreApplication::processEvents();
    const long before = currentMemoryKiB();
    resetPeakMemory();
    QElapsedTimer timer;
    timer.start();
    view->selectAll();
    open.window->edits().deleteRows(1, rows - 1);
    view->viewport()->repaint();
    const double deleteMs = timer.nsecsElapsed() / 1e6;
    timer.restart();
    open.window->edits().undo();
    view->viewport()->repaint();
    const double undoSeconds = timer.nsecsElapsed() / 1e9;
    if (sheet.rowCount() != rows || sheet.cell(rows - 1, LedgerSheet::Product) != lastProduct)
        return fail(QStringLiteral("undo did not give the ledger back"));
    const long extra = peakMemoryKiB() - before;
    report(undoSeconds, QStringLiteral("%1 %2 %3")
                            .arg(deleteMs, 0, 'f', 1)
                            .arg(extra / 1024.0, 0, 'f', 1)
                            .arg(before / 1024.0, 0, 'f', 0));
    return 0;
}

// A program folder whose holder's ledger is the given file, opened as the window does: the
// holder's ledger loaded, its changes and journal ready.
struct OpenHolder {
    QTemporaryDir folder;
    DataPaths paths{folder.path()};
    LocalFileSystem files;
    LedgerSheet sheet{0};
    LedgerEdits edits{sheet};
    std::unique_ptr<HolderLedger> ledger;

    bool open(const QString& file) {
        if (!prepareProgramFolder(folder, file, paths))
            return false;
        ledger = std::make_unique<HolderLedger>(paths, files, UserName);
        ledger->trackEdits(&edits);
        return ledger->load(sheet).ok();
    }
};

RecordFields benchRecord(int n) {
    return {QStringLiteral("康师傅红烧牛肉面 %1").arg(n),
            QStringLiteral("3"),
            QStringLiteral("箱"),
            QStringLiteral("42.5"),
            QStringLiteral("127.5"),
            QStringLiteral("月底结清")};
}

// Adding records to a large ledger with the journal written and flushed for each, and
// without: the difference is what the journal costs a record.
int measureJournal(const QString& file) {
    OpenHolder open;
    if (!open.open(file))
        return fail(QStringLiteral("the ledger could not be opened"));
    constexpr int Adds = 500;
    QElapsedTimer timer;
    timer.start();
    for (int n = 0; n < Adds; ++n)
        if (!open.edits.addRecord(benchRecord(n), QStringLiteral("2026-12-09 09:30:15")).ok())
            return fail(QStringLiteral("a record was refused"));
    const double plain = timer.nsecsElapsed() / 1e9 / Adds;
    open.edits.setRecorder(open.ledger->journal());
    timer.restart();
    if (!open.edits.addRecord(benchRecord(Adds), QStringLiteral("2026-12-09 09:30:15")).ok())
        return fail(QStringLiteral("a record was refused"));
    const double first = timer.nsecsElapsed() / 1e9;
    timer.restart();
    for (int n = 1; n <= Adds; ++n)
        if (!open.edits.addRecord(benchRecord(Adds + n), QStringLiteral("2026-12-09 09:30:15"))
                 .ok())
            return fail(QStringLiteral("a record was refused"));
    const double journaled = timer.nsecsElapsed() / 1e9 / Adds;
    if (!open.edits.isRecording())
        return fail(QStringLiteral("the journal refused a change"));
    report(journaled - plain, QStringLiteral("%1 %2 %3")
                                  .arg(plain * 1e6, 0, 'f', 1)
                                  .arg(journaled * 1e3, 0, 'f', 2)
                                  .arg(first * 1e3, 0, 'f', 1));
    return 0;
}

// A save of the whole ledger that first keeps the version it replaces, and the keeping alone.
int measureBackup(const QString& file) {
    OpenHolder open;
    if (!open.open(file))
        return fail(QStringLiteral("the ledger could not be opened"));
    if (!open.edits.addRecord(benchRecord(1), QStringLiteral("2026-12-09 09:30:15")).ok())
        return fail(QStringLiteral("a record was refused"));
    const QString path = open.paths.ledgerFile(DataPaths::LedgerDirSlash, UserName);
    QElapsedTimer timer;
    timer.start();
    const Result<BackupVersion> kept =
        open.ledger->backups().keep(path, QDateTime(QDate(2026, 12, 8), QTime(18, 0)));
    const double keep = timer.nsecsElapsed() / 1e9;
    if (!kept)
        return fail(kept.status().message());
    resetPeakMemory();
    timer.restart();
    if (const Status saved = open.ledger->save(open.sheet, QDateTime::currentDateTime()); !saved)
        return fail(saved.message());
    const double save = timer.nsecsElapsed() / 1e9;
    report(keep, QStringLiteral("%1").arg(save * 1e3, 0, 'f', 0));
    return 0;
}

// Putting a version back: it is read to be sure it loads, the ledger there is read and kept
// as a version, and the version is copied into the ledger's place.
int measureRestore(const QString& file) {
    OpenHolder open;
    if (!open.open(file))
        return fail(QStringLiteral("the ledger could not be opened"));
    const QString path = open.paths.ledgerFile(DataPaths::LedgerDirSlash, UserName);
    const Result<BackupVersion> kept =
        open.ledger->backups().keep(path, QDateTime(QDate(2026, 12, 8), QTime(18, 0)));
    if (!kept)
        return fail(kept.status().message());
    open.ledger.reset();
    open.sheet.replaceRows({});
    const long before = currentMemoryKiB();
    resetPeakMemory();
    HolderLedger restorer(open.paths, open.files, UserName);
    QElapsedTimer timer;
    timer.start();
    if (const Status restored = restorer.restore(kept->path, QDateTime::currentDateTime());
        !restored)
        return fail(restored.message());
    const double seconds = timer.nsecsElapsed() / 1e9;
    report(seconds, QStringLiteral("%1").arg((peakMemoryKiB() - before) / 1024.0, 0, 'f', 0));
    return 0;
}

int screenshot(const QString& file, const QString& png, const QSize& size) {
    OpenWindow open;
    double seconds = 0;
    if (!openLedger(open, file, seconds))
        return fail(QStringLiteral("the grid was never painted"));
    if (size.isValid())
        open.window->resize(size);
    open.window->grid()->setCurrentIndex(open.window->grid()->model()->index(2, 1));
    open.window->grid()->selectionModel()->select(open.window->grid()->currentIndex(),
                                                  QItemSelectionModel::ClearAndSelect);
    return open.window->grab().save(png) ? 0 : fail(QStringLiteral("could not save ") + png);
}

// ----- the parent: generation, child processes and the table -------------------------------

int generate(const QString& directory, const QList<int>& sizes) {
    QDir().mkpath(directory);
    for (int records : sizes) {
        const QString path = QDir(directory).filePath(ledgerFileName(records));
        if (QFileInfo::exists(path))
            continue;
        LedgerSheet sheet;
        bench::generateLedger(sheet, records);
        if (const Status saved = LedgerFile::save(path, sheet); !saved)
            return fail(saved.message());
        out() << "wrote " << path << " (" << QFileInfo(path).size() << " bytes)" << Qt::endl;
    }
    return 0;
}

using bench::Measured;

Measured runChild(const QString& kind, const QString& file) {
    return bench::runChild({QStringLiteral("measure"), kind, file});
}

Measured runMedian(const QString& kind, const QString& file, int runs) {
    return bench::runMedian({QStringLiteral("measure"), kind, file}, runs);
}

using bench::ms;

int runAll(const QString& directory, const QList<int>& sizes, int runs) {
    if (const int generated = generate(directory, sizes); generated != 0)
        return generated;
    out() << "\n| Records | File size | Load | Save | First free row (first / per add) | "
             "Open window to painted grid | Peak memory at open | Peak ÷ file size |\n"
          << "|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    QString scrollLine;
    for (int records : sizes) {
        const QString file = QDir(directory).filePath(ledgerFileName(records));
        const double fileMiB = QFileInfo(file).size() / 1048576.0;
        const Measured load = runMedian(QStringLiteral("load"), file, runs);
        const Measured save = runMedian(QStringLiteral("save"), file, runs);
        const Measured freeRow = runMedian(QStringLiteral("freerow"), file, runs);
        const Measured open = runMedian(QStringLiteral("open"), file, runs);
        if (!load.ok || !save.ok || !freeRow.ok || !open.ok)
            return fail(QStringLiteral("a measurement failed for %1 records").arg(records));
        out() << "| " << records << " | " << QString::number(fileMiB, 'f', 1) << " MiB | "
              << ms(load.seconds) << " | " << ms(save.seconds) << " | " << ms(freeRow.seconds)
              << " / " << freeRow.extra.value(1) << " µs | " << ms(open.seconds) << " | "
              << QString::number(open.peakMiB, 'f', 0) << " MiB | "
              << QString::number(open.peakMiB / fileMiB, 'f', 2) << " |\n";
        out().flush();
        if (records == sizes.last()) {
            const Measured scroll = runChild(QStringLiteral("scroll"), file);
            const Measured sum = runMedian(QStringLiteral("sum"), file, runs);
            if (!scroll.ok || !sum.ok)
                return fail(QStringLiteral("scrolling or summing could not be measured"));
            scrollLine =
                QStringLiteral("\nScrolling %1 records (%2 steps: pages, single rows, jumps of "
                               "the thumb; each step painted at once): mean %3 ms, 99th "
                               "percentile %4 ms, slowest %5 ms per step. Selecting all "
                               "and deleting every record: %6 ms. Summing the total column "
                               "(\"计算\", exact decimal): %7 ms.\n")
                    .arg(records)
                    .arg(scroll.extra.value(2))
                    .arg(scroll.seconds * 1000, 0, 'f', 2)
                    .arg(scroll.extra.value(0), scroll.extra.value(1), scroll.extra.value(3))
                    .arg(sum.seconds * 1000, 0, 'f', 0);
        }
    }
    out() << scrollLine << Qt::endl;
    return 0;
}

// ----- the safety nets ----------------------------------------------------------------------

int runSafety(const QString& directory, const QList<int>& sizes, int runs) {
    if (const int generated = generate(directory, sizes); generated != 0)
        return generated;
    out()
        << "\n| Records | Delete all (step) | Undo, grid painted | Extra memory of delete + undo | "
           "Memory of the open window | Add a record: journal write (with fsync) | First "
           "journaled change | Keep a version | Save with the version kept | Restore a "
           "version | Extra memory of restore |\n"
        << "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    for (int records : sizes) {
        const QString file = QDir(directory).filePath(ledgerFileName(records));
        const Measured undo = runMedian(QStringLiteral("undo"), file, runs);
        const Measured journal = runMedian(QStringLiteral("journal"), file, runs);
        const Measured backup = runMedian(QStringLiteral("backup"), file, runs);
        const Measured restore = runMedian(QStringLiteral("restore"), file, runs);
        if (!undo.ok || !journal.ok || !backup.ok || !restore.ok)
            return fail(QStringLiteral("a safety measurement failed for %1 records").arg(records));
        out() << "| " << records << " | " << undo.extra.value(0) << " ms | " << ms(undo.seconds)
              << " | " << undo.extra.value(1) << " MiB | " << undo.extra.value(2) << " MiB | "
              << QString::number(journal.seconds * 1e3, 'f', 2) << " ms | "
              << journal.extra.value(2) << " ms | " << ms(backup.seconds) << " | "
              << backup.extra.value(0) << " ms | " << ms(restore.seconds) << " | "
              << restore.extra.value(0) << " MiB |\n";
        out().flush();
    }
    out() << Qt::endl;
    return 0;
}

// ----- hostile files: what a file from anywhere can be, and the largest a ledger may be ----

struct HostileFile {
    QString name;
    QString description;
    // Writes the content; false when the file could not be made.
    std::function<bool(QFile&)> write;
};

// Writes `pattern` over and over until the file holds `bytes` bytes (the last copy cut).
bool writeRepeated(QFile& file, const QByteArray& pattern, qint64 bytes) {
    QByteArray block;
    while (block.size() < (1 << 20))
        block += pattern;
    block.truncate(block.size() - block.size() % pattern.size());
    for (qint64 left = bytes; left > 0;) {
        const qint64 count = std::min<qint64>(left, block.size());
        if (file.write(block.constData(), count) != count)
            return false;
        left -= count;
    }
    return true;
}

const QList<HostileFile>& hostileFiles() {
    static const QList<HostileFile> files = {
        {QStringLiteral("one_huge_cell.z"),
         QStringLiteral("100 MB: one cell of Chinese text, no line break"),
         [](QFile& file) {
             return file.write("\xEF\xBB\xBF"
                               "1,") == 5 &&
                    // whole characters of three bytes each, up to 100 MB
                    writeRepeated(file, QStringLiteral("货").toUtf8(), (100'000'000 - 5) / 3 * 3);
         }},
        {QStringLiteral("blank_lines.z"), QStringLiteral("50 MB of blank lines (CRLF)"),
         [](QFile& file) {
             return writeRepeated(file, "\r\n", 50'000'000);
         }},
        {QStringLiteral("ceiling_blank_lines.z"),
         QStringLiteral("5 000 000 blank lines (LF): the most rows a ledger may have, in the "
                        "fewest bytes"),
         [](QFile& file) {
             return writeRepeated(file, "\n", LedgerLimits::MaxRows);
         }},
        {QStringLiteral("two_gigabytes_one_row.z"),
         QStringLiteral("2 GiB sparse file (ftruncate): nothing on disk, zeros to read"),
         [](QFile& file) {
             return file.resize(qint64(2) << 30);
         }},
        {QStringLiteral("ceiling_cells.z"),
         QStringLiteral("just under 512 MiB: rows of eight cells of 32 767 Chinese characters"),
         [](QFile& file) {
             const QString cell = QStringLiteral("字").repeated(LedgerLimits::MaxCellCharacters);
             const QByteArray row =
                 QStringList(LedgerSheet::ColumnCount, cell).join(u',').toUtf8() + "\r\n";
             const qint64 rows = (LedgerLimits::MaxFileBytes - 3) / row.size();
             return file.write("\xEF\xBB\xBF") == 3 && writeRepeated(file, row, rows * row.size());
         }},
        {QStringLiteral("ceiling_rows.z"),
         QStringLiteral("5 000 000 rows (the most a ledger may have): titles and short records"),
         [](QFile& file) {
             QByteArray bytes = "\xEF\xBB\xBF" + LedgerSheet::titles().join(u',').toUtf8() + "\r\n";
             for (qint64 row = 1; row < LedgerLimits::MaxRows; ++row) {
                 bytes += QByteArray::number(row) + ",\xE5\xA4\xA7\xE7\xB1\xB3,2,\xE8\xA2\x8B\r\n";
                 if (bytes.size() >= (1 << 20)) {
                     if (file.write(bytes) != bytes.size())
                         return false;
                     bytes.clear();
                 }
             }
             return file.write(bytes) == bytes.size();
         }},
    };
    return files;
}

int runHostile(const QString& directory, int runs) {
    QDir().mkpath(directory);
    for (const HostileFile& hostile : hostileFiles()) {
        const QString path = QDir(directory).filePath(hostile.name);
        if (QFileInfo::exists(path))
            continue;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !hostile.write(file) || !file.flush()) {
            file.remove();
            return fail(QStringLiteral("could not write ") + path);
        }
    }
    // What a process takes that loads a ledger of a single row, for comparison.
    QTemporaryDir tiny;
    const QString small = tiny.filePath(QStringLiteral("tiny.z"));
    {
        QFile file(small);
        const QByteArray row = "1,a\r\n";
        if (!file.open(QIODevice::WriteOnly) || file.write(row) != row.size())
            return fail(QStringLiteral("could not write ") + small);
    }
    const Measured baseline = runMedian(QStringLiteral("attempt"), small, runs);
    out() << "\n| Hostile file | Size | Outcome | Time to load or refuse | Peak memory | "
             "Peak ÷ file size |\n"
          << "|---|---:|---|---:|---:|---:|\n";
    for (const HostileFile& hostile : hostileFiles()) {
        const QString path = QDir(directory).filePath(hostile.name);
        const Measured attempt = runMedian(QStringLiteral("attempt"), path, runs);
        if (!attempt.ok)
            return fail(QStringLiteral("the attempt on %1 failed").arg(hostile.name));
        const double fileMiB = QFileInfo(path).size() / 1048576.0;
        out() << "| " << hostile.description << " | " << QString::number(fileMiB, 'f', 1)
              << " MiB | " << attempt.extra.join(u' ') << " | " << ms(attempt.seconds) << " | "
              << QString::number(attempt.peakMiB, 'f', 0) << " MiB | "
              << QString::number(attempt.peakMiB / fileMiB, 'f', 2) << " |\n";
        out().flush();
    }
    out() << "\nA process that loads a one-row ledger peaks at "
          << QString::number(baseline.peakMiB, 'f', 0) << " MiB." << Qt::endl;
    return 0;
}

int smoke() {
    QTemporaryDir directory;
    const QList<int> sizes = {1000};
    if (const int generated = generate(directory.path(), sizes); generated != 0)
        return generated;
    const QString file = directory.filePath(ledgerFileName(1000));
    for (const QString& kind :
         {QStringLiteral("load"), QStringLiteral("save"), QStringLiteral("freerow"),
          QStringLiteral("open"), QStringLiteral("undo"), QStringLiteral("journal"),
          QStringLiteral("backup"), QStringLiteral("restore")})
        if (!runChild(kind, file).ok)
            return fail(QStringLiteral("%1 failed").arg(kind));
    out() << "smoke run passed" << Qt::endl;
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const QStringList arguments = bench::commandArguments(argc, argv);
    const QString command = arguments.value(0);
    const bool needsWindows = (command == QStringLiteral("measure") &&
                               (arguments.value(1) == QStringLiteral("open") ||
                                arguments.value(1) == QStringLiteral("undo") ||
                                arguments.value(1) == QStringLiteral("scroll"))) ||
                              command == QStringLiteral("screenshot");
    if (needsWindows) {
        bench::preferOffscreen();
        QApplication application(argc, argv);
        prepareApplication(application);
        if (command == QStringLiteral("screenshot"))
            return screenshot(arguments.value(1), arguments.value(2),
                              QSize(arguments.value(3).toInt(), arguments.value(4).toInt()));
        if (arguments.value(1) == QStringLiteral("undo"))
            return measureUndo(arguments.value(2));
        return arguments.value(1) == QStringLiteral("open") ? measureOpen(arguments.value(2))
                                                            : measureScroll(arguments.value(2));
    }
    QCoreApplication application(argc, argv);
    if (command == QStringLiteral("measure")) {
        const QString kind = arguments.value(1);
        const QString file = arguments.value(2);
        if (kind == QStringLiteral("load"))
            return measureLoad(file);
        if (kind == QStringLiteral("save"))
            return measureSave(file);
        if (kind == QStringLiteral("freerow"))
            return measureFreeRow(file);
        if (kind == QStringLiteral("attempt"))
            return measureAttempt(file);
        if (kind == QStringLiteral("sum"))
            return measureSum(file);
        if (kind == QStringLiteral("journal"))
            return measureJournal(file);
        if (kind == QStringLiteral("backup"))
            return measureBackup(file);
        if (kind == QStringLiteral("restore"))
            return measureRestore(file);
        return fail(QStringLiteral("unknown measurement ") + kind);
    }
    if (command == QStringLiteral("generate") || command == QStringLiteral("run") ||
        command == QStringLiteral("safety")) {
        QList<int> sizes;
        for (const QString& size : arguments.mid(2))
            sizes.append(size.toInt());
        if (sizes.isEmpty())
            sizes = DefaultSizes;
        if (command == QStringLiteral("generate"))
            return generate(arguments.value(1), sizes);
        if (command == QStringLiteral("safety"))
            return runSafety(arguments.value(1), sizes, 3);
        return runAll(arguments.value(1), sizes, 3);
    }
    if (command == QStringLiteral("hostile"))
        return runHostile(arguments.value(1), 3);
    if (command == QStringLiteral("smoke"))
        return smoke();
    std::fprintf(stderr, "usage: ledger_bench generate|run|safety DIR [SIZES...] | hostile DIR | "
                         "smoke | screenshot FILE PNG [W H]\n");
    return 2;
}
