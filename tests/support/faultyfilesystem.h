#pragma once

#include "storage/filesystem.h"

#include <QSet>
#include <QString>

// The real file system, with chosen operations made to fail the way the system would refuse
// them (an errno), so a test can see what the program does when a rename, a delete or a copy
// is refused, without having to break the disk.
class FaultyFileSystem final : public vellumar::FileSystem {
public:
    enum class Operation { Kind, Rename, Remove, Copy, Link, MakeFolder, RemoveFolder, List };

    // From now on the operation fails with this errno (0 lets it work again).
    void fail(Operation operation, int errorNumber = 13 /* EACCES */);
    void failNothing();
    // How many times each operation was asked for.
    int calls(Operation operation) const;

    vellumar::Result<Kind> kind(const QString& path) const override;
    vellumar::Status rename(const QString& from, const QString& to) override;
    vellumar::Status remove(const QString& path) override;
    vellumar::Status copy(const QString& from, const QString& to) override;
    vellumar::Status link(const QString& from, const QString& to) override;
    vellumar::Status makeFolder(const QString& path) override;
    vellumar::Status removeFolder(const QString& path) override;
    vellumar::Result<QStringList> list(const QString& folder) const override;

private:
    int errorFor(Operation operation) const;
    vellumar::LocalFileSystem m_real;
    int m_errors[8] = {};
    mutable int m_calls[8] = {};
};
