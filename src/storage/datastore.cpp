#include "storage/datastore.h"

#include "storage/fileerror.h"
#include "storage/posixfile.h"
#include "storage/recordtable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>

namespace vellumar {

namespace {

Status ensureDirectory(const QString& path) {
    if (const int error = PosixFile::makeFolder(path, 0777); error != 0)
        return fileFailure(FileAction::CreateFolder, path, error);
    return Status();
}

// The password table always has record 1, whose field 1 is the password. A table that is
// there is only opened, never made anew: a damaged one is reported.
Status ensureTable(const QString& path, int emptyRecords) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 && errno == ENOENT) {
        const Status created = RecordTable::create(path, emptyRecords);
        // Another start of the program may have made it a moment ago; then it is opened.
        if (created || !QFileInfo::exists(path))
            return created;
    }
    const Result<RecordTable> table = RecordTable::open(path);
    return table.status();
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
