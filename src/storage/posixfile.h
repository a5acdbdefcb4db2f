#pragma once

#include <QByteArray>
#include <QString>

namespace vellumar::PosixFile {

// The steps on files that the storage classes share, answered as an errno (0 when done), so
// each caller can word the failure for what it was doing.

// A path in the file system's own encoding.
QByteArray encoded(const QString& path);

// Gives a file a new name only where nothing has that name yet. On a file system without
// RENAME_NOREPLACE a hard link claims the new name instead, and the old name goes after it.
int renameWithoutReplacing(const QString& from, const QString& to);

// Makes the folder with the mode (less the umask) unless a folder is there already, also one
// another process made a moment ago; EEXIST when something else has the name.
int makeFolder(const QString& path, unsigned mode);

// Makes a rename or delete durable: the folder's entry is on the disk, not only in the cache.
// A file system that cannot sync a folder at all counts as done.
int syncFolderOf(const QString& path);

} // namespace vellumar::PosixFile
