#pragma once

#include "storage/status.h"

#include <QString>

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
};

// The real file system of this computer.
class LocalFileSystem final : public FileSystem {
public:
    Result<Kind> kind(const QString& path) const override;
    Status rename(const QString& from, const QString& to) override;
    Status remove(const QString& path) override;
    Status copy(const QString& from, const QString& to) override;
};

} // namespace vellumar
