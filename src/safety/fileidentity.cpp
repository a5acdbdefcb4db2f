#include "safety/fileidentity.h"

#include "storage/fileerror.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>

namespace vellumar {

Result<FileIdentity> FileIdentity::of(const QString& path) {
    struct stat info {};
    FileIdentity identity;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        if (errno == ENOENT)
            return identity;
        return fileFailure(FileAction::Read, path, errno);
    }
    identity.exists = true;
    identity.device = static_cast<qint64>(info.st_dev);
    identity.inode = static_cast<qint64>(info.st_ino);
    identity.size = static_cast<qint64>(info.st_size);
    identity.modifiedNs = qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    return identity;
}

} // namespace vellumar
