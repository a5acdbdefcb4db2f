#include "storage/fileerror.h"

#include <QDir>

#include <QtGlobal>

#include <cerrno>

namespace vellumar {

namespace {

QString lead(FileAction action, const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    switch (action) {
    case FileAction::Read:
        return QStringLiteral("无法读取文件“%1”。").arg(shown);
    case FileAction::Write:
        return QStringLiteral("无法写入文件“%1”。").arg(shown);
    case FileAction::Replace:
        return QStringLiteral("无法替换文件“%1”。").arg(shown);
    case FileAction::Rename:
        return QStringLiteral("无法给文件“%1”改名。").arg(shown);
    case FileAction::Remove:
        return QStringLiteral("无法删除文件“%1”。").arg(shown);
    case FileAction::CreateFolder:
        return QStringLiteral("无法创建文件夹“%1”。").arg(shown);
    }
    return QString();
}

QString causeOf(int errorNumber) {
    switch (errorNumber) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("磁盘空间已满。请腾出空间后重试。");
    case EACCES:
        return QStringLiteral("没有权限：文件或它所在的文件夹不允许写入。"
                              "请检查文件夹的权限后重试。");
    case EPERM:
        return QStringLiteral("系统不允许改动这个文件：它可能被设为只读、不可更改或受保护。");
    case EROFS:
        return QStringLiteral("文件所在的磁盘是只读的，无法写入。");
    case ENAMETOOLONG:
        return QStringLiteral("文件名太长，系统无法使用。请换一个短一些的名字。");
    case ELOOP:
        return QStringLiteral("这是一个符号链接。为了安全，程序不会通过链接读写文件。");
    case EISDIR:
        return QStringLiteral("同名的是一个文件夹，不是文件。");
    case ENOTDIR:
    case ENOENT:
        return QStringLiteral("文件或它所在的文件夹不存在。");
    case ETXTBSY:
    case EBUSY:
        return QStringLiteral("文件正被其他程序使用。请关闭那个程序后重试。");
    case EEXIST:
        return QStringLiteral("同名的文件已经存在，为了不覆盖它，没有继续。");
    case EFBIG:
        return QStringLiteral("文件超过了系统允许的最大大小。");
    case EIO:
        return QStringLiteral("读写磁盘时发生了硬件或文件系统错误。");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("同时打开的文件太多。");
    case ENOMEM:
        return QStringLiteral("内存不足。");
    case EXDEV:
        return QStringLiteral("不能跨磁盘移动文件。");
    default:
        return QString();
    }
}

} // namespace

Status fileFailure(FileAction action, const QString& path, int errorNumber) {
    return Status::failure(lead(action, path) + causeOf(errorNumber),
                           errorNumber != 0 ? qt_error_string(errorNumber) : QString());
}

QString fileErrorCause(int errorNumber) {
    return causeOf(errorNumber);
}

Status notARegularFile(FileAction action, const QString& path, bool symbolicLink) {
    if (symbolicLink)
        return Status::failure(lead(action, path) +
                               QStringLiteral("它是一个符号链接。为了安全，程序不会通过链接读写"
                                              "文件，链接和它指向的文件都没有改动。"));
    return Status::failure(lead(action, path) +
                           QStringLiteral("它不是一个普通文件（而是设备、管道之类）。"
                                          "为了安全，程序不会读写它，也没有改动它。"));
}

} // namespace vellumar
