#pragma once

#include "host/host.h"
#include "ledger/ledgersheet.h"
#include "safety/fileidentity.h"
#include "safety/ledgerbackups.h"
#include "safety/recoveryjournal.h"
#include "storage/datapaths.h"
#include "storage/filesystem.h"
#include "storage/status.h"

#include <QDateTime>
#include <QString>

#include <memory>

namespace vellumar {

// What the file dialogs for ledger files offer: ledger files first, then every file.
QList<FileFilter> ledgerFileFilters();

// One account holder's own ledger file in the ledger folder: where it is, reading it at
// opening and writing it at every save.
//
// Nothing of the file is lost because the program could not read it: the first save after
// such an opening first copies the file aside under a time-stamped name. A symbolic link, a
// folder or anything else that is not a regular file is never read or written through; the
// save refuses it, so the operator can save a copy elsewhere instead.
//
// Nothing of the holder's books is lost to a save either: before a save replaces the file, the
// version it replaces is kept among the holder's backups, if it is known to load (it was read
// at opening or written by this program, and is unchanged since; otherwise it is read first).
// A version that does not load is copied aside like an unreadable file instead. Between
// saves, the changes made in the window go to the holder's recovery journal.
class HolderLedger {
public:
    enum class Opened {
        New,    // there is no file yet; the first save makes it
        Loaded, // the file is in the sheet
    };

    HolderLedger(const DataPaths& paths, FileSystem& files, QString userName);

    const QString& userName() const { return m_userName; }
    const QString& path() const { return m_path; }

    // Reads the holder's file into the sheet and puts the titles in (LedgerRecords::placeTitles).
    // On failure the sheet holds empty rows only.
    Result<Opened> load(LedgerSheet& sheet);
    // Whether a regular file was found at opening that could not be read; the next save keeps
    // it aside first.
    bool foundUnreadableFile() const { return m_foundUnreadable; }
    // Whether the next save first looks again at what is there and keeps a file aside.
    bool keepsAsideBeforeSaving() const { return m_keepAside; }

    // Writes the whole sheet to the holder's file, crash-safe; the moment names the copy of an
    // unreadable file kept aside, and the history is pruned as of then.
    Status save(const LedgerSheet& sheet, const QDateTime& now);
    // The copy kept aside by the last save, or empty.
    const QString& keptCopy() const { return m_keptCopy; }
    // What the last save could not tidy up after itself (pruning old versions, deleting the
    // journal); ok as a rule. The save itself succeeded; the next one tries again.
    const Status& tidiedUp() const { return m_tidiedUp; }

    // The changes of the window: a save marks them saved, and a save that changes nothing keeps
    // no second copy of the same version.
    void trackEdits(LedgerEdits* edits) { m_edits = edits; }

    // The versions of this holder's ledger that saves have replaced.
    LedgerBackups& backups() { return m_backups; }
    // Puts a kept version back as the holder's ledger, in one crash-safe replace; the ledger it
    // replaces is kept as a version first. Refused when the version does not load.
    Status restore(const QString& versionFile, const QDateTime& now);

    // The journal of the changes since the ledger was loaded or saved; nothing for a holder
    // whose name cannot be a file name, or before load.
    RecoveryJournal* journal() const { return m_journal.get(); }
    // A journal an earlier run left for this ledger, when there is one.
    Result<std::optional<LeftJournal>> leftJournal() const;
    // The window closed without the ledger being saved: its journal goes.
    Status closedWithoutSaving();

private:
    Status checkName() const;
    Status keepAside(const QDateTime& now);
    Status keepPreviousVersion(const QDateTime& now);
    Status copyAside(const QDateTime& now);
    void startJournal();

    FileSystem& m_files;
    QString m_userName;
    QString m_path;
    bool m_keepAside = false;
    bool m_foundUnreadable = false;
    QString m_keptCopy;
    // The holder's file as last read or written here, and whether it loads.
    FileIdentity m_known;
    bool m_knownLoads = false;
    LedgerBackups m_backups;
    QString m_journalFolder;
    std::unique_ptr<RecoveryJournal> m_journal;
    LedgerEdits* m_edits = nullptr;
    Status m_tidiedUp;
};

} // namespace vellumar
