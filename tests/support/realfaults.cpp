#include "realfaults.h"

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace realfaults {

namespace {

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

} // namespace

bool available(QString* why) {
    if (::geteuid() != 0) {
        *why = QStringLiteral("needs root to mount a tmpfs and set file attributes");
        return false;
    }
    SmallDisk probe(64 * 1024);
    if (!probe.mounted()) {
        *why = QStringLiteral("cannot mount a tmpfs here");
        return false;
    }
    return true;
}

SmallDisk::SmallDisk(qint64 bytes) {
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0777";
    m_mounted = ::mount("tmpfs", encoded(m_folder.path()).constData(), "tmpfs", 0,
                        options.constData()) == 0;
}

SmallDisk::~SmallDisk() {
    if (m_mounted)
        ::umount2(encoded(m_folder.path()).constData(), MNT_DETACH);
}

bool SmallDisk::fill() {
    QFile filler(path() + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size()) {
    }
    // Single bytes too, so not even a small file fits afterwards.
    while (filler.write("x", 1) == 1) {
    }
    return true;
}

ReadOnlyView::ReadOnlyView(const QString& folder) {
    const QByteArray target = encoded(m_view.path());
    if (::mount(encoded(folder).constData(), target.constData(), nullptr, MS_BIND, nullptr) != 0)
        return;
    if (::mount(nullptr, target.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) !=
        0) {
        ::umount2(target.constData(), MNT_DETACH);
        return;
    }
    m_mounted = true;
}

ReadOnlyView::~ReadOnlyView() {
    if (m_mounted)
        ::umount2(encoded(m_view.path()).constData(), MNT_DETACH);
}

bool setImmutable(const QString& path, bool immutable) {
    const int fd = ::open(encoded(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

} // namespace realfaults
