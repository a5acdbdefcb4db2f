#include "ledger/holderledger.h"

#include "ledger/ledgeredits.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgerrecords.h"
#include "safety/safefolders.h"
#include "safety/safetypaths.h"
#include "storage/fileerror.h"
#include "storage/safefile.h"
#include "storage/usernames.h"

#include <QFileInfo>

#include <cerrno>

namespace vellumar {

QList<FileFilter> ledgerFileFilters() {
    return {FileFilter{QStringLiteral("数据库文件（*.z）"), QStringLiteral("*.z")},
            FileFilter{QStringLiteral("全部文件（*.*）"), QStringLiteral("*.*")}};
}

HolderLedger::HolderLedger(const DataPaths& paths, FileSystem& files, QString userName)
    : m_files(files), m_userName(std::move(userName)),
      m_path(paths.ledgerFile(DataPaths::LedgerDirSlash, m_userName)),
      m_backups(files, SafetyPaths::holderFolder(paths, m_userName)),
      m_journalFolder(SafetyPaths::journalFolder(paths, m_userName)) {}

Status HolderLedger::checkName() const {
    // A name from an old user table could point outside the ledger folder; such a ledger is
    // never read or written. (The empty name is a user of its own, with the file ".z".)
    if (!isSafeUserName(m_userName))
        return Status::failure(
            QStringLiteral("用户名“%1”不能用作文件名，请先在用户列表中修改该用户名。")
                .arg(m_userName));
    return Status();
}

Result<HolderLedger::Opened> HolderLedger::load(LedgerSheet& sheet) {
    m_keepAside = false;
    m_foundUnreadable = false;
    m_knownLoads = false;
    m_journal.reset();
    if (Status named = checkName(); !named)
        return named;
    const Result<FileSystem::Kind> kind = m_files.kind(m_path);
    if (!kind) {
        // Whatever is there stays untouched until a save can tell what it is.
        m_keepAside = true;
        return kind.status();
    }
    // Which file the grid is filled from, taken before it is read: a file replaced meanwhile
    // then never passes for the one that was read.
    const Result<FileIdentity> identity = FileIdentity::of(m_path);
    if (!identity) {
        m_keepAside = true;
        return identity.status();
    }
    m_known = *identity;
    startJournal();
    switch (*kind) {
    case FileSystem::Kind::Missing:
        m_knownLoads = true;
        return Opened::New;
    case FileSystem::Kind::Directory:
        return fileFailure(FileAction::Read, m_path, EISDIR);
    case FileSystem::Kind::SymbolicLink:
    case FileSystem::Kind::Other:
        return notARegularFile(FileAction::Read, m_path, *kind == FileSystem::Kind::SymbolicLink);
    case FileSystem::Kind::Regular:
        break;
    }
    // Not through a link even if one took the file's place since the look above.
    if (Status loaded = LedgerFile::load(m_path, sheet, /*followLinks=*/false); !loaded) {
        m_keepAside = true;
        m_foundUnreadable = true;
        return loaded;
    }
    // The titles go in now, while a ledger that has no room for them can still be refused
    // like any file that cannot be read: the grid starts empty and the file is kept aside.
    if (const Result<bool> titled = LedgerRecords::placeTitles(sheet); !titled) {
        sheet.replaceRows(std::vector<LedgerSheet::Row>(LedgerSheet::InitialRowCount));
        m_keepAside = true;
        m_foundUnreadable = true;
        return titled.status();
    }
    m_knownLoads = true;
    return Opened::Loaded;
}

void HolderLedger::startJournal() {
    m_journal = std::make_unique<RecoveryJournal>(m_files, m_journalFolder, m_known);
}

Result<std::optional<LeftJournal>> HolderLedger::leftJournal() const {
    if (!m_journal)
        return std::optional<LeftJournal>();
    return Recovery::find(m_files, m_journalFolder, m_known);
}

Status HolderLedger::closedWithoutSaving() {
    return m_journal ? m_journal->discard() : Status();
}

Status HolderLedger::keepAside(const QDateTime& now) {
    const QString lead = QStringLiteral("打开窗口时无法读取的原账目文件没能另存一份副本，"
                                        "为了不覆盖它，这次没有保存。");
    // When the system cannot even tell what is there, that is the whole story.
    const Result<FileSystem::Kind> kind = m_files.kind(m_path);
    if (!kind)
        return kind.status();
    if (*kind != FileSystem::Kind::Regular) {
        // Nothing left to keep, or nothing a save would write over (it refuses).
        m_keepAside = *kind != FileSystem::Kind::Missing;
        return Status();
    }
    const Result<QString> copy = freeNameBeside(m_files, m_path + QStringLiteral(".无法读取"), now);
    if (!copy)
        return copy.status().prefixed(lead);
    if (Status copied = m_files.copy(m_path, *copy); !copied)
        return copied.prefixed(lead);
    m_keptCopy = *copy;
    m_keepAside = false;
    return Status();
}

// A file that is not the one read at opening (or written here since) is kept by what it is:
// a version when it loads, a copy aside when it does not.
Status HolderLedger::keepPreviousVersion(const QDateTime& now) {
    const Result<FileIdentity> there = FileIdentity::of(m_path);
    if (!there)
        return there.status();
    if (!there->exists)
        return Status();
    const bool known = *there == m_known;
    // The unreadable file found at opening has been kept aside already.
    if (known && !m_knownLoads)
        return Status();
    // Saving again what is there already adds no version.
    if (known && m_edits && !m_edits->hasUnsavedChanges())
        return Status();
    const Result<FileSystem::Kind> kind = m_files.kind(m_path);
    if (!kind)
        return kind.status();
    if (*kind != FileSystem::Kind::Regular)
        return Status(); // the save refuses it and says why
    if (!known) {
        LedgerSheet check(0);
        if (!LedgerFile::load(m_path, check, /*followLinks=*/false))
            return copyAside(now);
    }
    const QDateTime savedAt = QDateTime::fromMSecsSinceEpoch(there->modifiedNs / 1'000'000);
    const Result<BackupVersion> kept = m_backups.keep(m_path, savedAt);
    return kept.status().prefixed(
        QStringLiteral("账目的上一个版本没能备份，为了不丢失它，这次没有保存。"));
}

Status HolderLedger::copyAside(const QDateTime& now) {
    m_keepAside = true;
    return keepAside(now);
}

Status HolderLedger::save(const LedgerSheet& sheet, const QDateTime& now) {
    m_tidiedUp = Status();
    if (Status named = checkName(); !named)
        return named;
    if (m_keepAside)
        if (Status kept = keepAside(now); !kept)
            return kept;
    if (Status kept = keepPreviousVersion(now); !kept)
        return kept;
    if (Status saved = LedgerFile::save(m_path, sheet); !saved)
        return saved;
    // What is there now is what the grid shows.
    if (const Result<FileIdentity> written = FileIdentity::of(m_path); written) {
        m_known = *written;
        m_knownLoads = true;
    } else {
        m_knownLoads = false;
    }
    if (m_edits)
        m_edits->markSaved();
    m_tidiedUp = m_backups.prune(now, m_known.size);
    if (m_journal)
        if (Status restarted = m_journal->restart(m_known); !restarted && m_tidiedUp.ok())
            m_tidiedUp = restarted;
    return Status();
}

Status HolderLedger::restore(const QString& versionFile, const QDateTime& now) {
    if (Status named = checkName(); !named)
        return named;
    {
        // Read only to be sure it loads; gone before the ledger there now is read in turn.
        LedgerSheet check(0);
        if (Status loads = LedgerFile::load(versionFile, check, /*followLinks=*/false); !loads)
            return loads.prefixed(QStringLiteral("这个版本无法读取，没有恢复。"));
    }
    // The ledger there now is read like any file found (it may never have been opened here).
    m_known = FileIdentity();
    m_knownLoads = false;
    if (Status kept = keepPreviousVersion(now); !kept)
        return kept;
    // One crash-safe replace: the old ledger stays whole until the version is in its place.
    if (Status replaced = copyFile(versionFile, m_path, SafeFileWriter::Mode::Replace); !replaced)
        return replaced;
    m_tidiedUp = m_backups.prune(now, QFileInfo(m_path).size());
    return Status();
}

} // namespace vellumar
