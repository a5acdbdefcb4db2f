#pragma once

#include "storage/status.h"

#include <QString>

namespace vellumar {

// Which file is at a path, down to the save that wrote it: every save gives a ledger a new
// file (a new inode) and a new time, so two equal identities are the same bytes. A file
// rewritten in place by another program changes its time or size.
struct FileIdentity {
    bool exists = false;
    qint64 device = 0;
    qint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0; // nanoseconds since 1970

    bool operator==(const FileIdentity&) const = default;

    // The identity of what is at the path (a link as a link); exists is false when nothing is.
    static Result<FileIdentity> of(const QString& path);
};

} // namespace vellumar
