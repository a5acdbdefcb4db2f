#pragma once

#include "books/booksinuse.h"
#include "host/host.h"
#include "storage/datapaths.h"
#include "storage/filesystem.h"

#include <memory>

namespace vellumar {

// Opens the books chosen for this counter (VELLUMAR_DATABASE, else the choice saved in the
// data folder, else the local books). Shared books that cannot be reached are never quietly
// swapped for the local ones: the operator reads why, with the server's address, and chooses
// to try again, to work on the local books this time, or to stop. Nothing when the operator
// chose to stop.
std::unique_ptr<BooksInUse> openBooksAtStart(Host& host, const DataPaths& paths, FileSystem& files);

// Opens the books at the location under a wait cursor; shared books are connected to.
Result<std::unique_ptr<BooksStore>> connectBooks(const BooksLocation& location,
                                                 const DataPaths& paths, FileSystem& files);

} // namespace vellumar
