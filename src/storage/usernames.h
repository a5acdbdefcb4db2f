#pragma once

#include <QStringView>

namespace vellumar {

// A user name becomes the base name of the user's ledger file, so it must stay one plain file
// name inside the ledger folder: no folder separator of either kind, no control character, not
// "." or "..", and text that can be written as a file name at all. The empty name is allowed.
bool isSafeUserName(QStringView name);

} // namespace vellumar
