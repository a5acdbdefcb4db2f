#include "storage/filesystem.h"

#include "storage/fileerror.h"
#include "storage/safefile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellumar {

namespace {

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

void syncFolderOf(const QString& path) {
    const int fd = ::open(encoded(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

FileSystem::~FileSystem() = default;

Result<FileSystem::Kind> LocalFileSystem::kind(const QString& path) const {
    struct stat info {};
    if (::lstat(encoded(path).constData(), &info) != 0) {
        if (errno == ENOENT)
            return Kind::Missing;
        return fileFailure(FileAction::Read, path, errno);
    }
    if (S_ISREG(info.st_mode))
        return Kind::Regular;
    if (S_ISDIR(info.st_mode))
        return Kind::Directory;
    if (S_ISLNK(info.st_mode))
        return Kind::SymbolicLink;
    return Kind::Other;
}

Status LocalFileSystem::rename(const QString& from, const QString& to) {
    const QByteArray source = encoded(from);
    const QByteArray target = encoded(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) !=
        0) {
        if (errno != EINVAL && errno != ENOSYS)
            return fileFailure(FileAction::Rename, from, errno);
        // Without RENAME_NOREPLACE a hard link claims the new name only where nothing is.
        if (::link(source.constData(), target.constData()) != 0)
            return fileFailure(FileAction::Rename, from, errno);
        if (::unlink(source.constData()) != 0) {
            const int error = errno;
            ::unlink(target.constData());
            return fileFailure(FileAction::Rename, from, error);
        }
    }
    syncFolderOf(to);
    return Status();
}

Status LocalFileSystem::remove(const QString& path) {
    if (::unlink(encoded(path).constData()) != 0)
        return fileFailure(FileAction::Remove, path, errno);
    syncFolderOf(path);
    return Status();
}

Status LocalFileSystem::copy(const QString& from, const QString& to) {
    QFile source;
    if (Status opened = openForReading(source, from, false); !opened)
        return opened;
    SafeFileWriter copy(to, SafeFileWriter::Mode::CreateNew);
    if (Status opened = copy.open(); !opened)
        return opened;
    QByteArray chunk;
    for (;;) {
        chunk = source.read(qint64(1) << 20);
        if (chunk.isEmpty())
            break;
        if (copy.device().write(chunk) != chunk.size()) {
            const Status failed = copy.writeFailure();
            return failed.ok() ? fileFailure(FileAction::Write, to, EIO) : failed;
        }
    }
    if (source.error() != QFileDevice::NoError)
        return Status::failure(QStringLiteral("读取文件“%1”时出错。").arg(from),
                               source.errorString());
    return copy.commit();
}

} // namespace vellumar
