#pragma once

#include "storage/datapaths.h"
#include "storage/filesystem.h"
#include "storage/status.h"

#include <QDateTime>

namespace vellumar::TableBackups {

// How many days of copies are kept.
constexpr int KeptDays = 30;

// Once a day, at the first start: copies of the user table and the password table, made with
// SQLite's online backup (a consistent copy even while another view writes), into a folder
// named by the day ("20261209"). The folder appears whole or not at all: it is built under a
// name of its own and renamed when both copies are complete. Copies older than the newest
// KeptDays days are deleted. Answers whether a copy was made today.
Result<bool> backUpIfDue(const DataPaths& paths, FileSystem& files, const QDateTime& now);

// Copies one table file to a new file with SQLite's online backup API.
Status copyTable(const QString& from, const QString& to);

} // namespace vellumar::TableBackups
