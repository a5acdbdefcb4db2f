#include "storage/filesystem.h"

#include "storage/fileerror.h"
#include "storage/posixfile.h"
#include "storage/safefile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace vellumar {

using PosixFile::encoded;

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
    if (const int error = PosixFile::renameWithoutReplacing(from, to); error != 0)
        return fileFailure(FileAction::Rename, from, error);
    PosixFile::syncFolderOf(to);
    return Status();
}

Status LocalFileSystem::remove(const QString& path) {
    if (::unlink(encoded(path).constData()) != 0)
        return fileFailure(FileAction::Remove, path, errno);
    PosixFile::syncFolderOf(path);
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
