#pragma once

#include "storage/datapaths.h"
#include "storage/status.h"

namespace vellumar {

// Gets the data folder ready before the first window opens. On a fresh install the folders
// and two empty tables are made (an empty password table: the empty entry signs in). A table
// file that exists is only checked, never rewritten: a damaged one is reported by name.
Status prepareDataDirectory(const DataPaths& paths);

} // namespace vellumar
