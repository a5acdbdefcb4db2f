#include "storage/posixfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellumar::PosixFile {

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

int renameWithoutReplacing(const QString& from, const QString& to) {
    const QByteArray source = encoded(from);
    const QByteArray target = encoded(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (::link(source.constData(), target.constData()) != 0)
        return errno;
    if (::unlink(source.constData()) != 0) {
        const int error = errno;
        ::unlink(target.constData());
        return error;
    }
    return 0;
}

int makeFolder(const QString& path, unsigned mode) {
    if (QFileInfo(path).isDir())
        return 0;
    if (::mkdir(encoded(path).constData(), mode_t(mode)) == 0)
        return 0;
    const int error = errno;
    return error == EEXIST && QFileInfo(path).isDir() ? 0 : error;
}

int syncFolderOf(const QString& path) {
    const int fd = ::open(encoded(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error == EINVAL ? 0 : error;
}

} // namespace vellumar::PosixFile
