#pragma once

#include "storage/datapaths.h"
#include "storage/filesystem.h"
#include "storage/status.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace vellumar {

// A deleted account holder, as the recycle bin keeps them.
struct RecycledHolder {
    QString id; // the name of the holder's folder in the bin
    QString name;
    QDateTime deletedAt;
    int position = -1; // where the holder stood in the list, from 0
    int records = 0;   // in the ledger when it was deleted; -1 when it could not be read
    bool hasLedger = false;
    bool hasBackups = false;
};

// The holders deleted from the user list (source/回收站/), one folder each: the holder's
// ledger file byte for byte ("账本.z"), their folder of backups ("备份"), and a small record
// of who they were ("条目.json": name, deletion time, position, records), written last and
// crash-safely. A folder without that record is not (yet, or no longer) an entry: the user
// directory moves holders in and out under notes of its own, so a crash never leaves a
// holder both in the list and in the bin, or in neither.
class RecycleBin {
public:
    static constexpr QStringView LedgerName = u"账本.z";
    static constexpr QStringView BackupsName = u"备份";
    static constexpr QStringView RecordName = u"条目.json";

    RecycleBin(const DataPaths& paths, FileSystem& files);

    QString folderOf(const QString& id) const { return m_root + u'/' + id; }
    QString ledgerOf(const QString& id) const { return folderOf(id) + u'/' + LedgerName; }
    QString backupsOf(const QString& id) const { return folderOf(id) + u'/' + BackupsName; }
    QString recordOf(const QString& id) const { return folderOf(id) + u'/' + RecordName; }

    // The holders in the bin, the latest deleted first, and what could not be read of entries
    // whose record is damaged (those stay where they are). Whatever a deletion for good left
    // half done is finished first.
    struct Listing {
        QList<RecycledHolder> holders;
        QList<Status> unreadable;
    };
    Result<Listing> holders();
    Result<RecycledHolder> holder(const QString& id) const;

    // A name for a new entry: the moment and a random part, so names sort by time.
    static QString newId(const QDateTime& now);
    // Makes the bin and the entry's folder.
    Status makeEntry(const QString& id);
    // Writes the entry's record, which makes the folder an entry.
    Status writeRecord(const RecycledHolder& holder);

    // Deletes an entry for good: it leaves the bin in one step (a rename), then its files go.
    Status purge(const QString& id);

    // Whether an id is one of the bin's own names, so a damaged note can aim at nothing else.
    static bool isEntryId(const QString& id);

private:
    Status finishPurges();

    FileSystem& m_files;
    QString m_root;
};

} // namespace vellumar
