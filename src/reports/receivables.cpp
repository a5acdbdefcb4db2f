#include "reports/receivables.h"

#include "ledger/holderledger.h"
#include "reports/recorddates.h"
#include "reports/statement.h"
#include "storage/filesystem.h"

#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace vellumar {

LedgerReader localLedgerReader(const DataPaths& paths) {
    return [&paths](const QString& holder, LedgerSheet& sheet) -> Result<bool> {
        // A file system of its own: the lookups of the real one keep no state between calls,
        // so each thread may have one.
        LocalFileSystem files;
        HolderLedger ledger(paths, files, holder);
        const Result<HolderLedger::Opened> opened = ledger.load(sheet);
        if (!opened)
            return opened.status();
        return *opened == HolderLedger::Opened::Loaded;
    };
}

LedgerReader booksLedgerReader(std::shared_ptr<BooksReader> reader) {
    auto turns = std::make_shared<std::mutex>();
    return [reader = std::move(reader), turns](const QString& holder,
                                               LedgerSheet& sheet) -> Result<bool> {
        const std::lock_guard turn(*turns);
        return reader->readLedger(holder, sheet);
    };
}

HolderSummary summarise(const QString& holder, const LedgerSheet& sheet) {
    HolderSummary summary;
    summary.holder = holder;
    summary.hasLedger = true;
    for (int row = 1; row < sheet.rowCount(); ++row) {
        if (!isReportedRow(sheet, row))
            continue;
        ++summary.records;
        summary.total =
            summary.total.plus(DecimalNumber::fromText(sheet.cellView(row, LedgerSheet::Total)));
        const std::optional<QDateTime> date =
            readRecordDate(sheet.cellView(row, LedgerSheet::Date));
        if (!date) {
            ++summary.undated;
            continue;
        }
        if (!summary.first.isValid() || *date < summary.first)
            summary.first = *date;
        if (!summary.last.isValid() || *date > summary.last)
            summary.last = *date;
    }
    return summary;
}

namespace {

HolderSummary readOne(const QString& holder, const LedgerReader& reader) {
    LedgerSheet sheet(0);
    const Result<bool> read = reader(holder, sheet);
    if (!read) {
        HolderSummary failed;
        failed.holder = holder;
        failed.status = read.status();
        return failed;
    }
    if (!*read) {
        HolderSummary empty;
        empty.holder = holder;
        return empty;
    }
    return summarise(holder, sheet);
}

} // namespace

std::optional<ReceivablesOverview> computeOverview(const QStringList& holders,
                                                   const LedgerReader& reader,
                                                   const OverviewProgress& progress, int threads) {
    const int count = int(holders.size());
    std::vector<HolderSummary> summaries(size_t(std::max(count, 0)));
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable finished;

    const auto work = [&] {
        for (int index; !stop && (index = next++) < count;) {
            summaries[size_t(index)] = readOne(holders[index], reader);
            if (++done == count) {
                const std::lock_guard lock(mutex);
                finished.notify_all();
            }
        }
    };
    if (threads <= 0)
        threads = std::max(1, QThread::idealThreadCount());
    threads = std::min(threads, std::max(count, 1));
    std::vector<std::thread> workers;
    for (int n = 0; threads > 1 && n < threads; ++n)
        workers.emplace_back(work);

    // Alone, this thread reads the ledgers itself; otherwise it waits and reports progress.
    if (workers.empty()) {
        for (int index = 0; index < count; ++index) {
            if (progress && !progress(index, count))
                return std::nullopt;
            summaries[size_t(index)] = readOne(holders[index], reader);
        }
    } else {
        std::unique_lock lock(mutex);
        while (done < count && !stop) {
            finished.wait_for(lock, std::chrono::milliseconds(40));
            if (progress && done < count) {
                lock.unlock();
                stop = !progress(done, count);
                lock.lock();
            }
        }
    }
    for (std::thread& worker : workers)
        worker.join();
    if (stop)
        return std::nullopt;
    if (progress)
        progress(count, count);

    ReceivablesOverview overview;
    for (const HolderSummary& summary : summaries) {
        if (!summary.readable()) {
            ++overview.unreadable;
            continue;
        }
        overview.records += summary.records;
        overview.grandTotal = overview.grandTotal.plus(summary.total);
    }
    overview.holders = std::move(summaries);
    return overview;
}

} // namespace vellumar
