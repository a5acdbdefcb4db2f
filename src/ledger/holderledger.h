#pragma once

#include "host/host.h"
#include "ledger/ledgersheet.h"
#include "storage/datapaths.h"
#include "storage/filesystem.h"
#include "storage/status.h"

#include <QDateTime>
#include <QString>

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
    // unreadable file kept aside.
    Status save(const LedgerSheet& sheet, const QDateTime& now);
    // The copy kept aside by the last save, or empty.
    const QString& keptCopy() const { return m_keptCopy; }

private:
    Status checkName() const;
    Status keepAside(const QDateTime& now);

    FileSystem& m_files;
    QString m_userName;
    QString m_path;
    bool m_keepAside = false;
    bool m_foundUnreadable = false;
    QString m_keptCopy;
};

} // namespace vellumar
