#pragma once

#include "storage/status.h"

#include <QString>
#include <QStringList>

namespace vellumar {

// The file operations the bookkeeping needs beyond whole-file saves, each with its failure as
// a value. None of them follows a symbolic link or replaces a file that is already there, so a
// step that would overwrite something is refused instead. Tests put a failing one in.
class FileSystem {
public:
    enum class Kind { Missing, Regular, Directory, SymbolicLink, Other };

    virtual ~FileSystem();

    // What is at the path itself (a link is reported as a link, not as what it points to).
    virtual Result<Kind> kind(const QString& path) const = 0;
    // Gives a file a new name; refused when something already has that name.
    virtual Status rename(const QString& from, const QString& to) = 0;
    // Deletes a file (a link itself, never what it points to); refused for a folder.
    virtual Status remove(const QString& path) = 0;
    // Copies a regular file to a new name, crash-safe; refused when the copy's name is taken.
    virtual Status copy(const QString& from, const QString& to) = 0;
    // Gives a regular file a second name (a hard link): the same content at no cost, which stays
    // when the first name gets a new file. Refused when the name is taken, or where the file
    // system cannot (another disk); a copy does instead.
    virtual Status link(const QString& from, const QString& to) = 0;
    // Makes a folder; refused when something has the name.
    virtual Status makeFolder(const QString& path) = 0;
    // Deletes an empty folder.
    virtual Status removeFolder(const QString& path) = 0;
    // The names in a folder, in no order ("." and ".." left out). A folder that cannot be read
    // is a failure, never an empty folder.
    virtual Result<QStringList> list(const QString& folder) const = 0;
};

// Deletes a folder with everything in it. Links inside are deleted as links; nothing outside
// the folder is touched.
Status removeTree(FileSystem& files, const QString& folder);

// The real file system of this computer.
class LocalFileSystem final : public FileSystem {
public:
    Result<Kind> kind(const QString& path) const override;
    Status rename(const QString& from, const QString& to) override;
    Status remove(const QString& path) override;
    Status copy(const QString& from, const QString& to) override;
    Status link(const QString& from, const QString& to) override;
    Status makeFolder(const QString& path) override;
    Status removeFolder(const QString& path) override;
    Result<QStringList> list(const QString& folder) const override;
};

} // namespace vellumar
