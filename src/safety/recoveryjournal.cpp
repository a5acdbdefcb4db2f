#include "safety/recoveryjournal.h"

#include "ledger/ledgerfile.h"
#include "safety/safefolders.h"
#include "storage/fileerror.h"
#include "storage/posixfile.h"
#include "storage/safefile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vellumar {

namespace {

QString journalPath(const QString& folder) {
    return folder + u'/' + RecoveryJournal::FileName;
}

Status removeIfThere(FileSystem& files, const QString& folder) {
    const Result<FileSystem::Kind> kind = files.kind(folder);
    if (!kind)
        return kind.status();
    if (*kind == FileSystem::Kind::Missing)
        return Status();
    return removeTree(files, folder);
}

} // namespace

RecoveryJournal::RecoveryJournal(FileSystem& files, QString folder, FileIdentity base)
    : m_files(files), m_folder(std::move(folder)), m_base(base) {}

RecoveryJournal::~RecoveryJournal() {
    close();
}

void RecoveryJournal::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

Status RecoveryJournal::open() {
    if (m_fd >= 0)
        return Status();
    if (Status made = ensureFolder(m_files, m_folder); !made)
        return made;
    const QString path = journalPath(m_folder);
    const int fd = ::open(PosixFile::encoded(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0)
        return fileFailure(FileAction::Write, path, errno);
    m_fd = fd;
    if (Status written = append(JournalFile::header(m_base)); !written) {
        close();
        return written;
    }
    PosixFile::syncFolderOf(path);
    return Status();
}

Status RecoveryJournal::append(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written =
            ::write(m_fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return fileFailure(FileAction::Write, journalPath(m_folder), errno);
        }
        done += written;
    }
    // On the disk before the program goes on: a power cut a moment later keeps the change.
    if (::fdatasync(m_fd) != 0)
        return fileFailure(FileAction::Write, journalPath(m_folder), errno);
    return Status();
}

Status RecoveryJournal::record(const LedgerChange& change) {
    if (Status opened = open(); !opened)
        return opened;
    return append(JournalFile::entry(change));
}

Result<QString> RecoveryJournal::keepOpened(const LedgerSheet& opened) {
    if (Status made = open(); !made)
        return made;
    // Numbered on from the copies a journal taken over already holds.
    int chosen = 0;
    const Result<QString> path = firstFreePath(m_files, [&](int number) -> QString {
        chosen = m_snapshots + number;
        return m_folder + QStringLiteral("/打开的文件-%1.z").arg(chosen);
    });
    if (!path)
        return path.status();
    if (Status saved = LedgerFile::save(*path, opened); !saved)
        return saved;
    m_snapshots = chosen;
    return QFileInfo(*path).fileName();
}

Status RecoveryJournal::resume(const QList<LedgerChange>& changes) {
    close();
    // The journal is written anew with the changes that were recovered, so that a damaged
    // end is left out and new changes follow the last good one.
    QByteArray bytes = JournalFile::header(m_base);
    for (const LedgerChange& change : changes)
        bytes += JournalFile::entry(change);
    const QString path = journalPath(m_folder);
    if (Status written = writeWholeFile(path, bytes); !written)
        return written;
    const int fd =
        ::open(PosixFile::encoded(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return fileFailure(FileAction::Write, path, errno);
    m_fd = fd;
    return Status();
}

Status RecoveryJournal::restart(const FileIdentity& base) {
    close();
    m_base = base;
    m_snapshots = 0;
    return removeIfThere(m_files, m_folder);
}

Status RecoveryJournal::discard() {
    close();
    m_snapshots = 0;
    return removeIfThere(m_files, m_folder);
}

namespace Recovery {

Result<std::optional<LeftJournal>> find(FileSystem& files, const QString& folder,
                                        const FileIdentity& ledger) {
    const Result<FileSystem::Kind> kind = files.kind(folder);
    if (!kind)
        return kind.status();
    if (*kind == FileSystem::Kind::Missing)
        return std::optional<LeftJournal>();
    LeftJournal left;
    left.folder = folder;
    if (*kind != FileSystem::Kind::Directory) {
        left.contents.damage = notARegularFile(FileAction::Read, folder, false);
        return std::optional<LeftJournal>(left);
    }
    const Result<QStringList> names = files.list(folder);
    if (!names)
        return names.status();
    // A folder made a moment before a crash, with nothing in it yet, holds nothing to keep.
    if (names->isEmpty()) {
        if (Status removed = files.removeFolder(folder); !removed)
            return removed;
        return std::optional<LeftJournal>();
    }
    QFile file;
    Status readable = openForReading(file, journalPath(folder), false);
    Result<JournalFile::Contents> contents =
        readable ? JournalFile::read(file) : Result<JournalFile::Contents>(readable);
    if (contents) {
        left.contents = std::move(contents).value();
        left.fitsLedger = left.contents.base == ledger;
    } else {
        left.contents.damage = contents.status();
    }
    return std::optional<LeftJournal>(left);
}

Result<QString> setAside(FileSystem& files, const QString& folder, const QDateTime& now) {
    const Result<QString> target = freeNameBeside(files, folder, now);
    if (!target)
        return target;
    if (Status moved = files.rename(folder, *target); !moved)
        return moved;
    return *target;
}

Result<QString> keepCopy(FileSystem& files, const QString& folder, const QDateTime& now) {
    const Result<QString> target = freeNameBeside(files, folder + QStringLiteral("-不完整"), now);
    if (!target)
        return target;
    if (Status copied = files.copy(journalPath(folder), *target); !copied)
        return copied;
    return *target;
}

} // namespace Recovery

} // namespace vellumar
