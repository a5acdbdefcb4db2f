#include "storage/instancelock.h"

#include "storage/fileerror.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>
#include <unistd.h>

namespace vellumar {

InstanceLock::InstanceLock(const QString& path) : m_file(path) {
    // Qt would otherwise count any lock older than 30 seconds as left behind, and only the
    // system's own file lock (which not every network disk keeps) would protect a running
    // program's; a lock is left behind only when its program is gone.
    m_file.setStaleLockTime(0);
    errno = 0;
    if (m_file.tryLock(0)) {
        m_state = State::Held;
        return;
    }
    int error = errno;
    const QString folder = QFileInfo(path).path();
    switch (m_file.error()) {
    case QLockFile::LockFailedError:
        m_state = State::HeldByAnother;
        m_refusal = describeHolder(folder);
        return;
    case QLockFile::PermissionError:
        // The folder's own answer says whether it is the permissions or a read-only disk.
        if (::access(QFile::encodeName(folder).constData(), W_OK) != 0)
            error = errno;
        break;
    case QLockFile::NoError:
    case QLockFile::UnknownError:
        break;
    }
    m_state = State::Failed;
    m_refusal = fileFailure(FileAction::Write, path, error)
                    .prefixed(QStringLiteral("无法在账目文件夹中放置运行标记，所以不能保证没有"
                                             "另一个 Vellumar 正在使用这份账目。程序没有启动。"));
}

Status InstanceLock::describeHolder(const QString& dataFolder) const {
    qint64 pid = 0;
    QString host;
    QString program;
    QString where;
    QString detail;
    if (m_file.getLockInfo(&pid, &host, &program)) {
        if (!host.isEmpty() && host != QSysInfo::machineHostName())
            where = QStringLiteral("（在计算机“%1”上）").arg(host);
        detail = QStringLiteral("进程号 %1（%2）").arg(pid).arg(program);
    }
    return Status::failure(
        QStringLiteral("Vellumar 已经在运行%1，这份账目正在使用中：\n%2\n\n同一份账目同时只能"
                       "由一个 Vellumar 打开，否则两个窗口保存时会互相覆盖。请切换到已经打开的 "
                       "Vellumar 窗口（它可能被最小化了）。这次启动没有改动任何文件。")
            .arg(where, QDir::toNativeSeparators(dataFolder)),
        detail);
}

} // namespace vellumar
