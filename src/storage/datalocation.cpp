#include "storage/datalocation.h"

#include "storage/fileerror.h"
#include "storage/posixfile.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

namespace vellumar {

namespace {

bool isPortable(const QDir& executableFolder) {
    // A `source` that is a folder, or a link to one, holds a portable copy's books.
    if (QFileInfo(executableFolder.filePath(QStringLiteral("source"))).isDir())
        return true;
    const QFileInfo marker(executableFolder.filePath(PortableMarkerName.toString()));
    return marker.exists() && !marker.isDir();
}

QString installedProgramFiles(const QDir& executableFolder) {
    const QString shared =
        QDir::cleanPath(executableFolder.filePath(QStringLiteral("../share/vellumar")));
    if (QFileInfo(shared + QStringLiteral("/help")).isDir())
        return shared;
    return executableFolder.path();
}

Status makeFolder(const QString& path, mode_t mode) {
    if (const int error = PosixFile::makeFolder(path, mode); error != 0)
        return fileFailure(FileAction::CreateFolder, path, error);
    return Status();
}

// Makes every missing folder down to path; the last one gets lastMode.
Status makeFolders(const QString& path, mode_t lastMode) {
    QStringList missing;
    for (QString folder = path; !QFileInfo(folder).isDir(); folder = QFileInfo(folder).path()) {
        if (folder == QFileInfo(folder).path())
            break; // the root
        missing.prepend(folder);
    }
    for (const QString& folder : missing)
        if (Status made = makeFolder(folder, folder == path ? lastMode : 0777); !made)
            return made;
    return Status();
}

} // namespace

Result<DataLocation> locateData(const QString& executableDirectory,
                                const QString& perUserDirectory) {
    const QDir executableFolder(QDir::cleanPath(QDir::fromNativeSeparators(executableDirectory)));
    DataLocation location;
    if (isPortable(executableFolder)) {
        location.mode = DataLocation::Mode::Portable;
        location.dataDirectory = executableFolder.path();
        location.programFilesDirectory = executableFolder.path();
        return location;
    }
    if (perUserDirectory.isEmpty() || QDir::isRelativePath(perUserDirectory))
        return Status::failure(
            QStringLiteral("找不到存放账目的文件夹：系统没有告诉程序当前用户的数据文件夹在哪里"
                           "（也许没有设置用户的主目录）。请以有主目录的用户身份启动程序。"),
            perUserDirectory);
    location.mode = DataLocation::Mode::Installed;
    location.dataDirectory = QDir::cleanPath(QDir::fromNativeSeparators(perUserDirectory));
    location.programFilesDirectory = installedProgramFiles(executableFolder);
    return location;
}

Status createDataFolder(const DataLocation& location) {
    // The folders above an installed program's own (~/.local/share) are the desktop's, made as
    // the desktop makes them; the program's own folder holds the shop's books and is private.
    if (location.mode == DataLocation::Mode::Installed)
        if (Status made = makeFolders(location.dataDirectory, 0700); !made)
            return made;
    return makeFolder(location.paths().sourceDirectory(), 0777);
}

} // namespace vellumar
