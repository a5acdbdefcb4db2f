#pragma once

#include "storage/datapaths.h"

#include <QString>

namespace vellumar::SafetyPaths {

// Where the safety nets keep what they keep, all inside the data folder.

// One folder per holder, named as the holder: the versions of their ledger that saves have
// replaced, and the journal of changes not saved yet. It goes wherever the holder goes
// (renamed with them, into the recycle bin with them).
inline QString backupRoot(const DataPaths& paths) {
    return paths.sourceDirectory() + QStringLiteral("/备份");
}
inline QString holderFolder(const DataPaths& paths, const QString& userName) {
    return backupRoot(paths) + u'/' + userName;
}

// The journal of one holder's unsaved changes, inside their folder.
inline constexpr QStringView JournalFolderName = u"未保存的修改";
inline QString journalFolder(const DataPaths& paths, const QString& userName) {
    return holderFolder(paths, userName) + u'/' + JournalFolderName;
}

// The journals of the ledgers of shared books opened at this computer: a folder per server,
// one per holder's id inside.
inline QString sharedJournalRoot(const DataPaths& paths) {
    return paths.sourceDirectory() + QStringLiteral("/共享账本的修改");
}

// The holders deleted from the user list, one folder each, until they are restored or deleted
// for good.
inline QString recycleRoot(const DataPaths& paths) {
    return paths.sourceDirectory() + QStringLiteral("/回收站");
}

// The daily copies of the two tables, one folder per day.
inline QString tableBackupRoot(const DataPaths& paths) {
    return paths.sourceDirectory() + QStringLiteral("/数据表备份");
}

} // namespace vellumar::SafetyPaths
