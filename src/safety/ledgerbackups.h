#pragma once

#include "storage/filesystem.h"
#include "storage/status.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace vellumar {

class LedgerSheet;

// One earlier version of a holder's ledger, kept when a save replaced it.
struct BackupVersion {
    QString path;
    QDateTime savedAt; // when this version was saved, as its name says
    qint64 size = 0;
};

// What a version holds, as the ledger window would show it.
struct LedgerSummary {
    int records = 0;  // rows below the titles with a serial number
    double total = 0; // the sum of the total column, as "计算" works it
};

// The history of one holder's ledger: a folder of versions named by the moment each was saved
// ("20261209-093015.z", "-2" after the time when two share a second). Only files named so are
// ever touched; anything else in the folder (the journal of unsaved changes) is left alone.
//
// The history is bounded: the newest 30 versions stay, and the newest version of each of the
// last 90 days; and all of them together take at most ten times the ledger's size and 16 MiB
// more (the oldest go first, the newest three always stay). So a ledger saved many times a day
// keeps a month of its days without the folder growing without end.
class LedgerBackups {
public:
    static constexpr int RecentVersions = 30;
    static constexpr int DailyDays = 90;
    static constexpr qint64 SizeFactor = 10;
    static constexpr qint64 SizeAllowance = qint64(16) << 20;
    static constexpr int AlwaysKept = 3;

    LedgerBackups(FileSystem& files, QString folder);

    // The versions, newest first; none when there is no folder yet.
    Result<QList<BackupVersion>> versions() const;

    // Keeps a ledger file as the version saved at that moment: a second name for the same file
    // (which the next save does not touch, since a save writes a new file), or a copy where the
    // disk cannot give one.
    Result<BackupVersion> keep(const QString& ledgerFile, const QDateTime& savedAt);

    // Deletes the versions beyond the bounds, at the moment now, for a ledger of that size.
    Status prune(const QDateTime& now, qint64 ledgerSize);

    // Which versions (newest first) the bounds leave out: their indexes, oldest last.
    static QList<int> beyondBounds(const QList<BackupVersion>& newestFirst, const QDateTime& now,
                                   qint64 ledgerSize);

    // Reads a version (or any ledger file) for its record count and total.
    static Result<LedgerSummary> summarize(const QString& file);
    // The same of a sheet already loaded, its titles in place.
    static LedgerSummary summarize(const LedgerSheet& sheet);

private:
    FileSystem& m_files;
    QString m_folder;
};

} // namespace vellumar
