#include "storage/datastore.h"

#include "storage/recordtable.h"

#include <QDir>
#include <QFileInfo>

namespace vellumar {

namespace {

Status ensureDirectory(const QString& path) {
    if (QFileInfo(path).isDir() || QDir().mkpath(path))
        return Status();
    return Status::failure(QStringLiteral("无法创建数据文件夹“%1”。").arg(path));
}

// The password table always has record 1, whose field 1 is the password.
Status ensureTable(const QString& path, int emptyRecords) {
    if (!QFileInfo::exists(path))
        return RecordTable::create(path, emptyRecords);
    QString error;
    if (!RecordTable::open(path, &error))
        return Status::failure(error);
    return Status();
}

} // namespace

Status prepareDataDirectory(const DataPaths& paths) {
    for (const QString& directory : {paths.sourceDirectory(), paths.ledgerDirectory()})
        if (Status status = ensureDirectory(directory); !status)
            return status;
    if (Status status = ensureTable(paths.userTable(), 0); !status)
        return status;
    return ensureTable(paths.passwordTable(), 1);
}

} // namespace vellumar
