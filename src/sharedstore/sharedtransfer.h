#pragma once

#include "books/booksstore.h"
#include "sharedstore/pgconnection.h"

#include <memory>

namespace vellumar {

// The whole shared books for a copy, on a connection of its own: a reader sees one snapshot
// of them; a writer is one transaction that keeps nothing unless it commits. While a writer
// is open, other counters' changes to the holders wait for it, and it never replaces a ledger
// that another counter has open.
namespace SharedTransfer {

Result<std::unique_ptr<BooksReader>> openReader(const QString& connection);
Result<std::unique_ptr<BooksWriter>> openWriter(const QString& connection,
                                                const LedgerEditor& counter);

} // namespace SharedTransfer

} // namespace vellumar
