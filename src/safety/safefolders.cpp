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

Result<QString> freeNameBeside(const FileSystem& files, const QString& path,
                               const QDateTime& moment) {
    const QString stamped = path + u'-' + moment.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = stamped;
    for (int n = 2;; ++n) {
        const Result<FileSystem::Kind> taken = files.kind(name);
        if (!taken)
            return taken.status();
        if (*taken == FileSystem::Kind::Missing)
            return name;
        name = stamped + u'-' + QString::number(n);
    }
}

} // namespace vellumar
