#include "storage/safefile.h"

#include "storage/fileerror.h"
#include "storage/posixfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellumar {

using PosixFile::encoded;

namespace {

// The permissions a new file gets from this process: rw for all, less the umask.
mode_t newFileMode() {
    static const mode_t mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

} // namespace

// The temporary file as a device: every write goes straight to the file descriptor, and the
// first refusal is remembered with its errno.
class SafeFileWriter::Device final : public QIODevice {
public:
    explicit Device(int fd) : m_fd(fd) {
        QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    ~Device() override { closeDescriptor(); }

    int fd() const { return m_fd; }
    int error() const { return m_error; }
    void setError(int error) {
        if (m_error == 0)
            m_error = error;
    }
    int closeDescriptor() {
        if (m_fd < 0)
            return 0;
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc == 0 ? 0 : errno;
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (m_error != 0 || m_fd < 0)
            return -1;
        qint64 done = 0;
        while (done < size) {
            const ssize_t written = ::write(m_fd, data + done, static_cast<size_t>(size - done));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                setError(errno);
                return -1;
            }
            done += written;
        }
        return done;
    }

private:
    int m_fd;
    int m_error = 0;
};

SafeFileWriter::SafeFileWriter(QString target, Mode mode)
    : m_target(std::move(target)), m_mode(mode) {}

SafeFileWriter::~SafeFileWriter() {
    discard();
}

Status SafeFileWriter::open() {
    discard();
    const QByteArray target = encoded(m_target);
    struct stat info {};
    mode_t mode = newFileMode();
    if (::lstat(target.constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return fileFailure(FileAction::Write, m_target, EISDIR);
        if (!S_ISREG(info.st_mode))
            return notARegularFile(FileAction::Write, m_target, S_ISLNK(info.st_mode));
        if (m_mode == Mode::CreateNew)
            return fileFailure(FileAction::Write, m_target, EEXIST);
        mode = info.st_mode & 07777;
    } else if (errno != ENOENT) {
        return fileFailure(FileAction::Write, m_target, errno);
    }

    // A short name of its own, so a target name near the length limit still gets one.
    QByteArray name = encoded(QFileInfo(m_target).absolutePath() + u'/' + TemporaryPrefix +
                              QStringLiteral("XXXXXX"));
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return fileFailure(FileAction::Write, m_target, errno);
    m_temporary = QFile::decodeName(name);
    m_device = std::make_unique<Device>(fd);
    if (::fchmod(fd, mode) != 0) {
        const int error = errno;
        discard();
        return fileFailure(FileAction::Write, m_target, error);
    }
    return Status();
}

QIODevice& SafeFileWriter::device() {
    Q_ASSERT(m_device);
    return *m_device;
}

Status SafeFileWriter::writeFailure() const {
    if (m_device && m_device->error() != 0)
        return fileFailure(FileAction::Write, m_target, m_device->error());
    return Status();
}

Status SafeFileWriter::commit() {
    if (!m_device)
        return fileFailure(FileAction::Write, m_target, EBADF);
    if (Status failed = writeFailure(); !failed) {
        discard();
        return failed;
    }
    int error = ::fsync(m_device->fd()) == 0 ? 0 : errno;
    if (const int closed = m_device->closeDescriptor(); error == 0)
        error = closed;
    if (error != 0) {
        discard();
        return fileFailure(FileAction::Write, m_target, error);
    }

    if (m_mode == Mode::CreateNew) {
        error = PosixFile::renameWithoutReplacing(m_temporary, m_target);
    } else {
        // The target is checked again at the last moment: rename replaces a link that appeared
        // meanwhile rather than writing through it, but it must not replace a folder's entry
        // or anything else the operator put there.
        const QByteArray to = encoded(m_target);
        struct stat info {};
        if (::lstat(to.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
            discard();
            return S_ISDIR(info.st_mode)
                       ? fileFailure(FileAction::Replace, m_target, EISDIR)
                       : notARegularFile(FileAction::Replace, m_target, S_ISLNK(info.st_mode));
        }
        error = ::rename(encoded(m_temporary).constData(), to.constData()) == 0 ? 0 : errno;
    }
    if (error != 0) {
        discard();
        return fileFailure(FileAction::Replace, m_target, error);
    }
    m_temporary.clear();
    m_device.reset();
    if (const int synced = PosixFile::syncFolderOf(m_target); synced != 0)
        return fileFailure(FileAction::Replace, m_target, synced);
    return Status();
}

void SafeFileWriter::discard() {
    m_device.reset();
    if (!m_temporary.isEmpty()) {
        ::unlink(encoded(m_temporary).constData());
        m_temporary.clear();
    }
}

Status openForReading(QFile& file, const QString& path, bool followLinks) {
    const int flags = O_RDONLY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW);
    const int fd = ::open(encoded(path).constData(), flags);
    if (fd < 0)
        return errno == ELOOP ? notARegularFile(FileAction::Read, path, true)
                              : fileFailure(FileAction::Read, path, errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const bool folder = S_ISDIR(info.st_mode);
        ::close(fd);
        return folder ? fileFailure(FileAction::Read, path, EISDIR)
                      : notARegularFile(FileAction::Read, path, false);
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Status::failure(QStringLiteral("无法读取文件“%1”。").arg(path), file.errorString());
    }
    return Status();
}

Status copyFile(const QString& from, const QString& to, SafeFileWriter::Mode mode) {
    QFile source;
    if (Status opened = openForReading(source, from, false); !opened)
        return opened;
    SafeFileWriter copy(to, mode);
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

Status writeWholeFile(const QString& path, const QByteArray& bytes, SafeFileWriter::Mode mode) {
    SafeFileWriter file(path, mode);
    if (Status opened = file.open(); !opened)
        return opened;
    if (file.device().write(bytes) != bytes.size()) {
        const Status failed = file.writeFailure();
        return failed.ok() ? fileFailure(FileAction::Write, path, EIO) : failed;
    }
    return file.commit();
}

} // namespace vellumar
