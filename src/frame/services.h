#pragma once

#include "host/host.h"
#include "storage/datapaths.h"

namespace vellumar {

class Frame;

// What every window is given when it is made: the host, the frame that opens and closes
// windows, and where the data lives.
struct Services {
    Host& host;
    Frame& frame;
    const DataPaths& paths;
};

} // namespace vellumar
