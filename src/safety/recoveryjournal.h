#pragma once

#include "ledger/ledgeredits.h"
#include "safety/fileidentity.h"
#include "safety/journalfile.h"
#include "storage/filesystem.h"
#include "storage/status.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace vellumar {

// The journal of the changes made to one holder's open ledger since it was loaded or saved,
// so that a power cut or a crash costs nothing that was typed. It lives in a folder of its
// own (the changes, and a copy of every file "打开" showed), made at the first change: a
// ledger that is only looked at leaves nothing behind.
//
// Every change appends one entry and is flushed to the disk (fdatasync) before the program
// goes on; nothing already written is ever written again. The journal names the ledger file
// its changes apply to, so it is never replayed onto another one.
class RecoveryJournal final : public ChangeRecorder {
public:
    static constexpr QStringView FileName = u"修改记录";

    // base: the holder's ledger file as the grid was filled from it (or its absence).
    RecoveryJournal(FileSystem& files, QString folder, FileIdentity base);
    ~RecoveryJournal() override;
    RecoveryJournal(const RecoveryJournal&) = delete;
    RecoveryJournal& operator=(const RecoveryJournal&) = delete;

    Result<QString> keepOpened(const LedgerSheet& opened) override;
    Status record(const LedgerChange& change) override;

    // Takes over the journal a run before this one left, whose changes are in the grid now:
    // it is written anew with those changes, and later ones follow them.
    Status resume(const QList<LedgerChange>& changes);
    // The ledger has been saved and is now this file: the journal goes, and the next change
    // starts a new one.
    Status restart(const FileIdentity& base);
    // The window closed without saving: the journal goes.
    Status discard();

private:
    Status open();
    Status append(const QByteArray& bytes);
    void close();

    FileSystem& m_files;
    QString m_folder;
    FileIdentity m_base;
    int m_fd = -1;
    int m_snapshots = 0;
};

// A journal found when a ledger is opened: it was left by a run that ended without saving.
struct LeftJournal {
    QString folder;
    JournalFile::Contents contents;
    // Whether it was written on the very ledger file there is now; only then can it be replayed.
    bool fitsLedger = false;
};

namespace Recovery {

// The journal in the folder, when there is one. A folder whose journal cannot be read at all
// is answered as a failure (it is never taken for no journal).
Result<std::optional<LeftJournal>> find(FileSystem& files, const QString& folder,
                                        const FileIdentity& ledger);

// Moves a journal out of the way under a name with the moment, beside where it was; answers
// where it went. Nothing is deleted.
Result<QString> setAside(FileSystem& files, const QString& folder, const QDateTime& now);

// Copies the journal's changes as they are beside its folder, before a journal whose end is
// damaged is taken over (and written anew without that end); answers where the copy went.
Result<QString> keepCopy(FileSystem& files, const QString& folder, const QDateTime& now);

} // namespace Recovery

} // namespace vellumar
