#pragma once

#include <QString>
#include <QStringView>

namespace vellumar {

// A user name becomes the base name of the user's ledger file, so it must stay one plain file
// name inside the ledger folder: no folder separator of either kind, no control character, not
// "." or "..", and text that can be written as a file name at all. The empty name is allowed.
bool isSafeUserName(QStringView name);

// The ledger file of a user is the name followed by this.
inline constexpr QStringView LedgerSuffix = u".z";

// The most bytes a file name may have in the ledger folder, as its file system says; the
// usual 255 when it says nothing.
qsizetype fileNameLimit(const QString& folder);

// Whether the ledger file name of the user ("name.z") fits in that many bytes of the file
// system's encoding. A character count would be wrong: a Chinese character takes three bytes.
bool fitsLedgerFileName(QStringView name, qsizetype limit);

} // namespace vellumar
