#include "ledger/holderledger.h"

#include "ledger/ledgerfile.h"
#include "ledger/ledgerrecords.h"
#include "storage/fileerror.h"
#include "storage/usernames.h"

#include <cerrno>

namespace vellumar {

QList<FileFilter> ledgerFileFilters() {
    return {FileFilter{QStringLiteral("数据库文件（*.z）"), QStringLiteral("*.z")},
            FileFilter{QStringLiteral("全部文件（*.*）"), QStringLiteral("*.*")}};
}

HolderLedger::HolderLedger(const DataPaths& paths, FileSystem& files, QString userName)
    : m_files(files), m_userName(std::move(userName)),
      m_path(paths.ledgerFile(DataPaths::LedgerDirSlash, m_userName)) {}

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
    if (Status named = checkName(); !named)
        return named;
    const Result<FileSystem::Kind> kind = m_files.kind(m_path);
    if (!kind) {
        // Whatever is there stays untouched until a save can tell what it is.
        m_keepAside = true;
        return kind.status();
    }
    switch (*kind) {
    case FileSystem::Kind::Missing:
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
    return Opened::Loaded;
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
    const QString stamp = now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString copy = m_path + QStringLiteral(".无法读取-") + stamp;
    for (int n = 2;; ++n) {
        const Result<FileSystem::Kind> taken = m_files.kind(copy);
        if (!taken)
            return taken.status().prefixed(lead);
        if (*taken == FileSystem::Kind::Missing)
            break;
        copy = m_path + QStringLiteral(".无法读取-%1-%2").arg(stamp).arg(n);
    }
    if (Status copied = m_files.copy(m_path, copy); !copied)
        return copied.prefixed(lead);
    m_keptCopy = copy;
    m_keepAside = false;
    return Status();
}

Status HolderLedger::save(const LedgerSheet& sheet, const QDateTime& now) {
    if (Status named = checkName(); !named)
        return named;
    if (m_keepAside)
        if (Status kept = keepAside(now); !kept)
            return kept;
    return LedgerFile::save(m_path, sheet);
}

} // namespace vellumar
