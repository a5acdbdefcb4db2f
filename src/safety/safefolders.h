#pragma once

#include "storage/filesystem.h"
#include "storage/status.h"

#include <QDateTime>
#include <QString>

namespace vellumar {

// Makes a folder and the folders above it that are missing; refused when something that is
// not a folder has one of the names.
Status ensureFolder(FileSystem& files, const QString& path);

// A name beside `path` that nothing has yet: path + "-" + the moment, and "-2", "-3" … after
// it when that is taken too.
Result<QString> freeNameBeside(const FileSystem& files, const QString& path,
                               const QDateTime& moment);

} // namespace vellumar
