#pragma once

#include "books/booksstore.h"
#include "sharedstore/sharedholders.h"
#include "sharedstore/sharedlink.h"

#include <memory>

namespace vellumar {

// The books of several counters on one PostgreSQL server: holders, password hash and every
// ledger in the server's tables, made by the program itself. A new, empty database starts
// like a first local start: no holders, no password.
//
// Every operation fails with a sentence that names the server and says what to do when the
// server cannot be reached, and the next operation connects again by itself once it is back.
// The store must outlive its holder list and the books it hands out.
class SharedBooks final : public BooksStore {
public:
    // Connects (a libpq connection string or URI, "service=name" included) and makes or
    // brings up to date the tables. The counter is how other counters see this one beside a
    // ledger it has open.
    static Result<std::unique_ptr<SharedBooks>> open(const QString& connection,
                                                     const LedgerEditor& counter);
    static Result<std::unique_ptr<SharedBooks>> open(const QString& connection);
    ~SharedBooks() override;

    SharedLink& link() { return *m_link; }
    // Keeps the journals of the ledgers opened from now on in a folder of this server's under
    // the root (in the data folder), written through the files.
    void keepJournalsIn(FileSystem& files, const QString& root);
    const LedgerEditor& counter() const { return m_counter; }

    Kind kind() const override { return Kind::Shared; }
    QString description() const override;
    Result<HolderList*> holders() override;
    Result<bool> passwordMatches(const QString& typed) override;
    Status changePassword(const QString& newPassword) override;
    std::unique_ptr<HolderBook> book(const QString& holder) override;
    Result<std::unique_ptr<BooksReader>> reader() override;
    Result<std::unique_ptr<BooksWriter>> writer() override;
    bool keepsSafetyNets() const override { return false; }
    QString safekeeping() const override;
    bool sharesWithOtherCounters() const override { return true; }

private:
    SharedBooks(std::unique_ptr<SharedLink> link, LedgerEditor counter);

    std::unique_ptr<SharedLink> m_link;
    LedgerEditor m_counter;
    std::unique_ptr<SharedHolderList> m_holders;
    FileSystem* m_journalFiles = nullptr;
    QString m_journalRoot;
};

} // namespace vellumar
