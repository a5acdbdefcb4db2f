#pragma once

#include "storage/filesystem.h"
#include "storage/status.h"

#include <QDateTime>
#include <QString>

#include <functional>

namespace vellumar {

// Makes a folder and the folders above it that are missing; refused when something that is
// not a folder has one of the names.
Status ensureFolder(FileSystem& files, const QString& path);

// The first of the paths made for the numbers 1, 2, 3 … that nothing has yet; refused after
// `limit` taken ones.
Result<QString> firstFreePath(const FileSystem& files, const std::function<QString(int)>& pathFor,
                              int limit = 10000);

// A name beside `path` that nothing has yet: path + "-" + the moment, and "-2", "-3" … after
// it when that is taken too.
Result<QString> freeNameBeside(const FileSystem& files, const QString& path,
                               const QDateTime& moment);

} // namespace vellumar
