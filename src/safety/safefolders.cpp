#include "safety/safefolders.h"

#include "storage/fileerror.h"

#include <QFileInfo>

#include <cerrno>

namespace vellumar {

Status ensureFolder(FileSystem& files, const QString& path) {
    const Result<FileSystem::Kind> kind = files.kind(path);
    if (!kind)
        return kind.status();
    if (*kind == FileSystem::Kind::Directory)
        return Status();
    if (*kind != FileSystem::Kind::Missing)
        return fileFailure(FileAction::CreateFolder, path, EEXIST);
    const QString parent = QFileInfo(path).absolutePath();
    if (parent != path)
        if (Status above = ensureFolder(files, parent); !above)
            return above;
    return files.makeFolder(path);
}

Result<QString> firstFreePath(const FileSystem& files, const std::function<QString(int)>& pathFor,
                              int limit) {
    for (int number = 1; number <= limit; ++number) {
        const QString path = pathFor(number);
        const Result<FileSystem::Kind> taken = files.kind(path);
        if (!taken)
            return taken.status();
        if (*taken == FileSystem::Kind::Missing)
            return path;
    }
    return Status::failure(
        QStringLiteral("“%1”之类的名字都已经有了，没能再起一个新名字。").arg(pathFor(1)));
}

Result<QString> freeNameBeside(const FileSystem& files, const QString& path,
                               const QDateTime& moment) {
    const QString stamped = path + u'-' + moment.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    return firstFreePath(files, [&](int number) -> QString {
        return number == 1 ? stamped : stamped + u'-' + QString::number(number);
    });
}

} // namespace vellumar
