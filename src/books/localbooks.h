#pragma once

#include "accounts/userdirectory.h"
#include "books/booksstore.h"
#include "storage/datapaths.h"
#include "storage/filesystem.h"

#include <memory>

namespace vellumar {

// The holders of the local books: the user directory as it is, its signals passed on.
class LocalHolderList final : public HolderList {
    Q_OBJECT

public:
    explicit LocalHolderList(std::unique_ptr<UserDirectory> directory);
    ~LocalHolderList() override;

    const QStringList& users() const override { return m_directory->users(); }
    qsizetype fileNameLimit() const override { return m_directory->fileNameLimit(); }
    bool isValidName(const QString& name) const override;
    UserChange add(const QString& name) override;
    UserChange rename(int position, const QString& newName) override;
    QList<Status> warnings() const override { return m_directory->warnings(); }
    UserDirectory* directory() override { return m_directory.get(); }

protected:
    UserChange removeAt(int position, const QDateTime& now) override;

private:
    std::unique_ptr<UserDirectory> m_directory;
};

// The books in the data folder, the store the program has always had: the user table, the
// password table and one ledger file per holder, with the same files, formats and behaviour.
// Only one program works on a data folder at a time, so a ledger is always open for editing.
class LocalBooks final : public BooksStore {
public:
    LocalBooks(const DataPaths& paths, FileSystem& files);
    ~LocalBooks() override;

    const DataPaths& paths() const { return m_paths; }

    Kind kind() const override { return Kind::Local; }
    QString description() const override;
    Result<HolderList*> holders() override;
    Result<bool> passwordMatches(const QString& typed) override;
    Status changePassword(const QString& newPassword) override;
    std::unique_ptr<HolderBook> book(const QString& holder) override;
    Result<std::unique_ptr<BooksReader>> reader() override;
    Result<std::unique_ptr<BooksWriter>> writer() override;
    bool keepsSafetyNets() const override { return true; }
    QString safekeeping() const override { return QString(); }
    bool sharesWithOtherCounters() const override { return false; }

private:
    const DataPaths& m_paths;
    FileSystem& m_files;
    std::unique_ptr<LocalHolderList> m_holders;
};

} // namespace vellumar
