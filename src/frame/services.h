#pragma once

#include "books/booksinuse.h"
#include "host/host.h"
#include "storage/datapaths.h"
#include "storage/filesystem.h"

namespace vellumar {

class Frame;

// What every window is given when it is made: the host, the frame that opens and closes
// windows, where the data lives and the file operations on it, and the books in use.
struct Services {
    Host& host;
    Frame& frame;
    const DataPaths& paths;
    FileSystem& files;
    BooksInUse& books;
};

} // namespace vellumar
