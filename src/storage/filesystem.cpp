#include "storage/filesystem.h"

#include "storage/fileerror.h"
#include "storage/posixfile.h"
#include "storage/safefile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
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
    return copyFile(from, to, SafeFileWriter::Mode::CreateNew);
}

Status LocalFileSystem::link(const QString& from, const QString& to) {
    // linkat without AT_SYMLINK_FOLLOW names the link itself, never what it points to; a link
    // is no regular file, so it is refused first.
    struct stat info {};
    if (::lstat(encoded(from).constData(), &info) != 0)
        return fileFailure(FileAction::Read, from, errno);
    if (!S_ISREG(info.st_mode))
        return notARegularFile(FileAction::Read, from, S_ISLNK(info.st_mode));
    if (::linkat(AT_FDCWD, encoded(from).constData(), AT_FDCWD, encoded(to).constData(), 0) != 0)
        return fileFailure(FileAction::Write, to, errno);
    PosixFile::syncFolderOf(to);
    return Status();
}

Status LocalFileSystem::makeFolder(const QString& path) {
    if (::mkdir(encoded(path).constData(), 0777) != 0)
        return fileFailure(FileAction::CreateFolder, path, errno);
    PosixFile::syncFolderOf(path);
    return Status();
}

Status LocalFileSystem::removeFolder(const QString& path) {
    if (::rmdir(encoded(path).constData()) != 0)
        return fileFailure(FileAction::Remove, path, errno);
    PosixFile::syncFolderOf(path);
    return Status();
}

Result<QStringList> LocalFileSystem::list(const QString& folder) const {
    DIR* directory = ::opendir(encoded(folder).constData());
    if (!directory)
        return fileFailure(FileAction::Read, folder, errno);
    QStringList names;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(directory);
        if (!entry)
            break;
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(QFile::decodeName(name));
    }
    const int error = errno;
    ::closedir(directory);
    if (error != 0)
        return fileFailure(FileAction::Read, folder, error);
    return names;
}

Status removeTree(FileSystem& files, const QString& folder) {
    const Result<QStringList> names = files.list(folder);
    if (!names)
        return names.status();
    for (const QString& name : *names) {
        const QString path = folder + u'/' + name;
        const Result<FileSystem::Kind> kind = files.kind(path);
        if (!kind)
            return kind.status();
        const Status removed =
            *kind == FileSystem::Kind::Directory ? removeTree(files, path) : files.remove(path);
        if (!removed)
            return removed;
    }
    return files.removeFolder(folder);
}

} // namespace vellumar
